#pragma once
// What both start-up probes share: the clock (CLOCK_MONOTONIC, the same in every
// process, so the driver can subtract its own reading taken before the start),
// the program's choice of platform, and a watch for a window's first paint.

#include <QEvent>
#include <QObject>
#include <cstdio>
#include <ctime>

inline long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

// As the program does: through X when there is a display and no choice made.
inline void choosePlatformLikeTheProgram()
{
    if (!qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

// Prints "first-paint-ns <clock>" when the watched window gets its first paint.
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
            std::printf("first-paint-ns %lld\n", monotonicNs());
            std::fflush(stdout);
        }
        return false;
    }
};
