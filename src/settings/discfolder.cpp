#include "settings/discfolder.h"

#include "platform/application.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

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

QString installedDiscFolder(const QString &currentFolder, const std::function<QString()> &askFolder)
{
    const QFileInfo settings(QDir(currentFolder), QStringLiteral("trevlin.INI"));
    if (settings.exists() && !settings.isDir())
        return currentFolder;
    return askFolder();
}

QString askDiscFolder(const QString &startFolder)
{
    return QFileDialog::getExistingDirectory(
        nullptr, QStringLiteral("%1: open the disc folder (the one with trevlin.INI)").arg(platform::applicationTitle()),
        startFolder);
}
