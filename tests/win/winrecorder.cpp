// Stand-in for the programs Trevlin starts on Windows: appends what it was
// started with to the file named by TREVLIN_RECORDER_OUT (default:
// recorder.out beside itself), as UTF-8 lines, then exits 0:
//
//   LINE <its whole command line, as the system handed it over>
//   SHOW <wShowWindow of its start-up information, when STARTF_USESHOWWINDOW is set; else ->
//   END
#include <windows.h>

#include <string>

namespace {

std::string utf8(const wchar_t *text)
{
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size - 1 : 0, '\0');
    if (size > 1)
        ::WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

} // namespace

int main()
{
    std::wstring out(32768, L'\0');
    DWORD length = ::GetEnvironmentVariableW(L"TREVLIN_RECORDER_OUT", out.data(), DWORD(out.size()));
    if (length == 0 || length >= out.size()) {
        length = ::GetModuleFileNameW(nullptr, out.data(), DWORD(out.size()));
        out.resize(length);
        out = out.substr(0, out.find_last_of(L"\\/") + 1) + L"recorder.out";
    } else {
        out.resize(length);
    }

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    ::GetStartupInfoW(&startup);
    std::string text = "LINE " + utf8(::GetCommandLineW()) + "\n";
    text += (startup.dwFlags & STARTF_USESHOWWINDOW) ? "SHOW " + std::to_string(startup.wShowWindow) + "\n"
                                                     : std::string("SHOW -\n");
    text += "END\n";

    const HANDLE file = ::CreateFileW(out.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 2;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == text.size() ? 0 : 2;
}
