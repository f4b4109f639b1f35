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
