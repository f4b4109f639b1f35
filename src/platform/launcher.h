#pragma once
// Starting another program from one command line, without waiting for it.

#include <QString>
#include <functional>

namespace platform {

// Windows show-window codes the launch actions pass along.
enum class WindowStyle : int { Normal = 1, Minimized = 2 };

struct StartResult
{
    bool started = false;
    QString error; // why it could not be started, for the user
};

// Starts `commandLine` as a new process and returns at once.
//
// On Linux and other X11/Wayland systems the line is split by the usual
// command-line rules (QProcess::splitCommand: blanks separate arguments,
// double quotes group them) and started detached, never through a shell. The
// window style cannot be set there: a program chooses its own first window
// state on X11 and Wayland, so it is accepted and ignored.
//
// On Windows the whole line goes to the process start unchanged, with the
// style in the start-up information, as the command line would be typed.
StartResult startProgram(const QString &commandLine, WindowStyle style);

// Tests replace the starter to record what would be started; pass an empty
// function to restore the real one.
using ProgramStarter = std::function<StartResult(const QString &commandLine, WindowStyle style)>;
void setProgramStarter(ProgramStarter starter);

} // namespace platform
