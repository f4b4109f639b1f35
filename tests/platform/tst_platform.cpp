// The form lifecycle, the program starter and the folder rule.
#include "platform/application.h"
#include "platform/discbundle.h"
#include "platform/discfile.h"
#include "platform/forms.h"
#include "platform/launcher.h"
#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <link.h>
#endif

using namespace testsupport;

namespace {

// A form that counts its activations.
struct CountingForm : QWidget
{
    int activations = 0;
    explicit CountingForm(const QString &name)
    {
        setObjectName(name);
        resize(200, 100);
        platform::registerForm(this, [this] { ++activations; });
    }
};


#ifdef Q_OS_LINUX
// Run as a copy of this program: the device and inode of the file the
// program found as its own and of the folder it lies in, after a change of
// working folder.
constexpr char ReportProgramFile[] = "--report-program-file";

int reportProgramFile()
{
    ::chdir("/");
    const QString file = platform::programFile();
    struct stat program = {}, folder = {};
    if (file.isEmpty() || ::stat(QFile::encodeName(file).constData(), &program) != 0
        || ::stat(QFile::encodeName(QFileInfo(file).absolutePath()).constData(), &folder) != 0) {
        std::printf("not found: %s\n", qUtf8Printable(file));
        return 1;
    }
    std::printf("%llu:%llu %llu:%llu\n", qulonglong(program.st_dev), qulonglong(program.st_ino),
                qulonglong(folder.st_dev), qulonglong(folder.st_ino));
    return 0;
}

QByteArray fileId(const QByteArray &path)
{
    struct stat info = {};
    if (::stat(path.constData(), &info) != 0)
        return "(" + path + " is not there)";
    return QByteArray::number(qulonglong(info.st_dev)) + ':' + QByteArray::number(qulonglong(info.st_ino));
}

// The dynamic loader this program was started with (its PT_INTERP).
QByteArray dynamicLoader()
{
    QByteArray loader;
    ::dl_iterate_phdr([](dl_phdr_info *info, size_t, void *out) {
        for (int i = 0; i < info->dlpi_phnum; ++i)
            if (info->dlpi_phdr[i].p_type == PT_INTERP)
                *static_cast<QByteArray *>(out) = reinterpret_cast<const char *>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
        return 1; // the program comes first
    }, &loader);
    return loader;
}

// Runs `argv` in `folder` (names as bytes, which a QProcess cannot take);
// answers its output.
QByteArray runIn(const QByteArray &folder, const QList<QByteArray> &argv)
{
    int out[2];
    if (::pipe(out) != 0)
        return "(no pipe)";
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        std::vector<char *> args;
        for (const QByteArray &arg : argv)
            args.push_back(const_cast<char *>(arg.constData()));
        args.push_back(nullptr);
        if (::chdir(folder.constData()) == 0)
            ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(out[1]);
    QByteArray output;
    char buffer[512];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, n);
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return output.trimmed();
}
#endif

} // namespace

class tst_platform : public QObject
{
    Q_OBJECT
private slots:
    void activationFiresOnceWhenShown()
    {
        CountingForm form(QStringLiteral("first"));
        QVERIFY(showAndActivate(&form));
        QCOMPARE(form.activations, 1);
        QCOMPARE(platform::lastActivatedForm(), &form);
    }

    void closingASecondaryFormReactivatesTheFirst()
    {
        CountingForm main(QStringLiteral("main"));
        QVERIFY(showAndActivate(&main));
        const int before = main.activations;

        auto *secondary = new CountingForm(QStringLiteral("secondary"));
        secondary->setAttribute(Qt::WA_DeleteOnClose);
        QVERIFY(showAndActivate(secondary));
        QCOMPARE(secondary->activations, 1);
        main.hide();

        QPointer<CountingForm> gone(secondary);
        secondary->close();
        QTRY_VERIFY(gone.isNull());
        QCOMPARE(platform::lastActivatedForm(), nullptr); // forgotten with the form
        QVERIFY(showAndActivate(&main));
        QCOMPARE(main.activations, before + 1);
    }

    void anotherApplicationInBetweenFiresNothing()
    {
        CountingForm form(QStringLiteral("form"));
        QVERIFY(showAndActivate(&form));
        // A window that is not a form stands in for another application.
        QWidget other;
        other.resize(100, 100);
        QVERIFY(showAndActivate(&other));
        QVERIFY(showAndActivate(&form));
        QCOMPARE(form.activations, 1);
    }

