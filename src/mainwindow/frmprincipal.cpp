#include "mainwindow/frmprincipal.h"

#include "mainwindow/coverloader.h"
#include "mainwindow/launchactions.h"
#include "platform/application.h"
#include "platform/twips.h"
#include "settings/moduleini.h"
#include "settingsdialog/frmparametros.h"
#include "widgets/centring.h"
#include "widgets/designstyle.h"
#include "widgets/modulemsgbox.h"
#include "widgets/tabstrip.h"
#include "windows/frmacerca.h"
#include "windows/frmopdicas.h"
#include "windows/playerloader.h"

#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>

using platform::twips;
using platform::twipsRect;

namespace {

constexpr int ClientWidth = 7200;
constexpr int ClientHeight = 7725;
constexpr int StatusTop = 7470;
constexpr int CoverLeft = 240;

QFrame *makeLine(QWidget *parent, const char *name, int top, const QColor &colour)
{
    auto *line = new QFrame(parent);
    line->setObjectName(QLatin1String(name));
    line->setGeometry(0, twips(top), twips(7680), 1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    return line;
}

} // namespace

frmprincipal::frmprincipal(QWidget *parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                              | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_player([self = QPointer<frmprincipal>(this)] {
        return playerloader::createPlayerWindow([self] {
            if (self)
                self->showAgain();
        });
    })
{
    setObjectName(QStringLiteral("frmprincipal"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(widgets::windowIcon());
    buildControls();
    buildMenus();
    setFixedSize(sizeHint());

    // Load step: the cover tabs, both with the one icon of the strip's list.
    m_tabs->attachImageList({{QIcon(widgets::picture(QStringLiteral(":/trevlin/tabs/cover.png")))}});
    m_tabs->addTab(QStringLiteral("Front"), 0, true, QStringLiteral("Front"), 1000);
    m_tabs->addTab(QStringLiteral("Back"), 0, true, QStringLiteral("Back"), 2000);

    // The covers are decoded away from the window's thread.
    m_coverLoader = new CoverLoader(this);
    connect(m_coverLoader, &CoverLoader::stillLoading, this, [this](int index, const QString &path) {
        m_covers[index]->clear();
        m_covers[index]->setText(QStringLiteral("Loading\n%1").arg(path));
    });
    connect(m_coverLoader, &CoverLoader::loaded, this,
            [this](int index, const QString &path, const QImage &picture, const QString &problem) {
                showCover(m_covers[index], path, picture, problem);
            });

    platform::registerForm(this, [this] { activate(); });
}

void frmprincipal::buildControls()
{
    m_surface = new QWidget(this);
    m_surface->setObjectName(QStringLiteral("surface"));
    m_surface->setFixedSize(twips(ClientWidth), twips(StatusTop));
    m_surface->setMouseTracking(true);
    m_surface->installEventFilter(this);
    setCentralWidget(m_surface);

    // "Options" frame with the action toolbar.
    auto *frame1 = new QGroupBox(QStringLiteral("Options"), m_surface);
    frame1->setObjectName(QStringLiteral("Frame1"));
    frame1->setGeometry(twipsRect(4530, 1560, 2325, 3765));
    auto *picture1 = new QWidget(frame1);
    picture1->setObjectName(QStringLiteral("Picture1"));
    picture1->setGeometry(twipsRect(150, 270, 2115, 3465));
    buildToolbar(picture1);

    // The status bar with its one panel.
    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("Status1"));
    status->setSizeGripEnabled(false);
    status->setFixedHeight(twips(ClientHeight - StatusTop));
    m_status = new QLabel(QStringLiteral("TrevLIN"), status);
    m_status->setObjectName(QStringLiteral("Status1_panel1"));
    m_status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_status->setTextFormat(Qt::PlainText);
    status->addWidget(m_status, 1);
    m_noSettings = new QLabel(QStringLiteral("No trevlin.INI here yet: Settings makes one"), status);
    m_noSettings->setObjectName(QStringLiteral("Status1_nosettings"));
    m_noSettings->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_noSettings->setTextFormat(Qt::PlainText);
    m_noSettings->hide();
    status->addPermanentWidget(m_noSettings);
    setStatusBar(status);

    // The cover tabs enclose the "Movie Covers" frame; both covers share one place.
    m_tabs = new widgets::TabStrip(m_surface);
    m_tabs->setObjectName(QStringLiteral("Tabcapas1"));
    m_tabs->setGeometry(twipsRect(150, 720, 3975, 5415));
    m_tabs->setFont(widgets::designFont(QStringLiteral("MS Sans Serif"), 8.25));
    m_framcapa = new QGroupBox(QStringLiteral("Movie Covers"), m_surface);
    m_framcapa->setObjectName(QStringLiteral("Framcapa"));
    m_framcapa->setGeometry(twipsRect(390, 1200, 3495, 4695));
    m_framcapa->setMouseTracking(true);
    m_framcapa->installEventFilter(this);
    for (int i = 1; i >= 0; --i) { // the front cover is drawn above the back one
        auto *cover = new QLabel(m_framcapa);
        cover->setObjectName(QStringLiteral("piccapa_%1").arg(i));
        cover->setProperty("index", i);
        cover->setGeometry(twipsRect(CoverLeft, 360, 3015, 4095));
        cover->setFrameStyle(QFrame::Box | QFrame::Plain);
        cover->setScaledContents(true);
        cover->setAlignment(Qt::AlignCenter);
        cover->setWordWrap(true);
        cover->setTextFormat(Qt::PlainText); // the note names a path as written
        cover->setAutoFillBackground(true);
        m_covers[i] = cover;
    }
    connect(m_tabs, &widgets::TabStrip::tabClick, this, [this] { switchCovers(); });

    // "Movie Title" frame: two overlapping labels draw one shadowed title.
    m_framtit = new QGroupBox(QStringLiteral("Movie Title"), m_surface);
    m_framtit->setObjectName(QStringLiteral("Framtit"));
    m_framtit->setGeometry(twipsRect(120, 6300, 6975, 1005));
    m_framtit->setMouseTracking(true);
    m_framtit->installEventFilter(this);
    const QFont titleFont = widgets::designFont(QStringLiteral("Arial Black"), 15.75, true, true);
    const QRect titleGeometry[2] = {twipsRect(120, 360, 6735, 405), twipsRect(90, 300, 6735, 405)};
    for (int i = 1; i >= 0; --i) {
        auto *title = new QLabel(m_framtit);
        title->setObjectName(QStringLiteral("Lbltitulo_%1").arg(i));
        title->setProperty("index", i);
        title->setGeometry(titleGeometry[i]);
        title->setAlignment(Qt::AlignCenter);
        title->setFont(titleFont);
        title->setTextFormat(Qt::PlainText); // the title as the settings file holds it
        if (i == 0) {
            QPalette palette = title->palette();
            palette.setColor(QPalette::WindowText, palette.color(QPalette::HighlightedText));
            title->setPalette(palette);
        }
        title->installEventFilter(this);
        m_titles[i] = title;
    }

    widgets::makeHeadingLabel(m_surface, QStringLiteral(" Main Menu"), twipsRect(120, 240, 6975, 375));
    makeLine(m_surface, "Line1_0", 120, Qt::white);
    makeLine(m_surface, "Line1_1", 0, QColor(128, 128, 128));
}

void frmprincipal::buildToolbar(QWidget *container)
{
    m_toolbar = new QToolBar(container);
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setOrientation(Qt::Vertical);
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_toolbar->setIconSize(QSize(24, 24));
    m_toolbar->setGeometry(0, 0, twips(2025), container->height());
    m_toolbar->setMouseTracking(true);
    m_toolbar->installEventFilter(this);

    struct Button { int index; const char *key, *caption, *shortCaption, *tip, *icon; };
    static const Button buttons[] = {
        {1, "view", "View Movie", nullptr, "Start the Movie", "view"},
        {3, "instcodec", "Install Codecs", nullptr, "Install the required DivX Codecs", "codecs"},
        {5, "instmdvd", "Install MicroDVD", "Install\nMicroDVD", "Install MicroDVD Player", "microdvd"},
        {7, "instmp", "Install MediaPlayer", "Install\nMediaPlayer", "Install Internal Player (Windows MediaPlayer)", "mediaplayer"},
        {9, "regac3", "Register Ac3 Sound Filters", "Register Ac3\nSound Filters", "Register Ac3 filters (Sometimes necessary)", "ac3"},
    };
    // Every part of the toolbar, separators included, names it in the status
    // bar when the mouse moves onto it.
    const auto track = [this](QAction *action) {
        QWidget *widget = m_toolbar->widgetForAction(action);
        if (widget) {
            widget->setMouseTracking(true);
            widget->installEventFilter(this);
        }
        return widget;
    };
    for (const Button &b : buttons) {
        if (b.index > 1) {
            QAction *separator = m_toolbar->addSeparator();
            separator->setProperty("index", b.index - 1);
            track(separator);
        }
        QAction *action = m_toolbar->addAction(
            QIcon(widgets::picture(QStringLiteral(":/trevlin/toolbar/%1.png").arg(QLatin1String(b.icon)))),
            QLatin1String(b.caption));
        action->setObjectName(QStringLiteral("Toolbar1_button%1").arg(b.index));
        action->setProperty("index", b.index);
        action->setProperty("key", QLatin1String(b.key));
        action->setToolTip(QLatin1String(b.tip));
        // A long caption breaks over two lines beside its icon; the action
        // keeps its one-line name for menus and screen readers.
        if (b.shortCaption)
            action->setIconText(QLatin1String(b.shortCaption));
        if (QWidget *button = track(action)) {
            button->setAccessibleName(QLatin1String(b.caption));
            button->setFixedWidth(m_toolbar->width() - 2 * m_toolbar->layout()->contentsMargins().left());
        }
    }
    connect(m_toolbar, &QToolBar::actionTriggered, this,
            [this](QAction *action) { Toolbar1_ButtonClick(action->property("index").toInt()); });
}

void frmprincipal::buildMenus()
{
    auto add = [this](QMenu *menu, const char *name, const QString &caption, const QKeySequence &shortcut,
                      auto handler) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(shortcut);
        connect(action, &QAction::triggered, this, handler);
        addAction(action); // the shortcut works wherever the focus is in the window
        return action;
    };
    auto separator = [](QMenu *menu, const char *name) { menu->addSeparator()->setObjectName(QLatin1String(name)); };
    auto submenu = [](QWidget *parent, const char *name, const QString &caption) {
        auto *menu = new QMenu(caption, parent);
        menu->setObjectName(QLatin1String(name));
        menu->menuAction()->setObjectName(QLatin1String(name));
        return menu;
    };

    QMenuBar *bar = menuBar();
    QMenu *menu = submenu(bar, "menu", QStringLiteral("&Menu"));
    QMenu *opcoes = submenu(menu, "opcoes", QStringLiteral("Options"));
    add(opcoes, "verfilme", QStringLiteral("View Movie"), QKeySequence(Qt::CTRL | Qt::Key_V), [this] { launch::viewMovie(this); });
    separator(opcoes, "separador1");
    QMenu *extras = submenu(opcoes, "extras", QStringLiteral("Extras"));
    add(extras, "instcodec", QStringLiteral("Install Codecs"), QKeySequence(Qt::CTRL | Qt::Key_I), [this] { launch::installCodecs(this); });
    separator(extras, "separador2");
    add(extras, "instmdvdp", QStringLiteral("Install MicroDVD"), QKeySequence(Qt::CTRL | Qt::Key_M),
        [this] { launch::installMicroDvd(this, launch::Spelling::Menu); });
    separator(extras, "separador4");
    add(extras, "inswmp", QStringLiteral("Install MediaPlayer"), QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { launch::installMediaPlayer(this); });
    separator(extras, "separador5");
    add(extras, "regfilter", QStringLiteral("Register Ac3 filters"), QKeySequence(Qt::CTRL | Qt::Key_R), [this] { launch::registerAc3Filters(this); });
    opcoes->addMenu(extras);
    menu->addMenu(opcoes);
    separator(menu, "separador6");
    add(menu, "sair", QStringLiteral("Exit"), QKeySequence(Qt::CTRL | Qt::Key_S), [this] { confirmExit(); });
    bar->addMenu(menu);

    QMenu *funcoes = submenu(bar, "funcoes", QStringLiteral("&Functions"));
    add(funcoes, "playerint", QStringLiteral("Internal Player"), QKeySequence(Qt::CTRL | Qt::Key_L), [this] { openSecondary(m_player); });
    separator(funcoes, "separador7");
    m_param = add(funcoes, "param", QStringLiteral("Settings"), QKeySequence(Qt::CTRL | Qt::Key_D), [this] { openSecondary(m_settings); });
    bar->addMenu(funcoes);

    QMenu *ajuda = submenu(bar, "ajuda", QStringLiteral("&Help"));
    add(ajuda, "opdicas", QStringLiteral("Hints and Tips"), QKeySequence(Qt::Key_F1), [this] { openSecondary(m_hints); });
    separator(ajuda, "separador3");
    add(ajuda, "acerca", QStringLiteral("About Trevlin"), QKeySequence(Qt::CTRL | Qt::Key_A), [this] { openSecondary(m_about); });
    bar->addMenu(ajuda);
}

void frmprincipal::activate()
{
    widgets::centreWindow(this);
    setWindowTitle(platform::applicationTitle());
    loadCover(m_covers[0], ReadINI(QStringLiteral("path"), QStringLiteral("frontcover")));
    loadCover(m_covers[1], ReadINI(QStringLiteral("path"), QStringLiteral("backcover")));
    for (QLabel *title : {m_titles[0], m_titles[1]}) {
        QFont font = title->font();
        font.setPointSizeF(16);
        font.setBold(true);
        title->setFont(font);
    }
    const QString title = ReadINI(QStringLiteral("main"), QStringLiteral("Title"));
    m_titles[0]->setText(title);
    m_titles[1]->setText(title);
    const QString lock = ReadINI(QStringLiteral("settings"), QStringLiteral("blockset"));
    if (lock == QLatin1String("yes"))
        m_param->setEnabled(false);
    else if (lock == QLatin1String("no"))
        m_param->setEnabled(true);
    offerActionsOfTheDisc();
    sayWhetherTheFolderHasSettings();
}

// An action whose settings entry is empty has nothing to start: it is not
// offered, in the menu or on the toolbar. Register Ac3 filters always is: an
// empty prefix starts the registration tool found on the search path.
void frmprincipal::offerActionsOfTheDisc()
{
    const struct
    {
        const char *menuEntry;
        int button;
        const char *key;
    } actions[] = {
        {"verfilme", 1, "microdvdexe"}, {"instcodec", 3, "codecs"}, {"instmdvdp", 5, "microdvd"}, {"inswmp", 7, "mediaplayer"},
    };
    for (const auto &action : actions) {
        const bool offered = !ReadINI(QStringLiteral("path"), QLatin1String(action.key)).trimmed().isEmpty();
        findChild<QAction *>(QLatin1String(action.menuEntry))->setEnabled(offered);
        findChild<QAction *>(QStringLiteral("Toolbar1_button%1").arg(action.button))->setEnabled(offered);
    }
}

// A disc folder without a settings file is where a new disc starts: the
// status bar says so, and how to make one, until the file is there.
void frmprincipal::sayWhetherTheFolderHasSettings()
{
    m_noSettings->setVisible(!QFileInfo::exists(settingsFilePath()));
}

// Starts loading the picture named by `path` into the image, decoded to the
// size it is shown at, away from the window's thread; the image keeps what it
// shows until the picture or a note comes (after a moment it says it is
// loading). An empty path leaves it empty at once.
void frmprincipal::loadCover(QLabel *image, const QString &path)
{
    const int index = image->property("index").toInt();
    if (path.isEmpty()) {
        m_coverLoader->cancel(index);
        showCover(image, path, QImage(), QString());
        return;
    }
    image->setProperty("loading", true);
    m_coverLoader->load(index, path, image->contentsRect().size() * image->devicePixelRatioF());
}

// Shows the picture stretched over the image; a picture that cannot be shown
// leaves the image empty with a short note naming the file and saying why.
void frmprincipal::showCover(QLabel *image, const QString &path, const QImage &picture, const QString &problem)
{
    image->setProperty("loading", false);
    image->clear();
    image->setToolTip(QString());
    if (path.isEmpty())
        return;
    if (problem.isEmpty()) {
        QPixmap pixmap = QPixmap::fromImage(picture);
        pixmap.setDevicePixelRatio(image->devicePixelRatioF());
        image->setPixmap(pixmap);
        return;
    }
    image->setText(QStringLiteral("Cannot show\n%1\n(%2)").arg(path, problem));
    image->setToolTip(Qt::convertFromPlainText(path, Qt::WhiteSpaceNoWrap));
}

void frmprincipal::Toolbar1_ButtonClick(int index)
{
    switch (index) {
    case 1: launch::viewMovie(this); break;
    case 3: launch::installCodecs(this); break;
    case 5: launch::installMicroDvd(this, launch::Spelling::Toolbar); break;
    case 7: launch::installMediaPlayer(this); break;
    case 9: launch::registerAc3Filters(this); break;
    default: break;
    }
}

QString frmprincipal::statusText() const
{
    return m_status->text();
}

void frmprincipal::setStatusText(const QString &text)
{
    m_status->setText(text);
}

// The status bar names the area under the mouse: the window's own surface,
// either frame's own surface (not its children), or the toolbar and its
// buttons. A click on either title label names the title.
bool frmprincipal::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove) {
        auto *widget = static_cast<QWidget *>(watched);
        if (watched == m_toolbar || widget->parentWidget() == m_toolbar) {
            setStatusText(QStringLiteral("Program Options"));
        } else if (watched == m_surface || watched == m_framcapa || watched == m_framtit) {
            const QPoint at = static_cast<QMouseEvent *>(event)->position().toPoint();
            if (!widget->childAt(at)) {
                if (watched == m_surface)
                    setStatusText(QStringLiteral("Trevlin"));
                else if (watched == m_framcapa)
                    setStatusText(QStringLiteral("Movie Covers"));
                else
                    setStatusText(QStringLiteral("Movie Tiltle"));
            }
        }
    } else if (event->type() == QEvent::MouseButtonPress && (watched == m_titles[0] || watched == m_titles[1])) {
        setStatusText(QStringLiteral("Movie Title"));
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmprincipal::switchCovers()
{
    widgets::switchPages(m_tabs, {m_covers[0], m_covers[1]}, CoverLeft);
}

void frmprincipal::confirmExit()
{
    const int answer = ModuleMSGbox::MessageBox(this, QStringLiteral("Do you really want to quit?"),
                                                QStringLiteral("Trevlin"),
                                                ModuleMSGbox::MB_YESNO | ModuleMSGbox::MB_ICONQUESTION);
    if (answer == ModuleMSGbox::IDYES)
        platform::endProgram();
}

void frmprincipal::showAgain()
{
    platform::showForm(this);
}

template <typename T>
void frmprincipal::openSecondary(platform::FormHolder<T> &holder)
{
    const bool fresh = !holder.existing();
    T *window = holder.get();
    // The player's window comes from its module and is told when it is made.
    if constexpr (requires { &T::unloaded; }) {
        if (fresh)
            connect(window, &T::unloaded, this, &frmprincipal::showAgain);
    }
    platform::showForm(window);
    hide();
}
