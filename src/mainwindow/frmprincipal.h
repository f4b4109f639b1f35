#pragma once
// The main menu window: the movie's title and covers, the menu bar, the
// action toolbar and the status bar. It opens the secondary windows (one at a
// time, hiding itself) and shows itself again when they close.

#include "platform/forms.h"

#include <QMainWindow>

class QAction;
class QImage;
class CoverLoader;
class QGroupBox;
class QLabel;
class QToolBar;
class Frmparametros;
class frmAcerca;
class frmopdicas;
namespace widgets { class TabStrip; }

class frmprincipal : public QMainWindow
{
    Q_OBJECT
public:
    // Creates the window and runs its load step (the cover tabs); not shown.
    explicit frmprincipal(QWidget *parent = nullptr);

    // The toolbar's click handler: dispatches on the button's index alone
    // (1, 3, 5, 7, 9 run an action; any other index does nothing).
    void Toolbar1_ButtonClick(int index);

    // The status bar's one line of text.
    QString statusText() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildToolbar(QWidget *container);
    void buildMenus();
    void activate();
    void loadCover(QLabel *image, const QString &path);
    void showCover(QLabel *image, const QString &path, const QImage &picture, const QString &problem);
    void offerActionsOfTheDisc();
    void sayWhetherTheFolderHasSettings();
    void setStatusText(const QString &text);
    void switchCovers();
    void confirmExit();
    void showAgain();
    template <typename T>
    void openSecondary(platform::FormHolder<T> &holder);

    QLabel *m_status = nullptr;
    QLabel *m_noSettings = nullptr; // beside the status text while the folder has no settings file
    QGroupBox *m_framcapa = nullptr;
    QGroupBox *m_framtit = nullptr;
    QToolBar *m_toolbar = nullptr;
    QWidget *m_surface = nullptr;
    widgets::TabStrip *m_tabs = nullptr;
    QLabel *m_covers[2] = {};
    QLabel *m_titles[2] = {};
    QAction *m_param = nullptr;
    CoverLoader *m_coverLoader = nullptr; // decodes the covers away from the window's thread

    platform::FormHolder<frmAcerca> m_about;
    platform::FormHolder<frmopdicas> m_hints;
    platform::FormHolder<Frmparametros> m_settings;
    platform::FormHolder<QWidget> m_player; // the player module's window, or a stand-in saying why there is none
};
