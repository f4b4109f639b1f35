// The settings file's reader and editor over text and bytes, with no files:
// every reading rule, and the exact text an edit leaves.

#include "settings/initext.h"

#include <QTest>

namespace {

QString u8(const char *text)
{
    return QString::fromUtf8(text);
}

QByteArray utf16le(const QString &text)
{
    QByteArray bytes("\xFF\xFE");
    for (QChar c : text)
        bytes += QByteArray(1, char(c.unicode() & 0xFF)) + char(c.unicode() >> 8);
    return bytes;
}

} // namespace

class TestIniText : public QObject
{
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
    void edits_data();
    void edits();
    void refuses_data();
    void refuses();
    void keepsTheFileEncoding_data();
    void keepsTheFileEncoding();
};

void TestIniText::reads_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    const QString disc = u8("[main]\r\nTitle=TrevLIN\r\n[Path]\r\nMediaplayer=mp.exe /q\r\n");
    QTest::newRow("main/Title") << disc << "main" << "Title" << "TrevLIN";
    QTest::newRow("Path/Mediaplayer") << disc << "Path" << "Mediaplayer" << "mp.exe /q";
    QTest::newRow("path/mediaplayer") << disc << "path" << "mediaplayer" << "mp.exe /q";
    QTest::newRow("names asked for are trimmed") << disc << " path\t" << " MEDIAPLAYER " << "mp.exe /q";
    QTest::newRow("non-ASCII names") << u8("[ÉTÉ]\nClé=1\n") << u8("été") << u8("CLÉ") << "1";
    // Unicode folding matches the Kelvin sign with k and the long s with s.
    QTest::newRow("Kelvin sign is k") << u8("[\u017Fettings]\n\u212Aey=1\n") << "settings" << "key" << "1";
    QTest::newRow("k is the Kelvin sign") << u8("[settings]\nkey=1\n") << u8("\u017Fettings") << u8("\u212Aey") << "1";
    QTest::newRow("missing key") << disc << "main" << "movie" << "";
    QTest::newRow("key of another section") << disc << "path" << "title" << "";

    QTest::newRow("lone CR") << u8("[s]\rk=v\rj=w") << "s" << "j" << "w";
    QTest::newRow("mixed endings") << u8("[s]\r\na=1\rb=2\nc=3") << "s" << "c" << "3";
    QTest::newRow("CR CR LF is two endings") << u8("[s]\r\r\nk=v") << "s" << "k" << "v";
    QTest::newRow("blanks, tabs, EOF mark") << u8("\x1A \t[s]\t\x1A\n\n \t k \t=\t v \x1A\n\x1A") << "s" << "k" << "v";
    QTest::newRow("note after section") << u8("[path] note\nk=v") << "path" << "k" << "v";
    QTest::newRow("section to the last ]") << u8("[pa]th]\nk=v") << "pa]th" << "k" << "v";
    QTest::newRow("not to the first ]") << u8("[pa]th]\nk=v") << "pa" << "k" << "";
    QTest::newRow("blanks inside brackets") << u8("[  s  ]\nk=v") << "s" << "k" << "v";
    QTest::newRow("[ without ] is a key") << u8("[s]\n[t\n[u=1") << "s" << "[u" << "1";
    QTest::newRow("[ without ] opens nothing") << u8("[t\nk=v") << "t" << "k" << "";
    QTest::newRow("[ inside a line opens nothing") << u8("[a]\nk=x [s] y\n  [s] \nk=2") << "s" << "k" << "2";

    QTest::newRow("split at the first =") << u8("[s]\nk=a=b") << "s" << "k" << "a=b";
    QTest::newRow("no = reads empty, and wins") << u8("[s]\nk\nk=later") << "s" << "k" << "";
    QTest::newRow("empty key") << u8("[s]\n=v") << "s" << "" << "v";
    QTest::newRow("before the first section") << u8("k=v\n[s]\n") << "s" << "k" << "";
    QTest::newRow("; comment") << u8("[s]\n \t;k=v") << "s" << "k" << "";
    QTest::newRow("; comment is no key") << u8("[s]\n;k=v") << "s" << ";k" << "";
    QTest::newRow("# is no comment") << u8("[s]\n#x=1") << "s" << "#x" << "1";
    QTest::newRow("; after a value") << u8("[s]\nk=v ; note") << "s" << "k" << "v ; note";
    QTest::newRow("first section only") << u8("[s]\na=1\n[t]\nb=2\n[S]\nb=3") << "s" << "b" << "";
    QTest::newRow("first key wins") << u8("[s]\nk=1\nK=2\n[s]\nk=3") << "s" << "k" << "1";

    QTest::newRow("double quotes") << u8("[s]\nk= \" a \" ") << "s" << "k" << " a ";
    QTest::newRow("single quotes") << u8("[s]\nk='a b'") << "s" << "k" << "a b";
    QTest::newRow("one pair only") << u8("[s]\nk=\"\"a\"\"") << "s" << "k" << "\"a\"";
    QTest::newRow("inner quotes stay") << u8("[s]\nk=\"a\"b\"") << "s" << "k" << "a\"b";
    QTest::newRow("empty quotes") << u8("[s]\nk=''") << "s" << "k" << "";
    QTest::newRow("lone quote") << u8("[s]\nk=\"") << "s" << "k" << "\"";
    QTest::newRow("mismatched quotes") << u8("[s]\nk=\"a'") << "s" << "k" << "\"a'";

    const QString x300(300, u'x');
    QTest::newRow("300 characters") << "[s]\nk=" + x300 << "s" << "k" << x300.left(254);
    QTest::newRow("exactly 254") << "[s]\nk=" + x300.left(254) << "s" << "k" << x300.left(254);
    QTest::newRow("quotes off before the cut") << "[s]\nk=\"" + x300.left(254) + "\"" << "s" << "k" << x300.left(254);
    QTest::newRow("surrogate pair at the cut") << "[s]\nk=" + x300.left(253) + u8("\U0001F600") << "s" << "k" << x300.left(253);
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
    QCOMPARE(initext::lookupInFile(utf16le(text), section, key), value);
}

