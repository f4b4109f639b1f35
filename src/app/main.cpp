// The program starts in the splash, which hands over to the main window.
//
//   trevlin [DISC_FOLDER]
//
// Without an argument the disc is the program's own folder. With one, the
// disc is DISC_FOLDER: its trevlin.INI is used, and it becomes the working
// folder, so relative paths in the settings file are taken from the disc as
// when the disc's autorun starts the program there.
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
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>
#include <optional>

namespace {

// Says why the program cannot start, on the terminal and, since a disc's
// autorun has no terminal, in a box.
int refuseToStart(const QString &text)
{
    std::fprintf(stderr, "trevlin: %s\n", qUtf8Printable(text));
    platform::showOkMessage(nullptr, text, platform::applicationTitle());
    return 2;
}

// Takes the disc folder from the command line (Qt has already removed its own
// options). Answers the exit code when the program must not go on.
std::optional<int> useDiscFolder(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return std::nullopt;
    if (arguments.size() > 1 || arguments.first().startsWith(QLatin1Char('-')))
        return refuseToStart(QStringLiteral("Usage: trevlin [DISC_FOLDER]\n\nUnexpected argument: %1")
                                 .arg(arguments.size() > 1 ? arguments.at(1) : arguments.first()));
    const QFileInfo folder(arguments.first());
    if (!folder.exists())
        return refuseToStart(QStringLiteral("The disc folder \"%1\" does not exist.").arg(arguments.first()));
    if (!folder.isDir())
        return refuseToStart(QStringLiteral("\"%1\" is not a folder: give the folder that holds the disc's "
                                            "trevlin.INI.").arg(arguments.first()));
    const QString path = folder.canonicalFilePath();
    if (!QDir::setCurrent(path))
        return refuseToStart(QStringLiteral("The disc folder \"%1\" cannot be opened.").arg(arguments.first()));
    platform::setApplicationFolder(QDir::toNativeSeparators(path));
    return std::nullopt;
}

} // namespace

int main(int argc, char **argv)
{
    // Before Qt and GStreamer start: they read where their plugins are then.
    const QString program = platform::programFile();
#ifndef Q_OS_WIN
    const bool discBundle = platform::useDiscBundle(QFileInfo(program).absolutePath(),
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
    if (program != QCoreApplication::applicationFilePath())
        platform::setApplicationFolder(QDir::toNativeSeparators(QFileInfo(program).absolutePath()));

    if (const std::optional<int> refused = useDiscFolder(QApplication::arguments().mid(1)))
        return *refused;
    // Installed (in the bin folder the install rules put it in), the program
    // has no disc beside it: without a folder it takes the current folder
    // when that holds a trevlin.INI, and otherwise asks for the disc folder.
    if (QApplication::arguments().size() == 1
        && isInstalledFolder(QApplication::applicationDirPath(), QStringLiteral(TREVLIN_INSTALLED_BINDIRS))) {
        const QString disc = installedDiscFolder(QDir::currentPath(), [] { return askDiscFolder(QDir::currentPath()); });
        if (disc.isEmpty())
            return 0; // the viewer cancelled
        if (const std::optional<int> refused = useDiscFolder({disc}))
            return *refused;
    }

    platform::FormHolder<frmprincipal> mainWindow;
    auto *splash = new frmSplash([&mainWindow]() -> QWidget * { return mainWindow.get(); });
    splash->load(); // the splash is closed (and goes away) by the time this returns
    return app.exec();
}
