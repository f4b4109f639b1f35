#include "mainwindow/frmprincipal.h"
#include <QApplication>
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    frmprincipal w;
    w.show();
    return app.exec();
}
