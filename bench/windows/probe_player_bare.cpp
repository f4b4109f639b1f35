// A bare QMediaPlayer opened for the first time in a program that links Qt
// Multimedia: from making the player to its first video frame.
//
//   bench_player_bare MOVIE
#include "coldprobe.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QUrl>
#include <QVideoWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        qFatal("usage: bench_player_bare MOVIE");
    StandInMain main;

    FrameWatch watch;
    watch.start();
    auto *window = new QWidget;
    window->resize(498, 416);
    auto *video = new QVideoWidget(window);
    video->setGeometry(8, 48, 481, 260);
    auto *player = new QMediaPlayer(window);
    auto *audio = new QAudioOutput(window);
    player->setAudioOutput(audio);
    player->setVideoOutput(video);
    watch.openedMs = watch.clock.nsecsElapsed() / 1e6;
    watch.watch(window);
    window->show();
    main.hide();
    player->setSource(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1])));
    player->play();
    watch.waitForFrame();
    return 0;
}
