#include "settings/initext.h"

#include "settings/textcodec.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace initext {
namespace {

// The reading rules work the same on the bytes of an 8-bit file (Windows-1252
// or UTF-8: every character the format cares about is ASCII, and in UTF-8 no
// ASCII byte is ever part of a longer character) and on decoded text. So
// they are written once, for `unsigned char` and for `char16_t`; a read of a
// large file then decodes only the names it compares and the value it returns.

template <typename C>
bool isBlank(C c)
{
    return c == C(' ') || c == C('\t') || c == C(0x1A);  // 0x1A: DOS end-of-file mark
}

template <typename C>
bool isBreak(C c)
{
    return c == C('\n') || c == C('\r');
}

template <typename C>
void trim(const C *&begin, const C *&end)
{
    while (begin < end && isBlank(*begin))
        ++begin;
    while (end > begin && isBlank(end[-1]))
        --end;
}

QStringView trimmed(QStringView text)
{
    const char16_t *begin = text.utf16();
    const char16_t *end = begin + text.size();
    trim(begin, end);
    return QStringView(begin, end);
}

// The first CR or LF in [p, end), or end.
const char16_t *findBreak(const char16_t *p, const char16_t *end)
{
    while (p < end && !isBreak(*p))
        ++p;
    return p;
}

const unsigned char *findBreak(const unsigned char *p, const unsigned char *end)
{
#if defined(__SSE2__) || defined(_M_X64)
    // Sixteen bytes at a time: one bit a byte that is LF or CR.
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const unsigned marks = unsigned(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, cr))));
        if (marks)
            return p + std::countr_zero(marks);
        p += 16;
    }
#endif
    while (p < end && !isBreak(*p))
        ++p;
    return p;
}

template <typename C>
struct Line
{
    const C *begin;  // the line's content is [begin, end)
    const C *end;
    const C *next;   // its line ending is [end, next)
};

// Lines end at LF, CRLF or a lone CR; a last line may have no ending.
template <typename C>
bool nextLine(const C *&p, const C *end, Line<C> &line)
{
    if (p >= end)
        return false;
    line.begin = p;
    line.end = findBreak(p, end);
    p = line.end;
    if (p < end)
        p += (*p == C('\r') && p + 1 < end && p[1] == C('\n')) ? 2 : 1;
    line.next = p;
    return true;
}

enum class Kind { Blank, Comment, Section, Entry };

template <typename C>
struct Classified
{
    Kind kind = Kind::Blank;
    const C *begin = nullptr;  // the line's content, trimmed
    const C *end = nullptr;
    const C *nameBegin = nullptr;  // a section's name, trimmed
    const C *nameEnd = nullptr;
};

// What a line is, told by its first character once trimmed.
template <typename C>
Classified<C> classify(const Line<C> &line)
{
    Classified<C> c;
    c.begin = line.begin;
    c.end = line.end;
    trim(c.begin, c.end);
    if (c.begin == c.end)
        return c;  // blank
    if (*c.begin == C('[')) {
        // A section runs to the last ']' of the line; text after it is ignored
        // ("[path] note" is "path", "[pa]th]" is "pa]th"). A '[' line without
        // ']' is read as a key.
        for (const C *close = c.end - 1; close > c.begin; --close) {
            if (*close == C(']')) {
                c.kind = Kind::Section;
                c.nameBegin = c.begin + 1;
                c.nameEnd = close;
                trim(c.nameBegin, c.nameEnd);
                return c;
            }
        }
    }
    c.kind = *c.begin == C(';') ? Kind::Comment : Kind::Entry;  // '#' is no comment
    return c;
}

template <typename C>
struct Entry
{
    const C *keyBegin;
    const C *keyEnd;
    const C *equals;  // the first '=', or nullptr: a key with no value
    const C *valueBegin;
    const C *valueEnd;
};

// key=value, split at the first '='; both sides trimmed. `begin` and `end`
// are the trimmed content of an Entry line.
template <typename C>
Entry<C> splitEntry(const C *begin, const C *end)
{
    Entry<C> e{begin, end, nullptr, end, end};
    for (const C *p = begin; p < end; ++p) {
        if (*p == C('=')) {
            e.keyEnd = p;
            e.equals = p;
            e.valueBegin = p + 1;
            break;
        }
    }
    trim(e.keyBegin, e.keyEnd);
    trim(e.valueBegin, e.valueEnd);
    return e;
}

bool sameName(const QString &found, QStringView asked)
{
    return QStringView(found).compare(asked, Qt::CaseInsensitive) == 0;
}

QString textPiece(const char16_t *begin, const char16_t *end)
{
    return QString(reinterpret_cast<const QChar *>(begin), end - begin);
}

