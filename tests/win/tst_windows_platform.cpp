// What the program does on Windows where Windows differs from Linux: where
// the settings file is, the names a disc may give that are devices, writing
// the settings file (turns, replacing, refusing, keeping its bytes), starting
// programs with the command line as built and the window style, and loading
// the player's module. Runs under Wine.

#include "mainwindow/launchactions.h"
#include "platform/application.h"
#include "platform/discfile.h"
#include "platform/launcher.h"
#include "settings/moduleini.h"
#include "testsupport.h"
#include "windows/playerloader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <windows.h>

using namespace Qt::StringLiterals;

namespace {

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The recorder's lines for each start: "LINE ...", "SHOW n".
QList<QStringList> recordedStarts(const QString &file)
{
    QList<QStringList> starts;
    QStringList current;
    for (const QString &line : QString::fromUtf8(readAll(file)).split(u'\n', Qt::SkipEmptyParts)) {
        if (line == "END"_L1) {
            starts << current;
            current.clear();
        } else {
            current << line;
        }
    }
    return starts;
}

// Windows' own text for an error code, as FormatMessageW gives it.
QString systemText(DWORD code)
{
    wchar_t text[512] = {};
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                          text, 512, nullptr);
    return QString::fromWCharArray(text, int(length)).trimmed();
}

} // namespace

class TestWindowsPlatform : public QObject
{
    Q_OBJECT

private slots:
    void settingsFileBesideTheProgram_data();
    void settingsFileBesideTheProgram();
    void namesThatAreNotFiles_data();
    void namesThatAreNotFiles();
    void aPipeIsNeverRead();
    void writesKeepTheFile_data();
    void writesKeepTheFile();
    void readOnlyFileRefuses();
    void writersTakeTurns();
    void startsTheLineAsBuilt_data();
    void startsTheLineAsBuilt();
    void startFailureNamesEntryAndReason();
    void playerModuleLoads();
};

void TestWindowsPlatform::settingsFileBesideTheProgram_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::newRow("a folder") << R"(D:\MOVIE)" << R"(D:\MOVIE\trevlin.INI)";
    QTest::newRow("a drive's root") << R"(D:\)" << R"(D:\trevlin.INI)";
    QTest::newRow("a share's folder") << R"(\\server\movies\one)" << R"(\\server\movies\one\trevlin.INI)";
    // Only ":\" counts as the root's end: another trailing backslash gets one more.
    QTest::newRow("a folder ending in a backslash") << R"(D:\MOVIE\)" << R"(D:\MOVIE\\trevlin.INI)";
}

void TestWindowsPlatform::settingsFileBesideTheProgram()
{
    QFETCH(QString, folder);
    QFETCH(QString, file);
    platform::setApplicationFolder(folder);
    const QString found = settingsFilePath();
    platform::setApplicationFolder(QString());
    QCOMPARE(found, file);
}

void TestWindowsPlatform::namesThatAreNotFiles_data()
{
    QTest::addColumn<QString>("name");     // relative to a temporary folder unless absolute
    QTest::addColumn<int>("problem");      // platform::DiscFile::Problem
    QTest::addColumn<QString>("reason");   // part of what the reader says

    const int notOrdinary = platform::DiscFile::NotOrdinary;
    // CON waits for the keyboard, COM1 for a serial line: never opened.
    QTest::newRow("CON") << "CON" << notOrdinary << "device CON";
    QTest::newRow("con in a folder") << "movie\\con" << notOrdinary << "device CON";
    QTest::newRow("NUL with an extension") << "nul.txt" << notOrdinary << "device NUL";
    QTest::newRow("AUX with blanks") << "AUX  .ini" << notOrdinary << "device AUX";
    QTest::newRow("COM1") << "COM1" << notOrdinary << "device COM1";
    QTest::newRow("lpt9 on a drive") << "C:lpt9.jpg" << notOrdinary << "device LPT9";
    QTest::newRow("CONIN$") << "conin$" << notOrdinary << "device CONIN$";
    QTest::newRow("a pipe's name") << R"(\\.\pipe\trevlin-none)" << notOrdinary << R"(\\.\pipe\trevlin-none)";
    QTest::newRow("a device path") << "//./PhysicalDrive0" << notOrdinary << "PhysicalDrive0";
    // Names that look alike but are files.
    QTest::newRow("COM10 is a file") << "COM10" << int(platform::DiscFile::None) << "";
    QTest::newRow("console.txt is a file") << "console.txt" << int(platform::DiscFile::None) << "";
    QTest::newRow("a long path") << "\\\\?\\%1\\long.txt" << int(platform::DiscFile::None) << "";
    QTest::newRow("a folder") << "movie" << int(platform::DiscFile::Folder) << "folder";
    QTest::newRow("missing") << "none.jpg" << int(platform::DiscFile::Missing) << "does not exist";
    QTest::newRow("too large") << "large.txt" << int(platform::DiscFile::TooLarge) << "too large";
}

