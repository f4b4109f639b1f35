#include "settings/textcodec.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace {

// Windows-1252 bytes 0x80-0x9F. The unassigned ones stand for the C1 control
// of the same number, so that they come back as the same byte.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t windows1252ToUnicode(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return kHighControls[byte - 0x80];
    return byte;
}

// The Windows-1252 byte for `c`, or -1.
int unicodeToWindows1252(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == c)
            return 0x80 + i;
    }
    return -1;
}

bool startsWith(QByteArrayView bytes, const char *mark, qsizetype size)
{
    return bytes.size() >= size && std::memcmp(bytes.data(), mark, size) == 0;
}

// Walks well-formed UTF-8 (Unicode's table of well-formed byte sequences).
// Returns false at the first ill-formed sequence; `nonAscii` tells whether
// any byte above 0x7F was seen.
bool scanUtf8(QByteArrayView bytes, bool &nonAscii)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *e = p + bytes.size();
    nonAscii = false;
    while (p < e) {
#if defined(__SSE2__) || defined(_M_X64)
        // Most of a settings file is ASCII: skip it sixteen bytes at a time,
        // and jump straight to the first byte that is not.
        if (e - p >= 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            const unsigned high = unsigned(_mm_movemask_epi8(block));
            if (!high) {
                p += 16;
                continue;
            }
            p += std::countr_zero(high);
        } else
#endif
        if (*p < 0x80) {
            ++p;
            continue;
        }
        nonAscii = true;
        const unsigned char c = *p;
        int follow = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            follow = 1;
        } else if (c == 0xE0) {
            follow = 2;
            low = 0xA0;  // no overlong forms
        } else if ((c >= 0xE1 && c <= 0xEC) || c == 0xEE || c == 0xEF) {
            follow = 2;
        } else if (c == 0xED) {
            follow = 2;
            high = 0x9F;  // no surrogates
        } else if (c == 0xF0) {
            follow = 3;
            low = 0x90;
        } else if (c >= 0xF1 && c <= 0xF3) {
            follow = 3;
        } else if (c == 0xF4) {
            follow = 3;
            high = 0x8F;  // nothing above U+10FFFF
        } else {
            return false;
        }
        if (e - p <= follow || p[1] < low || p[1] > high)
            return false;
        for (int i = 2; i <= follow; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
        }
        p += follow + 1;
    }
    return true;
}

bool hasLoneSurrogate(QStringView text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate()) {
            if (i + 1 < n && text[i + 1].isLowSurrogate()) {
                ++i;
                continue;
            }
            return true;
        }
        if (c.isLowSurrogate())
            return true;
    }
    return false;
}

QString decodeUtf16(QByteArrayView bytes, bool bigEndian)
{
    const qsizetype units = bytes.size() / 2;
    QString text(units, Qt::Uninitialized);
    QChar *out = text.data();
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    for (qsizetype i = 0; i < units; ++i, p += 2) {
        out[i] = bigEndian ? QChar(char16_t((p[0] << 8) | p[1]))
                           : QChar(char16_t((p[1] << 8) | p[0]));
    }
    return text;
}

QString decodeUtf8(QByteArrayView bytes)
{
    // QString::fromUtf8 swallows a leading EF BB BF; inside a file's text it
    // is a character like any other.
    QString text;
    while (startsWith(bytes, "\xEF\xBB\xBF", 3)) {
        text += QChar(0xFEFF);
        bytes = bytes.sliced(3);
    }
    if (text.isEmpty())
        return QString::fromUtf8(bytes);
    return text + QString::fromUtf8(bytes);
}

QString decodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = QChar(windows1252ToUnicode(p[i]));
    return text;
}

} // namespace

QString encodingName(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Windows1252: return QStringLiteral("Windows-1252");
    case TextEncoding::Utf8: return QStringLiteral("UTF-8");
    case TextEncoding::Utf8Bom: return QStringLiteral("UTF-8 with BOM");
    case TextEncoding::Utf16LE: return QStringLiteral("UTF-16LE");
    case TextEncoding::Utf16BE: return QStringLiteral("UTF-16BE");
    }
    return QString();
}

bool isValidUtf8(QByteArrayView bytes)
{
    bool nonAscii = false;
    return scanUtf8(bytes, nonAscii);
}

EncodingGuess detectEncoding(QByteArrayView bytes)
{
    EncodingGuess guess;
    if (startsWith(bytes, "\xEF\xBB\xBF", 3)) {
        guess.encoding = TextEncoding::Utf8Bom;
        guess.bomSize = 3;
        guess.exact = isValidUtf8(bytes.sliced(3));
    } else if (startsWith(bytes, "\xFF\xFE", 2) || startsWith(bytes, "\xFE\xFF", 2)) {
        const bool bigEndian = bytes[0] == '\xFE';
        guess.encoding = bigEndian ? TextEncoding::Utf16BE : TextEncoding::Utf16LE;
        guess.bomSize = 2;
        guess.exact = bytes.size() % 2 == 0
            && !hasLoneSurrogate(decodeUtf16(bytes.sliced(2), bigEndian));
    } else {
        bool nonAscii = false;
        const bool valid = scanUtf8(bytes, nonAscii);
        guess.encoding = valid && nonAscii ? TextEncoding::Utf8 : TextEncoding::Windows1252;
    }
    return guess;
}

QString decodePiece(QByteArrayView piece, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Windows1252:
        return decodeWindows1252(piece);
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom:
        return decodeUtf8(piece);
    case TextEncoding::Utf16LE:
        return decodeUtf16(piece, false);
    case TextEncoding::Utf16BE:
        return decodeUtf16(piece, true);
    }
    return QString();
}

DecodedText decodeText(QByteArrayView bytes)
{
    const EncodingGuess guess = detectEncoding(bytes);
    DecodedText decoded;
    decoded.encoding = guess.encoding;
    decoded.exact = guess.exact;
    decoded.text = decodePiece(bytes.sliced(guess.bomSize), guess.encoding);
    return decoded;
}

std::optional<QByteArray> encodeText(QStringView text, TextEncoding encoding)
{
    QByteArray bytes;
    switch (encoding) {
    case TextEncoding::Windows1252: {
        bytes.resize(text.size());
        char *out = bytes.data();
        for (qsizetype i = 0; i < text.size(); ++i) {
            const int byte = unicodeToWindows1252(text[i].unicode());
            if (byte < 0)
                return std::nullopt;
            out[i] = char(byte);
        }
        return bytes;
    }
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom:
        if (hasLoneSurrogate(text))
            return std::nullopt;
        if (encoding == TextEncoding::Utf8Bom)
            bytes = QByteArrayLiteral("\xEF\xBB\xBF");
        bytes += text.toUtf8();
        return bytes;
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        if (hasLoneSurrogate(text))
            return std::nullopt;
        const bool bigEndian = encoding == TextEncoding::Utf16BE;
        bytes.resize(2 + 2 * text.size());
        auto *out = reinterpret_cast<unsigned char *>(bytes.data());
        const char16_t bom = 0xFEFF;
        auto put = [&](char16_t unit) {
            *out++ = bigEndian ? unit >> 8 : unit & 0xFF;
            *out++ = bigEndian ? unit & 0xFF : unit >> 8;
        };
        put(bom);
        for (QChar c : text)
            put(c.unicode());
        return bytes;
    }
    }
    return std::nullopt;
}