// The first `c` in [p, end), or nullptr.
const char16_t *findChar(const char16_t *p, const char16_t *end, char16_t c)
{
    for (; p < end; ++p) {
        if (*p == c)
            return p;
    }
    return nullptr;
}

const unsigned char *findChar(const unsigned char *p, const unsigned char *end, unsigned char c)
{
    if (p == end)
        return nullptr;  // an empty file may have no bytes at all, not even an address
    return static_cast<const unsigned char *>(std::memchr(p, c, size_t(end - p)));
}

// Where the line of `at` starts when only blanks stand before `at` on it, or
// nullptr.
template <typename C>
const C *lineStartBefore(const C *begin, const C *at)
{
    while (at > begin && isBlank(at[-1]))
        --at;
    return at == begin || isBreak(at[-1]) ? at : nullptr;
}

// A stored value trimmed and without one pair of surrounding quotes.
QStringView unquoted(QStringView stored)
{
    QStringView value = trimmed(stored);
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'')
        && value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    return value;
}

QString wholeValue(QStringView stored)
{
    return unquoted(stored).toString();
}

// The first section named as asked, and in it the first key named as asked.
// Only a line whose first character is '[' can open a section, so the search
// for the section goes from one '[' to the next instead of through every
// line. `names` compares the names found with the names asked for and turns
// the stored value into text.
template <typename C, typename Names>
QString lookupLines(const C *begin, const C *end, Names &names, bool whole = false)
{
    const C *body = nullptr;
    for (const C *open = findChar(begin, end, C('[')); open; open = findChar(open, end, C('['))) {
        const C *start = lineStartBefore(begin, open);
        if (!start) {
            ++open;
            continue;
        }
        Line<C> line;
        nextLine(start, end, line);
        const Classified<C> c = classify(line);
        if (c.kind == Kind::Section && names.sectionIs(c.nameBegin, c.nameEnd)) {
            body = line.next;
            break;
        }
        open = line.next;
    }
    if (!body)
        return QString();
    Line<C> line;
    while (nextLine(body, end, line)) {
        if (names.cannotBeKeyOrSection(line.begin, line.end))
            continue;
        const Classified<C> c = classify(line);
        if (c.kind == Kind::Section)
            return QString();  // a later section of the same name is not searched
        if (c.kind != Kind::Entry)
            continue;
        const Entry<C> e = splitEntry(c.begin, c.end);
        if (names.keyIs(e.keyBegin, e.keyEnd))
            return whole ? wholeValue(names.decode(e.valueBegin, e.valueEnd))
                         : valueAsRead(names.decode(e.valueBegin, e.valueEnd));
    }
    return QString();
}

// True when the first character of a line shows that it neither opens a
// section nor holds the key asked for, which spares splitting most lines of
// a large section: it is no '[', ';' or '=', and an ASCII letter other than
// the first of an ASCII key. (A character that is not ASCII can still match
// an ASCII one: the Kelvin sign folds to 'k'.)
template <typename C>
bool firstCharacterRulesOut(const C *begin, const C *end, QStringView key)
{
    while (begin < end && isBlank(*begin))
        ++begin;
    if (begin == end || key.isEmpty())
        return false;
    const char16_t first = *begin;
    const char16_t wanted = key.front().unicode();
    if (first >= 0x80 || wanted >= 0x80 || first == u'[' || first == u';' || first == u'=')
        return false;
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    return lower(first) != lower(wanted);
}

struct TextNames
{
    QStringView section;
    QStringView key;
    bool cannotBeKeyOrSection(const char16_t *b, const char16_t *e) const { return firstCharacterRulesOut(b, e, key); }
    bool sectionIs(const char16_t *b, const char16_t *e) const { return sameName(textPiece(b, e), section); }
    bool keyIs(const char16_t *b, const char16_t *e) const { return sameName(textPiece(b, e), key); }
    static QString decode(const char16_t *b, const char16_t *e) { return textPiece(b, e); }
};

char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c;
}

bool isAscii(const unsigned char *b, const unsigned char *e)
{
    for (; b < e; ++b) {
        if (*b >= 0x80)
            return false;
    }
    return true;
}

bool isAscii(QByteArrayView bytes)
{
    const auto *begin = reinterpret_cast<const unsigned char *>(bytes.data());
    return isAscii(begin, begin + bytes.size());
}

