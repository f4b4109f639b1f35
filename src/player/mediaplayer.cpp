#include "player/mediaplayer.h"

#include "platform/discfile.h"

#include <QActionGroup>
#include <QAudioOutput>
#include <QBoxLayout>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMediaPlayer>
#include <QMenu>
#include <QScreen>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <QVideoSink>
#include <QVideoWidget>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

// The picture. Qt's video widget neither leaves full screen on Esc or a
// double click nor comes back from a full-screen window that was closed, so
// this one does: the player decides what those gestures mean.
class MediaPlayer::VideoSurface : public QVideoWidget
{
public:
    explicit VideoSurface(MediaPlayer *owner, QWidget *parent) : QVideoWidget(parent), m_owner(owner)
    {
        setObjectName(QStringLiteral("video"));
        setAccessibleName(tr("Video"));
        setFocusPolicy(Qt::ClickFocus);
        setAutoFillBackground(true);
        QPalette p = palette();
        p.setColor(QPalette::Window, Qt::black);
        setPalette(p);
    }

    // A window of its own covering `screenArea`. The size is set as well as
    // the state: without a window manager the state alone changes nothing.
    void showOnScreen(const QRect &screenArea)
    {
        setWindowFlag(Qt::Window, true);
        setGeometry(screenArea);
        showFullScreen();
        activateWindow();
        setFocus(Qt::OtherFocusReason);
    }

    // Back into the player's area (hidden until shown again).
    void showInArea()
    {
        setWindowState(windowState() & ~Qt::WindowFullScreen);
        if (isWindow())
            setWindowFlag(Qt::Window, false);
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Escape && isFullScreen()) {
            m_owner->setDisplaySize(m_owner->m_sizeBeforeFullScreen);
            event->accept();
            return;
        }
        QVideoWidget::keyPressEvent(event);
    }

    void mouseDoubleClickEvent(QMouseEvent *event) override
    {
        event->accept();
        if (isFullScreen())
            m_owner->setDisplaySize(m_owner->m_sizeBeforeFullScreen);
        else if (m_owner->m_settings.allowChangeDisplaySize)
            m_owner->setDisplaySize(FullScreen);
    }

    void contextMenuEvent(QContextMenuEvent *event) override
    {
        // As a full-screen window the event would not reach the player.
        if (isFullScreen() && m_owner->m_menu) {
            m_owner->m_menu->exec(event->globalPos());
            event->accept();
            return;
        }
        event->ignore();
    }

    void changeEvent(QEvent *event) override
    {
        QVideoWidget::changeEvent(event);
        // The window manager took full screen away: back into the area.
        if (event->type() == QEvent::WindowStateChange && isWindow() && !isFullScreen())
            backIntoArea();
    }

    void closeEvent(QCloseEvent *event) override
    {
        // Closing the full-screen picture (Alt+F4) is allowed, so that the
        // program can always quit; the picture then comes back in the area.
        QVideoWidget::closeEvent(event);
        if (isWindow())
            backIntoArea();
    }

private:
    // Later, not inside the window system's event.
    void backIntoArea()
    {
        if (m_owner->m_displaySize == FullScreen)
            QMetaObject::invokeMethod(m_owner, [owner = m_owner] { owner->leftFullScreen(); }, Qt::QueuedConnection);
    }


private:
    MediaPlayer *m_owner;
};

namespace {

QString clockText(qint64 ms)
{
    const qint64 s = qMax<qint64>(0, ms) / 1000;
    const QString seconds = QStringLiteral("%1").arg(s % 60, 2, 10, QLatin1Char('0'));
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3").arg(s / 3600).arg((s / 60) % 60, 2, 10, QLatin1Char('0')).arg(seconds);
    return QStringLiteral("%1:%2").arg(s / 60).arg(seconds);
}

QToolButton *makeButton(QWidget *parent, const QString &name, const QString &caption, QStyle::StandardPixmap icon)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

} // namespace

MediaPlayer::MediaPlayer(QWidget *parent) : MediaPlayer(Settings(), parent) {}

