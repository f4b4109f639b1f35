#pragma once
// The open-file dialogs behind the settings dialog's four Browse buttons.
//
// Each Browse button owns one OpenFileComponent: a title, a filter list, an
// initial folder and the last file picked with it. The component lives as
// long as the settings dialog, so a new opening of the dialog starts with no
// pick.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

namespace settingsdialog {

// What one open-file dialog is asked to show.
struct BrowseRequest
{
    QString title;
    QStringList nameFilters; // in Qt's "Description (pattern pattern)" form, first one offered first
    QString directory;       // the folder shown when there is no selection
    QString selectedFile;    // the component's current file name, possibly empty
};

// Shows an open-file dialog over `parent` and returns the full path picked,
// or nothing when the user cancels.
using FileOpener = std::function<std::optional<QString>(QWidget *parent, const BrowseRequest &request)>;

// Tests answer the dialogs themselves; an empty function restores the real one.
void setFileOpenerForTests(FileOpener opener);

// The real dialog: a QFileDialog for one existing file.
std::optional<QString> openWithFileDialog(QWidget *parent, const BrowseRequest &request);

// Turns a filter list kept in the "description|patterns|description|patterns|"
// notation (patterns separated by ';') into Qt name filters. The description
// stays as written; the patterns follow it in brackets, separated by blanks,
// which is how Qt reads them. A trailing '|' and an empty last item are
// ignored; a description without patterns is dropped.
QStringList nameFiltersFromFilterList(const QString &filterList);

// The folder every Browse dialog starts in: "c:\" on Windows, the filesystem
// root elsewhere.
QString initialBrowseFolder();

class OpenFileComponent : public QObject
{
    Q_OBJECT
public:
    OpenFileComponent(const QString &name, const QString &title, const QString &filterList, QObject *parent);

    QString title() const { return m_title; }
    QString filterList() const { return m_filterList; }
    QString initialFolder() const { return m_initialFolder; }
    // The full path of the last pick, empty before the first one.
    QString fileName() const { return m_fileName; }

    // Shows the open-file dialog modal over `parent` and waits for it. A pick
    // becomes the current file name; a cancel leaves it as it was.
    void showOpen(QWidget *parent);

private:
    QString m_title;
    QString m_filterList;
    QString m_initialFolder = initialBrowseFolder();
    QString m_fileName;
};

} // namespace settingsdialog
