/* The demo disc's external player on Windows: takes
 *   /quickini /v:MOVIE /s:SUBTITLES
 * and hands the movie to the viewer's default player (the program Windows
 * opens the movie's kind of file with).
 *
 * The menu hands the paths over unquoted, so the pieces are read from the
 * command line as typed, blanks and all: the movie is everything after /v:
 * up to the blank before the next /s: (or the end), the subtitles everything
 * after /s: up to the blank before the next /v: (or the end); each starts a
 * word. Double quotes are dropped (a Windows path holds none). A relative path is taken from the working folder, the disc's. A
 * default player finds subtitles it knows beside the movie by itself; the
 * subtitles are named in the box that says why nothing plays. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "standin.h"
#include <objbase.h>

static int blank(wchar_t c) { return c == L' ' || c == L'\t'; }

/* The command line after the program's name, as Windows' rules skip it. */
static const wchar_t *after_program(const wchar_t *line)
{
    if (*line == L'"') {
        ++line;
        while (*line && *line != L'"')
            ++line;
        if (*line)
            ++line;
    } else {
        while (*line && !blank(*line))
            ++line;
    }
    return line;
}

/* Whether P in TEXT starts a word (a double quote may open it). */
static int word_start(const wchar_t *text, const wchar_t *p)
{
    if (p > text && p[-1] == L'"')
        --p;
    return p == text || blank(p[-1]);
}

/* Where the word MARK ("/v:") starts in TEXT, or NULL. */
static const wchar_t *find_word(const wchar_t *text, const wchar_t *start, const wchar_t *mark)
{
    for (const wchar_t *p = start; *p; ++p)
        if (word_start(text, p) && wcsncmp(p, mark, wcslen(mark)) == 0)
            return p;
    return NULL;
}

/* A copy of the text after MARK up to the word OTHER (or the end), without
 * the blanks before OTHER; NULL when MARK is not there. */
static wchar_t *piece(const wchar_t *text, const wchar_t *mark, const wchar_t *other)
{
    const wchar_t *begin = find_word(text, text, mark);
    if (!begin)
        return NULL;
    begin += wcslen(mark);
    const wchar_t *end = find_word(text, begin, other);
    if (!end)
        end = begin + wcslen(begin);
    /* A Windows path holds no double quote: quotes around a piece, or around
     * the whole word, are dropped. */
    wchar_t *copy = calloc((size_t)(end - begin) + 1, sizeof *copy);
    if (!copy)
        return NULL;
    size_t n = 0;
    for (const wchar_t *p = begin; p < end; ++p)
        if (*p != L'"')
            copy[n++] = *p;
    while (n > 0 && blank(copy[n - 1]))
        copy[--n] = L'\0';
    return copy;
}

static wchar_t *full_path(const wchar_t *path)
{
    DWORD size = GetFullPathNameW(path, 0, NULL, NULL);
    wchar_t *full = size ? malloc(size * sizeof *full) : NULL;
    if (full && GetFullPathNameW(path, size, full, NULL) < size)
        return full;
    free(full);
    return _wcsdup(path);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR arguments, int show)
{
    (void)instance; (void)previous; (void)arguments; (void)show;
    const wchar_t *line = after_program(GetCommandLineW());
    wchar_t *movie = piece(line, L"/v:", L"/s:");
    wchar_t *subtitles = piece(line, L"/s:", L"/v:");
    if (!movie || !*movie) {
        standin_say(L"play-movie: no movie was given (expected /v:FILE).", MB_ICONWARNING);
        return 2;
    }
    wchar_t *file = full_path(movie);
    if (!file)
        return 1;

    /* Shell handlers may be COM objects. */
    CoInitializeEx(NULL, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    SHELLEXECUTEINFOW open = {
        .cbSize = sizeof open,
        .fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI,
        .lpVerb = L"open",
        .lpFile = file,
        .nShow = SW_SHOWNORMAL,
    };
    if (ShellExecuteExW(&open))
        return 0;

    DWORD error = GetLastError();
    wchar_t *reason = NULL;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   NULL, error, 0, (wchar_t *)&reason, 0, NULL);
    for (size_t n = reason ? wcslen(reason) : 0; n > 0 && (reason[n - 1] == L'\n' || reason[n - 1] == L'\r'); --n)
        reason[n - 1] = L'\0';
    const wchar_t *subs = subtitles && *subtitles ? subtitles : L"none";
    const wchar_t *why = reason ? reason : L"";
    size_t size = wcslen(file) + wcslen(subs) + wcslen(why) + 200;
    wchar_t *text = malloc(size * sizeof *text);
    if (!text)
        return 1;
    _snwprintf(text, size,
               L"play-movie: the movie could not be handed to a player on this computer.\n"
               L"It would play: %ls\nwith the subtitles: %ls\n\n%ls (error %lu)",
               file, subs, why, (unsigned long)error);
    text[size - 1] = L'\0';
    standin_say(text, MB_ICONWARNING);
    return 1;
}