MediaPlayer::MediaPlayer(const Settings &settings, QWidget *parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_displaySize(settings.displaySize == FullScreen ? OwnSize : settings.displaySize)
{
    m_player = new QMediaPlayer(this);
    m_audio = new QAudioOutput(this);
    m_player->setAudioOutput(m_audio);
    m_audio->setVolume(m_settings.volume);
    m_player->setLoops(qMax(1, m_settings.playCount));
    m_player->setPlaybackRate(m_settings.rate);

    m_videoArea = new QWidget(this);
    m_videoArea->setObjectName(QStringLiteral("videoArea"));
    m_videoArea->setAutoFillBackground(true);
    QPalette black = m_videoArea->palette();
    black.setColor(QPalette::Window, Qt::black);
    black.setColor(QPalette::WindowText, Qt::white);
    m_videoArea->setPalette(black);

    m_video = new VideoSurface(this, m_videoArea);
    m_player->setVideoOutput(m_video);

    m_message = new QLabel(m_videoArea);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_message->setMargin(8);
    m_message->hide();

    m_pendingTimer = new QTimer(this);
    m_pendingTimer->setInterval(15);
    connect(m_pendingTimer, &QTimer::timeout, this, [this] {
        if (pictureReady() || m_pendingSince.elapsed() > 2000)
            start();
    });
    m_watchdog = new QTimer(this);
    m_watchdog->setInterval(250);
    connect(m_watchdog, &QTimer::timeout, this, &MediaPlayer::watchPlayback);

    buildControls();
    buildContextMenu();
    connectPlayer();
    updateButtons();
    updateTime();
}

MediaPlayer::~MediaPlayer()
{
    // Playback ends with the player; the picture goes before the decoder.
    m_player->stop();
    m_player->setVideoOutput(nullptr);
    m_player->setSource(QUrl());
    closeMovie();
}

void MediaPlayer::buildControls()
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    column->addWidget(m_videoArea, 1);

    m_positionRow = new QWidget(this);
    auto *positionLayout = new QHBoxLayout(m_positionRow);
    positionLayout->setContentsMargins(4, 0, 4, 0);
    m_position = new QSlider(Qt::Horizontal, m_positionRow);
    m_position->setObjectName(QStringLiteral("position"));
    m_position->setAccessibleName(tr("Position"));
    m_position->setRange(0, 0);
    m_position->setPageStep(10000);
    m_position->setSingleStep(1000);
    m_time = new QLabel(m_positionRow);
    m_time->setObjectName(QStringLiteral("time"));
    m_time->setAccessibleName(tr("Time"));
    positionLayout->addWidget(m_position, 1);
    positionLayout->addWidget(m_time);
    column->addWidget(m_positionRow);

    m_buttonRow = new QWidget(this);
    auto *buttons = new QHBoxLayout(m_buttonRow);
    buttons->setContentsMargins(2, 0, 4, 2);
    buttons->setSpacing(2);
    m_play = makeButton(m_buttonRow, QStringLiteral("play"), tr("&Play"), QStyle::SP_MediaPlay);
    m_pause = makeButton(m_buttonRow, QStringLiteral("pause"), tr("P&ause"), QStyle::SP_MediaPause);
    m_stop = makeButton(m_buttonRow, QStringLiteral("stop"), tr("S&top"), QStyle::SP_MediaStop);
    buttons->addWidget(m_play);
    buttons->addWidget(m_pause);
    buttons->addWidget(m_stop);
    buttons->addStretch(1);

    m_audioControls = new QWidget(m_buttonRow);
    auto *audio = new QHBoxLayout(m_audioControls);
    audio->setContentsMargins(0, 0, 0, 0);
    auto *volumeLabel = new QLabel(tr("&Volume"), m_audioControls);
    m_volume = new QSlider(Qt::Horizontal, m_audioControls);
    m_volume->setObjectName(QStringLiteral("volume"));
    m_volume->setAccessibleName(tr("Volume"));
    m_volume->setRange(0, 100);
    m_volume->setValue(qRound(m_settings.volume * 100));
    m_volume->setFixedWidth(90);
    volumeLabel->setBuddy(m_volume);
    audio->addWidget(volumeLabel);
    audio->addWidget(m_volume);
    buttons->addWidget(m_audioControls);
    column->addWidget(m_buttonRow);

    m_buttonRow->setVisible(m_settings.showControls || m_settings.showAudioControls);
    for (QWidget *b : {static_cast<QWidget *>(m_play), static_cast<QWidget *>(m_pause), static_cast<QWidget *>(m_stop)})
        b->setVisible(m_settings.showControls);
    m_audioControls->setVisible(m_settings.showAudioControls);
    m_positionRow->setVisible(m_settings.showPositionControls);

    connect(m_play, &QToolButton::clicked, this, &MediaPlayer::play);
    connect(m_pause, &QToolButton::clicked, this, &MediaPlayer::pause);
    connect(m_stop, &QToolButton::clicked, this, &MediaPlayer::stop);
    connect(m_position, &QSlider::actionTriggered, this, [this] { m_player->setPosition(m_position->sliderPosition()); });
    connect(m_volume, &QSlider::valueChanged, this, [this](int v) { m_audio->setVolume(float(v) / 100.0f); });
}

