// The player opened for the first time as the program opens it, in a process
// that, like the program, links no Qt Multimedia: from the Internal Player
// entry (loading the module, which brings in the media stack) to the first
// video frame.
//
//   bench_player_module SETTINGS_FOLDER     (its trevlin.INI names the movie)
#include "coldprobe.h"

#include "platform/application.h"
#include "platform/forms.h"
#include "windows/playerloader.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        qFatal("usage: bench_player_module SETTINGS_FOLDER");
    platform::setApplicationFolder(QString::fromLocal8Bit(argv[1]));
    playerloader::setModuleFile(QStringLiteral(TREVLIN_PLAYER_MODULE));
    StandInMain main;

    FrameWatch watch;
    watch.start();
    QWidget *player = playerloader::createPlayerWindow({});
    watch.openedMs = watch.clock.nsecsElapsed() / 1e6;
    if (!watch.watch(player))
        qFatal("the player module did not load: no video in its window");
    platform::showForm(player);
    main.hide();
    watch.waitForFrame();
    return 0;
}
