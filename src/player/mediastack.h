#pragma once
// Whether a movie player can be made here. Qt Multimedia 6.4 ends the program
// when it cannot load its media backend (a library the GStreamer backend
// needs is missing), and crashes making a player when GStreamer lacks the
// elements that player is built from (GStreamer's base plugins are missing).
// The player window is therefore made only once this has found both there.

#include <QString>

namespace mediastack {

// Empty when a player can be made; otherwise why not, in lower case, to
// follow "Cannot open the internal player: " ("GStreamer lacks ...").
QString problem();

} // namespace mediastack
