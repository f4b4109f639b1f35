// The settings dialog: its layout, what it writes and when, and the lock.

#include "dialogfixture.h"

#include "platform/application.h"
#include "platform/twips.h"
#include "settings/moduleini.h"
#include "startup/mofficeborder.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QWindow>

#include <unistd.h>

using namespace dialogfixture;
using testsupport::TempAppFolder;

namespace {

const QByteArray StoredSettings = "[Main]\r\nTitle=Old Title\r\n[path]\r\nfrontcover=C:\\old\\f.jpg\r\n"
                                  "backcover=C:\\old\\b.jpg\r\nmovie=C:\\old\\m.avi\r\nsubtitles=C:\\old\\s.srt\r\n"
                                  "microdvdexe=C:\\player.exe\r\n[settings]\r\nblockset=no\r\n";

const char *const BoxNames[] = {"Txttitulo", "Txtcapa", "Txtcapa2", "Txtfilme", "Txtlegendas"};

QStringList boxTexts(QWidget *dialog)
{
    QStringList texts;
    for (const char *name : BoxNames)
        texts << box(dialog, name)->text();
    return texts;
}

// The five values Apply writes, as the program reads them back.
QStringList storedValues()
{
    return {ReadINI(QStringLiteral("main"), QStringLiteral("Title")),
            ReadINI(QStringLiteral("path"), QStringLiteral("frontcover")),
            ReadINI(QStringLiteral("path"), QStringLiteral("backcover")),
            ReadINI(QStringLiteral("path"), QStringLiteral("movie")),
            ReadINI(QStringLiteral("path"), QStringLiteral("subtitles"))};
}

// The close box: the native window is asked to close and passes the request
// on as the window system's close event.
void pressCloseBox(QWidget *window)
{
    window->windowHandle()->close();
}

} // namespace

class tst_Frmparametros : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void captionsAndLayout();
    void windowIsAFixedPlainWindow();
    void tabOrder();
    void activationCentresAndFlattens();
    void boxesStartEmptyOnEveryOpening();

    void applyOnFreshDialogStoresFiveEmptyValues();
    void defaultSettingsThenApplyStoresProposals();
    void defaultSettingsAtFilesystemRootDoublesTheSeparator();
    void closingWithoutApplyWritesNothing_data();
    void closingWithoutApplyWritesNothing();
    void applyWritesEachValueInOrderAsTyped();
    void enterAndEscapeDoNothing();

    void lock_data();
    void lock();
    void lockedDialogStillClosesWithItsCloseBox();
    void lockIsReadAfreshOnEachActivation();

    void readOnlySettingsFileReportsFiveTimes();
};

void tst_Frmparametros::cleanup()
{
    Frmparametros::setSettingsWriterForTests({});
    // A failed check may leave a dialog behind; the next test starts clean.
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<Frmparametros *>(w))
            delete w;
}

void tst_Frmparametros::captionsAndLayout()
{
    Frmparametros dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Trevlin"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("Label1"))->text(), QStringLiteral(" Settings"));
    QCOMPARE(dialog.findChild<QGroupBox *>(QStringLiteral("Frame1"))->title(), QStringLiteral("Ini Settings"));
    for (auto [name, caption] : {std::pair{"Cmdproccapa", "Browse"}, {"cmdproccapa2", "Browse"},
                                 {"Cmdprocfilme", "Browse"}, {"Cmdproclege", "Browse"},
                                 {"Cmddefault", "Default Settings"}, {"Cmdaplicar", "Apply"}, {"Cmdcancel", "Cancel"}})
        QCOMPARE(button(&dialog, name)->text(), QLatin1String(caption));

    // Each label sits in the frame, level with its box and left of it; the
    // back cover's Browse button, also in the frame, lines up with the others.
    const auto inWindow = [&](QWidget *w) { return QRect(w->mapTo(&dialog, QPoint(0, 0)), w->size()); };
    const std::pair<const char *, const char *> rows[] = {{"Lbltitulo", "Movie Title:"},
                                                          {"lblcapa", "Front Cover:"},
                                                          {"Lblcapa2", "Back Cover"},
                                                          {"Lblfilme", "Movie File:"},
                                                          {"Lbllegendas", "Subtitle File:"}};
    for (int i = 0; i < 5; ++i) {
        auto *label = dialog.findChild<QLabel *>(QLatin1String(rows[i].first));
        QLineEdit *edit = box(&dialog, BoxNames[i]);
        QCOMPARE(label->text(), QLatin1String(rows[i].second));
        QCOMPARE(label->parentWidget()->objectName(), QStringLiteral("Frame1"));
        QCOMPARE(label->buddy(), edit); // screen readers name the box after it
        QCOMPARE(inWindow(label).top(), edit->geometry().top());
        QCOMPARE(inWindow(label), platform::twipsRect(480, 1320 + 600 * i, 975, 375));
        QCOMPARE(edit->geometry(), platform::twipsRect(1560, 1320 + 600 * i, 3135, 375));
    }
    QCOMPARE(button(&dialog, "cmdproccapa2")->parentWidget()->objectName(), QStringLiteral("Frame1"));
    QCOMPARE(inWindow(button(&dialog, "cmdproccapa2")), platform::twipsRect(4920, 2520, 1095, 375));
    QCOMPARE(button(&dialog, "Cmdproclege")->geometry(), platform::twipsRect(4920, 3720, 1095, 375));
    QCOMPARE(button(&dialog, "Cmddefault")->geometry(), platform::twipsRect(120, 5040, 2055, 375));
    QCOMPARE(button(&dialog, "Cmdcancel")->geometry(), platform::twipsRect(5040, 5040, 1455, 375));
}

