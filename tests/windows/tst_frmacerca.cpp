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

QString labelText(QWidget *window, const char *name)
{
    auto *label = window->findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

} // namespace

class tst_frmacerca : public QObject
{
    Q_OBJECT
private slots:
    void windowHasItsDesign()
    {
        frmAcerca about;
        QCOMPARE(about.size(), QSize(375, 338));
        QCOMPARE(about.windowType(), Qt::Tool);
        QVERIFY(!(about.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(about.palette().color(QPalette::Window), QColor(Qt::black));
        QCOMPARE(about.palette().color(QPalette::WindowText), QColor(Qt::white));
        QCOMPARE(labelText(&about, "lblDisclaimer"), QString());
        QVERIFY(labelText(&about, "lblDescription").startsWith(QLatin1String("Developed By")));

        // Every picture unscaled at its place.
        const struct { const char *name; QRect place; } pictures[] = {
            {"Image1", QRect(24, 16, 333, 99)}, {"Image2", QRect(176, 104, 177, 42)},
            {"Imglogo", QRect(8, 240, 183, 95)}, {"Image3", QRect(184, 256, 98, 71)}};
        for (const auto &expected : pictures) {
            auto *picture = about.findChild<QLabel *>(QLatin1String(expected.name));
            QVERIFY2(picture, expected.name);
            QCOMPARE(picture->geometry(), expected.place);
            QCOMPARE(picture->pixmap().size(), expected.place.size());
        }
        // The banner and the second picture are the splash's two.
        frmSplash splash([] { return nullptr; });
        for (auto [mine, splashs] : {std::pair{"Image1", "Image2"}, std::pair{"Image2", "Image1"}}) {
            QCOMPARE(about.findChild<QLabel *>(QLatin1String(mine))->pixmap().toImage(),
                     splash.findChild<QLabel *>(QLatin1String(splashs))->pixmap().toImage());
        }
    }

    void versionLineShowsAllThreeNumbers_data()
    {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("revision");
        QTest::addColumn<QString>("line");
        QTest::newRow("this program") << 2 << 1 << 0 << "Version 2.1.0";
        QTest::newRow("zeros kept") << 3 << 0 << 0 << "Version 3.0.0";
        QTest::newRow("no padding") << 10 << 2 << 15 << "Version 10.2.15";
    }
    void versionLineShowsAllThreeNumbers()
    {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, revision);
        QFETCH(QString, line);
        QCOMPARE(frmAcerca::versionLine(major, minor, revision), line);
    }

    void everyActivationFillsCaptionTitleAndVersion()
    {
        QWidget other; // another of the program's forms
        platform::registerForm(&other, {});
        QPointer<frmAcerca> about = new frmAcerca;

        for (int round = 0; round < 2; ++round) {
            QVERIFY(showAndActivate(about));
            QCOMPARE(about->windowTitle(), QStringLiteral("About Trevlin"));
            QCOMPARE(labelText(about, "lblTitle"), QStringLiteral("Trevlin"));
            QCOMPARE(labelText(about, "lblVersion"), QStringLiteral("Version " TREVLIN_VERSION_TEXT));
            const QRect screen = about->screen()->geometry();
            QVERIFY(qAbs(about->frameGeometry().center().x() - screen.center().x()) <= 1);
            QVERIFY(qAbs(about->frameGeometry().center().y() - screen.center().y()) <= 1);

            // Spoil what activation sets; the next activation puts it right.
            about->setWindowTitle(QStringLiteral("spoilt"));
            about->findChild<QLabel *>(QStringLiteral("lblTitle"))->clear();
            about->findChild<QLabel *>(QStringLiteral("lblVersion"))->clear();
            about->move(0, 0);
            QVERIFY(showAndActivate(&other));
        }
        delete about.data();
    }

    void everyWayOfClosingUnloads_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Ok clicked") << "click";
        QTest::newRow("Enter") << "enter";
        QTest::newRow("keypad Enter") << "keypad enter";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("space on Ok") << "space";
        QTest::newRow("close box") << "close box";
    }
    void everyWayOfClosingUnloads()
    {
        QFETCH(QString, how);
        QPointer<frmAcerca> about = new frmAcerca;
        QSignalSpy unloaded(about.data(), &frmAcerca::unloaded);
        QVERIFY(showAndActivate(about));
        auto *ok = about->findChild<QPushButton *>(QStringLiteral("cmdOK"));
        QVERIFY(ok);
        QCOMPARE(QApplication::focusWidget(), ok); // keys go where the user's go

        if (how == QLatin1String("click")) {
            QTest::mouseClick(ok, Qt::LeftButton);
        } else if (how == QLatin1String("enter")) {
            QTest::keyClick(ok, Qt::Key_Return);
        } else if (how == QLatin1String("keypad enter")) {
            QTest::keyClick(ok, Qt::Key_Enter, Qt::KeypadModifier);
        } else if (how == QLatin1String("escape")) {
            QTest::keyClick(ok, Qt::Key_Escape);
        } else if (how == QLatin1String("space")) {
            QTest::keyClick(ok, Qt::Key_Space);
        } else {
            QCloseEvent close; // to the native window, as from the close box
            QApplication::sendEvent(about->windowHandle(), &close);
        }

        QTRY_VERIFY(!about);
        QCOMPARE(unloaded.count(), 1);
    }

    void otherKeysLeaveItOpen()
    {
        frmAcerca about;
        QVERIFY(showAndActivate(&about));
        QSignalSpy unloaded(&about, &frmAcerca::unloaded);
        for (Qt::Key key : {Qt::Key_A, Qt::Key_F1, Qt::Key_Left})
            QTest::keyClick(QApplication::focusWidget(), key);
        QVERIFY(about.isVisible());
        QCOMPARE(unloaded.count(), 0);
    }
};

QTEST_MAIN(tst_frmacerca)
#include "tst_frmacerca.moc"
