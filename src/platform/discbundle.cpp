#include "platform/discbundle.h"

#include "platform/discfile.h"

#ifdef Q_OS_WIN
#include "platform/windows_win.h"
#endif

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#if defined(Q_OS_LINUX)
#include <cerrno>
#include <climits>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <qt_windows.h>
#elif defined(Q_OS_UNIX)
#include <dlfcn.h>
#endif

namespace platform {
namespace {

#if defined(Q_OS_LINUX)
// Where a symbolic link points, as the bytes the system gives.
QByteArray readLink(const char *link)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::readlink(link, target.data(), size_t(target.size()));
        if (n < 0)
            return {};
        if (n < target.size()) {
            target.truncate(n);
            return target;
        }
        target.resize(target.size() * 2);
    }
}

// The device and inode of the file mapped at `address`. Only the numbers of
// its line in /proc/self/maps are read ("start-end perms offset MAJ:MIN
// inode path"), which come before the path and are never escaped.
bool mappedFileId(quintptr address, dev_t *device, ino_t *inode)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    // The file reports no size: read until a read brings nothing.
    for (QByteArray line = maps.readLine(); !line.isEmpty(); line = maps.readLine()) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 5)
            continue;
        const QList<QByteArray> range = fields[0].split('-');
        const QList<QByteArray> majorMinor = fields[3].split(':');
        if (range.size() != 2 || majorMinor.size() != 2)
            continue;
        bool ok[5] = {};
        const quintptr start = range[0].toULongLong(&ok[0], 16);
        const quintptr end = range[1].toULongLong(&ok[1], 16);
        if (!ok[0] || !ok[1] || address < start || address >= end)
            continue;
        const uint major = majorMinor[0].toUInt(&ok[2], 16);
        const uint minor = majorMinor[1].toUInt(&ok[3], 16);
        *inode = ino_t(fields[4].toULongLong(&ok[4], 10));
        *device = makedev(major, minor);
        return ok[2] && ok[3] && ok[4];
    }
    return false;
}

// The program's file as bytes, or nothing when it cannot be known.
QByteArray findProgramFileName()
{
    // Loaded by the kernel, which loaded its interpreter beside it: the
    // executable is the program, and the kernel names it.
    if (::getauxval(AT_BASE) != 0)
        return readLink("/proc/self/exe");

    // Started as `ld-linux PROGRAM`: the loader opened the name it was given
    // (always one with a slash), from the folder the program was started in,
    // and the C library gives that name back for the program's own code.
    Dl_info info = {};
    if (::dladdr(reinterpret_cast<void *>(&programFile), &info) == 0 || !info.dli_fname || !*info.dli_fname)
        return {};
    QByteArray name(info.dli_fname);
    if (!name.startsWith('/')) {
        QByteArray folder = readLink("/proc/self/cwd");
        if (folder.isEmpty())
            return {};
        name = folder + '/' + name;
    }
    // Still the file that was loaded (the name could be another one's by
    // now): its device and inode are those of the mapped code.
    struct stat file = {};
    dev_t device = 0;
    ino_t inode = 0;
    if (::stat(name.constData(), &file) != 0
        || !mappedFileId(reinterpret_cast<quintptr>(&programFile), &device, &inode)
        || file.st_dev != device || file.st_ino != inode)
        return {};
    return name;
}

QString findProgramFile()
{
    const QByteArray name = findProgramFileName();
    if (name.isEmpty())
        return {};
    const QString text = QFile::decodeName(name);
    if (QFile::encodeName(text) == name)
        return text;
    // The name is no valid UTF-8, so its text would name another file:
    // name the folder through a descriptor open on it, which stays open for
    // the program's life. It is named with the process's number rather than
    // "self", so that GStreamer's plugin scanner, a process of its own, can
    // take plugins from it too.
    const qsizetype slash = name.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? name.left(slash) : QByteArray("/");
    const int fd = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {};
    return QStringLiteral("/proc/%1/fd/%2/").arg(::getpid()).arg(fd) + QFile::decodeName(name.mid(slash + 1));
}
#elif defined(Q_OS_WIN)
QString findProgramFile()
{
    // The program's own module, also before the application object exists.
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, name.data(), DWORD(name.size()));
        if (n == 0)
            return {};
        if (n < name.size())
            return QDir::fromNativeSeparators(QString::fromWCharArray(name.data(), int(n)));
        name.resize(name.size() * 2);
    }
}
#elif defined(Q_OS_UNIX)
QString findProgramFile()
{
    Dl_info info = {};
    if (::dladdr(reinterpret_cast<void *>(&programFile), &info) == 0 || !info.dli_fname || !*info.dli_fname)
        return {};
    return QFileInfo(QFile::decodeName(info.dli_fname)).absoluteFilePath();
}
#else
QString findProgramFile()
{
    return {};
}
#endif

const QString &programFileFoundAtStart()
{
    static const QString file = findProgramFile();
    return file;
}

// Found while the program starts, before main() runs.
[[maybe_unused]] const QString &foundAtStart = programFileFoundAtStart();

} // namespace

