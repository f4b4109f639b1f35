// The module's entry: the plugin object the program finds with QPluginLoader.
#include "player/frmplayer.h"
#include "player/mediastack.h"
#include "player/playermodule.h"

#include <QObject>

class PlayerPlugin : public QObject, public PlayerModule
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID PlayerModule_iid)
    Q_INTERFACES(PlayerModule)
public:
    QWidget *createWindow(std::function<void()> unloaded, QString *problem) override
    {
        *problem = mediastack::problem();
        if (!problem->isEmpty())
            return nullptr;
        auto *window = new Frmplayer;
        QObject::connect(window, &Frmplayer::unloaded, window, std::move(unloaded));
        return window;
    }
};

#include "playerplugin.moc"
