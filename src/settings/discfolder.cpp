#include "settings/discfolder.h"

#include "platform/application.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

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
