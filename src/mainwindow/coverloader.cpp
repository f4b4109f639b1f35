#include "mainwindow/coverloader.h"

#include "platform/discfile.h"

#include <QDeadlineTimer>
#include <QImageReader>
#include <QMutex>
#include <QThreadPool>
#include <QTimer>

#include <cstring>

namespace {

// A cover file larger than this is no cover: the decoded picture alone may
// take at most the image reader's allocation limit.
constexpr qint64 LargestCover = 64 * 1024 * 1024;

std::chrono::milliseconds &limitSetting()
{
    static std::chrono::milliseconds limit{5000};
    return limit;
}

// The picture's bytes, which run out once the decode is given up: the image
// reader then ends at once (a JPEG decoder sees the end of its data) instead
// of going on for minutes. Not a QBuffer, whose bytes Qt's JPEG reader takes
// all at once; unbuffered, so that every read of the decoder comes here: a
// progressive JPEG's scans can be a few bytes each.
class GivingUpDevice : public QIODevice
{
public:
    GivingUpDevice(const QByteArray &bytes, const std::atomic<bool> *givenUp, QDeadlineTimer deadline)
        : m_bytes(bytes), m_givenUp(givenUp), m_deadline(deadline)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    bool givenUp() const { return (m_givenUp && m_givenUp->load()) || m_deadline.hasExpired(); }
    qint64 size() const override { return m_bytes.size(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (givenUp())
            return -1;
        const qint64 n = qBound<qint64>(0, m_bytes.size() - pos(), maxSize);
        std::memcpy(data, m_bytes.constData() + pos(), size_t(n));
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    const QByteArray m_bytes;
    const std::atomic<bool> *m_givenUp;
    QDeadlineTimer m_deadline;
};

QString givenUpReason()
{
    const auto limit = CoverLoader::timeLimit();
    if (limit.count() % 1000 == 0)
        return QStringLiteral("its decoding took longer than %1 seconds and was given up").arg(limit.count() / 1000);
    return QStringLiteral("its decoding took longer than %1 ms and was given up").arg(limit.count());
}

} // namespace

// One load: what the decoding thread shares with the window's.
struct CoverLoader::Job
{
    int index = 0;
    QString path;
    std::atomic<bool> givenUp{false};
    QMutex mutex;                  // guards receiver
    CoverLoader *receiver = nullptr; // null once nothing may be reported
};

CoverLoader::CoverLoader(QObject *parent) : QObject(parent)
{
    for (int i = 0; i < Covers; ++i) {
        m_noteTimers[i] = new QTimer(this);
        m_noteTimers[i]->setSingleShot(true);
        m_noteTimers[i]->setInterval(LoadingNoteDelay);
        connect(m_noteTimers[i], &QTimer::timeout, this, [this, i] {
            if (m_jobs[i])
                emit stillLoading(i, m_jobs[i]->path);
        });
        m_limitTimers[i] = new QTimer(this);
        m_limitTimers[i]->setSingleShot(true);
        connect(m_limitTimers[i], &QTimer::timeout, this, [this, i] { timedOut(i); });
    }
}

CoverLoader::~CoverLoader()
{
    for (int i = 0; i < Covers; ++i)
        cancel(i);
}

std::chrono::milliseconds CoverLoader::timeLimit()
{
    return limitSetting();
}

void CoverLoader::setTimeLimit(std::chrono::milliseconds limit)
{
    limitSetting() = limit;
}

bool CoverLoader::isLoading(int index) const
{
    return bool(m_jobs[index]);
}

void CoverLoader::cancel(int index)
{
    m_noteTimers[index]->stop();
    m_limitTimers[index]->stop();
    if (const std::shared_ptr<Job> job = std::exchange(m_jobs[index], nullptr)) {
        job->givenUp = true;
        QMutexLocker lock(&job->mutex);
        job->receiver = nullptr;
    }
}

void CoverLoader::load(int index, const QString &path, QSize size)
{
    cancel(index);
    auto job = std::make_shared<Job>();
    job->index = index;
    job->path = path;
    job->receiver = this;
    m_jobs[index] = job;
    m_noteTimers[index]->start();
    m_limitTimers[index]->start(timeLimit());
    // The decoder gives itself up a little after the window has, should the
    // window's thread be too busy to tell it.
    QThreadPool::globalInstance()->start([job, size] {
        const Result result = readCover(job->path, size, &job->givenUp);
        QMutexLocker lock(&job->mutex);
        if (CoverLoader *receiver = job->receiver) // a queued call: it runs on the window's thread
            QMetaObject::invokeMethod(receiver, [receiver, job, result] { receiver->finished(job, result); },
                                      Qt::QueuedConnection);
    });
}

void CoverLoader::finished(const std::shared_ptr<Job> &job, const Result &result)
{
    if (m_jobs[job->index] != job)
        return; // given up or replaced since
    const int index = job->index;
    m_jobs[index] = nullptr;
    m_noteTimers[index]->stop();
    m_limitTimers[index]->stop();
    emit loaded(index, job->path, result.picture, result.problem);
}

void CoverLoader::timedOut(int index)
{
    const std::shared_ptr<Job> job = m_jobs[index];
    if (!job)
        return;
    cancel(index);
    emit loaded(index, job->path, QImage(), givenUpReason());
}

CoverLoader::Result CoverLoader::readCover(const QString &path, QSize size, const std::atomic<bool> *givenUp)
{
    platform::DiscFile file = platform::readDiscFile(path, LargestCover);
    if (!file.ok()) // "it is a folder" becomes "(a folder)" in the note
        return {{}, file.reason.startsWith(QLatin1String("it is ")) ? file.reason.mid(6) : file.reason};
    // Past the limit the decoder ends itself, a second after the window gave up.
    GivingUpDevice bytes(file.bytes, givenUp, QDeadlineTimer(timeLimit() + std::chrono::seconds(1)));
    QImageReader reader(&bytes);
    reader.setAutoTransform(true);
    // The reader refuses a picture larger than its allocation limit, but
    // gives no reason for it.
    const QSize own = reader.size();
    const qint64 limit = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
    if (own.isValid() && limit > 0 && qint64(own.width()) * own.height() * 4 > limit)
        return {{}, QStringLiteral("too large: %1 x %2 pixels").arg(own.width()).arg(own.height())};
    // Decoded straight to the size shown; the picture is turned after it is
    // decoded, so a turned one is decoded to the turned size.
    if (size.isValid() && !size.isEmpty() && own.isValid())
        reader.setScaledSize(reader.transformation() & QImageIOHandler::TransformationRotate90 ? size.transposed() : size);
    Result result;
    result.picture = reader.read();
    if (bytes.givenUp()) {
        result.picture = QImage();
        result.problem = givenUpReason();
    } else if (result.picture.isNull()) {
        result.problem = reader.errorString(); // "Unsupported image format"
        if (result.problem.size() > 1 && result.problem[1].isLower())
            result.problem[0] = result.problem[0].toLower();
    }
    return result;
}
