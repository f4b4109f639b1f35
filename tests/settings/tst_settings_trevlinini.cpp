// The trevlin-ini tool, run as a program: its output and exit status, that it
// writes as the program does, and the permission cases, which run it as an
// unprivileged user (CI runs as root, where permission bits restrict nothing).

#include "settings/moduleini.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using testsupport::TempAppFolder;

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

bool isRoot()
{
    return ::geteuid() == 0;
}

// Runs the tool; `unprivileged` runs it as nobody when the test runs as root
// (an ordinary user is unprivileged already).
Run runTool(const QStringList &args, bool unprivileged = false)
{
    QProcess process;
    const QString tool = QStringLiteral(TREVLIN_INI_TOOL);
    if (unprivileged && isRoot())
        process.start("setpriv", QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups", tool} + args);
    else
        process.start(tool, args);
    Run run;
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit)
        run = Run{process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    return run;
}

struct stat statOf(const QString &path)
{
    struct stat info = {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info;
}

void setMode(const QString &path, unsigned mode)
{
    QVERIFY(::chmod(QFile::encodeName(path).constData(), mode) == 0);
}

const QByteArray kDisc = "[main]\r\nTitle=TrevLIN\r\n[settings]\r\nblockset=no\r\n";

} // namespace

class TestTrevlinIni : public QObject
{
    Q_OBJECT

private slots:
    void getPrintsTheValue();
    void setDoesWhatTheProgramDoes_data();
    void setDoesWhatTheProgramDoes();
    void usage();
    void permissions_data();
    void permissions();
};

void TestTrevlinIni::getPrintsTheValue()
{
    TempAppFolder dir;
    dir.writeFile("a.ini", "[\xCE\xB5]\r\nCl\xC3\xA9=\xE2\x82\xAC 5\r\n[s]\nk=" + QByteArray(300, 'x'));
    const QString path = dir.filePath("a.ini");
    const auto get = [&](const QString &section, const QString &key) {
        const Run run = runTool({"get", path, section, key});
        return run.exitCode == 0 && run.err.isEmpty() ? run.out : "failed: " + run.err;
    };
    QCOMPARE(get(QStringLiteral(u"\u0395"), QStringLiteral(u"cl\u00C9")), QByteArray("\xE2\x82\xAC 5\n"));  // UTF-8 both ways
    QCOMPARE(get("s", "k"), QByteArray(254, 'x') + '\n');
    QCOMPARE(get("s", "missing"), QByteArray("\n"));
    dir.writeFile("a.ini", "[s]\r\nk=\x80 caf\xE9\r\n");
    QCOMPARE(get("S", "K"), QByteArray("\xE2\x82\xAC caf\xC3\xA9\n"));  // Windows-1252 comes out as UTF-8
    QCOMPARE(runTool({"get", dir.filePath("none.ini"), "s", "k"}).out, QByteArray("\n"));
}

void TestTrevlinIni::setDoesWhatTheProgramDoes_data()
{
    QTest::addColumn<QByteArray>("file");  // empty: no file
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("ok");

    const QString greek = QStringLiteral(u"\u0395\u03BB\u03BB\u03AC\u03B4\u03B1");
    QTest::newRow("change") << kDisc << "main" << "title" << "Nosferatu" << true;
    QTest::newRow("new file") << QByteArray() << "Main" << "title" << "x" << true;
    QTest::newRow("new section") << kDisc << "path" << "movie" << "/disc/m.avi" << true;
    QTest::newRow("Greek into UTF-8") << QByteArray("[main]\nTitle=caf\xC3\xA9\n") << "main" << "title" << greek << true;
    QTest::newRow("Greek into 1252") << kDisc << "main" << "title" << greek << false;
    QTest::newRow("injection") << kDisc << "main" << "title" << "x\r\n[settings]\r\nblockset=yes" << false;
}

void TestTrevlinIni::setDoesWhatTheProgramDoes()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(bool, ok);
    TempAppFolder dir;
    if (!file.isEmpty()) {
        dir.writeFile("tool.ini", file);
        dir.writeFile("program.ini", file);
    }
    const Run run = runTool({"set", dir.filePath("tool.ini"), section, key, value});
    const WriteOutcome outcome = writeIniFile(dir.filePath("program.ini"), section, key, value);
    QCOMPARE(outcome.ok, ok);
    QCOMPARE(run.exitCode, ok ? 0 : 1);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(QFile::exists(dir.filePath("tool.ini")), QFile::exists(dir.filePath("program.ini")));
    QCOMPARE(dir.readFile("tool.ini"), dir.readFile("program.ini"));
    if (!ok) {
        QCOMPARE(dir.readFile("tool.ini"), file);
        QCOMPARE(run.err, "Escrita sem Sucesso: " + outcome.reason.toUtf8() + '\n');
    }
}

void TestTrevlinIni::usage()
{
    const Run help = runTool({"--help"});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains("trevlin-ini get FILE SECTION KEY\n"));
    QVERIFY(help.out.contains("trevlin-ini set FILE SECTION KEY VALUE\n"));
    const QList<QStringList> wrong = {{}, {"get", "f.ini", "main"}, {"set", "f.ini", "main", "title"},
                                      {"put", "f.ini", "main", "title", "x"}};
    for (const QStringList &args : wrong) {
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
    if (isRoot() && QStandardPaths::findExecutable("setpriv").isEmpty())
        QSKIP("running as root without setpriv: no unprivileged writer");
    if (!isRoot() && othersFile)
        QSKIP("needs a file of another user: run as root");

    TempAppFolder dir;  // under the temporary folder, which everybody may enter
    const QString path = dir.iniPath();
    if (fileMode) {
        dir.writeIni(kDisc);
        if (isRoot() && !othersFile)
            QVERIFY(::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0);  // nobody's
        setMode(path, fileMode);
    }
    setMode(dir.path(), 0777);
    const Run probe = runTool({"get", path, "main", "title"}, true);
    if (probe.exitCode != 0)
        QSKIP(qPrintable("the unprivileged user cannot run the tool here: " + probe.err));
    setMode(dir.path(), folderMode);
    const ino_t inode = statOf(path).st_ino;
    const Run run = runTool({"set", path, "main", "title", "Nosferatu"}, true);
    setMode(dir.path(), 0700);

    QCOMPARE(run.exitCode, written ? 0 : 1);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             fileMode ? QStringList{"trevlin.INI"} : QStringList{});
    QCOMPARE(dir.readIni(), written ? QByteArray("[main]\r\nTitle=Nosferatu\r\n[settings]\r\nblockset=no\r\n")
                                    : QByteArray(fileMode ? kDisc : ""));
    if (fileMode) {
        QCOMPARE(statOf(path).st_ino, inode);  // in place, or not at all
        QCOMPARE(statOf(path).st_mode & 07777, fileMode);
    }
    if (!written)
        QVERIFY2(run.err.startsWith("Escrita sem Sucesso: "), run.err.constData());
}

QTEST_GUILESS_MAIN(TestTrevlinIni)
#include "tst_settings_trevlinini.moc"