void TestWindowsPlatform::namesThatAreNotFiles()
{
    QFETCH(QString, name);
    QFETCH(int, problem);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("movie"_L1));
    for (const char *file : {"COM10", "console.txt", "long.txt"})
        QVERIFY(writeAll(dir.filePath(QLatin1String(file)), "[main]\r\ntitle=x\r\n"));
    QVERIFY(writeAll(dir.filePath("large.txt"_L1), QByteArray(5000, 'x')));
    if (name.contains("%1"_L1))
        name = name.arg(native(dir.path()));
    const bool absolute = name.startsWith(u'\\') || name.startsWith(u'/') || name.contains(u':');
    const QString path = absolute ? name : native(dir.filePath(name));

    QElapsedTimer clock;
    clock.start();
    const platform::DiscFile inspected = platform::inspectDiscFile(path, 4096);
    const platform::DiscFile read = platform::readDiscFile(path, 4096);
    QString why;
    const QString value = readIniFile(path, "main"_L1, "title"_L1, &why);
    QVERIFY2(clock.elapsed() < 20000, "a reader waited");

    QCOMPARE(int(inspected.problem), problem);
    QCOMPARE(int(read.problem), problem);
    QVERIFY2(read.reason.contains(reason, Qt::CaseInsensitive), qPrintable(read.reason));
    if (problem == platform::DiscFile::None) {
        QVERIFY(!read.bytes.isEmpty());
        return;
    }
    QVERIFY(read.bytes.isEmpty());
    QCOMPARE(value, QString());
    // A device is never written either: the reason is the reader's.
    const WriteOutcome written = writeIniFile(path, "main"_L1, "title"_L1, "y"_L1);
    QVERIFY(!written.ok || problem == platform::DiscFile::Missing);
    if (problem == platform::DiscFile::Missing)
        QFile::remove(path);
}

void TestWindowsPlatform::aPipeIsNeverRead()
{
    // A pipe that is there and has a server that never writes: reading it
    // would wait for good.
    const QString name = R"(\\.\pipe\trevlin-test-)"_L1 + QString::number(::GetCurrentProcessId());
    const HANDLE server = ::CreateNamedPipeW(reinterpret_cast<const wchar_t *>(name.utf16()), PIPE_ACCESS_DUPLEX,
                                             PIPE_TYPE_BYTE | PIPE_WAIT, 4, 4096, 4096, 0, nullptr);
    QVERIFY(server != INVALID_HANDLE_VALUE);
    const platform::DiscFile read = platform::readDiscFile(name, 4096);
    QString why;
    const QString value = readIniFile(name, "main"_L1, "title"_L1, &why);
    ::CloseHandle(server);
    QCOMPARE(int(read.problem), int(platform::DiscFile::NotOrdinary));
    QCOMPARE(value, QString());
    QVERIFY2(!why.isEmpty(), "a pipe reads as empty, with the reason");
}

