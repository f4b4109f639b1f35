// A player module from another build of the program: it needs a service this
// program does not offer. Opening the player must say so, never stop the
// program in the middle of a call.
#include "player/playermodule.h"

#include <QObject>

namespace platform {
void serviceOfAnotherBuild();
}

class OtherPlayer : public QObject, public PlayerModule
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID PlayerModule_iid)
    Q_INTERFACES(PlayerModule)
public:
    QWidget *createWindow(std::function<void()>, QString *) override
    {
        platform::serviceOfAnotherBuild();
        return nullptr;
    }
};

#include "otherplayer.moc"
