#pragma once
// Frmplayer: the internal player window. It plays the movie named in the
// settings file (path, movie), and nothing else: no subtitles. Each activation
// centres the window and hands the movie to the player again, which plays it
// from its start; closing the window ends playback.
//
// Keys, wherever the focus is in the window or on the full-screen picture:
// Space plays and pauses, Left and Right seek 5 seconds, Up and Down change
// the volume, F (or Enter on the picture) toggles full screen; Esc leaves
// full screen.

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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void activate();
    void fullScreen();
    void buildKeys();
    void playOrPause();
    void seekBy(qint64 ms);
    void changeVolume(int steps);
    void toggleFullScreen();

    MediaPlayer *m_player = nullptr;
    int m_sizeOutOfFullScreen = 0; // MediaPlayer::DisplaySize the picture goes back to
    QPushButton *m_fullscreen = nullptr;
};