void TestIniText::edits_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("after");

    QTest::newRow("in place, key keeps its spelling")
        << u8("[Main]\r\nTITLE = old \r\n[path]\r\n") << "main" << "Title" << "new" << u8("[Main]\r\nTITLE = new\r\n[path]\r\n");
    QTest::newRow("blanks after = stay") << u8("[s]\nk=\t old\x1A\n") << "s" << "k" << "new" << u8("[s]\nk=\t new\n");
    QTest::newRow("the line keeps its ending") << u8("[s]\r\nk=1\nz=2\r") << "s" << "k" << "9" << u8("[s]\r\nk=9\nz=2\r");
    QTest::newRow("last line without ending") << u8("[s]\nk=1") << "s" << "k" << "" << u8("[s]\nk=");
    QTest::newRow("key without =") << u8("[s]\n  k  \nj=1\n") << "s" << "k" << "v" << u8("[s]\n  k=v\nj=1\n");
    QTest::newRow("first key of first section") << u8("[s]\nk=1\nk=2\n[s]\nk=3\n") << "S" << "K" << "9"
                                                << u8("[s]\nk=9\nk=2\n[s]\nk=3\n");

    QTest::newRow("new key after the last line")
        << u8("[s]\r\na=1\r\n;note\r\n\r\n[t]\r\n") << "s" << "k" << "v" << u8("[s]\r\na=1\r\n;note\r\nk=v\r\n\r\n[t]\r\n");
    QTest::newRow("new key in an empty section") << u8("[s]\n\n[t]\n") << "s" << "k" << "v" << u8("[s]\nk=v\n\n[t]\n");
    QTest::newRow("new key, header is the last line") << u8("x=1\n[s]") << "s" << "k" << "v" << u8("x=1\n[s]\nk=v");
    QTest::newRow("new key in the first of two") << u8("[s]\na=1\n[t]\n[s]\nk=old\n") << "s" << "k" << "new"
                                                 << u8("[s]\na=1\nk=new\n[t]\n[s]\nk=old\n");
    QTest::newRow("comment and sectionless key are not the key") << u8("k=1\n[s]\n;k=1\n") << "s" << "k" << "2"
                                                                 << u8("k=1\n[s]\n;k=1\nk=2\n");
    QTest::newRow("new key before the EOF mark") << u8("[s]\r\nk=1\r\n\x1A") << "s" << "j" << "v"
                                                 << u8("[s]\r\nk=1\r\nj=v\r\n\x1A");

    QTest::newRow("new section") << u8("[a]\nb=1\n") << "s" << "k" << "v" << u8("[a]\nb=1\n[s]\nk=v\n");
    QTest::newRow("new section, no final ending") << u8("[a]\nb=1") << "s" << "k" << "v" << u8("[a]\nb=1\n[s]\nk=v\n");
    QTest::newRow("the first line ending") << u8("[a]\rb=1\n") << "s" << "k" << "v" << u8("[a]\rb=1\n[s]\rk=v\r");
    QTest::newRow("empty text: CRLF, trimmed names") << "" << " Main " << "\ttitle " << "Hello" << u8("[Main]\r\ntitle=Hello\r\n");
    QTest::newRow("names that are allowed") << "" << "a[b" << "#x]" << "[v];" << u8("[a[b]\r\n#x]=[v];\r\n");
}

void TestIniText::edits()
{
    QFETCH(QString, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, after);
    const initext::EditResult result = initext::edit(before, section, key, value);
    QVERIFY2(result.ok, qPrintable(result.reason));
    QCOMPARE(result.text, after);
    QCOMPARE(initext::lookup(result.text, section, key), value);
}