void tst_Frmparametros::windowIsAFixedPlainWindow()
{
    Frmparametros dialog;
    QVERIFY(!qobject_cast<QDialog *>(&dialog)); // no Escape-closes, no auto-default buttons
    QVERIFY(dialog.testAttribute(Qt::WA_DeleteOnClose));
    const QSize client = platform::twipsSize(6630, 5520);
    QCOMPARE(dialog.minimumSize(), client);
    QCOMPARE(dialog.maximumSize(), client);
    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    for (QPushButton *b : dialog.findChildren<QPushButton *>())
        QVERIFY2(!b->isDefault() && !b->autoDefault(), qPrintable(b->objectName()));
}

void tst_Frmparametros::tabOrder()
{
    Frmparametros dialog;
    const QStringList expected{"Txttitulo",    "Txtcapa",     "Txtfilme",   "Txtlegendas", "Cmdproccapa",
                               "Cmdprocfilme", "Cmdproclege", "Cmdaplicar", "Cmdcancel",   "Cmddefault",
                               "Txtcapa2",     "cmdproccapa2"};
    QStringList chain;
    QWidget *w = box(&dialog, "Txttitulo");
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            chain << w->objectName();
        w = w->nextInFocusChain();
    } while (w != box(&dialog, "Txttitulo"));
    QCOMPARE(chain, expected);
}

