// Time from opening the internal player window to its first video frame,
// against a bare QMediaPlayer + QVideoWidget on the same file: first in this
// process, once the media stack is loaded and warm; then the first opening in
// a fresh process, the program's way through the player's module (which
// loads the media stack) against a bare player in a program that links Qt
// Multimedia.
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
#include <QProcess>
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
    double processor = -1; // processor time to the first frame, in the first-opening probes
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

// Runs a first-opening probe; its time from opening to the first frame, and
// to the window being made.
Times runProbe(const QString &name, const QString &argument)
{
    QProcess probe;
    probe.start(QCoreApplication::applicationDirPath() + QLatin1Char('/') + name, {argument});
    if (!probe.waitForFinished(60000) || probe.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(name), probe.readAllStandardError().constData());
    Times times;
    for (const QByteArray &line : probe.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2 && parts[0] == "opened-ms")
            times.handedOver = parts[1].toDouble();
        else if (parts.size() == 2 && parts[0] == "first-frame-ms")
            times.firstFrame = parts[1].toDouble();
        else if (parts.size() == 2 && parts[0] == "first-frame-cpu-ms")
            times.processor = parts[1].toDouble();
    }
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

    QList<double> moduleTotal, moduleOpened, moduleCpu, linkedTotal, linkedOpened, linkedCpu, coldBareTotal,
        coldBareOpened, coldBareCpu;
    runProbe(QStringLiteral("bench_player_module"), folder.path()); // warm the file cache
    runProbe(QStringLiteral("bench_player_linked"), folder.path());
    runProbe(QStringLiteral("bench_player_bare"), movie);
    for (int i = 0; i < rounds; ++i) {
        const Times m = runProbe(QStringLiteral("bench_player_module"), folder.path());
        moduleTotal << m.firstFrame;
        moduleOpened << m.handedOver;
        moduleCpu << m.processor;
        const Times l = runProbe(QStringLiteral("bench_player_linked"), folder.path());
        linkedTotal << l.firstFrame;
        linkedOpened << l.handedOver;
        linkedCpu << l.processor;
        const Times b = runProbe(QStringLiteral("bench_player_bare"), movie);
        coldBareTotal << b.firstFrame;
        coldBareOpened << b.handedOver;
        coldBareCpu << b.processor;
    }
    std::printf("\nfirst opening in a fresh process     open to first frame   window made   processor time\n");
    std::printf("player window, through its module  %8.1f ms           %8.1f ms   %8.1f ms\n", median(moduleTotal),
                median(moduleOpened), median(moduleCpu));
    std::printf("player window, linked (no module)  %8.1f ms           %8.1f ms   %8.1f ms\n", median(linkedTotal),
                median(linkedOpened), median(linkedCpu));
    std::printf("bare QMediaPlayer (links Multimedia) %6.1f ms           %8.1f ms   %8.1f ms\n", median(coldBareTotal),
                median(coldBareOpened), median(coldBareCpu));
    std::printf("ratio, through the module / bare   %8.2fx            (goal: at most 1.20x); processor time %.2fx\n",
                median(moduleTotal) / median(coldBareTotal), median(moduleCpu) / median(coldBareCpu));
    std::printf("ratio, linked / bare               %8.2fx                                processor time %.2fx\n",
                median(linkedTotal) / median(coldBareTotal), median(linkedCpu) / median(coldBareCpu));
    return 0;
}
