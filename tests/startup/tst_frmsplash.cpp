// The splash: its counted wait, and the hand-over to the main window by
// counting, by a key or by a click on the frame.
#include "startup/frmsplash.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTimer>

namespace {

// One start of the program: a splash over a stand-in main window. The log
// records the main window's load step and every show() of it, and every close
// of the splash (with the counter at that moment).
struct Start : QObject
{
    struct StandInMain : QWidget
    {
        QStringList &log;
        explicit StandInMain(QStringList &l) : log(l) { log << QStringLiteral("main loaded"); }
        void setVisible(bool visible) override
        {
            if (visible)
                log << QStringLiteral("main shown");
            QWidget::setVisible(visible);
        }
    };

    QStringList log;
    QPointer<StandInMain> main;
    QPointer<frmSplash> splash;
    int counterAtClose = -1;
    int asked = 0; // the main window asked for: once a pass, and to show it
    QTimer ticker;

    Start()
    {
        splash = new frmSplash([this]() -> QWidget * {
            ++asked;
            if (!main)
                main = new StandInMain(log);
            return main;
        });
        splash->installEventFilter(this);
    }
    ~Start() override
    {
        delete main.data();
        delete splash.data();
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Close) {
            log << QStringLiteral("splash closed");
            counterAtClose = splash->counter();
        }
        return false;
    }
    // Runs `action` in the wait loop's event processing once `passes` are done
    // (0: in the very first pass, before the main window exists).
    void at(int passes, std::function<void()> action)
    {
        connect(&ticker, &QTimer::timeout, this, [this, passes, action] {
            if (splash && splash->counter() >= passes) {
                ticker.stop();
                action();
            }
        });
        ticker.start(0);
    }
    void clickAt(QPoint pos) // on whatever lies there, as a user's click
    {
        QWidget *target = splash->childAt(pos) ? splash->childAt(pos) : splash.data();
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(splash, pos));
    }
};

const QStringList byCounting{QStringLiteral("main loaded"), QStringLiteral("splash closed"),
                             QStringLiteral("main shown")};
const QStringList byUser{QStringLiteral("main loaded"), QStringLiteral("main shown"),
                         QStringLiteral("splash closed")};

} // namespace

class tst_frmsplash : public QObject
{
    Q_OBJECT
private slots:
    void picturesAtTheirOwnSize()
    {
        Start s;
        QCOMPARE(s.splash->size(), QSize(492, 253));
        for (auto [name, place] : {std::pair{"Image2", QRect(82, 60, 333, 99)},
                                   std::pair{"Image1", QRect(234, 156, 177, 42)}}) {
            auto *picture = s.splash->findChild<QLabel *>(QLatin1String(name));
            QVERIFY2(picture, name);
            QCOMPARE(QRect(picture->mapTo(s.splash, QPoint()), picture->size()), place);
            QCOMPARE(picture->pixmap().size(), place.size());
        }
    }

    void withNoInputHandsOverAfterTheCount()
    {
        Start s;
        bool waitingAsDesigned = false;
        s.at(1000, [&] {
            const QRect screen = s.splash->screen()->geometry();
            waitingAsDesigned = QApplication::activeWindow() == s.splash && s.main && !s.main->isVisible()
                                && qAbs(s.splash->frameGeometry().center().x() - screen.center().x()) <= 1
                                && qAbs(s.splash->frameGeometry().center().y() - screen.center().y()) <= 1;
        });
        s.splash->load();

        QVERIFY(waitingAsDesigned); // centred, active, main window made but hidden
        QCOMPARE(s.log, byCounting);
        QCOMPARE(s.counterAtClose, frmSplash::WaitPasses);
        QCOMPARE(s.asked, frmSplash::WaitPasses + 1);
        QTRY_VERIFY(!s.splash); // unloaded
    }

    void inputDuringTheWait_data()
    {
        QTest::addColumn<int>("key"); // 0: a click at `pos`
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<bool>("handsOver");
        for (auto [name, key] : {std::pair{"letter", Qt::Key_Q}, {"digit", Qt::Key_7}, {"Enter", Qt::Key_Return},
                                 {"keypad Enter", Qt::Key_Enter}, {"Esc", Qt::Key_Escape},
                                 {"space", Qt::Key_Space}, {"Tab", Qt::Key_Tab}})
            QTest::newRow(name) << int(key) << QPoint() << true;
        for (auto [name, key] : {std::pair{"left", Qt::Key_Left}, {"F1", Qt::Key_F1}, {"shift", Qt::Key_Shift}})
            QTest::newRow(name) << int(key) << QPoint() << false;
        // Splash coordinates: the frame is (10, 4, 472, 237).
        QTest::newRow("frame, left") << 0 << QPoint(30, 200) << true;
        QTest::newRow("frame, right") << 0 << QPoint(450, 120) << true;
        QTest::newRow("banner") << 0 << QPoint(150, 100) << false;
        QTest::newRow("second picture") << 0 << QPoint(300, 175) << false;
        QTest::newRow("margin") << 0 << QPoint(4, 120) << false;
    }
    void inputDuringTheWait()
    {
        QFETCH(int, key);
        QFETCH(QPoint, pos);
        QFETCH(bool, handsOver);
        Start s;
        s.at(1000, [&] { key ? QTest::keyClick(s.splash, Qt::Key(key)) : s.clickAt(pos); });
        s.splash->load();

        QCOMPARE(s.log, handsOver ? byUser : byCounting);
        if (handsOver) { // at once: the loop stops with the handler
            QVERIFY(s.counterAtClose >= 1000 && s.counterAtClose < frmSplash::WaitPasses);
            if (s.splash)
                QCOMPARE(s.splash->counter(), s.counterAtClose);
        }
    }

    void keyInTheFirstPassStillShowsAMainWindow()
    {
        Start s;
        s.at(0, [&] { QTest::keyClick(s.splash, Qt::Key_A); });
        s.splash->load();
        QCOMPARE(s.log, byUser); // showing it created it
        QCOMPARE(s.counterAtClose, 0);
    }

    void heldAndRepeatedKeysHandOverOnce()
    {
        Start s;
        s.at(0, [&] {
            for (int i = 0; i < 4; ++i) { // a held key and its repeats
                QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"), i > 0);
                QApplication::sendEvent(s.splash, &press);
            }
            QTest::keyClick(s.splash, Qt::Key_Return);
            s.clickAt(QPoint(30, 200));
            QApplication::postEvent(s.splash, new QKeyEvent(QEvent::KeyPress, Qt::Key_B, {}, QStringLiteral("b")));
        });
        s.splash->load();
        QTest::qWait(20); // let the posted key arrive, wherever it goes
        QCOMPARE(s.log, byUser);
    }

    void windowSystemCannotCloseTheWaitingSplash()
    {
        Start s;
        bool stillVisible = false;
        s.at(1000, [&] {
            QCloseEvent close; // to the native window, as a window manager's close
            QApplication::sendEvent(s.splash->windowHandle(), &close);
            stillVisible = s.splash && s.splash->isVisible();
        });
        s.splash->load();
        QVERIFY(stillVisible);
        QCOMPARE(s.log, QStringList({QStringLiteral("main loaded"), QStringLiteral("splash closed"),
                                     QStringLiteral("splash closed"), QStringLiteral("main shown")}));
        QCOMPARE(s.counterAtClose, frmSplash::WaitPasses);
    }
};

QTEST_MAIN(tst_frmsplash)
#include "tst_frmsplash.moc"
