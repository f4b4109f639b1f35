#pragma once
// Starting another program from one command line, without waiting for it.

#include <QString>
#include <QStringList>
#include <functional>

namespace platform {

// Windows show-window codes the launch actions pass along.
enum class WindowStyle : int { Normal = 1, Minimized = 2 };

// What kept a program from starting.
enum class StartProblem {
    Refused,       // the system's own reason is in the error text
    Empty,         // the command line names no program
    NotFound,      // no such file, or no executable file of that name where it was looked for
    Folder,        // the name is a folder
    NotExecutable, // a file without the permission to run, or not an ordinary file
};

struct StartResult
{
    StartResult(bool started = false, QString error = {}, StartProblem problem = StartProblem::Refused,
                QStringList searched = {})
        : started(started), error(std::move(error)), problem(problem), searched(std::move(searched))
    {
    }

    bool started = false;
    QString error; // why it could not be started, for the user
    StartProblem problem = StartProblem::Refused;
    QStringList searched; // where a bare program name was looked for, in order
};

// Where the program a command line names is found.
//
// A name with a slash is used as it stands (a relative one from the start
// folder). A bare name is looked for, as a disc's home system did, in the
// application folder, then the start folder (the working folder), then the
// folders of PATH; the first executable ordinary file wins. Answers the file
// to start, or an empty path and why there is none.
struct ProgramLookup
{
    QString path;
    StartResult failure; // when path is empty
};
ProgramLookup findProgram(const QString &name);

// Starts `commandLine` as a new process and returns at once.
//
// On Linux and other X11/Wayland systems the line is split by the usual
// command-line rules (QProcess::splitCommand: blanks separate arguments,
// double quotes group them), the program is found by findProgram, and it is
// started detached, never through a shell. The window style cannot be set
// there: a program chooses its own first window state on X11 and Wayland, so
// it is accepted and ignored.
//
// On Windows the whole line goes to the process start unchanged, with the
// style in the start-up information, as the command line would be typed; the
// system looks for the program its own way.
StartResult startProgram(const QString &commandLine, WindowStyle style);

// Tests replace the starter to record what would be started; pass an empty
// function to restore the real one.
using ProgramStarter = std::function<StartResult(const QString &commandLine, WindowStyle style)>;
void setProgramStarter(ProgramStarter starter);

} // namespace platform
