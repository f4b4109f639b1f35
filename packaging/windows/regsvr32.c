/* Stand-in for the component registration tool: says which file it would
 * register (its last argument that is not an option such as /s) and
 * registers nothing. */
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include "standin.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR line, int show)
{
    (void)instance; (void)previous; (void)line; (void)show;
    int argc;
    wchar_t **argv = standin_arguments(&argc);
    const wchar_t *file = L"(none)";
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] != L'/')
            file = argv[i];
    size_t size = wcslen(file) + 80;
    wchar_t *text = malloc(size * sizeof *text);
    if (!text)
        return 1;
    _snwprintf(text, size, L"Demo disc: this would register the sound filter %ls.", file);
    text[size - 1] = L'\0';
    standin_say(text, MB_ICONINFORMATION);
    return 0;
}
