#include "settings/filerewrite.h"

#include "platform/discfile.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <QDeadlineTimer>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/xattr.h>
#endif
#elif defined(Q_OS_WIN)
#include "settings/filerewrite_win.h"
#else
#include <QSaveFile>
#endif

namespace filerewrite {
namespace {

Outcome failed(const QString &reason)
{
    return Outcome{false, reason};
}

Outcome done()
{
    return Outcome{true, QString()};
}

#ifdef Q_OS_UNIX

Outcome failed(const char *what, int error)
{
    return failed(QString::fromLatin1(what) + QStringLiteral(": ") + platform::systemReason(error));
}

// A file descriptor that is closed when it goes.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    // Closes it now and says whether that went well (it reports a late write
    // error on some file systems).
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool writeAt(int fd, const char *data, qint64 size, qint64 offset)
{
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size_t(size), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        size -= n;
        offset += n;
    }
    return true;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Waits for the exclusive lock until the deadline. A file system that keeps
// no locks (an NFS mount without its lock service) is written without one.
bool lock(int fd, const QDeadlineTimer &deadline, int &error)
{
    for (int pauseMs = 1;; pauseMs = qMin(pauseMs * 2, 20)) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS)
            return true;
        if (errno != EWOULDBLOCK || deadline.hasExpired()) {
            error = errno;
            return false;
        }
        ::usleep(useconds_t(pauseMs) * 1000);
    }
}

// True when the file has an access list beyond its mode bits, which a new
// file would not get.
bool hasAccessList(int fd)
{
#ifdef Q_OS_LINUX
    return ::fgetxattr(fd, "system.posix_acl_access", nullptr, 0) >= 0;
#else
    Q_UNUSED(fd);
    return false;
#endif
}

// Reserves the blocks for [offset, offset + size) without changing the
// file's size, so that the writes after it cannot run out of room.
int reserve(int fd, qint64 offset, qint64 size)
{
#ifdef Q_OS_LINUX
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, off_t(offset), off_t(size)) == 0)
        return 0;
    if (errno != EOPNOTSUPP && errno != ENOSYS)
        return errno;
#endif
    // Grows the file to its new size where it reserves: the caller cuts it
    // back when the change fails. A file system that can reserve nothing at
    // all is written without.
    const int error = ::posix_fallocate(fd, off_t(offset), off_t(size));
    return error == EOPNOTSUPP || error == EINVAL ? 0 : error;
}

enum class Renamed { Done, Failed, NotPossible };

// Writes `bytes` to a new file in the folder of `name` with the old file's
// owner, group and mode, syncs it and renames it over `name`. NotPossible,
// with nothing left behind, when the folder may not be written, the new
// file's longer name is too long for it, the new file cannot carry what the
// old one has, or the old one cannot be replaced (another file is mounted on
// its name).
Renamed replaceByRename(const QByteArray &name, int oldFd, const struct stat &old,
                        const QByteArray &bytes, Outcome &outcome)
{
    if (hasAccessList(oldFd))
        return Renamed::NotPossible;
    const qsizetype slash = name.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : name.first(slash);
    QByteArray temporary = (slash < 0 ? QByteArray() : name.first(slash + 1)) + '.'
                           + name.sliced(slash + 1) + ".XXXXXX";
    Descriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.isOpen()) {
        if (errno == EACCES || errno == EPERM || errno == EROFS || errno == ENAMETOOLONG)
            return Renamed::NotPossible;
        outcome = failed("cannot make a new file beside it", errno);
        return Renamed::Failed;
    }
    struct Remove
    {
        const QByteArray &name;
        bool keep = false;
        ~Remove()
        {
            if (!keep)
                ::unlink(name.constData());
        }
    } remove{temporary};

    // Only root may give a file away, and only a member of a group may give
    // it that group; the kernel drops a set-group-ID bit it may not keep.
    // So try, then look at what the new file has.
    struct stat info = {};
    if (::fstat(fd.get(), &info) == 0 && (info.st_uid != old.st_uid || info.st_gid != old.st_gid))
        [[maybe_unused]] const int ignored = ::fchown(fd.get(), old.st_uid, old.st_gid);
    ::fchmod(fd.get(), old.st_mode & 07777);
    if (::fstat(fd.get(), &info) != 0 || info.st_uid != old.st_uid || info.st_gid != old.st_gid
        || (info.st_mode & 07777) != (old.st_mode & 07777))
        return Renamed::NotPossible;

    if (!writeAt(fd.get(), bytes.constData(), bytes.size(), 0)) {
        outcome = failed("cannot write the new file", errno);
        return Renamed::Failed;
    }
    if (::fsync(fd.get()) != 0) {
        outcome = failed("cannot sync the new file", errno);
        return Renamed::Failed;
    }
    if (!fd.close()) {
        outcome = failed("cannot close the new file", errno);
        return Renamed::Failed;
    }
    if (::rename(temporary.constData(), name.constData()) != 0) {
        if (errno == EBUSY || errno == EXDEV)
            return Renamed::NotPossible;
        outcome = failed("cannot put the new file in place of the old one", errno);
        return Renamed::Failed;
    }
    remove.keep = true;

    // The rename itself lasts only once the folder is synced.
    Descriptor dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.isOpen() && ::fsync(dir.get()) != 0 && errno != EINVAL && errno != EROFS) {
        outcome = failed("the file was written, but its folder could not be synced", errno);
        return Renamed::Failed;
    }
    outcome = done();
    return Renamed::Done;
}

