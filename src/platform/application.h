#pragma once
// Application-wide facts and services: the application's title and folder,
// ending the program at once, and the message boxes that are not the
// ModuleMSGbox service.

#include <QString>
#include <functional>

class QWidget;

namespace platform {

// "Trevlin": the main window's caption, and the About window's.
QString applicationTitle();

// The folder that holds the program file, with native separators; or the
// disc folder the program was told to use instead.
QString applicationFolder();
// Uses `folder` as the application folder from now on: the disc folder named
// on the command line, or a test's own folder. An empty text restores the
// program's own folder.
void setApplicationFolder(const QString &folder);

// `folder` joined with `name` by `separator`, unless the folder already ends
// in that separator (a drive root such as "D:\", or "/"). Only the given
// separator counts: on Linux a folder may end in a backslash.
QString joinFolder(const QString &folder, const QString &name, QChar separator);

// Ends the program at once: every window goes away, no window's closing step
// runs and nothing is asked. Tests replace it so that the test process lives on.
void endProgram();
void setEndProgramHandler(std::function<void()> handler);

// A message box with one OK button, no icon and `caption`; waits for the
// answer. A `detail` shows under the box's "Show Details..." button.
// Texts are shown as written, never as markup: they may come from the disc.
void showOkMessage(QWidget *owner, const QString &text, const QString &caption,
                   const QString &detail = QString());

// Reports an error the program could not avoid (a window, a program that could
// not be started) with a warning box naming it; the program goes on. A
// `detail` shows under the box's "Show Details..." button.
void reportError(QWidget *owner, const QString &text, const QString &detail = QString());

} // namespace platform
