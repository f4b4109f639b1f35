#include "platform/launcher.h"

#include <QProcess>
#include <memory>
#include <string>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace platform {
namespace {

ProgramStarter &starterOverride()
{
    static ProgramStarter starter;
    return starter;
}

StartResult startForReal(const QString &commandLine, WindowStyle style)
{
    QProcess process;
    if (commandLine.trimmed().isEmpty())
        return {false, QStringLiteral("The command line is empty.")};
#ifdef Q_OS_WIN
    // The line is handed over exactly as written; an unquoted
    // "C:\Program Files\x.exe" is resolved by the system as it always was.
    // QProcess wants a program name, but the line it would build from it is
    // replaced by the whole command line as given.
    process.setProgram(QProcess::splitCommand(commandLine).value(0, commandLine));
    auto line = std::make_shared<std::wstring>(commandLine.toStdWString());
    process.setCreateProcessArgumentsModifier([style, line](QProcess::CreateProcessArguments *args) {
        args->applicationName = nullptr;
        args->arguments = line->data();
        args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        args->startupInfo->wShowWindow = style == WindowStyle::Minimized ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
    });
#else
    Q_UNUSED(style);
    const QStringList parts = QProcess::splitCommand(commandLine);
    process.setProgram(parts.value(0));
    process.setArguments(parts.mid(1));
#endif
    if (!process.startDetached())
        return {false, process.errorString()};
    return {true, {}};
}

} // namespace

StartResult startProgram(const QString &commandLine, WindowStyle style)
{
    if (starterOverride())
        return starterOverride()(commandLine, style);
    return startForReal(commandLine, style);
}

void setProgramStarter(ProgramStarter starter)
{
    starterOverride() = std::move(starter);
}

} // namespace platform
