#pragma once
// The open-file dialogs behind the settings dialog's four Browse buttons.
//
// Each Browse button owns one OpenFileComponent: a title and a filter list.
// A dialog opens where the row's file is (or in the disc folder), and a file
// picked inside the disc folder is named from there, so that the settings
// file still finds it on the viewer's machine.

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

// Where a Browse dialog opens for a box holding `current`, with the disc in
// `discFolder`: `directory` is the folder of that file when it exists (a
// relative name is taken from the disc folder), otherwise the disc folder;
// `selectedFile` is the file itself when it exists, otherwise empty.
struct BrowseStart
{
    QString directory;
    QString selectedFile;
};
BrowseStart browseStart(const QString &current, const QString &discFolder);

// How a picked file is stored: relative to `discFolder` when it lies inside it
// ("front.jpg", "video/movie.mkv"), symbolic links of the folders resolved, so
// that it travels with the disc; otherwise absolute, as picked. Native
// separators either way.
QString pathForDisc(const QString &picked, const QString &discFolder);

class OpenFileComponent : public QObject
{
    Q_OBJECT
public:
    OpenFileComponent(const QString &name, const QString &title, const QString &filterList, QObject *parent);

    QString title() const { return m_title; }
    QString filterList() const { return m_filterList; }

    // Shows the open-file dialog modal over `parent`, opened at `start`, and
    // waits for it: the full path picked, or nothing when cancelled (or when
    // this component went away meanwhile).
    std::optional<QString> showOpen(QWidget *parent, const BrowseStart &start);

private:
    QString m_title;
    QString m_filterList;
};

} // namespace settingsdialog
