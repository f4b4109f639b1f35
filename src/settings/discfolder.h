#pragma once
// Where the disc is when the program is installed into a system folder such
// as /usr/bin: no disc lies around it there, and its own folder is no place
// for a settings file. A copy on a disc, or anywhere else, keeps using its
// own folder.

#include <QString>
#include <functional>

// True when the program's folder `programFolder` is one of `installFolders`
// (a ':'-separated list: the bin folders the install rules put the program
// in), symbolic links resolved on both sides.
bool isInstalledFolder(const QString &programFolder, const QString &installFolders);

// The disc folder of an installed program started without one:
// `currentFolder` when it holds a settings file (anything but a folder named
// trevlin.INI), otherwise the folder `askFolder` answers. Empty when the
// viewer cancelled the question.
QString installedDiscFolder(const QString &currentFolder, const std::function<QString()> &askFolder);

// Asks for the disc folder with the platform's folder dialog, starting in
// `startFolder`. Empty when cancelled.
QString askDiscFolder(const QString &startFolder);

// Makes `folder` the working folder, taking its name's bytes as the system
// gives them (a name need not be valid UTF-8), and answers the name the
// program uses for the folder from then on: its absolute path, or, when the
// path cannot be written as text and read back to the same bytes, a name
// that reaches the working folder through the system (/proc/self/cwd).
// Empty, with `reason` set, when the folder cannot be entered.
//
// A disc's relative names mean the disc: the program works in its disc
// folder whatever folder it was started from, so the folder it was started
// in is no foothold for a planted cover or program.
QString enterDiscFolder(const QByteArray &folder, QString *reason = nullptr);

// What a name given as the disc folder is, from its bytes as the system
// gives them.
enum class GivenFolder { Missing, NotAFolder, Folder };
GivenFolder givenFolderKind(const QByteArray &folder);

// Asks for the disc folder until the viewer settles: `askFolder` shows the
// folder dialog opened at the folder given (empty when cancelled); a folder
// chosen without a settings file is put to `openAsNewDisc`, which answers
// true to open it as a new disc and false to choose again (the dialog then
// opens at that folder). Empty when the viewer cancelled the folder dialog.
QString chooseDiscFolder(const QString &startFolder, const std::function<QString(const QString &)> &askFolder,
                         const std::function<bool(const QString &)> &openAsNewDisc);

// The question for a chosen folder without a settings file: open it to make
// a new disc there, or choose again. True for the first.
bool askOpenAsNewDisc(const QString &folder);
