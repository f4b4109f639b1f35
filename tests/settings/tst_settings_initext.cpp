// The settings file's reader and editor over text and bytes, with no files:
// every reading rule, and the exact bytes an edit leaves.

#include "settings/initext.h"
#include "settings/textcodec.h"

#include <QTest>

#ifdef Q_OS_WIN
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <windows.h>
#endif

using namespace Qt::StringLiterals;

class TestIniText : public QObject
{
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
    void edits_data();
    void edits();
#ifdef Q_OS_WIN
    // The tool reads every file above as Windows' own reader does.
    void agreesWithWindows_data();
    void agreesWithWindows();
    void seedFilesAgreeWithWindows();
#endif
};

void TestIniText::reads_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("names: any case, trimmed") << "[main]\r\nMediaplayer=no\r\n[Path]\r\nMediaplayer=mp.exe /q\r\n"
                                              << " path\t" << " MEDIAPLAYER " << "mp.exe /q";
    // Unicode folding: accented capitals, the Kelvin sign and k, the long s and s.
    QTest::newRow("non-ASCII names") << "[ÉTÉ]\n\u212Aey=1\n" << "été" << "KEY" << "1";
    QTest::newRow("non-ASCII names asked for") << "[settings]\nkey=1\n" << "\u017Fettings" << "\u212Aey" << "1";
    QTest::newRow("CRLF, lone CR, LF") << "[s]\r\nalpha=1111111111111\rbravo=2\ncharlie=3" << "s" << "bravo" << "2";
    QTest::newRow("blanks, tabs, EOF mark, note after ]") << "\x1A \t[  s  ] note\t\x1A\n\n \t k \t=\t v \x1A\n\x1A"
                                                          << "s" << "k" << "v";
    QTest::newRow("section to the last ]") << "[pa]th]\nk=v" << "pa]th" << "k" << "v";
    QTest::newRow("[ without ] is a key") << "[s]\n[t\n[u=1" << "s" << "[u" << "1";
    QTest::newRow("[ inside a line opens nothing") << "[a]\nk=x [s] y\n  [s] \nk=2" << "s" << "k" << "2";
    QTest::newRow("split at the first =, no comment after") << "[s]\nk=a=b ; note" << "s" << "k" << "a=b ; note";
    QTest::newRow("no = reads empty, and wins") << "[s]\nk\nk=later" << "s" << "k" << "";
    QTest::newRow("empty key") << "[s]\n=v" << "s" << "" << "v";
    QTest::newRow("before the first section") << "k=v\n[s]\n" << "" << "k" << "";
    QTest::newRow("; comment") << "[s]\n \t;k=v" << "s" << ";k" << "";
    QTest::newRow("# is no comment") << "[s]\n#x=1" << "s" << "#x" << "1";
    QTest::newRow("first section only") << "[s]\na=1\n[t]\nb=2\n[S]\nb=3" << "s" << "b" << "";
    QTest::newRow("empty file") << "" << "s" << "k" << "";
    QTest::newRow("first key wins") << "[s]\nk=1\nK=2\n[s]\nk=3" << "s" << "k" << "1";

    QTest::newRow("one pair of quotes") << "[s]\nk= \"\" a \"\" " << "s" << "k" << "\" a \"";
    QTest::newRow("single quotes") << "[s]\nk='a b'" << "s" << "k" << "a b";
    QTest::newRow("empty quotes") << "[s]\nk=''" << "s" << "k" << "";
    QTest::newRow("mismatched quotes") << "[s]\nk=\"a'" << "s" << "k" << "\"a'";
    const QString x300(300, u'x');
    QTest::newRow("quotes off, then 254") << "[s]\nk=\"" + x300 + "\"" << "s" << "k" << x300.left(254);
    QTest::newRow("surrogate pair at the cut") << "[s]\nk=" + x300.left(253) + "\U0001F600" << "s" << "k" << x300.left(253);
}

void TestIniText::reads()
{
    QFETCH(QString, text);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QCOMPARE(initext::lookup(text, section, key), value);
    // The byte reader follows the same rules.
    QCOMPARE(initext::lookupInFile(text.toUtf8(), section, key), value);
    QCOMPARE(initext::lookupInFile(*encodeText(text, TextEncoding::Utf16LE), section, key), value);
}

