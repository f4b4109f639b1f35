#pragma once
// The movie player the internal player window is built around: Qt Multimedia
// plays (GStreamer decodes), and this widget adds what the window expects of
// its player: a file name that starts playback at once, its own play, pause
// and stop buttons, a position slider and a volume control, a context menu,
// and display sizes from the file's own size up to full screen.
//
// When a file cannot be played, the video area shows one line naming the file
// and the reason instead of the picture; the player never opens a box. A movie
// that should be playing but whose position has not moved for a few seconds
// is said to be stalled in that line, with Play offered to start it again.

#include <QElapsedTimer>
#include <QString>
#include <QUrl>
#include <QWidget>

class QAction;
class QAudioOutput;
class QLabel;
class QMediaPlayer;
class QMenu;
class QSlider;
class QTimer;
class QToolButton;
class QVideoWidget;

class MediaPlayer : public QWidget
{
    Q_OBJECT
public:
    // How large the picture is shown; the numbers are the player's own.
    enum DisplaySize { OwnSize = 0, HalfSize = 1, DoubleSize = 2, FullScreen = 3, FitToArea = 4 };
    Q_ENUM(DisplaySize)

    // The player's stored settings. The defaults are what the player window
    // uses; the player has no status bar, go-to bar or clip information.
    struct Settings
    {
        bool autoStart = true;           // a file given starts playing from its start
        bool showControls = true;        // play, pause, stop
        bool showPositionControls = true; // position slider and time
        bool showAudioControls = true;   // volume
        bool contextMenu = true;
        bool allowChangeDisplaySize = true;
        DisplaySize displaySize = OwnSize; // at start; full screen comes only on request
        int playCount = 1;               // plays once and stops at the end
        double rate = 1.0;
        float volume = 1.0f;             // the maximum
    };

    explicit MediaPlayer(QWidget *parent = nullptr);
    explicit MediaPlayer(const Settings &settings, QWidget *parent = nullptr);
    ~MediaPlayer() override;

    // Opens `fileName` exactly as given (a relative name is taken from the
    // working folder) and, with autoStart, plays it from its start. Giving a
    // name again, even the same one, starts over.
    void setFileName(const QString &fileName);
    QString fileName() const { return m_fileName; }

    void setDisplaySize(DisplaySize size);
    DisplaySize displaySize() const { return m_displaySize; }

    // The line shown in place of the picture; empty while nothing is wrong.
    // While it is shown, nothing is offered that needs a picture: play, pause,
    // stop and full screen are disabled.
    QString message() const;

    // How long playback may stand still before the player says so.
    static constexpr int StallMs = 5000;

    QMediaPlayer *mediaPlayer() const { return m_player; }
    QVideoWidget *videoWidget() const;

public slots:
    void play();
    void pause();
    void stop();

signals:
    void displaySizeChanged(MediaPlayer::DisplaySize size);
    void messageChanged(const QString &text);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    class VideoSurface;

    void buildControls();
    void buildContextMenu();
    void connectPlayer();
    void showMessage(const QString &text);
    void reportPlayerError(const QString &reason);
    void updateButtons();
    void updateTime();
    void layoutVideo();
    void leftFullScreen();
    void closeMovie();
    void startWhenPictureReady(const QUrl &source);
    bool pictureReady() const;
    void start();
    void watchPlayback();

    Settings m_settings;
    QString m_fileName;
    int m_openMovie = -1; // the movie's file, open while the player has it (Unix)
    QString m_messageText;
    DisplaySize m_displaySize = OwnSize;
    DisplaySize m_sizeBeforeFullScreen = OwnSize;

    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_audio = nullptr;
    QWidget *m_videoArea = nullptr;
    VideoSurface *m_video = nullptr;
    QLabel *m_message = nullptr;
    QWidget *m_positionRow = nullptr;
    QSlider *m_position = nullptr;
    QLabel *m_time = nullptr;
    QWidget *m_buttonRow = nullptr;
    QToolButton *m_play = nullptr;
    QToolButton *m_pause = nullptr;
    QToolButton *m_stop = nullptr;
    QWidget *m_audioControls = nullptr;
    QSlider *m_volume = nullptr;
    QUrl m_pendingSource;              // handed to the decoder once the picture is ready
    QElapsedTimer m_pendingSince;
    QTimer *m_pendingTimer = nullptr;
    QTimer *m_watchdog = nullptr;      // runs while playing
    QElapsedTimer m_sinceMoved;
    qint64 m_lastPosition = -1;
    bool m_stalled = false;
    QMenu *m_menu = nullptr;
    QAction *m_menuPlay = nullptr;
    QAction *m_menuPause = nullptr;
    QAction *m_menuStop = nullptr;
    QAction *m_menuFullScreen = nullptr;
};
