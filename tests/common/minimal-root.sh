#!/usr/bin/env bash
# Makes (once) a minimal Debian root without Qt or GStreamer: what a viewer's
# desktop may be, for the tests that run the disc or the package there.
#
#   minimal-root.sh ROOT
#
# ROOT is kept between runs (put it under the build folder); it is made again
# only when it is missing or was left half made. The mirror is the first one
# of this machine's own apt sources. Exits non-zero with the reason when the
# root cannot be made (not root, no debootstrap, mirror out of reach).
set -euo pipefail

root=${1:?usage: minimal-root.sh ROOT}
suite=bookworm
# What a desktop without Qt still has: an X server for the tests, fonts, the
# GL stack, glib and ALSA.
packages=(xvfb xauth fontconfig fonts-dejavu-core libgl1 libegl1 libglib2.0-0 libasound2)
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
command -v debootstrap >/dev/null || fail "debootstrap is not installed (scripts/install-deps installs it)"

mirror=""
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  # The first URIs line of a deb822 file that carries the main archive.
  mirror=$(awk '/^URIs:/ && !/security/ {print $2; exit}' "$f")
  [ -n "$mirror" ] && break
done
if [ -z "$mirror" ] && [ -f /etc/apt/sources.list ]; then
  mirror=$(awk '$1 == "deb" && !/security/ {for (i = 2; i <= NF; i++) if ($i ~ /:\/\//) {print $i; exit}}' /etc/apt/sources.list)
fi
[ -n "$mirror" ] || fail "no Debian mirror found in this machine's apt sources"

rm -rf "$root"
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
