#include "initext_check.h"

#include "settings/initext.h"
#include "settings/textcodec.h"

#include <QList>
#include <QSet>

namespace {

bool isTrimmed(QChar c)
{
    return c == u' ' || c == u'\t' || c == QChar(0x1A);
}

QString stripped(QStringView text)
{
    while (!text.isEmpty() && isTrimmed(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isTrimmed(text.back()))
        text.chop(1);
    return text.toString();
}

bool holdsBreak(QStringView text)
{
    return text.contains(u'\r') || text.contains(u'\n');
}

// Printable ASCII that the editor has no reason to refuse.
bool isPlainAscii(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    }
    return true;
}

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) > 0x7F)
            return false;
    }
    return true;
}

// A value that reads back exactly as written: no blanks around it, no pair of
// quotes, short enough.
bool readsBackAsIs(QStringView value)
{
    if (value.size() > initext::kMaxValueLength)
        return false;
    if (!value.isEmpty() && (isTrimmed(value.front()) || isTrimmed(value.back())))
        return false;
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'')
        && value.back() == value.front())
        return false;
    return true;
}

// Section and key names that may be in the text: a rough look at its lines,
// with no claim to read them the way the file is read. The edit must leave
// the value of every such pair but the one written as it was.
void candidateNames(const QString &text, QStringList &sections, QStringList &keys)
{
    QString line;
    const auto take = [&] {
        const QString t = stripped(line);
        if (t.startsWith(u'[')) {
            const qsizetype close = t.lastIndexOf(u']');
            if (close > 0)
                sections << t.sliced(1, close - 1);
        }
        const qsizetype equals = t.indexOf(u'=');
        keys << (equals >= 0 ? t.first(equals) : t);
        line.clear();
    };
    for (QChar c : text) {
        if (c == u'\r' || c == u'\n')
            take();
        else
            line += c;
    }
    take();
    sections << QString() << QStringLiteral("main");
    if (sections.size() > 16)
        sections.resize(16);
    if (keys.size() > 16)
        keys.resize(16);
}

bool sameName(const QString &a, const QString &b)
{
    return stripped(a).compare(stripped(b), Qt::CaseInsensitive) == 0;
}

QString checkReading(QByteArrayView bytes, const DecodedText &decoded, const QString &section,
                     const QString &key)
{
    const QString fromBytes = initext::lookupInFile(bytes, section, key);
    const QString fromText = initext::lookup(decoded.text, section, key);
    if (fromBytes != fromText)
        return QStringLiteral("reading the bytes gives \"%1\", reading the text \"%2\"").arg(fromBytes, fromText);
    if (fromBytes.size() > initext::kMaxValueLength)
        return QStringLiteral("a read returned %1 characters").arg(fromBytes.size());
    return QString();
}

} // namespace

QString checkIniInput(QByteArrayView input)
{
    QString section = QStringLiteral("main");
    QString key = QStringLiteral("title");
    QString value = QStringLiteral("x");
    QByteArrayView bytes = input;
    {
        QList<qsizetype> nuls;
        for (qsizetype i = 0; i < input.size() && nuls.size() < 3; ++i) {
            if (input[i] == '\0')
                nuls << i;
        }
        if (nuls.size() == 3) {
            section = QString::fromUtf8(input.first(nuls[0]));
            key = QString::fromUtf8(input.sliced(nuls[0] + 1, nuls[1] - nuls[0] - 1));
            value = QString::fromUtf8(input.sliced(nuls[1] + 1, nuls[2] - nuls[1] - 1));
            bytes = input.sliced(nuls[2] + 1);
        }
    }

    // The encoding: exact bytes come back unchanged, others never do.
    const DecodedText decoded = decodeText(bytes);
    const std::optional<QByteArray> again = encodeText(decoded.text, decoded.encoding);
    const bool comesBack = again && *again == bytes;
    if (decoded.exact != comesBack)
        return QStringLiteral("the file is %1 but encoding its text %2 its bytes")
            .arg(decoded.exact ? u"exact" : u"not exact", comesBack ? u"gives back" : u"does not give back");

    if (QString why = checkReading(bytes, decoded, section, key); !why.isEmpty())
        return why;

    const initext::FileEditResult edit = initext::editFile(bytes, section, key, value);
    if (!edit.ok) {
        if (edit.reason.isEmpty())
            return QStringLiteral("an edit failed without a reason");
        if (isAscii(bytes) && isPlainAscii(section) && isPlainAscii(key) && isPlainAscii(value)
            && initext::refusalReason(section, key, value).isEmpty())
            return QStringLiteral("a plain edit of an ASCII file was refused: %1").arg(edit.reason);
        return QString();
    }

    // Written, then read: the value comes back.
    const QString expected = readsBackAsIs(value) ? value : initext::valueAsRead(value);
    const QString readBack = initext::lookupInFile(edit.bytes, section, key);
    if (readBack != expected)
        return QStringLiteral("wrote \"%1\" but read back \"%2\"").arg(value, readBack);

    // Only one line changed: the text the edit took away holds no line break.
    const DecodedText after = decodeText(edit.bytes);
    if (!after.exact)
        return QStringLiteral("the edited file is not exact");
    // (A file of ASCII bytes only may become UTF-8.)
    if (after.encoding != decoded.encoding && !isAscii(edit.bytes)
        && !(isAscii(bytes) && after.encoding == TextEncoding::Utf8))
        return QStringLiteral("the edit changed the file's encoding from %1 to %2")
            .arg(encodingName(decoded.encoding), encodingName(after.encoding));
    const QString &before = decoded.text;
    const QString &now = after.text;
    qsizetype prefix = 0;
    while (prefix < before.size() && prefix < now.size() && before[prefix] == now[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < before.size() - prefix && suffix < now.size() - prefix
           && before[before.size() - 1 - suffix] == now[now.size() - 1 - suffix])
        ++suffix;
    if (holdsBreak(QStringView(before).sliced(prefix, before.size() - prefix - suffix)))
        return QStringLiteral("the edit changed more than one line");

    // Every other entry reads as before.
    QStringList sections, keys;
    candidateNames(before, sections, keys);
    for (const QString &s : sections) {
        for (const QString &k : keys) {
            if (sameName(s, section) && sameName(k, key))
                continue;
            const QString was = initext::lookupInFile(bytes, s, k);
            const QString is = initext::lookupInFile(edit.bytes, s, k);
            if (was != is)
                return QStringLiteral("[%1] %2 was \"%3\" and is \"%4\" after the edit").arg(s, k, was, is);
        }
    }

    // The same edit again changes nothing (the blanks after '=' stay, so a
    // value that starts with blanks would gain more of them each time).
    if (!value.isEmpty() && isTrimmed(value.front()))
        return QString();
    const initext::FileEditResult second = initext::editFile(edit.bytes, section, key, value);
    if (!second.ok || second.bytes != edit.bytes)
        return QStringLiteral("the same edit a second time changed the file");
    return QString();
}
