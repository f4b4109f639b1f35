/* What the demo disc's Windows stand-ins share: their arguments, as the C
 * runtime splits the command line, and a box that says what they would do. */
#ifndef STANDIN_H
#define STANDIN_H

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shellapi.h>

/* The command line split by Windows' rules; argv[0] is the program. */
static inline wchar_t **standin_arguments(int *count)
{
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), count);
    if (!argv)
        *count = 0;
    return argv;
}

static inline void standin_say(const wchar_t *text, UINT icon)
{
    MessageBoxW(NULL, text, L"Demo disc", MB_OK | icon | MB_SETFOREGROUND);
}

#endif
