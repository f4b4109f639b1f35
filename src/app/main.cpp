// The program starts in the splash, which hands over to the main window.
//
//   trevlin [DISC_FOLDER]
//   trevlin --help | --version
//
// Without an argument the disc is the program's own folder. With one, the
// disc is DISC_FOLDER: its trevlin.INI is used. Either way the disc folder
// becomes the working folder, whatever folder the program was started from,
// so relative paths in the settings file are taken from the disc as when the
// disc's autorun starts the program there, and nothing planted in the start
// folder is ever used.
//
// A disc made for viewers without Qt carries the program's own Qt and
// GStreamer in .trevlin beside it; the program then uses those alone.

#include "mainwindow/frmprincipal.h"
#include "platform/application.h"
#include "platform/discbundle.h"
#include "platform/forms.h"
#include "settings/discfolder.h"
#include "startup/frmsplash.h"
#include "widgets/designstyle.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>
#include <optional>
#include <string_view>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

const char kUsage[] =
    "Usage: trevlin [DISC_FOLDER]\n"
    "Shows the menu of a movie disc: the movie's title and covers, the movie to\n"
    "play in an external player or in the program's own player window, the\n"
    "installers the disc names, the disc's hints, and the Settings dialog in\n"
    "which the disc's author sets the title and the paths of the covers, the\n"
    "movie and the subtitles. Everything that varies from disc to disc lives in\n"
    "one settings file, trevlin.INI, in the disc folder.\n"
    "\n"
    "DISC_FOLDER is the folder whose trevlin.INI is used; the program works\n"
    "there, so relative paths in the settings file are taken from it. Without\n"
    "it, a copy of the program on a disc uses its own folder; the installed\n"
    "program uses the current folder when that holds a trevlin.INI, and\n"
    "otherwise asks for the disc folder. A folder without trevlin.INI opens as\n"
    "a new disc: the status bar says so, and Settings makes the file.\n"
    "\n"
    "The exit status is 0 when the program ends normally or the folder question\n"
    "is cancelled, and 2 when DISC_FOLDER is refused.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n";

// `trevlin --help` and `trevlin --version` answer on the terminal, before
// anything needs a display. Answers the exit code when that was asked.
std::optional<int> answerHelpOrVersion(int argc, char **argv)
{
    if (argc != 2)
        return std::nullopt;
    const std::string_view argument(argv[1]);
    if (argument == "--help" || argument == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argument == "--version" || argument == "-V") {
        std::fputs("trevlin (Trevlin) " TREVLIN_VERSION "\n", stdout);
        return 0;
    }
    return std::nullopt;
}

// Says why the program cannot start, on the terminal and, since a disc's
// autorun has no terminal, in a box.
int refuseToStart(const QString &text)
{
    std::fprintf(stderr, "trevlin: %s\n", qUtf8Printable(text));
    platform::showOkMessage(nullptr, text, platform::applicationTitle());
    return 2;
}

// The program's arguments as the system gave them (Qt has already removed
// its own options): a folder's name need not be valid UTF-8.
QList<QByteArray> nativeArguments(int argc, char **argv)
{
    QList<QByteArray> native;
#ifdef Q_OS_UNIX
    for (int i = 1; i < argc; ++i)
        native << QByteArray(argv[i]);
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
#endif
    return native;
}

bool discFolderEntered = false;

// Takes the disc folder from the command line (Qt has already removed its own
// options); `native` holds the same arguments' bytes, when known. Answers the
// exit code when the program must not go on.
std::optional<int> useDiscFolder(const QStringList &arguments, const QList<QByteArray> &native = {})
{
    if (arguments.isEmpty())
        return std::nullopt;
    if (arguments.size() > 1 || arguments.first().startsWith(QLatin1Char('-')))
        return refuseToStart(QStringLiteral("Usage: trevlin [DISC_FOLDER]\n\nUnexpected argument: %1")
                                 .arg(arguments.size() > 1 ? arguments.at(1) : arguments.first()));
    const QByteArray folder = native.size() == arguments.size() ? native.first() : QFile::encodeName(arguments.first());
    const GivenFolder kind = givenFolderKind(folder);
    if (kind == GivenFolder::Missing)
        return refuseToStart(QStringLiteral("The disc folder \"%1\" does not exist.").arg(arguments.first()));
    if (kind == GivenFolder::NotAFolder)
        return refuseToStart(QStringLiteral("\"%1\" is not a folder: give the folder that holds the disc's "
                                            "trevlin.INI.").arg(arguments.first()));
    QString reason;
    const QString path = enterDiscFolder(folder, &reason);
    if (path.isEmpty())
        return refuseToStart(QStringLiteral("The disc folder \"%1\" cannot be opened: %2.").arg(arguments.first(), reason));
    platform::setApplicationFolder(QDir::toNativeSeparators(path));
    discFolderEntered = true;
    return std::nullopt;
}

