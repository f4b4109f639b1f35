#include "player/mediastack.h"

#include "platform/modules.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QPluginLoader>
#include <QStringList>

#ifndef Q_OS_WIN
#include <gst/gst.h>
#endif

namespace mediastack {
namespace {

// Qt's media backends: plugins of the "multimedia" kind in Qt's plugin
// folders, in the order Qt finds them, each with its key ("gstreamer").
struct Backend
{
    QString key;
    QString file;
};

QList<Backend> backends()
{
    QList<Backend> found;
    for (const QString &folder : QCoreApplication::libraryPaths()) {
        const QDir dir(folder + QStringLiteral("/multimedia"));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            const QPluginLoader plugin(dir.filePath(name));
            const QJsonObject meta = plugin.metaData();
            if (meta.value(QLatin1String("IID")).toString() != QLatin1String("org.qt-project.Qt.QPlatformMediaPlugin"))
                continue;
            const QJsonArray keys = meta.value(QLatin1String("MetaData")).toObject().value(QLatin1String("Keys")).toArray();
            for (const QJsonValue &key : keys)
                found.append({key.toString(), plugin.fileName()});
        }
    }
    return found;
}

// The backend Qt 6.4 takes: the one QT_MEDIA_BACKEND names, else the first
// found, passing over its FFmpeg preview when there is another.
QString chosenKey(const QList<Backend> &found)
{
    QString key = qEnvironmentVariable("QT_MEDIA_BACKEND");
    if (key.isEmpty() && !found.isEmpty()) {
        key = found.first().key;
        if (key == QLatin1String("ffmpeg") && found.size() > 1)
            key = found.at(1).key;
    }
    return key;
}

QString withoutFullStop(QString text)
{
    text = text.trimmed();
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

#ifndef Q_OS_WIN
// What the GStreamer backend builds every player from, and what a movie's
// picture and sound pass through.
QString gstreamerProblem()
{
    GError *error = nullptr;
    if (!gst_init_check(nullptr, nullptr, &error)) {
        const QString why = error ? QString::fromUtf8(error->message) : QString();
        g_clear_error(&error);
        return QStringLiteral("GStreamer cannot be started: %1").arg(withoutFullStop(why));
    }
    QStringList missing;
    for (const char *element : {"uridecodebin", "input-selector", "queue", "identity", "videoconvert", "videoscale",
                                "audioconvert", "audioresample", "volume"}) {
        if (GstElementFactory *factory = gst_element_factory_find(element))
            gst_object_unref(factory);
        else
            missing << QString::fromLatin1(element);
    }
    if (missing.isEmpty())
        return QString();
    return QStringLiteral("GStreamer lacks %1 every movie needs: %2")
        .arg(missing.size() == 1 ? QStringLiteral("an element") : QStringLiteral("elements"),
             missing.join(QLatin1String(", ")));
}
#endif

} // namespace

QString problem()
{
    const QList<Backend> found = backends();
    const QString key = chosenKey(found);
    QString file;
    for (const Backend &backend : found)
        if (backend.key == key && file.isEmpty())
            file = backend.file;
    if (file.isEmpty()) {
        if (!key.isEmpty())
            return QStringLiteral("Qt Multimedia has no media backend \"%1\"").arg(key);
        QStringList folders;
        for (const QString &folder : QCoreApplication::libraryPaths())
            folders << QLatin1Char('"') + QDir::toNativeSeparators(folder + QStringLiteral("/multimedia")) + QLatin1Char('"');
        return QStringLiteral("Qt Multimedia has no media backend (none in %1)").arg(folders.join(QLatin1String(", ")));
    }
    QPluginLoader backend(file);
    if (!backend.load())
        return QStringLiteral("Qt Multimedia's %1 backend \"%2\" cannot be loaded: %3")
            .arg(key, QDir::toNativeSeparators(file), platform::moduleLoadFailure(backend));
#ifndef Q_OS_WIN
    if (key == QLatin1String("gstreamer"))
        return gstreamerProblem();
#endif
    return QString();
}

} // namespace mediastack
