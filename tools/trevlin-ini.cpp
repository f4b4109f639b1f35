// trevlin-ini: reads or writes one value of a settings file from the command
// line, by the same rules as the program, for disc authors and tests. Shows
// no window.
//
//   trevlin-ini get FILE SECTION KEY
//   trevlin-ini set FILE SECTION KEY VALUE
//   trevlin-ini --help | --version

#include "settings/moduleini.h"

#include "settings/textcodec.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace {

const char kUsage[] =
    "Usage: trevlin-ini get FILE SECTION KEY\n"
    "  or:  trevlin-ini set FILE SECTION KEY VALUE\n"
    "Reads or writes one value of a Trevlin settings file (trevlin.INI) by the\n"
    "same rules as the program. Section and key names match without regard to\n"
    "letter case; arguments must be valid UTF-8, and output is UTF-8. The exit\n"
    "status is 0 when done, 1 when the value is not written (set) or the file\n"
    "cannot be read (get), and 2 on bad usage.\n"
    "\n"
    "Commands:\n"
    "  get FILE SECTION KEY        print the value the program reads for KEY in\n"
    "                              SECTION of FILE, then a newline (an empty line\n"
    "                              when the file, the section or the key is\n"
    "                              missing; a file that is there but cannot be\n"
    "                              read, such as a named pipe, a device, a folder\n"
    "                              or a file in a folder you may not enter, is an\n"
    "                              error)\n"
    "  set FILE SECTION KEY VALUE  store VALUE under KEY in SECTION of FILE as the\n"
    "                              program does: the first matching key is changed\n"
    "                              in place, a missing key, section or file is\n"
    "                              added, and every other byte of the file stays as\n"
    "                              it was; a write that cannot be done prints\n"
    "                              \"Escrita sem Sucesso\" and the reason and leaves\n"
    "                              the file as it was\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n";

void put(FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

int badUsage(const QString &why)
{
    put(stderr, "trevlin-ini: " + why.toUtf8() + "\n");
    put(stderr, kUsage);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Taken from argv as UTF-8 whatever the locale says. Bytes that are not
    // UTF-8 would turn into U+FFFD and write something else than was meant
    // (or name another file), so they are refused.
    QStringList args;
#ifdef Q_OS_WIN
    // Windows hands every program its command line as UTF-16 text: taken
    // from there, so that no argument passes through the ANSI code page.
    args = QCoreApplication::arguments().mid(1);
#else
    for (int i = 1; i < argc; ++i) {
        if (!isValidUtf8(argv[i]))
            return badUsage(QStringLiteral("argument %1 is not valid UTF-8 text").arg(i));
        args << QString::fromUtf8(argv[i]);
    }
#endif

    if (args.size() == 1 && (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))) {
        put(stdout, kUsage);
        return 0;
    }
    if (args.size() == 1 && (args[0] == QLatin1String("--version") || args[0] == QLatin1String("-V"))) {
        put(stdout, "trevlin-ini (Trevlin) " TREVLIN_VERSION "\n");
        return 0;
    }
    if (args.isEmpty())
        return badUsage(QStringLiteral("no command given"));

    const QString command = args.takeFirst();
    if (command == QLatin1String("get")) {
        if (args.size() != 3)
            return badUsage(QStringLiteral("get takes FILE SECTION KEY"));
        // A missing file reads as empty, as in the program; one that is there
        // but cannot be read is an error, not an empty value.
        QString problem;
        const QString value = readIniFile(args[0], args[1], args[2], &problem);
        if (!problem.isEmpty()) {
            put(stderr, "trevlin-ini: cannot read " + args[0].toUtf8() + ": " + problem.toUtf8() + '\n');
            return 1;
        }
        put(stdout, value.toUtf8() + '\n');
        return 0;
    }
    if (command == QLatin1String("set")) {
        if (args.size() != 4)
            return badUsage(QStringLiteral("set takes FILE SECTION KEY VALUE"));
        const WriteOutcome outcome = writeIniFile(args[0], args[1], args[2], args[3]);
        if (!outcome.ok) {
            put(stderr, "Escrita sem Sucesso: " + outcome.reason.toUtf8() + '\n');
            return 1;
        }
        return 0;
    }
    return badUsage(QStringLiteral("unknown command \"%1\"").arg(command));
}
