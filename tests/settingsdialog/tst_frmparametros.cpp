// The settings dialog: its layout, what it writes and when, and the lock.

#include "dialogfixture.h"

#include "platform/application.h"
#include "settings/moduleini.h"
#include "widgets/mofficeborder.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QScopeGuard>
#include <QScreen>
#include <QStandardPaths>
#include <QWindow>

#include <unistd.h>

using namespace dialogfixture;

namespace {

const QByteArray StoredSettings = "[Main]\r\nTitle=Old Title\r\n[path]\r\nfrontcover=C:\\old\\f.jpg\r\n"
                                  "backcover=C:\\old\\b.jpg\r\nmovie=C:\\old\\m.avi\r\nsubtitles=C:\\old\\s.srt\r\n"
                                  "microdvdexe=C:\\player.exe\r\n[settings]\r\nblockset=no\r\n";

} // namespace

class tst_Frmparametros : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Frmparametros::setSettingsWriterForTests({}); }

    void windowLayoutAndTabOrder()
    {
        Frmparametros dialog;
        QCOMPARE(dialog.maximumSize(), dialog.minimumSize());
        QVERIFY(dialog.windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(!(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

        // Each label, laid out inside the frame, is level with its box, left of
        // it and names it for screen readers; the back cover's Browse button,
        // also in the frame, lines up with its box and the other Browse buttons.
        const auto inWindow = [&](const char *name) {
            auto *w = dialog.findChild<QWidget *>(QLatin1String(name));
            return QRect(w->mapTo(&dialog, QPoint(0, 0)), w->size());
        };
        for (auto [label, edit] : {std::pair{"Lbltitulo", "Txttitulo"}, {"lblcapa", "Txtcapa"},
                                   {"Lblcapa2", "Txtcapa2"}, {"Lblfilme", "Txtfilme"},
                                   {"Lbllegendas", "Txtlegendas"}}) {
            QCOMPARE(dialog.findChild<QLabel *>(QLatin1String(label))->buddy(), box(&dialog, edit));
            QCOMPARE(inWindow(label).top(), inWindow(edit).top());
            QVERIFY(inWindow(label).right() < inWindow(edit).left());
        }
        const QPoint backBrowse(inWindow("Cmdproccapa").x(), inWindow("Txtcapa2").y());
        QCOMPARE(inWindow("cmdproccapa2").topLeft(), backBrowse);

        // Tab order: the back cover's row comes last.
        QStringList chain;
        for (QWidget *w = box(&dialog, "Txttitulo"); chain.size() < 12; w = w->nextInFocusChain())
            if (w->focusPolicy() & Qt::TabFocus)
                chain << w->objectName();
        QCOMPARE(chain, (QStringList{"Txttitulo", "Txtcapa", "Txtfilme", "Txtlegendas", "Cmdproccapa",
                                     "Cmdprocfilme", "Cmdproclege", "Cmdaplicar", "Cmdcancel", "Cmddefault",
                                     "Txtcapa2", "cmdproccapa2"}));
    }

    void defaultsThenApplyWriteInOrder()
    {
        OpenedDialog s(StoredSettings);
        click(s.dialog, "Cmddefault");
        const QString base = QDir::toNativeSeparators(s.folder.path()) + QDir::separator();
        QStringList values{"TrevLIN", base + "divxf.jpg", base + "divxb.jpg", base + "logo.avi",
                           base + "subtitles.srt"};
        QCOMPARE(boxTexts(s.dialog), values);
        QCOMPARE(s.folder.readIni(), StoredSettings); // nothing written before Apply
        QVERIFY(s.dialog->isVisible());

        // Typed text is written as it is, an empty box as an empty value.
        values[0] = QStringLiteral("  A Title, with blanks  ");
        values[2].clear();
        box(s.dialog, "Txttitulo")->setText(values[0]);
        box(s.dialog, "Txtcapa2")->clear();
        QStringList writes;
        Frmparametros::setSettingsWriterForTests([&](const QString &section, const QString &key, const QString &value) {
            // Text changed after Apply started must not reach the later writes.
            box(s.dialog, "Txtcapa")->setText(QStringLiteral("changed meanwhile"));
            WriteINI(section, key, value);
            writes << section + '/' + key + '=' + value;
        });
        click(s.dialog, "Cmdaplicar");
        QVERIFY(s.unloadedAndBack());
        QCOMPARE(writes, (QStringList{"Main/title=" + values[0], "path/frontcover=" + values[1], "path/backcover=",
                                      "path/movie=" + values[3], "path/subtitles=" + values[4]}));
        const QString file = "[Main]\r\nTitle=%1\r\n[path]\r\nfrontcover=%2\r\nbackcover=\r\nmovie=%3\r\n"
                             "subtitles=%4\r\nmicrodvdexe=C:\\player.exe\r\n[settings]\r\nblockset=no\r\n";
        QCOMPARE(s.folder.readIni(), file.arg(values[0], values[1], values[3], values[4]).toLatin1());
    }

    void defaultsAtFilesystemRootDoubleTheSeparator()
    {
        testsupport::TempAppFolder folder; // restores the real folder when it goes
        const QString root = QDir::toNativeSeparators(QDir::rootPath());
        platform::setApplicationFolder(root);
        Frmparametros dialog;
        click(&dialog, "Cmddefault");
        QCOMPARE(box(&dialog, "Txtfilme")->text(), root + QDir::separator() + "logo.avi");
    }

    // Open, look, type, press keys that must do nothing, and leave without Apply.
    void closingWithoutApplyWritesNothing_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Cancel") << false;
        QTest::newRow("close box") << true;
    }
    void closingWithoutApplyWritesNothing()
    {
        QFETCH(bool, closeBox);
        OpenedDialog s(StoredSettings);
        const QPoint offCentre = s.dialog->frameGeometry().center() - s.dialog->screen()->geometry().center();
        QVERIFY(qAbs(offCentre.x()) <= 1 && qAbs(offCentre.y()) <= 1);
        // Text boxes and buttons wear the flat edge; labels and the frame do not.
        for (QWidget *w : s.dialog->findChildren<QWidget *>()) {
            const bool flat = qobject_cast<QLineEdit *>(w) || qobject_cast<QPushButton *>(w);
            QVERIFY2(Mofficeborder::hasFlatBorder(w) == flat, qPrintable(w->objectName()));
        }
        const QStringList stored{"Old Title", "C:\\old\\f.jpg", "C:\\old\\b.jpg", "C:\\old\\m.avi", "C:\\old\\s.srt"};
        QCOMPARE(boxTexts(s.dialog), stored); // the stored values are shown

        click(s.dialog, "Cmddefault");
        QTest::keyClicks(box(s.dialog, "Txttitulo"), QStringLiteral(" edited"));
        for (const char *name : {"Txttitulo", "Cmddefault", "Cmdaplicar", "Cmdcancel"}) {
            auto *target = s.dialog->findChild<QWidget *>(QLatin1String(name));
            target->setFocus();
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(target, key);
        }
        QTest::qWait(50);
        QVERIFY(s.dialog && s.dialog->isVisible());
        QCOMPARE(box(s.dialog, "Txttitulo")->text(), QStringLiteral("TrevLIN edited"));

        const int activationsBefore = s.activations;
        if (closeBox)
            s.dialog->windowHandle()->close(); // as the window system's close box does
        else
            click(s.dialog, "Cmdcancel");
        QVERIFY(s.unloadedAndBack());
        QCOMPARE(s.folder.readIni(), StoredSettings);
        // The main window comes back active, so it reads the settings again.
        QVERIFY(testsupport::waitFor([&] { return s.activations > activationsBefore; }));
        s.open();
        QCOMPARE(boxTexts(s.dialog), stored); // not what was typed last time
    }

    // Apply writes what the boxes show: the values loaded and left alone stay
    // in the file byte for byte, those changed are written.
    void applyKeepsWhatWasNotChanged_data()
    {
        QTest::addColumn<QByteArray>("stored"); // null: no settings file
        QTest::addColumn<QStringList>("edits"); // box=text
        QTest::addColumn<QByteArray>("after");
        QByteArray titleChanged = StoredSettings;
        titleChanged.replace("Title=Old Title", "Title=New Title");
        QTest::newRow("only the title changed: the covers stay")
            << StoredSettings << QStringList{"Txttitulo=New Title"} << titleChanged;
        QByteArray frontCleared = StoredSettings;
        frontCleared.replace("frontcover=C:\\old\\f.jpg", "frontcover=");
        QTest::newRow("a box emptied writes an empty value")
            << StoredSettings << QStringList{"Txtcapa="} << frontCleared;
        // A quoted value reads without its quotes, a long one cut to 254
        // characters: left alone, neither is rewritten.
        const QByteArray odd = "[main]\nTITLE=\"  Spaced  \"\n[path]\nmovie=" + QByteArray(300, 'm') + "\n";
        QTest::newRow("nothing changed: nothing written") << odd << QStringList{} << odd;
        QTest::newRow("typed back as it was: nothing written")
            << odd << QStringList{"Txttitulo=other", "Txttitulo=  Spaced  "} << odd;
        QTest::newRow("no settings file: what was typed")
            << QByteArray() << QStringList{"Txtfilme=movie.avi"} << QByteArray("[path]\r\nmovie=movie.avi\r\n");
    }
    void applyKeepsWhatWasNotChanged()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QStringList, edits);
        QFETCH(QByteArray, after);
        OpenedDialog s(stored);
        for (const QString &edit : edits) {
            const qsizetype at = edit.indexOf(QLatin1Char('='));
            box(s.dialog, qPrintable(edit.left(at)))->setText(edit.mid(at + 1));
        }
        click(s.dialog, "Cmdaplicar");
        QVERIFY(s.unloadedAndBack());
        QCOMPARE(s.folder.readIni(), after);
    }

    // The lock is read on every activation and compared exactly; a locked
    // dialog takes no input, but its close box still closes it.
    void lock()
    {
        OpenedDialog s; // no settings file
        QVERIFY(s.dialog->isEnabled());
        const QByteArray locked = "[Main]\ntitle=Kept\n[settings]\nblockset=yes\n";
        for (auto [ini, isLocked] : {std::pair{locked, true}, {"[Settings]\nBlockSet=yes\n", true},
                                     {"[settings]\nblockset=Yes\n", false}, {"[settings]\nblockset=\" yes\"\n", false},
                                     {locked, true}}) {
            s.folder.writeIni(ini);
            QVERIFY(testsupport::showAndActivate(&s.mainWindow));
            QVERIFY(testsupport::showAndActivate(s.dialog) || isLocked);
            QVERIFY2(s.dialog->isEnabled() != isLocked, ini.constData());
        }

        s.mainWindow.hide();
        for (const char *name : {"Cmddefault", "Cmdaplicar", "Cmdcancel"})
            click(s.dialog, name);
        QTest::keyClick(s.dialog, Qt::Key_Escape);
        QTest::qWait(50);
        QVERIFY(s.dialog);
        QCOMPARE(boxTexts(s.dialog), QStringList(5)); // opened before there was a file
        s.dialog->windowHandle()->close();
        QVERIFY(s.unloadedAndBack());
        QCOMPARE(s.folder.readIni(), locked);
        // Opened on a locked file, it shows the values, and takes no input.
        s.open();
        QVERIFY(!s.dialog->isEnabled());
        QCOMPARE(boxTexts(s.dialog), (QStringList{"Kept", "", "", "", ""}));
    }

    // A settings file on a read-only disc: every one of the five writes fails
    // and says so, the dialog still closes, and the file keeps its bytes.
    // Permissions restrict nothing for root, so as root the test runs itself
    // again as an unprivileged user.
    void readOnlySettingsFileReportsFiveTimes()
    {
        if (::geteuid() == 0) {
            const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
            if (setpriv.isEmpty())
                QSKIP("running as root and setpriv is missing: cannot make a file read-only");
            const QStringList asNobody{"--reuid=65534", "--regid=65534", "--clear-groups", "--",
                                       QCoreApplication::applicationFilePath(), QTest::currentTestFunction()};
            QCOMPARE(QProcess::execute(setpriv, asNobody), 0);
            return;
        }
        OpenedDialog s(StoredSettings);
        QVERIFY(QFile::setPermissions(s.folder.iniPath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(QFile::setPermissions(s.folder.path(), QFile::ReadOwner | QFile::ExeOwner));
        auto restore = qScopeGuard([&] {
            QFile::setPermissions(s.folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QFile::setPermissions(s.folder.iniPath(), QFile::ReadOwner | QFile::WriteOwner);
        });
        click(s.dialog, "Cmddefault");
        testsupport::BoxAnswerer answerer(QStringLiteral("OK"));
        click(s.dialog, "Cmdaplicar");
        QVERIFY(s.unloadedAndBack());
        QCOMPARE(answerer.count(), 5);
        for (const testsupport::SeenBox &seen : answerer.seen())
            QCOMPARE(seen.text + '/' + seen.caption, QStringLiteral("Escrita sem Sucesso/Trevlin"));
        QCOMPARE(s.folder.readIni(), StoredSettings);
    }
};

QTEST_MAIN(tst_Frmparametros)
#include "tst_frmparametros.moc"
