// The splash: its counted wait, and the hand-over to the main window by
// counting, by a key or by a click on the frame.
#include "startup/frmsplash.h"
#include "platform/twips.h"
#include "testsupport.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTimer>

namespace {

// Stands in for the main window: its creation is its load step, and every
// show() is written to the log.
class StandInMain : public QWidget
{
public:
    explicit StandInMain(QStringList &log) : m_log(log) { m_log << QStringLiteral("main loaded"); }
    void setVisible(bool visible) override
    {
        if (visible)
            m_log << QStringLiteral("main shown");
        QWidget::setVisible(visible);
    }

private:
    QStringList &m_log;
};

// Writes each close of the splash to the log, with the counter at that moment.
class CloseWatch : public QObject
{
public:
    CloseWatch(frmSplash *splash, QStringList &log) : m_splash(splash), m_log(log)
    {
        splash->installEventFilter(this);
    }
    int counterAtClose = -1;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Close) {
            m_log << QStringLiteral("splash closed");
            counterAtClose = m_splash->counter();
        }
        return false;
    }

private:
    frmSplash *m_splash;
    QStringList &m_log;
};

// One start of the program: a splash wired to a stand-in main window.
struct Start
{
    QStringList log;
    QPointer<StandInMain> main;
    QPointer<frmSplash> splash;
    std::unique_ptr<CloseWatch> watch;
    std::function<void()> duringMainLoad; // runs inside the main window's load step
    QTimer ticker;

    Start()
    {
        splash = new frmSplash([this]() -> QWidget * {
            if (!main) {
                main = new StandInMain(log);
                if (duringMainLoad)
                    duringMainLoad();
            }
            return main;
        });
        watch = std::make_unique<CloseWatch>(splash, log);
    }
    ~Start()
    {
        delete main.data();
        delete splash.data();
    }

    // Runs `action` from the event processing of the wait loop once the
    // counter has reached `passes`.
    void at(int passes, std::function<void()> action)
    {
        ticker.setInterval(0);
        QObject::connect(&ticker, &QTimer::timeout, [this, passes, action] {
            if (splash && splash->counter() >= passes) {
                ticker.stop();
                action();
            }
        });
        ticker.start();
    }
    // Runs `action` from the event processing of the very first pass, before
    // the main window exists.
    void inFirstPass(std::function<void()> action) { QTimer::singleShot(0, splash, action); }

    int loads() const { return int(log.count(QStringLiteral("main loaded"))); }
};

const QStringList handedOverByCounting{QStringLiteral("main loaded"), QStringLiteral("splash closed"),
                                       QStringLiteral("main shown")};
const QStringList handedOverByUser{QStringLiteral("main loaded"), QStringLiteral("main shown"),
                                   QStringLiteral("splash closed")};

// A click where the user would click: on whatever lies at `pos` in the splash.
void clickAt(frmSplash *splash, QPoint pos)
{
    QWidget *target = splash->childAt(pos);
    if (!target)
        target = splash;
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(splash, pos));
}

} // namespace

class tst_frmsplash : public QObject
{
    Q_OBJECT
private slots:
    void windowHasItsDesign()
    {
        Start s;
        QCOMPARE(s.splash->size(), QSize(492, 253));
        QVERIFY(s.splash->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(s.splash->windowType(), Qt::Tool); // kept out of the task bar
        QVERIFY(s.splash->testAttribute(Qt::WA_DeleteOnClose));

        auto *frame = s.splash->findChild<QFrame *>(QStringLiteral("Frame1"));
        QVERIFY(frame);
        QCOMPARE(frame->geometry(), QRect(10, 4, 472, 237));
        // Both pictures at their own size and place, inside the frame.
        const struct { const char *name; QRect place; } pictures[] = {
            {"Image2", QRect(72, 56, 333, 99)}, {"Image1", QRect(224, 152, 177, 42)}};
        for (const auto &expected : pictures) {
            auto *picture = frame->findChild<QLabel *>(QLatin1String(expected.name));
            QVERIFY2(picture, expected.name);
            QCOMPARE(picture->geometry(), expected.place);
            QCOMPARE(picture->pixmap().size(), expected.place.size());
        }
        auto *timer = frame->findChild<QTimer *>(QStringLiteral("Timer1"));
        QVERIFY(timer);
        QCOMPARE(timer->interval(), 0);
        QCOMPARE(s.splash->counter(), 0);
    }

    void withNoInputHandsOverAfterTheCount()
    {
        Start s;
        bool shownAndCentredDuringLoad = false;
        s.duringMainLoad = [&] {
            const QRect screen = s.splash->screen()->geometry();
            const QPoint centre = s.splash->frameGeometry().center();
            shownAndCentredDuringLoad = s.splash->isVisible() && s.splash->counter() == 0
                                        && qAbs(centre.x() - screen.center().x()) <= 1
                                        && qAbs(centre.y() - screen.center().y()) <= 1;
        };
        bool splashActiveMidWait = false;
        bool mainHiddenMidWait = false;
        s.at(1000, [&] {
            splashActiveMidWait = QApplication::activeWindow() == s.splash;
            mainHiddenMidWait = s.main && !s.main->isVisible();
        });

        s.splash->load();

        QCOMPARE(s.log, handedOverByCounting);
        QVERIFY(shownAndCentredDuringLoad);
        QVERIFY(splashActiveMidWait);
        QVERIFY(mainHiddenMidWait);
        QCOMPARE(s.watch->counterAtClose, frmSplash::WaitPasses);
        QVERIFY(s.main->isVisible());
        QTRY_VERIFY(!s.splash); // unloaded
    }

    void characterKeyHandsOverAtOnce_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("letter") << int(Qt::Key_Q);
        QTest::newRow("digit") << int(Qt::Key_7);
        QTest::newRow("enter") << int(Qt::Key_Return);
        QTest::newRow("keypad enter") << int(Qt::Key_Enter);
        QTest::newRow("escape") << int(Qt::Key_Escape);
        QTest::newRow("space") << int(Qt::Key_Space);
        QTest::newRow("tab") << int(Qt::Key_Tab);
    }
    void characterKeyHandsOverAtOnce()
    {
        QFETCH(int, key);
        Start s;
        s.at(1000, [&] { QTest::keyClick(s.splash, Qt::Key(key)); });
        s.splash->load();

        QCOMPARE(s.log, handedOverByUser);
        QVERIFY(s.watch->counterAtClose >= 1000);
        QVERIFY(s.watch->counterAtClose < frmSplash::WaitPasses);
        // The loop stops with the handler: the counter stays where it was.
        if (s.splash)
            QCOMPARE(s.splash->counter(), s.watch->counterAtClose);
        QVERIFY(s.main->isVisible());
        QTRY_VERIFY(!s.splash);
    }

