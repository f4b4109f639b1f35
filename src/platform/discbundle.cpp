#include "platform/discbundle.h"

#ifdef Q_OS_WIN
#include "platform/windows_win.h"
#endif

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace platform {

QString programFile()
{
#ifdef Q_OS_WIN
    return win::programFile();
#else
    // The mapping that holds this very function is the program's file.
    const auto here = reinterpret_cast<quintptr>(&programFile);
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (maps.open(QIODevice::ReadOnly | QIODevice::Text)) {
        // "start-end perms offset device inode   path". The file reports no
        // size, so read until a read brings nothing.
        for (QByteArray line = maps.readLine(); !line.isEmpty(); line = maps.readLine()) {
            line = line.trimmed();
            const qsizetype dash = line.indexOf('-');
            const qsizetype space = line.indexOf(' ');
            const qsizetype path = line.indexOf('/');
            if (dash <= 0 || space <= dash || path <= space)
                continue;
            bool startOk = false;
            bool endOk = false;
            const quintptr start = line.left(dash).toULongLong(&startOk, 16);
            const quintptr end = line.mid(dash + 1, space - dash - 1).toULongLong(&endOk, 16);
            if (startOk && endOk && start <= here && here < end) {
                QString file = QFile::decodeName(line.mid(path));
                file.remove(QRegularExpression(QStringLiteral(" \\(deleted\\)$")));
                return file;
            }
        }
    }
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
#endif
}

bool useDiscBundle(const QString &programFolder, const QString &cacheFolder)
{
    const QDir bundle(programFolder + QStringLiteral("/.trevlin"));
    const QString gstPlugins = bundle.filePath(QStringLiteral("gstreamer-1.0"));
    if (!QFileInfo(gstPlugins).isDir())
        return false;

    // GStreamer: only the disc's plugins (never the viewer's own, which the
    // disc's GStreamer would refuse or crash on), scanned by the disc's
    // scanner into a registry of the disc's own.
    const QString scanner = bundle.filePath(QStringLiteral("libexec/gst-plugin-scanner"));
    const QString registryFolder = cacheFolder + QStringLiteral("/trevlin");
    QDir().mkpath(registryFolder);
    qputenv("GST_PLUGIN_SYSTEM_PATH_1_0", QFile::encodeName(gstPlugins));
    qputenv("GST_PLUGIN_SCANNER_1_0", QFile::encodeName(scanner));
    qputenv("GST_REGISTRY_1_0", QFile::encodeName(registryFolder + QStringLiteral("/gstreamer-1.0-registry.bin")));
    qunsetenv("GST_PLUGIN_PATH");
    qunsetenv("GST_PLUGIN_PATH_1_0");
    // A stick that keeps no exec bits cannot start the scanner: scan in the
    // program itself rather than through the viewer's scanner.
    if (QFileInfo(scanner).isExecutable())
        qunsetenv("GST_REGISTRY_FORK");
    else
        qputenv("GST_REGISTRY_FORK", "no");

    // Qt: only the disc's plugins. qt.conf beside the program says the same,
    // but Qt looks for it beside the executable, which is the dynamic loader
    // when that started the program.
    qunsetenv("QT_PLUGIN_PATH");
    qunsetenv("QT_QPA_PLATFORM_PLUGIN_PATH");
    qunsetenv("QT_MEDIA_BACKEND");
    QCoreApplication::setLibraryPaths({bundle.filePath(QStringLiteral("plugins"))});
    return true;
}

} // namespace platform
