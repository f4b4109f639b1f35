// The trevlin-ini tool, run as a program: its output and exit status, that it
// writes as the program does, and the permission cases, which run it as an
// unprivileged user (CI runs as root, where permission bits restrict nothing).
// The cases that need a small disc of their own (a tmpfs) run only as root.

#include "settings/moduleini.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using testsupport::TempAppFolder;

using testsupport::setMode;
using testsupport::statOf;

namespace {

const bool kRoot = ::geteuid() == 0;

struct Run { int exitCode = -1; QByteArray out, err; };

// setpriv's arguments for running as another user.
const QStringList kNobody{"--reuid=nobody", "--regid=nogroup", "--clear-groups"};
const QStringList kGroupMember{"--reuid=2002", "--regid=3000", "--groups=3000"};

// Runs the tool, as the user `as` names when the test runs as root (an
// ordinary user is unprivileged already), with the library `preload` loaded
// into it first when one is named.
Run runTool(const QStringList &args, const QStringList &as = {}, const QString &preload = {})
{
    QProcess process;
    if (!preload.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LD_PRELOAD", preload);
        process.setProcessEnvironment(environment);
    }
    const QString tool = QStringLiteral(TREVLIN_INI_TOOL);
    if (!as.isEmpty() && kRoot)
        process.start("setpriv", as + QStringList{tool} + args);
    else
        process.start(tool, args);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

bool chownPath(const QString &path, uid_t uid, gid_t gid)
{
    return ::chown(QFile::encodeName(path).constData(), uid, gid) == 0;
}

const QByteArray kDisc = "[main]\r\nTitle=TrevLIN\r\n[settings]\r\nblockset=no\r\n";

} // namespace

class TestTrevlinIni : public QObject
{
    Q_OBJECT

private slots:
    void setAndGetInUtf8();
    void usage();
    void unreadableFiles_data();
    void unreadableFiles();
    void permissions_data();
    void permissions();
    void failedWrites_data();
    void failedWrites();
    void writersTakeTurns();
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
    QCOMPARE(dir.readIni(), "[Main]\r\nTITLE=caf\xC3\xA9\r\n"_ba);  // a new file takes UTF-8
    QCOMPARE(get(), "caf\xC3\xA9\n"_ba);

    const QString greek = u"\u0395\u03BB\u03BB\u03AC\u03B4\u03B1"_s;
    dir.writeIni("[Main]\r\nTITLE=caf\xE9\r\n");  // Windows-1252
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

    // Bytes that are not UTF-8 are refused, not written as U+FFFD.
    TempAppFolder dir;
    QProcess shell;
    shell.start("sh", {"-c", "\"$0\" set \"$1\" main title \"$(printf 'Caf\\351')\"", TREVLIN_INI_TOOL, dir.iniPath()});
    QVERIFY(shell.waitForFinished(30000));
    const Run latin1{shell.exitCode(), shell.readAllStandardOutput(), shell.readAllStandardError()};
    QCOMPARE(latin1.exitCode, 2);
    QVERIFY(latin1.err.startsWith("trevlin-ini: argument 5 is not valid UTF-8 text\n"));
    QVERIFY(!QFile::exists(dir.iniPath()));
}

void TestTrevlinIni::unreadableFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("reason");  // what both commands say

    QTest::newRow("named pipe") << "pipe" << "it is a named pipe, not an ordinary file"_ba;
    QTest::newRow("symlink to /dev/zero") << "zero" << "it is a device, not an ordinary file"_ba;
    QTest::newRow("symlink loop") << "loop" << QByteArray(std::strerror(ELOOP));
    QTest::newRow("in a folder that may not be entered") << "closed" << QByteArray(std::strerror(EACCES));
}

