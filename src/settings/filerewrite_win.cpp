// Changing a small file on Windows with the promises of filerewrite.h:
//
//  - Writers take turns: each holds an exclusive lock (LockFileEx) from
//    reading the old bytes to the end of its write. The lock covers one byte
//    far past the end of any settings file, so readers, which never lock, are
//    not kept out of the bytes themselves (a Windows lock is binding on
//    everybody who reads the locked range).
//  - The new bytes go to a new hidden file beside the old one, flushed to the
//    disk, and that file takes the old one's place with ReplaceFileW (which
//    keeps the old file's attributes, access list and creation time), or where
//    that is not possible with MoveFileExW(MOVEFILE_REPLACE_EXISTING |
//    MOVEFILE_WRITE_THROUGH): a crash leaves the old file or the new one.
//  - Where no new file can be made beside it (a writable file in a folder the
//    writer may not write) or the file has more than one name (hard links),
//    the file itself is changed: the room for the new size is reserved first
//    (its allocation), then the bytes from the first changed one on are
//    rewritten and the file is cut when it got shorter; a failure puts the
//    old bytes back.
//  - A read-only file, a read-only medium (every CD) or a full disk fails
//    with the system's reason and leaves the file as it was.
#include "settings/filerewrite_win.h"

#include "platform/discfile.h"
#include "platform/windows_win.h"

#include <QDeadlineTimer>
#include <QRandomGenerator>
#include <QThread>

#include <windows.h>

#include <string>

namespace filerewrite::win {
namespace {

using platform::win::systemReason;

Outcome failed(const QString &reason)
{
    return Outcome{false, reason};
}

Outcome failed(const char *what, DWORD code)
{
    return failed(QString::fromLatin1(what) + QStringLiteral(": ") + systemReason(code));
}

Outcome done()
{
    return Outcome{true, QString()};
}

class Handle
{
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) {}
    ~Handle() { close(); }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    HANDLE get() const { return m_handle; }
    bool isOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    void reset(HANDLE handle)
    {
        close();
        m_handle = handle;
    }
    bool close()
    {
        const HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return handle == INVALID_HANDLE_VALUE || ::CloseHandle(handle);
    }

private:
    HANDLE m_handle;
};

// The byte the writers lock: past the end of any file this writes.
constexpr DWORD kLockOffsetHigh = 0x7fffffff;
constexpr DWORD kLockOffsetLow = 0;

bool lock(HANDLE file, const QDeadlineTimer &deadline, DWORD &code)
{
    for (int pauseMs = 1;; pauseMs = qMin(pauseMs * 2, 20)) {
        OVERLAPPED where = {};
        where.Offset = kLockOffsetLow;
        where.OffsetHigh = kLockOffsetHigh;
        if (::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &where))
            return true;
        code = ::GetLastError();
        // A file system that keeps no locks is written without one.
        if (code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_FUNCTION)
            return true;
        if (code != ERROR_LOCK_VIOLATION && code != ERROR_IO_PENDING)
            return false;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(pauseMs);
    }
}

bool writeAt(HANDLE file, const char *data, qint64 size, qint64 offset, DWORD &code)
{
    while (size > 0) {
        OVERLAPPED where = {};
        where.Offset = DWORD(offset & 0xffffffff);
        where.OffsetHigh = DWORD(offset >> 32);
        DWORD written = 0;
        const DWORD chunk = DWORD(qMin<qint64>(size, 1 << 20));
        if (!::WriteFile(file, data, chunk, &written, &where)) {
            code = ::GetLastError();
            return false;
        }
        if (written == 0) {
            code = ERROR_WRITE_FAULT;
            return false;
        }
        data += written;
        size -= written;
        offset += written;
    }
    return true;
}

bool setSize(HANDLE file, qint64 size, DWORD &code)
{
    FILE_END_OF_FILE_INFO end = {};
    end.EndOfFile.QuadPart = size;
    if (::SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end))
        return true;
    code = ::GetLastError();
    return false;
}

// The full name of the file open at `file`, links followed: a link stays a
// link, its target is what is written.
std::wstring finalName(HANDLE file)
{
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(file, name.data(), DWORD(name.size()), FILE_NAME_NORMALIZED);
        if (length == 0)
            return {};
        if (length < name.size()) {
            name.resize(length);
            return name;
        }
        name.resize(length + 1);
    }
}

bool sameFile(const BY_HANDLE_FILE_INFORMATION &a, const BY_HANDLE_FILE_INFORMATION &b)
{
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh
           && a.nFileIndexLow == b.nFileIndexLow;
}

