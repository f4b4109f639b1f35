#pragma once
// Changing the bytes of a small file so that no write is lost and a write
// that fails leaves the file as it was.
//
//  - Writers take turns: each holds an advisory lock on the file (flock)
//    from reading the old bytes to the end of the write, so two programs
//    writing the same file at once cannot lose each other's change. A lock
//    not obtained within kLockWaitMs is a failure.
//  - The name is looked up once, one folder at a time, each opened in the
//    one before it; all later steps work from those descriptors. Symbolic
//    links are followed by their own text, except another user's link in a
//    folder everybody may write (unless it is the folder owner's) and, for
//    root, any link of another user: refused with the reason.
//  - A change whose result is larger than `maxBytes` is refused.
//  - The new bytes go to a new file beside the old one, synced and renamed
//    over it (atomic: a crash leaves the old file or the new one) when the
//    new file can carry exactly the old one's owner, group and mode (and no
//    access list), the old file has a single name and none, and the folder
//    is not append-only. Each new file is locked by its writer; new files of
//    killed writers, which no writer holds, are removed by the next one.
//  - Otherwise (a writable file in a folder the writer may not write, a file
//    of another owner that the writer's group may write, hard links, a name
//    with no room for the new file's longer one, a file mounted on its name)
//    the file itself is changed, and only when the room for the whole change
//    is there: where the file system can clone, the new text is written to
//    a file of its own and cloned onto the file; elsewhere the room for the
//    new size is reserved (guaranteed where blocks are rewritten in place;
//    on a copy-on-write file system only the reported free room is checked)
//    and the bytes from the first changed one on are rewritten. Not atomic:
//    a crash in the middle may leave the file part old, part new.
//  - A missing file is created empty, then changed like any other; when the
//    change fails the empty file goes again.
//
// Every write, sync and rename is checked; a failure is reported with the
// system's reason ("No space left on device").

#include <QByteArray>
#include <QString>

#include <functional>

namespace filerewrite {

// How long a writer waits for another one to finish.
constexpr int kLockWaitMs = 5000;

struct Outcome
{
    bool ok = false;
    QString reason;  // why not, in English
};

// The new bytes of a file made from its old ones (empty for a new file): true
// and `changed`, or false and `reason`. It runs while the file is locked.
using Change = std::function<bool(const QByteArray &old, QByteArray &changed, QString &reason)>;

// Changes the ordinary file at `path` (a symlink's target), or creates it.
// A file larger than `maxBytes` is refused. Bytes that come out unchanged are
// not written.
Outcome rewrite(const QString &path, qint64 maxBytes, const Change &change);

} // namespace filerewrite
