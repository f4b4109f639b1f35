// The splash: its counted wait, and the hand-over to the main window by
// counting, by a key or by a click on the frame.
#include "startup/frmsplash.h"

#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <QTest>
#include <QTimer>

// Logs every show() of it, also of one already shown.
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

const QStringList byCounting{"main loaded", "splash closed", "main shown"};
const QStringList byUser{"main loaded", "main shown", "splash closed"};
enum Input { Nothing = -1, Click = 0, WindowManagerClose = -2, HeldKeyAndMore = -3 }; // or a key

class tst_frmsplash : public QObject
{
    Q_OBJECT
    QStringList m_log; // the main window's load step and showing, every close of the splash
    QPointer<StandInMain> m_main;
    QPointer<frmSplash> m_splash;
    int m_counterAtClose = -1; // the splash's counter at its last close

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Close) {
            m_log << QStringLiteral("splash closed");
            m_counterAtClose = m_splash->counter();
        }
        return false;
    }
    void clickAt(QPoint pos) // on whatever lies there, as a user's click
    {
        QWidget *target = m_splash->childAt(pos) ? m_splash->childAt(pos) : m_splash.data();
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(m_splash, pos));
    }

private slots:
    void init()
    {
        m_log.clear();
        m_splash = new frmSplash([this]() -> QWidget * { return m_main ? m_main : (m_main = new StandInMain(m_log)); });
        m_splash->installEventFilter(this);
    }
    void cleanup() { delete m_main.data(); delete m_splash.data(); }

    void handOver_data()
    {
        QTest::addColumn<int>("passes"); // the input comes once this many passes are done
        QTest::addColumn<int>("input");
        QTest::addColumn<QPoint>("pos"); // of a click; the frame is (10, 4, 472, 237)
        QTest::addColumn<QStringList>("log");
        QTest::newRow("no input") << 1000 << int(Nothing) << QPoint() << byCounting;
        QTest::newRow("window manager close") << 1000 << int(WindowManagerClose) << QPoint()
                                              << QStringList{"main loaded", "splash closed", "splash closed", "main shown"};
        QTest::newRow("letter") << 1000 << int(Qt::Key_Q) << QPoint() << byUser;
        QTest::newRow("Enter") << 1000 << int(Qt::Key_Return) << QPoint() << byUser;
        QTest::newRow("left arrow") << 1000 << int(Qt::Key_Left) << QPoint() << byCounting;
        QTest::newRow("frame") << 1000 << int(Click) << QPoint(30, 200) << byUser;
        QTest::newRow("banner") << 1000 << int(Click) << QPoint(150, 100) << byCounting;
        QTest::newRow("second picture") << 1000 << int(Click) << QPoint(300, 175) << byCounting;
        QTest::newRow("margin") << 1000 << int(Click) << QPoint(4, 120) << byCounting;
        // Before the main window is made: showing it makes it.
        QTest::newRow("letter in the first pass") << 0 << int(Qt::Key_A) << QPoint() << byUser;
        QTest::newRow("held key and more input") << 0 << int(HeldKeyAndMore) << QPoint() << byUser;
    }
    void handOver()
    {
        QFETCH(int, passes);
        QFETCH(int, input);
        QFETCH(QPoint, pos);
        QFETCH(QStringList, log);
        bool waitingAsDesigned = false, stillShown = false;
        QTimer ticker; // runs the input in the wait loop's event processing
        connect(&ticker, &QTimer::timeout, this, [&] {
            if (!m_splash || m_splash->counter() < passes)
                return;
            ticker.stop();
            // Centred, active by then; the main window made in the first pass, but hidden.
            const QPoint offCentre = m_splash->frameGeometry().center() - m_splash->screen()->geometry().center();
            waitingAsDesigned = (passes == 0 || QApplication::activeWindow() == m_splash)
                                && bool(m_main) == (passes > 0) && !(m_main && m_main->isVisible())
                                && qAbs(offCentre.x()) <= 1 && qAbs(offCentre.y()) <= 1;
            if (input > 0) {
                QTest::keyClick(m_splash, Qt::Key(input));
            } else if (input == Click) {
                clickAt(pos);
            } else if (input == WindowManagerClose) {
                QCloseEvent close; // to the native window
                QApplication::sendEvent(m_splash->windowHandle(), &close);
            } else if (input == HeldKeyAndMore) {
                for (int i = 0; i < 4; ++i) { // a held key and its repeats
                    QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"), i > 0);
                    QApplication::sendEvent(m_splash, &press);
                }
                QTest::keyClick(m_splash, Qt::Key_Return);
                clickAt(QPoint(30, 200));
                QApplication::postEvent(m_splash, new QKeyEvent(QEvent::KeyPress, Qt::Key_B, {}, QStringLiteral("b")));
            }
            stillShown = m_splash && m_splash->isVisible();
        });
        ticker.start(0);
        m_splash->load();
        QTRY_VERIFY(!m_splash); // unloaded, and any input still on its way arrived
        QVERIFY(waitingAsDesigned);
        QCOMPARE(stillShown, log != byUser);
        QCOMPARE(m_log, log);
        // By the user: at once, the loop stops with the handler.
        QCOMPARE(m_counterAtClose, log == byUser ? passes : frmSplash::WaitPasses);
    }
};

QTEST_MAIN(tst_frmsplash)
#include "tst_frmsplash.moc"
