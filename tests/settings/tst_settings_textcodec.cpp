// The encodings of the program's text files: which one a file is in, its
// text, and whether its bytes come back unchanged.

#include "settings/textcodec.h"

#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(TextEncoding)

class TestTextCodec : public QObject
{
    Q_OBJECT

private slots:
    void decodes_data();
    void decodes();
    void refusesWhatTheEncodingCannotHold();
};

void TestTextCodec::decodes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<QString>("text");  // null: not compared
    QTest::addColumn<bool>("exact");    // and so encodeText gives the bytes back

    using E = TextEncoding;
    QByteArray all = "\xFF"_ba;  // two 0xFF are never UTF-8
    for (int b = 1; b < 256; ++b)
        all += char(b);
    const QByteArray a16(16, 'a');
    QTest::newRow("ASCII is 1252") << "[main]\r\n"_ba << E::Windows1252 << u"[main]\r\n"_s << true;
    QTest::newRow("1252 is not Latin-1") << "\x80\x8A\x92\x9F\x81\x9D\xA0\xFF"_ba << E::Windows1252
                                         << u"\u20AC\u0160\u2019\u0178\u0081\u009D\u00A0\u00FF"_s << true;
    QTest::newRow("1252 keeps every byte") << all << E::Windows1252 << QString() << true;
    // Within blocks of sixteen bytes, which are skipped while ASCII.
    QTest::newRow("UTF-8 in a block") << "caf\xC3\xA9 \xF0\x9F\x98\x80"_ba + a16 << E::Utf8 << u"caf\u00E9 \U0001F600"_s + a16 << true;
    QTest::newRow("cut short in a block") << "aaaa\xE2\x82"_ba + a16 << E::Windows1252 << u"aaaa\u00E2\u201A"_s + a16 << true;
    QTest::newRow("overlong") << "\xE0\x80\xAF"_ba << E::Windows1252 << u"\u00E0\u20AC\u00AF"_s << true;
    QTest::newRow("surrogate") << "\xED\xA0\x80"_ba << E::Windows1252 << u"\u00ED\u00A0\u20AC"_s << true;
    QTest::newRow("above U+10FFFF") << "\xF4\x90\x80\x80"_ba << E::Windows1252 << u"\u00F4\u0090\u20AC\u20AC"_s << true;
    QTest::newRow("UTF-8 BOM, a second is text") << "\xEF\xBB\xBF\xEF\xBB\xBFk=\xE2\x82\xAC"_ba << E::Utf8Bom << u"\uFEFFk=\u20AC"_s << true;
    QTest::newRow("UTF-16LE") << "\xFF\xFEk\0\x3D\xD8\x00\xDE"_ba << E::Utf16LE << u"k\U0001F600"_s << true;

    QTest::newRow("invalid after a UTF-8 BOM") << "\xEF\xBB\xBFk=\xFF"_ba << E::Utf8Bom << u"k=\uFFFD"_s << false;
    QTest::newRow("UTF-16LE of odd length") << "\xFF\xFEk\0="_ba << E::Utf16LE << u"k"_s << false;
    QTest::newRow("UTF-16LE lone surrogate") << "\xFF\xFE\x3D\xD8k\0"_ba << E::Utf16LE << QChar(0xD83D) + u"k"_s << false;
}

void TestTextCodec::decodes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(TextEncoding, encoding);
    QFETCH(QString, text);
    QFETCH(bool, exact);
    const DecodedText decoded = decodeText(bytes);
    QCOMPARE(decoded.encoding, encoding);
    if (!text.isNull())
        QCOMPARE(decoded.text, text);
    QCOMPARE(decoded.exact, exact);
    QCOMPARE(encodeText(decoded.text, encoding) == std::optional<QByteArray>(bytes), exact);
}

void TestTextCodec::refusesWhatTheEncodingCannotHold()
{
    // Never replaced by a question mark.
    QVERIFY(!encodeText(u"\u0395\u03BB", TextEncoding::Windows1252));
    QVERIFY(!encodeText(u"\u0080", TextEncoding::Windows1252));  // 1252 spends 0x80 on the euro
    QVERIFY(!encodeText(QChar(0xD83D) + u"x"_s, TextEncoding::Utf8));
    QVERIFY(!encodeText(QString(QChar(0xDE00)), TextEncoding::Utf16BE));
}

QTEST_APPLESS_MAIN(TestTextCodec)
#include "tst_settings_textcodec.moc"
