// The About window: its pictures, what each activation shows, and that every
// way of closing it unloads it (which brings the main window back).
#include "windows/frmacerca.h"
#include "platform/forms.h"
#include "startup/frmsplash.h"
#include "testsupport.h"

#include <QCloseEvent>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace testsupport;

class tst_frmacerca : public QObject
{
    Q_OBJECT
private slots:
    void picturesAndWhatEachActivationShows()
    {
        frmAcerca about;
        frmSplash splash([] { return nullptr; });
        const auto image = [](QWidget *w, const char *name) { return w->findChild<QLabel *>(name)->pixmap().toImage(); };
        for (const char *name : {"Image1", "Image2", "Imglogo", "Image3"}) // shown at their own size
            QCOMPARE(image(&about, name).size(), about.findChild<QLabel *>(name)->size());
        // The banner and the second picture are the splash's two.
        QVERIFY(image(&about, "Image1") == image(&splash, "Image2") && image(&about, "Image2") == image(&splash, "Image1"));
        QCOMPARE(frmAcerca::versionLine(10, 0, 0), QStringLiteral("Version 10.0.0"));

        QWidget other; // another of the program's forms
        platform::registerForm(&other, {});
        auto *title = about.findChild<QLabel *>("lblTitle"), *version = about.findChild<QLabel *>("lblVersion");
        for (int round = 0; round < 2; ++round) {
            QVERIFY(showAndActivate(&about));
            QCOMPARE(about.windowTitle(), QStringLiteral("About Trevlin"));
            QCOMPARE(title->text(), QStringLiteral("Trevlin"));
            QCOMPARE(version->text(), QStringLiteral("Version " TREVLIN_VERSION_TEXT));
            const QPoint offCentre = about.frameGeometry().center() - about.screen()->geometry().center();
            QVERIFY(qAbs(offCentre.x()) <= 1 && qAbs(offCentre.y()) <= 1);
            // Spoil what activation sets; the next activation puts it right.
            about.setWindowTitle(QStringLiteral("spoilt"));
            title->clear();
            version->clear();
            about.move(0, 0);
            QVERIFY(showAndActivate(&other));
        }
    }

    void closing_data()
    {
        QTest::addColumn<int>("key"); // 0: a click on Ok; -1: the close box
        QTest::newRow("Ok clicked") << 0;
        QTest::newRow("close box") << -1;
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("a letter does not close it") << int(Qt::Key_A);
    }
    void closing()
    {
        QFETCH(int, key);
        QPointer<frmAcerca> about = new frmAcerca;
        QSignalSpy unloaded(about.data(), &frmAcerca::unloaded);
        QVERIFY(showAndActivate(about));
        auto *ok = about->findChild<QWidget *>(QStringLiteral("cmdOK"));
        QCOMPARE(QApplication::focusWidget(), ok);
        QCloseEvent close; // to the native window, as from the close box
        if (key > 0) // to the window itself: Ok, the default button, would take Enter on its own
            QTest::keyClick(about, Qt::Key(key));
        else if (key == 0)
            QTest::mouseClick(ok, Qt::LeftButton);
        else
            QApplication::sendEvent(about->windowHandle(), &close);
        QTest::qWait(10);
        QCOMPARE(unloaded.count(), key == Qt::Key_A ? 0 : 1);
        QCOMPARE(about.isNull(), key != Qt::Key_A);
        delete about.data();
    }
};

QTEST_MAIN(tst_frmacerca)
#include "tst_frmacerca.moc"
