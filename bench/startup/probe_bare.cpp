// Bare Qt programs, the yardsticks for the splash and the main window:
//
//   bench_startup_bare          one empty window of the splash's size
//   bench_startup_bare text     a window of the main window's size with a menu
//                               bar and one line of text, so it pays what any
//                               window showing text pays (the font set-up)
#include "probe.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QWidget>

int main(int argc, char **argv)
{
    choosePlatformLikeTheProgram();
    QApplication app(argc, argv);
    std::printf("application-ns %lld\n", monotonicNs());
    const bool text = argc > 1 && qstrcmp(argv[1], "text") == 0;
    QWidget empty;
    QMainWindow window;
    QWidget *shown = &empty;
    if (text) {
        window.menuBar()->addMenu(QStringLiteral("&Menu"))->addAction(QStringLiteral("Exit"));
        window.setCentralWidget(new QLabel(QStringLiteral("A line of text, as a menu window shows.")));
        window.centralWidget()->setFixedSize(480, 515);
        shown = &window;
    } else {
        empty.resize(492, 253);
    }
    FirstPaint watch(shown);
    shown->show();
    while (!watch.seen)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return 0;
}
