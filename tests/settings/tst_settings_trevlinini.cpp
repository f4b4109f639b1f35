// The trevlin-ini tool, run as a program: its output and exit status, that it
// writes as the program does, and the permission cases, which run it as an
// unprivileged user (CI runs as root, where permission bits restrict nothing).
// The cases that need a small disc of their own (a tmpfs) run only as root.

#include "settings/moduleini.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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
    QTest::newRow("one byte past the read bound")
        << "large" << "it is too large (16777217 bytes; at most 16777216 bytes can be used)"_ba;
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
    else if (kind == "large") {
        QFile large(path);
        QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(kMaxSettingsFileBytes + 1));
    } else {
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
    // Who writes: nobody, the group member 2002, or root.
    QTest::addColumn<QString>("writer");
    QTest::addColumn<bool>("written");
    // Where the file is: trevlin.INI, a name of 254 bytes, trevlin.INI with a
    // file mounted on its name (here itself), in a folder with a default
    // access list or an append-only folder; or trevlin.INI is a symbolic
    // link (owned by "link of USER") to target/trevlin.INI, in a folder of
    // root or, "in USER's folder", of that user.
    QTest::addColumn<QString>("place");
    QTest::addColumn<bool>("renamed");  // a new file took the name

    // The folder is writable, so a rename would replace the file: the writer
    // must see that the file itself is not its to write.
    QTest::newRow("another user's file in a writable folder") << 0777u << 0644u << "root" << "nobody" << false << "" << false;
    QTest::newRow("own read-only file in a writable folder") << 0777u << 0444u << "writer" << "nobody" << false << "" << false;
    QTest::newRow("writable file in a read-only folder") << 0555u << 0666u << "root" << "nobody" << true << "" << false;
    QTest::newRow("own file in a read-only folder") << 0555u << 0644u << "writer" << "nobody" << true << "" << false;
    QTest::newRow("new file in a read-only folder") << 0555u << 0u << "writer" << "nobody" << false << "" << false;
    // A new file would be the writer's: the owner would be locked out.
    QTest::newRow("group member writes the owner's file") << 02775u << 0664u << "2001:3000" << "member" << true << "" << false;
    // No new file can replace these, though the folder may be written.
    QTest::newRow("own file, name too long for a new file's") << 0777u << 0644u << "writer" << "nobody" << true << "long" << false;
    QTest::newRow("own file, another mounted on its name") << 0777u << 0644u << "writer" << "nobody" << true << "mounted" << false;
    // The new file must not take the folder's default entries (user 2001
    // may read and write new files): it gets the old one's mode and nothing
    // more.
    QTest::newRow("own file in a folder with a default access list") << 0777u << 0640u << "writer" << "nobody" << true << "default acl" << true;
    // A new file could be made but never renamed nor removed: in place, and
    // no hidden file stays.
    QTest::newRow("own file in an append-only folder") << 0777u << 0644u << "writer" << "nobody" << true << "append-only" << false;
    // Root follows no link of another user, wherever it is; a user follows
    // another's link in a folder everybody may write only when it is the
    // folder owner's (the system's rule, applied even where it is off).
    QTest::newRow("root through another user's link in a sticky folder") << 01777u << 0644u << "root" << "root" << false << "link of nobody" << false;
    QTest::newRow("root through another user's link in that user's folder") << 0755u << 0644u << "root" << "root" << false << "link of nobody in nobody's folder" << false;
    QTest::newRow("root through its own link") << 0755u << 0644u << "root" << "root" << true << "link of root" << true;
    QTest::newRow("user through its own link in a sticky folder") << 01777u << 0644u << "writer" << "nobody" << true << "link of nobody" << true;
    QTest::newRow("user through the folder owner's link in a sticky folder") << 01777u << 0644u << "writer" << "nobody" << true << "link of root" << true;
    QTest::newRow("user through a third user's link in a sticky folder") << 01777u << 0644u << "writer" << "nobody" << false << "link of 2001" << false;
}