void MediaPlayer::buildContextMenu()
{
    if (!m_settings.contextMenu)
        return;
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("contextMenu"));
    m_menuPlay = m_menu->addAction(tr("Play"), this, &MediaPlayer::play);
    m_menuPlay->setObjectName(QStringLiteral("menuPlay"));
    m_menuPause = m_menu->addAction(tr("Pause"), this, &MediaPlayer::pause);
    m_menuPause->setObjectName(QStringLiteral("menuPause"));
    m_menuStop = m_menu->addAction(tr("Stop"), this, &MediaPlayer::stop);
    m_menuStop->setObjectName(QStringLiteral("menuStop"));
    m_menu->addSeparator();

    auto *sizes = new QActionGroup(m_menu);
    const struct { DisplaySize size; const char *caption; const char *name; } entries[] = {
        {FullScreen, QT_TR_NOOP("Full Screen"), "menuFullScreen"},
        {OwnSize, QT_TR_NOOP("Original Size"), "menuOwnSize"},
        {HalfSize, QT_TR_NOOP("Half Size"), "menuHalfSize"},
        {DoubleSize, QT_TR_NOOP("Double Size"), "menuDoubleSize"},
        {FitToArea, QT_TR_NOOP("Fit to Window"), "menuFitToArea"},
    };
    for (const auto &entry : entries) {
        QAction *action = m_menu->addAction(tr(entry.caption));
        action->setObjectName(QLatin1String(entry.name));
        action->setCheckable(true);
        action->setData(int(entry.size));
        action->setEnabled(m_settings.allowChangeDisplaySize);
        sizes->addAction(action);
        const DisplaySize size = entry.size;
        connect(action, &QAction::triggered, this, [this, size] { setDisplaySize(size); });
        if (entry.size == FullScreen) {
            m_menuFullScreen = action;
            m_menu->addSeparator();
        }
    }
    connect(m_menu, &QMenu::aboutToShow, this, [this, sizes] {
        for (QAction *action : sizes->actions())
            action->setChecked(action->data().toInt() == int(m_displaySize));
    });

    setContextMenuPolicy(Qt::DefaultContextMenu);
}

void MediaPlayer::connectPlayer()
{
    connect(m_player, &QMediaPlayer::playbackStateChanged, this, [this](QMediaPlayer::PlaybackState state) {
        if (state == QMediaPlayer::PlayingState) {
            m_lastPosition = m_player->position();
            m_sinceMoved.start();
            m_watchdog->start();
        } else {
            m_watchdog->stop();
        }
        updateButtons();
    });
    connect(m_player, &QMediaPlayer::durationChanged, this, [this](qint64 duration) {
        m_position->setRange(0, int(qMin<qint64>(duration, INT_MAX)));
        updateTime();
    });
    connect(m_player, &QMediaPlayer::positionChanged, this, [this](qint64 position) {
        if (!m_position->isSliderDown())
            m_position->setValue(int(qMin<qint64>(position, INT_MAX)));
        updateTime();
        watchPlayback();
    });
    connect(m_player, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error, const QString &text) { reportPlayerError(text); });
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::InvalidMedia)
            reportPlayerError(QString());
    });
    // Queued: Qt 6.4's sink signals a new size while holding the lock that
    // videoSize() takes, so asking for it at once would deadlock.
    connect(m_video->videoSink(), &QVideoSink::videoSizeChanged, this, &MediaPlayer::layoutVideo,
            Qt::QueuedConnection);
}

QVideoWidget *MediaPlayer::videoWidget() const
{
    return m_video;
}

QString MediaPlayer::message() const
{
    return m_messageText;
}

