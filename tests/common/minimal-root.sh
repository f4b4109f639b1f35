#!/usr/bin/env bash
# Makes (once) a minimal Debian root without Qt or GStreamer: what a viewer's
# desktop may be, for the tests that run the disc or the package there.
#
#   minimal-root.sh ROOT [SUITE]
#
# SUITE is bookworm unless given (bullseye: a system below the disc's C
# library floor). ROOT is kept between runs (put it under the build folder);
# it is made again only when it is missing, was left half made or is of
# another suite; packages added to the list below are installed into it. The
# mirror is the one this
# machine's own apt sources name for the suite's main archive. Exits non-zero with the reason when the
# root cannot be made (not root, no debootstrap, mirror out of reach).
set -euo pipefail

root=${1:?usage: minimal-root.sh ROOT [SUITE]}
suite=${2:-bookworm}
# The archive named in this machine's sources: bookworm's. Another suite is
# fetched from the same mirror.
sources_suite=bookworm
# What a desktop without Qt still has: an X server for the tests, fonts, the
# GL stack with mesa's drivers (software GL where there is no graphics card),
# glib, ALSA, and xmessage (the plainest way a script shows a window).
packages=(xvfb xauth fontconfig fonts-dejavu-core libgl1 libegl1 libgl1-mesa-dri libglib2.0-0 libasound2 x11-utils)
stamp="$root/.trevlin-root-ready"
wanted="$suite ${packages[*]}"

# Tests that run at once may ask for the same root: one makes it while the
# others wait for it.
mkdir -p "$(dirname "$root")"
exec 9>"$root.lock"
flock 9

if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$wanted" ]; then
  exit 0
fi

fail() { echo "minimal-root: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "must run as root (debootstrap and chroot)"

# A complete root of the same suite made with fewer packages gets the others.
if [ -f "$stamp" ] && [ "$(cut -d' ' -f1 "$stamp")" = "$suite" ]; then
  echo "minimal-root: adding packages to $root"
  if chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
       apt-get install -y -q --no-install-recommends "${packages[@]}" >>"$root.log" 2>&1 \
     || { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin apt-get update -q >>"$root.log" 2>&1 \
          && chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
               apt-get install -y -q --no-install-recommends "${packages[@]}" >>"$root.log" 2>&1; }; then
    chroot "$root" apt-get clean >/dev/null 2>&1 || true
    echo "$wanted" >"$stamp"
    exit 0
  fi
  echo "minimal-root: could not add them (log: $root.log); making the root again"
fi
command -v debootstrap >/dev/null || fail "debootstrap is not installed (scripts/install-deps installs it)"

# The first URI of a source of type deb whose suite is the suite itself (not
# its -security or -updates) and whose components hold main.
. "$(dirname -- "${BASH_SOURCE[0]}")/../../scripts/lib/debian-source.sh"
mirror=$(debian_deb_sources | awk -v suite="$sources_suite" '
  $2 == suite { for (c = 3; c <= NF; c++) if ($c == "main") { print $1; exit } }')
[ -n "$mirror" ] || fail "no source of Debian $sources_suite's main archive found in this machine's apt sources"

# A debootstrap that was killed leaves its mounts (proc, sys) in a half-made
# root: they go first, and nothing is removed through a mount left over.
# (The mount table writes a blank as \040 and a backslash as \134.)
if [ -d "$root" ]; then
  below=$(realpath -- "$root")/
  below=${below//\\/\\134}; below=${below// /\\040}
  mounts_below() { below=$below awk 'index($2, ENVIRON["below"]) == 1 {print $2}' /proc/self/mounts | sort; }
  while read -r mount; do
    umount -R "$(printf '%b' "$mount")" 2>/dev/null || true # gone with one above it
  done < <(mounts_below)
  [ -z "$(mounts_below)" ] || fail "cannot unmount what is still mounted below $root: $(mounts_below | tr '\n' ' ')"
fi
rm -rf --one-file-system "$root"
log="$root.log"
echo "minimal-root: debootstrap $suite from $mirror into $root (a few minutes, once)"
if ! debootstrap --variant=minbase "$suite" "$root" "$mirror" >"$log" 2>&1; then
  tail -n 20 "$log" >&2
  fail "debootstrap failed (log: $log)"
fi
if ! chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
     apt-get install -y -q --no-install-recommends "${packages[@]}" >>"$log" 2>&1; then
  tail -n 20 "$log" >&2
  fail "installing ${packages[*]} into the root failed (log: $log)"
fi
chroot "$root" apt-get clean >/dev/null 2>&1 || true
if chroot "$root" dpkg -l | grep -qiE '^ii +(libqt|qt6|libgstreamer)'; then
  fail "the root holds Qt or GStreamer; it must not"
fi
echo "$wanted" >"$stamp"
