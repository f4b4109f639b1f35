#pragma once
// ModuleINI: the settings file, "trevlin.INI" in the application folder, and
// the only code that touches it. Every call finds the file and reads it
// afresh; nothing is kept between calls, so a value written by the settings
// dialog is seen by the very next read anywhere in the program.

#include <QString>

// Where the settings file is: the application folder joined with
// "trevlin.INI" (a folder that already ends in a separator gets no second one).
QString settingsFilePath();

// The value of `key` in `section` of the settings file; the empty text when
// the file, the section or the key is missing. Shows nothing.
QString ReadINI(const QString &section, const QString &key);

// Stores `value` under `key` in `section` of the settings file, creating the
// file, the section or the key when missing. A write that cannot be done shows
// "Escrita sem Sucesso" once, with the reason as the box's detail, and leaves
// the file as it was. The result is for tools; the program's callers go on
// either way.
bool WriteINI(const QString &section, const QString &key, const QString &value);

// The settings file is read only when it is an ordinary file of at most this
// size; anything else (a named pipe, a device, a folder, a larger file) reads
// as empty and is not written.
constexpr qint64 kMaxSettingsFileBytes = 16 * 1024 * 1024;

// The same two operations on a file named by the caller, without any window.

// A missing file reads as empty. So does one that cannot be read, and then
// `problem`, when given, says why.
QString readIniFile(const QString &path, const QString &section, const QString &key,
                    QString *problem = nullptr);

struct WriteOutcome
{
    bool ok = false;
    QString reason;  // why the file was not written, in English
};

// Writes as filerewrite.h says: under a lock that serialises writers, through
// a new file renamed over the old one where that keeps the file's owner,
// group, mode and links, otherwise in place (not atomic). A file that may not
// be written, one on a read-only medium or a full disk, a name or value that
// cannot be one line of the file, or text the file's encoding cannot hold
// makes it fail with the file as it was.
WriteOutcome writeIniFile(const QString &path, const QString &section, const QString &key,
                          const QString &value);
