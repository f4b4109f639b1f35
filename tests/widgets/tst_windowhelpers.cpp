// Centring, the flat border, the message box service and the tab strip.
#include "platform/twips.h"
#include "widgets/centring.h"
#include "widgets/modulemsgbox.h"
#include "widgets/mofficeborder.h"
#include "widgets/tabstrip.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <limits>

using namespace testsupport;

class tst_windowhelpers : public QObject
{
    Q_OBJECT
private slots:
    void centredEdgeFollowsTheRule()
    {
        // A 1024 x 768 screen and a window of outer size 7470 x 6240 twips.
        QCOMPARE(widgets::centredEdge(15360, 7470), 3945.0f);
        QCOMPARE(widgets::centredEdge(11520, 6240), 2640.0f);
        // Larger than the screen: negative, not clamped; not rounded.
        QCOMPARE(widgets::centredEdge(1000, 3001), -1000.5f);
        QVERIFY_THROWS_EXCEPTION(widgets::CentringFault,
                                 widgets::centredEdge(std::numeric_limits<float>::max(),
                                                      -std::numeric_limits<float>::max()));
        QVERIFY_THROWS_EXCEPTION(widgets::CentringFault,
                                 widgets::centredEdge(std::numeric_limits<float>::quiet_NaN(), 1));
    }

    void centreWindowPlacesTheOuterFrameInTheMiddle()
    {
        QWidget window;
        window.resize(platform::twipsSize(7470, 6240));
        window.show();
        window.move(3, 5);
        widgets::centreWindow(&window);
        const QRect screen = window.screen()->geometry();
        const QRect frame = window.frameGeometry();
        QVERIFY(qAbs(frame.center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(frame.center().y() - screen.center().y()) <= 1);

        // A window larger than the screen sits partly off screen.
        window.resize(screen.width() + 200, 50);
        widgets::centreWindow(&window);
        QCOMPARE(window.frameGeometry().x(), screen.x() - 100 - (window.frameGeometry().width() - window.width()) / 2);
    }

    void flatBorderIsIdempotentAndSafe()
    {
        QWidget window;
        auto *edit = new QLineEdit(&window);
        edit->resize(100, 20);
        window.show();
        Mofficeborder::ApplyFlatBorder(edit);
        QVERIFY(Mofficeborder::hasFlatBorder(edit));
        const int children = edit->children().size();
        Mofficeborder::ApplyFlatBorder(edit);
        QCOMPARE(edit->children().size(), children);

        // The edge follows the control's size and lets clicks through.
        edit->resize(150, 30);
        auto *edge = edit->findChild<QWidget *>(QStringLiteral("flatBorderEdge"));
        QVERIFY(edge);
        QCOMPARE(edge->geometry(), edit->rect());
        QVERIFY(edge->testAttribute(Qt::WA_TransparentForMouseEvents));

        Mofficeborder::ApplyFlatBorder(nullptr);
        QPointer<QWidget> gone(new QPushButton);
        delete gone.data();
        Mofficeborder::ApplyFlatBorder(gone);
    }

    void messageBoxAnswersWithTheWindowsNumbers()
    {
        QWidget owner;
        {
            BoxAnswerer answer(QStringLiteral("Yes"));
            QCOMPARE(ModuleMSGbox::MessageBox(&owner, QStringLiteral("Do you really want to quit?"),
                                              QStringLiteral("Trevlin"), 0x24),
                     6);
            QCOMPARE(answer.count(), 1);
            const SeenBox &box = answer.seen().first();
            QCOMPARE(box.caption, QStringLiteral("Trevlin"));
            QCOMPARE(box.text, QStringLiteral("Do you really want to quit?"));
            QCOMPARE(box.icon, int(QMessageBox::Question));
            QCOMPARE(box.defaultButton, QStringLiteral("Yes"));
            QCOMPARE(box.buttons.size(), 2);
        }
        {
            BoxAnswerer answer(QStringLiteral("No"));
            QCOMPARE(ModuleMSGbox::MessageBox(&owner, QStringLiteral("q"), QStringLiteral("c"), 0x24), 7);
        }
        {
            BoxAnswerer answer(QStringLiteral("OK"));
            QCOMPARE(ModuleMSGbox::MessageBox(&owner, QStringLiteral("q"), QStringLiteral("c"), 0), 1);
            QCOMPARE(answer.seen().first().icon, int(QMessageBox::NoIcon));
        }
    }

    void tabStripReportsPositionsFromOneAndClicksAfterTheChange()
    {
        QWidget window;
        widgets::TabStrip strip(&window);
        strip.resize(300, 200);
        QSignalSpy clicks(&strip, &widgets::TabStrip::tabClick);
        strip.attachImageList({{QIcon(), QIcon()}});
        strip.addTab(QStringLiteral("Options"), 0, true, QStringLiteral("options"), 1000);
        strip.addTab(QStringLiteral("Hints"), 1, true, QStringLiteral("hints"), 2000);
        strip.addTab(QStringLiteral("Faq"), 5, true, QStringLiteral("faq"), 3000); // no such icon: none shown
        QCOMPARE(clicks.count(), 0); // adding tabs is no click
        QCOMPARE(strip.tabCount(), 3);
        QCOMPARE(strip.selectedTab(), 1);
        QCOMPARE(strip.tabBar()->tabText(2), QStringLiteral("Faq"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QTabBar *bar = strip.tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks.last().first().toInt(), 3); // the selection had already changed
        QCOMPARE(strip.selectedTab(), 3);

        // The tab already selected still raises the event.
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
        QCOMPARE(clicks.count(), 2);

        // The keyboard moves the selection and says so, so a page never lags.
        bar->setFocus();
        QTest::keyClick(bar, Qt::Key_Left);
        QCOMPARE(strip.selectedTab(), 2);
        QCOMPARE(clicks.count(), 3);
        QCOMPARE(clicks.last().first().toInt(), 2);
    }

    void switchPagesMovesAndDisablesTheOthers()
    {
        QWidget window;
        widgets::TabStrip strip(&window);
        QList<QWidget *> pages;
        for (int i = 0; i < 3; ++i) {
            strip.addTab(QString::number(i), 0, true, QString::number(i), 1000 * (i + 1));
            auto *page = new QWidget(&window);
            page->setGeometry(platform::twipsRect(120, 1200, 7335, 4575));
            pages << page;
        }
        strip.tabBar()->setCurrentIndex(2);
        widgets::switchPages(&strip, pages, 120);
        QCOMPARE(pages[2]->x(), platform::twips(120));
        QVERIFY(pages[2]->isEnabled());
        for (int i : {0, 1}) {
            QCOMPARE(pages[i]->x(), platform::twips(-20000));
            QVERIFY(!pages[i]->isEnabled());
            QCOMPARE(pages[i]->y(), platform::twips(1200));
        }
        // Again with the same tab: nothing changes.
        widgets::switchPages(&strip, pages, 120);
        QCOMPARE(pages[2]->x(), platform::twips(120));
        QCOMPARE(pages[0]->x(), platform::twips(-20000));
    }
};

QTEST_MAIN(tst_windowhelpers)
#include "tst_windowhelpers.moc"