// Without a disc folder given, the disc is the program's own folder, and the
// program works there. Its name as text may have lost bytes that are not
// UTF-8: the program's own file, as the system names it, then says which
// folder it is.
std::optional<int> useOwnFolder()
{
    const QString own = platform::applicationFolder();
    QString reason;
    QString path = enterDiscFolder(QFile::encodeName(own), &reason);
    if (path == QLatin1String("/proc/self/cwd"))
        platform::setApplicationFolder(path);
#ifdef Q_OS_UNIX
    if (path.isEmpty()) {
        QByteArray exe(4096, Qt::Uninitialized);
        const ssize_t n = ::readlink("/proc/self/exe", exe.data(), size_t(exe.size()));
        if (n > 0 && n < exe.size()) {
            exe.truncate(n);
            const QByteArray folder = exe.left(qMax<qsizetype>(exe.lastIndexOf('/'), 1));
            if (QFile::decodeName(folder) == own && !(path = enterDiscFolder(folder, &reason)).isEmpty())
                platform::setApplicationFolder(path);
        }
    }
#endif
    if (path.isEmpty())
        return refuseToStart(QStringLiteral("The program's folder \"%1\" cannot be opened: %2.").arg(own, reason));
    return std::nullopt;
}

} // namespace

int main(int argc, char **argv)
{
    if (const std::optional<int> answered = answerHelpOrVersion(argc, argv))
        return *answered;

    // Before Qt and GStreamer start: they read where their plugins are then.
    const QString program = platform::programFile();
#ifndef Q_OS_WIN
    const bool discBundle = !program.isEmpty()
        && platform::useDiscBundle(QFileInfo(program).absolutePath(),
                                   QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation));

    // Windows centre themselves, which a Wayland session does not allow a
    // program to do: there, go through XWayland. A disc carries Qt's xcb
    // platform alone, so from a disc that holds whatever platform the
    // viewer's session names.
    if (!qEnvironmentVariableIsEmpty("DISPLAY") && (discBundle || qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")))
        qputenv("QT_QPA_PLATFORM", "xcb");
#endif

    QApplication app(argc, argv);
    QApplication::setApplicationName(platform::applicationTitle());
    QApplication::setApplicationVersion(QStringLiteral(TREVLIN_VERSION));
    QApplication::setWindowIcon(widgets::windowIcon());

    // Started through the dynamic loader, the executable is the loader: the
    // program's folder is still the one its own file lies in.
    if (!program.isEmpty() && program != QCoreApplication::applicationFilePath())
        platform::setApplicationFolder(QDir::toNativeSeparators(QFileInfo(program).absolutePath()));

    if (const std::optional<int> refused = useDiscFolder(QApplication::arguments().mid(1), nativeArguments(argc, argv)))
        return *refused;
    // Installed (in the bin folder the install rules put it in), the program
    // has no disc beside it: without a folder it takes the current folder
    // when that holds a trevlin.INI, and otherwise asks for the disc folder.
    if (QApplication::arguments().size() == 1
        && isInstalledFolder(QApplication::applicationDirPath(), QStringLiteral(TREVLIN_INSTALLED_BINDIRS))) {
        const QString disc = installedDiscFolder(QDir::currentPath(), [] {
            return chooseDiscFolder(QDir::currentPath(), askDiscFolder, askOpenAsNewDisc);
        });
        if (disc.isEmpty())
            return 0; // the viewer cancelled
        if (const std::optional<int> refused = useDiscFolder({disc}))
            return *refused;
    }
    if (!discFolderEntered)
        if (const std::optional<int> refused = useOwnFolder())
            return *refused;

    platform::FormHolder<frmprincipal> mainWindow;
    auto *splash = new frmSplash([&mainWindow]() -> QWidget * { return mainWindow.get(); });
    splash->load(); // the splash is closed (and goes away) by the time this returns
    return app.exec();
}
