#include "settings/moduleini.h"

#include "platform/application.h"
#include "settings/initext.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <exception>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const char kFileName[] = "trevlin.INI";

WriteOutcome failed(const QString &reason)
{
    return WriteOutcome{false, reason};
}

// What is known of the file before it is written.
struct Existing
{
    bool exists = false;
#ifdef Q_OS_UNIX
    struct stat info = {};
#endif
};

// Why the file at `path` may not be written, or empty when it may. QSaveFile
// alone is not enough: it writes a new file and renames it over the old one,
// which replaces a read-only file whenever the folder is writable, and root
// may write anything. So a file with no write permission bit is read-only
// for everybody here.
QString cannotWrite(const QString &path, Existing &existing)
{
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &existing.info) != 0) {
        if (errno == ENOENT)
            return QString();  // a new file: the folder decides
        return QStringLiteral("cannot examine the file: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    }
    existing.exists = true;
    if (!S_ISREG(existing.info.st_mode))
        return QStringLiteral("not an ordinary file");
    if ((existing.info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return QStringLiteral("the file is read-only");
    if (::access(name.constData(), W_OK) != 0)  // not ours to write, or a read-only medium
        return QStringLiteral("the file may not be written: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    return QString();
#else
    const QFileInfo info(path);
    existing.exists = info.exists();
    if (!existing.exists)
        return QString();
    if (!info.isFile())
        return QStringLiteral("not an ordinary file");
    if (!info.isWritable())
        return QStringLiteral("the file is read-only");
    return QString();
#endif
}

// Gives the new file the old one's owner and permission bits. QSaveFile
// copies the permissions as Qt sees them, which adds the owner's read and
// write bits whenever the writer may read or write (root always may), and
// the new file belongs to whoever writes it.
void keepOwnerAndMode(QSaveFile &file, const Existing &existing)
{
#ifdef Q_OS_UNIX
    if (!existing.exists)
        return;
    const int fd = file.handle();
    if (fd < 0)
        return;
    if (existing.info.st_uid != ::geteuid() || existing.info.st_gid != ::getegid()) {
        // Only root may give a file away; anybody else keeps it, as before.
        [[maybe_unused]] const int ignored = ::fchown(fd, existing.info.st_uid, existing.info.st_gid);
    }
    ::fchmod(fd, existing.info.st_mode & 07777);
#else
    Q_UNUSED(file);
    Q_UNUSED(existing);
#endif
}

} // namespace

QString settingsFilePath()
{
    return platform::joinFolder(platform::applicationFolder(), QLatin1String(kFileName),
                                QDir::separator());
}

QString readIniFile(const QString &path, const QString &section, const QString &key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();  // a missing file reads as empty, like a missing key
    return initext::lookupInFile(file.readAll(), section, key);
}

WriteOutcome writeIniFile(const QString &path, const QString &section, const QString &key,
                          const QString &value)
{
    Existing existing;
    if (const QString why = cannotWrite(path, existing); !why.isEmpty())
        return failed(why);

    QByteArray old;
    if (existing.exists) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return failed(QStringLiteral("cannot read the file: %1").arg(file.errorString()));
        old = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return failed(QStringLiteral("cannot read the file: %1").arg(file.errorString()));
    }

    const initext::FileEditResult edit = initext::editFile(old, section, key, value);
    if (!edit.ok)
        return failed(edit.reason);

    // A new file and a rename, or, in a folder we may not write, the file
    // itself (it was checked above).
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return failed(file.errorString());
    keepOwnerAndMode(file, existing);
    if (file.write(edit.bytes) != edit.bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return failed(why);
    }
    if (!file.commit())
        return failed(file.errorString());
    return WriteOutcome{true, QString()};
}

QString ReadINI(const QString &section, const QString &key)
{
    return readIniFile(settingsFilePath(), section, key);
}

bool WriteINI(const QString &section, const QString &key, const QString &value)
{
    WriteOutcome outcome;
    try {
        outcome = writeIniFile(settingsFilePath(), section, key, value);
    } catch (const std::exception &fault) {
        outcome = failed(QString::fromLocal8Bit(fault.what()));
    } catch (...) {
        outcome = failed(QStringLiteral("unexpected fault"));
    }
    if (outcome.ok)
        return true;
    qWarning("settings file not written (%s/%s): %s", qUtf8Printable(section),
             qUtf8Printable(key), qUtf8Printable(outcome.reason));
    // Only a program with windows can show the box.
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        platform::showOkMessage(QApplication::activeWindow(), QStringLiteral("Escrita sem Sucesso"),
                                platform::applicationTitle());
    }
    return false;
}
