// trevlin-ini: reads or writes one value of a settings file from the command
// line, by the same rules as the program, for disc authors and tests. Shows
// no window.
//
//   trevlin-ini get FILE SECTION KEY
//   trevlin-ini set FILE SECTION KEY VALUE

#include "settings/moduleini.h"

#include "settings/textcodec.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace {

const char kUsage[] =
    "Usage:\n"
    "  trevlin-ini get FILE SECTION KEY\n"
    "      Prints the value the program reads for KEY in SECTION of FILE, then a\n"
    "      newline (an empty line when the file, the section or the key is\n"
    "      missing). Names match without regard to letter case. A file that is\n"
    "      there but cannot be read (a named pipe, a device, a folder, a file in\n"
    "      a folder you may not enter) is an error, exit 1.\n"
    "  trevlin-ini set FILE SECTION KEY VALUE\n"
    "      Stores VALUE under KEY in SECTION of FILE as the program does: the\n"
    "      first matching key is changed in place, a missing key, section or\n"
    "      file is added, and every other byte of the file stays as it was.\n"
    "      On failure prints \"Escrita sem Sucesso\" and the reason, exit 1.\n"
    "  trevlin-ini --help\n"
    "Arguments must be valid UTF-8. Exit status: 0 done, 1 not read or not\n"
    "written, 2 bad usage.\n";

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
    for (int i = 1; i < argc; ++i) {
        if (!isValidUtf8(argv[i]))
            return badUsage(QStringLiteral("argument %1 is not valid UTF-8 text").arg(i));
        args << QString::fromUtf8(argv[i]);
    }

    if (args.size() == 1 && (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))) {
        put(stdout, kUsage);
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
