// Reading a file a disc names, on Windows. A name may be one of Windows'
// devices (CON waits for the keyboard, COM1 for a serial line, a pipe for its
// writer) or a folder; only a file on a disk is opened for reading, and only
// up to the caller's bound.
#include "platform/windows_win.h"

#include <windows.h>

namespace platform::win {
namespace {

DiscFile failure(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return discFileProblem(DiscFile::Missing, QStringLiteral("the file does not exist"));
    default:
        return discFileProblem(DiscFile::Unreadable, systemReason(code));
    }
}

DiscFile byType(DWORD type)
{
    if (type == FILE_TYPE_PIPE)
        return discFileProblem(DiscFile::NotOrdinary, QStringLiteral("it is a named pipe, not an ordinary file"));
    if (type == FILE_TYPE_CHAR)
        return discFileProblem(DiscFile::NotOrdinary, QStringLiteral("it is a device, not an ordinary file"));
    return discFileProblem(DiscFile::NotOrdinary, QStringLiteral("it is not an ordinary file"));
}

// A folder, a file too large for the bound, or a file of its size.
DiscFile byAttributes(DWORD attributes, DWORD sizeHigh, DWORD sizeLow, qint64 maxBytes)
{
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return discFileProblem(DiscFile::Folder, QStringLiteral("it is a folder"));
    const qint64 size = (qint64(sizeHigh) << 32) | sizeLow;
    if (maxBytes >= 0 && size > maxBytes)
        return discFileTooLarge(size, maxBytes);
    DiscFile file;
    file.size = size;
    return file;
}

class Handle
{
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle()
    {
        if (isOpen())
            ::CloseHandle(m_handle);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    HANDLE get() const { return m_handle; }
    bool isOpen() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

// What the open handle is: a file on a disk, with its size, or the problem.
DiscFile examine(HANDLE handle, qint64 maxBytes)
{
    const DWORD type = ::GetFileType(handle);
    if (type != FILE_TYPE_DISK)
        return byType(type);
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!::GetFileInformationByHandle(handle, &info))
        return discFileProblem(DiscFile::Unreadable, systemReason(::GetLastError()));
    return byAttributes(info.dwFileAttributes, info.nFileSizeHigh, info.nFileSizeLow, maxBytes);
}

} // namespace

DiscFile inspectFile(const QString &path, qint64 maxBytes)
{
    if (path.isEmpty())
        return discFileProblem(DiscFile::Missing, QStringLiteral("no file name is set"));
    if (const QString device = deviceName(path); !device.isEmpty())
        return discFileProblem(DiscFile::NotOrdinary,
                               QStringLiteral("it is the Windows device %1, not an ordinary file").arg(device));
    const std::wstring name = path.toStdWString();
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data))
        return failure(::GetLastError());
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A link: what it leads to counts. Opened for no access at all, which
        // neither reads nor waits.
        Handle handle(::CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!handle.isOpen())
            return failure(::GetLastError());
        return examine(handle.get(), maxBytes);
    }
    return byAttributes(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow, maxBytes);
}

DiscFile readFile(const QString &path, qint64 maxBytes)
{
    DiscFile file = inspectFile(path, maxBytes);
    if (!file.ok())
        return file;
    // Checked again on the open handle: the name may have changed since.
    Handle handle(::CreateFileW(path.toStdWString().c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!handle.isOpen())
        return failure(::GetLastError());
    file = examine(handle.get(), maxBytes);
    if (!file.ok())
        return file;
    // To the end, at most one byte past the bound to see a file that grew.
    QByteArray bytes(qMin(file.size, maxBytes) + 1, Qt::Uninitialized);
    qint64 filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > maxBytes)
                break;
            bytes.resize(qMin<qint64>(maxBytes + 1, bytes.size() * 2));
        }
        DWORD got = 0;
        const DWORD want = DWORD(qMin<qint64>(bytes.size() - filled, 1 << 20));
        if (!::ReadFile(handle.get(), bytes.data() + filled, want, &got, nullptr))
            return discFileProblem(DiscFile::Unreadable, systemReason(::GetLastError()));
        if (got == 0)
            break;
        filled += got;
    }
    bytes.truncate(filled);
    if (bytes.size() > maxBytes)
        return discFileTooLarge(bytes.size(), maxBytes);
    file.size = bytes.size();
    file.bytes = bytes;
    return file;
}

} // namespace platform::win
