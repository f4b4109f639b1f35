#include "windows/frmacerca.h"
#include "platform/application.h"
#include "platform/forms.h"

frmAcerca::frmAcerca(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmAcerca"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(platform::applicationTitle());
    resize(400, 300);
    platform::registerForm(this, [] {});
}

frmAcerca::~frmAcerca()
{
    emit unloaded();
}
