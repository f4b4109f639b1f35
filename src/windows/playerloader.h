#pragma once
// Opens the internal player. The player and the media stack it needs live in
// a module of their own, trevlin-player.so, loaded the first time the player
// is opened, so that the program starts without them.
//
// The module is looked for beside the program's own file (the build folder,
// a disc's root, where the disc's bundle puts it), then where the package
// installs it (../lib/<architecture>/trevlin from the program's folder). When it cannot be loaded (missing, not an ordinary
// file, not the player, or a library it needs is missing), a window that looks
// like the player window takes its place, with one line in the player's area
// saying why; the program goes on.

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace playerloader {

// The module's file name.
QString moduleName();

// The files the module is looked for in, in order.
QStringList moduleCandidates();

// A new player window, not shown: the module's, or the stand-in saying why
// there is none. `unloaded` runs when the window goes, however it closes.
QWidget *createPlayerWindow(std::function<void()> unloaded);

// Looks for the module at `file` alone from now on; an empty text restores
// the usual places. For tests.
void setModuleFile(const QString &file);

} // namespace playerloader