    void messageBoxAndFileDialogOverAFormFireNothing()
    {
        CountingForm form(QStringLiteral("form"));
        QVERIFY(showAndActivate(&form));
        {
            BoxAnswerer answer(QStringLiteral("OK"));
            QMessageBox::information(&form, QStringLiteral("t"), QStringLiteral("x"));
            QCOMPARE(answer.count(), 1);
        }
        QTimer::singleShot(50, [] {
            if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        QFileDialog dialog(&form);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.exec();
        QVERIFY(showAndActivate(&form));
        QCOMPARE(form.activations, 1);
    }

    void holderCreatesOnFirstUseAndAgainAfterClose()
    {
        int made = 0;
        platform::FormHolder<QWidget> holder([&made] { ++made; return new QWidget; });
        QVERIFY(!holder.existing());
        QWidget *first = holder.get();
        QCOMPARE(holder.get(), first);
        QCOMPARE(made, 1);
        QVERIFY(first->testAttribute(Qt::WA_DeleteOnClose));
        first->show();
        first->close();
        QTRY_VERIFY(!holder.existing());
        holder.get();
        QCOMPARE(made, 2);
        delete holder.existing();
    }

    // The program finds its own file (where its player module and a disc's
    // Qt and GStreamer lie) whatever its folder is named, also when the
    // dynamic loader started it by a relative name, and never a folder whose
    // name is another's written differently: the kernel writes a newline in
    // /proc/self/maps as "\012", and text cannot hold a byte that is no UTF-8.
    void theProgramFindsItsOwnFileWhateverItsFolderIsNamed_data()
    {
        QTest::addColumn<QByteArray>("folder");
        QTest::addColumn<QByteArray>("lookalike"); // a folder beside it, holding a copy too
        QTest::newRow("newline") << QByteArray("disc\nnew") << QByteArray("disc\\012new");
        QTest::newRow("blank") << QByteArray("my disc") << QByteArray("my\\040disc");
        QTest::newRow("backslash") << QByteArray("back\\slash") << QByteArray("back\\134slash");
        QTest::newRow("no UTF-8 (Latin-1 e acute)") << QByteArray("caf\xe9") << QByteArray("caf\xef\xbf\xbd");
        QTest::newRow("all of them") << QByteArray("a\nb c\\d\xff") << QByteArray("a\\012b c\\d\xef\xbf\xbd");
    }
    void theProgramFindsItsOwnFileWhateverItsFolderIsNamed()
    {
#ifndef Q_OS_LINUX
        QSKIP("The program's file is found from what Linux reports");
#else
        QFETCH(QByteArray, folder);
        QFETCH(QByteArray, lookalike);
        const QByteArray loader = dynamicLoader();
        QVERIFY2(!loader.isEmpty(), "this test program names no dynamic loader");
        QTemporaryDir work;
        const QByteArray root = QFile::encodeName(work.path());
        QFile self(QCoreApplication::applicationFilePath());
        QVERIFY(self.open(QIODevice::ReadOnly));
        const QByteArray program = self.readAll();
        // Qt cannot remove what it cannot name.
        const auto removeCopies = qScopeGuard([&] {
            for (const QByteArray &name : {folder, lookalike}) {
                ::unlink((root + '/' + name + "/prog").constData());
                ::rmdir((root + '/' + name).constData());
            }
        });
        for (const QByteArray &name : {folder, lookalike}) {
            const QByteArray copy = root + '/' + name + "/prog";
            QVERIFY(::mkdir((root + '/' + name).constData(), 0755) == 0);
            const int fd = ::open(copy.constData(), O_WRONLY | O_CREAT | O_EXCL, 0755);
            QVERIFY(fd >= 0);
            QCOMPARE(::write(fd, program.constData(), size_t(program.size())), ssize_t(program.size()));
            ::close(fd);
        }
        const QByteArray wanted = fileId(root + '/' + folder + "/prog") + ' ' + fileId(root + '/' + folder);
        // By its path from another folder; through the loader by a name
        // relative to the folder it was started in, and by its full path.
        QCOMPARE(runIn("/", {root + '/' + folder + "/prog", ReportProgramFile}), wanted);
        QCOMPARE(runIn(root, {loader, "./" + folder + "/prog", ReportProgramFile}), wanted);
        QCOMPARE(runIn(root + '/' + folder, {loader, "./prog", ReportProgramFile}), wanted);
        QCOMPARE(runIn("/", {loader, root + '/' + folder + "/prog", ReportProgramFile}), wanted);
#endif
    }

    void joinFolderAddsNoSecondSeparator()
    {
        QCOMPARE(platform::joinFolder(QStringLiteral("D:\\MOVIE"), QStringLiteral("trevlin.INI"), QLatin1Char('\\')),
                 QStringLiteral("D:\\MOVIE\\trevlin.INI"));
        QCOMPARE(platform::joinFolder(QStringLiteral("D:\\"), QStringLiteral("trevlin.INI"), QLatin1Char('\\')),
                 QStringLiteral("D:\\trevlin.INI"));
        QCOMPARE(platform::joinFolder(QStringLiteral("/"), QStringLiteral("trevlin.INI"), QLatin1Char('/')),
                 QStringLiteral("/trevlin.INI"));
        // A backslash is an ordinary character of a Linux folder name.
        QCOMPARE(platform::joinFolder(QStringLiteral("/discs/odd\\"), QStringLiteral("trevlin.INI"), QLatin1Char('/')),
                 QStringLiteral("/discs/odd\\/trevlin.INI"));
    }

    void discFilesAreReadOnlyWhenOrdinaryAndWithinTheirBound()
    {
        using platform::DiscFile;
        QTemporaryDir dir;
        const auto at = [&dir](const char *name) { return dir.filePath(QLatin1String(name)); };
        QFile small(at("small.txt"));
        QVERIFY(small.open(QIODevice::WriteOnly) && small.write("0123456789") == 10);
        small.close();
        QVERIFY(::mkfifo(QFile::encodeName(at("pipe")).constData(), 0644) == 0);
        QVERIFY(::symlink("loop", QFile::encodeName(at("loop")).constData()) == 0);
        QVERIFY(::symlink("/dev/zero", QFile::encodeName(at("zero")).constData()) == 0);

        const struct {
            QString path;
            qint64 bound;
            DiscFile::Problem problem;
            const char *reasonHas;
        } cases[] = {
            {at("small.txt"), 10, DiscFile::None, ""},
            {at("small.txt"), 9, DiscFile::TooLarge, "too large"},
            {at("absent"), 10, DiscFile::Missing, "does not exist"},
            {QString(), 10, DiscFile::Missing, "no file name"},
            {dir.path(), 10, DiscFile::Folder, "folder"},
            // Neither may hold the reader: the pipe has no writer, /dev/zero no end.
            {at("pipe"), 10, DiscFile::NotOrdinary, "named pipe"},
            {at("zero"), 10, DiscFile::NotOrdinary, "device"},
            {at("loop"), 10, DiscFile::Unreadable, "symbolic links"},
        };
        for (const auto &c : cases) {
            const DiscFile read = platform::readDiscFile(c.path, c.bound);
            QVERIFY2(read.problem == c.problem, qPrintable(c.path + QLatin1String(": ") + read.reason));
            QVERIFY2(read.reason.contains(QLatin1String(c.reasonHas)), qPrintable(read.reason));
            QCOMPARE(platform::inspectDiscFile(c.path, c.bound).problem, c.problem);
            QCOMPARE(read.bytes, c.problem == DiscFile::None ? QByteArray("0123456789") : QByteArray());
        }
    }

    void aDiscBundleMakesQtAndGStreamerUseItsPluginsAlone()
    {
        // The viewer's own settings, which would bring in the system's plugins.
        // (The disc run in a minimal root shows that the disc's own plugins
        // are used; it runs with an empty environment on a system without Qt
        // or GStreamer, so it cannot show that the viewer's are kept out.)
        const QList<QByteArray> names = {"GST_PLUGIN_PATH", "GST_PLUGIN_PATH_1_0", "QT_PLUGIN_PATH",
                                         "QT_QPA_PLATFORM_PLUGIN_PATH", "QT_MEDIA_BACKEND", "GST_REGISTRY_FORK"};
        for (const QByteArray &name : names)
            qputenv(name, "/usr/lib/elsewhere");
        const QStringList libraryPaths = QCoreApplication::libraryPaths();
        const auto restore = qScopeGuard([&] {
            for (const QByteArray &name : names)
                qunsetenv(name);
            QCoreApplication::setLibraryPaths(libraryPaths);
        });

        QTemporaryDir disc, cache;
        QVERIFY(!platform::useDiscBundle(disc.path(), cache.path()));
        QCOMPARE(qgetenv("QT_PLUGIN_PATH"), QByteArray("/usr/lib/elsewhere"));
        QCOMPARE(QCoreApplication::libraryPaths(), libraryPaths);

        const QString bundle = disc.filePath(QStringLiteral(".trevlin"));
        QVERIFY(QDir().mkpath(bundle + QStringLiteral("/gstreamer-1.0")));
        QVERIFY(QFile(bundle + QStringLiteral("/gstreamer-1.0/libgstavi.so")).open(QIODevice::WriteOnly));
        const QString discRegistry = bundle + QStringLiteral("/gstreamer-1.0.registry");
        const QString plainRegistry = cache.filePath(QStringLiteral("trevlin/gstreamer-1.0-registry.bin"));
        // What the disc holds as its registry of plugins: a copy of a usable
        // one is used; anything else leaves GStreamer to make one of its own
        // (and a named pipe is never waited on).
        enum Registry { None, Ordinary, Empty, Pipe, Folder };
        for (const Registry registry : {None, Ordinary, Empty, Pipe, Folder, Ordinary}) {
            QFile::remove(discRegistry);
            QDir(discRegistry).removeRecursively();
            if (registry == Ordinary || registry == Empty) {
                QFile file(discRegistry);
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write(registry == Ordinary ? QByteArray("the disc's registry") : QByteArray());
            } else if (registry == Pipe) {
                QCOMPARE(::mkfifo(QFile::encodeName(discRegistry).constData(), 0600), 0);
            } else if (registry == Folder) {
                QVERIFY(QDir().mkpath(discRegistry));
            }
            QVERIFY(platform::useDiscBundle(disc.path(), cache.path()));
            const QString used = QFile::decodeName(qgetenv("GST_REGISTRY_1_0"));
            QFile copy(used);
            if (registry == Ordinary) {
                QVERIFY2(used != plainRegistry && QFileInfo(used).dir() == QFileInfo(plainRegistry).dir(), qPrintable(used));
                QVERIFY(copy.open(QIODevice::ReadOnly));
                QCOMPARE(copy.readAll(), QByteArray("the disc's registry"));
            } else {
                QCOMPARE(used, plainRegistry);
            }
            // The plugins under a name that is the same wherever the disc is.
            const QString plugins = QFile::decodeName(qgetenv("GST_PLUGIN_SYSTEM_PATH_1_0"));
            QCOMPARE(plugins, QStringLiteral("/proc/self/fd/1000/gstreamer-1.0"));
            QVERIFY(QFileInfo::exists(plugins + QStringLiteral("/libgstavi.so")));
            QCOMPARE(qgetenv("GST_REGISTRY_FORK"), QByteArray("no"));
            for (const QByteArray &name : names.mid(0, 5))
                QVERIFY2(!qEnvironmentVariableIsSet(name), name);
            QCOMPARE(QCoreApplication::libraryPaths(), QStringList{bundle + QStringLiteral("/plugins")});
        }
        for (const char *name : {"GST_PLUGIN_SYSTEM_PATH_1_0", "GST_REGISTRY_1_0"})
            qunsetenv(name);
    }

    void startsTheRealProgramWithSplitArguments()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("args.txt"));
        qputenv("TREVLIN_RECORDER_OUT", out.toLocal8Bit());
        const auto result = platform::startProgram(QStringLiteral(TREVLIN_RECORDER) + QStringLiteral(" /quickini /v:a b \"c d\""),
                                                   platform::WindowStyle::Minimized);
        QVERIFY2(result.started, qPrintable(result.error));
        auto recorded = [&out] {
            QFile file(out);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QTRY_VERIFY(recorded().endsWith("END\n"));
        // Never through a shell: blanks split, double quotes group.
        QCOMPARE(recorded(), QByteArray("BEGIN\n/quickini\n/v:a\nb\nc d\nEND\n"));
    }

    void aMissingOrEmptyProgramIsReportedNotStarted()
    {
        auto missing = platform::startProgram(QStringLiteral("/nonexistent/player /v:x"), platform::WindowStyle::Normal);
        QVERIFY(!missing.started);
        QVERIFY(!missing.error.isEmpty());
        QCOMPARE(missing.problem, platform::StartProblem::NotFound);
        for (const QString &line : {QString(), QStringLiteral("   "), QStringLiteral("\t")}) {
            auto empty = platform::startProgram(line, platform::WindowStyle::Normal);
            QVERIFY(!empty.started);
            QVERIFY(!empty.error.isEmpty());
            QCOMPARE(empty.problem, platform::StartProblem::Empty);
        }
    }

    // A disc's relative names mean the disc: a bare name is looked for in the
    // disc folder, then PATH's absolute folders; a name with a slash is taken
    // from the disc folder. The folder the program was started in is never
    // searched, whatever is planted there.
    void programsAreFoundWhereADiscExpectsThem()
    {
        using P = platform::StartProblem;
        QTemporaryDir root;
        const QString app = root.filePath(QStringLiteral("app")), start = root.filePath(QStringLiteral("start")),
                      bin = root.filePath(QStringLiteral("bin"));
        for (const char *dir : {"app/sub/dir", "app/My", "app/My Player", "app/Two  Blanks", "start/sub/dir",
                                "start/installers", "bin"})
            QVERIFY(QDir(root.path()).mkpath(QLatin1String(dir)));
        const QList<QPair<const char *, unsigned>> files{
            {"app/both", 0755},       {"bin/both", 0755},          {"start/both", 0755},
            {"start/instart", 0755},  {"start/setup", 0755},       {"bin/onpath", 0755},
            {"app/shadowed", 0644},   {"bin/shadowed", 0755},      {"bin/sub", 0755},
            {"app/plain", 0644},      {"app/sub/tool", 0755},      {"start/sub/tool", 0755},
            {"start/installers/demo-install", 0755},
            {"app/My Player/play", 0755}, {"app/run", 0755},       {"app/run me", 0755},
            {"app/Two  Blanks/go", 0755}, {"app/Plain Words", 0644}, {"bin/My Tool", 0755}};
        for (const auto &[name, mode] : files) {
            QFile file(root.filePath(QLatin1String(name)));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("#!/bin/sh\n") > 0);
            QVERIFY(setMode(file.fileName(), mode));
        }
        QVERIFY(::mkfifo(QFile::encodeName(root.filePath(QStringLiteral("app/pipe"))).constData(), 0755) == 0);

        // PATH, the start folder and the disc folder come back however this ends.
        struct Restore
        {
            QByteArray path = qgetenv("PATH");
            QString current = QDir::currentPath();
            ~Restore()
            {
                qputenv("PATH", path);
                QDir::setCurrent(current);
                platform::setApplicationFolder({});
            }
        } restore;
        // Empty and relative elements of PATH would mean the start folder.
        qputenv("PATH", (bin + QStringLiteral("::.:sub:") + app).toLocal8Bit());
        platform::setApplicationFolder(app);
        QVERIFY(QDir::setCurrent(start));
        const struct {
            const char *name;
            QString found; // the file started; empty when none
            P problem;
            const char *errorHas;
        } cases[] = {
            {"both", app + "/both", P::Refused, ""},
            {"onpath", bin + "/onpath", P::Refused, ""},
            // The first executable ordinary file wins.
            {"shadowed", bin + "/shadowed", P::Refused, ""},
            {"sub", bin + "/sub", P::Refused, ""},
            {"sub/tool", app + "/sub/tool", P::Refused, ""},
            {"./sub/tool", app + "/sub/tool", P::Refused, ""},
            // Nothing from the start folder, planted or not.
            {"instart", {}, P::NotFound, "No program \"instart\" was found in the disc folder (%app) or the folders of PATH."},
            {"setup", {}, P::NotFound, "the disc folder (%app) or the folders of PATH"},
            {"./installers/demo-install", {}, P::NotFound,
             "\"./installers/demo-install\" does not exist (from the disc folder: %app/installers/demo-install)"},
            // Nothing to start: say what is in its place, and where it was looked for.
            {"absent", {}, P::NotFound, "No program \"absent\" was found in the disc folder (%app) or the folders of PATH."},
            {"plain", {}, P::NotExecutable, "\"%app/plain\" is not executable"},
            {"pipe", {}, P::NotExecutable, "\"%app/pipe\" is not an ordinary file, and no other \"pipe\" was found"},
            {"sub/dir", {}, P::Folder, "\"sub/dir\" is a folder"},
            // The path is shown clean.
            {"./sub/./dir", {}, P::Folder, "\"./sub/./dir\" is a folder, not a program (from the disc folder: %app/sub/dir)."},
            {"sub/none", {}, P::NotFound, "\"sub/none\" does not exist (from the disc folder: %app/sub/none)"},
        };
        for (const auto &c : cases) {
            const platform::ProgramLookup found = platform::findProgram(QLatin1String(c.name));
            QVERIFY2(found.path == c.found, qPrintable(QLatin1String(c.name) + QLatin1String(": ") + found.path
                                                       + QLatin1String(" ") + found.failure.error));
            QString error = QLatin1String(c.errorHas);
            error.replace(QLatin1String("%app"), app).replace(QLatin1String("%start"), start);
            QVERIFY2(found.failure.error.contains(error), qPrintable(found.failure.error));
            if (c.found.isEmpty())
                QCOMPARE(found.failure.problem, c.problem);
        }
        // Each folder is looked in once: the disc folder is also on PATH.
        QCOMPARE(platform::findProgram(QStringLiteral("absent")).failure.searched, (QStringList{app, bin}));

        // A program path with blanks whose quotes the settings file took
        // away: when the first word names no file, the following words are
        // joined to it until they name a program; the shortest wins.
        const struct {
            const char *line;
            QString program; // empty when nothing is started
            QStringList arguments;
            P problem;
            const char *errorHas;
        } lines[] = {
            {"./My Player/play /quickini /v:a b", app + "/My Player/play", {"/quickini", "/v:a", "b"}, P::Refused, ""},
            {"\"./My Player/play\" -f", app + "/My Player/play", {"-f"}, P::Refused, ""},
            {"./run me now", app + "/run", {"me", "now"}, P::Refused, ""},
            {"./Two  Blanks/go -x", app + "/Two  Blanks/go", {"-x"}, P::Refused, ""},
            {"My Tool --help", bin + "/My Tool", {"--help"}, P::Refused, ""},
            // A file that cannot run is named as it is, not joined past.
            {"./plain words", {}, {}, P::NotExecutable, "\"./plain\" is not executable"},
            // A longer name that is a file but cannot run says so.
            {"./Plain Words x", {}, {}, P::NotExecutable, "\"./Plain Words\" is not executable"},
            {"./nowhere at all", {}, {}, P::NotFound, "\"./nowhere\" does not exist (from the disc folder: %app/nowhere)"},
            {"  ", {}, {}, P::Empty, "names no program"},
        };
        for (const auto &l : lines) {
            const platform::CommandLine line = platform::resolveCommandLine(QLatin1String(l.line));
            QVERIFY2(line.program == l.program, qPrintable(QLatin1String(l.line) + QLatin1String(": ") + line.program
                                                           + QLatin1String(" ") + line.failure.error));
            if (l.program.isEmpty()) {
                QString error = QLatin1String(l.errorHas);
                error.replace(QLatin1String("%app"), app);
                QVERIFY2(line.failure.error.contains(error), qPrintable(line.failure.error));
                QCOMPARE(line.failure.problem, l.problem);
            } else {
                QCOMPARE(line.arguments, l.arguments);
            }
        }
    }

    void theStarterSeamRecordsInsteadOfStarting()
    {
        QString seen;
        platform::setProgramStarter([&seen](const QString &line, platform::WindowStyle style) {
            seen = line + QString::number(int(style));
            return platform::StartResult{true, {}};
        });
        platform::startProgram(QStringLiteral("x y"), platform::WindowStyle::Normal);
        platform::setProgramStarter({});
        QCOMPARE(seen, QStringLiteral("x y1"));
    }
};

int main(int argc, char **argv)
{
#ifdef Q_OS_LINUX
    if (argc == 2 && qstrcmp(argv[1], ReportProgramFile) == 0)
        return reportProgramFile();
#endif
    QApplication app(argc, argv);
    tst_platform test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_platform.moc"