bool isAscii(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

// Names and values in the bytes of an 8-bit file. ASCII reads the same in
// Windows-1252 and UTF-8, so the file's encoding is worked out (which means
// reading all of a file without a byte order mark) only when a name compared
// or the value returned holds another byte.
struct ByteNames
{
    QStringView section;
    QStringView key;
    QByteArrayView file;
    std::optional<TextEncoding> encoding;  // known at once when the file has a byte order mark
    bool sectionAscii = isAscii(section);
    bool keyAscii = isAscii(key);

    QString decode(const unsigned char *b, const unsigned char *e)
    {
        const QByteArrayView piece(b, e - b);
        if (isAscii(b, e))
            return QString::fromLatin1(piece);
        if (!encoding) {
            // Cut at ASCII bytes, a UTF-8 file gives only UTF-8 pieces; so
            // a piece that is not UTF-8 settles it without reading the rest.
            encoding = isValidUtf8(piece) ? detectEncoding(file).encoding : TextEncoding::Windows1252;
        }
        return decodePiece(piece, *encoding);
    }

    // Two ASCII names match when they do letter for letter, A-Z folded;
    // anything else is compared as text (Unicode folding can match an ASCII
    // letter with another one, as K with the Kelvin sign).
    bool matches(const unsigned char *b, const unsigned char *e, QStringView asked, bool askedAscii)
    {
        if (askedAscii && isAscii(b, e)) {
            if (e - b != asked.size())
                return false;
            for (qsizetype i = 0; i < asked.size(); ++i, ++b) {
                if (asciiLower(*b) != asciiLower(asked[i].unicode()))
                    return false;
            }
            return true;
        }
        return sameName(decode(b, e), asked);
    }

    bool cannotBeKeyOrSection(const unsigned char *b, const unsigned char *e) const { return firstCharacterRulesOut(b, e, key); }
    bool sectionIs(const unsigned char *b, const unsigned char *e) { return matches(b, e, section, sectionAscii); }
    bool keyIs(const unsigned char *b, const unsigned char *e) { return matches(b, e, key, keyAscii); }
};

bool holdsLineBreakOrNul(QStringView text)
{
    for (QChar c : text) {
        if (c == u'\r' || c == u'\n' || c == u'\0')
            return true;
    }
    return false;
}

EditResult refused(const QString &reason)
{
    EditResult result;
    result.reason = reason;
    return result;
}

EditResult edited(QString text)
{
    EditResult result;
    result.ok = true;
    result.text = std::move(text);
    return result;
}

} // namespace

QString valueAsRead(QStringView stored)
{
    QStringView value = unquoted(stored);
    if (value.size() > kMaxValueLength) {
        qsizetype n = kMaxValueLength;
        if (value[n - 1].isHighSurrogate() && value[n].isLowSurrogate())
            --n;
        value = value.first(n);
    }
    return value.toString();
}

QString lookup(QStringView text, QStringView section, QStringView key)
{
    TextNames names{trimmed(section), trimmed(key)};
    const char16_t *begin = text.utf16();
    return lookupLines(begin, begin + text.size(), names);
}

namespace {

QString lookupInFileUpTo(QByteArrayView bytes, QStringView section, QStringView key, bool whole)
{
    ByteNames names{trimmed(section), trimmed(key), bytes, std::nullopt};
    const auto *begin = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = begin + bytes.size();
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        // Bytes that are not UTF-8 read as U+FFFD one by one and take no
        // ASCII byte with them, so the lines are where the text has them.
        names.encoding = TextEncoding::Utf8Bom;
        begin += 3;
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        const QString decoded = decodeText(bytes).text;
        const QStringView text(decoded);
        TextNames textNames{trimmed(section), trimmed(key)};
        return lookupLines(text.utf16(), text.utf16() + text.size(), textNames, whole);
    }
    return lookupLines(begin, end, names, whole);
}

} // namespace

QString lookupInFile(QByteArrayView bytes, QStringView section, QStringView key)
{
    return lookupInFileUpTo(bytes, section, key, false);
}

QString wholeValueInFile(QByteArrayView bytes, QStringView section, QStringView key)
{
    return lookupInFileUpTo(bytes, section, key, true);
}

QString refusalReason(QStringView section, QStringView key, QStringView value)
{
    section = trimmed(section);
    key = trimmed(key);
    if (holdsLineBreakOrNul(section))
        return QStringLiteral("the section name holds a line break or a NUL character");
    if (holdsLineBreakOrNul(key))
        return QStringLiteral("the key holds a line break or a NUL character");
    if (holdsLineBreakOrNul(value))
        return QStringLiteral("the value holds a line break or a NUL character");
    if (section.contains(u']'))
        return QStringLiteral("the section name holds ']'");
    if (key.contains(u'='))
        return QStringLiteral("the key holds '='");
    if (key.startsWith(u';'))
        return QStringLiteral("the key starts with ';' and would read as a comment");
    if (key.startsWith(u'['))
        return QStringLiteral("the key starts with '[' and would read as a section");
    return QString();
}

