// ModuleINI over real files in a temporary application folder: where the file
// is, what reads and writes leave in it, and the "Escrita sem Sucesso" box.

#include "platform/application.h"
#include "settings/moduleini.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using testsupport::BoxAnswerer;
using testsupport::TempAppFolder;

namespace {

const QString kFailed = QStringLiteral("Escrita sem Sucesso");

const QByteArray kDisc =
    "; settings of the demo disc\r\n"
    "[main]\r\n"
    "Title=TrevLIN\r\n"
    "\r\n"
    "[path]\r\n"
    "frontcover=D:\\divxf.jpg\r\n"
    "backcover = D:\\divxb.jpg\r\n"
    "movie=D:\\logo.avi\r\n"
    "Mediaplayer=D:\\mp\\setup.exe /q\r\n"
    "\r\n"
    "[settings]\r\n"
    "blockset=no\r\n";

unsigned modeOf(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0xFFFF;
    return info.st_mode & 07777;
}

void setMode(const QString &path, unsigned mode)
{
    QVERIFY(::chmod(QFile::encodeName(path).constData(), mode) == 0);
}

} // namespace

class TestModuleIni : public QObject
{
    Q_OBJECT

private slots:
    void location_data();
    void location();
    void noFileReadsEmptyAndShowsNothing();
    void writesAndReadsAfresh();
    void applyWritesFiveEntries();
    void keepsOwnerAndPermissions_data();
    void keepsOwnerAndPermissions();
    void readOnlyFileReportsEveryWrite();
    void refusedWritesReport_data();
    void refusedWritesReport();
    void missingFolderReports();
};

void TestModuleIni::location_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("path");

    const QString sep = QDir::separator();
    QTest::newRow("folder") << "D:\\MOVIE" << "D:\\MOVIE" + sep + "trevlin.INI";
    QTest::newRow("drive root") << "D:\\" << "D:\\trevlin.INI";
    QTest::newRow("Unix folder") << "/media/disc" << "/media/disc" + sep + "trevlin.INI";
    QTest::newRow("Unix root") << "/" << "/trevlin.INI";
    QTest::newRow("folder with a final slash") << "/media/disc/" << "/media/disc/trevlin.INI";
}

void TestModuleIni::location()
{
    QFETCH(QString, folder);
    QFETCH(QString, path);
    platform::setApplicationFolderForTests(folder);
    const QString found = settingsFilePath();
    platform::setApplicationFolderForTests(QString());
    QCOMPARE(found, path);
}

void TestModuleIni::noFileReadsEmptyAndShowsNothing()
{
    TempAppFolder folder;
    BoxAnswerer answerer;
    QCOMPARE(ReadINI("main", "Title"), QString());
    QCOMPARE(ReadINI("settings", "blockset"), QString());
    QTest::qWait(50);
    QCOMPARE(answerer.count(), 0);
    QVERIFY(!QFile::exists(folder.iniPath()));
}

void TestModuleIni::writesAndReadsAfresh()
{
    TempAppFolder folder;
    BoxAnswerer answerer;
    QVERIFY(WriteINI("Main", "title", "Hello"));  // a missing file
    QCOMPARE(folder.readIni(), QByteArray("[Main]\r\ntitle=Hello\r\n"));
    QCOMPARE(ReadINI("main", "Title"), QStringLiteral("Hello"));
    QVERIFY(WriteINI("path", "movie", ""));  // a missing section, an empty value
    QCOMPARE(folder.readIni(), QByteArray("[Main]\r\ntitle=Hello\r\n[path]\r\nmovie=\r\n"));
    QCOMPARE(ReadINI("path", "movie"), QString());
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"trevlin.INI"});

    // Nothing is kept between calls: another program's change is seen at once,
    // and so is a new application folder.
    folder.writeIni("[main]\nTitle=two\n");
    QCOMPARE(ReadINI("main", "Title"), QStringLiteral("two"));
    {
        TempAppFolder second;
        QVERIFY(WriteINI("main", "Title", "three"));
        QCOMPARE(second.readIni(), QByteArray("[main]\r\nTitle=three\r\n"));
    }
    QCOMPARE(folder.readIni(), QByteArray("[main]\nTitle=two\n"));
    QCOMPARE(answerer.count(), 0);
}

void TestModuleIni::applyWritesFiveEntries()
{
    TempAppFolder folder;
    folder.writeIni(kDisc);
    QCOMPARE(ReadINI("Path", "Mediaplayer"), QStringLiteral("D:\\mp\\setup.exe /q"));
    QCOMPARE(ReadINI("path", "mediaplayer"), QStringLiteral("D:\\mp\\setup.exe /q"));
    BoxAnswerer answerer;
    QVERIFY(WriteINI("Main", "title", "Mi Película"));
    QVERIFY(WriteINI("path", "frontcover", "/disc/f.jpg"));
    QVERIFY(WriteINI("path", "backcover", "/disc/b.jpg"));
    QVERIFY(WriteINI("path", "movie", "/disc/m.avi"));
    QVERIFY(WriteINI("path", "subtitles", "/disc/s.srt"));
    QCOMPARE(folder.readIni(), QByteArray("; settings of the demo disc\r\n"
                                          "[main]\r\n"
                                          "Title=Mi Pel\xED" "cula\r\n"
                                          "\r\n"
                                          "[path]\r\n"
                                          "frontcover=/disc/f.jpg\r\n"
                                          "backcover = /disc/b.jpg\r\n"
                                          "movie=/disc/m.avi\r\n"
                                          "Mediaplayer=D:\\mp\\setup.exe /q\r\n"
                                          "subtitles=/disc/s.srt\r\n"
                                          "\r\n"
                                          "[settings]\r\n"
                                          "blockset=no\r\n"));
    QCOMPARE(ReadINI("main", "Title"), QStringLiteral("Mi Película"));
    QCOMPARE(answerer.count(), 0);
}

