#include "mainwindow/launchactions.h"

#include "platform/application.h"
#include "platform/discfile.h"
#include "platform/launcher.h"
#include "settings/initext.h"
#include "settings/moduleini.h"

namespace launch {
namespace {

using platform::StartProblem;
using platform::WindowStyle;

// Tells the user which command could not be started, from which settings
// entry, and what to fix there.
void reportFailure(QWidget *owner, const QString &entry, const QString &commandLine, const platform::StartResult &result)
{
    QString what = result.error;
    if (result.problem == StartProblem::Empty)
        what = QStringLiteral("The entry %1 is empty: no program is set.").arg(entry);
    else if (result.problem == StartProblem::Refused)
        what = QStringLiteral("The system did not start it: %1").arg(result.error);
    QString detail;
    if (!result.searched.isEmpty())
        detail = QStringLiteral("Folders looked in, in order (the disc folder, then the folders of PATH; the folder "
                                "the program was started in is not searched):\n")
                 + result.searched.join(QLatin1Char('\n'));
    const QString shown = commandLine.isEmpty() ? QStringLiteral("(empty)") : commandLine;
    platform::reportError(owner,
                          QStringLiteral("The program could not be started.\n\nSettings entry: %1\nCommand line: %2\n\n%3")
                              .arg(entry, shown, what),
                          detail);
}

// A read gives at most the first 254 characters of an entry. A longer
// command line, cut there, could start something else than the disc meant
// (a quoted path ending mid-name), so it is not started at all. Answers the
// first of `keys` (in the section "path") stored longer than that, or empty.
QString firstTooLong(std::initializer_list<const char *> keys)
{
    const platform::DiscFile file = platform::readDiscFile(settingsFilePath(), kMaxSettingsFileBytes);
    for (const char *key : keys) {
        const QString name = QLatin1String(key);
        if (initext::wholeValueInFile(file.bytes, u"path", name).size() > initext::kMaxValueLength)
            return QStringLiteral("path/") + name;
    }
    return {};
}

bool refuseTooLong(QWidget *owner, const QString &entry, const QString &tooLong, const QString &commandLine)
{
    if (tooLong.isEmpty())
        return false;
    reportFailure(owner, entry, commandLine,
                  {false,
                   QStringLiteral("The entry %1 is longer than %2 characters: only its first %2 are read, so the "
                                  "command line is not started. Shorten the entry in the settings file.")
                       .arg(tooLong)
                       .arg(initext::kMaxValueLength),
                   StartProblem::TooLong});
    return true;
}

// Starts one command line read from `entry`; on failure tells the user and
// answers false.
bool start(QWidget *owner, const QString &entry, const QString &commandLine, WindowStyle style,
           const QString &tooLong = {})
{
    if (refuseTooLong(owner, entry, tooLong, commandLine))
        return false;
    const platform::StartResult result = platform::startProgram(commandLine, style);
    if (!result.started)
        reportFailure(owner, entry, commandLine, result);
    return result.started;
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
    const QString entry = QStringLiteral("path/microdvdexe");
    const QString command = viewMovieCommand(player, movie, subtitles);
    // Without a player the line would start with " /quickini", a program
    // that is not there: say what is missing instead.
    if (player.trimmed().isEmpty()) {
        reportFailure(owner, entry, command, {false, {}, StartProblem::Empty});
        return;
    }
    if (start(owner, entry, command, WindowStyle::Minimized, firstTooLong({"microdvdexe", "movie", "subtitles"})))
        platform::endProgram();
}

void installCodecs(QWidget *owner)
{
    start(owner, QStringLiteral("path/codecs"), ReadINI(QStringLiteral("path"), QStringLiteral("codecs")),
          WindowStyle::Normal, firstTooLong({"codecs"}));
}

void installMicroDvd(QWidget *owner, Spelling spelling)
{
    const QString command = spelling == Spelling::Menu
                                ? ReadINI(QStringLiteral("path"), QStringLiteral("microdvd"))
                                : ReadINI(QStringLiteral("Path"), QStringLiteral("MicroDVD"));
    start(owner, QStringLiteral("path/microdvd"), command, WindowStyle::Normal, firstTooLong({"microdvd"}));
}

void installMediaPlayer(QWidget *owner)
{
    start(owner, QStringLiteral("path/mediaplayer"), ReadINI(QStringLiteral("Path"), QStringLiteral("Mediaplayer")),
          WindowStyle::Normal, firstTooLong({"mediaplayer"}));
}

void registerAc3Filters(QWidget *owner)
{
    const QString prefix = ReadINI(QStringLiteral("path"), QStringLiteral("pathfilter"));
    const QString entry = QStringLiteral("path/pathfilter (put in front of regsvr32)");
    if (start(owner, entry, firstFilterCommand(prefix), WindowStyle::Minimized, firstTooLong({"pathfilter"})))
        start(owner, entry, secondFilterCommand(prefix), WindowStyle::Minimized);
}

} // namespace launch
