// Time from opening the internal player window to its first video frame,
// against a bare QMediaPlayer + QVideoWidget on the same file.
//
//   bench_player [rounds] [movie]   (default: 5 rounds of a 3-second clip made here)
//
// Run it on a real display or under Xvfb (QT_QPA_PLATFORM=xcb): the offscreen
// platform may not render video.

#include "democlip.h"
#include "platform/application.h"
#include "platform/forms.h"
#include "player/frmplayer.h"
#include "player/mediaplayer.h"

#include <QApplication>
#include <QAudioOutput>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaPlayer>
#include <QTemporaryDir>
#include <QTest>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>
#include <algorithm>
#include <cstdio>

namespace {

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// Milliseconds since `clock` started: when the movie was handed to the
// player, and when the first frame reached the screen.
struct Times
{
    double handedOver = -1;
    double firstFrame = -1;
};

void waitForFirstFrame(QVideoSink *sink, const QElapsedTimer &clock, Times &times)
{
    QObject::connect(sink, &QVideoSink::videoFrameChanged, sink, [&](const QVideoFrame &frame) {
        if (times.firstFrame < 0 && frame.isValid())
            times.firstFrame = clock.nsecsElapsed() / 1e6;
    });
    if (!QTest::qWaitFor([&] { return times.firstFrame >= 0; }, 30000))
        qFatal("no video frame within 30 s");
}

// The program's way: open the window; its activation hands the movie over.
Times timePlayerWindow()
{
    Times times;
    QElapsedTimer clock;
    clock.start();
    auto *form = new Frmplayer;
    QObject::connect(form->player()->mediaPlayer(), &QMediaPlayer::sourceChanged, form, [&](const QUrl &url) {
        if (!url.isEmpty())
            times.handedOver = clock.nsecsElapsed() / 1e6;
    });
    platform::showForm(form);
    waitForFirstFrame(form->player()->videoWidget()->videoSink(), clock, times);
    delete form;
    return times;
}

// The least a program can do: a window with a video widget, playing at once.
Times timeBarePlayer(const QString &movie)
{
    Times times;
    QElapsedTimer clock;
    clock.start();
    auto *window = new QWidget;
    window->resize(498, 416);
    auto *video = new QVideoWidget(window);
    video->setGeometry(8, 48, 481, 260);
    auto *player = new QMediaPlayer(window);
    auto *audio = new QAudioOutput(window);
    player->setAudioOutput(audio);
    player->setVideoOutput(video);
    window->show();
    times.handedOver = clock.nsecsElapsed() / 1e6;
    player->setSource(QUrl::fromLocalFile(movie));
    player->play();
    waitForFirstFrame(video->videoSink(), clock, times);
    player->stop();
    delete window;
    return times;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir folder;
    const int rounds = argc > 1 ? qMax(1, atoi(argv[1])) : 5;
    QString movie = argc > 2 ? QString::fromLocal8Bit(argv[2]) : folder.filePath(QStringLiteral("demo.avi"));
    if (argc <= 2 && !democlip::make(movie))
        qFatal("cannot make a clip: gst-launch-1.0 with avenc_mpeg4 and lamemp3enc is needed");
    movie = QFileInfo(movie).absoluteFilePath();

    platform::setApplicationFolder(folder.path());
    QFile ini(folder.filePath(QStringLiteral("trevlin.INI")));
    if (!ini.open(QIODevice::WriteOnly))
        qFatal("cannot write the settings file");
    ini.write("[path]\r\nmovie=" + movie.toUtf8() + "\r\n");
    ini.close();

    QList<double> windowTotal, windowAfter, bareTotal, bareAfter;
    timeBarePlayer(movie); // warm up the decoders and the display
    for (int i = 0; i < rounds; ++i) {
        const Times w = timePlayerWindow();
        windowTotal << w.firstFrame;
        windowAfter << w.firstFrame - w.handedOver;
        const Times b = timeBarePlayer(movie);
        bareTotal << b.firstFrame;
        bareAfter << b.firstFrame - b.handedOver;
    }
    std::printf("platform: %s, %d rounds, %s\n", qPrintable(QGuiApplication::platformName()), rounds,
                qPrintable(QDir::toNativeSeparators(movie)));
    std::printf("                                  open to first frame   movie handed over to first frame\n");
    std::printf("player window                     %8.1f ms           %8.1f ms\n", median(windowTotal), median(windowAfter));
    std::printf("bare QMediaPlayer + QVideoWidget  %8.1f ms           %8.1f ms\n", median(bareTotal), median(bareAfter));
    std::printf("ratio                             %8.2fx            %8.2fx   (goal: at most 1.20x)\n",
                median(windowTotal) / median(bareTotal), median(windowAfter) / median(bareAfter));
    return 0;
}
