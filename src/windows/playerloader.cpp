#include "windows/playerloader.h"

#include "platform/application.h"
#include "platform/discbundle.h"
#include "platform/discfile.h"
#include "platform/forms.h"
#include "platform/modules.h"
#include "player/playermodule.h"
#include "player/playerwindow.h"
#include "widgets/centring.h"
#include "widgets/designstyle.h"
#include "widgets/mofficeborder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPluginLoader>
#include <QPushButton>

namespace playerloader {
namespace {

QString &fileOverride()
{
    static QString file;
    return file;
}

// The player window when there is no player: the window's heading, its
// player area with one line saying why, and Fullscreen, disabled, as the
// player window shows a movie it cannot play.
class PlayerStandIn : public QWidget
{
public:
    PlayerStandIn(const QString &line, std::function<void()> unloaded)
        : QWidget(nullptr, widgets::FixedWindowFlags), m_unloaded(std::move(unloaded))
    {
        widgets::setUpForm(this, playerwindow::FormName, platform::applicationTitle(), playerwindow::WidthTwips,
                           playerwindow::HeightTwips);

        auto *area = new QWidget(this);
        area->setObjectName(QStringLiteral("MediaPlayer1"));
        area->setGeometry(playerwindow::PlayerPlace);
        area->setAutoFillBackground(true);
        QPalette black = area->palette();
        black.setColor(QPalette::Window, Qt::black);
        black.setColor(QPalette::WindowText, Qt::white);
        area->setPalette(black);

        auto *message = new QLabel(line, area);
        message->setObjectName(QStringLiteral("message"));
        message->setGeometry(area->rect());
        message->setAlignment(Qt::AlignCenter);
        message->setWordWrap(true);
        message->setTextFormat(Qt::PlainText);
        message->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        message->setMargin(8);

        m_fullscreen = new QPushButton(QStringLiteral("Fullscreen"), this);
        m_fullscreen->setObjectName(QStringLiteral("Cmdfsceen"));
        m_fullscreen->setGeometry(playerwindow::FullscreenPlace);
        m_fullscreen->setAutoDefault(false);
        m_fullscreen->setEnabled(false);

        widgets::makeHeadingLabel(this, QString::fromLatin1(playerwindow::Heading), playerwindow::HeadingPlace);

        platform::registerForm(this, [this] {
            widgets::centreWindow(this);
            Mofficeborder::ApplyFlatBorder(m_fullscreen);
        });
    }

    ~PlayerStandIn() override
    {
        if (m_unloaded)
            m_unloaded();
    }

private:
    std::function<void()> m_unloaded;
    QPushButton *m_fullscreen = nullptr;
};

// The module once loaded; it stays loaded for the rest of the run. Answers
// null and says why in `problem` when it cannot be loaded; the next opening
// tries again.
PlayerModule *loadModule(QString *problem)
{
    static PlayerModule *loaded = nullptr;
    static QString loadedFrom;
    const QStringList candidates = moduleCandidates();
    if (loaded && candidates.contains(loadedFrom))
        return loaded;

    // The first place that holds anything under the module's name; a folder
    // or a named pipe there is named as such and never opened.
    QString file;
    platform::DiscFile found;
    for (const QString &candidate : candidates) {
        found = platform::inspectDiscFile(candidate);
        if (found.problem != platform::DiscFile::Missing) {
            file = candidate;
            break;
        }
    }
    if (file.isEmpty()) {
        QStringList folders;
        for (const QString &candidate : candidates)
            folders << QLatin1Char('"') + QDir::toNativeSeparators(QFileInfo(candidate).absolutePath()) + QLatin1Char('"');
        *problem = folders.size() == 1
                       ? QStringLiteral("its module %1 is not in %2").arg(moduleName(), folders.first())
                       : QStringLiteral("its module %1 is neither in %2").arg(moduleName(), folders.join(QLatin1String(" nor in ")));
        return nullptr;
    }
    const QString shown = QDir::toNativeSeparators(file);
    if (!found.ok()) {
        *problem = QStringLiteral("its module \"%1\" cannot be used: %2").arg(shown, found.reason);
        return nullptr;
    }

    QPluginLoader loader(file);
    // Every symbol is resolved now: a module that needs what this program does
    // not offer fails here, with the reason, not later in the middle of a call.
    loader.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    QObject *instance = loader.instance();
    if (!instance) {
        *problem = QStringLiteral("its module \"%1\" cannot be loaded: %2").arg(shown, platform::moduleLoadFailure(loader));
        return nullptr;
    }
    auto *module = qobject_cast<PlayerModule *>(instance);
    if (!module) {
        *problem = QStringLiteral("its module \"%1\" is a Qt plugin, but not the player").arg(shown);
        return nullptr;
    }
    loaded = module;
    loadedFrom = file;
    return module;
}

} // namespace

QString moduleName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("trevlin-player.dll");
#else
    return QStringLiteral("trevlin-player.so");
#endif
}

QStringList moduleCandidates()
{
    if (!fileOverride().isEmpty())
        return {fileOverride()};
    // The program's own file, also when the dynamic loader started it. Without
    // /proc that is unknown: the disc's autorun names the disc's folder, which
    // holds the program.
    const QString program = platform::programFile();
    const QString folder = !program.isEmpty() ? QFileInfo(program).absolutePath() : platform::applicationFolder();
    const QDir dir(folder);
    QStringList candidates{dir.filePath(moduleName()),
                           QDir::cleanPath(dir.filePath(QStringLiteral(TREVLIN_MODULES_FROM_BINDIR "/") + moduleName()))};
    candidates.removeDuplicates();
    return candidates;
}

QWidget *createPlayerWindow(std::function<void()> unloaded)
{
    QString problem;
    if (PlayerModule *module = loadModule(&problem)) {
        if (QWidget *window = module->createWindow(unloaded, &problem))
            return window;
    }
    return new PlayerStandIn(QStringLiteral("Cannot open the internal player: %1.").arg(problem), std::move(unloaded));
}

void setModuleFile(const QString &file)
{
    fileOverride() = file;
}

} // namespace playerloader
