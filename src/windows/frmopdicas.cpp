#include "windows/frmopdicas.h"
#include "platform/application.h"
#include "platform/forms.h"

frmopdicas::frmopdicas(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmopdicas"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(platform::applicationTitle());
    resize(400, 300);
    platform::registerForm(this, [] {});
}

frmopdicas::~frmopdicas()
{
    emit unloaded();
}
