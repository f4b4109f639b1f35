// The internal player window: what it hands the player, full screen, closing,
// what a bad movie shows, real playback of a short clip, and a movie whose
// file stops coming part way through.

#include "player/frmplayer.h"
#include "player/mediaplayer.h"

#include "democlip.h"
#include "platform/forms.h"
#include "testsupport.h"

#include <QAction>
#include <QAudioOutput>
#include <QDir>
#include <QLabel>
#include <QMediaPlayer>
#include <QProcess>
#include <QStandardPaths>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QVideoWidget>

#include <gst/base/gstbasesrc.h>
#include <gst/gst.h>

#include <sys/stat.h>

using namespace testsupport;

namespace {

QByteArray iniWithMovie(const QString &movie)
{
    return "[Path]\r\nmovie=" + movie.toUtf8() + "\r\nsubtitles=movie.srt\r\n";
}

// The device and inode of the file at `path`.
QString fileId(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("(%1 is not there)").arg(path);
    return QStringLiteral("%1:%2").arg(qulonglong(info.st_dev)).arg(qulonglong(info.st_ino));
}

// Activates `form` (again) the way the program can: another form first.
void reactivate(QWidget *form)
{
    QWidget other;
    platform::registerForm(&other, {});
    QVERIFY(showAndActivate(&other));
    QVERIFY(showAndActivate(form));
}

// A file source for GStreamer, ahead of its own, that stops handing over the
// file when told, part way through, neither failing nor ending, as a drive
// that no longer answers does. The waiting read lets go when the pipeline
// flushes or stops, and the file is read on as before. It is GStreamer's file
// source with its reading wrapped, made in this process: the player's
// pipeline picks it for every file.
namespace stallingsource {

GMutex lock;
GCond changed;
bool armed = false;   // the next read waits
bool stalled = false; // a read is waiting now
bool released = false;
GstFlowReturn (*fileFill)(GstBaseSrc *, guint64, guint, GstBuffer *) = nullptr;
gboolean (*fileUnlock)(GstBaseSrc *) = nullptr;

GstFlowReturn fill(GstBaseSrc *src, guint64 offset, guint size, GstBuffer *buffer)
{
    g_mutex_lock(&lock);
    if (armed) {
        armed = false;
        stalled = true;
        released = false;
        g_cond_broadcast(&changed);
        while (!released)
            g_cond_wait(&changed, &lock);
        stalled = false;
        g_mutex_unlock(&lock);
        return GST_FLOW_FLUSHING;
    }
    g_mutex_unlock(&lock);
    return fileFill(src, offset, size, buffer);
}

gboolean unlock(GstBaseSrc *src)
{
    g_mutex_lock(&lock);
    released = true;
    g_cond_broadcast(&changed);
    g_mutex_unlock(&lock);
    return fileUnlock ? fileUnlock(src) : TRUE;
}

void classInit(gpointer klass, gpointer)
{
    auto *base = GST_BASE_SRC_CLASS(klass);
    fileFill = base->fill;
    fileUnlock = base->unlock;
    base->fill = fill;
    base->unlock = unlock;
    gst_element_class_set_static_metadata(GST_ELEMENT_CLASS(klass), "Stalling file source", "Source/File",
                                          "Stops reading when told, until flushed", "Trevlin tests");
}

// Empty when it is in place; else why not.
QString install()
{
    static QString problem = [] {
        GError *error = nullptr;
        if (!gst_init_check(nullptr, nullptr, &error)) {
            const QString why = QString::fromUtf8(error ? error->message : "unknown");
            g_clear_error(&error);
            return "GStreamer does not start: " + why;
        }
        GstElementFactory *file = gst_element_factory_find("filesrc");
        if (!file)
            return QStringLiteral("GStreamer has no filesrc");
        auto *loaded = GST_ELEMENT_FACTORY(gst_plugin_feature_load(GST_PLUGIN_FEATURE(file)));
        gst_object_unref(file);
        if (!loaded)
            return QStringLiteral("GStreamer's filesrc does not load");
        const GType parent = gst_element_factory_get_element_type(loaded);
        gst_object_unref(loaded);
        GTypeQuery query;
        g_type_query(parent, &query);
        GTypeInfo info = {};
        info.class_size = guint16(query.class_size);
        info.instance_size = guint16(query.instance_size);
        info.class_init = classInit;
        const GType type = g_type_register_static(parent, "TrevlinStallingFileSrc", &info, GTypeFlags(0));
        if (!gst_element_register(nullptr, "trevlinstallingfilesrc", GST_RANK_PRIMARY + 100, type))
            return QStringLiteral("the stalling source cannot be registered");
        return QString();
    }();
    return problem;
}

// Whether the next read of a file waits, until the pipeline lets go.
void stallNextRead(bool stall = true)
{
    g_mutex_lock(&lock);
    armed = stall;
    g_mutex_unlock(&lock);
}

bool isStalled()
{
    g_mutex_lock(&lock);
    const bool now = stalled;
    g_mutex_unlock(&lock);
    return now;
}

} // namespace stallingsource

} // namespace

