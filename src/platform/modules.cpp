#include "platform/modules.h"

#include <QPluginLoader>

#include <cstdlib>
#include <cxxabi.h>

namespace platform {

QString moduleLoadFailure(const QPluginLoader &loader)
{
    // Qt says "Cannot load library FILE: (FILE: REASON)" when the system's
    // loader refused the file, and "Failed to extract plugin meta data from
    // 'FILE': 'FILE' is not ..." or "The file 'FILE' is not ..." when Qt
    // did, reading it.
    const QString file = loader.fileName();
    const QString quoted = QLatin1Char('\'') + file + QLatin1Char('\'');
    QString reason = loader.errorString().trimmed();
    const QString prefix = QStringLiteral("Cannot load library %1: ").arg(file);
    if (reason.startsWith(prefix))
        reason = reason.mid(prefix.size());
    if (reason.startsWith(QLatin1Char('(')) && reason.endsWith(QLatin1Char(')')))
        reason = reason.mid(1, reason.size() - 2);
    if (reason.startsWith(file + QLatin1String(": ")))
        reason = reason.mid(file.size() + 2);
    reason.remove(QStringLiteral("Failed to extract plugin meta data from %1: ").arg(quoted));
    reason.replace(QStringLiteral("The file %1").arg(quoted), QStringLiteral("it"));
    reason.replace(quoted, QStringLiteral("it"));
    if (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);

    // A symbol the module misses is named as its source names it.
    const QLatin1String undefined("undefined symbol: ");
    if (reason.startsWith(undefined)) {
        const QByteArray symbol = reason.mid(undefined.size()).toLatin1();
        int status = -1;
        char *name = abi::__cxa_demangle(symbol.constData(), nullptr, nullptr, &status);
        if (status == 0 && name)
            reason = undefined + QString::fromLatin1(name);
        std::free(name);
    }
    return reason;
}

} // namespace platform
