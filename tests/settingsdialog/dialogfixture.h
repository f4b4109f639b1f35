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

// A settings file (none for a null `ini`), and the dialog opened over a plain
// form in the main window's place; a dialog still open at the end goes too.
struct OpenedDialog
{
    testsupport::TempAppFolder folder;
    QWidget mainWindow;
    int activations = 0; // of the main window
    QPointer<Frmparametros> dialog;

    explicit OpenedDialog(const QByteArray &ini = {})
    {
        if (!ini.isNull())
            folder.writeIni(ini);
        platform::registerForm(&mainWindow, [this] { ++activations; });
        open();
    }
    ~OpenedDialog() { delete dialog; }
    // As the main window's Settings entry does: the dialog shown and active,
    // the main window hidden until the dialog unloads.
    void open()
    {
        dialog = new Frmparametros;
        QObject::connect(dialog, &Frmparametros::unloaded, &mainWindow, [this] { platform::showForm(&mainWindow); });
        platform::showForm(dialog);
        mainWindow.hide();
        if (!QTest::qWaitForWindowActive(dialog))
            qWarning("the settings dialog did not become active");
    }
    bool unloadedAndBack() { return testsupport::waitFor([this] { return !dialog && mainWindow.isVisible(); }); }
};

inline QLineEdit *box(QWidget *dialog, const char *name) { return dialog->findChild<QLineEdit *>(QLatin1String(name)); }

inline void click(QWidget *dialog, const char *name)
{
    QTest::mouseClick(dialog->findChild<QPushButton *>(QLatin1String(name)), Qt::LeftButton);
}

// Title, front cover, back cover, movie, subtitles.
inline QStringList boxTexts(QWidget *dialog)
{
    QStringList texts;
    for (const char *name : {"Txttitulo", "Txtcapa", "Txtcapa2", "Txtfilme", "Txtlegendas"})
        texts << box(dialog, name)->text();
    return texts;
}

} // namespace dialogfixture
