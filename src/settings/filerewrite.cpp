#include "settings/filerewrite.h"

#include "platform/discfile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <QDeadlineTimer>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/vfs.h>
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

// A size as text, precise enough to tell it from `other`: "16.6 MiB" beside
// "16.0 MiB", but "16777217 bytes" beside "16777216 bytes".
QString sizeBeside(qint64 bytes, qint64 other)
{
    const auto rounded = [](qint64 n) {
        if (n >= 1024 * 1024)
            return QStringLiteral("%1 MiB").arg(double(n) / (1024 * 1024), 0, 'f', 1);
        if (n >= 1024)
            return QStringLiteral("%1 KiB").arg(double(n) / 1024, 0, 'f', 1);
        return QStringLiteral("%1 bytes").arg(n);
    };
    if (bytes != other && rounded(bytes) == rounded(other))
        return QStringLiteral("%1 bytes").arg(bytes);
    return rounded(bytes);
}

// A file larger than what is read is not written: what it holds now...
Outcome fileTooLarge(qint64 size, qint64 maxBytes)
{
    return failed(QStringLiteral("it is too large (%1; at most %2 can be used)")
                      .arg(sizeBeside(size, maxBytes), sizeBeside(maxBytes, size)));
}

// ...and what the change would make of it: the program could not read it
// again, and every later read and write would fail.
Outcome resultTooLarge(qint64 size, qint64 maxBytes)
{
    return failed(QStringLiteral("the change would make the file too large to be read again "
                                 "(%1; at most %2 can be used)")
                      .arg(sizeBeside(size, maxBytes), sizeBeside(maxBytes, size)));
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
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    Descriptor(Descriptor &&other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    Descriptor &operator=(Descriptor &&other) noexcept
    {
        if (this != &other) {
            if (m_fd >= 0)
                ::close(m_fd);
            m_fd = other.m_fd;
            other.m_fd = -1;
        }
        return *this;
    }
    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
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

// Opens a name to look at it and walk on from it, never its content: no
// device's driver is asked to open, no named pipe waits.
#ifdef O_PATH
constexpr int kLookOnly = O_PATH | O_CLOEXEC;
#else
constexpr int kLookOnly = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
#endif

// The most symbolic links one name may lead through, as the system allows.
constexpr int kMaxLinks = 40;

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

QString userName(uid_t uid)
{
    struct passwd entry = {};
    struct passwd *found = nullptr;
    char buffer[1024];
    if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QFile::decodeName(found->pw_name);
    return QStringLiteral("user %1").arg(uid);
}

// Why a file of this type is not written.
QString typeReason(const struct stat &info)
{
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("it is a folder");
    if (S_ISFIFO(info.st_mode))
        return QStringLiteral("it is a named pipe, not an ordinary file");
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        return QStringLiteral("it is a device, not an ordinary file");
    if (S_ISSOCK(info.st_mode))
        return QStringLiteral("it is a socket, not an ordinary file");
    return QStringLiteral("it is not an ordinary file");
}

// Where a name leads: the folder that holds the file, the file's name in it
// and the file, each open, so that nothing later looks the name up again.
struct Place
{
    Descriptor folder;
    QByteArray leaf;
    Descriptor file;         // not open when there is no such file
    struct stat info = {};   // the file's, when there is one
    bool throughLink = false;  // the last name was a symbolic link's
};

// Whether the writer follows the symbolic link `link` (named `shown`) found
// in the folder `folder`. The system's rule for folders that everybody may
// write and that keep others from removing files (like /tmp) is applied
// whatever the system is set to: another user's link there is followed only
// when the folder is that user's. As root, no link of another user is
// followed anywhere: that user may point it at any file, and root may write
// every file.
bool mayFollow(const struct stat &folder, const struct stat &link, const QByteArray &shown, QString &why)
{
    const uid_t writer = ::geteuid();
    if (link.st_uid == writer)
        return true;
    const QString name = QFile::decodeName(shown);
    if (writer == 0) {
        why = QStringLiteral("%1 is a symbolic link owned by %2: root does not write through another "
                             "user's link, which that user could point at any file")
                  .arg(name, userName(link.st_uid));
        return false;
    }
    if ((folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH) && link.st_uid != folder.st_uid) {
        why = QStringLiteral("%1 is a symbolic link owned by %2 in a folder that everybody may write: "
                             "such a link is not followed")
                  .arg(name, userName(link.st_uid));
        return false;
    }
    return true;
}

// Walks `path` one name at a time from the folder it starts in, each name
// opened in the folder before it without following a link; a symbolic link
// is followed by its own text, after mayFollow. So the file found is the one
// every check was made on, whatever is renamed meanwhile. False and `why`
// when the walk cannot go on; a missing last name is no failure.
bool resolve(const QByteArray &path, Place &place, QString &why)
{
    const bool absolute = path.startsWith('/');
    Descriptor folder(::open(absolute ? "/" : ".", kLookOnly | O_DIRECTORY));
    if (!folder.isOpen()) {
        why = platform::systemReason(errno);
        return false;
    }
    // The names still to walk, the next one last.
    QByteArrayList rest = path.split('/');
    std::reverse(rest.begin(), rest.end());
    bool mustBeFolder = path.endsWith('/');
    QByteArray shown = absolute ? QByteArray("/") : QByteArray();
    int links = 0;
    const auto isLast = [&rest] {
        return std::all_of(rest.cbegin(), rest.cend(), [](const QByteArray &name) { return name.isEmpty(); });
    };
    while (!rest.isEmpty()) {
        const QByteArray name = rest.takeLast();
        if (name.isEmpty())
            continue;
        const bool last = isLast();
        const QByteArray named = shown.isEmpty() || shown.endsWith('/') ? shown + name : shown + '/' + name;
        Descriptor next(::openat(folder.get(), name.constData(), kLookOnly | O_NOFOLLOW));
        if (!next.isOpen()) {
            if (errno == ENOENT && last && !mustBeFolder) {
                place.folder = std::move(folder);
                place.leaf = name;
                return true;
            }
            why = platform::systemReason(errno);
            return false;
        }
        struct stat info = {};
        if (::fstat(next.get(), &info) != 0) {
            why = platform::systemReason(errno);
            return false;
        }
        if (S_ISLNK(info.st_mode)) {
            struct stat folderInfo = {};
            if (++links > kMaxLinks) {
                why = platform::systemReason(ELOOP);
                return false;
            }
            if (::fstat(folder.get(), &folderInfo) != 0) {
                why = platform::systemReason(errno);
                return false;
            }
            if (!mayFollow(folderInfo, info, named, why))
                return false;
            QByteArray target(PATH_MAX, '\0');
            const ssize_t size = ::readlinkat(next.get(), "", target.data(), size_t(target.size()));
            if (size <= 0 || size >= target.size()) {
                why = platform::systemReason(size < 0 ? errno : size == 0 ? ENOENT : ENAMETOOLONG);
                return false;
            }
            target.truncate(size);
            if (target.startsWith('/')) {
                folder = Descriptor(::open("/", kLookOnly | O_DIRECTORY));
                if (!folder.isOpen()) {
                    why = platform::systemReason(errno);
                    return false;
                }
                shown = "/";
            }
            if (last) {
                place.throughLink = true;
                mustBeFolder = mustBeFolder || target.endsWith('/');
            }
            QByteArrayList more = target.split('/');
            std::reverse(more.begin(), more.end());
            rest += more;
            continue;
        }
        if (!last) {
            if (!S_ISDIR(info.st_mode)) {
                why = platform::systemReason(ENOTDIR);
                return false;
            }
            folder = std::move(next);
            shown = named;
            continue;
        }
        if (mustBeFolder && !S_ISDIR(info.st_mode)) {
            why = platform::systemReason(ENOTDIR);
            return false;
        }
        place.folder = std::move(folder);
        place.leaf = name;
        place.file = std::move(next);
        place.info = info;
        return true;
    }
    // The name ends in a folder ("/", "..").
    why = QStringLiteral("it is a folder");
    return false;
}

// Opens the file found by resolve() for reading and writing: through
// /proc/self/fd, the very file that was looked at, or where there is no
// /proc, by its name in its folder, checked to be the same file.
int reopen(const Place &place, int flags)
{
    flags |= O_NOCTTY | O_CLOEXEC;
#ifdef Q_OS_LINUX
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(place.file.get());
    const int fd = ::open(self.constData(), flags);
    if (fd >= 0 || errno != ENOENT || ::access("/proc/self/fd", F_OK) == 0)
        return fd;
#endif
    Descriptor named(::openat(place.folder.get(), place.leaf.constData(), flags | O_NOFOLLOW | O_NONBLOCK));
    struct stat info = {};
    if (!named.isOpen())
        return -1;
    if (::fstat(named.get(), &info) != 0 || !sameFile(info, place.info)) {
        errno = ENOENT;  // replaced meanwhile: the caller starts again
        return -1;
    }
    ::fcntl(named.get(), F_SETFL, ::fcntl(named.get(), F_GETFL) & ~O_NONBLOCK);
    return named.release();
}

int openForWriting(const Place &place)
{
    return reopen(place, O_RDWR);
}

int openForReading(const Place &place)
{
    return reopen(place, O_RDONLY);
}

// A descriptor of the folder itself (resolve() keeps it only to look in it),
// for reading its entries and syncing it.
Descriptor openFolder(const Place &place)
{
    return Descriptor(::openat(place.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
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

// True when the file has an access list beyond its mode bits.
bool hasAccessList(int fd)
{
#ifdef Q_OS_LINUX
    return ::fgetxattr(fd, "system.posix_acl_access", nullptr, 0) >= 0;
#else
    Q_UNUSED(fd);
    return false;
#endif
}

// True when the folder keeps its names (chattr +a or +i): a new file could be
// put in it but never renamed over the old one nor removed again.
bool keepsItsNames(int folder)
{
#ifdef Q_OS_LINUX
    int attributes = 0;
    if (::ioctl(folder, FS_IOC_GETFLAGS, &attributes) == 0)
        return attributes & (FS_APPEND_FL | FS_IMMUTABLE_FL);
#else
    Q_UNUSED(folder);
#endif
    return false;
}

// The hidden name of a new file for `leaf`: ".trevlin.INI.XXXXXX".
QByteArray newFileName(const QByteArray &leaf)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray name = '.' + leaf + '.';
    for (int i = 0; i < 6; ++i)
        name += letters[QRandomGenerator::system()->bounded(int(sizeof letters) - 1)];
    return name;
}

bool isNewFileName(const QByteArray &name, const QByteArray &leaf)
{
    const QByteArray prefix = '.' + leaf + '.';
    if (name.size() != prefix.size() + 6 || !name.startsWith(prefix))
        return false;
    return std::all_of(name.cend() - 6, name.cend(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    });
}

// A new file in `folder` under a hidden name, locked by its writer from the
// moment it is made to the moment it goes or takes the old file's name, so
// that a later writer can tell one of a writer that was killed (which
// removeLeftovers() removes) from one being written. It goes when this does,
// unless kept.
class NewFile
{
public:
    NewFile(int folder, const QByteArray &leaf) : m_folder(folder)
    {
        for (int tries = 0; tries < 100; ++tries) {
            const QByteArray name = newFileName(leaf);
            const int fd = ::openat(folder, name.constData(),
                                    O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
            if (fd < 0 && errno == EEXIST)
                continue;
            if (fd >= 0) {
                m_fd = Descriptor(fd);
                m_name = name;
                ::flock(fd, LOCK_EX | LOCK_NB);
            }
            return;
        }
        errno = EEXIST;
    }
    ~NewFile()
    {
        if (!m_name.isEmpty() && !m_kept)
            ::unlinkat(m_folder, m_name.constData(), 0);
    }
    NewFile(const NewFile &) = delete;
    NewFile &operator=(const NewFile &) = delete;
    bool isOpen() const { return m_fd.isOpen(); }
    int fd() const { return m_fd.get(); }
    Descriptor &descriptor() { return m_fd; }
    const QByteArray &name() const { return m_name; }
    void keep() { m_kept = true; }

private:
    int m_folder;
    Descriptor m_fd;
    QByteArray m_name;
    bool m_kept = false;
};

// Removes the new files of writers that were killed before they renamed
// theirs: hidden files of the settings file's new-file name that no writer
// holds locked. Runs under the settings file's lock.
void removeLeftovers(int folder, const QByteArray &leaf)
{
    Descriptor listed(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR *dir = listed.isOpen() ? ::fdopendir(listed.get()) : nullptr;
    if (!dir)
        return;
    const int dirFd = listed.get();
    QByteArrayList names;
    while (const struct dirent *entry = ::readdir(dir)) {
        if (isNewFileName(entry->d_name, leaf))
            names << QByteArray(entry->d_name);
    }
    for (const QByteArray &name : std::as_const(names)) {
        // Only an ordinary file is opened to be locked: no device's driver is
        // asked to open, whatever a name of this form holds.
        Place found;
        found.folder = Descriptor(::dup(folder));
        found.leaf = name;
        found.file = Descriptor(::openat(folder, name.constData(), kLookOnly | O_NOFOLLOW));
        struct stat info = {}, named = {};
        if (!found.file.isOpen() || ::fstat(found.file.get(), &found.info) != 0 || !S_ISREG(found.info.st_mode))
            continue;
        Descriptor fd(openForReading(found));
        if (!fd.isOpen() || ::fstat(fd.get(), &info) != 0)
            continue;
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;  // a writer has it, or no locks here to tell
        if (::fstatat(dirFd, name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(info, named))
            ::unlinkat(dirFd, name.constData(), 0);
    }
    ::closedir(dir);  // closes `listed`'s descriptor
    listed.release();
}

enum class Step { Done, Failed, NotPossible };

// Writes `bytes` to a new file in the folder with the old file's owner,
// group and mode and nothing else (no access list inherited from the
// folder), syncs it and renames it over `leaf`. NotPossible, with nothing
// left behind, when the folder may not be written or keeps its names, the
// new file's longer name is too long for it, the new file cannot carry
// exactly what the old one has, or the old one cannot be replaced (another
// file is mounted on its name).
Step replaceByRename(const Place &place, int oldFd, const struct stat &old, const QByteArray &bytes,
                     Outcome &outcome)
{
    if (hasAccessList(oldFd))
        return Step::NotPossible;
    Descriptor folder = openFolder(place);
    if (!folder.isOpen() || keepsItsNames(folder.get()))
        return Step::NotPossible;
    NewFile file(place.folder.get(), place.leaf);
    if (!file.isOpen()) {
        if (errno == EACCES || errno == EPERM || errno == EROFS || errno == ENAMETOOLONG)
            return Step::NotPossible;
        outcome = failed("cannot make a new file beside it", errno);
        return Step::Failed;
    }

    // Only root may give a file away, and only a member of a group may give
    // it that group; the kernel drops a set-group-ID bit it may not keep. A
    // folder with a default access list gives the new file entries of its
    // own, which go. So try, then look at what the new file has.
    const int fd = file.fd();
    struct stat info = {};
    if (::fstat(fd, &info) == 0 && (info.st_uid != old.st_uid || info.st_gid != old.st_gid))
        [[maybe_unused]] const int ignored = ::fchown(fd, old.st_uid, old.st_gid);
#ifdef Q_OS_LINUX
    ::fremovexattr(fd, "system.posix_acl_access");
#endif
    ::fchmod(fd, old.st_mode & 07777);
    if (::fstat(fd, &info) != 0 || info.st_uid != old.st_uid || info.st_gid != old.st_gid
        || (info.st_mode & 07777) != (old.st_mode & 07777) || hasAccessList(fd))
        return Step::NotPossible;

    if (!writeAt(fd, bytes.constData(), bytes.size(), 0)) {
        outcome = failed("cannot write the new file", errno);
        return Step::Failed;
    }
    if (::fsync(fd) != 0) {
        outcome = failed("cannot sync the new file", errno);
        return Step::Failed;
    }
    if (::renameat(place.folder.get(), file.name().constData(), place.folder.get(), place.leaf.constData()) != 0) {
        if (errno == EBUSY || errno == EXDEV || errno == EPERM)
            return Step::NotPossible;
        outcome = failed("cannot put the new file in place of the old one", errno);
        return Step::Failed;
    }
    file.keep();
    if (!file.descriptor().close()) {
        outcome = failed("the file was written, but closing it reported an error", errno);
        return Step::Failed;
    }

    // The rename itself lasts only once the folder is synced.
    if (::fsync(folder.get()) != 0 && errno != EINVAL && errno != EROFS) {
        outcome = failed("the file was written, but its folder could not be synced", errno);
        return Step::Failed;
    }
    outcome = done();
    return Step::Done;
}

#ifdef Q_OS_LINUX
// A file with no name in the folder, for the clone below; it goes when its
// descriptor is closed.
Descriptor anonymousFile(const Place &place)
{
    const int fd = ::openat(place.folder.get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return Descriptor(fd);
    // No such files here: a named one, removed at once (not in a folder that
    // keeps its names).
    Descriptor folder = openFolder(place);
    if (!folder.isOpen() || keepsItsNames(folder.get())) {
        errno = EPERM;
        return Descriptor();
    }
    NewFile file(place.folder.get(), place.leaf);
    if (!file.isOpen())
        return Descriptor();
    return Descriptor(::dup(file.fd()));  // the name goes with `file`
}

bool unsupported(int error)
{
    return error == EOPNOTSUPP || error == ENOTTY || error == EXDEV || error == EINVAL || error == ENOSYS
           || error == EACCES || error == EPERM || error == EROFS || error == ETXTBSY;
}

// The in-place change on a file system that shares blocks between files
// (btrfs, XFS with reflinks, ...), where rewriting a byte needs new room:
// the whole new text is written and synced in a file of its own first, and
// only then is the file made to use its blocks (FICLONE: the same file, its
// links, owner, mode and access list stay). A full disk fails that first
// write, with the file untouched. The old blocks are kept the same way
// first, to put back. NotPossible, with the file untouched, where the file
// system cannot share blocks or no file can be made in the folder.
Step replaceByClone(const Place &place, int fd, const QByteArray &old, const QByteArray &bytes, Outcome &outcome)
{
    Descriptor saved = anonymousFile(place);
    if (!saved.isOpen())
        return Step::NotPossible;
    if (!old.isEmpty() && ::ioctl(saved.get(), FICLONE, fd) != 0) {
        if (unsupported(errno))
            return Step::NotPossible;
        outcome = failed("no room for the change", errno);
        return Step::Failed;
    }
    Descriptor text = anonymousFile(place);
    if (!text.isOpen())
        return Step::NotPossible;
    // As long as the old text at least: a clone may not end in the middle
    // of a block of the file; the file is cut after it.
    QByteArray content = bytes;
    if (content.size() < old.size())
        content += old.sliced(content.size());
    if (!writeAt(text.get(), content.constData(), content.size(), 0) || ::fsync(text.get()) != 0) {
        outcome = failed(errno == ENOSPC || errno == EDQUOT ? "no room for the change" : "cannot write the new text",
                         errno);
        return Step::Failed;
    }

    const auto putBack = [&](const char *what, int error) {
        outcome = failed(what, error);
        if (::ftruncate(fd, off_t(old.size())) != 0
            || (!old.isEmpty() && ::ioctl(fd, FICLONE, saved.get()) != 0))
            outcome.reason += QStringLiteral("; the old text could not be put back in full");
        else if (::fsync(fd) != 0)
            outcome.reason += QStringLiteral("; the old text was put back, but the disk may still hold part of the new");
        return Step::Failed;
    };
    if (::ioctl(fd, FICLONE, text.get()) != 0) {
        if (unsupported(errno))
            return Step::NotPossible;  // refused as a whole
        return putBack("cannot write the file", errno);
    }
    if (bytes.size() < old.size() && ::ftruncate(fd, off_t(bytes.size())) != 0)
        return putBack("cannot shorten the file", errno);
    if (::fsync(fd) != 0)
        return putBack("cannot sync the file", errno);
    outcome = done();
    return Step::Done;
}

// True when the file system writes changed bytes to new blocks, so that a
// rewrite needs as much free room as it rewrites.
bool copiesOnWrite(int fd)
{
    struct statfs info = {};
    if (::fstatfs(fd, &info) != 0)
        return false;
    switch (static_cast<unsigned long>(info.f_type)) {
    case BTRFS_SUPER_MAGIC:
    case NILFS_SUPER_MAGIC:
    case 0x2fc12fc1UL:  // ZFS
    case 0xca451a4eUL:  // bcachefs
        return true;
    default:
        return false;
    }
}
#endif

// Reserves the blocks for [offset, offset + size) without changing the
// file's size, so that the writes after it cannot run out of room on a file
// system that writes a file's blocks in place; on one that shares blocks
// between files (XFS), the range gets blocks of its own first.
int reserve(int fd, qint64 offset, qint64 size)
{
#ifdef Q_OS_LINUX
    if (::fallocate(fd, FALLOC_FL_UNSHARE_RANGE, off_t(offset), off_t(size)) != 0
        && errno != EOPNOTSUPP && errno != EINVAL && errno != ENOSYS)
        return errno;
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

// Changes the file through `fd` from the first byte that differs on, after
// making sure the room for it is there; a write or sync that fails puts the
// old bytes back as far as it can, and syncs them.
Outcome replaceInPlace(const Place &place, int fd, const QByteArray &old, const QByteArray &bytes)
{
#ifdef Q_OS_LINUX
    Outcome cloned;
    if (replaceByClone(place, fd, old, bytes, cloned) != Step::NotPossible)
        return cloned;
#else
    Q_UNUSED(place);
#endif
    qint64 first = 0;
    const qint64 common = qMin(old.size(), bytes.size());
    while (first < common && old[first] == bytes[first])
        ++first;
    const qint64 rewritten = bytes.size() - first;

#ifdef Q_OS_LINUX
    // A file system that writes changed bytes elsewhere and cannot share
    // blocks here: only the free room it reports can be checked, with a
    // block to spare on each side of every 64 KiB and 1 MiB for its records.
    if (rewritten > 0 && copiesOnWrite(fd)) {
        struct statvfs room = {};
        const qint64 needed = rewritten + (rewritten / 65536 + 2) * 8192 + 1024 * 1024;
        if (::fstatvfs(fd, &room) == 0 && qint64(room.f_bavail) * qint64(room.f_frsize) < needed)
            return failed(QStringLiteral("no room for the change (this file system writes changed bytes to "
                                         "new places: %1 are needed, %2 are free): %3")
                              .arg(sizeBeside(needed, 0), sizeBeside(qint64(room.f_bavail) * qint64(room.f_frsize), 0),
                                   platform::systemReason(ENOSPC)));
    }
#endif

    const auto putBack = [&](const char *what, int error) {
        Outcome outcome = failed(what, error);
        if (!writeAt(fd, old.constData() + first, old.size() - first, first)
            || ::ftruncate(fd, off_t(old.size())) != 0)
            outcome.reason += QStringLiteral("; the old text could not be put back in full");
        else if (::fsync(fd) != 0)
            outcome.reason += QStringLiteral("; the old text was put back, but the disk may still hold part of the new");
        return outcome;
    };

    if (rewritten > 0) {
        if (const int error = reserve(fd, first, rewritten); error != 0) {
            ::ftruncate(fd, off_t(old.size()));  // back to its size, if the reservation grew it
            return failed("no room for the change", error);
        }
    }
    if (!writeAt(fd, bytes.constData() + first, rewritten, first))
        return putBack("cannot write the file", errno);
    if (bytes.size() < old.size() && ::ftruncate(fd, off_t(bytes.size())) != 0)
        return putBack("cannot shorten the file", errno);
    if (::fsync(fd) != 0)
        return putBack("cannot sync the file", errno);
    return done();
}

// One try; `again` when another writer came between the walk to the file
// and the lock (it created, renamed or removed the file).
Outcome attempt(const QByteArray &path, qint64 maxBytes, const Change &change, const QDeadlineTimer &deadline,
                bool &again)
{
    again = false;
    Place place;
    QString why;
    if (!resolve(path, place, why))
        return failed(why);
    const bool missing = !place.file.isOpen();
    if (missing && place.throughLink)
        return failed(QStringLiteral("it is a symbolic link to a file that does not exist"));

    Descriptor fd;
    if (missing) {
        fd = Descriptor(::openat(place.folder.get(), place.leaf.constData(),
                                 O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666));
        if (!fd.isOpen()) {
            if (errno == EEXIST) {
                again = true;
                return Outcome();
            }
            return failed("cannot create the file", errno);
        }
    } else {
        if (!S_ISREG(place.info.st_mode))
            return failed(typeReason(place.info));
        if (place.info.st_size > maxBytes)
            return fileTooLarge(place.info.st_size, maxBytes);
        // Root may write any file: one without a write permission bit is
        // taken as read-only for everybody.
        if ((place.info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return failed(QStringLiteral("the file is read-only"));
        fd = Descriptor(openForWriting(place));
        if (!fd.isOpen()) {
            if (errno == ENOENT) {
                again = true;
                return Outcome();
            }
            return failed("the file may not be written", errno);
        }
    }

    int error = 0;
    if (!lock(fd.get(), deadline, error)) {
        if (error == EWOULDBLOCK)
            return failed(QStringLiteral("another program is writing the file and did not finish "
                                         "within %1 seconds").arg(kLockWaitMs / 1000));
        return failed("cannot lock the file", error);
    }
    // The lock holds this file; a writer before us may have put another one
    // in its place.
    struct stat info = {}, named = {};
    if (::fstatat(place.folder.get(), place.leaf.constData(), &named, AT_SYMLINK_NOFOLLOW) != 0
        || ::fstat(fd.get(), &info) != 0 || !sameFile(named, info)) {
        again = true;
        return Outcome();
    }

    // A file we created goes again when it is not written.
    struct Created
    {
        const Place &place;
        int fd;
        bool active;
        ~Created()
        {
            struct stat now = {}, named = {};
            if (active && ::fstat(fd, &now) == 0 && now.st_size == 0
                && ::fstatat(place.folder.get(), place.leaf.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0
                && sameFile(now, named))
                ::unlinkat(place.folder.get(), place.leaf.constData(), 0);
        }
    } created{place, fd.get(), missing};

    if (info.st_size > maxBytes)
        return fileTooLarge(info.st_size, maxBytes);
    QByteArray old;
    if (!platform::readOpenFile(fd.get(), info.st_size, maxBytes, old))
        return failed("cannot read the file", errno);
    if (old.size() > maxBytes)
        return fileTooLarge(old.size(), maxBytes);

    QByteArray bytes;
    QString reason;
    if (!change(old, bytes, reason))
        return failed(reason);
    if (bytes.size() > maxBytes)
        return resultTooLarge(bytes.size(), maxBytes);
    created.active = false;
    if (bytes == old)
        return done();

    removeLeftovers(place.folder.get(), place.leaf);
    if (info.st_nlink == 1) {
        Outcome outcome;
        const Step renamed = replaceByRename(place, fd.get(), info, bytes, outcome);
        if (renamed != Step::NotPossible) {
            created.active = renamed == Step::Failed && missing;
            return outcome;
        }
    }
    Outcome outcome = replaceInPlace(place, fd.get(), old, bytes);
    created.active = !outcome.ok && missing;
    return outcome;
}

#endif

} // namespace

Outcome rewrite(const QString &path, qint64 maxBytes, const Change &change)
{
    if (path.isEmpty())
        return failed(QStringLiteral("no file name is set"));
#ifdef Q_OS_UNIX
    const QDeadlineTimer deadline(kLockWaitMs);
    const QByteArray name = QFile::encodeName(path);
    for (;;) {
        bool again = false;
        const Outcome outcome = attempt(name, maxBytes, change, deadline, again);
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
    if (found.problem == platform::DiscFile::TooLarge)
        return fileTooLarge(found.size, maxBytes);
    if (!found.ok() && found.problem != platform::DiscFile::Missing)
        return failed(found.reason);
    if (found.ok() && !QFileInfo(path).isWritable())
        return failed(QStringLiteral("the file is read-only"));
    QByteArray bytes;
    QString reason;
    if (!change(found.bytes, bytes, reason))
        return failed(reason);
    if (bytes.size() > maxBytes)
        return resultTooLarge(bytes.size(), maxBytes);
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