void TestTrevlinIni::unreadableFiles()
{
    // Neither command opens what is not an ordinary file, so none waits (a
    // pipe) or fills memory (/dev/zero); each says what is there.
    QFETCH(QString, kind);
    QFETCH(QByteArray, reason);
    TempAppFolder dir;
    QVERIFY(setMode(dir.path(), 0755));
    QString path = dir.iniPath();
    const QByteArray name = QFile::encodeName(path);
    QStringList as;
    if (kind == "pipe")
        QVERIFY(::mkfifo(name.constData(), 0666) == 0);
    else if (kind == "zero")
        QVERIFY(::symlink("/dev/zero", name.constData()) == 0);
    else if (kind == "loop")
        QVERIFY(::symlink(name.constData(), name.constData()) == 0);
    else {
        if (kRoot && QStandardPaths::findExecutable("setpriv").isEmpty())
            QSKIP("running as root without setpriv: nobody to keep out");
        QVERIFY(QDir().mkdir(dir.filePath("closed")));
        dir.writeFile("closed/trevlin.INI", kDisc);
        QVERIFY(setMode(dir.filePath("closed"), 0600));  // readable, not enterable
        path = dir.filePath("closed/trevlin.INI");
        as = kNobody;
    }
    const QFileInfo before(path);
    const Run get = runTool({"get", path, "main", "title"}, as);
    QCOMPARE(get.exitCode, 1);
    QCOMPARE(get.out, QByteArray());
    QCOMPARE(get.err, "trevlin-ini: cannot read " + path.toUtf8() + ": " + reason + '\n');
    const Run set = runTool({"set", path, "main", "title", "x"}, as);
    QCOMPARE(set.exitCode, 1);
    QCOMPARE(set.err, "Escrita sem Sucesso: " + reason + '\n');
    QCOMPARE(QFileInfo(path).isSymLink(), before.isSymLink());
    if (kind == "closed") {
        QVERIFY(setMode(dir.filePath("closed"), 0700));
        QCOMPARE(dir.readFile("closed/trevlin.INI"), kDisc);
    }
    // A missing file is no error: it reads as empty.
    const Run missing = runTool({"get", dir.filePath("none.ini"), "main", "title"});
    QCOMPARE(missing.exitCode, 0);
    QCOMPARE(missing.out, "\n"_ba);
}

void TestTrevlinIni::permissions_data()
{
    QTest::addColumn<unsigned>("folderMode");
    QTest::addColumn<unsigned>("fileMode");  // 0: no file
    // Who owns the file: root, the writer (nobody), or user 2001 of group
    // 3000, who then owns the folder too and the writer is user 2002 of it.
    QTest::addColumn<QString>("owner");
    QTest::addColumn<bool>("written");
    // Where the file is: trevlin.INI, a name of 254 bytes, or trevlin.INI
    // with a file mounted on its name (here itself).
    QTest::addColumn<QString>("place");

    // The folder is writable, so a rename would replace the file: the writer
    // must see that the file itself is not its to write.
    QTest::newRow("another user's file in a writable folder") << 0777u << 0644u << "root" << false << "";
    QTest::newRow("own read-only file in a writable folder") << 0777u << 0444u << "writer" << false << "";
    QTest::newRow("writable file in a read-only folder") << 0555u << 0666u << "root" << true << "";
    QTest::newRow("own file in a read-only folder") << 0555u << 0644u << "writer" << true << "";
    QTest::newRow("new file in a read-only folder") << 0555u << 0u << "writer" << false << "";
    // A new file would be the writer's: the owner would be locked out.
    QTest::newRow("group member writes the owner's file") << 02775u << 0664u << "2001:3000" << true << "";
    // No new file can replace these, though the folder may be written.
    QTest::newRow("own file, name too long for a new file's") << 0777u << 0644u << "writer" << true << "long";
    QTest::newRow("own file, another mounted on its name") << 0777u << 0644u << "writer" << true << "mounted";
}