class tst_Frmplayer : public QObject
{
    Q_OBJECT

    TempAppFolder *m_folder = nullptr;
    QWidget m_main; // stands in for the main window, which comes back when the player goes
    QList<QPointer<Frmplayer>> m_opened;
    QTemporaryDir m_clipDir;
    const QString m_clip = democlip::make(m_clipDir.filePath(QStringLiteral("demo.avi")))
                               ? m_clipDir.filePath(QStringLiteral("demo.avi")) : QString(); // none without the encoder
    QString m_savedCurrent = QDir::currentPath();

    Frmplayer *open(const QString &movie)
    {
        m_folder->writeIni(iniWithMovie(movie));
        auto *form = new Frmplayer;
        connect(form, &Frmplayer::unloaded, &m_main, &QWidget::show);
        m_opened << form;
        return form;
    }

private slots:
    void init()
    {
        QDir::setCurrent((m_folder = new TempAppFolder)->path());
        m_main.hide();
    }
    void cleanup()
    {
        stallingsource::stallNextRead(false);
        qDeleteAll(m_opened); // those still open
        QDir::setCurrent(m_savedCurrent);
        delete m_folder;
    }

    void handsTheMovieOverAsStoredOnEachActivation()
    {
        // A relative name means the working folder, never the program's folder.
        QDir(m_folder->path()).mkpath(QStringLiteral("work/clips"));
        m_folder->writeFile(QStringLiteral("work/movie.avi"), "x");
        m_folder->writeFile(QStringLiteral("work/clips/demo movie.avi"), "x");
        QDir::setCurrent(m_folder->filePath(QStringLiteral("work")));
        Frmplayer *form = open(QString());
        for (const QString stored : {"movie.avi", "clips/demo movie.avi", "./clips/../movie.avi"}) {
            m_folder->writeIni(iniWithMovie(stored));
            reactivate(form);
            QCOMPARE(form->player()->fileName(), stored);
            // Handed to the decoder once the picture's window is ready, as the
            // file that was checked, open, under a name for its descriptor: not
            // the name again, which could mean another file (a named pipe) by
            // the time the player opens it.
            QVERIFY(waitFor([&] { return !form->player()->mediaPlayer()->source().isEmpty(); }, 5000));
            const QString handed = form->player()->mediaPlayer()->source().toLocalFile();
#ifdef Q_OS_LINUX
            QVERIFY2(handed.startsWith(QLatin1String("/proc/self/fd/")), qPrintable(handed));
#endif
            QCOMPARE(fileId(handed), fileId(QDir::current().filePath(stored)));
        }
    }

