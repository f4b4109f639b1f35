#!/bin/sh
# Starts the disc's menu program. A desktop runs this file through /bin/sh
# when the disc is put in, in the disc's root folder; it needs no exec bit.
#
# A disc or stick that keeps exec bits runs ./trevlin directly. A FAT stick
# marks nothing executable: there the dynamic loader starts the program, and
# the program is told where its disc is, since it then cannot see its own
# folder.
#
# Before that it checks what it can: the machine, the C library's version and
# whether the medium lets programs run at all. When the disc cannot run, it
# says why on the terminal and in a window, with the first of zenity,
# kdialog, xmessage and notify-send the desktop has: a desktop that started
# this file shows no terminal.
#
# The program finds the disc's own Qt and GStreamer through its RUNPATH,
# which LD_LIBRARY_PATH outranks: a viewer's, pointing at another Qt, would
# bring that in. CDPATH could send cd elsewhere.
unset LD_LIBRARY_PATH CDPATH

# The newest C library symbol version the program needs (set when the disc's
# program folder is laid out).
glibc_floor=@GLIBC_FLOOR@

cannot_run() {
    text="The program on this disc cannot run on this computer: $1"
    echo "autorun.sh: $text" >&2
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        if command -v zenity >/dev/null 2>&1; then
            zenity --error --title=Trevlin --no-markup --width=420 --text="$text" 2>/dev/null
            [ $? -le 1 ] && exit 1
        fi
        if command -v kdialog >/dev/null 2>&1; then
            kdialog --title Trevlin --error "$text" 2>/dev/null
            [ $? -le 1 ] && exit 1
        fi
        if command -v xmessage >/dev/null 2>&1; then
            printf '%s\n' "$text" | fold -s -w 64 | xmessage -center -title Trevlin -buttons OK:0 -default OK -file - 2>/dev/null \
                && exit 1
        fi
        if command -v notify-send >/dev/null 2>&1; then
            notify-send --urgency=critical Trevlin "$text" 2>/dev/null
        fi
    fi
    exit 1
}

cd -- "$(dirname -- "$0")" || cannot_run "the disc's folder cannot be opened."
disc=$(pwd -P)

if [ "$(uname -m)" != x86_64 ]; then
    cannot_run "it runs on 64-bit PC (x86-64) Linux only, and this is $(uname -m)."
fi
if [ ! -f ./trevlin ]; then
    cannot_run "the program (trevlin) is missing from $disc."
fi

# The C library: getconf says "glibc 2.36"; the dynamic loader knows it too.
loader=/lib64/ld-linux-x86-64.so.2
glibc=$(getconf GNU_LIBC_VERSION 2>/dev/null | sed -n 's/^glibc //p')
[ -n "$glibc" ] || glibc=$("$loader" --version 2>/dev/null | sed -n '1s/.* \([0-9][0-9.]*\)\.$/\1/p')
case $glibc_floor in
    @*) ;;
    *)
        if [ -n "$glibc" ] && [ "$(printf '%s\n%s\n' "$glibc_floor" "$glibc" | sort -V | head -n 1)" != "$glibc_floor" ]; then
            cannot_run "it needs the GNU C library $glibc_floor or newer (Debian 12, Ubuntu 22.04 and later have it), and this system has $glibc."
        fi
        ;;
esac

if [ -x ./trevlin ]; then
    exec ./trevlin "$disc"
fi
if [ ! -x "$loader" ]; then
    cannot_run "$disc does not let programs run, and $loader is missing."
fi
# Without exec bits (a FAT stick) the loader starts the program; a medium
# mounted noexec lets nothing run, not even through the loader.
if ! "$loader" --verify ./trevlin >/dev/null 2>&1; then
    cannot_run "$disc is mounted so that no program on it may run (noexec). Copy the disc's files to a folder of your own and run autorun.sh there, or mount the disc without noexec."
fi
exec "$loader" ./trevlin "$disc"