bool readAll(HANDLE file, qint64 size, qint64 maxBytes, QByteArray &bytes, DWORD &code)
{
    bytes.resize(qMin(qMax<qint64>(size, 0), maxBytes) + 1);
    qint64 filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > maxBytes)
                return true;
            bytes.resize(qMin<qint64>(maxBytes + 1, bytes.size() * 2));
        }
        OVERLAPPED where = {};
        where.Offset = DWORD(filled & 0xffffffff);
        where.OffsetHigh = DWORD(filled >> 32);
        DWORD got = 0;
        if (!::ReadFile(file, bytes.data() + filled, DWORD(qMin<qint64>(bytes.size() - filled, 1 << 20)), &got,
                        &where)) {
            code = ::GetLastError();
            if (code == ERROR_HANDLE_EOF)
                break;
            return false;
        }
        if (got == 0)
            break;
        filled += got;
    }
    bytes.truncate(filled);
    return true;
}

enum class Renamed { Done, Failed, NotPossible };

bool folderRefuses(DWORD code)
{
    return code == ERROR_ACCESS_DENIED || code == ERROR_WRITE_PROTECT || code == ERROR_FILENAME_EXCED_RANGE
           || code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_NAME;
}

// Writes `bytes` to a new hidden file in the folder of `name` and puts it in
// the place of `name`. NotPossible, with nothing left behind, when no new file
// can be made there.
Renamed replaceByNewFile(const std::wstring &name, DWORD attributes, const QByteArray &bytes, Outcome &outcome)
{
    const size_t slash = name.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : name.substr(0, slash + 1);
    const std::wstring base = slash == std::wstring::npos ? name : name.substr(slash + 1);
    std::wstring temporary;
    Handle file;
    for (int tries = 0; tries < 100 && !file.isOpen(); ++tries) {
        static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        std::wstring suffix;
        for (int i = 0; i < 6; ++i)
            suffix += wchar_t(letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))]);
        temporary = folder + L"." + base + L"." + suffix;
        file.reset(::CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_HIDDEN, nullptr));
        if (!file.isOpen()) {
            const DWORD code = ::GetLastError();
            if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS)
                continue;
            if (folderRefuses(code))
                return Renamed::NotPossible;
            outcome = failed("cannot make a new file beside it", code);
            return Renamed::Failed;
        }
    }
    if (!file.isOpen()) {
        outcome = failed(QStringLiteral("cannot make a new file beside it"));
        return Renamed::Failed;
    }
    struct Remove
    {
        const std::wstring &name;
        bool keep = false;
        ~Remove()
        {
            if (!keep)
                ::DeleteFileW(name.c_str());
        }
    } remove{temporary};

    DWORD code = 0;
    if (!writeAt(file.get(), bytes.constData(), bytes.size(), 0, code)) {
        outcome = failed("cannot write the new file", code);
        return Renamed::Failed;
    }
    if (!::FlushFileBuffers(file.get())) {
        outcome = failed("cannot sync the new file", ::GetLastError());
        return Renamed::Failed;
    }
    if (!file.close()) {
        outcome = failed("cannot close the new file", ::GetLastError());
        return Renamed::Failed;
    }
    // The new file shows as the old one did (not hidden, unless it was).
    ::SetFileAttributesW(temporary.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL);

    if (!::ReplaceFileW(name.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                        nullptr)) {
        const DWORD replaceCode = ::GetLastError();
        // Both files are as they were, or the old one is gone and the new
        // one still has its own name (ERROR_UNABLE_TO_MOVE_REPLACEMENT*):
        // either way the new one can still be moved into place.
        if (!::MoveFileExW(temporary.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            const DWORD moveCode = ::GetLastError();
            // The old file is in use in a way that keeps it from being
            // replaced while it is open: it is changed in place instead.
            if (replaceCode == ERROR_UNABLE_TO_REMOVE_REPLACED && moveCode == ERROR_ACCESS_DENIED)
                return Renamed::NotPossible;
            outcome = failed("cannot put the new file in place of the old one", moveCode);
            return Renamed::Failed;
        }
    }
    remove.keep = true;
    outcome = done();
    return Renamed::Done;
}

// Changes the file through `file` from the first byte that differs on, after
// reserving the room for its new size; a failure puts the old bytes back.
Outcome replaceInPlace(HANDLE file, const QByteArray &old, const QByteArray &bytes)
{
    qint64 first = 0;
    const qint64 common = qMin(old.size(), bytes.size());
    while (first < common && old[first] == bytes[first])
        ++first;
    const auto putBack = [&](const char *what, DWORD code) {
        Outcome outcome = failed(what, code);
        DWORD ignored = 0;
        if (!writeAt(file, old.constData() + first, old.size() - first, first, ignored)
            || !setSize(file, old.size(), ignored))
            outcome.reason += QStringLiteral("; the old text could not be put back in full");
        else if (!::FlushFileBuffers(file))
            outcome.reason += QStringLiteral("; the old text was put back, but the disk may still hold part of the new");
        return outcome;
    };

    DWORD code = 0;
    if (bytes.size() > old.size()) {
        FILE_ALLOCATION_INFO room = {};
        room.AllocationSize.QuadPart = bytes.size();
        if (!::SetFileInformationByHandle(file, FileAllocationInfo, &room, sizeof room)) {
            code = ::GetLastError();
            if (code != ERROR_NOT_SUPPORTED && code != ERROR_INVALID_PARAMETER && code != ERROR_INVALID_FUNCTION)
                return failed("no room for the change", code);
        }
    }
    if (!writeAt(file, bytes.constData() + first, bytes.size() - first, first, code))
        return putBack("cannot write the file", code);
    if (bytes.size() < old.size() && !setSize(file, bytes.size(), code))
        return putBack("cannot shorten the file", code);
    if (!::FlushFileBuffers(file))
        return putBack("cannot sync the file", ::GetLastError());
    return done();
}

