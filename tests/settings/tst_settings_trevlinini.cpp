// The trevlin-ini tool, run as a program: its output and exit status, that it
// writes as the program does, and the permission cases, which run it as an
// unprivileged user (CI runs as root, where permission bits restrict nothing).

#include "settings/moduleini.h"
#include "testsupport.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using testsupport::TempAppFolder;

using testsupport::setMode;
using testsupport::statOf;

namespace {

const bool kRoot = ::geteuid() == 0;

struct Run { int exitCode = -1; QByteArray out, err; };

// Runs the tool; `unprivileged` runs it as nobody when the test runs as root
// (an ordinary user is unprivileged already).
Run runTool(const QStringList &args, bool unprivileged = false)
{
    QProcess process;
    const QString tool = QStringLiteral(TREVLIN_INI_TOOL);
    if (unprivileged && kRoot)
        process.start("setpriv", QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups", tool} + args);
    else
        process.start(tool, args);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

const QByteArray kDisc = "[main]\r\nTitle=TrevLIN\r\n[settings]\r\nblockset=no\r\n";

} // namespace

class TestTrevlinIni : public QObject
{
    Q_OBJECT

private slots:
    void setAndGetInUtf8();
    void usage();
    void permissions_data();
    void permissions();
};

void TestTrevlinIni::setAndGetInUtf8()
{
    // Arguments and output are UTF-8 whatever the file's encoding.
    TempAppFolder dir;
    const QString path = dir.iniPath();
    const auto get = [&] { return runTool({"get", path, "main", "title"}).out; };
    QCOMPARE(get(), "\n"_ba);  // no file
    const Run set = runTool({"set", path, "Main", "TITLE", u"caf\u00E9"_s});
    QCOMPARE(set.exitCode, 0);
    QCOMPARE(set.out + set.err, QByteArray());
    QCOMPARE(dir.readIni(), "[Main]\r\nTITLE=caf\xE9\r\n"_ba);  // a new file is Windows-1252
    QCOMPARE(get(), "caf\xC3\xA9\n"_ba);

    const QString greek = u"\u0395\u03BB\u03BB\u03AC\u03B4\u03B1"_s;
    const Run refused = runTool({"set", path, "main", "title", greek});
    QCOMPARE(refused.exitCode, 1);
    QCOMPARE(refused.err, "Escrita sem Sucesso: " + writeIniFile(path, "main", "title", greek).reason.toUtf8() + '\n');
    QCOMPARE(dir.readIni(), "[Main]\r\nTITLE=caf\xE9\r\n"_ba);

    dir.writeIni("[main]\nTitle=x\n\xC3\xA9=1\n");  // UTF-8 by its bytes
    QCOMPARE(runTool({"set", path, "main", "title", greek}).exitCode, 0);
    QCOMPARE(dir.readIni(), "[main]\nTitle=" + greek.toUtf8() + "\n\xC3\xA9=1\n");
    QCOMPARE(get(), greek.toUtf8() + '\n');

    // A settings file that is there but cannot be read is no empty value.
    const Run folder = runTool({"get", dir.path(), "main", "title"});
    QCOMPARE(folder.exitCode, 1);
    QVERIFY(folder.err.contains("it is a folder"));
}

void TestTrevlinIni::usage()
{
    const Run help = runTool({"--help"});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains("trevlin-ini set FILE SECTION KEY VALUE\n"));
    const Run version = runTool({"--version"});
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out, "trevlin-ini (Trevlin) " TREVLIN_VERSION_TEXT "\n"_ba);
    for (const QStringList &args : QList<QStringList>{{}, {"get", "f.ini", "main"}, {"set", "f.ini", "main", "title"},
                                                      {"put", "f.ini", "main", "title", "x"},
                                                      {"--version", "get"}}) {
        const Run run = runTool(args);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains("Usage:"));
    }
    QVERIFY(!QFile::exists("f.ini"));
}

void TestTrevlinIni::permissions_data()
{
    QTest::addColumn<unsigned>("folderMode");
    QTest::addColumn<unsigned>("fileMode");  // 0: no file
    QTest::addColumn<bool>("othersFile");     // the file belongs to root, not to the writer
    QTest::addColumn<bool>("written");

    // The folder is writable, so a rename would replace the file: the writer
    // must see that the file itself is not its to write.
    QTest::newRow("another user's file in a writable folder") << 0777u << 0644u << true << false;
    QTest::newRow("own read-only file in a writable folder") << 0777u << 0444u << false << false;
    QTest::newRow("writable file in a read-only folder") << 0555u << 0666u << true << true;
    QTest::newRow("own file in a read-only folder") << 0555u << 0644u << false << true;
    QTest::newRow("new file in a read-only folder") << 0555u << 0u << false << false;
}

void TestTrevlinIni::permissions()
{
    QFETCH(unsigned, folderMode);
    QFETCH(unsigned, fileMode);
    QFETCH(bool, othersFile);
    QFETCH(bool, written);
    if (kRoot && QStandardPaths::findExecutable("setpriv").isEmpty())
        QSKIP("running as root without setpriv: no unprivileged writer");
    if (!kRoot && othersFile)
        QSKIP("needs a file of another user: run as root");

    TempAppFolder dir;  // under the temporary folder, which everybody may enter
    const QString path = dir.iniPath();
    if (fileMode) {
        dir.writeIni(kDisc);
        if (kRoot && !othersFile)
            QVERIFY(::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0);  // nobody's
        QVERIFY(setMode(path, fileMode));
    }
    QVERIFY(setMode(dir.path(), folderMode));
    if (const Run probe = runTool({"get", path, "main", "title"}, true); probe.exitCode != 0)
        QSKIP(qPrintable("the unprivileged user cannot run the tool here: " + probe.err));
    const ino_t inode = statOf(path).st_ino;
    const Run run = runTool({"set", path, "main", "title", "Nosferatu"}, true);
    QVERIFY(setMode(dir.path(), 0700));

    QCOMPARE(run.exitCode, written ? 0 : 1);
    QCOMPARE(run.err.startsWith("Escrita sem Sucesso: "), !written);
    QCOMPARE(dir.readIni(), written ? "[main]\r\nTitle=Nosferatu\r\n[settings]\r\nblockset=no\r\n"_ba
                                    : fileMode ? kDisc : QByteArray());
    // In place or not at all, with its mode; no file stays no file (all zero).
    QCOMPARE(statOf(path).st_ino, inode);
    QCOMPARE(statOf(path).st_mode & 07777, fileMode);
}

QTEST_GUILESS_MAIN(TestTrevlinIni)
#include "tst_settings_trevlinini.moc"