void TestTrevlinIni::permissions()
{
    QFETCH(unsigned, folderMode);
    QFETCH(unsigned, fileMode);
    QFETCH(QString, owner);
    QFETCH(bool, written);
    QFETCH(QString, place);
    if (kRoot && QStandardPaths::findExecutable("setpriv").isEmpty())
        QSKIP("running as root without setpriv: no unprivileged writer");
    if (!kRoot && owner != "writer")
        QSKIP("needs a file of another user: run as root");
    if (!kRoot && place == "mounted")
        QSKIP("mounting needs root");

    TempAppFolder dir;  // under the temporary folder, which everybody may enter
    const QString name = place == "long" ? QString(254, u'n') : u"trevlin.INI"_s;
    const QString path = dir.filePath(name);
    const bool shared = owner == "2001:3000";
    if (fileMode) {
        dir.writeFile(name, kDisc);
        if (kRoot && owner == "writer")
            QVERIFY(chownPath(path, 65534, 65534));  // nobody's
        if (shared)
            QVERIFY(chownPath(path, 2001, 3000) && chownPath(dir.path(), 2001, 3000));
        QVERIFY(setMode(path, fileMode));
    }
    QVERIFY(setMode(dir.path(), folderMode));
    const QByteArray encoded = QFile::encodeName(path);
    if (place == "mounted" && ::mount(encoded.constData(), encoded.constData(), nullptr, MS_BIND, nullptr) != 0)
        QFAIL(qPrintable("cannot mount the file on its own name: " + QString::fromLocal8Bit(std::strerror(errno))));
    const auto unmount = qScopeGuard([&] {
        if (place == "mounted")
            ::umount2(encoded.constData(), MNT_DETACH);
    });
    const QStringList as = shared ? kGroupMember : kNobody;
    const Run probe = runTool({"--version"}, as);
    QVERIFY2(probe.exitCode == 0, qPrintable("the unprivileged user cannot run the tool here: " + probe.err));
    const struct stat before = statOf(path);
    const Run run = runTool({"set", path, "main", "title", "Nosferatu"}, as);
    QVERIFY(setMode(dir.path(), 0700));

    QCOMPARE(run.exitCode, written ? 0 : 1);
    QCOMPARE(run.err.startsWith("Escrita sem Sucesso: "), !written);
    QCOMPARE(dir.readFile(name), written ? "[main]\r\nTitle=Nosferatu\r\n[settings]\r\nblockset=no\r\n"_ba
                                         : fileMode ? kDisc : QByteArray());
    // In place or not at all, with its owner, group and mode; no file stays
    // no file (all zero).
    const struct stat after = statOf(path);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_uid, before.st_uid);
    QCOMPARE(after.st_gid, before.st_gid);
    QCOMPARE(after.st_mode & 07777, fileMode);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), fileMode ? 1 : 0);
}

void TestTrevlinIni::failedWrites_data()
{
    QTest::addColumn<bool>("full");  // the disk is full; otherwise its first sync fails
    QTest::addColumn<bool>("inPlace");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("error");  // the system's reason given

    // Root writes its own file in a folder it may write: a new file and a
    // rename, which finds no room for even a short value.
    QTest::newRow("full disk, new file and rename") << true << false << "A longer title" << ENOSPC;
    // Nobody's file in root's folder is written in place; the value needs a
    // block more than the file has.
    QTest::newRow("full disk, in place") << true << true << QString(5000, u'x') << ENOSPC;
    // The disk could not write the new bytes: the new file goes, or the old
    // bytes are written again.
    QTest::newRow("failed sync, new file and rename") << false << false << "Nosferatu" << EIO;
    QTest::newRow("failed sync, in place") << false << true << "Nosferatu" << EIO;
}