// Changes the file through `fd` from the first byte that differs on, after
// reserving the room for the new size; a write or sync that fails puts the
// old bytes back as far as it can, and syncs them.
Outcome replaceInPlace(int fd, const QByteArray &old, const QByteArray &bytes)
{
    qint64 first = 0;
    const qint64 common = qMin(old.size(), bytes.size());
    while (first < common && old[first] == bytes[first])
        ++first;
    const auto putBack = [&](const char *what, int error) {
        Outcome outcome = failed(what, error);
        if (!writeAt(fd, old.constData() + first, old.size() - first, first)
            || ::ftruncate(fd, off_t(old.size())) != 0)
            outcome.reason += QStringLiteral("; the old text could not be put back in full");
        else if (::fsync(fd) != 0)
            outcome.reason += QStringLiteral("; the old text was put back, but the disk may still hold part of the new");
        return outcome;
    };

    if (bytes.size() > first) {
        if (const int error = reserve(fd, first, bytes.size() - first); error != 0) {
            ::ftruncate(fd, off_t(old.size()));  // back to its size, if the reservation grew it
            return failed("no room for the change", error);
        }
    }
    if (!writeAt(fd, bytes.constData() + first, bytes.size() - first, first))
        return putBack("cannot write the file", errno);
    if (bytes.size() < old.size() && ::ftruncate(fd, off_t(bytes.size())) != 0)
        return putBack("cannot shorten the file", errno);
    if (::fsync(fd) != 0)
        return putBack("cannot sync the file", errno);
    return done();
}

