#include "settingsdialog/filebrowse.h"

#include <QDir>
#include <QFileDialog>
#include <QPointer>

namespace settingsdialog {
namespace {

FileOpener &opener()
{
    static FileOpener current;
    return current;
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
    if (!request.nameFilters.isEmpty())
        dialog->selectNameFilter(request.nameFilters.first());
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

QString initialBrowseFolder()
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\");
#else
    return QDir::rootPath();
#endif
}

OpenFileComponent::OpenFileComponent(const QString &name, const QString &title, const QString &filterList,
                                     QObject *parent)
    : QObject(parent), m_title(title), m_filterList(filterList)
{
    setObjectName(name);
}

void OpenFileComponent::showOpen(QWidget *parent)
{
    const BrowseRequest request{m_title, nameFiltersFromFilterList(m_filterList), m_initialFolder, m_fileName};
    const FileOpener replacement = opener();
    // The dialog runs its own event loop: do not touch this component again
    // if the window that owns it went away meanwhile.
    QPointer<OpenFileComponent> self(this);
    const std::optional<QString> picked = replacement ? replacement(parent, request)
                                                      : openWithFileDialog(parent, request);
    if (self && picked)
        m_fileName = *picked;
}

} // namespace settingsdialog
