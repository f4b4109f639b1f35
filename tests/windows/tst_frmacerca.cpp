// The About window: what its activation shows, and that every way of closing
// it unloads it (which brings the main window back).
#include "windows/frmacerca.h"
#include "platform/forms.h"
#include "startup/frmsplash.h"
#include "testsupport.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace testsupport;

namespace {

QLabel *label(QWidget *window, const char *name)
{
    return window->findChild<QLabel *>(QLatin1String(name));
}

} // namespace

class tst_frmacerca : public QObject
{
    Q_OBJECT
private slots:
    void picturesAtTheirOwnSizeAndShared()
    {
        frmAcerca about;
        QCOMPARE(about.size(), QSize(375, 338));
        for (auto [name, place] : {std::pair{"Image1", QRect(24, 16, 333, 99)}, {"Image2", QRect(176, 104, 177, 42)},
                                   {"Imglogo", QRect(8, 240, 183, 95)}, {"Image3", QRect(184, 256, 98, 71)}}) {
            QVERIFY2(label(&about, name), name);
            QCOMPARE(label(&about, name)->geometry(), place);
            QCOMPARE(label(&about, name)->pixmap().size(), place.size());
        }
        // The banner and the second picture are the splash's two.
        frmSplash splash([] { return nullptr; });
        QCOMPARE(label(&about, "Image1")->pixmap().toImage(), label(&splash, "Image2")->pixmap().toImage());
        QCOMPARE(label(&about, "Image2")->pixmap().toImage(), label(&splash, "Image1")->pixmap().toImage());
    }

    void versionLineKeepsAllThreeNumbers()
    {
        QCOMPARE(frmAcerca::versionLine(2, 1, 0), QStringLiteral("Version 2.1.0"));
        QCOMPARE(frmAcerca::versionLine(10, 0, 15), QStringLiteral("Version 10.0.15"));
    }

    void everyActivationFillsCaptionTitleAndVersion()
    {
        QWidget other; // another of the program's forms
        platform::registerForm(&other, {});
        frmAcerca about;
        for (int round = 0; round < 2; ++round) {
            QVERIFY(showAndActivate(&about));
            QCOMPARE(about.windowTitle(), QStringLiteral("About Trevlin"));
            QCOMPARE(label(&about, "lblTitle")->text(), QStringLiteral("Trevlin"));
            QCOMPARE(label(&about, "lblVersion")->text(), QStringLiteral("Version " TREVLIN_VERSION_TEXT));
            const QRect screen = about.screen()->geometry();
            QVERIFY(qAbs(about.frameGeometry().center().x() - screen.center().x()) <= 1);
            QVERIFY(qAbs(about.frameGeometry().center().y() - screen.center().y()) <= 1);

            // Spoil what activation sets; the next activation puts it right.
            about.setWindowTitle(QStringLiteral("spoilt"));
            label(&about, "lblTitle")->clear();
            label(&about, "lblVersion")->clear();
            about.move(0, 0);
            QVERIFY(showAndActivate(&other));
        }
    }

    void closing_data()
    {
        QTest::addColumn<int>("key"); // 0: a click on Ok; -1: the close box
        QTest::addColumn<bool>("closes");
        QTest::newRow("Ok clicked") << 0 << true;
        QTest::newRow("close box") << -1 << true;
        QTest::newRow("Enter") << int(Qt::Key_Return) << true;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << true;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << true;
        QTest::newRow("space on Ok") << int(Qt::Key_Space) << true;
        QTest::newRow("letter") << int(Qt::Key_A) << false;
        QTest::newRow("F1") << int(Qt::Key_F1) << false;
    }
    void closing()
    {
        QFETCH(int, key);
        QFETCH(bool, closes);
        QPointer<frmAcerca> about = new frmAcerca;
        QSignalSpy unloaded(about.data(), &frmAcerca::unloaded);
        QVERIFY(showAndActivate(about));
        auto *ok = about->findChild<QPushButton *>(QStringLiteral("cmdOK"));
        QCOMPARE(QApplication::focusWidget(), ok); // keys go where the user's go

        if (key > 0) {
            QTest::keyClick(ok, Qt::Key(key));
        } else if (key == 0) {
            QTest::mouseClick(ok, Qt::LeftButton);
        } else {
            QCloseEvent close; // to the native window, as from the close box
            QApplication::sendEvent(about->windowHandle(), &close);
        }

        QTest::qWait(10);
        QCOMPARE(about.isNull(), closes);
        QCOMPARE(unloaded.count(), closes ? 1 : 0);
        delete about.data();
    }
};

QTEST_MAIN(tst_frmacerca)
#include "tst_frmacerca.moc"
