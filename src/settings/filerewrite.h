#pragma once
// Changing the bytes of a small file so that no write is lost and a write
// that fails leaves the file as it was.
//
//  - Writers take turns: each holds an advisory lock on the file (flock)
//    from reading the old bytes to the end of the write, so two programs
//    writing the same file at once cannot lose each other's change. A lock
//    not obtained within kLockWaitMs is a failure.
//  - The new bytes go to a new file beside the old one, synced and renamed
//    over it (atomic: a crash leaves the old file or the new one) when the
//    new file can carry the old one's owner, group, mode and ACL, and the old
//    file has a single name.
//  - Otherwise (a writable file in a folder the writer may not write, a file
//    of another owner that the writer's group may write, hard links, a name
//    with no room for the new file's longer one, a file mounted on its name)
//    the file itself is changed: the room for the new size is reserved
//    first, then only the bytes from the first changed one on are rewritten
//    and the file is cut when it got shorter. Not atomic: a crash in the
//    middle may leave those bytes half written.
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
