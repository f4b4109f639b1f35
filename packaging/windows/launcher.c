/* The disc's Windows starter, trevlin.exe at the disc's root.
 *
 * The program and its runtime (Qt, the C++ runtime, Qt's plugins) lie in a
 * folder of their own on the disc, so that the root shows the disc's files and
 * not thirty libraries. Windows looks for a program's libraries in the
 * program's own folder first, so they are found wherever the disc is mounted.
 * This starter finds its own folder (the disc's), starts the program in the
 * program folder with the disc's folder as its one argument and as its working
 * folder, and ends. When the program cannot be started it says so in a box.
 *
 * Plain Win32 and the C library: it runs before anything of the disc is
 * loaded. */
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

/* The program's folder beside this starter; the build passes the name the
 * disc's layout uses. */
#ifndef TREVLIN_PROGRAM_FOLDER
#define TREVLIN_PROGRAM_FOLDER L".trevlin-win"
#endif
static const wchar_t title[] = L"Trevlin";

/* This program's own file, or NULL. The path may be longer than MAX_PATH. */
static wchar_t *own_file(void)
{
    for (DWORD size = MAX_PATH; size <= 32768 * 2; size *= 2) {
        wchar_t *path = malloc(size * sizeof *path);
        if (!path)
            return NULL;
        DWORD length = GetModuleFileNameW(NULL, path, size);
        if (length > 0 && length < size)
            return path;
        free(path);
        if (length == 0)
            return NULL;
    }
    return NULL;
}

/* Cuts PATH, a file's path, to its folder: no separator at the end, except at
 * a drive's root ("D:\"), where the folder is the root itself. */
static void cut_to_folder(wchar_t *path)
{
    wchar_t *slash = NULL;
    for (wchar_t *p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/')
            slash = p;
    if (!slash)
        return;
    if (slash > path && slash[-1] == L':')
        slash[1] = L'\0';
    else
        *slash = L'\0';
}

/* Appends TEXT to the command line in OUT as one argument, as the C runtime
 * and CommandLineToArgvW read it back: in double quotes, the backslashes
 * before the closing quote doubled ("D:\" would otherwise read as D:"). A
 * Windows path holds no double quote. OUT has room for 2 * length + 3. */
static void append_quoted(wchar_t *out, const wchar_t *text)
{
    size_t n = wcslen(out), length = wcslen(text), trailing = 0;
    while (trailing < length && text[length - 1 - trailing] == L'\\')
        ++trailing;
    out[n++] = L'"';
    memcpy(out + n, text, length * sizeof *text);
    n += length;
    for (size_t i = 0; i < trailing; ++i)
        out[n++] = L'\\';
    out[n++] = L'"';
    out[n] = L'\0';
}

static void report(const wchar_t *program, DWORD error)
{
    wchar_t *reason = NULL;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   NULL, error, 0, (wchar_t *)&reason, 0, NULL);
    for (size_t n = reason ? wcslen(reason) : 0; n > 0 && (reason[n - 1] == L'\n' || reason[n - 1] == L'\r'); --n)
        reason[n - 1] = L'\0';
    static const wchar_t head[] = L"Trevlin cannot be started from this disc.\n\nThe program\n";
    static const wchar_t middle[] = L"\ncould not be started: ";
    const wchar_t *why = reason ? reason : L"unknown error";
    size_t size = wcslen(head) + wcslen(program) + wcslen(middle) + wcslen(why) + 32;
    wchar_t *text = malloc(size * sizeof *text);
    if (text) {
        _snwprintf(text, size, L"%ls%ls%ls%ls (error %lu)", head, program, middle, why, (unsigned long)error);
        text[size - 1] = L'\0';
    }
    MessageBoxW(NULL, text ? text : L"Trevlin cannot be started from this disc.", title, MB_OK | MB_ICONERROR);
    free(text);
    LocalFree(reason);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR arguments, int show)
{
    (void)instance; (void)previous; (void)arguments; (void)show;
    wchar_t *disc = own_file();
    if (!disc) {
        report(L"(this program's own path is unknown)", GetLastError());
        return 1;
    }
    cut_to_folder(disc);

    size_t disc_length = wcslen(disc);
    int root = disc_length > 0 && disc[disc_length - 1] == L'\\';
    size_t program_size = disc_length + 1 + wcslen(TREVLIN_PROGRAM_FOLDER) + wcslen(L"\\trevlin.exe") + 1;
    wchar_t *program = malloc(program_size * sizeof *program);
    size_t line_size = 2 * (program_size + disc_length) + 8;
    wchar_t *line = malloc(line_size * sizeof *line);
    if (!program || !line) {
        report(L"(out of memory)", ERROR_NOT_ENOUGH_MEMORY);
        return 1;
    }
    _snwprintf(program, program_size, L"%ls%ls%ls\\trevlin.exe", disc, root ? L"" : L"\\", TREVLIN_PROGRAM_FOLDER);
    program[program_size - 1] = L'\0';
    line[0] = L'\0';
    append_quoted(line, program);
    wcscat(line, L" ");
    append_quoted(line, disc);

    /* The program opens its window as this one was asked to (normal from
     * AutoPlay and Explorer). */
    STARTUPINFOW own = { .cb = sizeof own };
    GetStartupInfoW(&own);
    STARTUPINFOW start = { .cb = sizeof start };
    if (own.dwFlags & STARTF_USESHOWWINDOW) {
        start.dwFlags = STARTF_USESHOWWINDOW;
        start.wShowWindow = own.wShowWindow;
    }
    PROCESS_INFORMATION started;
    if (!CreateProcessW(program, line, NULL, NULL, FALSE, 0, NULL, disc, &start, &started)) {
        report(program, GetLastError());
        return 1;
    }
    /* This starter was started by the viewer: let the program's window come
     * to the front. */
    AllowSetForegroundWindow(started.dwProcessId);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return 0;
}
