// How long ReadINI takes, against reading the same file's bytes with QFile:
// on a typical settings file, and on 1 MiB ones where the key asked for is at
// the very end (the whole file is looked at). Goal: at most 3x the raw read
// on the large file. Then how long a write takes (writeIniFile, what Apply and
// trevlin-ini set do) on the typical file and on a 1 MiB one, against writing
// the same bytes to a new file, syncing it and renaming it over the old one.

#include "platform/application.h"
#include "settings/moduleini.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QByteArray kTypical =
    "[main]\r\n"
    "Title=TrevLIN\r\n"
    "\r\n"
    "[path]\r\n"
    "frontcover=D:\\divxf.jpg\r\n"
    "backcover=D:\\divxb.jpg\r\n"
    "movie=D:\\logo.avi\r\n"
    "subtitles=D:\\subtitles.srt\r\n"
    "microdvdexe=D:\\MicroDVD\\microdvd.exe\r\n"
    "codecs=D:\\codecs\\divx.exe /s\r\n"
    "microdvd=D:\\MicroDVD\\setup.exe\r\n"
    "Mediaplayer=D:\\mp\\mpsetup.exe /q\r\n"
    "pathfilter=regsvr32 /s \r\n"
    "options=D:\\text\\options.txt\r\n"
    "hints=D:\\text\\hints.txt\r\n"
    "faq=D:\\text\\faq.txt\r\n"
    "\r\n"
    "[settings]\r\n"
    "blockset=no\r\n";

// A 1 MiB file: many sections of filler ahead of the typical ones.
QByteArray large(const QByteArray &filler)
{
    QByteArray bytes;
    for (int section = 0; bytes.size() < (1 << 20) - kTypical.size(); ++section) {
        bytes += "[disc " + QByteArray::number(section) + "]\r\n";
        for (int key = 0; key < 20; ++key)
            bytes += "entry" + QByteArray::number(key) + " = " + filler + "\r\n";
        bytes += "\r\n";
    }
    return bytes + kTypical;
}

// Median time of one call, in microseconds, over `rounds` rounds of `calls`.
template <typename F>
double measure(int rounds, int calls, F &&f)
{
    std::vector<double> perCall;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < calls; ++i)
            f();
        perCall.push_back(double(timer.nsecsElapsed()) / calls / 1000.0);
    }
    std::sort(perCall.begin(), perCall.end());
    return perCall[perCall.size() / 2];
}

volatile qsizetype sink;

// One section of 1 MiB, the key asked for last: every line is looked at.
QByteArray oneSection()
{
    QByteArray bytes = "[settings]\r\n";
    for (int key = 0; bytes.size() < (1 << 20) - 16; ++key)
        bytes += "entry" + QByteArray::number(key) + " = D:\\some\\folder\\file name.ext\r\n";
    return bytes + "blockset=no\r\n";
}

void compare(const char *name, const QString &folder, const QByteArray &bytes, int calls,
             const QString &section = QStringLiteral("settings"),
             const QString &key = QStringLiteral("blockset"),
             const QString &expected = QStringLiteral("no"))
{
    const QString path = folder + QStringLiteral("/trevlin.INI");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    file.close();
    if (ReadINI(section, key) != expected)
        qFatal("%s: the lookup found the wrong value", name);

    const double raw = measure(15, calls, [&] {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        sink = f.readAll().size();
    });
    const double read = measure(15, calls, [&] { sink = ReadINI(section, key).size(); });
    std::printf("%-34s %9lld bytes  ReadINI %9.1f us  raw read %9.1f us  ratio %5.2fx\n", name,
                static_cast<long long>(bytes.size()), read, raw, read / raw);
}

// Writing `bytes` to a new file beside `path`, syncing it and renaming it over
// `path`: the least a write that cannot tear the file does.
void plainSafeWrite(const QString &path, const QByteArray &bytes)
{
    const QByteArray name = QFile::encodeName(path);
    const QByteArray temporary = name + ".new";
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size() || ::fsync(fd) != 0
        || ::close(fd) != 0 || ::rename(temporary.constData(), name.constData()) != 0)
        qFatal("cannot write %s", name.constData());
}

// One write changes the value of the file's last key; the next one changes it
// back, so every call really writes.
void compareWrite(const char *name, const QString &folder, const QByteArray &bytes, int calls)
{
    const QString path = folder + QStringLiteral("/trevlin.INI");
    plainSafeWrite(path, bytes);
    int round = 0;
    const double write = measure(15, calls, [&] {
        const QString value = (++round % 2) ? QStringLiteral("yes") : QStringLiteral("no");
        if (!writeIniFile(path, QStringLiteral("settings"), QStringLiteral("blockset"), value).ok)
            qFatal("%s: the write failed", name);
    });
    if (ReadINI(QStringLiteral("settings"), QStringLiteral("blockset")).isEmpty())
        qFatal("%s: the write left no value", name);
    const double raw = measure(15, calls, [&] { plainSafeWrite(path, bytes); });
    std::printf("%-34s %9lld bytes  set %9.1f us  new file+sync+rename %9.1f us  ratio %5.2fx\n", name,
                static_cast<long long>(bytes.size()), write, raw, write / raw);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The files go to the temporary folder, or under the folder given.
    QTemporaryDir dir = argc > 1 ? QTemporaryDir(QString::fromLocal8Bit(argv[1]) + QStringLiteral("/bench-XXXXXX"))
                                 : QTemporaryDir();
    if (!dir.isValid())
        qFatal("cannot make a temporary folder");
    platform::setApplicationFolder(dir.path());

    std::printf("ReadINI(\"settings\", \"blockset\"), the last key of the file, unless said;\n"
                "median of 15 rounds\n");
    compare("typical settings file", dir.path(), kTypical, 2000);
    compare("1 MiB, ASCII (Windows-1252)", dir.path(), large("D:\\some\\folder\\file name.ext"), 20);
    compare("1 MiB, UTF-8 without BOM", dir.path(),
            large(QString::fromUtf8("D:\\vidéos\\été\\ficheiro ção.ext").toUtf8()), 20);
    compare("1 MiB, Windows-1252 with accents", dir.path(),
            large("D:\\vid\xE9os\\\xE9t\xE9\\ficheiro \xE7\xE3o.ext"), 20);
    compare("1 MiB, UTF-8 BOM", dir.path(),
            "\xEF\xBB\xBF" + large(QString::fromUtf8("D:\\vidéos\\été.ext").toUtf8()), 20);
    compare("1 MiB, one section", dir.path(), oneSection(), 20);
    // A value that is not ASCII: a file without a byte order mark must then
    // be read through to know whether it is UTF-8.
    const QByteArray accents = large(QString::fromUtf8("D:\\vidéos\\été.ext").toUtf8());
    compare("1 MiB, UTF-8, non-ASCII value", dir.path(),
            accents + "[title]\r\ntext=Película\r\n", 20, QStringLiteral("title"),
            QStringLiteral("text"), QStringLiteral("Película"));

    std::printf("\nwriteIniFile(\"settings\", \"blockset\"), the last key, in %s;\n"
                "median of 15 rounds\n", qPrintable(dir.path()));
    compareWrite("typical settings file", dir.path(), kTypical, 20);
    compareWrite("1 MiB, ASCII (Windows-1252)", dir.path(), large("D:\\some\\folder\\file name.ext"), 5);
    return 0;
}
