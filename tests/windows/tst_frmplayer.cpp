// The internal player window: what it hands the player, full screen, closing,
// what a bad movie shows, and real playback of a short clip.

#include "windows/frmplayer.h"
#include "windows/mediaplayer.h"

#include "democlip.h"
#include "platform/application.h"
#include "platform/forms.h"
#include "platform/twips.h"
#include "startup/mofficeborder.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QAudioOutput>
#include <QMenu>
#include <QTemporaryDir>
#include <QDir>
#include <QLabel>
#include <QMediaPlayer>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <QVideoWidget>

using namespace testsupport;

namespace {

QByteArray iniWithMovie(const QString &movie)
{
    return "[Path]\r\nmovie=" + movie.toUtf8() + "\r\nsubtitles=movie.srt\r\n";
}

// Activates `form` again the way the program can: another form first.
void reactivate(QWidget *form)
{
    QWidget other;
    platform::registerForm(&other, {});
    QVERIFY(showAndActivate(&other));
    QVERIFY(showAndActivate(form));
}

} // namespace

class tst_Frmplayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void design();
    void handsTheMovieOverAsStored_data();
    void handsTheMovieOverAsStored();
    void readsTheMovieAgainOnEachActivation();
    void fullscreenTwiceChangesNothingMore();
    void leavesFullScreen_data();
    void leavesFullScreen();
    void badMovieShowsALineInThePlayer_data();
    void badMovieShowsALineInThePlayer();
    void playsForReal();

private:
    // The window as the main window opens it, with a stand-in main window
    // that comes back when the player goes.
    Frmplayer *open();

    TempAppFolder *m_folder = nullptr;
    QWidget m_main;
    QList<QPointer<Frmplayer>> m_opened;
    QTemporaryDir m_clipDir;
    QString m_clip;
    QString m_savedCurrent;
    int m_ended = 0;
};

void tst_Frmplayer::initTestCase()
{
    platform::setEndProgramHandler([this] { ++m_ended; });
    const QString clip = m_clipDir.filePath(QStringLiteral("demo.avi"));
    if (democlip::make(clip))
        m_clip = clip;
    else
        qWarning("gst-launch-1.0 with avenc_mpeg4 and lamemp3enc is not available: no real clip");
}

void tst_Frmplayer::init()
{
    m_folder = new TempAppFolder;
    m_savedCurrent = QDir::currentPath();
    QDir::setCurrent(m_folder->path());
    m_main.hide();
    m_ended = 0;
}

void tst_Frmplayer::cleanup()
{
    qDeleteAll(m_opened); // those still open
    m_opened.clear();
    QDir::setCurrent(m_savedCurrent);
    delete m_folder;
    m_folder = nullptr;
}

Frmplayer *tst_Frmplayer::open()
{
    auto *form = new Frmplayer;
    connect(form, &Frmplayer::unloaded, &m_main, &QWidget::show);
    m_opened << form;
    return form;
}

void tst_Frmplayer::design()
{
    m_folder->writeIni(iniWithMovie(QString()));
    Frmplayer *form = open();
    QVERIFY(showAndActivate(form));

    QCOMPARE(form->windowTitle(), QStringLiteral("Trevlin"));
    QCOMPARE(form->size(), platform::twipsSize(7470, 6240));
    QCOMPARE(form->minimumSize(), form->maximumSize());
    const Qt::WindowFlags flags = form->windowFlags();
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowCloseButtonHint);

    auto *heading = form->findChild<QLabel *>(QStringLiteral("Label1"));
    QVERIFY(heading);
    QCOMPARE(heading->text(), QStringLiteral(" Internal Player"));
    QCOMPARE(heading->geometry(), platform::twipsRect(120, 120, 7215, 375));
    auto *player = form->findChild<MediaPlayer *>(QStringLiteral("MediaPlayer1"));
    QVERIFY(player);
    QCOMPARE(player->geometry(), platform::twipsRect(120, 720, 7215, 4815));
    auto *button = form->findChild<QPushButton *>(QStringLiteral("Cmdfsceen"));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("Fullscreen"));
    QCOMPARE(button->geometry(), platform::twipsRect(5400, 5760, 1935, 375));
    QVERIFY(Mofficeborder::hasFlatBorder(button));

    // The player's stored settings, as the user meets them.
    QCOMPARE(player->displaySize(), MediaPlayer::OwnSize);
    QCOMPARE(player->mediaPlayer()->loops(), 1);
    QCOMPARE(player->mediaPlayer()->playbackRate(), 1.0);
    QCOMPARE(player->mediaPlayer()->audioOutput()->volume(), 1.0f);
    for (const char *name : {"play", "pause", "stop", "position", "volume"})
        QVERIFY2(player->findChild<QWidget *>(QLatin1String(name))->isVisible(), name);
}

void tst_Frmplayer::handsTheMovieOverAsStored_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("file"); // made below the working folder
    QTest::newRow("bare name") << "movie.avi" << "movie.avi";
    QTest::newRow("relative path") << "clips/demo movie.avi" << "clips/demo movie.avi";
    QTest::newRow("dot path") << "./clips/../movie.avi" << "movie.avi";
}

