#pragma once
// Frmplayer: the internal player window. It plays the movie named in the
// settings file (path, movie), and nothing else: no subtitles. Each activation
// centres the window and hands the movie to the player again, which plays it
// from its start; closing the window ends playback.

#include <QWidget>

class MediaPlayer;
class QPushButton;

class Frmplayer : public QWidget
{
    Q_OBJECT
public:
    explicit Frmplayer(QWidget *parent = nullptr);
    ~Frmplayer() override;

    MediaPlayer *player() const { return m_player; }

signals:
    void unloaded();

private:
    void activate();
    void fullScreen();

    MediaPlayer *m_player = nullptr;
    QPushButton *m_fullscreen = nullptr;
};
