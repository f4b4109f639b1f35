// The player window opened for the first time in a program that links it,
// and with it Qt Multimedia (as the program did before the player became a
// module): from making the window to its first video frame.
//
//   bench_player_linked SETTINGS_FOLDER     (its trevlin.INI names the movie)
#include "coldprobe.h"

#include "platform/application.h"
#include "platform/forms.h"
#include "player/frmplayer.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        qFatal("usage: bench_player_linked SETTINGS_FOLDER");
    platform::setApplicationFolder(QString::fromLocal8Bit(argv[1]));
    StandInMain main;

    FrameWatch watch;
    watch.start();
    auto *player = new Frmplayer;
    watch.openedMs = watch.clock.nsecsElapsed() / 1e6;
    if (!watch.watch(player))
        qFatal("no video in the player window");
    platform::showForm(player);
    main.hide();
    watch.waitForFrame();
    return 0;
}
