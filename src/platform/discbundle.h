#pragma once
// The disc's own copy of Qt and GStreamer. A disc made for viewers who have
// neither carries them in `.trevlin/` beside the program (qt.conf, the
// libraries, Qt's and GStreamer's plugins); the program must then use that
// copy alone, whatever the viewer's system has installed.

#include <QString>

namespace platform {

// The file the running program was loaded from. Usually the executable
// itself; but when the dynamic loader started it (a FAT stick marks nothing
// executable, so the disc's autorun runs `ld-linux ./trevlin`), the
// executable is the loader, and this is still the program's own file.
//
// It is found once, as the program starts (before main() can change the
// working folder a relative name given to the loader depends on), from what
// the system reports as bytes, never from text it escaped. A folder name
// that is no valid UTF-8 cannot be held in a QString and given back to the
// system as it was: the folder is then named through a descriptor open on
// it (/proc/PID/fd/N/trevlin), which names exactly that folder. Empty when
// the program's file cannot be known; the caller then uses the folder it
// was given.
QString programFile();

// When `programFolder` holds the disc's GStreamer plugins
// (.trevlin/gstreamer-1.0), points GStreamer at them, with a registry file
// under `cacheFolder` (a copy of the one the disc carries, when it can be
// used), and Qt at the disc's plugins; drops every setting that would bring in plugins from
// elsewhere. Answers whether the folder holds the disc's copy; without it
// nothing is changed. Must run before the application object exists: Qt and
// GStreamer read these settings when they start.
bool useDiscBundle(const QString &programFolder, const QString &cacheFolder);

} // namespace platform
