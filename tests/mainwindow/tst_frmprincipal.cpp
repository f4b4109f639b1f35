// The main window: its contents, activation, launch actions, hover texts,
// cover tabs, Exit and the secondary windows it opens.
#include "mainwindow/coverloader.h"
#include "mainwindow/frmprincipal.h"
#include "mainwindow/launchactions.h"
#include "platform/application.h"
#include "platform/launcher.h"
#include "platform/twips.h"
#include "widgets/tabstrip.h"
#include "windows/playerloader.h"
#include "slowpictures.h"
#include "testsupport.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QImageReader>
#include <QLibraryInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QStatusBar>
#include <QTest>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QThreadPool>
#include <QToolBar>
#include <QToolTip>

#include <sys/stat.h>

using namespace testsupport;
using platform::twips;
using platform::twipsRect;

namespace {

QByteArray jpeg(int w, int h, QColor colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return bytes;
}

// What a label shows and a screen reader reads out.
QString shownText(QLabel *label)
{
    return QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name);
}

struct Started
{
    QString commandLine;
    int style;
};

} // namespace

class tst_frmprincipal : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempAppFolder> folder;
    QPointer<frmprincipal> window;
    QList<Started> started;
    bool startSucceeds = true;
    int ended = 0;

    frmprincipal *openWindow()
    {
        window = new frmprincipal;
        if (!showAndActivate(window))
            qWarning("main window did not activate");
        return window;
    }

    // Brings the main window back through a secondary window, as the viewer
    // would: open About, close it.
    void reactivate()
    {
        window->findChild<QAction *>(QStringLiteral("acerca"))->trigger();
        QTRY_VERIFY(QApplication::activeWindow() && QApplication::activeWindow() != window);
        QWidget *about = QApplication::activeWindow();
        QVERIFY(!window->isVisible());
        about->close();
        QTRY_VERIFY(window->isVisible() && window->isActiveWindow());
    }

    QLabel *child(const char *name) { return window->findChild<QLabel *>(QLatin1String(name)); }

    // The covers are decoded away from the window's thread: waits until both
    // show their picture or note.
    bool coversLoaded()
    {
        return QTest::qWaitFor([this] {
            return !child("piccapa_0")->property("loading").toBool() && !child("piccapa_1")->property("loading").toBool();
        });
    }

    // The program's visible window named `name` other than the main window.
    static QWidget *shownForm(const QString &name)
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == name && w->isVisible())
                return w;
        return nullptr;
    }

    void moveOver(QWidget *widget, QPoint at)
    {
        QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }

private slots:
    void initTestCase()
    {
        // The player is opened as the program opens it: from its module.
        playerloader::setModuleFile(QStringLiteral(TREVLIN_PLAYER_MODULE));
    }

    void init()
    {
        folder = std::make_unique<TempAppFolder>();
        started.clear();
        startSucceeds = true;
        ended = 0;
        platform::setProgramStarter([this](const QString &line, platform::WindowStyle style) {
            started.append({line, int(style)});
            return startSucceeds ? platform::StartResult{true, {}}
                                 : platform::StartResult{false, QStringLiteral("No such file or directory")};
        });
        platform::setEndProgramHandler([this] { ++ended; });
    }

    void cleanup()
    {
        delete window.data();
        platform::setProgramStarter({});
        platform::setEndProgramHandler({});
        folder.reset();
    }

    void fixedWindowWithToolbarAndShortcuts()
    {
        openWindow();
        QCOMPARE(window->centralWidget()->size(), platform::twipsSize(7200, 7470));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(window->windowFlags() & Qt::WindowMinimizeButtonHint);

        // Five buttons between four separators report indexes 1 to 9, and
        // every button fits inside the "Options" frame.
        auto *toolbar = window->findChild<QToolBar *>(QStringLiteral("Toolbar1"));
        const QList<QAction *> actions = toolbar->actions();
        QCOMPARE(actions.size(), 9);
        for (int i = 0; i < 9; ++i) {
            QCOMPARE(actions[i]->property("index").toInt(), i + 1);
            QCOMPARE(actions[i]->isSeparator(), i % 2 == 1);
            if (QWidget *button = toolbar->widgetForAction(actions[i]); !actions[i]->isSeparator())
                QVERIFY(toolbar->parentWidget()->rect().contains(button->geometry().translated(toolbar->pos())));
        }
        QCOMPARE(actions[8]->toolTip(), QStringLiteral("Register Ac3 filters (Sometimes necessary)"));

        const QStringList shortcuts{"verfilme=Ctrl+V", "instcodec=Ctrl+I", "instmdvdp=Ctrl+M", "inswmp=Ctrl+Z",
                                    "regfilter=Ctrl+R", "sair=Ctrl+S", "playerint=Ctrl+L", "param=Ctrl+D",
                                    "opdicas=F1", "acerca=Ctrl+A"};
        for (const QString &entry : shortcuts) {
            const QStringList parts = entry.split(QLatin1Char('='));
            auto *action = window->findChild<QAction *>(parts[0]);
            QVERIFY2(action, qPrintable(parts[0]));
            QCOMPARE(action->shortcut(), QKeySequence(parts[1]));
        }
        QCOMPARE(window->findChild<QMenu *>(QStringLiteral("extras"))->actions().size(), 7);
    }

    void activationShowsTitleAndCovers()
    {
        folder->writeFile(QStringLiteral("front.jpg"), jpeg(100, 140, Qt::red));
        folder->writeFile(QStringLiteral("back.jpg"), jpeg(100, 140, Qt::blue));
        folder->writeIni("[main]\r\nTitle=My Movie\r\n[path]\r\nfrontcover=" + folder->filePath("front.jpg").toUtf8()
                         + "\r\nbackcover=" + folder->filePath("back.jpg").toUtf8() + "\r\n");
        openWindow();
        QVERIFY(coversLoaded());
        QCOMPARE(child("Lbltitulo_0")->text(), QStringLiteral("My Movie"));
        QCOMPARE(child("Lbltitulo_1")->text(), QStringLiteral("My Movie"));
        for (const char *name : {"Lbltitulo_0", "Lbltitulo_1"}) {
            QCOMPARE(child(name)->font().pointSizeF(), 16.0);
            QVERIFY(child(name)->font().bold());
            QVERIFY(child(name)->font().italic());
        }
        QVERIFY(child("piccapa_0")->pixmap().toImage().pixelColor(50, 70).red() > 200);
        QVERIFY(child("piccapa_1")->pixmap().toImage().pixelColor(50, 70).blue() > 200);
        // Before any tab click "Front" is selected and the front cover on top.
        auto *tabs = window->findChild<widgets::TabStrip *>(QStringLiteral("Tabcapas1"));
        QCOMPARE(tabs->selectedTab(), 1);
        QCOMPARE(tabs->tabBar()->tabText(1), QStringLiteral("Back"));
        QCOMPARE(child("piccapa_0")->parentWidget()->children().indexOf(child("piccapa_0"))
                     > child("piccapa_1")->parentWidget()->children().indexOf(child("piccapa_1")),
                 true);

        // The next activation reads the file again: a new title, an empty one.
        folder->writeIni("[Main]\r\ntitle=Second\r\n");
        reactivate();
        QVERIFY(coversLoaded());
        QCOMPARE(child("Lbltitulo_0")->text(), QStringLiteral("Second"));
        QCOMPARE(child("Lbltitulo_1")->text(), QStringLiteral("Second"));
        QVERIFY(child("piccapa_0")->pixmap().isNull());
        QVERIFY(child("piccapa_0")->text().isEmpty()); // an empty path: no picture, no note
        folder->writeIni("");
        reactivate();
        QCOMPARE(child("Lbltitulo_1")->text(), QString());
        // Shown as written, never taken for markup.
        folder->writeIni("[main]\r\ntitle=Tom &amp; Jerry <i>II</i>\r\n");
        reactivate();
        QCOMPARE(shownText(child("Lbltitulo_0")), QStringLiteral("Tom &amp; Jerry <i>II</i>"));
        QCOMPARE(shownText(child("Lbltitulo_1")), QStringLiteral("Tom &amp; Jerry <i>II</i>"));
    }

    // A cover: its picture, or a note naming the file and why it cannot be
    // shown. Nothing the disc holds there may hold the window or stop the
    // activation.
    void coverIsShownOrNotedInItsPlace_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("why"); // empty: the picture is shown
        QTest::newRow("picture") << "good.jpg" << "";
        QTest::newRow("missing, markup in the name") << "<b>missing</b>.jpg" << "the file does not exist";
        QTest::newRow("folder") << "folder" << "a folder";
        QTest::newRow("named pipe") << "pipe.jpg" << "a named pipe, not an ordinary file";
        QTest::newRow("picture over the reader's limit") << "big.png" << "too large: 1200 x 1200 pixels";
        QTest::newRow("file too large") << "huge.bmp" << "too large (100.0 MiB; at most 64.0 MiB can be used)";
        QTest::newRow("not a picture (the reader's reason)") << "broken.jpg" << "unsupported image format";
    }

    void coverIsShownOrNotedInItsPlace()
    {
        QFETCH(QString, stored);
        QFETCH(QString, why);
        // A 1200 x 1200 picture stands in for a 30000 x 30000 one.
        const auto restore = qScopeGuard([limit = QImageReader::allocationLimit()] { QImageReader::setAllocationLimit(limit); });
        QImageReader::setAllocationLimit(4);
        QImage big(1200, 1200, QImage::Format_RGB32);
        big.fill(Qt::white);
        QVERIFY(big.save(folder->filePath(QStringLiteral("big.png"))));
        folder->writeFile(QStringLiteral("good.jpg"), jpeg(100, 140, Qt::red));
        QVERIFY(QDir(folder->path()).mkdir(QStringLiteral("folder")));
        QVERIFY(::mkfifo(QFile::encodeName(folder->filePath(QStringLiteral("pipe.jpg"))).constData(), 0600) == 0);
        QFile huge(folder->filePath(QStringLiteral("huge.bmp")));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(100LL * 1024 * 1024)); // sparse: no disc used
        huge.close();
        folder->writeFile(QStringLiteral("broken.jpg"), "this is no picture");
        const QString path = folder->filePath(stored);
        folder->writeIni("[path]\r\nfrontcover=" + path.toUtf8() + "\r\nbackcover=" + path.toUtf8()
                         + "\r\n[main]\r\ntitle=Still here\r\n[settings]\r\nblockset=yes\r\n");
        openWindow();
        QVERIFY(coversLoaded());
        for (QLabel *cover : {child("piccapa_0"), child("piccapa_1")}) {
            QCOMPARE(cover->pixmap().isNull(), !why.isEmpty());
            QCOMPARE(why.isEmpty() ? cover->text() : shownText(cover),
                     why.isEmpty() ? QString() : QStringLiteral("Cannot show\n%1\n(%2)").arg(path, why));
        }
        // The steps after the covers still ran, and no box came up.
        QCOMPARE(child("Lbltitulo_0")->text(), QStringLiteral("Still here"));
        QVERIFY(!window->findChild<QAction *>(QStringLiteral("param"))->isEnabled());
        QVERIFY(!QApplication::activeModalWidget());
    }

    // A picture that takes the decoder minutes (a progressive JPEG with one
    // scan repeated thousands of times) neither holds the window nor stays
    // loading for ever: the window is shown and answers at once, the other
    // cover comes, the cover's place says it is loading, and after the time
    // limit it says the decode was given up; the decoder stops too.
    void aSlowCoverNeitherHoldsTheWindowNorLoadsForEver()
    {
        const auto restore = qScopeGuard([limit = CoverLoader::timeLimit()] { CoverLoader::setTimeLimit(limit); });
        CoverLoader::setTimeLimit(std::chrono::milliseconds(4000));
        const QByteArray slow = slowpictures::progressiveJpegWithRepeatedScan(2000, 2000, 20000);
        QVERIFY2(!slow.isEmpty(), "the progressive JPEG has no AC scan to repeat");
        folder->writeFile(QStringLiteral("slow.jpg"), slow);
        folder->writeFile(QStringLiteral("back.jpg"), jpeg(100, 140, Qt::blue));
        const QString path = folder->filePath(QStringLiteral("slow.jpg"));
        folder->writeIni("[main]\r\ntitle=Slow cover\r\n[path]\r\nfrontcover=" + path.toUtf8()
                         + "\r\nbackcover=" + folder->filePath("back.jpg").toUtf8() + "\r\n");
        openWindow();
        QVERIFY(window->isActiveWindow());
        QCOMPARE(child("Lbltitulo_0")->text(), QStringLiteral("Slow cover"));
        QLabel *front = child("piccapa_0");
        QTRY_VERIFY(!child("piccapa_1")->pixmap().isNull());
        QTRY_COMPARE(shownText(front), QStringLiteral("Loading\n%1").arg(path));
        // The window answers: a key switches the covers while the front one decodes.
        auto *tabs = window->findChild<widgets::TabStrip *>(QStringLiteral("Tabcapas1"));
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
        QCOMPARE(child("piccapa_1")->x(), twips(240));
        QVERIFY2(front->property("loading").toBool(), "the slow picture was no longer loading when the window answered");
        QTRY_COMPARE_WITH_TIMEOUT(shownText(front),
                                  QStringLiteral("Cannot show\n%1\n(its decoding took longer than 4 seconds and was given up)")
                                      .arg(path), 15000);
        QVERIFY(front->pixmap().isNull());
        QVERIFY2(QThreadPool::globalInstance()->waitForDone(5000), "the decoder went on after it was given up");
    }

    void settingsLockIsComparedExactly()
    {
        openWindow();
        QAction *param = window->findChild<QAction *>(QStringLiteral("param"));
        QVERIFY(param->isEnabled());
        // Each value, read at the next activation, and the state it leaves.
        const QList<QPair<QByteArray, bool>> steps{
            {"blockset=Yes", true}, {"blockset=\" yes\"", true}, {"blockset=yes", false},
            {"blockset=YES", false}, {"", false},       {"blockset=", false},
            {"blockset=no", true},   {"blockset=yes", false}, {"blockset=No", false},
        };
        for (const auto &step : steps) {
            folder->writeIni("[settings]\r\n" + step.first + "\r\n");
            reactivate();
            QVERIFY2(param->isEnabled() == step.second, step.first.constData());
        }
    }

    void launchActionsBuildTheirCommandLines()
    {
        folder->writeIni("[path]\r\nmicrodvdexe=D:\\player\\player.exe\r\nmovie=D:\\movie.avi\r\nsubtitles=\r\n"
                         "codecs=setup codecs.exe\r\nMicroDvd=mdvd.exe /q\r\nmediaplayer=wmp.exe\r\n"
                         "pathfilter=D:\\filters\\\r\n");
        openWindow();
        auto startedLines = [this] {
            QStringList lines;
            for (const Started &s : std::as_const(started))
                lines << QString::number(s.style) + QLatin1Char(' ') + s.commandLine;
            started.clear();
            return lines;
        };
        const QString view = QStringLiteral("2 D:\\player\\player.exe /quickini /v:D:\\movie.avi /s:");
        const QStringList installs{"1 setup codecs.exe", "1 mdvd.exe /q", "1 wmp.exe",
                                   "2 D:\\filters\\regsvr32 /s iviaudio.ax", "2 D:\\filters\\regsvr32 /s mpgaudio.ax"};
        for (const char *entry : {"instcodec", "instmdvdp", "inswmp", "regfilter"})
            window->findChild<QAction *>(QLatin1String(entry))->trigger();
        QCOMPARE(startedLines(), installs);
        QCOMPARE(ended, 0);
        window->findChild<QAction *>(QStringLiteral("verfilme"))->trigger();
        QCOMPARE(startedLines(), QStringList{view});
        QCOMPARE(ended, 1);

        // The toolbar runs the same steps, dispatching on the index alone.
        for (int index = 0; index <= 12; ++index)
            window->Toolbar1_ButtonClick(index);
        QCOMPARE(startedLines(), QStringList{view} + installs);
        auto *toolbar = window->findChild<QToolBar *>(QStringLiteral("Toolbar1"));
        QTest::mouseClick(toolbar->widgetForAction(toolbar->actions()[2]), Qt::LeftButton);
        QCOMPARE(startedLines(), QStringList{installs[0]});
        QCOMPARE(launch::firstFilterCommand({}), QStringLiteral("regsvr32 /s iviaudio.ax"));
    }

    void aFailedStartIsReportedAndTheMenuStays()
    {
        folder->writeIni("[path]\r\nmicrodvdexe=/nowhere/player\r\nmovie=m.avi\r\nsubtitles=s.srt\r\n");
        openWindow();
        startSucceeds = false;
        {
            BoxAnswerer answer(QStringLiteral("OK"));
            window->findChild<QAction *>(QStringLiteral("verfilme"))->trigger();
            QCOMPARE(answer.count(), 1);
            QVERIFY(answer.seen()[0].text.contains(QStringLiteral("/nowhere/player /quickini /v:m.avi /s:s.srt")));
            QVERIFY(answer.seen()[0].text.contains(QStringLiteral("No such file or directory")));
        }
        QCOMPARE(ended, 0);
        QVERIFY(window->isVisible());
        {
            // The first registration failing skips the second.
            BoxAnswerer answer(QStringLiteral("OK"));
            started.clear();
            window->findChild<QAction *>(QStringLiteral("regfilter"))->trigger();
            QCOMPARE(started.size(), 1);
            QCOMPARE(answer.count(), 1);
        }
    }

    // The real starter: each box names the settings entry to fix and what is
    // wrong with it, nothing is started and the menu stays.
    void failedStartsNameTheEntryAndWhatIsWrong()
    {
        platform::setProgramStarter({});
        const struct {
            const char *entry;
            QByteArray ini;
            QStringList shows;
        } cases[] = {
            {"instcodec", "codecs=",
             {"Settings entry: path/codecs\nCommand line: (empty)", "The entry path/codecs is empty: no program is set."}},
            // Without a player the line would start with "/quickini".
            {"verfilme", "movie=m.avi\r\nsubtitles=s.srt",
             {"Settings entry: path/microdvdexe\nCommand line:  /quickini /v:m.avi /s:s.srt",
              "The entry path/microdvdexe is empty"}},
            {"inswmp", "mediaplayer=wmp-setup /s",
             {"Settings entry: path/mediaplayer\nCommand line: wmp-setup /s",
              "No program \"wmp-setup\" was found in the disc folder (" + folder->path() + ") or the folders of PATH"}},
            // A command line longer than what is read is not started cut.
            {"instcodec", "codecs=\"./installers/" + QByteArray(250, 'x') + " setup\" /q",
             {"Settings entry: path/codecs\n", "The entry path/codecs is longer than 254 characters"}},
            {"verfilme", "microdvdexe=/bin/true\r\nmovie=" + QByteArray(255, 'm') + "\r\nsubtitles=s.srt",
             {"Settings entry: path/microdvdexe\n", "The entry path/movie is longer than 254 characters"}},
            {"regfilter", "pathfilter='/" + QByteArray(254, 'f') + "'",
             {"The entry path/pathfilter is longer than 254 characters"}},
            // Exactly 254 is read whole, and tried.
            {"inswmp", "mediaplayer=  \"/nowhere/" + QByteArray(245, 'w') + "\"  ",
             {"/nowhere/" + QByteArray(245, 'w') + "\" does not exist."}},
            {"regfilter", "pathfilter=/nowhere/",
             {"Settings entry: path/pathfilter (put in front of regsvr32)\nCommand line: /nowhere/regsvr32 /s iviaudio.ax",
              "\"/nowhere/regsvr32\" does not exist."}},
        };
        // Offered when the window came up; emptied behind its back, an entry
        // still gives the box when its action runs.
        folder->writeIni("[path]\r\nmicrodvdexe=p\r\ncodecs=c\r\nmicrodvd=d\r\nmediaplayer=m\r\n");
        openWindow();
        for (const auto &c : cases) {
            folder->writeIni("[path]\r\n" + c.ini + "\r\n");
            BoxAnswerer answer(QStringLiteral("OK"));
            window->findChild<QAction *>(QLatin1String(c.entry))->trigger();
            QCOMPARE(answer.count(), 1);
            QCOMPARE(answer.seen()[0].icon, int(QMessageBox::Warning));
            for (const QString &shown : c.shows)
                QVERIFY2(answer.seen()[0].text.contains(shown), qPrintable(answer.seen()[0].text));
        }
        QCOMPARE(ended, 0);
        QVERIFY(window->isVisible());
    }

    // An action whose entry is empty is not offered, in the menu or on the
    // toolbar; each activation looks again. Register Ac3 filters always is.
    void actionsWhoseEntryIsEmptyAreNotOffered()
    {
        openWindow();
        auto *toolbar = window->findChild<QToolBar *>(QStringLiteral("Toolbar1"));
        const QStringList menuEntries{"verfilme", "instcodec", "instmdvdp", "inswmp", "regfilter"};
        const auto offered = [&] {
            QString menu, buttons;
            for (int i = 0; i < 5; ++i) {
                menu += window->findChild<QAction *>(menuEntries[i])->isEnabled() ? '1' : '0';
                buttons += toolbar->widgetForAction(toolbar->actions()[2 * i])->isEnabled() ? '1' : '0';
            }
            return menu == buttons ? menu : menu + " in the menu, " + buttons + " on the toolbar";
        };
        QCOMPARE(offered(), QStringLiteral("00001")); // no settings file
        const struct { QByteArray path; const char *offered; } steps[] = {
            {"microdvdexe=player/play-movie", "10001"},
            {"microdvdexe=p\r\ncodecs=c\r\nMicroDVD=d\r\nMediaplayer=m\r\npathfilter=", "11111"},
            {"codecs=\"  \"\r\nmicrodvd=\r\nmediaplayer= setup.exe ", "00011"},
            {"", "00001"},
        };
        for (const auto &step : steps) {
            folder->writeIni("[path]\r\n" + step.path + "\r\n");
            reactivate();
            QVERIFY2(offered() == QLatin1String(step.offered), qPrintable(step.path + ": " + offered()));
        }

        // Not offered means nothing starts, by shortcut or click; the button
        // still names itself on hover.
        QWidget *codecs = toolbar->widgetForAction(toolbar->actions()[2]);
        window->activateWindow();
        QTRY_VERIFY(window->isActiveWindow());
        QTest::keyClick(window->windowHandle(), Qt::Key_I, Qt::ControlModifier);
        QTest::mouseClick(codecs, Qt::LeftButton);
        QVERIFY(started.isEmpty());
        QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), codecs->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(codecs, &hover);
        QCOMPARE(QToolTip::text(), QStringLiteral("Install the required DivX Codecs"));
        moveOver(window->centralWidget(), QPoint(2, 2));
        QTest::mouseMove(codecs, QPoint(5, 5));
        QCOMPARE(window->statusText(), QStringLiteral("Program Options"));
    }

    // A folder without a settings file is a new disc: the status bar says
    // so until Settings has made the file.
    void aFolderWithoutSettingsSaysSettingsMakesOne()
    {
        openWindow();
        auto *note = window->findChild<QLabel *>(QStringLiteral("Status1_nosettings"));
        QVERIFY(note && note->isVisible());
        QCOMPARE(note->text(), QStringLiteral("No trevlin.INI here yet: Settings makes one"));
        QVERIFY(window->statusBar()->rect().contains(note->geometry())); // whole, beside the hover text
        moveOver(window->centralWidget(), QPoint(2, 2));
        QCOMPARE(window->statusText(), QStringLiteral("Trevlin"));
        QVERIFY(note->isVisible());

        window->findChild<QAction *>(QStringLiteral("param"))->trigger();
        QWidget *dialog = nullptr;
        QTRY_VERIFY((dialog = QApplication::activeWindow()) && dialog != window);
        dialog->findChild<QLineEdit *>(QStringLiteral("Txttitulo"))->setText(QStringLiteral("A New Disc"));
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Cmdaplicar")), Qt::LeftButton);
        QTRY_VERIFY(window->isVisible() && window->isActiveWindow());
        QCOMPARE(child("Lbltitulo_0")->text(), QStringLiteral("A New Disc"));
        QVERIFY(!note->isVisible());
    }

    void statusBarNamesTheAreaUnderTheMouse()
    {
        openWindow();
        auto *surface = window->centralWidget();
        auto *framcapa = window->findChild<QGroupBox *>(QStringLiteral("Framcapa"));
        auto *framtit = window->findChild<QGroupBox *>(QStringLiteral("Framtit"));
        auto *toolbar = window->findChild<QToolBar *>(QStringLiteral("Toolbar1"));

        moveOver(framcapa, QPoint(3, framcapa->height() - 3));
        QCOMPARE(window->statusText(), QStringLiteral("Movie Covers"));
        moveOver(surface, QPoint(2, surface->height() - 2));
        QCOMPARE(window->statusText(), QStringLiteral("Trevlin"));
        moveOver(framtit, QPoint(3, framtit->height() - 3));
        QCOMPARE(window->statusText(), QStringLiteral("Movie Tiltle"));
        QTest::mouseClick(child("Lbltitulo_0"), Qt::LeftButton);
        QCOMPARE(window->statusText(), QStringLiteral("Movie Title"));
        moveOver(framtit, QPoint(3, framtit->height() - 3));
        QCOMPARE(window->statusText(), QStringLiteral("Movie Tiltle"));
        moveOver(toolbar->widgetForAction(toolbar->actions()[4]), QPoint(5, 5));
        QCOMPARE(window->statusText(), QStringLiteral("Program Options"));
        // From the window straight onto a separator, the way the mouse goes.
        moveOver(surface, QPoint(2, surface->height() - 2));
        QWidget *separator = toolbar->widgetForAction(toolbar->actions()[3]);
        QTest::mouseMove(separator, separator->rect().center());
        QCOMPARE(window->statusText(), QStringLiteral("Program Options"));

        // Over a cover, inside its frame: the frame's own surface is not under
        // the mouse, so the text stays.
        moveOver(framcapa, child("piccapa_0")->geometry().center());
        QCOMPARE(window->statusText(), QStringLiteral("Program Options"));
        moveOver(surface, window->findChild<QWidget *>(QStringLiteral("Frame1"))->geometry().center());
        QCOMPARE(window->statusText(), QStringLiteral("Program Options"));
    }

    void coverTabsShowOneCoverAndActivationLeavesIt()
    {
        openWindow();
        auto *tabs = window->findChild<widgets::TabStrip *>(QStringLiteral("Tabcapas1"));
        QTabBar *bar = tabs->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
        QCOMPARE(child("piccapa_1")->x(), twips(240));
        QVERIFY(child("piccapa_1")->isEnabled());
        QCOMPARE(child("piccapa_0")->x(), twips(-20000));
        QVERIFY(!child("piccapa_0")->isEnabled());
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
        QCOMPARE(child("piccapa_1")->x(), twips(240));
        QCOMPARE(child("piccapa_0")->x(), twips(-20000));

        reactivate();
        QCOMPARE(child("piccapa_1")->x(), twips(240));
        QCOMPARE(child("piccapa_0")->x(), twips(-20000));

        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
        QCOMPARE(child("piccapa_0")->x(), twips(240));
        QCOMPARE(child("piccapa_1")->x(), twips(-20000));
    }

    void exitAsksAndOnlyYesEnds()
    {
        openWindow();
        const QString status = window->statusText();
        {
            BoxAnswerer answer(QStringLiteral("No"));
            window->findChild<QAction *>(QStringLiteral("sair"))->trigger();
            QCOMPARE(answer.count(), 1);
            const SeenBox &box = answer.seen()[0];
            QCOMPARE(box.text, QStringLiteral("Do you really want to quit?"));
            QCOMPARE(box.caption, QStringLiteral("Trevlin"));
            QCOMPARE(box.icon, int(QMessageBox::Question));
            QCOMPARE(box.defaultButton, QStringLiteral("Yes"));
        }
        QCOMPARE(ended, 0);
        QVERIFY(window->isVisible());
        QCOMPARE(window->statusText(), status);
        {
            BoxAnswerer answer(QStringLiteral("Yes"));
            window->activateWindow(); // offscreen gives no window the focus back by itself
            QTRY_VERIFY(window->isActiveWindow());
            QTest::keyClick(window->windowHandle(), Qt::Key_S, Qt::ControlModifier);
            QCOMPARE(answer.count(), 1);
        }
        QCOMPARE(ended, 1);
    }

    void valuesAppliedInSettingsShowWithoutARestart()
    {
        folder->writeFile(QStringLiteral("new.jpg"), jpeg(60, 80, Qt::green));
        folder->writeIni("[Main]\r\ntitle=Old title\r\n");
        openWindow();
        QCOMPARE(child("Lbltitulo_0")->text(), QStringLiteral("Old title"));
        window->findChild<QAction *>(QStringLiteral("param"))->trigger();
        QWidget *dialog = nullptr;
        QTRY_VERIFY((dialog = QApplication::activeWindow()) && dialog != window);
        dialog->findChild<QLineEdit *>(QStringLiteral("Txttitulo"))->setText(QStringLiteral("New title"));
        dialog->findChild<QLineEdit *>(QStringLiteral("Txtcapa"))->setText(folder->filePath(QStringLiteral("new.jpg")));
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Cmdaplicar")), Qt::LeftButton);
        QTRY_VERIFY(window->isVisible() && window->isActiveWindow());
        QCOMPARE(child("Lbltitulo_0")->text(), QStringLiteral("New title"));
        QCOMPARE(child("Lbltitulo_1")->text(), QStringLiteral("New title"));
        QVERIFY(coversLoaded());
        QVERIFY(!child("piccapa_0")->pixmap().isNull());
    }

    void secondaryWindowsHideTheMenuAndBringItBack_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("form");
        QTest::newRow("About") << "acerca" << "frmAcerca";
        QTest::newRow("Hints and Tips") << "opdicas" << "frmopdicas";
        QTest::newRow("Settings") << "param" << "Frmparametros";
        QTest::newRow("Internal Player") << "playerint" << "Frmplayer";
    }

    void secondaryWindowsHideTheMenuAndBringItBack()
    {
        QFETCH(QString, entry);
        QFETCH(QString, form);
        openWindow();
        window->move(0, 0);
        window->findChild<QAction *>(entry)->trigger();
        QVERIFY(!window->isVisible());
        QWidget *opened = shownForm(form);
        QVERIFY(opened);
        if (entry == QLatin1String("playerint")) // the module's player, not a window saying why there is none
            QCOMPARE(opened->findChild<QWidget *>(QStringLiteral("MediaPlayer1"))->metaObject()->className(), "MediaPlayer");
        QVERIFY(!opened->parentWidget());
        QVERIFY(!opened->isModal());
        QTRY_VERIFY(opened->isActiveWindow());
        QPointer<QWidget> gone(opened);
        opened->close();
        QTRY_VERIFY(gone.isNull());
        QTRY_VERIFY(window->isVisible());
        QTRY_VERIFY(window->isActiveWindow());
        // Activated again: centred again after the move.
        const QRect screen = window->screen()->geometry();
        QVERIFY(qAbs(window->frameGeometry().center().x() - screen.center().x()) <= 1);
    }

    void playerWindowSaysWhyItsModuleCannotBeLoaded_data()
    {
        QTest::addColumn<QString>("module"); // what lies where the module is looked for
        QTest::addColumn<QString>("line");   // <file>: the module's path; without a full stop, the start only
        const QString opening = QStringLiteral("Cannot open the internal player: ");
        const QString cannotLoad = opening + QStringLiteral("its module \"<file>\" cannot be loaded: ");
        QTest::newRow("missing") << "missing" << opening + "its module trevlin-player.so is not in \"<folder>\".";
        QTest::newRow("a folder") << "folder" << opening + "its module \"<file>\" cannot be used: it is a folder.";
        QTest::newRow("a named pipe") << "pipe"
                                      << opening + "its module \"<file>\" cannot be used: it is a named pipe, not an ordinary file.";
        QTest::newRow("empty") << "empty" << cannotLoad + "it is not";
        QTest::newRow("not a library") << "garbage" << cannotLoad + "it is not";
        QTest::newRow("a library, not a plugin") << "library" << cannotLoad + "it is not";
        QTest::newRow("another Qt plugin") << "jpeg plugin" << opening + "its module \"<file>\" is a Qt plugin, but not the player.";
        QTest::newRow("a library it needs is missing")
            << "needs absent" << cannotLoad + "libgstreamer-absent-1.0.so.0: cannot open shared object file: No such file or directory.";
        QTest::newRow("from another build") << "other build" << cannotLoad + "undefined symbol: platform::serviceOfAnotherBuild().";
    }

    void playerWindowSaysWhyItsModuleCannotBeLoaded()
    {
        QFETCH(QString, module);
        QFETCH(QString, line);
        QDir(folder->path()).mkpath(QStringLiteral("modules"));
        const QString file = folder->filePath(QStringLiteral("modules/trevlin-player.so"));
        const QString qtLibraries = QLibraryInfo::path(QLibraryInfo::LibrariesPath);
        if (module == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(file));
        } else if (module == QLatin1String("pipe")) {
            QVERIFY(::mkfifo(QFile::encodeName(file).constData(), 0600) == 0);
        } else if (module == QLatin1String("empty") || module == QLatin1String("garbage")) {
            folder->writeFile(QStringLiteral("modules/trevlin-player.so"),
                              module == QLatin1String("empty") ? QByteArray() : QByteArray("\x7f" "ELF, or so it says").repeated(100));
        } else if (module == QLatin1String("library")) {
            QVERIFY2(QFile::copy(qtLibraries + QStringLiteral("/libQt6Core.so.6"), file), qPrintable(qtLibraries));
        } else if (module == QLatin1String("jpeg plugin")) {
            QVERIFY(QFile::copy(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/imageformats/libqjpeg.so"), file));
        } else if (module == QLatin1String("needs absent")) {
            const QString patchelf = QStandardPaths::findExecutable(QStringLiteral("patchelf"));
            QVERIFY2(!patchelf.isEmpty(), "patchelf (Debian package patchelf) is needed to make a module whose library is missing");
            QVERIFY(QFile::copy(QStringLiteral(TREVLIN_PLAYER_MODULE), file));
            QCOMPARE(QProcess::execute(patchelf, {QStringLiteral("--add-needed"), QStringLiteral("libgstreamer-absent-1.0.so.0"), file}), 0);
        } else if (module == QLatin1String("other build")) {
            QVERIFY(QFile::copy(QStringLiteral(TREVLIN_OTHER_PLAYER_MODULE), file));
        }
        line.replace(QLatin1String("<file>"), file).replace(QLatin1String("<folder>"), folder->filePath(QStringLiteral("modules")));
        playerloader::setModuleFile(file);
        const auto restore = qScopeGuard([] { playerloader::setModuleFile(QStringLiteral(TREVLIN_PLAYER_MODULE)); });

        BoxAnswerer boxes;
        openWindow();
        for (int round = 0; round < 2; ++round) { // each opening tries again, and says so again
            window->findChild<QAction *>(QStringLiteral("playerint"))->trigger();
            QVERIFY(!window->isVisible());
            QWidget *player = shownForm(QStringLiteral("Frmplayer"));
            QVERIFY(player && !player->parentWidget() && !player->isModal());
            QTRY_VERIFY(player->isActiveWindow());
            // It looks like the player window saying why it cannot play.
            QCOMPARE(player->windowTitle(), QStringLiteral("Trevlin"));
            QCOMPARE(player->findChild<QLabel *>(QStringLiteral("Label1"))->text(), QStringLiteral(" Internal Player"));
            auto *shown = player->findChild<QLabel *>(QStringLiteral("message"));
            QVERIFY(shown && shown->isVisible());
            if (!line.endsWith(QLatin1Char('.')))
                QVERIFY2(shown->text().startsWith(line) && shown->text().endsWith(QLatin1Char('.')), qPrintable(shown->text()));
            else
                QCOMPARE(shown->text(), line);
            QVERIFY(!player->findChild<QPushButton *>(QStringLiteral("Cmdfsceen"))->isEnabled());
            // Closing it brings the menu back, activated; the program goes on.
            QPointer<QWidget> gone(player);
            player->close();
            QTRY_VERIFY(gone.isNull());
            QTRY_VERIFY(window->isVisible() && window->isActiveWindow());
        }
        QCOMPARE(boxes.count(), 0);
        QCOMPARE(ended, 0);
    }
};

QTEST_MAIN(tst_frmprincipal)
#include "tst_frmprincipal.moc"