void tst_Frmparametros::activationCentresAndFlattens()
{
    TempAppFolder folder;
    MainWindowStandIn mainWindow;
    QPointer<Frmparametros> dialog = openSettings(mainWindow);
    QVERIFY(dialog);
    QVERIFY(!mainWindow.isVisible());

    const QRect screen = dialog->screen()->geometry();
    const QRect outer = dialog->frameGeometry();
    QVERIFY(qAbs(outer.center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(outer.center().y() - screen.center().y()) <= 1);

    for (const char *name : {"Txttitulo", "Txtcapa", "Txtcapa2", "Txtfilme", "Txtlegendas", "Cmdproccapa",
                             "cmdproccapa2", "Cmdprocfilme", "Cmdproclege", "Cmdaplicar", "Cmdcancel", "Cmddefault"})
        QVERIFY2(Mofficeborder::hasFlatBorder(dialog->findChild<QWidget *>(QLatin1String(name))), name);
    for (const char *name : {"Label1", "Frame1", "Lbltitulo", "Lblcapa2"})
        QVERIFY2(!Mofficeborder::hasFlatBorder(dialog->findChild<QWidget *>(QLatin1String(name))), name);
    QVERIFY(dialog->isEnabled());
}

void tst_Frmparametros::boxesStartEmptyOnEveryOpening()
{
    TempAppFolder folder;
    folder.writeIni(StoredSettings);
    MainWindowStandIn mainWindow;

    QPointer<Frmparametros> dialog = openSettings(mainWindow);
    QCOMPARE(boxTexts(dialog), QStringList(5));
    QTest::keyClicks(box(dialog, "Txttitulo"), QStringLiteral("typed"));
    click(dialog, "Cmddefault");
    click(dialog, "Cmdcancel");
    QVERIFY(unloadedAndBack(dialog, mainWindow));

    dialog = openSettings(mainWindow);
    QCOMPARE(boxTexts(dialog), QStringList(5));
}

void tst_Frmparametros::applyOnFreshDialogStoresFiveEmptyValues()
{
    TempAppFolder folder;
    folder.writeIni(StoredSettings);
    MainWindowStandIn mainWindow;
    QPointer<Frmparametros> dialog = openSettings(mainWindow);

    click(dialog, "Cmdaplicar");
    QVERIFY(unloadedAndBack(dialog, mainWindow));
    QCOMPARE(storedValues(), QStringList(5));
    // Written as empty keys, not dropped; the rest of the file stays.
    const QString text = QString::fromLatin1(folder.readIni());
    for (const char *key : {"title", "frontcover", "backcover", "movie", "subtitles"}) {
        const QRegularExpression line(QStringLiteral("^%1=\\r?$").arg(QLatin1String(key)),
                                      QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
        QVERIFY2(line.match(text).hasMatch(), key);
    }
    QCOMPARE(ReadINI(QStringLiteral("path"), QStringLiteral("microdvdexe")), QStringLiteral("C:\\player.exe"));
    QCOMPARE(ReadINI(QStringLiteral("settings"), QStringLiteral("blockset")), QStringLiteral("no"));
}

void tst_Frmparametros::defaultSettingsThenApplyStoresProposals()
{
    TempAppFolder folder;
    folder.writeIni(StoredSettings);
    MainWindowStandIn mainWindow;
    QPointer<Frmparametros> dialog = openSettings(mainWindow);

    click(dialog, "Cmddefault");
    const QString base = QDir::toNativeSeparators(folder.path()) + QDir::separator();
    const QStringList proposals{"TrevLIN", base + "divxf.jpg", base + "divxb.jpg", base + "logo.avi",
                                base + "subtitles.srt"};
    QCOMPARE(boxTexts(dialog), proposals);
    QCOMPARE(folder.readIni(), StoredSettings); // nothing written before Apply
    QVERIFY(dialog->isVisible());

    click(dialog, "Cmdaplicar");
    QVERIFY(unloadedAndBack(dialog, mainWindow));
    QCOMPARE(storedValues(), proposals);
}

void tst_Frmparametros::defaultSettingsAtFilesystemRootDoublesTheSeparator()
{
    TempAppFolder folder; // restores the real folder when it goes
    const QString root = QDir::toNativeSeparators(QDir::rootPath());
    platform::setApplicationFolderForTests(root);
    Frmparametros dialog;
    click(&dialog, "Cmddefault");
    const QString doubled = root + QDir::separator();
    QCOMPARE(box(&dialog, "Txtcapa")->text(), doubled + "divxf.jpg");
    QCOMPARE(box(&dialog, "Txtlegendas")->text(), doubled + "subtitles.srt");
#ifndef Q_OS_WIN
    QCOMPARE(box(&dialog, "Txtfilme")->text(), QStringLiteral("//logo.avi"));
#endif
}

void tst_Frmparametros::closingWithoutApplyWritesNothing_data()
{
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Cancel") << false;
    QTest::newRow("close box") << true;
}

void tst_Frmparametros::closingWithoutApplyWritesNothing()
{
    QFETCH(bool, closeBox);
    TempAppFolder folder;
    folder.writeIni(StoredSettings);
    MainWindowStandIn mainWindow;
    QPointer<Frmparametros> dialog = openSettings(mainWindow);
    const int activationsBefore = mainWindow.activations;

    click(dialog, "Cmddefault");
    QTest::keyClicks(box(dialog, "Txttitulo"), QStringLiteral(" edited"));
    if (closeBox)
        pressCloseBox(dialog);
    else
        click(dialog, "Cmdcancel");
    QVERIFY(unloadedAndBack(dialog, mainWindow));
    QCOMPARE(folder.readIni(), StoredSettings);
    // The main window comes back active, so it reads the settings again.
    QVERIFY(testsupport::waitFor([&] { return mainWindow.activations > activationsBefore; }));
}

void tst_Frmparametros::applyWritesEachValueInOrderAsTyped()
{
    TempAppFolder folder;
    folder.writeIni(StoredSettings);
    MainWindowStandIn mainWindow;
    QPointer<Frmparametros> dialog = openSettings(mainWindow);

    const QStringList typed{"  A Title, with blanks  ", "/covers/front one.jpg", "", "relative/movie.avi",
                            "C:\\subs\\s.srt"};
    for (int i = 0; i < 5; ++i)
        box(dialog, BoxNames[i])->setText(typed.at(i));

    struct Write
    {
        QString section, key, value;
        QStringList storedAfter;
    };
    QList<Write> writes;
    Frmparametros::setSettingsWriterForTests([&](const QString &section, const QString &key, const QString &value) {
        // Text changed after Apply started must not reach the later writes.
        if (writes.isEmpty() && dialog)
            box(dialog, "Txtcapa")->setText(QStringLiteral("changed meanwhile"));
        WriteINI(section, key, value);
        writes.append({section, key, value, storedValues()});
    });

    click(dialog, "Cmdaplicar");
    QVERIFY(unloadedAndBack(dialog, mainWindow));

    const QStringList sections{"Main", "path", "path", "path", "path"};
    const QStringList keys{"title", "frontcover", "backcover", "movie", "subtitles"};
    QCOMPARE(writes.size(), 5);
    const QStringList old = {"Old Title", "C:\\old\\f.jpg", "C:\\old\\b.jpg", "C:\\old\\m.avi", "C:\\old\\s.srt"};
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(writes[i].section, sections[i]);
        QCOMPARE(writes[i].key, keys[i]);
        QCOMPARE(writes[i].value, typed[i]);
        // Each write reaches the file before the next one starts.
        for (int j = 0; j < 5; ++j) {
            const QString expected = j <= i ? typed[j].trimmed() : old[j];
            QCOMPARE(writes[i].storedAfter[j], expected);
        }
    }
}

void tst_Frmparametros::enterAndEscapeDoNothing()
{
    TempAppFolder folder;
    folder.writeIni(StoredSettings);
    MainWindowStandIn mainWindow;
    QPointer<Frmparametros> dialog = openSettings(mainWindow);

    QLineEdit *title = box(dialog, "Txttitulo");
    title->setFocus();
    QTest::keyClicks(title, QStringLiteral("New"));
    QTest::keyClick(title, Qt::Key_Return);
    QTest::keyClick(title, Qt::Key_Enter);
    QTest::keyClick(title, Qt::Key_Escape);
    QTest::keyClick(button(dialog, "Cmdcancel"), Qt::Key_Escape);
    QTest::qWait(50);
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(title->text(), QStringLiteral("New"));
    QCOMPARE(folder.readIni(), StoredSettings);
}

void tst_Frmparametros::lock_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("lockAsRead");
    QTest::addColumn<bool>("locked");
    QTest::newRow("yes") << QByteArray("[settings]\nblockset=yes\n") << "yes" << true;
    QTest::newRow("section and key in other case") << QByteArray("[Settings]\nBlockSet=yes\n") << "yes" << true;
    QTest::newRow("Yes") << QByteArray("[settings]\nblockset=Yes\n") << "Yes" << false;
    QTest::newRow("leading blank") << QByteArray("[settings]\nblockset=\" yes\"\n") << " yes" << false;
    QTest::newRow("no") << QByteArray("[settings]\nblockset=no\n") << "no" << false;
    QTest::newRow("empty") << QByteArray("[settings]\nblockset=\n") << "" << false;
    QTest::newRow("no settings file") << QByteArray() << "" << false;
}

