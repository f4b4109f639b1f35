/* Stand-in for the installers a real disc carries: says what it would
 * install (its first argument) and changes nothing. */
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include "standin.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR line, int show)
{
    (void)instance; (void)previous; (void)line; (void)show;
    int argc;
    wchar_t **argv = standin_arguments(&argc);
    const wchar_t *what = argc > 1 && argv[1][0] ? argv[1] : L"software";
    size_t size = wcslen(what) + 80;
    wchar_t *text = malloc(size * sizeof *text);
    if (!text)
        return 1;
    _snwprintf(text, size, L"Demo disc: this would install the %ls now. Nothing was changed.", what);
    text[size - 1] = L'\0';
    standin_say(text, MB_ICONINFORMATION);
    return 0;
}
