// The program's main window shown at once, as the splash hands over to it:
// the program's own start (platform choice, application title, window icon),
// the main window created and shown, until its first paint.
#include "probe.h"

#include "mainwindow/frmprincipal.h"
#include "platform/application.h"
#include "platform/forms.h"
#include "widgets/designstyle.h"

#include <QApplication>

int main(int argc, char **argv)
{
    choosePlatformLikeTheProgram();
    QApplication app(argc, argv);
    QApplication::setApplicationName(platform::applicationTitle());
    QApplication::setWindowIcon(widgets::windowIcon());
    std::printf("application-ns %lld\n", monotonicNs());

    platform::FormHolder<frmprincipal> mainWindow;
    FirstPaint watch(mainWindow.get());
    platform::showForm(mainWindow.get());
    while (!watch.seen)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return 0;
}
