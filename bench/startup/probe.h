#pragma once
// What the start-up probes share: the clock (CLOCK_MONOTONIC, the same in every
// process, so the driver can subtract its own reading taken before the start),
// the program's choice of platform, a watch for a window's first paint, and
// what the process has mapped by then.

#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QSet>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/resource.h>

inline long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

// The processor time the process has used so far (user and system), which
// other programs on a busy machine change far less than the clock.
inline long long processorNs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000000LL
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1000LL;
}

// As the program does: through X when there is a display and no choice made.
inline void choosePlatformLikeTheProgram()
{
    if (!qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

// Prints the shared objects the process has mapped: how many, their files'
// total size, and how many of them belong to the media stack (Qt Multimedia,
// GStreamer, PulseAudio).
inline void printSharedObjects()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QSet<QString> files;
    for (QByteArray line = maps.readLine(); !line.isEmpty(); line = maps.readLine()) {
        const qsizetype slash = line.indexOf('/');
        if (slash < 0)
            continue;
        const QString path = QString::fromLocal8Bit(line.mid(slash).trimmed());
        if (path.contains(QLatin1String(".so")))
            files.insert(path);
    }
    long long bytes = 0;
    int media = 0;
    for (const QString &path : std::as_const(files)) {
        bytes += QFileInfo(path).size();
        const QString name = QFileInfo(path).fileName();
        if (name.startsWith(QLatin1String("libQt6Multimedia")) || name.startsWith(QLatin1String("libgst"))
            || name.startsWith(QLatin1String("libpulse")))
            ++media;
    }
    std::printf("shared-objects %lld\nshared-object-bytes %lld\nmedia-objects %d\n", (long long)files.size(), bytes,
                media);
}

// Prints "first-paint-ns <clock>" when the watched window gets its first
// paint, then what is mapped. With TREVLIN_PROBE_EXIT_AT_FIRST_PAINT set the
// process ends right after the first line, so that an instruction count
// (valgrind --tool=callgrind) covers the start up to the first paint alone.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(QObject *window) { window->installEventFilter(this); }
    bool seen = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !seen) {
            seen = true;
            std::printf("first-paint-ns %lld\nfirst-paint-cpu-ns %lld\n", monotonicNs(), processorNs());
            if (!qEnvironmentVariableIsEmpty("TREVLIN_PROBE_EXIT_AT_FIRST_PAINT")) {
                std::fflush(stdout);
                std::_Exit(0);
            }
            printSharedObjects();
            std::fflush(stdout);
        }
        return false;
    }
};