void TestIniText::edits_data()
{
    QTest::addColumn<QByteArray>("before");  // empty: a missing file
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");  // empty: refused

    QTest::newRow("in place: first key, its spelling, blanks after =") << "[Main]\r\nTITLE = old \r\ntitle=2\r\n"_ba
        << "main" << "Title" << "new" << "[Main]\r\nTITLE = new\r\ntitle=2\r\n"_ba;
    QTest::newRow("the line keeps its ending") << "[s]\r\nk=1\nz=2\r"_ba << "s" << "k" << "9" << "[s]\r\nk=9\nz=2\r"_ba;
    QTest::newRow("key without =, no final ending") << "[s]\nj=1\n  k  "_ba << "s" << "k" << "v" << "[s]\nj=1\n  k=v"_ba;
    QTest::newRow("new key after the last line") << "k=1\r\n[s]\r\na=1\r\n;k=1\r\n\r\n[t]\r\n"_ba << "s" << "k" << "v"
                                                 << "k=1\r\n[s]\r\na=1\r\n;k=1\r\nk=v\r\n\r\n[t]\r\n"_ba;
    QTest::newRow("new key, header is the last line") << "x=1\n[s]"_ba << "s" << "k" << "v" << "x=1\n[s]\nk=v"_ba;
    QTest::newRow("new key in the first of two") << "[s]\na=1\n[t]\n[s]\nk=old\n"_ba << "S" << "K" << "new"
                                                 << "[s]\na=1\nK=new\n[t]\n[s]\nk=old\n"_ba;
    QTest::newRow("new section, the first line ending") << "[a]\rb=1\nc=2"_ba << "s" << "k" << "v"
                                                        << "[a]\rb=1\nc=2\r[s]\rk=v\r"_ba;
    QTest::newRow("new section after a final ending, names that are allowed") << "x=1\n"_ba << "a[b" << "#x]" << "[v];"
                                                                              << "x=1\n[a[b]\n#x]=[v];\n"_ba;

    // The file keeps its encoding and byte order mark. One of ASCII bytes
    // only, or a missing one (CRLF), takes other text as UTF-8.
    QTest::newRow("missing file, trimmed names") << QByteArray() << " s " << "\tk " << "café €"
                                                 << "[s]\r\nk=caf\xC3\xA9 \xE2\x82\xAC\r\n"_ba;
    QTest::newRow("Greek into ASCII") << "[s]\r\nk=old\r\n"_ba << "s" << "k" << "Ωμέγα Ταινία"
                                      << "[s]\r\nk=" + u"Ωμέγα Ταινία"_s.toUtf8() + "\r\n"_ba;
    QTest::newRow("1252: undefined bytes stay, curly quotes are no quotes") << "[s]\r\nc=\x81\x8D\x8F\x90\x9D\r\nk=1\r\n"_ba
        << "s" << "k" << "“x”" << "[s]\r\nc=\x81\x8D\x8F\x90\x9D\r\nk=\x93x\x94\r\n"_ba;
    QTest::newRow("UTF-8 stays UTF-8") << "[s]\nk=caf\xC3\xA9\n"_ba << "s" << "k" << "Ε€" << "[s]\nk=\xCE\x95\xE2\x82\xAC\n"_ba;
    QTest::newRow("UTF-8 BOM stays, a BOM-like character is text")
        << "\xEF\xBB\xBF[\xEF\xBB\xBFs]\r\nk=1\r\n[s]\r\nk=\xE2\x82\xAC\r\n"_ba << "s" << "k" << "é"
        << "\xEF\xBB\xBF[\xEF\xBB\xBFs]\r\nk=1\r\n[s]\r\nk=\xC3\xA9\r\n"_ba;
    QTest::newRow("UTF-16BE") << "\xFE\xFF\0[\0s\0]\0\n"_ba << "s" << "k" << "€" << "\xFE\xFF\0[\0s\0]\0\n\0k\0=\x20\xAC\0\n"_ba;

    QTest::newRow("Greek into 1252") << "[s]\r\nk=old\r\nc=caf\xE9\r\n"_ba << "s" << "k" << "Ελληνικά" << QByteArray();
    QTest::newRow("invalid UTF-8 after a BOM") << "\xEF\xBB\xBF[s]\nk=\xE2\x82\xAC\nj=\xFF\n"_ba << "s" << "k" << "x" << QByteArray();
    // The file's bytes decide its encoding, and an edit must not change it.
    QTest::newRow("1252 that would turn UTF-8") << "[s]\nk=\xE9\nc=\xC3\xA9\n"_ba << "s" << "k" << "x" << QByteArray();

    // Nothing may add a line to the file or fail to read back.
    const QByteArray file = "[main]\r\ntitle=old\r\n";
    QTest::newRow("LF in a value") << file << "main" << "title" << "x\n[settings]\nblockset=yes" << QByteArray();
    QTest::newRow("CR in a value") << file << "main" << "title" << "x\ry=1" << QByteArray();
    QTest::newRow("NUL in a value") << file << "main" << "title" << QString("x") + QChar(0) << QByteArray();
    QTest::newRow("LF in a section") << file << "ma\nin" << "title" << "x" << QByteArray();
    QTest::newRow("CR in a key") << file << "main" << "title\rblockset" << "x" << QByteArray();
    QTest::newRow("] in a section") << file << "a]b" << "k" << "x" << QByteArray();
    QTest::newRow("= in a key") << file << "main" << "blockset=yes;" << "x" << QByteArray();
    QTest::newRow("key starting with ;") << file << "main" << " ;k" << "x" << QByteArray();
    QTest::newRow("key starting with [") << file << "main" << "[k]" << "x" << QByteArray();
}

void TestIniText::edits()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    const initext::FileEditResult result = initext::editFile(before, section, key, value);
    QCOMPARE(result.bytes, after);
    QCOMPARE(result.ok, !after.isEmpty());
    QCOMPARE(result.reason.isEmpty(), result.ok);
    if (result.ok)
        QCOMPARE(initext::lookupInFile(result.bytes, section, key), value);
}

