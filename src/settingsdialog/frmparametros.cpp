#include "settingsdialog/frmparametros.h"
#include "platform/application.h"
#include "platform/forms.h"

Frmparametros::Frmparametros(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Frmparametros"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(platform::applicationTitle());
    resize(400, 300);
    platform::registerForm(this, [] {});
}

Frmparametros::~Frmparametros()
{
    emit unloaded();
}
