// The program starts in the splash, which hands over to the main window.

#include "mainwindow/frmprincipal.h"
#include "platform/application.h"
#include "platform/forms.h"
#include "widgets/designstyle.h"
#include "startup/frmsplash.h"

#include <QApplication>

int main(int argc, char **argv)
{
    // Windows centre themselves, which a Wayland session does not allow a
    // program to do: there, go through XWayland.
    if (!qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(platform::applicationTitle());
    QApplication::setApplicationVersion(QStringLiteral(TREVLIN_VERSION));
    QApplication::setWindowIcon(widgets::windowIcon());

    platform::FormHolder<frmprincipal> mainWindow;
    auto *splash = new frmSplash([&mainWindow]() -> QWidget * { return mainWindow.get(); });
    splash->load(); // the splash is closed (and goes away) by the time this returns
    return app.exec();
}
