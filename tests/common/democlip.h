#pragma once
// A short movie made at run time for the player's tests and benchmarks:
// a test picture in MPEG-4 (DivX-like) with an MP3 tone, in an AVI file,
// encoded by GStreamer's command-line tool.

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace democlip {

// Writes a `seconds`-long 160 x 120 clip at 20 frames a second to `path`.
// False when the encoder is not installed or fails.
inline bool make(const QString &path, int seconds = 3)
{
    const QString gst = QStandardPaths::findExecutable(QStringLiteral("gst-launch-1.0"));
    if (gst.isEmpty())
        return false;
    const auto words = [](const char *text) { return QString::fromLatin1(text).split(QLatin1Char(' ')); };
    QStringList args{QStringLiteral("-q")};
    args << QStringLiteral("videotestsrc") << QStringLiteral("num-buffers=%1").arg(seconds * 20)
         << words("! video/x-raw,width=160,height=120,framerate=20/1 ! avenc_mpeg4 ! queue ! avimux name=mux !")
         << QStringLiteral("filesink") << QStringLiteral("location=") + path
         << QStringLiteral("audiotestsrc") << QStringLiteral("num-buffers=%1").arg(seconds * 44100 / 1024 + 1)
         << words("! audio/x-raw,rate=44100,channels=2 ! lamemp3enc ! queue ! mux.");
    QProcess process;
    process.start(gst, args);
    if (!process.waitForFinished(60000))
        return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 && QFileInfo(path).size() > 0;
}

} // namespace democlip