void TestTrevlinIni::failedWrites()
{
    // A write that fails says why and leaves the file as it was.
    QFETCH(bool, full);
    QFETCH(bool, inPlace);
    QFETCH(QString, value);
    QFETCH(int, error);
    if (full && !kRoot)
        QSKIP("mounting a small tmpfs needs root");
    if (kRoot && inPlace && QStandardPaths::findExecutable("setpriv").isEmpty())
        QSKIP("running as root without setpriv: no unprivileged writer");
    TempAppFolder dir;
    QVERIFY(setMode(dir.path(), 0755));
    const QString disc = dir.filePath("disc");
    QVERIFY(QDir().mkdir(disc));
    if (full && ::mount("tmpfs", QFile::encodeName(disc).constData(), "tmpfs", 0, "size=64k,mode=0755") != 0)
        QSKIP(qPrintable("cannot mount a 64 KiB tmpfs: " + QString::fromLocal8Bit(std::strerror(errno))));
    const auto unmount = qScopeGuard([&] {
        if (full)
            ::umount2(QFile::encodeName(disc).constData(), MNT_DETACH);
    });
    const QString path = dir.filePath("disc/trevlin.INI");
    dir.writeFile("disc/trevlin.INI", kDisc);
    // In place: a file in a folder its writer may not write.
    if (inPlace && kRoot)
        QVERIFY(chownPath(path, 65534, 65534));  // nobody's, in root's folder
    if (inPlace && !kRoot)
        QVERIFY(setMode(disc, 0555));
    const auto writable = qScopeGuard([&] { setMode(disc, 0755); });
    if (full) {
        QFile fill(dir.filePath("disc/fill"));
        QVERIFY(fill.open(QIODevice::WriteOnly));
        const QByteArray block(4096, '\0');
        while (fill.write(block) == block.size() && fill.flush()) {
        }
        QVERIFY(fill.error() != QFileDevice::NoError);  // full
    }

    const Run run = runTool({"set", path, "main", "title", value}, inPlace ? kNobody : QStringList(),
                            full ? QString() : QStringLiteral(FAILING_SYNC));
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err.startsWith("Escrita sem Sucesso: "), true);
    QVERIFY2(run.err.endsWith(std::strerror(error) + "\n"_ba), run.err.constData());
    QCOMPARE(dir.readFile("disc/trevlin.INI"), kDisc);
    QCOMPARE(QDir(disc).entryList(QDir::Files | QDir::Hidden),
             full ? QStringList({"fill", "trevlin.INI"}) : QStringList({"trevlin.INI"}));
}

void TestTrevlinIni::writersTakeTurns()
{
    // Two writers at once, each adding its own keys to one file: every write
    // that reported success is in the file at the end, whichever way the file
    // was written (a rename puts a new file in place of the one the other
    // writer waits for).
    TempAppFolder dir;
    const QString path = dir.iniPath();
    dir.writeIni(kDisc);
    const QString loop = QStringLiteral(
        "for i in $(seq 60); do \"$0\" set \"$1\" \"$2\" k$i v$i && echo $i; done");
    QProcess writers[2];
    const QStringList sections{"one", "two"};
    for (int w = 0; w < 2; ++w)
        writers[w].start("sh", {"-c", loop, TREVLIN_INI_TOOL, path, sections[w]});
    int succeeded = 0;
    for (int w = 0; w < 2; ++w) {
        QVERIFY(writers[w].waitForFinished(120000));
        const QList<QByteArray> done = writers[w].readAllStandardOutput().split('\n');
        for (const QByteArray &i : done) {
            if (i.isEmpty())
                continue;
            ++succeeded;
            QCOMPARE(readIniFile(path, sections[w], "k" + i), "v"_L1 + QString::fromLatin1(i));
        }
        QCOMPARE(writers[w].readAllStandardError(), QByteArray());
    }
    QCOMPARE(succeeded, 120);
    QCOMPARE(readIniFile(path, "settings", "blockset"), "no"_L1);

    // A writer that never lets go makes the next one fail after a wait.
    QFile held(path);
    QVERIFY(held.open(QIODevice::ReadOnly));
    QVERIFY(::flock(held.handle(), LOCK_EX) == 0);
    const QByteArray before = dir.readIni();
    const Run blocked = runTool({"set", path, "main", "title", "late"});
    QCOMPARE(blocked.exitCode, 1);
    QCOMPARE(blocked.err, "Escrita sem Sucesso: another program is writing the file and did not finish within 5 seconds\n"_ba);
    QCOMPARE(dir.readIni(), before);
}

QTEST_GUILESS_MAIN(TestTrevlinIni)
#include "tst_settings_trevlinini.moc"
