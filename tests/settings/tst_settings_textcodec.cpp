// The encodings of the program's text files: which one a file is in, its
// text, and whether its bytes come back unchanged.

#include "settings/textcodec.h"

#include <QTest>

Q_DECLARE_METATYPE(TextEncoding)

class TestTextCodec : public QObject
{
    Q_OBJECT

private slots:
    void decodes_data();
    void decodes();
    void windows1252KeepsEveryByte();
    void refusesWhatTheEncodingCannotHold_data();
    void refusesWhatTheEncodingCannotHold();
};

void TestTextCodec::decodes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("exact");

    using E = TextEncoding;
    const QString a16 = QStringLiteral("aaaaaaaaaaaaaaaa");
    QTest::newRow("empty") << QByteArray() << E::Windows1252 << QString() << true;
    QTest::newRow("pure ASCII") << QByteArray("[main]\r\n") << E::Windows1252 << "[main]\r\n" << true;
    QTest::newRow("1252 is not Latin-1") << QByteArray("\x80\x8A\x92\x9F\x81\x9D\xA0\xFF") << E::Windows1252
                                         << QStringLiteral(u"\u20AC\u0160\u2019\u0178\u0081\u009D\u00A0\u00FF") << true;
    QTest::newRow("lone e-acute") << QByteArray("caf\xE9") << E::Windows1252 << QStringLiteral(u"caf\u00E9") << true;
    QTest::newRow("UTF-8") << QByteArray("caf\xC3\xA9 \xF0\x9F\x98\x80") << E::Utf8
                           << QStringLiteral(u"caf\u00E9 \U0001F600") << true;
    // Inside and past a block of sixteen ASCII bytes.
    QTest::newRow("UTF-8 in a block") << "aaaa\xC3\xA9" + a16.toLatin1() << E::Utf8 << QStringLiteral(u"aaaa\u00E9") + a16 << true;
    QTest::newRow("cut short in a block") << "aaaa\xC3" + a16.toLatin1() << E::Windows1252 << QStringLiteral(u"aaaa\u00C3") + a16 << true;
    QTest::newRow("cut short at the end") << a16.toLatin1() + "a\xC3" << E::Windows1252 << a16 + QStringLiteral(u"a\u00C3") << true;
    QTest::newRow("overlong") << QByteArray("\xE0\x80\xAF") << E::Windows1252 << QStringLiteral(u"\u00E0\u20AC\u00AF") << true;
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << E::Windows1252 << QStringLiteral(u"\u00ED\u00A0\u20AC") << true;
    QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << E::Windows1252
                                    << QStringLiteral(u"\u00F4\u0090\u20AC\u20AC") << true;
    QTest::newRow("UTF-8 BOM") << QByteArray("\xEF\xBB\xBFk=\xE2\x82\xAC") << E::Utf8Bom << QStringLiteral(u"k=\u20AC") << true;
    QTest::newRow("second BOM is text") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFx") << E::Utf8Bom << QStringLiteral(u"\uFEFFx") << true;
    QTest::newRow("UTF-16LE") << QByteArray("\xFF\xFEk\0\x3D\xD8\x00\xDE", 8) << E::Utf16LE << QStringLiteral(u"k\U0001F600") << true;
    QTest::newRow("UTF-16BE") << QByteArray("\xFE\xFF\0k\x20\xAC", 6) << E::Utf16BE << QStringLiteral(u"k\u20AC") << true;

    QTest::newRow("invalid after a UTF-8 BOM") << QByteArray("\xEF\xBB\xBFk=\xFF") << E::Utf8Bom << QStringLiteral(u"k=\uFFFD") << false;
    QTest::newRow("UTF-16LE of odd length") << QByteArray("\xFF\xFEk\0=", 5) << E::Utf16LE << "k" << false;
    QTest::newRow("UTF-16LE lone surrogate") << QByteArray("\xFF\xFE\x3D\xD8k\0", 6) << E::Utf16LE
                                             << QString(QChar(0xD83D)) + u'k' << false;
}

void TestTextCodec::decodes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(TextEncoding, encoding);
    QFETCH(QString, text);
    QFETCH(bool, exact);
    const DecodedText decoded = decodeText(bytes);
    QCOMPARE(decoded.encoding, encoding);
    QCOMPARE(detectEncoding(bytes).encoding, encoding);
    QCOMPARE(decoded.text, text);
    QCOMPARE(decoded.exact, exact);
    QCOMPARE(encodeText(text, encoding) == std::optional<QByteArray>(bytes), exact);
}

void TestTextCodec::windows1252KeepsEveryByte()
{
    QByteArray all;
    for (int b = 1; b < 256; ++b)
        all += char(b);
    all += "\xFF";  // two 0xFF are never UTF-8
    const DecodedText decoded = decodeText(all);
    QCOMPARE(decoded.encoding, TextEncoding::Windows1252);
    QCOMPARE(encodeText(decoded.text, TextEncoding::Windows1252), std::optional<QByteArray>(all));
}

void TestTextCodec::refusesWhatTheEncodingCannotHold_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<TextEncoding>("encoding");

    const QString lone = QString(QChar(0xD83D)) + u'x';
    QTest::newRow("Greek in 1252") << QStringLiteral(u"\u0395\u03BB") << TextEncoding::Windows1252;
    QTest::newRow("C1 control that 1252 spends on a letter") << QStringLiteral(u"\u0080") << TextEncoding::Windows1252;
    QTest::newRow("lone surrogate in UTF-8") << lone << TextEncoding::Utf8;
    QTest::newRow("lone surrogate in UTF-16LE") << lone << TextEncoding::Utf16LE;
    QTest::newRow("lone low surrogate in UTF-16BE") << QString(QChar(0xDE00)) << TextEncoding::Utf16BE;
}

void TestTextCodec::refusesWhatTheEncodingCannotHold()
{
    QFETCH(QString, text);
    QFETCH(TextEncoding, encoding);
    QVERIFY(!encodeText(text, encoding).has_value());
}

QTEST_APPLESS_MAIN(TestTextCodec)
#include "tst_settings_textcodec.moc"
