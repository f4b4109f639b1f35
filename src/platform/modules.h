#pragma once
// Loading a module (a plugin library) at run time.

#include <QString>

class QPluginLoader;

namespace platform {

// Why `loader` could not load its file, in a form that follows a text naming
// the file already: "libfoo.so.1: cannot open shared object file: No such
// file or directory", "undefined symbol: platform::something()", "it is not
// a Qt plugin (metadata not found)". No full stop at the end.
QString moduleLoadFailure(const QPluginLoader &loader);

} // namespace platform
