#include "settings/discfolder.h"

#include "platform/application.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

bool isInstalledFolder(const QString &programFolder, const QString &installFolders)
{
    const QString program = QFileInfo(programFolder).canonicalFilePath();
    if (program.isEmpty())
        return false;
    const QStringList folders = installFolders.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return std::any_of(folders.cbegin(), folders.cend(), [&program](const QString &folder) {
        return QFileInfo(folder).canonicalFilePath() == program;
    });
}

namespace {

bool holdsSettingsFile(const QString &folder)
{
    const QFileInfo settings(QDir(folder), QStringLiteral("trevlin.INI"));
    return settings.exists() && !settings.isDir();
}

} // namespace

QString installedDiscFolder(const QString &currentFolder, const std::function<QString()> &askFolder)
{
    if (holdsSettingsFile(currentFolder))
        return currentFolder;
    return askFolder();
}

QString chooseDiscFolder(const QString &startFolder, const std::function<QString(const QString &)> &askFolder,
                         const std::function<bool(const QString &)> &openAsNewDisc)
{
    QString start = startFolder;
    for (;;) {
        const QString folder = askFolder(start);
        if (folder.isEmpty() || holdsSettingsFile(folder) || openAsNewDisc(folder))
            return folder;
        start = folder;
    }
}

bool askOpenAsNewDisc(const QString &folder)
{
    QMessageBox box(QMessageBox::Question, platform::applicationTitle(),
                    QStringLiteral("The folder \"%1\" has no trevlin.INI, so it holds no disc yet.\n\n"
                                   "Open it to make a new disc there (Settings makes the file), or choose "
                                   "another folder?")
                        .arg(QDir::toNativeSeparators(folder)));
    box.setTextFormat(Qt::PlainText);
    QPushButton *open = box.addButton(QStringLiteral("&Make a New Disc Here"), QMessageBox::AcceptRole);
    QPushButton *again = box.addButton(QStringLiteral("&Choose Again"), QMessageBox::RejectRole);
    box.setDefaultButton(again);
    box.setEscapeButton(again);
    box.exec();
    return box.clickedButton() == open;
}

QString askDiscFolder(const QString &startFolder)
{
    return QFileDialog::getExistingDirectory(
        nullptr, QStringLiteral("%1: open the disc folder (the one with trevlin.INI)").arg(platform::applicationTitle()),
        startFolder);
}

QString enterDiscFolder(const QByteArray &folder, QString *reason)
{
#ifdef Q_OS_UNIX
    if (folder.isEmpty() || folder.contains('\0') || ::chdir(folder.constData()) != 0) {
        if (reason)
            *reason = folder.isEmpty() ? QStringLiteral("no folder") : QString::fromLocal8Bit(std::strerror(errno));
        return {};
    }
    QByteArray path(4096, Qt::Uninitialized);
    while (!::getcwd(path.data(), size_t(path.size()))) {
        if (errno != ERANGE) {
            // Entered, but its path cannot be told: the system still reaches it.
            return QStringLiteral("/proc/self/cwd");
        }
        path.resize(path.size() * 2);
    }
    path.truncate(qsizetype(std::strlen(path.constData())));
    const QString name = QFile::decodeName(path);
    return QFile::encodeName(name) == path ? name : QStringLiteral("/proc/self/cwd");
#else
    const QString name = QFile::decodeName(folder);
    if (!QDir::setCurrent(name)) {
        if (reason)
            *reason = QStringLiteral("it cannot be opened");
        return {};
    }
    return QDir::toNativeSeparators(QDir::currentPath());
#endif
}

GivenFolder givenFolderKind(const QByteArray &folder)
{
#ifdef Q_OS_UNIX
    struct stat st;
    if (folder.isEmpty() || folder.contains('\0') || ::stat(folder.constData(), &st) != 0)
        return GivenFolder::Missing;
    return S_ISDIR(st.st_mode) ? GivenFolder::Folder : GivenFolder::NotAFolder;
#else
    const QFileInfo info(QFile::decodeName(folder));
    return !info.exists() ? GivenFolder::Missing : info.isDir() ? GivenFolder::Folder : GivenFolder::NotAFolder;
#endif
}
