// A bare Qt program showing one empty window: the yardstick for the splash.
#include "probe.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char **argv)
{
    choosePlatformLikeTheProgram();
    QApplication app(argc, argv);
    std::printf("application-ns %lld\n", monotonicNs());
    QWidget window;
    window.resize(492, 253);
    FirstPaint watch(&window);
    window.show();
    while (!watch.seen)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return 0;
}
