#include "settingsdialog/filebrowse.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>

namespace settingsdialog {
namespace {

FileOpener &opener()
{
    static FileOpener current;
    return current;
}

// The patterns of a Qt name filter: "Pictures (*.png *.jpg)" has two.
QStringList patternsOf(const QString &nameFilter)
{
    const qsizetype open = nameFilter.lastIndexOf(QLatin1Char('('));
    const qsizetype close = nameFilter.lastIndexOf(QLatin1Char(')'));
    if (open < 0 || close < open)
        return {};
    return nameFilter.mid(open + 1, close - open - 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

void setFileOpenerForTests(FileOpener replacement)
{
    opener() = std::move(replacement);
}

std::optional<QString> openWithFileDialog(QWidget *parent, const BrowseRequest &request)
{
    // On the heap and watched: should the settings dialog go while this one
    // is open, it takes this one with it, and nothing is deleted twice.
    const QPointer<QFileDialog> dialog = new QFileDialog(parent, request.title, request.directory);
    dialog->setObjectName(QStringLiteral("browseDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    // The descriptions already name their patterns; the bracketed copy that
    // Qt needs stays out of the filter box.
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setNameFilters(request.nameFilters);
    // The first filter that shows the row's file, so that it is seen
    // selected; the first one of the list when there is no file.
    QString filter = request.nameFilters.value(0);
    if (!request.selectedFile.isEmpty()) {
        const QString name = QFileInfo(request.selectedFile).fileName();
        for (const QString &candidate : request.nameFilters) {
            if (QDir::match(patternsOf(candidate), name)) {
                filter = candidate;
                break;
            }
        }
    }
    if (!filter.isEmpty())
        dialog->selectNameFilter(filter);
    if (!request.selectedFile.isEmpty())
        dialog->selectFile(request.selectedFile);
    const int result = dialog->exec();
    if (!dialog)
        return std::nullopt;
    const QStringList files = dialog->selectedFiles();
    delete dialog.data();
    if (result != QDialog::Accepted || files.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(files.first());
}

QStringList nameFiltersFromFilterList(const QString &filterList)
{
    QStringList items = filterList.split(QLatin1Char('|'));
    if (!items.isEmpty() && items.last().isEmpty())
        items.removeLast(); // the '|' after the last pattern list
    QStringList filters;
    for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
        const QStringList patterns = items.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        if (patterns.isEmpty())
            continue;
        filters << items.at(i) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

BrowseStart browseStart(const QString &current, const QString &discFolder)
{
    if (!current.isEmpty()) {
        const QFileInfo file(QDir(discFolder), QDir::fromNativeSeparators(current));
        if (file.isFile())
            return {QDir::toNativeSeparators(file.absolutePath()), QDir::toNativeSeparators(file.absoluteFilePath())};
        if (file.dir().exists()) // the file has gone, its folder is still there
            return {QDir::toNativeSeparators(file.absolutePath()), QString()};
    }
    return {discFolder, QString()};
}

QString pathForDisc(const QString &picked, const QString &discFolder)
{
    const QFileInfo file(QDir::fromNativeSeparators(picked));
    // The file's own name is kept as picked (a link to a file elsewhere is
    // still the disc's file); its folder and the disc folder are compared as
    // written first, then with links resolved.
    const auto inside = [](const QString &folder, const QString &disc) -> std::optional<QString> {
        if (folder.isEmpty() || disc.isEmpty())
            return std::nullopt;
        const QString relative = QDir(disc).relativeFilePath(folder);
        if (relative == QLatin1String("."))
            return QString();
        if (relative == QLatin1String("..") || relative.startsWith(QLatin1String("../")) || QDir::isAbsolutePath(relative))
            return std::nullopt;
        return relative + QLatin1Char('/');
    };
    const QString disc = QDir::fromNativeSeparators(discFolder);
    std::optional<QString> folder = inside(QDir::cleanPath(file.absolutePath()), QDir::cleanPath(QDir(disc).absolutePath()));
    if (!folder)
        folder = inside(QFileInfo(file.absolutePath()).canonicalFilePath(), QFileInfo(disc).canonicalFilePath());
    if (!folder)
        return QDir::toNativeSeparators(picked);
    return QDir::toNativeSeparators(*folder + file.fileName());
}

OpenFileComponent::OpenFileComponent(const QString &name, const QString &title, const QString &filterList,
                                     QObject *parent)
    : QObject(parent), m_title(title), m_filterList(filterList)
{
    setObjectName(name);
}

std::optional<QString> OpenFileComponent::showOpen(QWidget *parent, const BrowseStart &start)
{
    const BrowseRequest request{m_title, nameFiltersFromFilterList(m_filterList), start.directory,
                                start.selectedFile};
    const FileOpener replacement = opener();
    // The dialog runs its own event loop: should the window that owns this
    // component go meanwhile, the pick goes nowhere.
    QPointer<OpenFileComponent> self(this);
    std::optional<QString> picked = replacement ? replacement(parent, request) : openWithFileDialog(parent, request);
    if (!self)
        return std::nullopt;
    return picked;
}

} // namespace settingsdialog