QString programFile()
{
    return programFileFoundAtStart();
}

namespace {

#if defined(Q_OS_LINUX)
// The descriptor the disc's .trevlin folder is held open at, for the whole
// run. GStreamer is shown the disc's plugins through it, as
// /proc/self/fd/1000/gstreamer-1.0: a name that is the same on every machine
// and wherever the disc is mounted, so that the plugin registry the disc's
// maker wrote under that name (packaging/bundle.cmake, which must use the
// same number) holds here as it is. Without it GStreamer loads every plugin
// on the disc, with all it links, to learn what each holds before the first
// movie plays: megabytes read from a slow drive.
constexpr int bundleDescriptor = 1000;

// The name the disc's .trevlin folder is held open under, or nothing when the
// descriptor cannot be had (taken already, or above the process's limit).
QString holdBundleOpen(const QString &bundle)
{
    static bool holding = false;
    if (!holding && (::fcntl(bundleDescriptor, F_GETFD) != -1 || errno != EBADF))
        return {};
    const int fd = ::open(QFile::encodeName(bundle).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {};
    // In place of what this held before, if anything.
    const bool held = ::dup3(fd, bundleDescriptor, O_CLOEXEC) == bundleDescriptor;
    ::close(fd);
    if (!held)
        return {};
    holding = true;
    return QStringLiteral("/proc/self/fd/%1").arg(bundleDescriptor);
}
#endif

// The registry the disc carries, copied once into `registryFolder` under a
// name of its size and time (a newer disc brings a copy of its own); the
// copy's name, or nothing when the disc has none that can be used or it
// cannot be copied. GStreamer still checks every plugin against it and
// writes it again should one differ; never on the disc.
QString discRegistryCopy(const QString &discRegistry, const QString &registryFolder)
{
    // GStreamer's registry of a score of plugins is about 100 KB.
    constexpr qint64 largest = 4 * 1024 * 1024;
    const QFileInfo disc(discRegistry);
    if (!disc.isFile() || disc.size() <= 0 || disc.size() > largest)
        return {};
    const QString copy = registryFolder
        + QStringLiteral("/gstreamer-1.0-registry-%1-%2.bin")
              .arg(disc.size())
              .arg(disc.lastModified().toSecsSinceEpoch());
    if (QFileInfo(copy).isFile())
        return copy;
    const DiscFile file = readDiscFile(discRegistry, largest);
    if (!file.ok())
        return {};
    QSaveFile out(copy);
    if (!out.open(QIODevice::WriteOnly) || out.write(file.bytes) != file.bytes.size() || !out.commit())
        return {};
    return copy;
}

} // namespace

bool useDiscBundle(const QString &programFolder, const QString &cacheFolder)
{
    const QDir bundle(programFolder + QStringLiteral("/.trevlin"));
    if (!QFileInfo(bundle.filePath(QStringLiteral("gstreamer-1.0"))).isDir())
        return false;

    // GStreamer: only the disc's plugins (never the viewer's own, which the
    // disc's GStreamer would refuse or crash on), with a registry of the
    // disc's own: the one the disc carries when its plugins can be named as
    // they were when it was made, else one made here by loading each plugin.
    // That is done in the program itself: a separate scanner would load all
    // the libraries the program has loaded already again, and a stick that
    // keeps no exec bits could not start it anyway.
    const QString registryFolder = cacheFolder + QStringLiteral("/trevlin");
    QDir().mkpath(registryFolder);
    QString registry = registryFolder + QStringLiteral("/gstreamer-1.0-registry.bin");
    QString bundleName = bundle.path();
#if defined(Q_OS_LINUX)
    if (const QString held = holdBundleOpen(bundle.path()); !held.isEmpty()) {
        bundleName = held;
        const QString copy = discRegistryCopy(bundle.filePath(QStringLiteral("gstreamer-1.0.registry")), registryFolder);
        if (!copy.isEmpty())
            registry = copy;
    }
#endif
    qputenv("GST_PLUGIN_SYSTEM_PATH_1_0", QFile::encodeName(bundleName + QStringLiteral("/gstreamer-1.0")));
    qputenv("GST_REGISTRY_1_0", QFile::encodeName(registry));
    qputenv("GST_REGISTRY_FORK", "no");
    qunsetenv("GST_REGISTRY_UPDATE");
    qunsetenv("GST_PLUGIN_SCANNER_1_0");
    qunsetenv("GST_PLUGIN_PATH");
    qunsetenv("GST_PLUGIN_PATH_1_0");

    // Qt: only the disc's plugins. qt.conf beside the program says the same,
    // but Qt looks for it beside the executable, which is the dynamic loader
    // when that started the program.
    qunsetenv("QT_PLUGIN_PATH");
    qunsetenv("QT_QPA_PLATFORM_PLUGIN_PATH");
    qunsetenv("QT_MEDIA_BACKEND");
    QCoreApplication::setLibraryPaths({bundle.filePath(QStringLiteral("plugins"))});
    return true;
}

} // namespace platform