void TestTrevlinIni::permissions()
{
    QFETCH(unsigned, folderMode);
    QFETCH(unsigned, fileMode);
    QFETCH(QString, owner);
    QFETCH(QString, writer);
    QFETCH(bool, written);
    QFETCH(QString, place);
    QFETCH(bool, renamed);
    if (kRoot && QStandardPaths::findExecutable("setpriv").isEmpty())
        QSKIP("running as root without setpriv: no unprivileged writer");
    if (!kRoot && (owner != "writer" || writer != "nobody" || place.startsWith("link of")))
        QSKIP("needs a file or link of another user, or root as the writer: run as root");
    if (!kRoot && (place == "mounted" || place == "append-only"))
        QSKIP("mounting and append-only folders need root");

    TempAppFolder dir;  // under the temporary folder, which everybody may enter
    const QString name = place == "long" ? QString(254, u'n') : u"trevlin.INI"_s;
    const QString path = dir.filePath(name);
    const bool shared = owner == "2001:3000";
    const bool viaLink = place.startsWith("link of ");
    // The file written: the link's target, or the file under the name.
    const QString file = viaLink ? dir.filePath("target/trevlin.INI") : path;
    const QString fileFolder = viaLink ? dir.filePath("target") : dir.path();
    const auto uidOf = [](const QString &user) { return user == "root" ? 0u : user == "nobody" ? 65534u : user.toUInt(); };
    if (viaLink) {
        // The target's folder: root's own is closed to everybody else.
        QVERIFY(QDir(dir.path()).mkdir("target"));
        QVERIFY(setMode(fileFolder, owner == "root" ? 0700 : 0777));
        const QString linkOwner = place.section(' ', 2, 2);
        QVERIFY(QFile::link(file, path));
        QVERIFY(::lchown(QFile::encodeName(path).constData(), uidOf(linkOwner), uidOf(linkOwner)) == 0);
        if (place.endsWith("'s folder"))
            QVERIFY(chownPath(dir.path(), uidOf(linkOwner), uidOf(linkOwner)));
    }
    if (fileMode) {
        dir.writeFile(viaLink ? u"target/trevlin.INI"_s : name, kDisc);
        if (kRoot && owner == "writer")
            QVERIFY(chownPath(file, 65534, 65534));  // nobody's
        if (shared)
            QVERIFY(chownPath(file, 2001, 3000) && chownPath(dir.path(), 2001, 3000));
        QVERIFY(setMode(file, fileMode));
    }
    QVERIFY(setMode(dir.path(), folderMode));
    if (place == "default acl") {
        QProcess setfacl;
        setfacl.start("setfacl", {"-d", "-m", "u:2001:rw", dir.path()});
        QVERIFY2(setfacl.waitForFinished(30000) && setfacl.exitStatus() == QProcess::NormalExit && setfacl.exitCode() == 0,
                 qPrintable("cannot give the folder a default access list (the acl package's setfacl): "
                            + setfacl.errorString() + setfacl.readAllStandardError()));
    }
    const auto chattr = [&](const char *flag) {
        QProcess process;
        process.start("chattr", {flag, dir.path()});
        return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    };
    if (place == "append-only")
        QVERIFY2(chattr("+a"), "cannot make the folder append-only (chattr +a, e2fsprogs)");
    const auto appendOnly = qScopeGuard([&] {
        if (place == "append-only")
            chattr("-a");
    });
    const QByteArray encoded = QFile::encodeName(path);
    if (place == "mounted" && ::mount(encoded.constData(), encoded.constData(), nullptr, MS_BIND, nullptr) != 0)
        QFAIL(qPrintable("cannot mount the file on its own name: " + QString::fromLocal8Bit(std::strerror(errno))));
    const auto unmount = qScopeGuard([&] {
        if (place == "mounted")
            ::umount2(encoded.constData(), MNT_DETACH);
    });
    const QStringList as = writer == "member" ? kGroupMember : writer == "nobody" ? kNobody : QStringList();
    const Run probe = runTool({"--version"}, as);
    QVERIFY2(probe.exitCode == 0, qPrintable("the unprivileged user cannot run the tool here: " + probe.err));
    const struct stat before = statOf(file);
    const Run run = runTool({"set", path, "main", "title", "Nosferatu"}, as);
    if (place == "append-only")
        QVERIFY(chattr("-a"));
    QVERIFY(setMode(dir.path(), 0700));

    QVERIFY2(run.exitCode == (written ? 0 : 1), run.err.constData());
    QCOMPARE(run.err.startsWith("Escrita sem Sucesso: "), !written);
    if (viaLink && !written)  // says whose link it is
        QVERIFY2(run.err.contains("is a symbolic link owned by "), run.err.constData());
    QFile result(file);
    QVERIFY(!fileMode || result.open(QIODevice::ReadOnly));
    QCOMPARE(fileMode ? result.readAll() : QByteArray(),
             written ? "[main]\r\nTitle=Nosferatu\r\n[settings]\r\nblockset=no\r\n"_ba : fileMode ? kDisc : QByteArray());
    // In place, renamed or not at all, with its owner, group and mode and no
    // more access entries than it had; no file stays no file (all zero).
    const struct stat after = statOf(file);
    QCOMPARE(after.st_ino == before.st_ino, !renamed);
    QCOMPARE(after.st_uid, before.st_uid);
    QCOMPARE(after.st_gid, before.st_gid);
    QCOMPARE(after.st_mode & 07777, fileMode);
    QVERIFY(::getxattr(QFile::encodeName(file).constData(), "system.posix_acl_access", nullptr, 0) < 0);
    QCOMPARE(QDir(fileFolder).entryList(QDir::Files | QDir::Hidden).size(), fileMode ? 1 : 0);
    if (viaLink)
        QVERIFY(QFileInfo(path).isSymLink());
}