void TestIniText::refuses_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("lines injected by a value") << "main" << "title" << u8("x\r\n[settings]\r\nblockset=yes");
    QTest::newRow("lone CR in a value") << "main" << "title" << u8("x\ry=1");
    QTest::newRow("NUL in a value") << "main" << "title" << QString(u8("x")) + QChar(0);
    QTest::newRow("LF in a section") << u8("main]\n[settings") << "title" << "x";
    QTest::newRow("CR in a key") << "main" << u8("title\rblockset") << "x";
    QTest::newRow("] in a section") << "a]b" << "k" << "x";
    QTest::newRow("= in a key") << "main" << "blockset=yes;" << "x";
    QTest::newRow("key starting with ;") << "main" << " ;k" << "x";
    QTest::newRow("key starting with [") << "main" << "[k]" << "x";
}

void TestIniText::refuses()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    const initext::EditResult result = initext::edit(u8("[main]\r\ntitle=old\r\n"), section, key, value);
    QVERIFY(!result.ok);
    QVERIFY(!result.reason.isEmpty());
}

void TestIniText::keepsTheFileEncoding_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("oldValue");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");  // empty: refused

    const QString greek = u8("Ελληνικά");
    QTest::newRow("missing file: CRLF, 1252") << QByteArray() << "" << u8("café €") << QByteArray("[s]\r\nk=caf\xE9 \x80\r\n");
    QTest::newRow("1252 keeps euro and undefined bytes") << QByteArray("[s]\r\nc=\x81\x8D\x8F\x90\x9D\r\nk=\x80\r\n")
                                                         << u8("€") << u8("né")
                                                         << QByteArray("[s]\r\nc=\x81\x8D\x8F\x90\x9D\r\nk=n\xE9\r\n");
    QTest::newRow("1252 curly quotes are no quotes") << QByteArray("[s]\nk=\x93x\x94\n") << u8("“x”") << u8("é")
                                                     << QByteArray("[s]\nk=\xE9\n");
    QTest::newRow("UTF-8 stays UTF-8") << QByteArray("[s]\nk=caf\xC3\xA9\n") << u8("café") << u8("Ε€")
                                       << QByteArray("[s]\nk=\xCE\x95\xE2\x82\xAC\n");
    QTest::newRow("UTF-8 BOM stays") << QByteArray("\xEF\xBB\xBF[s]\r\nk=\xE2\x82\xAC\r\n") << u8("€") << u8("é")
                                     << QByteArray("\xEF\xBB\xBF[s]\r\nk=\xC3\xA9\r\n");
    QTest::newRow("UTF-16LE BOM stays") << utf16le(u8("[s]\r\nk=Ελ\r\n")) << u8("Ελ") << u8("Ε")
                                        << utf16le(u8("[s]\r\nk=Ε\r\n"));
    QTest::newRow("UTF-16BE new key") << QByteArray("\xFE\xFF\0[\0s\0]\0\n", 10) << "" << u8("€")
                                      << QByteArray("\xFE\xFF\0[\0s\0]\0\n\0k\0=\x20\xAC\0\n", 18);
    QTest::newRow("a BOM-like character in a name") << QByteArray("\xEF\xBB\xBF[\xEF\xBB\xBFs]\nk=1\n[s]\nk=2\n")
                                                    << "2" << "3" << QByteArray("\xEF\xBB\xBF[\xEF\xBB\xBFs]\nk=1\n[s]\nk=3\n");

    QTest::newRow("Greek into 1252") << QByteArray("[s]\r\nk=caf\xE9\r\n") << u8("café") << greek << QByteArray();
    QTest::newRow("Greek into ASCII") << QByteArray("[s]\r\nk=old\r\n") << "old" << greek << QByteArray();
    QTest::newRow("Greek into a missing file") << QByteArray() << "" << greek << QByteArray();
    QTest::newRow("invalid UTF-8 after a BOM") << QByteArray("\xEF\xBB\xBF[s]\nk=\xE2\x82\xAC\nj=\xFF\n") << u8("€") << "x"
                                               << QByteArray();
    QTest::newRow("UTF-16 of odd length") << QByteArray("\xFF\xFE[\0s\0]\0\n\0k", 11) << "" << "x" << QByteArray();
    // The file's bytes decide its encoding, and an edit must not change it.
    QTest::newRow("1252 that would turn UTF-8") << QByteArray("[s]\nk=\xE9\nc=\xC3\xA9\n") << u8("é") << "x" << QByteArray();
    QTest::newRow("a value that would turn 1252 UTF-8") << QByteArray("[s]\nk=old\n") << "old" << u8("Ã©") << QByteArray();
}

void TestIniText::keepsTheFileEncoding()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, oldValue);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    QCOMPARE(initext::lookupInFile(before, u"s", u"k"), oldValue);
    const initext::FileEditResult result = initext::editFile(before, u"s", u"k", value);
    QCOMPARE(result.bytes, after);
    QCOMPARE(result.ok, !after.isEmpty());
    QCOMPARE(result.reason.isEmpty(), result.ok);
    if (result.ok)
        QCOMPARE(initext::lookupInFile(result.bytes, u"s", u"k"), value);
}

QTEST_APPLESS_MAIN(TestIniText)
#include "tst_settings_initext.moc"
