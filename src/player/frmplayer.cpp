#include "player/frmplayer.h"

#include "platform/application.h"
#include "platform/forms.h"
#include "settings/moduleini.h"
#include "widgets/centring.h"
#include "widgets/designstyle.h"
#include "widgets/mofficeborder.h"
#include "player/mediaplayer.h"
#include "player/playerwindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMediaPlayer>
#include <QPushButton>
#include <QSlider>
#include <QVideoWidget>

namespace {

constexpr qint64 SeekStep = 5000; // ms
constexpr int VolumeStep = 5;     // of the volume's 100

} // namespace

Frmplayer::Frmplayer(QWidget *parent)
    : QWidget(parent, widgets::FixedWindowFlags)
{
    widgets::setUpForm(this, playerwindow::FormName, platform::applicationTitle(), playerwindow::WidthTwips,
                       playerwindow::HeightTwips);

    m_player = new MediaPlayer(this);
    m_player->setObjectName(QStringLiteral("MediaPlayer1"));
    m_player->setGeometry(playerwindow::PlayerPlace);

    m_fullscreen = new QPushButton(QStringLiteral("Fullscreen"), this);
    m_fullscreen->setObjectName(QStringLiteral("Cmdfsceen"));
    m_fullscreen->setGeometry(playerwindow::FullscreenPlace);
    m_fullscreen->setAutoDefault(false);
    connect(m_fullscreen, &QPushButton::clicked, this, &Frmplayer::fullScreen);
    // Full screen over a line saying why nothing plays would be a black
    // screen: it is offered only while there is a picture to show.
    connect(m_player, &MediaPlayer::messageChanged, m_fullscreen,
            [this](const QString &text) { m_fullscreen->setEnabled(text.isEmpty()); });

    // Created in the design's keyboard order: the player's controls, then
    // Fullscreen; the heading takes no focus.
    widgets::makeHeadingLabel(this, QString::fromLatin1(playerwindow::Heading), playerwindow::HeadingPlace);

    buildKeys();
    platform::registerForm(this, [this] { activate(); });
}

Frmplayer::~Frmplayer()
{
    emit unloaded();
}

void Frmplayer::activate()
{
    widgets::centreWindow(this);
    Mofficeborder::ApplyFlatBorder(m_fullscreen);
    // Exactly as stored: the player takes a relative name from the working
    // folder; a missing or unplayable file is shown in the player itself.
    m_player->setFileName(ReadINI(QStringLiteral("path"), QStringLiteral("movie")));
}

void Frmplayer::fullScreen()
{
    m_player->setDisplaySize(MediaPlayer::FullScreen);
}

// The keys of every desktop player. They belong to the window and to the
// picture, which is a window of its own at full screen, and go before what
// a focused button or slider would make of them (Space on a button that then
// disables itself would move on and press the next one; a slider takes the
// arrows): the key is looked at before the focused control gets it.
void Frmplayer::buildKeys()
{
    qApp->installEventFilter(this); // goes with this window
    connect(m_player, &MediaPlayer::displaySizeChanged, this, [this](MediaPlayer::DisplaySize size) {
        if (size != MediaPlayer::FullScreen)
            m_sizeOutOfFullScreen = size;
    });
    m_sizeOutOfFullScreen = m_player->displaySize();
}

bool Frmplayer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return QWidget::eventFilter(watched, event);
    auto *widget = static_cast<QWidget *>(watched);
    QWidget *video = m_player->videoWidget();
    if (widget->window() != this && widget->window() != video)
        return QWidget::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->modifiers() & ~Qt::KeypadModifier)
        return QWidget::eventFilter(watched, event);
    switch (key->key()) {
    case Qt::Key_Space: playOrPause(); return true;
    case Qt::Key_Left: seekBy(-SeekStep); return true;
    case Qt::Key_Right: seekBy(SeekStep); return true;
    case Qt::Key_Up: changeVolume(1); return true;
    case Qt::Key_Down: changeVolume(-1); return true;
    case Qt::Key_F: toggleFullScreen(); return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (widget != video)
            break;
        toggleFullScreen();
        return true;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

// What the Play and Pause buttons offer, and nothing while a line says why
// nothing plays.
void Frmplayer::playOrPause()
{
    if (!m_player->message().isEmpty())
        return;
    if (m_player->mediaPlayer()->playbackState() == QMediaPlayer::PlayingState)
        m_player->pause();
    else
        m_player->play();
}

void Frmplayer::seekBy(qint64 ms)
{
    QMediaPlayer *media = m_player->mediaPlayer();
    // As the position slider does: Qt 6.4's GStreamer player seeks an AVI
    // file although it does not report it seekable.
    if (!m_player->message().isEmpty() || media->source().isEmpty())
        return;
    qint64 position = qMax<qint64>(0, media->position() + ms);
    if (media->duration() > 0)
        position = qMin(position, media->duration());
    media->setPosition(position);
}

// Through the volume slider, so that it shows the new volume.
void Frmplayer::changeVolume(int steps)
{
    if (auto *volume = m_player->findChild<QSlider *>(QStringLiteral("volume")))
        volume->setValue(volume->value() + steps * VolumeStep);
}

void Frmplayer::toggleFullScreen()
{
    if (m_player->displaySize() == MediaPlayer::FullScreen)
        m_player->setDisplaySize(MediaPlayer::DisplaySize(m_sizeOutOfFullScreen));
    else
        fullScreen();
}
