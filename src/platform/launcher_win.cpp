// Starting a program on Windows: the command line goes to the system as one
// text, exactly as built, and Windows finds the program its own way (the
// program's folder, the start folder, the system folders, PATH; ".exe" added
// to a name without an extension; an unquoted "C:\Program Files\x.exe"
// tried piece by piece), as the line would be typed.
#include "platform/windows_win.h"

#include <windows.h>

#include <QRegularExpression>

#include <string>

namespace platform::win {
namespace {

// The program a command line names, the way Windows reads it: up to the
// closing quote when it starts with one, otherwise up to the first blank.
// For the messages only; the system is handed the whole line.
QString programOf(const QString &commandLine)
{
    const QString line = commandLine.trimmed();
    if (line.startsWith(QLatin1Char('"'))) {
        const qsizetype end = line.indexOf(QLatin1Char('"'), 1);
        return end < 0 ? line.mid(1) : line.mid(1, end - 1);
    }
    const qsizetype blank = line.indexOf(QRegularExpression(QStringLiteral("[ \t]")));
    return blank < 0 ? line : line.left(blank);
}

} // namespace

StartResult startProgram(const QString &commandLine, WindowStyle style)
{
    if (commandLine.trimmed().isEmpty())
        return {false, QStringLiteral("The command line is empty."), StartProblem::Empty};

    // CreateProcessW may write into the line it is given: a copy of its own.
    std::wstring line = commandLine.toStdWString();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = style == WindowStyle::Minimized ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        // Never waited for.
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
        return {true, {}};
    }
    const DWORD code = ::GetLastError();
    const QString reason = systemReason(code);
    const QString program = programOf(commandLine);
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return {false,
                QStringLiteral("No program \"%1\" was found where Windows looks for it (the program's folder, the "
                               "start folder, the system folders and the folders of PATH): %2")
                    .arg(program, reason),
                StartProblem::NotFound};
    case ERROR_ACCESS_DENIED:
        return {false, QStringLiteral("\"%1\" may not be started: %2").arg(program, reason),
                StartProblem::NotExecutable};
    case ERROR_BAD_EXE_FORMAT:
    case ERROR_EXE_MACHINE_TYPE_MISMATCH:
    case ERROR_BAD_FORMAT:
        return {false, QStringLiteral("\"%1\" is not a program Windows can run: %2").arg(program, reason),
                StartProblem::NotExecutable};
    default:
        return {false, reason, StartProblem::Refused};
    }
}

} // namespace platform::win
