// ModuleINI over real files in a temporary application folder: where the file
// is, what reads and writes leave in it, and the "Escrita sem Sucesso" box;
// and where an installed program finds its disc.

#include "platform/application.h"
#include "settings/discfolder.h"
#include "settings/moduleini.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using testsupport::BoxAnswerer;
using testsupport::TempAppFolder;

using testsupport::setMode;
using testsupport::statOf;

namespace {

const QByteArray kDisc = "; settings of the demo disc\r\n[main]\r\nTitle=TrevLIN\r\n\r\n"
                         "[path]\r\nbackcover = D:\\divxb.jpg\r\nMediaplayer=D:\\mp\\setup.exe /q\r\n\r\n"
                         "[settings]\r\nblockset=no\r\n";

} // namespace

class TestModuleIni : public QObject
{
    Q_OBJECT

private slots:
    void location();
    void writesAndReadsAfresh();
    void failedWritesShowTheBoxAndLeaveTheFile();
    void installedProgramFindsItsDisc();
};

void TestModuleIni::location()
{
    // A root gets no second separator; only the platform's own separator
    // counts, so on Linux a folder ending in a backslash is joined with '/'.
    const QString sep = QDir::separator();
    const struct { QString folder, expected; } cases[] = {
        {sep, sep + "trevlin.INI"_L1},
        {"movie"_L1 + sep, "movie"_L1 + sep + "trevlin.INI"_L1},
        {"odd\\"_L1, sep == "/"_L1 ? "odd\\/trevlin.INI"_L1 : "odd\\trevlin.INI"_L1},
    };
    for (const auto &c : cases) {
        platform::setApplicationFolder(c.folder);
        const QString path = settingsFilePath();
        platform::setApplicationFolder(QString());
        QCOMPARE(path, c.expected);
    }
}

void TestModuleIni::writesAndReadsAfresh()
{
    TempAppFolder folder;
    BoxAnswerer answerer;
    QCOMPARE(ReadINI("main", "Title"), QString());  // no file, and none is made
    QVERIFY(!QFile::exists(folder.iniPath()));
    QVERIFY(WriteINI("Main", "title", u"Mi Película"_s));
    QVERIFY(WriteINI("path", "movie", ""));
    QCOMPARE(folder.readIni(), "[Main]\r\ntitle=Mi Pel\xC3\xAD" "cula\r\n[path]\r\nmovie=\r\n"_ba);
    QCOMPARE(ReadINI("main", "Title"), u"Mi Película"_s);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"trevlin.INI"});

    // Nothing is kept between calls: another program's file is read and
    // edited as it is now, and a new application folder is used at once. The
    // file keeps its mode, and its owner when root writes somebody else's.
    folder.writeIni(kDisc);
    const bool root = ::geteuid() == 0;
    const unsigned mode = root ? 0220 : 0640;  // 0220: only root can read it
    QVERIFY(setMode(folder.iniPath(), mode));
    QVERIFY(!root || ::chown(QFile::encodeName(folder.iniPath()).constData(), 65534, 65534) == 0);
    QCOMPARE(ReadINI("Path", "mediaplayer"), "D:\\mp\\setup.exe /q"_L1);
    QVERIFY(WriteINI("path", "backcover", "/disc/b.jpg"));
    QVERIFY(WriteINI("path", "subtitles", "/disc/s.srt"));
    QCOMPARE(folder.readIni(), "; settings of the demo disc\r\n[main]\r\nTitle=TrevLIN\r\n\r\n"
                               "[path]\r\nbackcover = /disc/b.jpg\r\nMediaplayer=D:\\mp\\setup.exe /q\r\n"
                               "subtitles=/disc/s.srt\r\n\r\n[settings]\r\nblockset=no\r\n"_ba);
    QCOMPARE(statOf(folder.iniPath()).st_mode & 07777, mode);
    QCOMPARE(statOf(folder.iniPath()).st_uid, root ? uid_t(65534) : ::geteuid());

    // A file of ASCII bytes takes a Greek title as UTF-8. Every name of the
    // file sees the write, and a symlink stays one.
    folder.writeIni(kDisc);
    QVERIFY(::link(QFile::encodeName(folder.iniPath()).constData(), QFile::encodeName(folder.filePath("copy.ini")).constData()) == 0);
    QVERIFY(QFile::link(folder.filePath("copy.ini"), folder.filePath("link.ini")));
    QVERIFY(WriteINI("Main", "title", u"Ωμέγα Ταινία"_s));
    QCOMPARE(ReadINI("main", "Title"), u"Ωμέγα Ταινία"_s);
    QCOMPARE(writeIniFile(folder.filePath("link.ini"), "path", "movie", "/disc/m.avi").ok, true);
    QVERIFY(QFileInfo(folder.filePath("link.ini")).isSymLink());
    QCOMPARE(folder.readFile("copy.ini"), folder.readIni());
    QCOMPARE(readIniFile(folder.filePath("copy.ini"), "path", "movie"), "/disc/m.avi"_L1);
    QCOMPARE(statOf(folder.iniPath()).st_nlink, nlink_t(2));
    {
        TempAppFolder second;
        QVERIFY(WriteINI("main", "Title", "three"));
        QCOMPARE(second.readIni(), "[main]\r\nTitle=three\r\n"_ba);
        QCOMPARE(ReadINI("main", "Title"), "three"_L1);
    }
    QCOMPARE(answerer.count(), 0);
}

