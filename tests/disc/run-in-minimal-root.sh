#!/usr/bin/env bash
# The demo disc on a system without Qt or GStreamer: a minimal Debian root
# (tests/common/minimal-root.sh) with only X, fonts, GL, GLib and ALSA.
#
#   run-in-minimal-root.sh IMAGE ROOT SCREENSHOTS MINIMAL_ROOT_SCRIPT
#
#  1. The image, mounted read-only (fuseiso) at the root's /media: ./trevlin
#     started there directly with an empty environment, but for a session's
#     QT_QPA_PLATFORM=wayland, shows the main window on X; Ctrl+L plays the
#     movie in the internal player; four seconds later the program is alive,
#     and every Qt and GStreamer file it has mapped comes from the disc.
#  2. The disc copied to a folder that keeps no exec bits (as a FAT stick
#     is mounted): autorun.sh, run through /bin/sh with LD_LIBRARY_PATH
#     naming a folder with another (broken) Qt, starts the program through
#     the dynamic loader; it finds its settings and its bundle, and plays.
#
# Everything runs in a mount namespace of its own: the mounts go away with
# it, and the cached root is left as it was (its /root, /tmp and /dev are
# covered for the run).
set -uo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }

image=$1 root=$2 shots=$3 minimal_root=$4

if [ -z "${TREVLIN_DISC_NAMESPACE:-}" ]; then
  [ "$(id -u)" -eq 0 ] || fail "must run as root (debootstrap, chroot, mounts)"
  for tool in fuseiso unshare chroot Xvfb xdotool import mountpoint; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps installs it)"
  done
  [ -c /dev/fuse ] || fail "/dev/fuse is missing: the image cannot be mounted"
  [ -f "$image" ] || fail "no image at $image"
  bash "$minimal_root" "$root" || fail "the minimal Debian root could not be made (see above)"
  mkdir -p "$shots"
  root=$(cd "$root" && pwd -P)
  TREVLIN_DISC_NAMESPACE=1 exec unshare --mount --propagation private bash "$0" "$image" "$root" "$shots" "$minimal_root"
  fail "unshare could not make a mount namespace"
fi

work=$(mktemp -d)
xvfb= fuse= app=
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null && wait "$app" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  umount -R "$root/media" "$root/mnt" "$root/proc" "$root/dev" "$root/root" "$root/tmp" 2>/dev/null
  [ -n "$fuse" ] && { umount "$work/iso" 2>/dev/null; kill "$fuse" 2>/dev/null; }
  rm -rf --one-file-system "$work" # never through the image, should it stay mounted
}
trap cleanup EXIT

# The image, read-only, where a desktop would mount it.
mkdir -p "$work/iso"
fuseiso -n "$image" "$work/iso" -f -o ro >"$work/fuseiso.log" 2>&1 &
fuse=$!
for _ in $(seq 1 50); do mountpoint -q "$work/iso" && break; sleep 0.1; done
mountpoint -q "$work/iso" || fail "fuseiso could not mount the image: $(cat "$work/fuseiso.log")"
mount --bind "$work/iso" "$root/media" || fail "cannot bind the image into the root"
mount --bind /dev "$root/dev" && mount -t proc proc "$root/proc" \
  && mount -t tmpfs tmpfs "$root/root" && mount -t tmpfs tmpfs "$root/tmp" \
  || fail "cannot mount /dev, /proc, /root and /tmp in the root"
if chroot "$root" sh -c 'dpkg -l | grep -qiE "^ii +(libqt|qt6|libgstreamer|gstreamer)"'; then
  fail "the root holds Qt or GStreamer"
fi

# A display of our own; the root reaches it through X's abstract socket.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 1 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
display=:$(cat "$work/display")
export DISPLAY=$display

main_window() { xdotool search --onlyvisible --name '^Trevlin$' 2>/dev/null | head -n 1; }

wait_main_window() {
  for _ in $(seq 1 240); do
    [ -n "$(main_window)" ] && return 0
    kill -0 "$app" 2>/dev/null || return 1
    sleep 0.25
  done
  return 1
}

