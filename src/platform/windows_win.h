#pragma once
// The Windows side of the platform services: what launcher.cpp, discfile.cpp
// and discbundle.cpp hand over to on Windows.

#include "platform/discfile.h"
#include "platform/launcher.h"

#include <QString>

namespace platform::win {

// The system's text for a Windows error code (GetLastError), without the
// line break Windows ends it with: "Access is denied."
QString systemReason(unsigned long code);

// The program's own file, as the system loaded it (the .exe).
QString programFile();

// The device a path names when its last part is one of Windows' reserved
// device names (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, CONIN$,
// CONOUT$), in any letter case, with or without an extension ("nul.txt"),
// or when it is a device path (\\.\pipe\x, \\.\COM1, \\?\GLOBALROOT\...);
// empty for a path that names a file.
QString deviceName(const QString &path);

// inspectDiscFile and readDiscFile on Windows: a device is never opened, and
// what is opened is read only when it is a file on a disk.
DiscFile inspectFile(const QString &path, qint64 maxBytes);
DiscFile readFile(const QString &path, qint64 maxBytes);

// startProgram on Windows: the command line goes to CreateProcessW as one
// text, with no application name, and the style as wShowWindow.
StartResult startProgram(const QString &commandLine, WindowStyle style);

} // namespace platform::win