void tst_Frmplayer::handsTheMovieOverAsStored()
{
    QFETCH(QString, stored);
    QFETCH(QString, file);
    // The settings file lives elsewhere: a relative name means the working
    // folder, never the program's folder.
    QTemporaryDir work;
    QDir(work.path()).mkpath(QStringLiteral("clips"));
    QVERIFY(m_clip.isEmpty() ? QFile(work.filePath(file)).open(QIODevice::WriteOnly)
                             : QFile::copy(m_clip, work.filePath(file)));
    QDir::setCurrent(work.path());
    m_folder->writeIni(iniWithMovie(stored));

    Frmplayer *form = open();
    QVERIFY(showAndActivate(form));
    MediaPlayer *player = form->player();
    QCOMPARE(player->fileName(), stored);
    QCOMPARE(player->mediaPlayer()->source(), QUrl::fromLocalFile(QDir::cleanPath(work.path() + QLatin1Char('/') + stored)));
}

void tst_Frmplayer::readsTheMovieAgainOnEachActivation()
{
    m_folder->writeFile(QStringLiteral("one.avi"), "x");
    m_folder->writeFile(QStringLiteral("two.avi"), "x");
    m_folder->writeIni(iniWithMovie(QStringLiteral("one.avi")));
    Frmplayer *form = open();
    QVERIFY(showAndActivate(form));
    QCOMPARE(form->player()->fileName(), QStringLiteral("one.avi"));

    m_folder->writeIni(iniWithMovie(QStringLiteral("two.avi")));
    QSignalSpy sources(form->player()->mediaPlayer(), &QMediaPlayer::sourceChanged);
    reactivate(form);
    QCOMPARE(form->player()->fileName(), QStringLiteral("two.avi"));
    QVERIFY(!sources.isEmpty());
    QCOMPARE(sources.last().at(0).toUrl(), QUrl::fromLocalFile(m_folder->filePath(QStringLiteral("two.avi"))));
}

void tst_Frmplayer::fullscreenTwiceChangesNothingMore()
{
    m_folder->writeIni(iniWithMovie(QString()));
    Frmplayer *form = open();
    QVERIFY(showAndActivate(form));
    MediaPlayer *player = form->player();
    QSignalSpy sizes(player, &MediaPlayer::displaySizeChanged);
    auto *button = form->findChild<QPushButton *>(QStringLiteral("Cmdfsceen"));

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(player->displaySize(), MediaPlayer::FullScreen);
    QVERIFY(player->videoWidget()->isFullScreen());
    const QRect fullScreen = player->videoWidget()->geometry();
    button->click();
    QCOMPARE(player->displaySize(), MediaPlayer::FullScreen);
    QVERIFY(player->videoWidget()->isFullScreen());
    QCOMPARE(player->videoWidget()->geometry(), fullScreen);
    QCOMPARE(sizes.count(), 1);
}

void tst_Frmplayer::leavesFullScreen_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Esc") << "esc";
    QTest::newRow("double click") << "double click";
    QTest::newRow("context menu") << "menu";
    QTest::newRow("close the picture") << "close";
}

void tst_Frmplayer::leavesFullScreen()
{
    QFETCH(QString, how);
    m_folder->writeIni(iniWithMovie(m_clip));
    Frmplayer *form = open();
    QVERIFY(showAndActivate(form));
    MediaPlayer *player = form->player();
    QVideoWidget *video = player->videoWidget();
    form->findChild<QPushButton *>(QStringLiteral("Cmdfsceen"))->click();
    QVERIFY(video->isFullScreen());

    if (how == QLatin1String("esc"))
        QTest::keyClick(video, Qt::Key_Escape);
    else if (how == QLatin1String("double click"))
        QTest::mouseDClick(video, Qt::LeftButton);
    else if (how == QLatin1String("menu"))
        player->findChild<QAction *>(QStringLiteral("menuOwnSize"))->trigger();
    else
        video->close();

    QVERIFY(waitFor([&] { return !video->isFullScreen(); }));
    QCOMPARE(player->displaySize(), MediaPlayer::OwnSize);
    QVERIFY(!video->isWindow());
    QCOMPARE(video->isVisibleTo(player), player->message().isEmpty());
    // Back inside the player area, above its controls.
    const QRect area = video->parentWidget()->rect();
    QVERIFY(area.contains(video->geometry()));
    QVERIFY(video->parentWidget()->geometry().bottom() < player->findChild<QSlider *>(QStringLiteral("position"))->mapTo(player, QPoint()).y());
}

void tst_Frmplayer::badMovieShowsALineInThePlayer_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("expected"); // parts of the line shown
    QTest::newRow("empty") << QString() << QStringList{"No movie to play", "empty"};
    QTest::newRow("missing") << "nothere.avi" << QStringList{"\"nothere.avi\"", "does not exist", "looked for in"};
    QTest::newRow("folder") << "clips" << QStringList{"\"clips\"", "folder"};
    QTest::newRow("not a movie") << "notes.avi" << QStringList{"Cannot play \"notes.avi\": "};
}

