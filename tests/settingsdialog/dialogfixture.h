#pragma once
// Opening the settings dialog the way the main window does, with a plain
// window standing in for the main window.

#include "platform/forms.h"
#include "settingsdialog/frmparametros.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace dialogfixture {

// A stand-in for the main window: one of the program's forms that counts its
// activations and shows itself again when the dialog unloads.
class MainWindowStandIn : public QWidget
{
public:
    MainWindowStandIn()
    {
        setObjectName(QStringLiteral("frmprincipal"));
        resize(200, 100);
        platform::registerForm(this, [this] { ++activations; });
    }
    int activations = 0;
};

// Opens the dialog (shown, activated) and hides the stand-in, as the main
// window's Settings entry does.
inline QPointer<Frmparametros> openSettings(MainWindowStandIn &mainWindow)
{
    auto *dialog = new Frmparametros;
    QObject::connect(dialog, &Frmparametros::unloaded, &mainWindow, [&mainWindow] { platform::showForm(&mainWindow); });
    platform::showForm(dialog);
    mainWindow.hide();
    if (!QTest::qWaitForWindowActive(dialog))
        qWarning("the settings dialog did not become active");
    return dialog;
}

inline QLineEdit *box(QWidget *dialog, const char *name)
{
    return dialog->findChild<QLineEdit *>(QLatin1String(name));
}

inline QPushButton *button(QWidget *dialog, const char *name)
{
    return dialog->findChild<QPushButton *>(QLatin1String(name));
}

inline void click(QWidget *dialog, const char *name)
{
    QPushButton *target = button(dialog, name);
    if (!target)
        qFatal("no button %s", name);
    QTest::mouseClick(target, Qt::LeftButton);
}

// Waits until the dialog is gone and the stand-in is back.
inline bool unloadedAndBack(const QPointer<Frmparametros> &dialog, const MainWindowStandIn &mainWindow)
{
    return testsupport::waitFor([&] { return dialog.isNull() && mainWindow.isVisible(); });
}

} // namespace dialogfixture