void TestModuleIni::failedWritesShowTheBoxAndLeaveTheFile()
{
    TempAppFolder folder;
    folder.writeIni(kDisc);
    BoxAnswerer answerer;
    QVERIFY(!WriteINI("Main", "title", "x\r\n[settings]\r\nblockset=yes"));  // would add lines
    // With no write permission bit the file is read-only for root too: the
    // rename of a new file over it would otherwise replace it.
    QVERIFY(setMode(folder.iniPath(), 0444));
    QVERIFY(!WriteINI("Main", "title", "Nosferatu"));
    QCOMPARE(folder.readIni(), kDisc);
    QCOMPARE(statOf(folder.iniPath()).st_mode & 07777, 0444u);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"trevlin.INI"});

    // A missing folder, and a folder where the file should be.
    platform::setApplicationFolder(folder.filePath("no such folder"));
    QVERIFY(!WriteINI("Main", "title", "x"));
    QVERIFY(!QFile::exists(folder.filePath("no such folder")));
    QVERIFY(QDir(folder.path()).mkpath("sub/trevlin.INI"));
    platform::setApplicationFolder(folder.filePath("sub"));
    QVERIFY(!WriteINI("Main", "title", "x"));
    QCOMPARE(ReadINI("Main", "title"), QString());

    QCOMPARE(answerer.count(), 4);  // one box a write
    for (const testsupport::SeenBox &box : answerer.seen())
        QCOMPARE(box.text, "Escrita sem Sucesso"_L1);
    QCOMPARE(answerer.seen().first().caption, "Trevlin"_L1);
    // The reason is the box's detail, so the author knows what to change.
    QCOMPARE(answerer.seen()[0].detail, "the value holds a line break or a NUL character"_L1);
    QCOMPARE(answerer.seen()[1].detail, "the file is read-only"_L1);
    QCOMPARE(answerer.seen()[3].detail, "it is a folder"_L1);
}

void TestModuleIni::installedProgramFindsItsDisc()
{
    TempAppFolder folder;
    QVERIFY(QDir(folder.path()).mkpath("usr/bin") && QDir(folder.path()).mkpath("copy"));
    QVERIFY(QFile::link(folder.filePath("usr"), folder.filePath("merged")));
    const QString bin = folder.filePath("usr/bin");
    const struct { QString program, installFolders; bool installed; } places[] = {
        {bin, "/usr/local/bin:"_L1 + bin, true},
        {folder.filePath("merged/bin"), bin, true},  // /bin -> /usr/bin
        {bin, folder.filePath("merged/bin"), true},
        {folder.filePath("copy"), bin, false},
        {bin, QString(), false},
        {folder.filePath("gone"), folder.filePath("gone"), false},
    };
    for (const auto &p : places)
        QVERIFY2(isInstalledFolder(p.program, p.installFolders) == p.installed, qPrintable(p.program));

    // The current folder when it holds the settings file; otherwise the
    // viewer is asked, and cancelling answers no folder.
    int asked = 0;
    const auto answer = [&asked](const QString &choice) {
        return [&asked, choice] { ++asked; return choice; };
    };
    folder.writeFile("copy/trevlin.INI", kDisc);
    QCOMPARE(installedDiscFolder(folder.filePath("copy"), answer("/elsewhere")), folder.filePath("copy"));
    QCOMPARE(asked, 0);
    QCOMPARE(installedDiscFolder(bin, answer("/media/disc")), "/media/disc"_L1);
    QCOMPARE(installedDiscFolder(bin, answer(QString())), QString());
    QVERIFY(QDir(bin).mkpath("trevlin.INI"));  // a folder of that name is no settings file
    QCOMPARE(installedDiscFolder(bin, answer("/media/disc")), "/media/disc"_L1);
    QCOMPARE(asked, 3);

    // A folder chosen without a settings file brings the question: make a
    // new disc there, or choose again (from that folder).
    const QString empty = folder.filePath("new"), disc = folder.filePath("copy");
    QVERIFY(QDir().mkpath(empty));
    const struct { QStringList choices; QList<bool> answers; QString chosen; QStringList openedAt, questions; } rounds[] = {
        {{disc}, {}, disc, {"/start"}, {}},
        {{empty}, {true}, empty, {"/start"}, {empty}},
        {{empty, bin, disc}, {false, false}, disc, {"/start", empty, bin}, {empty, bin}},
        {{empty, QString()}, {false}, QString(), {"/start", empty}, {empty}},
    };
    for (const auto &r : rounds) {
        QStringList choices = r.choices, openedAt, questions;
        QList<bool> answers = r.answers;
        const QString chosen = chooseDiscFolder(
            "/start",
            [&](const QString &start) { openedAt << start; return choices.isEmpty() ? QString() : choices.takeFirst(); },
            [&](const QString &asked) { questions << asked; return answers.isEmpty() || answers.takeFirst(); });
        QCOMPARE(chosen, r.chosen);
        QCOMPARE(openedAt, r.openedAt);
        QCOMPARE(questions, r.questions);
    }

    // The question itself: "Choose Again" is the default and what Esc does.
    for (const auto &[button, opens] : {std::pair{"Make a New Disc Here", true}, {"Choose Again", false}}) {
        BoxAnswerer answerer{QLatin1String(button)};
        QCOMPARE(askOpenAsNewDisc(empty), opens);
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.seen()[0].defaultButton, "Choose Again"_L1);
        QVERIFY2(answerer.seen()[0].text.startsWith("The folder \"" + empty + "\" has no trevlin.INI"),
                 qPrintable(answerer.seen()[0].text));
    }
}

QTEST_MAIN(TestModuleIni)
#include "tst_settings_moduleini.moc"
