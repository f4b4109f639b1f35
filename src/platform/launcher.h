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
    TooLong,       // the settings entry holds more than is read of it
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
// A disc's relative names mean the disc: the program works in its disc
// folder whatever folder it was started from. A name with a slash is taken
// as it stands, a relative one from the disc folder. A bare name is looked
// for in the disc folder, then in the absolute folders of PATH; the first
// executable ordinary file wins. The folder the program was started in is
// never searched (PATH's empty or relative elements would mean it, and are
// skipped). Answers the file to start, or an empty path and why there is
// none.
struct ProgramLookup
{
    QString path;
    StartResult failure; // when path is empty
};
ProgramLookup findProgram(const QString &name);

// The program and arguments of a command line, split as the platform's
// usual rules do (QProcess::splitCommand: blanks separate, double quotes
// group). An unquoted program path with blanks (`./My Player/play -f`, whose
// quotes the settings file's reading took away) is read the way Windows
// reads it: when the first word names no file, the following words are
// joined to it one at a time, with the blanks that stood between them,
// until the words name a program; the shortest such name wins and the rest
// are its arguments. When none does, the failure is the first word's.
struct CommandLine
{
    QString program; // the file to start; empty when none
    QStringList arguments;
    StartResult failure; // when program is empty
};
CommandLine resolveCommandLine(const QString &commandLine);

// Starts `commandLine` as a new process and returns at once.
//
// On Linux and other X11/Wayland systems the line is read by
// resolveCommandLine and the program started detached, never through a
// shell. The window style cannot be set
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
