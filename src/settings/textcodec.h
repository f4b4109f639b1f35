#pragma once
// Turning the bytes of the program's text files into text and back. The
// settings file and the hints window's text files are written by hand on
// Windows machines, so they come in the encodings a Windows editor saves:
//
//  - a file that starts with a byte order mark is in that encoding
//    (EF BB BF: UTF-8; FF FE: UTF-16LE; FE FF: UTF-16BE);
//  - otherwise a file whose non-ASCII bytes all form valid UTF-8 is UTF-8;
//  - any other file, pure ASCII included, is Windows-1252 (the Western ANSI
//    code page). Its five unassigned bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D
//    stand for U+0081 and so on, so every byte comes back as it was.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

enum class TextEncoding {
    Windows1252,
    Utf8,     // UTF-8 recognised by its bytes, without a byte order mark
    Utf8Bom,  // UTF-8 after EF BB BF
    Utf16LE,  // after FF FE
    Utf16BE,  // after FE FF
};

// A short English name of the encoding, for messages ("UTF-8 with BOM").
QString encodingName(TextEncoding encoding);

struct EncodingGuess
{
    TextEncoding encoding = TextEncoding::Windows1252;
    qsizetype bomSize = 0;  // bytes of the byte order mark at the start
    // The bytes are valid in the encoding: encodeText(decodeText(bytes).text)
    // gives them back unchanged. Not so for invalid UTF-8 after a UTF-8 mark,
    // a UTF-16 file of odd length or one holding a lone surrogate.
    bool exact = true;
};

struct DecodedText
{
    QString text;  // without the byte order mark
    TextEncoding encoding = TextEncoding::Windows1252;
    bool exact = true;  // as in EncodingGuess
};

// Which encoding `bytes` are in, by the rule above. Reads every byte of a
// file without a byte order mark, but decodes nothing.
EncodingGuess detectEncoding(QByteArrayView bytes);

// The text of a whole file. Bytes that are invalid in the file's encoding
// read as U+FFFD; a last odd byte of a UTF-16 file is dropped.
DecodedText decodeText(QByteArrayView bytes);

// Part of a file's text, decoded in `encoding` (the byte order mark already
// left out: a U+FEFF inside the piece is kept as a character).
QString decodePiece(QByteArrayView piece, TextEncoding encoding);

// The bytes of `text` in `encoding`, with the byte order mark the encoding
// starts with. No value when the encoding cannot hold one of the characters
// (a Greek letter in Windows-1252, a lone surrogate anywhere): nothing is
// ever replaced by a question mark.
std::optional<QByteArray> encodeText(QStringView text, TextEncoding encoding);

// True when `bytes` are well-formed UTF-8: no overlong forms, no encoded
// surrogates, nothing above U+10FFFF, no sequence cut short.
bool isValidUtf8(QByteArrayView bytes);
