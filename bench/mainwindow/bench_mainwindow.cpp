// Main window benchmarks, run by hand:
//   bench_mainwindow            start-up to first paint and resident memory,
//                               against a bare Qt program showing a window of
//                               the same size with a menu bar and one line of
//                               text (bench_startup times the first paint
//                               more closely); then activation with
//                               two 1000 x 1400 JPEG covers against decoding
//                               the two pictures alone.
// It starts itself as the child programs ("bare", "main") to time them.
#include "mainwindow/frmprincipal.h"
#include "platform/application.h"
#include "platform/forms.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// Prints "painted <rss>" after the window's first paint and quits.
class FirstPaint : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            QTimer::singleShot(0, [] {
                std::printf("painted %ld\n", residentKiB());
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }
    bool m_done = false;
};

int child(int argc, char **argv, bool bare)
{
    QApplication app(argc, argv);
    FirstPaint watcher;
    if (bare) {
        auto *window = new QMainWindow;
        window->menuBar()->addMenu(QStringLiteral("&Menu"))->addAction(QStringLiteral("Exit"));
        window->setCentralWidget(new QLabel(QStringLiteral("A line of text, as a menu window shows.")));
        window->centralWidget()->setFixedSize(480, 515);
        window->installEventFilter(&watcher);
        window->show();
    } else {
        auto *window = new frmprincipal;
        window->installEventFilter(&watcher);
        platform::showForm(window);
    }
    return app.exec();
}

struct Run { double ms; long rssKiB; };

Run timeChild(const QString &mode)
{
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(QCoreApplication::applicationFilePath(), {mode});
    process.waitForReadyRead(30000);
    const double ms = clock.nsecsElapsed() / 1e6;
    const QByteArray line = process.readAllStandardOutput();
    process.waitForFinished(30000);
    return {ms, line.mid(8).trimmed().toLong()};
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

void writeCover(const QString &path, QColor colour)
{
    QImage image(1000, 1400, QImage::Format_RGB32);
    image.fill(colour);
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 3)
            image.setPixelColor(x, y, QColor::fromHsv((x + y) % 360, 200, 200));
    image.save(path, "JPG", 85);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && (qstrcmp(argv[1], "bare") == 0 || qstrcmp(argv[1], "main") == 0))
        return child(argc, argv, qstrcmp(argv[1], "bare") == 0);

    QApplication app(argc, argv);
    const int runs = 9;
    QList<double> bareMs, mainMs, bareRss, mainRss;
    for (int i = 0; i < runs; ++i) {
        const Run b = timeChild(QStringLiteral("bare"));
        const Run m = timeChild(QStringLiteral("main"));
        bareMs << b.ms;
        mainMs << m.ms;
        bareRss << b.rssKiB;
        mainRss << m.rssKiB;
    }
    std::printf("start to first paint: bare %.1f ms, main window %.1f ms, ratio %.2f (median of %d)\n",
                median(bareMs), median(mainMs), median(mainMs) / median(bareMs), runs);
    std::printf("resident memory:      bare %.0f KiB, main window %.0f KiB, ratio %.2f\n", median(bareRss),
                median(mainRss), median(mainRss) / median(bareRss));

    // Activation: the window reads the settings file and decodes both covers.
    QTemporaryDir dir;
    platform::setApplicationFolder(dir.path());
    writeCover(dir.filePath(QStringLiteral("front.jpg")), Qt::red);
    writeCover(dir.filePath(QStringLiteral("back.jpg")), Qt::blue);
    QFile ini(dir.filePath(QStringLiteral("trevlin.INI")));
    ini.open(QIODevice::WriteOnly);
    ini.write(("[main]\r\ntitle=Bench\r\n[path]\r\nfrontcover=" + dir.filePath("front.jpg") + "\r\nbackcover="
               + dir.filePath("back.jpg") + "\r\n").toUtf8());
    ini.close();

    frmprincipal window;
    window.show();
    QWidget other;
    platform::registerForm(&other, {});
    const int rounds = 20;
    QElapsedTimer clock;
    qint64 activationNs = 0;
    for (int i = 0; i < rounds; ++i) {
        QEvent toOther(QEvent::WindowActivate);
        QApplication::sendEvent(&other, &toOther);
        QEvent toMain(QEvent::WindowActivate);
        clock.start();
        QApplication::sendEvent(&window, &toMain);
        activationNs += clock.nsecsElapsed();
    }
    qint64 decodeNs = 0;
    for (int i = 0; i < rounds; ++i) {
        clock.start();
        for (const char *name : {"front.jpg", "back.jpg"}) {
            QImageReader reader(dir.filePath(QLatin1String(name)));
            QImage image = reader.read();
            Q_UNUSED(image);
        }
        decodeNs += clock.nsecsElapsed();
    }
    std::printf("activation with two 1000x1400 covers: %.2f ms, decoding them alone %.2f ms, ratio %.2f\n",
                activationNs / 1e6 / rounds, decodeNs / 1e6 / rounds, double(activationNs) / double(decodeNs));
    platform::setApplicationFolder(QString());
    return 0;
}
