// Main window benchmarks, run by hand:
//   bench_mainwindow            start-up to first paint and resident memory,
//                               against a bare Qt program showing a window of
//                               the same size with a menu bar and one line of
//                               text (bench_startup times the first paint
//                               more closely); then activation with
//                               two 1000 x 1400 JPEG covers against decoding
//                               the two pictures alone.
//                               Then the covers a disc may hold that cost the
//                               most: the main window's peak memory with a
//                               5792 x 5792 PNG cover (just under the image
//                               reader's allocation limit) and with a
//                               progressive JPEG of thousands of scans, and
//                               how long each takes to be shown or given up.
// It starts itself as the child programs ("bare", "main", "cover FILE") to
// time and measure them.
#include "mainwindow/coverloader.h"
#include "mainwindow/frmprincipal.h"
#include "platform/application.h"
#include "platform/forms.h"
#include "slowpictures.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
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

#include <sys/resource.h>

namespace {

// A figure of /proc/self/status in KiB: VmRSS (resident now), VmHWM (the
// peak of resident memory).
long statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLong();
    return -1;
}

long residentKiB()
{
    return statusKiB("VmRSS:");
}

bool coversLoading(const QWidget *window)
{
    for (const char *name : {"piccapa_0", "piccapa_1"})
        if (window->findChild<QLabel *>(QLatin1String(name))->property("loading").toBool())
            return true;
    return false;
}

void writeIni(const QString &folder, const QString &front, const QString &back)
{
    QFile ini(folder + QStringLiteral("/trevlin.INI"));
    ini.open(QIODevice::WriteOnly);
    ini.write(("[main]\r\ntitle=Bench\r\n[path]\r\nfrontcover=" + front + "\r\nbackcover=" + back + "\r\n").toUtf8());
}

// Shows the main window with `cover` as its front cover; once the cover is
// shown (or given up), prints "cover <ms from showing> <peak KiB> <processor
// ms> <note>".
int coverChild(int argc, char **argv, const QString &cover)
{
    QApplication app(argc, argv);
    if (argc > 3) // another time limit, to see how long a whole decode takes
        CoverLoader::setTimeLimit(std::chrono::milliseconds(QByteArray(argv[3]).toLongLong()));
    QTemporaryDir dir;
    platform::setApplicationFolder(dir.path());
    writeIni(dir.path(), cover, QString());
    QElapsedTimer clock;
    clock.start();
    auto *window = new frmprincipal;
    platform::showForm(window);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!window->isActiveWindow() || coversLoading(window))
            return;
        QLabel *front = window->findChild<QLabel *>(QStringLiteral("piccapa_0"));
        const QString note = front->pixmap().isNull() ? front->text().section(QLatin1Char('\n'), 2) : QStringLiteral("(shown)");
        rusage used = {};
        ::getrusage(RUSAGE_SELF, &used);
        const double cpuMs = (used.ru_utime.tv_sec + used.ru_stime.tv_sec) * 1e3
                             + (used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1e3;
        std::printf("cover %.0f %ld %.0f %s\n", clock.nsecsElapsed() / 1e6, statusKiB("VmHWM:"), cpuMs,
                    qUtf8Printable(note));
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    poll.start(5);
    return app.exec();
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

// Start-up against the bare window, then activation with two covers.
void startAndActivation(const QTemporaryDir &dir)
{
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
    platform::setApplicationFolder(dir.path());
    writeCover(dir.filePath(QStringLiteral("front.jpg")), Qt::red);
    writeCover(dir.filePath(QStringLiteral("back.jpg")), Qt::blue);
    writeIni(dir.path(), dir.filePath(QStringLiteral("front.jpg")), dir.filePath(QStringLiteral("back.jpg")));

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
        // The covers are decoded away from the window's thread: until both are shown.
        while (coversLoading(&window))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
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

}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && (qstrcmp(argv[1], "bare") == 0 || qstrcmp(argv[1], "main") == 0))
        return child(argc, argv, qstrcmp(argv[1], "bare") == 0);
    if (argc > 2 && qstrcmp(argv[1], "cover") == 0)
        return coverChild(argc, argv, QString::fromLocal8Bit(argv[2]));

    QApplication app(argc, argv);
    // "covers": the costly covers alone.
    const bool coversOnly = argc > 1 && qstrcmp(argv[1], "covers") == 0;
    QTemporaryDir dir;
    if (!coversOnly)
        startAndActivation(dir);

    // The covers that cost the most, each in a fresh program: how long until
    // the cover's place shows the picture or the note, and the peak of the
    // program's resident memory (a window without covers for comparison).
    const QString png = dir.filePath(QStringLiteral("large.png"));
    const QString jpeg = dir.filePath(QStringLiteral("scans.jpg"));
    for (const auto &[path, bytes] : {std::pair{png, slowpictures::largePlainPng(5792)},
                                      std::pair{jpeg, slowpictures::progressiveJpegWithRepeatedScan(4000, 4000, 5000)}}) {
        QFile file(path);
        if (bytes.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::printf("cannot write %s\n", qUtf8Printable(path));
            return 1;
        }
    }
    const struct { const char *what; QString file; QString limit; } covers[] = {
        {"no cover", QString(), QString()},
        {"5792 x 5792 PNG", png, QString()},
        {"4000 x 4000 JPEG, one scan repeated 5000 times", jpeg, QString()},
        {"the same JPEG decoded to its end (no time limit)", jpeg, QStringLiteral("600000")},
    };
    std::printf("time limit of a cover's decoding: %lld ms\n", qlonglong(CoverLoader::timeLimit().count()));
    for (const auto &cover : covers) {
        QList<double> ms, peak, cpu;
        QByteArray note;
        for (int i = 0; i < 3; ++i) {
            QProcess process;
            QStringList arguments{QStringLiteral("cover"), cover.file};
            if (!cover.limit.isEmpty())
                arguments << cover.limit;
            process.start(QCoreApplication::applicationFilePath(), arguments);
            process.waitForFinished(600000);
            const QList<QByteArray> fields = process.readAllStandardOutput().trimmed().split(' ');
            if (fields.size() < 4 || fields[0] != "cover") {
                std::printf("%s: the child failed\n", cover.what);
                return 1;
            }
            ms << fields[1].toDouble();
            peak << fields[2].toDouble();
            cpu << fields[3].toDouble();
            note = fields.mid(4).join(' ');
        }
        std::printf("%s (%.0f bytes): shown after %.0f ms (processor %.0f ms), peak %.1f MiB (highest of 3: %.1f) %s\n",
                    cover.what, double(QFileInfo(cover.file).size()), median(ms), median(cpu), median(peak) / 1024,
                    *std::max_element(peak.begin(), peak.end()) / 1024, note.constData());
    }
    return 0;
}