void TestTrevlinIni::failedWrites_data()
{
    // The disk: "tmpfs" a full 64 KiB tmpfs; "btrfs" a 128 MiB btrfs with
    // 1 MiB free; "failing sync" its first sync fails; "" no trouble.
    QTest::addColumn<QString>("disk");
    // Why in place: "nobody" writes its file in root's folder, "link" the
    // file has a second name; "": a new file and a rename.
    QTest::addColumn<QString>("inPlace");
    QTest::addColumn<qint64>("size");  // the file's: kDisc and comment lines after it; 0: kDisc alone
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("reasonEnd");  // the end of the reason given

    const QByteArray noRoom = std::strerror(ENOSPC);
    // Root writes its own file in a folder it may write: a new file and a
    // rename, which finds no room for even a short value.
    QTest::newRow("full disk, new file and rename") << "tmpfs" << "" << 0ll << "A longer title" << noRoom;
    // Nobody's file in root's folder is written in place; the value needs a
    // block more than the file has.
    QTest::newRow("full disk, in place") << "tmpfs" << "nobody" << 0ll << QString(5000, u'x') << noRoom;
    // The disk could not write the new bytes: the new file goes, or the old
    // bytes are written again.
    QTest::newRow("failed sync, new file and rename") << "failing sync" << "" << 0ll << "Nosferatu" << QByteArray(std::strerror(EIO));
    QTest::newRow("failed sync, in place") << "failing sync" << "nobody" << 0ll << "Nosferatu" << QByteArray(std::strerror(EIO));
    // Rewriting 2 MiB on a copy-on-write disk needs 2 MiB of new room, even
    // for a shorter text: with 1 MiB free, no byte may be touched. A file
    // with two names is cloned from a new file; in a folder the writer may
    // not write, the free room is checked first.
    QTest::newRow("nearly full btrfs, in place, shorter text") << "btrfs" << "link" << 2ll * 1024 * 1024 << "T" << noRoom;
    QTest::newRow("nearly full btrfs, in place, read-only folder") << "btrfs" << "nobody" << 2ll * 1024 * 1024 << "T" << noRoom;
    // A file the program could no longer read is not written, and the
    // sizes show by how much.
    QTest::newRow("result past the read bound") << "" << "" << kMaxSettingsFileBytes - 100 << QString(200, u'x')
                                                << "the change would make the file too large to be read again "
                                                   "(16777309 bytes; at most 16777216 bytes can be used)"_ba;
    QTest::newRow("file just past the read bound") << "" << "" << kMaxSettingsFileBytes + 1 << "x"
                                                   << "it is too large (16777217 bytes; at most 16777216 bytes can be used)"_ba;
}