// One try; `again` when another writer came between the look at the name
// and the lock (it created, replaced or removed the file).
Outcome attempt(const QString &path, bool missing, qint64 maxBytes, const Change &change,
                const QDeadlineTimer &deadline, bool &again)
{
    again = false;
    const std::wstring name = path.toStdWString();
    if (!missing) {
        const DWORD attributes = ::GetFileAttributesW(name.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            return failed(QStringLiteral("the file is read-only"));
    }
    // Shared for deleting, so that another writer's new file can take its
    // place while this one waits for the lock.
    Handle file(::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              missing ? CREATE_NEW : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen()) {
        const DWORD code = ::GetLastError();
        if ((missing && (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS))
            || (!missing && (code == ERROR_FILE_NOT_FOUND || code == ERROR_DELETE_PENDING))) {
            again = true;
            return Outcome();
        }
        return failed(missing ? "cannot create the file" : "the file may not be written", code);
    }
    if (::GetFileType(file.get()) != FILE_TYPE_DISK)
        return failed(QStringLiteral("it is not an ordinary file"));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!::GetFileInformationByHandle(file.get(), &info))
        return failed("cannot examine the file", ::GetLastError());
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return failed(QStringLiteral("it is a folder"));

    DWORD code = 0;
    if (!lock(file.get(), deadline, code)) {
        if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING)
            return failed(QStringLiteral("another program is writing the file and did not finish "
                                         "within %1 seconds").arg(kLockWaitMs / 1000));
        return failed("cannot lock the file", code);
    }
    // The lock holds this file; a writer before us may have put another one
    // in its place.
    const std::wstring target = finalName(file.get());
    {
        Handle named(::CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
        BY_HANDLE_FILE_INFORMATION now = {};
        if (!named.isOpen() || !::GetFileInformationByHandle(named.get(), &now)
            || !::GetFileInformationByHandle(file.get(), &info) || !sameFile(now, info)) {
            again = true;
            return Outcome();
        }
    }

    // A file we created goes again when it is not written.
    struct Created
    {
        const std::wstring &name;
        Handle &file;
        bool active;
        ~Created()
        {
            if (!active)
                return;
            LARGE_INTEGER size = {};
            if (::GetFileSizeEx(file.get(), &size) && size.QuadPart == 0) {
                file.close();
                ::DeleteFileW(name.c_str());
            }
        }
    } created{name, file, missing};

    const qint64 size = (qint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > maxBytes)
        return failed(platform::inspectDiscFile(path, maxBytes).reason);
    QByteArray old;
    if (!readAll(file.get(), size, maxBytes, old, code))
        return failed("cannot read the file", code);
    if (old.size() > maxBytes)
        return failed(platform::inspectDiscFile(path, maxBytes).reason);

    QByteArray bytes;
    QString reason;
    if (!change(old, bytes, reason))
        return failed(reason);
    created.active = false;
    if (bytes == old)
        return done();

    if (info.nNumberOfLinks <= 1 && !target.empty()) {
        Outcome outcome;
        const DWORD attributes = info.dwFileAttributes & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN
                                                          | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        const Renamed renamed = replaceByNewFile(target, attributes, bytes, outcome);
        if (renamed != Renamed::NotPossible) {
            created.active = renamed == Renamed::Failed && missing;
            return outcome;
        }
    }
    Outcome outcome = replaceInPlace(file.get(), old, bytes);
    created.active = !outcome.ok && missing;
    return outcome;
}

} // namespace

Outcome rewrite(const QString &path, qint64 maxBytes, const Change &change)
{
    const QDeadlineTimer deadline(kLockWaitMs);
    if (path.isEmpty())
        return failed(QStringLiteral("no file name is set"));
    for (;;) {
        const platform::DiscFile found = platform::inspectDiscFile(path, maxBytes);
        if (!found.ok() && found.problem != platform::DiscFile::Missing)
            return failed(found.reason);
        bool again = false;
        const Outcome outcome = attempt(path, !found.ok(), maxBytes, change, deadline, again);
        if (!again)
            return outcome;
        if (deadline.hasExpired())
            return failed(QStringLiteral("other programs kept changing the file for %1 seconds")
                              .arg(kLockWaitMs / 1000));
    }
}

} // namespace filerewrite::win
