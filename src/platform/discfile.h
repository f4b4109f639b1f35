#pragma once
// Reading a file that a disc names. A disc may hold anything under a name the
// settings file gives: a named pipe (whose open() waits for a writer for
// good), a device such as /dev/zero (endless), a folder, a symlink loop, or a
// file far larger than its use. Such a file is never opened for reading here:
// only an ordinary file is, without blocking, and only up to a size bound.

#include <QByteArray>
#include <QString>

namespace platform {

struct DiscFile
{
    enum Problem {
        None,
        Missing,      // no such file (or an empty name)
        Folder,       // a folder, not a file
        NotOrdinary,  // a named pipe, a device or a socket
        TooLarge,     // larger than the caller's bound
        Unreadable,   // the system refused it (permission, symlink loop, ...)
    };

    Problem problem = None;
    // Why the file cannot be used, in English and lower case, to follow
    // "Cannot open NAME: " ("it is a named pipe", "Permission denied"); empty
    // when there is no problem.
    QString reason;
    qint64 size = 0;        // the file's size in bytes, when it is an ordinary file
    QByteArray bytes;       // the whole file, from readDiscFile only

    bool ok() const { return problem == None; }
};

// Looks at `path` without opening it (stat follows symlinks): what a caller
// must know before it hands the path to something that opens it itself (the
// media player). An ordinary file larger than `maxBytes` is TooLarge; a
// negative bound means no bound.
// A file that cannot be used, and why.
DiscFile discFileProblem(DiscFile::Problem kind, const QString &reason);
// A file larger than the `maxBytes` a reader takes: its size and the bound,
// written so that the difference shows (in bytes where rounding would hide it).
DiscFile discFileTooLarge(qint64 size, qint64 maxBytes);

DiscFile inspectDiscFile(const QString &path, qint64 maxBytes = -1);

// The whole content of `path` when it is an ordinary file of at most
// `maxBytes`; otherwise the problem and no bytes. The file is closed again
// before this returns. A file that grows past the bound while it is read is
// TooLarge too.
DiscFile readDiscFile(const QString &path, qint64 maxBytes);

#ifdef Q_OS_UNIX
// Opens `path` for reading when it is an ordinary file of at most `maxBytes`
// (a negative bound means no bound), without blocking, and checks it on the
// open descriptor: a name swapped for a named pipe after a look at it is seen
// as the pipe, never waited on. Answers the descriptor (the caller closes
// it), or -1 with the problem in `file`; `file` also gets the size.
int openDiscFile(const QString &path, DiscFile *file, qint64 maxBytes = -1);

// A name under which the system opens the very file open at `fd` (Linux:
// /proc/self/fd/N), whatever has become of the name it was opened by since;
// for what opens files by name itself (the media player). Valid while `fd`
// stays open, in this process.
QString openFileName(int fd);
#endif

// The system's text for an error number ("No space left on device").
QString systemReason(int error);

#ifdef Q_OS_UNIX
// Reads the ordinary file open at `fd` from its start to its end, at most
// `maxBytes` and one byte more to see that it is larger (the caller checks
// bytes.size()); `size` is what the file said it holds, a hint only. False,
// with errno set, when a read fails.
bool readOpenFile(int fd, qint64 size, qint64 maxBytes, QByteArray &bytes);
#endif

} // namespace platform