void TestTrevlinIni::failedWrites()
{
    // A write that fails says why and leaves the file as it was.
    QFETCH(QString, disk);
    QFETCH(QString, inPlace);
    QFETCH(qint64, size);
    QFETCH(QString, value);
    QFETCH(QByteArray, reasonEnd);
    const bool full = disk == "tmpfs" || disk == "btrfs";
    if (full && !kRoot)
        QSKIP("mounting a small disk needs root");
    if (kRoot && inPlace == "nobody" && QStandardPaths::findExecutable("setpriv").isEmpty())
        QSKIP("running as root without setpriv: no unprivileged writer");
    TempAppFolder dir;
    QVERIFY(setMode(dir.path(), 0755));
    const QString disc = dir.filePath("disc");
    QVERIFY(QDir().mkdir(disc));
    const QByteArray mountPoint = QFile::encodeName(disc);
    if (disk == "tmpfs" && ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k,mode=0755") != 0)
        QSKIP(qPrintable("cannot mount a 64 KiB tmpfs: " + QString::fromLocal8Bit(std::strerror(errno))));
    if (disk == "btrfs") {
        // A loop device is what this needs; without one the test fails.
        QFile image(dir.filePath("btrfs.img"));
        QVERIFY(image.open(QIODevice::WriteOnly) && image.resize(128 * 1024 * 1024));
        image.close();
        for (const QStringList &command : {QStringList{"mkfs.btrfs", "-q", "-f", image.fileName()},
                                           QStringList{"mount", "-o", "loop", image.fileName(), disc}}) {
            QProcess process;
            process.start(command.first(), command.mid(1));
            if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
                QFAIL(qPrintable("cannot make the btrfs disk (" + command.join(' ') + "): " + process.errorString() + ' '
                                 + QString::fromLocal8Bit(process.readAllStandardError())));
        }
        QVERIFY(setMode(disc, 0755));
    }
    const auto unmount = qScopeGuard([&] {
        if (full)
            ::umount2(mountPoint.constData(), MNT_DETACH);
    });
    const QString path = dir.filePath("disc/trevlin.INI");
    QByteArray content = kDisc;
    for (int line = 0; content.size() < size; ++line)
        content += "; line " + QByteArray::number(line).rightJustified(8, '0') + " of the comment after the settings\r\n";
    if (size) {
        content.truncate(size - 2);
        content += "\r\n";
    }
    dir.writeFile("disc/trevlin.INI", content);
    if (inPlace == "link")
        QVERIFY(::link(QFile::encodeName(path).constData(), QFile::encodeName(dir.filePath("disc/copy.ini")).constData()) == 0);
    // In place: a file in a folder its writer may not write.
    if (inPlace == "nobody" && kRoot)
        QVERIFY(chownPath(path, 65534, 65534));  // nobody's, in root's folder
    if (inPlace == "nobody" && !kRoot)
        QVERIFY(setMode(disc, 0555));
    const auto writable = qScopeGuard([&] { setMode(disc, 0755); });
    QStringList fills;
    if (disk == "tmpfs") {
        QFile fill(dir.filePath("disc/fill"));
        QVERIFY(fill.open(QIODevice::WriteOnly));
        const QByteArray block(4096, '\0');
        while (fill.write(block) == block.size() && fill.flush()) {
        }
        QVERIFY(fill.error() != QFileDevice::NoError);  // full
        fills << "fill";
    }
    if (disk == "btrfs") {
        // Full in files of 1 MiB, then one goes.
        const QByteArray block(1024 * 1024, 'f');
        for (bool room = true; room;) {
            QFile fill(dir.filePath("disc/fill" + QString::number(fills.size())));
            QVERIFY(fill.open(QIODevice::WriteOnly));
            fills << QFileInfo(fill).fileName();
            room = fill.write(block) == block.size() && fill.flush() && ::fsync(fill.handle()) == 0;
        }
        QVERIFY2(fills.size() > 10, "the btrfs disk took less than 10 MiB");
        QVERIFY(QFile::remove(dir.filePath("disc/fill0")));
        fills.removeFirst();
        ::sync();
    }

    const Run run = runTool({"set", path, "main", "title", value}, inPlace == "nobody" ? kNobody : QStringList(),
                            disk == "failing sync" ? QStringLiteral(FAILING_SYNC) : QString());
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err.startsWith("Escrita sem Sucesso: "), true);
    QVERIFY2(run.err.endsWith(reasonEnd + "\n"), run.err.constData());
    QVERIFY(dir.readFile("disc/trevlin.INI") == content);
    QStringList expected = fills + QStringList{"trevlin.INI"};
    if (inPlace == "link")
        expected << "copy.ini";
    expected.sort();
    QCOMPARE(QDir(disc).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);

    if (disk == "btrfs") {
        // With room again, the same change is made.
        for (int i = 1; i <= 8; ++i)
            QVERIFY(QFile::remove(dir.filePath("disc/fill" + QString::number(i))));
        ::sync();
        const Run again = runTool({"set", path, "main", "title", value}, inPlace == "nobody" ? kNobody : QStringList());
        QVERIFY2(again.exitCode == 0, again.err.constData());
        QCOMPARE(dir.readFile("disc/trevlin.INI"), QByteArray(content).replace("Title=TrevLIN", "Title=" + value.toUtf8()));
    }
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
    // New files of writers that were killed go; one that a writer still
    // holds, and files of other names, stay.
    for (const char *name : {".trevlin.INI.k1lled", ".trevlin.INI.ZZ9zz9", ".trevlin.INI.held00", ".trevlin.INI.other",
                             ".other.INI.k1lled"})
        dir.writeFile(QString::fromLatin1(name), QByteArray(1024, 'x'));
    QFile writing(dir.filePath(".trevlin.INI.held00"));
    QVERIFY(writing.open(QIODevice::ReadOnly) && ::flock(writing.handle(), LOCK_EX) == 0);
    const QString loop = QStringLiteral(
        "for i in $(seq 60); do \"$0\" set \"$1\" \"$2\" k$i v$i && echo $i; done");
    QProcess writers[2];
    const QStringList sections{"one", "two"};
    for (int w = 0; w < 2; ++w)
        writers[w].start("sh", {"-c", loop, TREVLIN_INI_TOOL, path, sections[w]});
    int succeeded = 0;
    for (int w = 0; w < 2; ++w) {
        QVERIFY(writers[w].waitForFinished(240000));
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
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             QStringList({".other.INI.k1lled", ".trevlin.INI.held00", ".trevlin.INI.other", "trevlin.INI"}));

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
