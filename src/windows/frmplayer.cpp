#include "windows/frmplayer.h"
#include "platform/application.h"
#include "platform/forms.h"

Frmplayer::Frmplayer(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Frmplayer"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(platform::applicationTitle());
    resize(400, 300);
    platform::registerForm(this, [] {});
}

Frmplayer::~Frmplayer()
{
    emit unloaded();
}