void tst_Frmparametros::lock()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, lockAsRead);
    QFETCH(bool, locked);

    TempAppFolder folder;
    if (!ini.isNull())
        folder.writeIni(ini);
    QCOMPARE(ReadINI(QStringLiteral("settings"), QStringLiteral("blockset")), lockAsRead);

    MainWindowStandIn mainWindow;
    QPointer<Frmparametros> dialog = openSettings(mainWindow);
    QCOMPARE(dialog->isEnabled(), !locked);
    for (QWidget *control : dialog->findChildren<QWidget *>())
        QCOMPARE(control->isEnabled(), !locked);
}

void tst_Frmparametros::lockedDialogStillClosesWithItsCloseBox()
{
    TempAppFolder folder;
    const QByteArray ini = "[Main]\ntitle=Kept\n[settings]\nblockset=yes\n";
    folder.writeIni(ini);
    MainWindowStandIn mainWindow;
    QPointer<Frmparametros> dialog = openSettings(mainWindow);
    QVERIFY(!dialog->isEnabled());

    // No control responds: not Default Settings, not Apply, not Cancel.
    click(dialog, "Cmddefault");
    QCOMPARE(boxTexts(dialog), QStringList(5));
    click(dialog, "Cmdaplicar");
    click(dialog, "Cmdcancel");
    QTest::keyClick(dialog, Qt::Key_Escape);
    QTest::qWait(50);
    QVERIFY(dialog);
    QVERIFY(!mainWindow.isVisible());

    // The close box still does, so the viewer gets the main window back.
    pressCloseBox(dialog);
    QVERIFY(unloadedAndBack(dialog, mainWindow));
    QCOMPARE(folder.readIni(), ini);

    dialog = openSettings(mainWindow);
    QVERIFY(!dialog->isEnabled());
    dialog->close();
    QVERIFY(unloadedAndBack(dialog, mainWindow));
}

