#include "player/frmplayer.h"

#include "platform/application.h"
#include "platform/forms.h"
#include "settings/moduleini.h"
#include "widgets/centring.h"
#include "widgets/designstyle.h"
#include "widgets/mofficeborder.h"
#include "player/mediaplayer.h"
#include "player/playerwindow.h"

#include <QPushButton>

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