void tst_Frmplayer::badMovieShowsALineInThePlayer()
{
    QFETCH(QString, stored);
    QFETCH(QStringList, expected);
    QDir(m_folder->path()).mkpath(QStringLiteral("clips"));
    m_folder->writeFile(QStringLiteral("notes.avi"), QByteArray("These are not the frames you are looking for.\n").repeated(200));
    m_folder->writeIni(iniWithMovie(stored));

    BoxAnswerer boxes;
    QPointer<Frmplayer> form = open();
    QVERIFY(showAndActivate(form));
    MediaPlayer *player = form->player();
    QVERIFY2(waitFor([&] { return !player->message().isEmpty(); }, 15000), "no message for a bad movie");
    for (const QString &part : expected)
        QVERIFY2(player->message().contains(part), qPrintable(player->message()));
    auto *line = player->findChild<QLabel *>(QStringLiteral("message"));
    QVERIFY(line->isVisible());
    QCOMPARE(line->text(), player->message());
    QVERIFY(!player->videoWidget()->isVisible());
    QVERIFY(!player->findChild<QToolButton *>(QStringLiteral("play"))->isEnabled());

    // Activation again shows the line again, still without a box.
    reactivate(form);
    QVERIFY(waitFor([&] { return !player->message().isEmpty(); }, 15000));
    QTest::qWait(50);
    QCOMPARE(boxes.count(), 0);
    QCOMPARE(m_ended, 0);
    // The window still closes normally.
    form->close();
    QVERIFY(waitFor([&] { return form.isNull(); }));
    QVERIFY(m_main.isVisible());
}

void tst_Frmplayer::playsForReal()
{
    if (m_clip.isEmpty())
        QSKIP("No clip: gst-launch-1.0 with avenc_mpeg4 and lamemp3enc is needed to make one");
    QVERIFY(QFile::copy(m_clip, m_folder->filePath(QStringLiteral("demo.avi"))));
    m_folder->writeIni(iniWithMovie(QStringLiteral("demo.avi")));

    QPointer<Frmplayer> form = open();
    QVERIFY(showAndActivate(form));
    QPointer<QMediaPlayer> media = form->player()->mediaPlayer();
    const auto playedPast = [&](qint64 ms) {
        return waitFor([&] { return media && media->position() > ms; }, 10000);
    };
    if (!playedPast(300)) {
        const QString why = form->player()->message().isEmpty() ? media->errorString() : form->player()->message();
        QSKIP(qPrintable(QStringLiteral("The clip does not play on this platform (%1, %2)")
                             .arg(QGuiApplication::platformName(), why.isEmpty() ? QStringLiteral("no error") : why)));
    }
    QCOMPARE(media->playbackState(), QMediaPlayer::PlayingState);
    QVERIFY(form->player()->message().isEmpty());
    QCOMPARE(form->player()->findChild<QSlider *>(QStringLiteral("position"))->maximum(), int(media->duration()));
    QVERIFY(form->player()->findChild<QToolButton *>(QStringLiteral("pause"))->isEnabled());

    // The picture at the clip's own size (160 x 120) in the middle of the
    // area, then the other sizes of the context menu.
    QVideoWidget *video = form->player()->videoWidget();
    const QRect area = video->parentWidget()->rect();
    QVERIFY(area.width() >= 320 && area.height() >= 240);
    QVERIFY(waitFor([&] { return video->size() == QSize(160, 120); }));
    QCOMPARE(video->geometry().center(), area.center());
    const struct { const char *action; QSize size; } sizes[] = {
        {"menuHalfSize", {80, 60}}, {"menuDoubleSize", {320, 240}}, {"menuFitToArea", area.size()},
        {"menuOwnSize", {160, 120}}};
    for (const auto &size : sizes) {
        form->player()->findChild<QAction *>(QLatin1String(size.action))->trigger();
        QCOMPARE(video->size(), size.size);
        QCOMPARE(video->geometry().center(), area.center());
    }

    // Activation hands the movie over again: it starts from its beginning.
    const qint64 before = media->position();
    reactivate(form);
    QVERIFY(media->position() < before);
    QVERIFY(playedPast(200));

    // Closing during playback ends it with the window.
    form->close();
    QVERIFY(waitFor([&] { return form.isNull(); }));
    QVERIFY(media.isNull());
    QVERIFY(m_main.isVisible());

    // Opening again starts from the beginning, and plays to the end once.
    m_main.hide();
    form = open();
    QVERIFY(showAndActivate(form));
    media = form->player()->mediaPlayer();
    QVERIFY(media->position() < 300);
    QVERIFY(playedPast(200));
    QVERIFY(waitFor([&] { return media->mediaStatus() == QMediaPlayer::EndOfMedia; }, 15000));
    QCOMPARE(media->playbackState(), QMediaPlayer::StoppedState);
}

QTEST_MAIN(tst_Frmplayer)
#include "tst_frmplayer.moc"
