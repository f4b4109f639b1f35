#include "platform/launcher.h"

#include "platform/application.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <optional>

#ifdef Q_OS_WIN
#include "platform/windows_win.h"
#endif

namespace platform {
namespace {

ProgramStarter &starterOverride()
{
    static ProgramStarter starter;
    return starter;
}

StartResult failure(StartProblem problem, const QString &error, const QStringList &searched = {})
{
    return {false, error, problem, searched};
}

// What keeps `file` from being started, or None when it can be.
enum class Suitability { Runs, Missing, Folder, NotOrdinary, NotExecutable };

Suitability suitabilityOf(const QString &file)
{
    const QFileInfo info(file);
    if (!info.exists())
        return Suitability::Missing;
    if (info.isDir())
        return Suitability::Folder;
    if (!info.isFile())
        return Suitability::NotOrdinary;
    // access(X_OK) underneath: also false on a disc mounted without execution.
    return info.isExecutable() ? Suitability::Runs : Suitability::NotExecutable;
}

// "is a folder, not a program", ... : follows a quoted file name.
StartResult unsuitable(Suitability why, const QString &file, const QString &tail = {},
                       const QStringList &searched = {})
{
    const QString name = QLatin1Char('"') + file + QLatin1Char('"');
    switch (why) {
    case Suitability::Folder:
        return failure(StartProblem::Folder, name + QStringLiteral(" is a folder, not a program") + tail + QLatin1Char('.'),
                       searched);
    case Suitability::NotOrdinary:
        return failure(StartProblem::NotExecutable, name + QStringLiteral(" is not an ordinary file") + tail + QLatin1Char('.'),
                       searched);
    case Suitability::NotExecutable:
        return failure(StartProblem::NotExecutable,
                       name + QStringLiteral(" is not executable: it lacks the permission to run, or its disc is "
                                             "mounted without it") + tail + QLatin1Char('.'),
                       searched);
    case Suitability::Missing:
    case Suitability::Runs:
        break;
    }
    return failure(StartProblem::NotFound, name + QStringLiteral(" does not exist") + tail + QLatin1Char('.'), searched);
}

// `path` without "." components and doubled separators: "/disc/./afolder"
// is shown, and started, as "/disc/afolder". ".." stays, since through a
// symbolic link it does not simply undo the folder before it.
QString tidyPath(const QString &path)
{
    const QChar sep = QLatin1Char('/');
    const QString plain = QDir::fromNativeSeparators(path);
    QStringList parts = plain.split(sep);
    QStringList kept;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString &part = parts.at(i);
        const bool first = i == 0, last = i == parts.size() - 1;
        if (part == QLatin1String(".") && !(first && last))
            continue;
        if (part.isEmpty() && !first && !last)
            continue;
        kept << part;
    }
    QString tidy = kept.join(sep);
    if (tidy.isEmpty())
        tidy = plain.startsWith(sep) ? QString(sep) : QStringLiteral(".");
    return QDir::toNativeSeparators(tidy);
}

// The disc folder: the folder relative names in the settings file mean.
QString discFolder()
{
    return applicationFolder();
}

// How a folder is named to the user. A disc folder whose name is not valid
// text is reached through the system's name for the working folder; the
// user is shown its own name instead, with what is no text as U+FFFD.
QString shownFolder(const QString &folder)
{
    if (folder == QLatin1String("/proc/self/cwd")) {
        const QString real = QFileInfo(folder).canonicalFilePath();
        if (!real.isEmpty())
            return real;
    }
    return folder;
}

// The folders a bare name is looked for in, in order, each once.
struct SearchFolder
{
    QString folder;
    QString described; // how the user is told about it
};

QList<SearchFolder> searchFolders()
{
    QList<SearchFolder> folders;
    QStringList seen;
    auto add = [&](const QString &folder, const QString &described) {
        const QString key = QDir::cleanPath(QDir::fromNativeSeparators(folder));
        if (seen.contains(key))
            return;
        seen << key;
        folders.append({folder, described});
    };
    const QString disc = tidyPath(discFolder());
    add(disc, QStringLiteral("the disc folder (%1)").arg(shownFolder(disc)));
    // Only absolute folders: an empty or relative element of PATH means the
    // folder the program was started in, which is never searched.
    const QStringList path = qEnvironmentVariable("PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts);
    for (const QString &folder : path)
        if (QDir::isAbsolutePath(folder))
            add(folder, QStringLiteral("the folders of PATH"));
    return folders;
}

// "A, B or C", naming PATH's folders once.
QString describe(const QList<SearchFolder> &folders)
{
    QStringList places;
    for (const SearchFolder &f : folders)
        if (!places.contains(f.described))
            places << f.described;
    if (places.size() <= 1)
        return places.value(0, QStringLiteral("no folder (PATH is empty)"));
    return places.mid(0, places.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" or ") + places.last();
}

ProgramLookup findBareName(const QString &name)
{
    const QList<SearchFolder> folders = searchFolders();
    QStringList searched;
    QString firstUnsuitable;
    Suitability why = Suitability::Missing;
    for (const SearchFolder &f : folders) {
        searched << shownFolder(f.folder);
        const QString candidate = tidyPath(joinFolder(f.folder, name, QDir::separator()));
        const Suitability s = suitabilityOf(candidate);
        if (s == Suitability::Runs)
            return {candidate, {}};
        if (s != Suitability::Missing && firstUnsuitable.isEmpty()) {
            firstUnsuitable = candidate;
            why = s;
        }
    }
    const QString places = describe(folders);
    if (!firstUnsuitable.isEmpty())
        return {{}, unsuitable(why, firstUnsuitable,
                               QStringLiteral(", and no other \"%1\" was found in %2").arg(name, places), searched)};
    return {{}, failure(StartProblem::NotFound, QStringLiteral("No program \"%1\" was found in %2.").arg(name, places),
                        searched)};
}

// The words of a command line as QProcess::splitCommand finds them (blanks
// separate, double quotes group, three quotes in a row are one quote), each
// with the blanks that stood before it.
struct Word
{
    QString text;
    QString blanksBefore;
};

QList<Word> splitWords(const QString &command)
{
    QList<Word> words;
    QString text, blanks;
    bool inWord = false, inQuote = false;
    int quotes = 0;
    for (const QChar c : command) {
        if (c == QLatin1Char('"')) {
            inWord = true;
            if (++quotes == 3) {
                quotes = 0;
                text += c;
            }
            continue;
        }
        if (quotes) {
            if (quotes == 1)
                inQuote = !inQuote;
            quotes = 0;
        }
        if (!inQuote && c.isSpace()) {
            if (!text.isEmpty())
                words.append({text, blanks});
            if (!text.isEmpty() || inWord)
                blanks.clear();
            text.clear();
            inWord = false;
            blanks += c;
        } else {
            inWord = true;
            text += c;
        }
    }
    if (!text.isEmpty())
        words.append({text, blanks});
    return words;
}

StartResult startForReal(const QString &commandLine, WindowStyle style)
{
#ifdef Q_OS_WIN
    // The line is handed to the system exactly as written (launcher_win.cpp).
    return win::startProgram(commandLine, style);
#else
    QProcess process;
    if (commandLine.trimmed().isEmpty())
        return failure(StartProblem::Empty, QStringLiteral("The command line is empty."));
    Q_UNUSED(style);
    const CommandLine line = resolveCommandLine(commandLine);
    if (line.program.isEmpty())
        return line.failure;
    process.setProgram(line.program);
    process.setArguments(line.arguments);
    if (!process.startDetached())
        return failure(StartProblem::Refused, process.errorString());
    return {true, {}};
#endif
}

} // namespace

ProgramLookup findProgram(const QString &name)
{
    if (name.isEmpty())
        return {{}, failure(StartProblem::Empty, QStringLiteral("The command line names no program."))};
    if (!name.contains(QLatin1Char('/')) && !name.contains(QDir::separator()))
        return findBareName(name);
    // As it stands: a relative name from the disc folder.
    const QString file = tidyPath(QDir::isAbsolutePath(name) ? name : joinFolder(discFolder(), name, QDir::separator()));
    const Suitability s = suitabilityOf(file);
    if (s == Suitability::Runs)
        return {file, {}};
    const QString tail = QDir::isAbsolutePath(name)
                             ? QString()
                             : QStringLiteral(" (from the disc folder: %1)")
                                   .arg(tidyPath(joinFolder(shownFolder(discFolder()), name, QDir::separator())));
    return {{}, unsuitable(s, name, tail)};
}

CommandLine resolveCommandLine(const QString &commandLine)
{
    const QList<Word> words = splitWords(commandLine);
    if (words.isEmpty())
        return {{}, {}, failure(StartProblem::Empty, QStringLiteral("The command line names no program."))};
    auto argumentsAfter = [&words](qsizetype n) {
        QStringList arguments;
        for (qsizetype i = n; i < words.size(); ++i)
            arguments << words.at(i).text;
        return arguments;
    };
    const ProgramLookup first = findProgram(words.first().text);
    if (!first.path.isEmpty())
        return {first.path, argumentsAfter(1), {}};
    // A file that cannot run is named as it is; a name that is no file, or a
    // folder, may be the start of a longer name with blanks.
    if (first.failure.problem != StartProblem::NotFound && first.failure.problem != StartProblem::Folder)
        return {{}, {}, first.failure};
    QString name = words.first().text;
    std::optional<StartResult> fileThatCannotRun;
    for (qsizetype n = 1; n < words.size(); ++n) {
        name += words.at(n).blanksBefore + words.at(n).text;
        const ProgramLookup longer = findProgram(name);
        if (!longer.path.isEmpty())
            return {longer.path, argumentsAfter(n + 1), {}};
        if (longer.failure.problem == StartProblem::NotExecutable && !fileThatCannotRun)
            fileThatCannotRun = longer.failure;
    }
    return {{}, {}, fileThatCannotRun.value_or(first.failure)};
}

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
