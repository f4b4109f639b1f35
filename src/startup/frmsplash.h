#pragma once
// frmSplash: the window the program starts in. Two pictures on a dark ground
// while the main window is built behind it, then the hand-over to the main
// window: after a counted wait, or at once on a key press or a click on the frame.

#include <QWidget>
#include <functional>

class QFrame;
class QTimer;

class frmSplash : public QWidget
{
    Q_OBJECT
public:
    // Gives the main window, creating it (hidden, which runs its load step)
    // the first time. The splash knows the main window only through this.
    using MainWindow = std::function<QWidget *()>;

    // Passes of the wait loop: the counter runs from 0 to 64999.
    static constexpr int WaitPasses = 65000;

    explicit frmSplash(MainWindow mainWindow, QWidget *parent = nullptr);

    // The load step: centre the splash, run the wait loop, hand over. Returns
    // once the main window has been shown; the splash is closed by then.
    void load();

    // The wait loop's counter (kept in Timer1's interval): the number of passes
    // completed so far.
    int counter() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    // The window system cannot close the splash while it waits (there is no
    // close box, but a window manager's close shortcut would leave the program
    // with no window at all); only the hand-over closes it.
    void closeEvent(QCloseEvent *event) override;

private:
    void handOver();

    MainWindow m_mainWindow;
    QFrame *m_frame = nullptr;
    QTimer *m_timer = nullptr;
    bool m_handedOver = false;
    bool m_framePressed = false;
};
