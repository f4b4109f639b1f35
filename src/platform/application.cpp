#include "platform/application.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPointer>

namespace platform {
namespace {

QString &folderOverride()
{
    static QString folder;
    return folder;
}

std::function<void()> &endHandler()
{
    static std::function<void()> handler;
    return handler;
}

} // namespace

QString applicationTitle()
{
    return QStringLiteral("Trevlin");
}

QString applicationFolder()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

void setApplicationFolder(const QString &folder)
{
    folderOverride() = folder;
}

QString joinFolder(const QString &folder, const QString &name, QChar separator)
{
    if (folder.endsWith(separator))
        return folder + name;
    return folder + separator + name;
}

void endProgram()
{
    if (endHandler()) {
        endHandler()();
        return;
    }
    // Leave every event loop, nested ones included, and end the process
    // without the windows' closing steps.
    QCoreApplication::exit(0);
}

void setEndProgramHandler(std::function<void()> handler)
{
    endHandler() = std::move(handler);
}

// A box on the heap, watched: should its owner go while it is open, the owner
// takes it along and nothing is deleted twice.
static void runBox(QMessageBox::Icon icon, const QString &caption, const QString &text, QWidget *owner,
                   const QString &detail = QString())
{
    const QPointer<QMessageBox> box = new QMessageBox(icon, caption, text, QMessageBox::Ok, owner);
    box->setTextFormat(Qt::PlainText);
    if (!detail.isEmpty())
        box->setDetailedText(detail);
    box->exec();
    delete box.data();
}

void showOkMessage(QWidget *owner, const QString &text, const QString &caption, const QString &detail)
{
    runBox(QMessageBox::NoIcon, caption, text, owner, detail);
}

void reportError(QWidget *owner, const QString &text, const QString &detail)
{
    runBox(QMessageBox::Warning, applicationTitle(), text, owner, detail);
}

} // namespace platform
