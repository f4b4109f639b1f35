// Linked into every program that loads the player module (the program, and
// the tests and benchmarks that open the player as it does): names each of
// the program's services the module uses, so that each is linked in even
// where the program itself does not call it. services.list puts them into the
// program's dynamic symbol table. A service missing here makes the module
// fail to load, with the symbol's name on the player window's line.
#include "platform/application.h"
#include "platform/discfile.h"
#include "platform/forms.h"
#include "platform/modules.h"
#include "settings/moduleini.h"
#include "widgets/centring.h"
#include "widgets/designstyle.h"
#include "widgets/mofficeborder.h"

namespace {

[[gnu::used]] const void *const playerModuleServices[] = {
    reinterpret_cast<const void *>(&ReadINI),
    reinterpret_cast<const void *>(&platform::applicationTitle),
    reinterpret_cast<const void *>(&platform::inspectDiscFile),
#ifdef Q_OS_UNIX
    reinterpret_cast<const void *>(&platform::openDiscFile),
    reinterpret_cast<const void *>(&platform::openFileName),
#endif
    reinterpret_cast<const void *>(&platform::registerForm),
    reinterpret_cast<const void *>(&platform::moduleLoadFailure),
    reinterpret_cast<const void *>(&widgets::centreWindow),
    reinterpret_cast<const void *>(&widgets::makeHeadingLabel),
    reinterpret_cast<const void *>(&widgets::setUpForm),
    reinterpret_cast<const void *>(&Mofficeborder::ApplyFlatBorder),
};

} // namespace