    void keyInTheFirstPassStillShowsAMainWindow()
    {
        Start s;
        s.inFirstPass([&] { QTest::keyClick(s.splash, Qt::Key_A); });
        s.splash->load();

        // Showing the main window created it, once; the loop never got to it.
        QCOMPARE(s.log, handedOverByUser);
        QCOMPARE(s.watch->counterAtClose, 0);
        QVERIFY(s.main->isVisible());
    }

    void keysWithoutCharacterDoNothing_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("left") << int(Qt::Key_Left);
        QTest::newRow("down") << int(Qt::Key_Down);
        QTest::newRow("F1") << int(Qt::Key_F1);
        QTest::newRow("F10") << int(Qt::Key_F10);
        QTest::newRow("shift") << int(Qt::Key_Shift);
    }
    void keysWithoutCharacterDoNothing()
    {
        QFETCH(int, key);
        Start s;
        s.inFirstPass([&] { QTest::keyClick(s.splash, Qt::Key(key)); });
        s.at(1000, [&] { QTest::keyClick(s.splash, Qt::Key(key)); });
        s.splash->load();

        QCOMPARE(s.log, handedOverByCounting);
        QCOMPARE(s.watch->counterAtClose, frmSplash::WaitPasses);
    }

    void clicks_data()
    {
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<bool>("handsOver");
        // Splash coordinates: the frame is (10, 4, 472, 237); the banner lies at
        // (82, 60) and the second picture at (234, 156) within the splash.
        QTest::newRow("frame, left of the pictures") << QPoint(30, 200) << true;
        QTest::newRow("frame, right of the pictures") << QPoint(450, 120) << true;
        QTest::newRow("banner") << QPoint(150, 100) << false;
        QTest::newRow("second picture") << QPoint(300, 175) << false;
        QTest::newRow("left margin") << QPoint(4, 120) << false;
        QTest::newRow("bottom margin") << QPoint(200, 250) << false;
    }
    void clicks()
    {
        QFETCH(QPoint, pos);
        QFETCH(bool, handsOver);
        Start s;
        s.at(1000, [&] { clickAt(s.splash, pos); });
        s.splash->load();

        QCOMPARE(s.log, handsOver ? handedOverByUser : handedOverByCounting);
        QCOMPARE(s.watch->counterAtClose < frmSplash::WaitPasses, handsOver);
    }

    void heldAndRepeatedKeysHandOverOnce()
    {
        Start s;
        s.inFirstPass([&] {
            // A held key (its repeats), then more keys, all in one batch of events.
            for (int i = 0; i < 4; ++i) {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"), i > 0);
                QApplication::sendEvent(s.splash, &press);
            }
            QTest::keyClick(s.splash, Qt::Key_Return);
            clickAt(s.splash, QPoint(30, 200));
            for (Qt::Key key : {Qt::Key_B, Qt::Key_Escape})
                QApplication::postEvent(s.splash, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier,
                                                                  QString(QChar(key == Qt::Key_B ? 'b' : 27))));
        });
        s.splash->load();
        QTest::qWait(20); // let the posted keys arrive, wherever they go

        QCOMPARE(s.log, handedOverByUser);
        QCOMPARE(s.loads(), 1);
    }

    void windowSystemCannotCloseTheWaitingSplash()
    {
        Start s;
        bool stillVisible = false;
        s.at(1000, [&] {
            QCloseEvent close; // to the native window, as a window manager's close request
            QApplication::sendEvent(s.splash->windowHandle(), &close);
            stillVisible = s.splash && s.splash->isVisible();
        });
        s.splash->load();

        QVERIFY(stillVisible);
        // The refused close request, then the normal end of the wait.
        QCOMPARE(s.log, QStringList({QStringLiteral("main loaded"), QStringLiteral("splash closed"),
                                     QStringLiteral("splash closed"), QStringLiteral("main shown")}));
        QCOMPARE(s.watch->counterAtClose, frmSplash::WaitPasses);
    }
};

QTEST_MAIN(tst_frmsplash)
#include "tst_frmsplash.moc"
