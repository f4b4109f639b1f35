#pragma once
// The settings file's text: looking a value up and changing one value, with
// no file access. Files written for the Windows profile service read the same
// here as there:
//
//  - lines end at LF, CRLF or a lone CR; blanks, tabs and the DOS end-of-file
//    mark (0x1A) around a line are ignored, and so are blank lines;
//  - a line that starts with '[' and holds a ']' opens the section named by
//    the text between the '[' and the last ']' on the line, trimmed;
//  - a line that starts with ';' is a comment ('#' is not);
//  - any other line is key=value, split at the first '='; a line without '='
//    is a key with no value; lines before the first section are never found;
//  - names match without regard to letter case; only the first section of a
//    name is searched, and in it the first key of a name wins;
//  - a value of two characters or more between a pair of the same quote ('"'
//    or '\'') loses that pair; then at most 254 characters are returned.
//
// An edit changes the first matching key in place, or adds the key at the end
// of its section, or adds the section at the end of the text, and leaves every
// other character as it was.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace initext {

// The longest value a read returns, in UTF-16 code units.
constexpr qsizetype kMaxValueLength = 254;

// The value of `key` in `section`, empty when the section or the key is
// missing. The names asked for are trimmed first.
QString lookup(QStringView text, QStringView section, QStringView key);

// The same over the bytes of a whole file, in whichever encoding they are
// (see textcodec.h). Gives the same result as lookup(decodeText(bytes).text).
QString lookupInFile(QByteArrayView bytes, QStringView section, QStringView key);

// The value as stored, before it is cut to kMaxValueLength: tells whether a
// read gave all of it.
QString wholeValueInFile(QByteArrayView bytes, QStringView section, QStringView key);

// A stored value as a read returns it: trimmed, one pair of surrounding
// quotes removed, cut to kMaxValueLength without splitting a surrogate pair.
QString valueAsRead(QStringView stored);

// Why section, key and value cannot be written as one line of the file, or
// empty when they can: a line break or NUL anywhere, a ']' in the section, a
// '=' in the key or a key that would read as a comment or a section.
QString refusalReason(QStringView section, QStringView key, QStringView value);

struct EditResult
{
    bool ok = false;
    QString text;    // the whole new text when ok
    QString reason;  // why not, when not ok
};

// `text` with `value` stored under `key` in `section`. New lines take the
// text's first line ending (CRLF when it has none).
EditResult edit(QStringView text, QStringView section, QStringView key, QStringView value);

struct FileEditResult
{
    bool ok = false;
    QByteArray bytes;  // the whole new file when ok
    QString reason;
};

// The same over the bytes of a whole file (empty for a missing one, which
// becomes Windows-1252 text). The file keeps its encoding and byte order
// mark; the edit is refused when the file's bytes would not come back
// unchanged, when the encoding cannot hold the new text, or when the new
// file would read differently from the edited text.
FileEditResult editFile(QByteArrayView bytes, QStringView section, QStringView key,
                        QStringView value);

} // namespace initext