# Files of the program's process whose names say Qt or GStreamer.
qt_and_gst_files() {
  awk '{print $6}' "/proc/$app/maps" | grep -E 'Qt6|/qt6/|gst|gstreamer|libav(codec|format|util)' | sort -u
}

# Ctrl+L, then the movie must be playing with the disc's own decoder four
# seconds later, and nothing of Qt or GStreamer may come from outside `disc`.
play_and_check() { # disc folder as the host sees it, screenshot name
  local disc=$1 shot=$2 id outside
  id=$(main_window)
  xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
  sleep 0.3
  xdotool key --clearmodifiers ctrl+l
  for _ in $(seq 1 80); do
    grep -q "$disc/.trevlin/gstreamer-1.0/libgstlibav.so" "/proc/$app/maps" 2>/dev/null && break
    kill -0 "$app" 2>/dev/null || break
    sleep 0.25
  done
  sleep 4
  import -window root "$shots/$shot" 2>/dev/null
  kill -0 "$app" 2>/dev/null || fail "the program ended after Ctrl+L: $(tail -n 5 "$work/app.log")"
  for needed in .trevlin/lib/libQt6Core.so.6 .trevlin/plugins/platforms/libqxcb.so \
                .trevlin/plugins/multimedia/libgstreamermediaplugin.so .trevlin/lib/libgstreamer-1.0.so.0 \
                .trevlin/gstreamer-1.0/libgstavi.so .trevlin/gstreamer-1.0/libgstlibav.so .trevlin/lib/libavcodec.so.59; do
    grep -q " $disc/$needed\$" "/proc/$app/maps" \
      || fail "$needed is not in use from $disc (the movie is not playing); in use: $(qt_and_gst_files | head -n 20)"
  done
  outside=$(qt_and_gst_files | grep -v "^$disc/" || true)
  [ -z "$outside" ] || fail "Qt or GStreamer from outside the disc: $outside"
}

stop_app() {
  kill "$app" 2>/dev/null
  wait "$app" 2>/dev/null
  app=
}

# 1. Straight from the read-only image, with an empty environment.
chroot "$root" env -i HOME=/root DISPLAY="$display" QT_QPA_PLATFORM=wayland sh -c 'cd /media && exec ./trevlin' \
  >"$work/app.log" 2>&1 &
app=$!
wait_main_window || fail "the main window did not appear: $(tail -n 5 "$work/app.log")"
sleep 1
import -window root "$shots/disc-main-window.png" 2>/dev/null
play_and_check "$root/media" disc-player.png
stop_app
echo "ok - from the read-only image without Qt (QT_QPA_PLATFORM=wayland): main window, Ctrl+L plays, Qt and GStreamer all from the disc"

# 2. As from a FAT stick: nothing is executable.
mount -t tmpfs tmpfs "$root/mnt" || fail "cannot mount a folder for the stick"
cp -r "$work/iso/." "$root/mnt/" || fail "cannot copy the disc"
find "$root/mnt" -type f -exec chmod a-x {} +
mkdir -p "$root/tmp/other-qt" && printf 'not a library' >"$root/tmp/other-qt/libQt6Core.so.6"
chroot "$root" env -i HOME=/root DISPLAY="$display" QT_QPA_PLATFORM=wayland LD_LIBRARY_PATH=/tmp/other-qt \
  sh -c 'cd /mnt && exec sh autorun.sh' >"$work/app.log" 2>&1 &
app=$!
wait_main_window || fail "autorun.sh on a stick without exec bits did not bring up the main window: $(tail -n 5 "$work/app.log")"
case $(readlink "/proc/$app/exe") in
  */ld-linux-x86-64.so.2) ;;
  *) fail "autorun.sh did not start the program through the dynamic loader ($(readlink "/proc/$app/exe"))" ;;
esac
play_and_check "$root/mnt" disc-stick-player.png
stop_app
echo "ok - from a stick without exec bits, with another Qt on LD_LIBRARY_PATH: autorun.sh starts it through the loader, it finds its disc and plays"
