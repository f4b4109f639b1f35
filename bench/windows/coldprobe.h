#pragma once
// What the two first-opening probes of bench_player share: the clock, a
// window standing in for the main window (the program is up and has painted
// before the player is opened), and a watch for the first video frame that
// needs nothing of Qt Multimedia at build time: a video sink's size changes
// when its first frame arrives.

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMetaMethod>
#include <QObject>
#include <QWidget>
#include <cstdio>
#include <dlfcn.h>
#include <sys/resource.h>

class FrameWatch : public QObject
{
    Q_OBJECT
public:
    QElapsedTimer clock;
    double openedMs = -1;
    double firstFrameMs = -1;
    double startCpuMs = processorMs();
    double firstFrameCpuMs = -1; // processor time from the start of the clock, all threads

    static double processorMs()
    {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
               + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    }

    void start()
    {
        clock.start();
        startCpuMs = processorMs();
    }

    // Watches the video sink of the video widget under `window`. The probe
    // that loads the media stack with the player's module cannot call
    // QVideoWidget::videoSink() directly (it would link Qt Multimedia): it
    // takes it from the library the module brought in.
    bool watch(QWidget *window)
    {
        QObject *video = nullptr;
        for (QWidget *child : window->findChildren<QWidget *>())
            if (child->inherits("QVideoWidget"))
                video = child;
        void *library = dlopen("libQt6MultimediaWidgets.so.6", RTLD_LAZY | RTLD_NOLOAD);
        void *method = library ? dlsym(library, "_ZNK12QVideoWidget9videoSinkEv") : nullptr;
        if (!video || !method)
            return false;
        // A non-virtual member function takes `this` as its first argument.
        QObject *sink = reinterpret_cast<QObject *(*)(const QObject *)>(method)(video);
        return sink && connect(sink, SIGNAL(videoSizeChanged()), this, SLOT(frame()));
    }

    void waitForFrame()
    {
        QElapsedTimer limit;
        limit.start();
        while (firstFrameMs < 0 && limit.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (firstFrameMs < 0)
            qFatal("no video frame within 30 s");
        std::printf("opened-ms %.3f\nfirst-frame-ms %.3f\nfirst-frame-cpu-ms %.3f\n", openedMs, firstFrameMs,
                    firstFrameCpuMs);
    }

public slots:
    void frame()
    {
        if (firstFrameMs < 0) {
            firstFrameMs = clock.nsecsElapsed() / 1e6;
            firstFrameCpuMs = processorMs() - startCpuMs;
        }
    }
};

// Shows a window and waits for its first paint, as the menu window is up
// when the viewer opens the player.
class StandInMain : public QWidget
{
public:
    StandInMain()
    {
        resize(480, 515);
        show();
        while (!m_painted)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            m_painted = true;
        return QWidget::event(event);
    }

private:
    bool m_painted = false;
};
