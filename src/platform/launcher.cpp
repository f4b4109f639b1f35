#include "platform/launcher.h"

#include "platform/application.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

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
        if (folder.isEmpty())
            return;
        const QString key = QDir::cleanPath(QDir::current().absoluteFilePath(folder));
        if (seen.contains(key))
            return;
        seen << key;
        folders.append({folder, described});
    };
    const QString app = applicationFolder(), start = QDir::toNativeSeparators(QDir::currentPath());
    const bool same = QDir::cleanPath(QDir::current().absoluteFilePath(app)) == QDir::cleanPath(QDir::currentPath());
    add(app, same ? QStringLiteral("the application folder, also the start folder (%1)").arg(app)
                  : QStringLiteral("the application folder (%1)").arg(app));
    add(start, QStringLiteral("the start folder (%1)").arg(start));
    // An empty element of PATH stands for the start folder, already searched.
    const QStringList path = qEnvironmentVariable("PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts);
    for (const QString &folder : path)
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
        searched << f.folder;
        const QString candidate = QDir::toNativeSeparators(QDir(f.folder).filePath(name));
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
    const QStringList parts = QProcess::splitCommand(commandLine);
    if (parts.value(0).isEmpty())
        return failure(StartProblem::Empty, QStringLiteral("The command line names no program."));
    const ProgramLookup found = findProgram(parts.first());
    if (found.path.isEmpty())
        return found.failure;
    process.setProgram(found.path);
    process.setArguments(parts.mid(1));
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
    // As it stands: a relative name from the start folder.
    const Suitability s = suitabilityOf(name);
    if (s == Suitability::Runs)
        return {name, {}};
    const QString absolute = QDir::toNativeSeparators(QDir::current().absoluteFilePath(name));
    const QString tail = absolute == name ? QString() : QStringLiteral(" (from the start folder: %1)").arg(absolute);
    return {{}, unsuitable(s, name, tail)};
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
