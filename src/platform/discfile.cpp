#include "platform/discfile.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

#ifdef Q_OS_WIN
#include "platform/windows_win.h"
#endif
#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {
namespace {

DiscFile problem(DiscFile::Problem kind, const QString &reason)
{
    return discFileProblem(kind, reason);
}

DiscFile tooLarge(qint64 size, qint64 maxBytes)
{
    return discFileTooLarge(size, maxBytes);
}

QString sizeText(qint64 bytes)
{
    if (bytes >= 1024 * 1024)
        return QStringLiteral("%1 MiB").arg(double(bytes) / (1024 * 1024), 0, 'f', 1);
    if (bytes >= 1024)
        return QStringLiteral("%1 KiB").arg(double(bytes) / 1024, 0, 'f', 1);
    return QStringLiteral("%1 bytes").arg(bytes);
}

#ifdef Q_OS_UNIX
// What the file's type says, for anything but an ordinary file.
DiscFile byType(const struct stat &info)
{
    if (S_ISDIR(info.st_mode))
        return problem(DiscFile::Folder, QStringLiteral("it is a folder"));
    if (S_ISFIFO(info.st_mode))
        return problem(DiscFile::NotOrdinary, QStringLiteral("it is a named pipe, not an ordinary file"));
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        return problem(DiscFile::NotOrdinary, QStringLiteral("it is a device, not an ordinary file"));
    if (S_ISSOCK(info.st_mode))
        return problem(DiscFile::NotOrdinary, QStringLiteral("it is a socket, not an ordinary file"));
    return problem(DiscFile::NotOrdinary, QStringLiteral("it is not an ordinary file"));
}

DiscFile statFailed(int error)
{
    if (error == ENOENT || error == ENOTDIR)
        return problem(DiscFile::Missing, QStringLiteral("the file does not exist"));
    return problem(DiscFile::Unreadable, systemReason(error));
}
#endif

} // namespace

DiscFile discFileProblem(DiscFile::Problem kind, const QString &reason)
{
    DiscFile file;
    file.problem = kind;
    file.reason = reason;
    return file;
}

DiscFile discFileTooLarge(qint64 size, qint64 maxBytes)
{
    // Rounded, a file just over the bound would read as large as the bound.
    QString sizeShown = sizeText(size);
    QString boundShown = sizeText(maxBytes);
    if (sizeShown == boundShown) {
        sizeShown = QStringLiteral("%1 bytes").arg(size);
        boundShown = QStringLiteral("%1 bytes").arg(maxBytes);
    }
    DiscFile file = discFileProblem(DiscFile::TooLarge,
                                    QStringLiteral("it is too large (%1; at most %2 can be used)").arg(sizeShown, boundShown));
    file.size = size;
    return file;
}

DiscFile inspectDiscFile(const QString &path, qint64 maxBytes)
{
    if (path.isEmpty())
        return problem(DiscFile::Missing, QStringLiteral("no file name is set"));
#ifdef Q_OS_UNIX
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return statFailed(errno);
    if (!S_ISREG(info.st_mode))
        return byType(info);
    if (maxBytes >= 0 && info.st_size > maxBytes)
        return tooLarge(info.st_size, maxBytes);
    DiscFile file;
    file.size = info.st_size;
    return file;
#elif defined(Q_OS_WIN)
    return win::inspectFile(path, maxBytes);
#else
    const QFileInfo info(path);
    if (!info.exists())
        return problem(DiscFile::Missing, QStringLiteral("the file does not exist"));
    if (info.isDir())
        return problem(DiscFile::Folder, QStringLiteral("it is a folder"));
    if (!info.isFile())
        return problem(DiscFile::NotOrdinary, QStringLiteral("it is not an ordinary file"));
    if (maxBytes >= 0 && info.size() > maxBytes)
        return tooLarge(info.size(), maxBytes);
    DiscFile file;
    file.size = info.size();
    return file;
#endif
}

#ifdef Q_OS_UNIX
int openDiscFile(const QString &path, DiscFile *file, qint64 maxBytes)
{
    *file = inspectDiscFile(path, maxBytes);
    if (!file->ok())
        return -1;
    // Opened without blocking, then checked again on the open descriptor: the
    // name may have been swapped for a pipe since it was looked at.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *file = statFailed(errno);
        return -1;
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        *file = problem(DiscFile::Unreadable, systemReason(error));
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        *file = byType(info);
        return -1;
    }
    if (maxBytes >= 0 && info.st_size > maxBytes) {
        ::close(fd);
        *file = tooLarge(info.st_size, maxBytes);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file->size = info.st_size;
    return fd;
}

QString openFileName(int fd)
{
#ifdef Q_OS_LINUX
    return QStringLiteral("/proc/self/fd/%1").arg(fd);
#else
    return QStringLiteral("/dev/fd/%1").arg(fd);
#endif
}
#endif

DiscFile readDiscFile(const QString &path, qint64 maxBytes)
{
#ifdef Q_OS_UNIX
    DiscFile file;
    const int fd = openDiscFile(path, &file, maxBytes);
    if (fd < 0)
        return file;
    // Read to the end, at most one byte past the bound to see a file that grew.
    QByteArray bytes;
    if (!readOpenFile(fd, file.size, maxBytes, bytes)) {
        const int error = errno;
        ::close(fd);
        return problem(DiscFile::Unreadable, systemReason(error));
    }
    ::close(fd);
    if (bytes.size() > maxBytes)
        return tooLarge(bytes.size(), maxBytes);
    file.size = bytes.size();
    file.bytes = bytes;
    return file;
#elif defined(Q_OS_WIN)
    return win::readFile(path, maxBytes);
#else
    DiscFile file = inspectDiscFile(path, maxBytes);
    if (!file.ok())
        return file;
    QFile handle(path);
    if (!handle.open(QIODevice::ReadOnly))
        return problem(DiscFile::Unreadable, handle.errorString());
    file.bytes = handle.read(maxBytes + 1);
    if (file.bytes.size() > maxBytes)
        return tooLarge(file.bytes.size(), maxBytes);
    file.size = file.bytes.size();
    return file;
#endif
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

#ifdef Q_OS_UNIX
bool readOpenFile(int fd, qint64 size, qint64 maxBytes, QByteArray &bytes)
{
    bytes.resize(qMin<qint64>(qMax<qint64>(size, 0), maxBytes) + 1);
    qint64 filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > maxBytes)
                return true;
            bytes.resize(qMin<qint64>(maxBytes + 1, bytes.size() * 2));
        }
        const ssize_t n = ::pread(fd, bytes.data() + filled, size_t(bytes.size() - filled), off_t(filled));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        filled += n;
    }
    bytes.truncate(filled);
    return true;
}
#endif

} // namespace platform
