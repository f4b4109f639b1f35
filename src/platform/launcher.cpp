#include "platform/launcher.h"

#include <QProcess>

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
#ifdef Q_OS_WIN
    // The line is handed over exactly as written; an unquoted
    // "C:\Program Files\x.exe" is resolved by the system as it always was.
    process.setProgram(QString());
    process.setNativeArguments(commandLine);
    process.setCreateProcessArgumentsModifier([style](QProcess::CreateProcessArguments *args) {
        args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        args->startupInfo->wShowWindow = style == WindowStyle::Minimized ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
    });
#else
    Q_UNUSED(style);
    const QStringList parts = QProcess::splitCommand(commandLine);
    if (parts.isEmpty())
        return {false, QStringLiteral("The command line is empty.")};
    process.setProgram(parts.first());
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