void TestWindowsPlatform::writesKeepTheFile_data()
{
    QTest::addColumn<QByteArray>("before");  // empty: no file
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("CRLF kept") << "[Main]\r\ntitle=Old\r\n[path]\r\nmovie=m.avi\r\n"_ba << "New one"
                               << "[Main]\r\ntitle=New one\r\n[path]\r\nmovie=m.avi\r\n"_ba;
    QTest::newRow("LF kept") << "[main]\ntitle=Old\n"_ba << "Nosferatu" << "[main]\ntitle=Nosferatu\n"_ba;
    QTest::newRow("Windows-1252 kept") << "[main]\r\ntitle=Caf\xE9\r\n"_ba << u"Été"_s
                                       << "[main]\r\ntitle=\xC9t\xE9\r\n"_ba;
    QTest::newRow("UTF-16 kept") << "\xFF\xFE[\0m\0a\0i\0n\0]\0\r\0\n\0t\0i\0t\0l\0e\0=\0a\0\r\0\n\0"_ba << "Ok"
                                 << "\xFF\xFE[\0m\0a\0i\0n\0]\0\r\0\n\0t\0i\0t\0l\0e\0=\0O\0k\0\r\0\n\0"_ba;
    QTest::newRow("a new file") << QByteArray() << "First" << "[main]\r\ntitle=First\r\n"_ba;
}

void TestWindowsPlatform::writesKeepTheFile()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString ini = native(dir.filePath("trevlin.INI"_L1));
    if (!before.isEmpty())
        QVERIFY(writeAll(ini, before));
    // Through the program's own WriteINI, in the program's folder.
    platform::setApplicationFolder(native(dir.path()));
    const bool ok = WriteINI("main"_L1, "title"_L1, value);
    platform::setApplicationFolder(QString());
    QVERIFY(ok);
    if (before.isEmpty() && readAll(ini) != after)
        QCOMPARE(readAll(ini), "[main]\ntitle=First\n"_ba);  // the editor's own line ending for a new file
    else
        QCOMPARE(readAll(ini), after);
    QCOMPARE(ReadINI("Main"_L1, "Title"_L1).isEmpty(), false);
    // Nothing is left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{"trevlin.INI"_L1});
}

void TestWindowsPlatform::readOnlyFileRefuses()
{
    testsupport::TempAppFolder app;
    const QByteArray before = "[main]\r\ntitle=Kept\r\n"_ba;
    app.writeIni(before);
    const std::wstring ini = native(app.iniPath()).toStdWString();
    QVERIFY(::SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY));

    testsupport::BoxAnswerer answerer;
    const bool ok = WriteINI("Main"_L1, "title"_L1, "Changed"_L1);
    ::SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
    QVERIFY(!ok);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.seen().first().text, "Escrita sem Sucesso"_L1);
    QCOMPARE(answerer.seen().first().buttons, QStringList{"OK"_L1});
    QVERIFY2(answerer.seen().first().detail.contains("read-only"_L1), qPrintable(answerer.seen().first().detail));
    QCOMPARE(app.readIni(), before);

    // The command-line tool says the same.
    QVERIFY(::SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY));
    QProcess tool;
    tool.start(QStringLiteral(TREVLIN_INI_TOOL), {"set"_L1, native(app.iniPath()), "main"_L1, "title"_L1, "X"_L1});
    QVERIFY(tool.waitForFinished(60000));
    ::SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
    QCOMPARE(tool.exitCode(), 1);
    QVERIFY2(tool.readAllStandardError().startsWith("Escrita sem Sucesso: "), "the tool names the failure");
    QCOMPARE(app.readIni(), before);
}

