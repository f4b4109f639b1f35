#!/bin/sh
# Starts the disc's menu program. A desktop runs this file through /bin/sh
# when the disc is put in, in the disc's root folder; it needs no exec bit.
#
# A disc or stick that keeps exec bits runs ./trevlin directly. A FAT stick
# marks nothing executable: there the dynamic loader starts the program, and
# the program is told where its disc is, since it then cannot see its own
# folder.
#
# The program finds the disc's own Qt and GStreamer through its RUNPATH,
# which LD_LIBRARY_PATH outranks: a viewer's, pointing at another Qt, would
# bring that in. CDPATH could send cd elsewhere.
unset LD_LIBRARY_PATH CDPATH
cd -- "$(dirname -- "$0")" || exit 1
disc=$(pwd -P)

if [ "$(uname -m)" != x86_64 ]; then
    echo "autorun.sh: the program on this disc runs on 64-bit PC (x86-64) Linux only." >&2
    exit 1
fi
if [ ! -f ./trevlin ]; then
    echo "autorun.sh: the program (trevlin) is missing from $disc." >&2
    exit 1
fi
if [ -x ./trevlin ]; then
    exec ./trevlin "$disc"
fi
loader=/lib64/ld-linux-x86-64.so.2
if [ ! -x "$loader" ]; then
    echo "autorun.sh: $disc does not let programs run, and $loader is missing." >&2
    exit 1
fi
exec "$loader" ./trevlin "$disc"
