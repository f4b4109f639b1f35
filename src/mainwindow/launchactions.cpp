#include "mainwindow/launchactions.h"

#include "platform/application.h"
#include "platform/launcher.h"
#include "settings/moduleini.h"

namespace launch {
namespace {

using platform::WindowStyle;

// Starts one command line; on failure tells the user which command could not
// be started and why, and answers false.
bool start(QWidget *owner, const QString &commandLine, WindowStyle style)
{
    const platform::StartResult result = platform::startProgram(commandLine, style);
    if (result.started)
        return true;
    const QString shown = commandLine.isEmpty() ? QStringLiteral("(empty)") : commandLine;
    platform::reportError(owner, QStringLiteral("The program could not be started.\n\nCommand line: %1\nReason: %2")
                                     .arg(shown, result.error));
    return false;
}

} // namespace

QString viewMovieCommand(const QString &player, const QString &movie, const QString &subtitles)
{
    return player + QStringLiteral(" /quickini") + QStringLiteral(" /v:") + movie + QStringLiteral(" /s:") + subtitles;
}

QString firstFilterCommand(const QString &prefix)
{
    return prefix + QStringLiteral("regsvr32 /s iviaudio.ax");
}

QString secondFilterCommand(const QString &prefix)
{
    return prefix + QStringLiteral("regsvr32 /s mpgaudio.ax");
}

void viewMovie(QWidget *owner)
{
    const QString player = ReadINI(QStringLiteral("path"), QStringLiteral("microdvdexe"));
    const QString movie = ReadINI(QStringLiteral("path"), QStringLiteral("movie"));
    const QString subtitles = ReadINI(QStringLiteral("path"), QStringLiteral("subtitles"));
    if (start(owner, viewMovieCommand(player, movie, subtitles), WindowStyle::Minimized))
        platform::endProgram();
}

void installCodecs(QWidget *owner)
{
    start(owner, ReadINI(QStringLiteral("path"), QStringLiteral("codecs")), WindowStyle::Normal);
}

void installMicroDvd(QWidget *owner, Spelling spelling)
{
    const QString command = spelling == Spelling::Menu
                                ? ReadINI(QStringLiteral("path"), QStringLiteral("microdvd"))
                                : ReadINI(QStringLiteral("Path"), QStringLiteral("MicroDVD"));
    start(owner, command, WindowStyle::Normal);
}

void installMediaPlayer(QWidget *owner)
{
    start(owner, ReadINI(QStringLiteral("Path"), QStringLiteral("Mediaplayer")), WindowStyle::Normal);
}

void registerAc3Filters(QWidget *owner)
{
    const QString prefix = ReadINI(QStringLiteral("path"), QStringLiteral("pathfilter"));
    if (start(owner, firstFilterCommand(prefix), WindowStyle::Minimized))
        start(owner, secondFilterCommand(prefix), WindowStyle::Minimized);
}

} // namespace launch
