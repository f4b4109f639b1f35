#pragma once
// Reads and decodes the cover pictures away from the window's thread, so that
// no picture a disc holds can keep the main window from answering: a
// progressive JPEG of thousands of scans takes minutes to decode, and a
// picture just under the image reader's allocation limit hundreds of MiB.
//
// Each picture is decoded to the size it is shown at, where its format allows
// (JPEG scales while decoding, PNG row by row), and a decode that takes longer
// than the time limit is given up.

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>
#include <chrono>
#include <memory>

class QTimer;

class CoverLoader : public QObject
{
    Q_OBJECT
public:
    static constexpr int Covers = 2;

    explicit CoverLoader(QObject *parent = nullptr);
    // Gives up what is still being decoded; nothing is reported any more.
    ~CoverLoader() override;

    // Starts reading the picture at `path` for cover `index` and decoding it
    // to `size` pixels (stretched). A load of that cover still running is
    // given up: only the last one reports.
    void load(int index, const QString &path, QSize size);
    // Gives up a load of cover `index` still running, without a report.
    void cancel(int index);
    bool isLoading(int index) const;

    // How long a decode may take before it is given up (5 seconds); and
    // how long a load runs before it is said to be loading.
    static std::chrono::milliseconds timeLimit();
    static void setTimeLimit(std::chrono::milliseconds limit);
    static constexpr std::chrono::milliseconds LoadingNoteDelay{150};

    // The picture at `path` decoded to `size` (or its own size when `size` is
    // empty), or why it cannot be shown in a few words ("a folder", "too
    // large: 30000 x 30000 pixels"). Only an ordinary file is opened, without
    // blocking and up to a size bound, and the picture is decoded from the
    // bytes read: the image reader never opens the path itself. Gives up,
    // with a null picture, once `givenUp` is set. Runs on any thread.
    struct Result
    {
        QImage picture;
        QString problem;
    };
    static Result readCover(const QString &path, QSize size, const std::atomic<bool> *givenUp = nullptr);

signals:
    // The load of cover `index` has taken a moment: its place may say so.
    void stillLoading(int index, const QString &path);
    // Cover `index` is decoded (`problem` empty), or cannot be shown and
    // `problem` says why, also when its decode took too long.
    void loaded(int index, const QString &path, const QImage &picture, const QString &problem);

private:
    struct Job;
    void finished(const std::shared_ptr<Job> &job, const Result &result);
    void timedOut(int index);

    std::shared_ptr<Job> m_jobs[Covers];
    QTimer *m_noteTimers[Covers] = {};
    QTimer *m_limitTimers[Covers] = {};
};