void TestWindowsPlatform::writersTakeTurns()
{
    // Writers started at once, each adding its own key: none may lose another's.
    QTemporaryDir dir;
    const QString ini = native(dir.filePath("trevlin.INI"_L1));
    QVERIFY(writeAll(ini, "[main]\r\ntitle=x\r\n"));
    QList<QProcess *> writers;
    for (int i = 0; i < 6; ++i) {
        auto *writer = new QProcess(this);
        writer->start(QStringLiteral(TREVLIN_INI_TOOL),
                      {"set"_L1, ini, "path"_L1, "key%1"_L1.arg(i), "value %1"_L1.arg(i)});
        writers << writer;
    }
    for (QProcess *writer : writers) {
        QVERIFY(writer->waitForFinished(120000));
        QCOMPARE(writer->exitCode(), 0);
        delete writer;
    }
    const QByteArray bytes = readAll(ini);
    for (int i = 0; i < 6; ++i)
        QVERIFY2(bytes.contains("key%1=value %1\r\n"_L1.arg(i).toLatin1()), bytes.constData());
    QVERIFY(bytes.startsWith("[main]\r\ntitle=x\r\n[path]\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{"trevlin.INI"_L1});
}

void TestWindowsPlatform::startsTheLineAsBuilt_data()
{
    QTest::addColumn<QString>("program");  // how the line names the recorder; %1 = its full path
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("style");

    QTest::newRow("View Movie's line, minimized") << "%1" << " /quickini /v:D:\\a movie.avi /s:D:\\a movie.srt" << 2;
    QTest::newRow("an installer, normal") << "%1" << " /S /D=C:\\Program Files\\x" << 1;
    QTest::newRow("quoted program, quotes kept") << "\"%1\"" << " \"a b\"  c" << 1;
    // Windows looks in the program's folder and adds ".exe".
    QTest::newRow("bare name without .exe") << "winrecorder" << " /s iviaudio.ax" << 2;
    QTest::newRow("nothing after the name") << "winrecorder.exe" << "" << 1;
}

void TestWindowsPlatform::startsTheLineAsBuilt()
{
    QFETCH(QString, program);
    QFETCH(QString, arguments);
    QFETCH(int, style);
    QTemporaryDir dir;
    const QString out = native(dir.filePath("recorder.out"_L1));
    qputenv("TREVLIN_RECORDER_OUT", out.toUtf8());
    const QString recorder = native(QStringLiteral(TREVLIN_RECORDER));
    // The test's own folder is the recorder's: Windows' search finds it there.
    QCOMPARE(QFileInfo(recorder).absolutePath(), QCoreApplication::applicationDirPath());
    const QString line = program.arg(recorder) + arguments;

    const platform::StartResult result = platform::startProgram(line, platform::WindowStyle(style));
    QVERIFY2(result.started, qPrintable(result.error));
    QVERIFY(testsupport::waitFor([&] { return !recordedStarts(out).isEmpty(); }, 60000));
    qunsetenv("TREVLIN_RECORDER_OUT");
    const QStringList start = recordedStarts(out).first();
    QCOMPARE(start.value(0), "LINE "_L1 + line);
    QCOMPARE(start.value(1), "SHOW "_L1 + QString::number(style));
}

void TestWindowsPlatform::startFailureNamesEntryAndReason()
{
    testsupport::TempAppFolder app;
    app.writeIni("[path]\r\ncodecs=no-such-installer.exe /q\r\nmicrodvd=\r\n"_ba);
    platform::setApplicationFolder(native(app.path()));
    testsupport::BoxAnswerer answerer;
    launch::installCodecs(nullptr);
    launch::installMicroDvd(nullptr, launch::Spelling::Menu);
    platform::setApplicationFolder(QString());
    QCOMPARE(answerer.count(), 2);
    const QString missing = answerer.seen().at(0).text;
    QVERIFY2(missing.contains("Settings entry: path/codecs"_L1), qPrintable(missing));
    QVERIFY2(missing.contains("Command line: no-such-installer.exe /q"_L1), qPrintable(missing));
    QVERIFY2(missing.contains("\"no-such-installer.exe\""_L1), qPrintable(missing));
    // The system's own words for it.
    QVERIFY2(missing.contains(systemText(ERROR_FILE_NOT_FOUND)), qPrintable(missing));
    const QString empty = answerer.seen().at(1).text;
    QVERIFY2(empty.contains("path/microdvd"_L1) && empty.contains("is empty"_L1), qPrintable(empty));
}

void TestWindowsPlatform::playerModuleLoads()
{
    // The module beside the program, with Qt Multimedia's Media Foundation
    // backend: the player window, not the stand-in that says why not.
    bool gone = false;
    QWidget *window = playerloader::createPlayerWindow([&gone] { gone = true; });
    QVERIFY(window);
    const QLabel *message = window->findChild<QLabel *>("message"_L1);
    QVERIFY2(!message, message ? qPrintable(message->text()) : "");
    QCOMPARE(window->objectName(), "Frmplayer"_L1);
    delete window;
    QVERIFY(gone);
}

QTEST_MAIN(TestWindowsPlatform)
#include "tst_windows_platform.moc"