void TestModuleIni::keepsOwnerAndPermissions_data()
{
    QTest::addColumn<unsigned>("mode");
    QTest::newRow("0600") << 0600u;
    QTest::newRow("0640") << 0640u;
    QTest::newRow("0220") << 0220u;  // write-only for the owner and group: read as root only
}

void TestModuleIni::keepsOwnerAndPermissions()
{
    QFETCH(unsigned, mode);
    if (mode == 0220u && ::geteuid() != 0)
        QSKIP("only root can read a file without read permission");
    TempAppFolder folder;
    folder.writeIni("[main]\nTitle=x\n");
    setMode(folder.iniPath(), mode);
    // Root writing somebody else's file leaves it theirs.
    const bool giveAway = ::geteuid() == 0;
    const uid_t nobody = 65534;
    if (giveAway)
        QVERIFY(::chown(QFile::encodeName(folder.iniPath()).constData(), nobody, nobody) == 0);
    QVERIFY(WriteINI("main", "Title", "y"));
    QCOMPARE(modeOf(folder.iniPath()), mode);
    if (giveAway) {
        struct stat info;
        QVERIFY(::stat(QFile::encodeName(folder.iniPath()).constData(), &info) == 0);
        QCOMPARE(info.st_uid, nobody);
        QCOMPARE(info.st_gid, gid_t(nobody));
    }
    setMode(folder.iniPath(), 0600);
    QCOMPARE(folder.readIni(), QByteArray("[main]\nTitle=y\n"));
}

void TestModuleIni::readOnlyFileReportsEveryWrite()
{
    // With no write permission bit the file is read-only for root too: the
    // rename of a new file over it would otherwise replace it.
    TempAppFolder folder;
    folder.writeIni(kDisc);
    setMode(folder.iniPath(), 0444);
    BoxAnswerer answerer;
    QVERIFY(!WriteINI("Main", "title", "Nosferatu"));
    QVERIFY(!WriteINI("path", "frontcover", "/disc/f.jpg"));
    QVERIFY(!WriteINI("path", "backcover", "/disc/b.jpg"));
    QVERIFY(!WriteINI("path", "movie", "/disc/m.avi"));
    QVERIFY(!WriteINI("path", "subtitles", "/disc/s.srt"));
    QCOMPARE(answerer.count(), 5);
    for (const testsupport::SeenBox &box : answerer.seen()) {
        QCOMPARE(box.text, kFailed);
        QCOMPARE(box.caption, QStringLiteral("Trevlin"));
        QCOMPARE(box.buttons, QStringList{"OK"});
        QCOMPARE(box.icon, int(QMessageBox::NoIcon));
    }
    QCOMPARE(folder.readIni(), kDisc);
    QCOMPARE(modeOf(folder.iniPath()), 0444u);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"trevlin.INI"});
}

void TestModuleIni::refusedWritesReport_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("lines injected into the title") << "Main" << "title" << "x\r\n[settings]\r\nblockset=yes";
    QTest::newRow("Greek into a Windows-1252 file") << "Main" << "title" << QStringLiteral(u"\u0395\u03BB\u03BB\u03AC\u03B4\u03B1");
}

void TestModuleIni::refusedWritesReport()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    TempAppFolder folder;
    const QByteArray before = "[main]\r\nTitle=Caf\xE9\r\n[settings]\r\nblockset=no\r\n";
    folder.writeIni(before);
    BoxAnswerer answerer;
    QVERIFY(!WriteINI(section, key, value));
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.seen().first().text, kFailed);
    QCOMPARE(folder.readIni(), before);
    QCOMPARE(ReadINI("settings", "blockset"), QStringLiteral("no"));
}

void TestModuleIni::missingFolderReports()
{
    TempAppFolder folder;
    platform::setApplicationFolderForTests(folder.filePath("no such folder"));
    BoxAnswerer answerer;
    QVERIFY(!WriteINI("Main", "title", "x"));
    QCOMPARE(answerer.count(), 1);
    QVERIFY(!QFile::exists(folder.filePath("no such folder")));

    // A folder where the file should be is no file either.
    platform::setApplicationFolderForTests(folder.path());
    QVERIFY(QDir(folder.path()).mkdir("trevlin.INI"));
    QVERIFY(!WriteINI("Main", "title", "x"));
    QCOMPARE(answerer.count(), 2);
    QCOMPARE(ReadINI("Main", "title"), QString());
}

QTEST_MAIN(TestModuleIni)
#include "tst_settings_moduleini.moc"
