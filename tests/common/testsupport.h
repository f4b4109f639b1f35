#pragma once
// Helpers shared by the widget tests.

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <sys/stat.h>

namespace testsupport {

// A temporary application folder: the program under test looks for its
// settings file here. The real folder comes back when this goes.
class TempAppFolder
{
public:
    TempAppFolder();
    ~TempAppFolder();
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    QString iniPath() const { return filePath(QStringLiteral("trevlin.INI")); }
    void writeIni(const QByteArray &bytes) const { writeFile(QStringLiteral("trevlin.INI"), bytes); }
    QByteArray readIni() const { return readFile(QStringLiteral("trevlin.INI")); }
    void writeFile(const QString &name, const QByteArray &bytes) const;
    QByteArray readFile(const QString &name) const;

private:
    QTemporaryDir m_dir;
};

// What a message box showed, and which button the answerer pressed.
struct SeenBox
{
    QString caption;
    QString text;
    QString detail;        // the text under "Show Details...", if any
    QStringList buttons;   // button texts, in order
    int icon = 0;          // QMessageBox::Icon
    QString defaultButton; // text of the default button, if any
};

// Answers the modal boxes that come up, one after another, by pressing the
// button whose text (without '&') is `button`; records each box it answered.
// Works on the real QMessageBox: it looks for QApplication::activeModalWidget()
// from a timer.
class BoxAnswerer
{
public:
    explicit BoxAnswerer(const QString &button = QStringLiteral("OK"));
    ~BoxAnswerer();
    const QList<SeenBox> &seen() const { return *m_seen; }
    int count() const { return int(m_seen->size()); }

private:
    struct Impl;
    Impl *m_impl;
    std::shared_ptr<QList<SeenBox>> m_seen;
};

// A file's status, and changing its permission bits.
struct stat statOf(const QString &path);
bool setMode(const QString &path, unsigned mode);

// Processes events until `condition` holds or `ms` pass; returns the condition.
bool waitFor(const std::function<bool()> &condition, int ms = 5000);

// Shows a form as the program does and waits until it is the active window.
bool showAndActivate(QWidget *form);

} // namespace testsupport
