/* Stand-in for the programs the disc's Windows face starts: appends to the
 * file TREVLIN_RECORDER_OUT names (UTF-8) the command line exactly as it was
 * given, the window style it was asked to show (wShowWindow, or "none"
 * without STARTF_USESHOWWINDOW) and its working folder, then ends. */
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

static void put(HANDLE file, const wchar_t *text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    char *bytes = size > 0 ? malloc(size) : NULL;
    if (!bytes)
        return;
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, size, NULL, NULL);
    DWORD written;
    WriteFile(file, bytes, (DWORD)size - 1, &written, NULL);
    free(bytes);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR arguments, int show)
{
    (void)instance; (void)previous; (void)arguments; (void)show;
    wchar_t out[32768];
    if (!GetEnvironmentVariableW(L"TREVLIN_RECORDER_OUT", out, 32768))
        return 2;
    HANDLE file = CreateFileW(out, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 2;
    STARTUPINFOW start = { .cb = sizeof start };
    GetStartupInfoW(&start);
    wchar_t style[32] = L"none";
    if (start.dwFlags & STARTF_USESHOWWINDOW)
        _snwprintf(style, 32, L"%u", (unsigned)start.wShowWindow);
    wchar_t folder[32768];
    if (!GetCurrentDirectoryW(32768, folder))
        folder[0] = L'\0';
    put(file, L"BEGIN\nline=");
    put(file, GetCommandLineW());
    put(file, L"\nshow=");
    put(file, style);
    put(file, L"\ncwd=");
    put(file, folder);
    put(file, L"\nEND\n");
    CloseHandle(file);
    return 0;
}