EditResult edit(QStringView text, QStringView section, QStringView key, QStringView value)
{
    section = trimmed(section);
    key = trimmed(key);
    if (const QString why = refusalReason(section, key, value); !why.isEmpty())
        return refused(why);

    const char16_t *begin = text.utf16();
    const char16_t *end = begin + text.size();
    const auto at = [begin](const char16_t *p) { return qsizetype(p - begin); };

    QStringView lineEnding;  // the text's first one
    bool sectionFound = false;
    Line<char16_t> lastFilled{};  // the section's last non-blank line so far
    const char16_t *p = begin;
    Line<char16_t> line;
    while (nextLine(p, end, line)) {
        if (lineEnding.isEmpty() && line.next > line.end)
            lineEnding = QStringView(line.end, line.next);
        const Classified<char16_t> c = classify(line);
        if (c.kind == Kind::Section) {
            if (sectionFound)
                break;  // the end of the first section of that name
            if (sameName(textPiece(c.nameBegin, c.nameEnd), section)) {
                sectionFound = true;
                lastFilled = line;
            }
            continue;
        }
        if (!sectionFound || c.kind == Kind::Blank)
            continue;
        lastFilled = line;
        if (c.kind != Kind::Entry)
            continue;
        const Entry<char16_t> e = splitEntry(c.begin, c.end);
        if (!sameName(textPiece(e.keyBegin, e.keyEnd), key))
            continue;
        // Change the value in place: the key keeps the file's spelling, and
        // the blanks after '=' and the line's ending stay.
        QString changed = text.first(at(line.begin)).toString();
        if (e.equals) {
            const char16_t *keep = e.equals + 1;
            while (keep < line.end && isBlank(*keep))
                ++keep;
            changed += QStringView(line.begin, keep);
        } else {
            changed += QStringView(line.begin, e.keyEnd);
            changed += u'=';
        }
        changed += value;
        changed += text.sliced(at(line.end));
        return edited(changed);
    }
    if (lineEnding.isEmpty())
        lineEnding = u"\r\n";

    QString added = key.toString();
    added += u'=';
    added += value;
    if (sectionFound) {
        // After the section's last non-blank line, so that blank lines that
        // part it from the next section stay where they are.
        QString changed = text.first(at(lastFilled.next)).toString();
        if (lastFilled.next == lastFilled.end) {  // the text's last line, with no ending
            changed += lineEnding;
            changed += added;
        } else {
            changed += added;
            changed += lineEnding;
        }
        changed += text.sliced(at(lastFilled.next));
        return edited(changed);
    }

    QString changed = text.toString();
    if (!changed.isEmpty() && !isBreak(changed.back().unicode()))
        changed += lineEnding;
    changed += u'[';
    changed += section;
    changed += u']';
    changed += lineEnding;
    changed += added;
    changed += lineEnding;
    return edited(changed);
}

FileEditResult editFile(QByteArrayView bytes, QStringView section, QStringView key,
                        QStringView value)
{
    FileEditResult result;
    const DecodedText decoded = decodeText(bytes);
    if (!decoded.exact) {
        result.reason = QStringLiteral("the file is not valid %1 text; writing it would change bytes "
                                       "that are not being edited")
                            .arg(encodingName(decoded.encoding));
        return result;
    }
    EditResult changed = edit(decoded.text, section, key, value);
    if (!changed.ok) {
        result.reason = changed.reason;
        return result;
    }
    // A file of ASCII bytes only (or none) has not chosen between
    // Windows-1252 and UTF-8: text beyond ASCII makes it UTF-8, which holds
    // every character and which a file's bytes show.
    const TextEncoding encoding = decoded.encoding == TextEncoding::Windows1252 && isAscii(bytes)
        ? TextEncoding::Utf8
        : decoded.encoding;
    std::optional<QByteArray> encoded = encodeText(changed.text, encoding);
    if (!encoded) {
        result.reason = QStringLiteral("the file's encoding (%1) cannot hold the text written")
                            .arg(encodingName(encoding));
        return result;
    }
    // A file without a byte order mark is recognised by its bytes, and an edit
    // can change what they say: a Windows-1252 file whose non-ASCII bytes all
    // form UTF-8 would then read as UTF-8.
    if (decodeText(*encoded).text != changed.text) {
        result.reason = QStringLiteral("after this change the file would be read as another "
                                       "encoding than %1")
                            .arg(encodingName(decoded.encoding));
        return result;
    }
    result.ok = true;
    result.bytes = std::move(*encoded);
    return result;
}

} // namespace initext