void MediaPlayer::setFileName(const QString &fileName)
{
    m_fileName = fileName;
    // Let go of the previous file first: the same name given again must load
    // it anew, also after an error, and play it from its start.
    m_pendingTimer->stop();
    m_pendingSource.clear();
    m_player->stop();
    m_player->setSource(QUrl());
    closeMovie();
    m_stalled = false;
    showMessage(QString());

    if (fileName.isEmpty()) {
        showMessage(tr("No movie to play: the movie's file name is empty."));
        return;
    }
    // A relative name is found from the working folder, as the system would.
    // Only an ordinary file goes to the decoder, which would wait for good on
    // a named pipe and read a device without end. The file is opened here,
    // without blocking, and checked on its descriptor; the decoder is given a
    // name for that descriptor, so it opens the very file that was checked,
    // even when the movie's name has been swapped for a pipe since.
    const QFileInfo file(fileName);
    platform::DiscFile disc;
#ifdef Q_OS_UNIX
    const int fd = platform::openDiscFile(fileName, &disc);
#else
    disc = platform::inspectDiscFile(fileName);
#endif
    QString problem = disc.reason;
    if (disc.problem == platform::DiscFile::Folder)
        problem = tr("it is a folder, not a file");
#ifndef Q_OS_UNIX
    else if (disc.ok() && !file.isReadable())
        problem = tr("the file cannot be read");
#endif
    if (!problem.isEmpty()) {
        QString text = tr("Cannot play \"%1\": %2.").arg(fileName, problem);
        if (file.isRelative())
            text += QLatin1Char(' ') + tr("It was looked for in \"%1\".").arg(QDir::toNativeSeparators(QDir::currentPath()));
        showMessage(text);
        return;
    }

#ifdef Q_OS_UNIX
    m_openMovie = fd;
    startWhenPictureReady(QUrl::fromLocalFile(platform::openFileName(fd)));
#else
    startWhenPictureReady(QUrl::fromLocalFile(file.absoluteFilePath()));
#endif
}

// Qt 6.4's GStreamer video sink is made again, inside the running pipeline,
// when the picture's window gets its GL context, which happens at its first
// paint. A movie that started before then stalled now and then: black at
// 0:01 with Pause offered, sometimes "Internal data stream error". So the
// decoder gets the movie once the picture's window has its GL context, or
// paints without GL; should the window never be painted (the player hidden),
// it gets it after two seconds all the same.
void MediaPlayer::startWhenPictureReady(const QUrl &source)
{
    m_pendingSource = source;
    m_pendingSince.start();
    if (pictureReady())
        start();
    else
        m_pendingTimer->start();
}

bool MediaPlayer::pictureReady() const
{
    if (m_video->videoSink() && m_video->videoSink()->rhi())
        return true;
    // The video widget draws into a window of its own, embedded in the
    // player's window; without GL it paints through a backing store and its
    // sink never gets a context.
    const QWindow *top = m_video->window()->windowHandle();
    if (!top)
        return false;
    for (const QWindow *window : top->findChildren<QWindow *>()) {
        if (window->inherits("QVideoWindow") && window->isExposed()
            && window->surfaceType() == QSurface::RasterSurface)
            return true;
    }
    return false;
}

void MediaPlayer::start()
{
    m_pendingTimer->stop();
    if (m_pendingSource.isEmpty())
        return;
    const QUrl source = m_pendingSource;
    m_pendingSource.clear();
    m_player->setSource(source);
    if (m_settings.autoStart)
        m_player->play();
    updateButtons();
}

// The movie's file stays open while the player may open it again.
void MediaPlayer::closeMovie()
{
#ifdef Q_OS_UNIX
    if (m_openMovie >= 0)
        ::close(m_openMovie);
    m_openMovie = -1;
#endif
}

// While playing, the position must move. When it has stood still for a few
// seconds (not counting the time the movie is still being opened), the
// player says so rather than offering Pause over a picture that does not
// come, and Play starts the movie again. Should it move after all, the line
// goes.
void MediaPlayer::watchPlayback()
{
    const qint64 position = m_player->position();
    if (position != m_lastPosition) {
        m_lastPosition = position;
        m_sinceMoved.start();
        if (m_stalled) {
            m_stalled = false;
            showMessage(QString());
        }
        return;
    }
    if (m_player->playbackState() != QMediaPlayer::PlayingState || m_stalled)
        return;
    if (m_player->mediaStatus() == QMediaPlayer::LoadingMedia) {
        m_sinceMoved.start();
        return;
    }
    if (m_sinceMoved.isValid() && m_sinceMoved.elapsed() >= StallMs) {
        m_stalled = true;
        showMessage(tr("\"%1\" is not playing: it has not moved for %2 seconds. Press Play to start it again.")
                        .arg(m_fileName)
                        .arg(StallMs / 1000));
    }
}

void MediaPlayer::reportPlayerError(const QString &reason)
{
    if (m_fileName.isEmpty() || !message().isEmpty())
        return;
    QString why = reason.trimmed();
    if (why.endsWith(QLatin1Char('.')))
        why.chop(1);
    if (why.isEmpty())
        why = tr("its format is not one this player can play");
    showMessage(tr("Cannot play \"%1\": %2.").arg(m_fileName, why));
}