#ifdef Q_OS_WIN
namespace {

// What Windows' GetPrivateProfileStringW gives for `key` in `section` of
// `file`, with the program's 255-character buffer; and what the tool prints.
struct Readings
{
    QString windows;
    QString tool;
    QString problem;
};

Readings readBoth(const QByteArray &bytes, const QString &section, const QString &key)
{
    Readings readings;
    QTemporaryDir dir;
    const QString path = QDir::toNativeSeparators(dir.filePath(QStringLiteral("trevlin.INI")));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        readings.problem = QStringLiteral("cannot write ") + path;
        return readings;
    }
    file.close();

    wchar_t buffer[255];
    const DWORD copied = ::GetPrivateProfileStringW(reinterpret_cast<const wchar_t *>(section.utf16()),
                                                    reinterpret_cast<const wchar_t *>(key.utf16()), L"", buffer, 255,
                                                    reinterpret_cast<const wchar_t *>(path.utf16()));
    readings.windows = QString::fromWCharArray(buffer, int(copied));

    QProcess tool;
    tool.start(QStringLiteral(TREVLIN_INI_TOOL), {QStringLiteral("get"), path, section, key});
    if (!tool.waitForFinished(60000) || tool.exitCode() != 0) {
        readings.problem = QStringLiteral("trevlin-ini get failed: ") + QString::fromUtf8(tool.readAllStandardError());
        return readings;
    }
    QByteArray out = tool.readAllStandardOutput();
    if (out.endsWith("\r\n"))
        out.chop(2);
    else if (out.endsWith('\n'))
        out.chop(1);
    readings.tool = QString::fromUtf8(out);
    return readings;
}

} // namespace

void TestIniText::agreesWithWindows_data()
{
    reads_data();
}

void TestIniText::agreesWithWindows()
{
    QFETCH(QString, text);
    QFETCH(QString, section);
    QFETCH(QString, key);
    // As UTF-16 with its mark: Windows reads the same characters as the tool.
    const Readings readings = readBoth(*encodeText(text, TextEncoding::Utf16LE), section, key);
    QVERIFY2(readings.problem.isEmpty(), qPrintable(readings.problem));
    // Where the program chose otherwise than Wine's reader, on purpose.
    QEXPECT_FAIL("non-ASCII names", "names are compared case-folded: the Kelvin sign is a K; Windows compares "
                                    "upper case, where it is not", Continue);
    QEXPECT_FAIL("non-ASCII names asked for", "as above", Continue);
    QEXPECT_FAIL("before the first section", "Wine files lines before the first section under the section \"\"",
                 Continue);
    QEXPECT_FAIL("; comment", "a line starting with ; is a comment here; Wine reads it as the key \";k\"", Continue);
    QEXPECT_FAIL("surrogate pair at the cut", "a character cut in half at 254 is left out here; Windows keeps its "
                                              "first half", Continue);
    QCOMPARE(readings.tool, readings.windows);
}

void TestIniText::seedFilesAgreeWithWindows()
{
    // The fuzz seeds: files in every encoding the program reads. An input is
    // "SECTION\0KEY\0VALUE\0" and the file, or all file, read at main/title.
    const QDir corpus(QStringLiteral(TREVLIN_SOURCE_DIR "/fuzz/corpus"));
    const QStringList names = corpus.entryList(QDir::Files, QDir::Name);
    QVERIFY2(names.size() >= 10, "the seed corpus is missing");
    QStringList differences;
    for (const QString &name : names) {
        QFile seed(corpus.filePath(name));
        QVERIFY(seed.open(QIODevice::ReadOnly));
        QByteArray input = seed.readAll();
        QString section = QStringLiteral("main"), key = QStringLiteral("title");
        const QList<QByteArray> parts = input.split('\0');
        if (parts.size() >= 4) {
            section = QString::fromUtf8(parts.at(0));
            key = QString::fromUtf8(parts.at(1));
            input = input.mid(parts.at(0).size() + parts.at(1).size() + parts.at(2).size() + 3);
        }
        const Readings readings = readBoth(input, section, key);
        QVERIFY2(readings.problem.isEmpty(), qPrintable(name + QStringLiteral(": ") + readings.problem));
        // UTF-8 without a mark is read as UTF-8 here; Windows reads every
        // file without one in its ANSI code page.
        if (name == QLatin1String("utf8-no-bom")) {
            QCOMPARE(readings.tool, QStringLiteral("caf\u00E9"));
            QCOMPARE(readings.windows, QStringLiteral("caf\u00C3\u00A9"));
            continue;
        }
        if (readings.tool != readings.windows)
            differences << QStringLiteral("%1 [%2] %3: tool \"%4\", Windows \"%5\"")
                               .arg(name, section, key, readings.tool, readings.windows);
    }
    QVERIFY2(differences.isEmpty(), qPrintable(differences.join(QLatin1Char('\n'))));
}
#endif

QTEST_APPLESS_MAIN(TestIniText)
#include "tst_settings_initext.moc"