    void fullScreenAndBack_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how : {"Esc", "double click", "context menu", "close the picture"})
            QTest::newRow(how) << QString::fromLatin1(how);
    }
    void fullScreenAndBack()
    {
        QFETCH(QString, how);
        QVERIFY2(!m_clip.isEmpty(), "No clip: gst-launch-1.0 with avenc_mpeg4 and lamemp3enc is needed to make one");
        Frmplayer *form = open(m_clip);
        QVERIFY(showAndActivate(form));
        MediaPlayer *player = form->player();
        // The player as stored: plays once, with all its controls.
        QCOMPARE(player->mediaPlayer()->loops(), 1);
        for (const char *name : {"play", "pause", "stop", "position", "volume"})
            QVERIFY2(player->findChild<QWidget *>(QLatin1String(name))->isVisible(), name);

        QVideoWidget *video = player->videoWidget();
        QSignalSpy sizes(player, &MediaPlayer::displaySizeChanged);
        for (int i = 0; i < 2; ++i) // a second time changes nothing more
            QTest::mouseClick(form->findChild<QWidget *>(QStringLiteral("Cmdfsceen")), Qt::LeftButton);
        QVERIFY(video->isFullScreen());
        QCOMPARE(video->geometry(), form->screen()->geometry());
        QCOMPARE(sizes.count(), 1);

        if (how == QLatin1String("Esc"))
            QTest::keyClick(video, Qt::Key_Escape);
        else if (how == QLatin1String("double click"))
            QTest::mouseDClick(video, Qt::LeftButton);
        else if (how == QLatin1String("context menu"))
            player->findChild<QAction *>(QStringLiteral("menuOwnSize"))->trigger();
        else
            video->close();
        QVERIFY(waitFor([&] { return !video->isFullScreen(); }));
        QCOMPARE(player->displaySize(), MediaPlayer::OwnSize);
        QCOMPARE(sizes.count(), 2);
        QCOMPARE(video->isVisibleTo(player), player->message().isEmpty());
        QVERIFY(video->parentWidget()->rect().contains(video->geometry())); // back inside the player's area
    }

    // The keys of every desktop player, wherever the focus is, and on the
    // full-screen picture.
    void keys()
    {
        // 16 seconds of picture in Matroska, which the player seeks in (it
        // does not in the muxer's AVI files).
        const QString clip = m_clipDir.filePath(QStringLiteral("long.mkv"));
        const QString gst = QStandardPaths::findExecutable(QStringLiteral("gst-launch-1.0"));
        QVERIFY2(!gst.isEmpty(), "No clip: gst-launch-1.0 with avenc_mpeg4 is needed to make one");
        const QStringList pipeline = QStringLiteral(
            "-q videotestsrc num-buffers=320 ! video/x-raw,width=160,height=120,framerate=20/1 ! avenc_mpeg4 ! queue "
            "! matroskamux ! filesink").split(QLatin1Char(' ')) << "location=" + clip;
        QCOMPARE(QProcess::execute(gst, pipeline), 0);
        Frmplayer *form = open(clip);
        QVERIFY(showAndActivate(form));
        MediaPlayer *player = form->player();
        QMediaPlayer *media = player->mediaPlayer();
        QVERIFY2(waitFor([&] { return media->position() > 300; }, 10000), qPrintable(media->errorString()));
        const auto press = [&](Qt::Key key, QWidget *focus = nullptr) {
            if (focus)
                focus->setFocus();
            QWidget *window = player->displaySize() == MediaPlayer::FullScreen ? static_cast<QWidget *>(player->videoWidget()) : form;
            QTRY_VERIFY(window->isActiveWindow());
            QTest::keyClick(window->windowHandle(), key);
        };
        const auto state = [&] { return media->playbackState(); };

        // Space on a focused button is the player's key, not the button's.
        press(Qt::Key_Space, player->findChild<QWidget *>(QStringLiteral("pause")));
        QTRY_COMPARE(state(), QMediaPlayer::PausedState);
        press(Qt::Key_Space, form->findChild<QWidget *>(QStringLiteral("Cmdfsceen")));
        QTRY_COMPARE(state(), QMediaPlayer::PlayingState);
        QCOMPARE(player->displaySize(), MediaPlayer::OwnSize);
        press(Qt::Key_Space);
        QTRY_COMPARE(state(), QMediaPlayer::PausedState);

        // Left and Right (seeking 5 seconds) are not checked here: offscreen,
        // without a sound device, the pipeline carries out no seek, and Qt
        // 6.4 reports none asked.

        // The volume, shown on its slider, up to the most.
        auto *volume = player->findChild<QSlider *>(QStringLiteral("volume"));
        QCOMPARE(volume->value(), 100);
        press(Qt::Key_Down);
        press(Qt::Key_Down, volume);
        QCOMPARE(volume->value(), 90);
        QCOMPARE(media->audioOutput()->volume(), 0.9f);
        press(Qt::Key_Up);
        press(Qt::Key_Up);
        press(Qt::Key_Up);
        QCOMPARE(volume->value(), 100);

        // F toggles full screen, Enter on the picture too; on the full-screen
        // picture the other keys still work, and Esc leaves.
        QVideoWidget *video = player->videoWidget();
        press(Qt::Key_F);
        QTRY_VERIFY(video->isFullScreen());
        press(Qt::Key_Space);
        QTRY_COMPARE(state(), QMediaPlayer::PlayingState);
        press(Qt::Key_F);
        QTRY_VERIFY(!video->isFullScreen());
        QCOMPARE(player->displaySize(), MediaPlayer::OwnSize);
        press(Qt::Key_Return, form->findChild<QWidget *>(QStringLiteral("Cmdfsceen"))); // not on the picture
        QVERIFY(!video->isFullScreen());
        QTest::mouseClick(video, Qt::LeftButton); // the picture takes the focus
        press(Qt::Key_Return);
        QTRY_VERIFY(video->isFullScreen());
        press(Qt::Key_Enter);
        QTRY_VERIFY(!video->isFullScreen());
        press(Qt::Key_F);
        QTRY_VERIFY(video->isFullScreen());
        press(Qt::Key_Escape);
        QTRY_VERIFY(!video->isFullScreen());
        QCOMPARE(player->displaySize(), MediaPlayer::OwnSize);
    }

    void badMovieShowsALineInThePlayer_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("line"); // <cwd>: the working folder; ending in ": ", the start only
        const QString lookedFor = QStringLiteral(" It was looked for in \"<cwd>\".");
        QTest::newRow("empty") << "" << "No movie to play: the movie's file name is empty.";
        QTest::newRow("missing") << "nothere.avi" << "Cannot play \"nothere.avi\": the file does not exist." + lookedFor;
        QTest::newRow("missing, absolute") << "/nothere/x.avi" << "Cannot play \"/nothere/x.avi\": the file does not exist.";
        QTest::newRow("folder") << "clips" << "Cannot play \"clips\": it is a folder, not a file." + lookedFor;
        QTest::newRow("named pipe") << "pipe.avi" << "Cannot play \"pipe.avi\": it is a named pipe, not an ordinary file." + lookedFor;
        QTest::newRow("not a movie") << "notes.avi" << "Cannot play \"notes.avi\": ";
    }
    void badMovieShowsALineInThePlayer()
    {
        QFETCH(QString, stored);
        QFETCH(QString, line);
        line.replace(QLatin1String("<cwd>"), QDir::toNativeSeparators(m_folder->path()));
        QDir(m_folder->path()).mkpath(QStringLiteral("clips"));
        m_folder->writeFile(QStringLiteral("notes.avi"), QByteArray("These are not the frames you are looking for.\n").repeated(200));
        QVERIFY(::mkfifo(QFile::encodeName(m_folder->filePath(QStringLiteral("pipe.avi"))).constData(), 0600) == 0);

        BoxAnswerer boxes;
        QPointer<Frmplayer> form = open(stored);
        MediaPlayer *player = form->player();
        for (int round = 0; round < 2; ++round) { // activation again shows the line again
            reactivate(form);
            QVERIFY2(waitFor([&] { return !player->message().isEmpty(); }, 15000), "no line for a bad movie");
            if (line.endsWith(QLatin1String(": ")))
                QVERIFY2(player->message().startsWith(line) && player->message().endsWith(QLatin1Char('.')), qPrintable(player->message()));
            else
                QCOMPARE(player->message(), line);
            auto *shown = player->findChild<QLabel *>(QStringLiteral("message")); // in place of the picture
            QVERIFY(shown->isVisible() && shown->text() == player->message() && !player->videoWidget()->isVisible());
            // Nothing to play, pause, stop or show full screen, by button or menu.
            for (const char *name : {"play", "pause", "stop", "Cmdfsceen"})
                QVERIFY2(!form->findChild<QWidget *>(QLatin1String(name))->isEnabled(), name);
            for (const char *name : {"menuPlay", "menuPause", "menuStop", "menuFullScreen"})
                QVERIFY2(!form->findChild<QAction *>(QLatin1String(name))->isEnabled(), name);
            // Nor by key.
            const QMediaPlayer::PlaybackState before = player->mediaPlayer()->playbackState();
            for (Qt::Key key : {Qt::Key_Space, Qt::Key_F, Qt::Key_Right})
                QTest::keyClick(form->windowHandle(), key);
            QCOMPARE(player->mediaPlayer()->playbackState(), before);
            QVERIFY(!player->videoWidget()->isFullScreen() && player->displaySize() != MediaPlayer::FullScreen);
        }
        QTest::qWait(50);
        QCOMPARE(boxes.count(), 0);
        form->close(); // the window still closes normally, and the main window comes back
        QVERIFY(waitFor([&] { return form.isNull() && m_main.isVisible(); }));
    }

    void playsForReal()
    {
        if (m_clip.isEmpty())
            QSKIP("No clip: gst-launch-1.0 with avenc_mpeg4 and lamemp3enc is needed to make one");
        const QString movie = m_folder->filePath(QStringLiteral("movie.avi"));
        QVERIFY(QFile::copy(m_clip, movie));
        QPointer<Frmplayer> form = open(movie);
        QVERIFY(showAndActivate(form));
        QPointer<QMediaPlayer> media = form->player()->mediaPlayer();
        const auto playedPast = [&](qint64 ms) { return waitFor([&] { return media && media->position() > ms; }, 10000); };
        if (!playedPast(300) && media->error() != QMediaPlayer::NoError) // a platform without the decoders
            QSKIP(qPrintable("The clip does not play here: " + media->errorString()));
        QVERIFY(media->playbackState() == QMediaPlayer::PlayingState && form->player()->message().isEmpty());
        QCOMPARE(form->player()->findChild<QSlider *>(QStringLiteral("position"))->maximum(), int(media->duration()));
        QVERIFY(form->player()->findChild<QWidget *>(QStringLiteral("pause"))->isEnabled());

        // The picture at the clip's own size (160 x 120) in the middle of the
        // area, then the other sizes of the context menu.
        QVideoWidget *video = form->player()->videoWidget();
        const QRect area = video->parentWidget()->rect();
        QVERIFY(area.width() >= 320 && area.height() >= 240);
        QVERIFY(waitFor([&] { return video->size() == QSize(160, 120); }));
        for (auto [action, size] : {std::pair{"menuHalfSize", QSize(80, 60)}, {"menuDoubleSize", QSize(320, 240)},
                                    {"menuFitToArea", area.size()}, {"menuOwnSize", QSize(160, 120)}}) {
            QCOMPARE(video->geometry().center(), area.center());
            form->player()->findChild<QAction *>(QLatin1String(action))->trigger();
            QCOMPARE(video->size(), size);
        }

        // Activation hands the movie over again: it starts from its beginning,
        // and plays to its end once.
        const qint64 before = media->position();
        reactivate(form);
        QVERIFY(media->position() < before && playedPast(200));
        QVERIFY(waitFor([&] { return media->mediaStatus() == QMediaPlayer::EndOfMedia; }, 15000));
        QCOMPARE(media->playbackState(), QMediaPlayer::StoppedState);
        // The movie's name swapped for a named pipe once it was handed over:
        // the player opens its source again and plays the file that was
        // checked, never the pipe, whose opening would wait for good.
        const QUrl source = media->source();
        QVERIFY(QFile::rename(movie, movie + QStringLiteral(".was")));
        QVERIFY(::mkfifo(QFile::encodeName(movie).constData(), 0600) == 0);
        media->setSource(QUrl());
        media->setSource(source);
        media->play();
        QVERIFY2(playedPast(200), qPrintable(media->errorString()));
        QVERIFY(QFile::remove(movie) && QFile::rename(movie + QStringLiteral(".was"), movie));
        media->stop();
        QCOMPARE(media->playbackState(), QMediaPlayer::StoppedState);
        // Played again, then closed during playback: playback ends with the window.
        QTest::mouseClick(form->player()->findChild<QWidget *>(QStringLiteral("play")), Qt::LeftButton);
        QCOMPARE(media->playbackState(), QMediaPlayer::PlayingState);
        form->close();
        QVERIFY(waitFor([&] { return media.isNull(); }));
    }

    // The movie's file stops coming part way through while the player plays:
    // the player does not go on offering Pause over a picture that stands
    // still. After a few seconds its line says the movie is not playing, Play
    // is the control offered, and Play starts the movie again.
    void stalledMovieIsSaidAndPlayStartsItAgain()
    {
        const QString movie = m_folder->filePath(QStringLiteral("movie.avi"));
        QVERIFY2(democlip::make(movie, 8), "No clip: gst-launch-1.0 with avenc_mpeg4 and lamemp3enc is needed to make one");
        const QString problem = stallingsource::install();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));

        Frmplayer *form = open(movie);
        QVERIFY(showAndActivate(form));
        MediaPlayer *player = form->player();
        QMediaPlayer *media = player->mediaPlayer();
        auto *play = player->findChild<QWidget *>(QStringLiteral("play"));
        auto *pause = player->findChild<QWidget *>(QStringLiteral("pause"));
        auto *shown = player->findChild<QLabel *>(QStringLiteral("message"));
        // It plays; then its file stops coming.
        QTRY_VERIFY2_WITH_TIMEOUT(media->position() > 500, qPrintable(media->errorString()), 20000);
        QVERIFY(pause->isEnabled() && player->message().isEmpty());
        stallingsource::stallNextRead();
        QTRY_VERIFY2_WITH_TIMEOUT(stallingsource::isStalled(), "the movie's file is not read any more", 20000);

        const QString line = QStringLiteral("\"%1\" is not playing: it has not moved for 5 seconds. "
                                            "Press Play to start it again.").arg(movie);
        QTRY_COMPARE_WITH_TIMEOUT(player->message(), line, MediaPlayer::StallMs + 20000);
        QCOMPARE(media->playbackState(), QMediaPlayer::PlayingState); // what the decoder still claims
        QVERIFY(shown->isVisible() && shown->text() == line && !player->videoWidget()->isVisible());
        QVERIFY(!pause->isEnabled() && play->isEnabled());
        QVERIFY(!form->findChild<QAction *>(QStringLiteral("menuPause"))->isEnabled());
        QVERIFY(form->findChild<QAction *>(QStringLiteral("menuPlay"))->isEnabled());
        QVERIFY(stallingsource::isStalled()); // still the file, nothing else

        // Play: the line goes, the picture is back and the movie moves, to its end.
        QTest::mouseClick(play, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(player->message().isEmpty(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!stallingsource::isStalled(), 10000);
        QVERIFY(shown->isHidden() && player->videoWidget()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(media->playbackState() == QMediaPlayer::PlayingState && pause->isEnabled(), 10000);
        const qint64 from = media->position();
        QTRY_VERIFY2_WITH_TIMEOUT(media->position() > from + 300, qPrintable(media->errorString()), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(media->mediaStatus(), QMediaPlayer::EndOfMedia, 20000);
        QVERIFY(player->message().isEmpty());
    }
};

QTEST_MAIN(tst_Frmplayer)
#include "tst_frmplayer.moc"