void tst_Frmparametros::lockIsReadAfreshOnEachActivation()
{
    TempAppFolder folder;
    folder.writeIni("[settings]\nblockset=yes\n");
    MainWindowStandIn mainWindow;
    QPointer<Frmparametros> dialog = openSettings(mainWindow);
    QVERIFY(!dialog->isEnabled());

    folder.writeIni("[settings]\nblockset=no\n");
    QVERIFY(testsupport::showAndActivate(&mainWindow));
    QVERIFY(testsupport::showAndActivate(dialog));
    QVERIFY(dialog->isEnabled());

    folder.writeIni("[settings]\nblockset=yes\n");
    QVERIFY(testsupport::showAndActivate(&mainWindow));
    QVERIFY(testsupport::showAndActivate(dialog) || !dialog->isEnabled());
    QVERIFY(!dialog->isEnabled());
}

// A settings file on a read-only disc: every one of the five writes fails and
// says so, the dialog still closes, and the file keeps its bytes. Permissions
// restrict nothing for root, so as root the test runs itself again as an
// unprivileged user.
void tst_Frmparametros::readOnlySettingsFileReportsFiveTimes()
{
    if (::geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty())
            QSKIP("running as root and setpriv is missing: cannot make a file read-only");
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.setWorkingDirectory(QDir::tempPath());
        child.start(setpriv, {"--reuid=65534", "--regid=65534", "--clear-groups", "--",
                              QCoreApplication::applicationFilePath(), "readOnlySettingsFileReportsFiveTimes"});
        QVERIFY(child.waitForFinished(120000));
        const QByteArray output = child.readAll();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, output.constData());
        QVERIFY2(output.contains("PASS   : tst_Frmparametros::readOnlySettingsFileReportsFiveTimes"),
                 output.constData());
        return;
    }

    TempAppFolder folder;
    folder.writeIni(StoredSettings);
    QVERIFY(QFile::setPermissions(folder.iniPath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner));
    auto restore = qScopeGuard([&] {
        QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(folder.iniPath(), QFile::ReadOwner | QFile::WriteOwner);
    });

    MainWindowStandIn mainWindow;
    QPointer<Frmparametros> dialog = openSettings(mainWindow);
    click(dialog, "Cmddefault");
    testsupport::BoxAnswerer answerer(QStringLiteral("OK"));
    click(dialog, "Cmdaplicar");
    QVERIFY(unloadedAndBack(dialog, mainWindow));

    QCOMPARE(answerer.count(), 5);
    for (const testsupport::SeenBox &seen : answerer.seen()) {
        QCOMPARE(seen.text, QStringLiteral("Escrita sem Sucesso"));
        QCOMPARE(seen.caption, QStringLiteral("Trevlin"));
        QCOMPARE(seen.buttons, QStringList{QStringLiteral("OK")});
    }
    QCOMPARE(folder.readIni(), StoredSettings);
    QCOMPARE(storedValues().first(), QStringLiteral("Old Title"));
}

QTEST_MAIN(tst_Frmparametros)
#include "tst_frmparametros.moc"
