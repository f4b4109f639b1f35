#include "settings/moduleini.h"

#include "platform/application.h"
#include "platform/discfile.h"
#include "settings/filerewrite.h"
#include "settings/initext.h"

#include <QApplication>
#include <QDir>

#include <exception>

namespace {

const char kFileName[] = "trevlin.INI";

WriteOutcome failed(const QString &reason)
{
    return WriteOutcome{false, reason};
}

} // namespace

QString settingsFilePath()
{
#ifdef Q_OS_WIN
    // A drive's root (D:\) is the one folder reported with a separator at its
    // end: only there does the name follow directly.
    const QString folder = platform::applicationFolder();
    if (folder.endsWith(QLatin1String(":\\")))
        return folder + QLatin1String(kFileName);
    return folder + QLatin1Char('\\') + QLatin1String(kFileName);
#else
    return platform::joinFolder(platform::applicationFolder(), QLatin1String(kFileName),
                                QDir::separator());
#endif
}

QString readIniFile(const QString &path, const QString &section, const QString &key, QString *problem)
{
    // A named pipe or a device is never opened, so nothing waits or fills
    // memory; a missing file reads as empty, like a missing key.
    const platform::DiscFile file = platform::readDiscFile(path, kMaxSettingsFileBytes);
    if (problem)
        *problem = file.ok() || file.problem == platform::DiscFile::Missing ? QString() : file.reason;
    return initext::lookupInFile(file.bytes, section, key);
}

WriteOutcome writeIniFile(const QString &path, const QString &section, const QString &key,
                          const QString &value)
{
    // Refused before the file is looked at, so that no file is made for it.
    if (const QString why = initext::refusalReason(section, key, value); !why.isEmpty())
        return failed(why);
    const filerewrite::Outcome outcome = filerewrite::rewrite(
        path, kMaxSettingsFileBytes, [&](const QByteArray &old, QByteArray &changed, QString &reason) {
            initext::FileEditResult edit = initext::editFile(old, section, key, value);
            changed = std::move(edit.bytes);
            reason = edit.reason;
            return edit.ok;
        });
    return WriteOutcome{outcome.ok, outcome.reason};
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
                                platform::applicationTitle(), outcome.reason);
    }
    return false;
}