// One try; `again` when another writer came between the look at the name
// and the lock (it created, renamed or removed the file).
Outcome attempt(const QByteArray &name, bool missing, qint64 maxBytes, const Change &change,
                const QDeadlineTimer &deadline, bool &again)
{
    again = false;
    const int flags = O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    Descriptor fd(missing ? ::open(name.constData(), flags | O_CREAT | O_EXCL, 0666)
                          : ::open(name.constData(), flags));
    if (!fd.isOpen()) {
        if ((missing && errno == EEXIST) || (!missing && errno == ENOENT)) {
            again = true;
            return Outcome();
        }
        return failed(missing ? "cannot create the file" : "the file may not be written", errno);
    }
    struct stat info = {};
    if (::fstat(fd.get(), &info) != 0)
        return failed("cannot examine the file", errno);
    if (!S_ISREG(info.st_mode))
        return failed(QStringLiteral("it is not an ordinary file"));
    // Root may write any file: one without a write permission bit is taken
    // as read-only for everybody (but the one just made, whatever the umask).
    if (!missing && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return failed(QStringLiteral("the file is read-only"));
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);

    int error = 0;
    if (!lock(fd.get(), deadline, error)) {
        if (error == EWOULDBLOCK)
            return failed(QStringLiteral("another program is writing the file and did not finish "
                                         "within %1 seconds").arg(kLockWaitMs / 1000));
        return failed("cannot lock the file", error);
    }
    // The lock holds this file; a writer before us may have put another one
    // in its place.
    struct stat named = {};
    if (::stat(name.constData(), &named) != 0 || ::fstat(fd.get(), &info) != 0 || !sameFile(named, info)) {
        again = true;
        return Outcome();
    }

    // A file we created goes again when it is not written.
    struct Created
    {
        const QByteArray &name;
        int fd;
        bool active;
        ~Created()
        {
            struct stat now = {};
            if (active && ::fstat(fd, &now) == 0 && now.st_size == 0 && now.st_nlink > 0)
                ::unlink(name.constData());
        }
    } created{name, fd.get(), missing};

    if (info.st_size > maxBytes)
        return failed(platform::inspectDiscFile(QFile::decodeName(name), maxBytes).reason);
    QByteArray old;
    if (!platform::readOpenFile(fd.get(), info.st_size, maxBytes, old))
        return failed("cannot read the file", errno);
    if (old.size() > maxBytes)
        return failed(platform::inspectDiscFile(QFile::decodeName(name), maxBytes).reason);

    QByteArray bytes;
    QString reason;
    if (!change(old, bytes, reason))
        return failed(reason);
    created.active = false;
    if (bytes == old)
        return done();

    if (info.st_nlink == 1) {
        Outcome outcome;
        const Renamed renamed = replaceByRename(name, fd.get(), info, bytes, outcome);
        if (renamed != Renamed::NotPossible) {
            created.active = renamed == Renamed::Failed && missing;
            return outcome;
        }
    }
    Outcome outcome = replaceInPlace(fd.get(), old, bytes);
    created.active = !outcome.ok && missing;
    return outcome;
}

#endif

} // namespace

Outcome rewrite(const QString &path, qint64 maxBytes, const Change &change)
{
#ifdef Q_OS_UNIX
    const QDeadlineTimer deadline(kLockWaitMs);
    if (path.isEmpty())
        return failed(QStringLiteral("no file name is set"));
    for (;;) {
        const platform::DiscFile found = platform::inspectDiscFile(path, maxBytes);
        if (!found.ok() && found.problem != platform::DiscFile::Missing)
            return failed(found.reason);
        const bool missing = !found.ok();

        // A symlink stays: its target is the file written.
        QByteArray name = QFile::encodeName(path);
        struct stat link = {};
        if (::lstat(name.constData(), &link) == 0 && S_ISLNK(link.st_mode)) {
            if (missing)
                return failed(QStringLiteral("it is a symbolic link to a file that does not exist"));
            char resolved[PATH_MAX];
            if (!::realpath(name.constData(), resolved))
                return failed("cannot follow the symbolic link", errno);
            name = resolved;
        }

        bool again = false;
        const Outcome outcome = attempt(name, missing, maxBytes, change, deadline, again);
        if (!again)
            return outcome;
        if (deadline.hasExpired())
            return failed(QStringLiteral("other programs kept changing the file for %1 seconds")
                              .arg(kLockWaitMs / 1000));
    }
#elif defined(Q_OS_WIN)
    return win::rewrite(path, maxBytes, change);
#else
    // Elsewhere: a new file renamed over the old one, or the file itself
    // where the folder may not be written; no lock.
    const platform::DiscFile found = platform::readDiscFile(path, maxBytes);
    if (!found.ok() && found.problem != platform::DiscFile::Missing)
        return failed(found.reason);
    if (found.ok() && !QFileInfo(path).isWritable())
        return failed(QStringLiteral("the file is read-only"));
    QByteArray bytes;
    QString reason;
    if (!change(found.bytes, bytes, reason))
        return failed(reason);
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return failed(file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return failed(why);
    }
    if (!file.commit())
        return failed(file.errorString());
    return done();
#endif
}

} // namespace filerewrite
