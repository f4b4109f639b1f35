// The program's own start, up to the hand-over: the splash over the real main
// window. Prints the splash's first paint, then how long the counted wait took
// and how much of it went into creating the main window.
#include "probe.h"

#include "mainwindow/frmprincipal.h"
#include "platform/application.h"
#include "platform/forms.h"
#include "widgets/designstyle.h"
#include "startup/frmsplash.h"

#include <QApplication>

int main(int argc, char **argv)
{
    choosePlatformLikeTheProgram();
    QApplication app(argc, argv);
    QApplication::setApplicationName(platform::applicationTitle());
    QApplication::setWindowIcon(widgets::windowIcon());
    std::printf("application-ns %lld\n", monotonicNs());

    platform::FormHolder<frmprincipal> mainWindow;
    long long mainLoadNs = 0;
    auto *splash = new frmSplash([&]() -> QWidget * {
        if (mainWindow.existing())
            return mainWindow.existing();
        const long long start = monotonicNs();
        QWidget *created = mainWindow.get();
        mainLoadNs = monotonicNs() - start;
        return created;
    });
    std::printf("splash-built-ns %lld\n", monotonicNs());
    FirstPaint watch(splash);
    const long long start = monotonicNs();
    splash->load();
    std::printf("wait-ns %lld\nmain-load-ns %lld\n", monotonicNs() - start, mainLoadNs);
    return 0;
}