void MediaPlayer::showMessage(const QString &text)
{
    const bool changed = text != m_messageText;
    m_messageText = text;
    m_message->setText(text);
    m_message->setVisible(!text.isEmpty());
    if (!text.isEmpty() && m_video->isFullScreen())
        setDisplaySize(m_sizeBeforeFullScreen);
    m_video->setVisible(text.isEmpty());
    m_message->setGeometry(m_videoArea->rect());
    updateButtons();
    if (changed)
        emit messageChanged(text);
}

void MediaPlayer::play()
{
    if (m_player->source().isEmpty())
        return;
    if (m_stalled) {
        // What brings a stalled pipeline back: stopping it and playing anew.
        m_stalled = false;
        showMessage(QString());
        m_player->stop();
    }
    m_player->play();
}

void MediaPlayer::pause()
{
    m_player->pause();
}

void MediaPlayer::stop()
{
    m_player->stop();
}

// With a line shown in place of the picture there is nothing to play, pause,
// stop or show full screen; the context menu offers what the buttons offer.
void MediaPlayer::updateButtons()
{
    const QMediaPlayer::PlaybackState state = m_player->playbackState();
    // A stalled movie's line offers Play (which starts it again) and Stop.
    const bool playable = message().isEmpty() || m_stalled;
    const bool hasMedia = !m_player->source().isEmpty() && playable;
    m_play->setEnabled(hasMedia && (state != QMediaPlayer::PlayingState || m_stalled));
    m_pause->setEnabled(playable && state == QMediaPlayer::PlayingState && !m_stalled);
    m_stop->setEnabled(playable && state != QMediaPlayer::StoppedState);
    m_position->setEnabled(hasMedia);
    if (m_menu) {
        m_menuPlay->setEnabled(m_play->isEnabled());
        m_menuPause->setEnabled(m_pause->isEnabled());
        m_menuStop->setEnabled(m_stop->isEnabled());
        m_menuFullScreen->setEnabled(m_settings.allowChangeDisplaySize && message().isEmpty());
    }
}

void MediaPlayer::updateTime()
{
    m_time->setText(clockText(m_player->position()) + QStringLiteral(" / ") + clockText(m_player->duration()));
}

void MediaPlayer::setDisplaySize(DisplaySize size)
{
    if (size == m_displaySize || (size == FullScreen && !message().isEmpty()))
        return;
    if (size == FullScreen) {
        m_sizeBeforeFullScreen = m_displaySize;
        m_displaySize = FullScreen;
        QScreen *screen = window()->screen() ? window()->screen() : QGuiApplication::primaryScreen();
        m_video->showOnScreen(screen ? screen->geometry() : QRect(QPoint(), window()->size()));
    } else {
        m_displaySize = size;
        leftFullScreen();
    }
    emit displaySizeChanged(m_displaySize);
}

void MediaPlayer::leftFullScreen()
{
    // Left through the player, or by the window manager on its own.
    if (m_displaySize == FullScreen) {
        m_displaySize = m_sizeBeforeFullScreen;
        emit displaySizeChanged(m_displaySize);
    }
    if (m_video->isWindow() || m_video->isFullScreen())
        m_video->showInArea();
    m_video->setVisible(message().isEmpty());
    layoutVideo();
}

void MediaPlayer::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutVideo();
}

void MediaPlayer::layoutVideo()
{
    if (!m_video || !m_videoArea)
        return;
    const QRect area = m_videoArea->rect();
    m_message->setGeometry(area);
    if (m_displaySize == FullScreen)
        return;
    // Before the first frame the file's own size is not known: use the area.
    QSize size = m_video->videoSink() ? m_video->videoSink()->videoSize() : QSize();
    if (!size.isValid() || size.isEmpty() || m_displaySize == FitToArea)
        size = area.size();
    else if (m_displaySize == HalfSize)
        size /= 2;
    else if (m_displaySize == DoubleSize)
        size *= 2;
    // A picture larger than the area is shown whole, scaled down to fit.
    if (size.width() > area.width() || size.height() > area.height())
        size.scale(area.size(), Qt::KeepAspectRatio);
    QRect placed(QPoint(0, 0), size);
    placed.moveCenter(area.center());
    m_video->setGeometry(placed);
}

void MediaPlayer::contextMenuEvent(QContextMenuEvent *event)
{
    if (!m_menu)
        return QWidget::contextMenuEvent(event);
    m_menu->exec(event->globalPos());
    event->accept();
}
