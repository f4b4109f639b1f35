#!/usr/bin/env bash
# The demo disc on a system without Qt or GStreamer: a minimal Debian root
# (tests/common/minimal-root.sh) with only X, fonts, GL (mesa's software GL,
# as a viewer without a graphics card has it), GLib and ALSA, on an X display
# with a window manager (openbox).
#
#   run-in-minimal-root.sh IMAGE ROOT SCREENSHOTS MINIMAL_ROOT_SCRIPT OLD_ROOT
#
#  1. The image, mounted read-only (fuseiso) at the root's /media: ./trevlin
#     started there directly with an empty environment, but for a session's
#     QT_QPA_PLATFORM=wayland, shows the main window on X; Ctrl+L plays the
#     movie in the internal player (its picture appears and changes, its
#     time moves); the program stays alive, every Qt and GStreamer file it
#     has mapped comes from the disc, and GStreamer took the disc's registry
#     of its plugins as it is. What the player read from the image
#     between Ctrl+L and the first frame is reported (the disc must serve
#     it in a few seconds even from a slow drive: at most 8 MB).
#  2. The disc copied to a folder that keeps no exec bits (as a FAT stick
#     is mounted): autorun.sh, run through /bin/sh with LD_LIBRARY_PATH
#     naming a folder with another (broken) Qt, starts the program through
#     the dynamic loader; it finds its settings and its bundle, and plays.
#  3. Many fresh starts in a row from the image (TREVLIN_DISC_STARTS, 30
#     unless set), each with a home folder of its own: every one must play
#     after Ctrl+L; the count of those that do is reported.
#  4. The disc copied to a medium mounted noexec: autorun.sh says, on the
#     terminal and in a window (xmessage, the one the root has), that
#     nothing on it may run, and ends with status 1.
#  5. The image in a Debian 11 root (OLD_ROOT, glibc 2.31, below the
#     disc's floor): autorun.sh says so the same way.
#
# TREVLIN_DISC_ONLY=starts runs the first and third parts alone.
#
# Everything runs in a mount namespace of its own: the mounts go away with
# it, and the cached root is left as it was (its /root, /tmp and /dev are
# covered for the run).
set -uo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }

image=$1 root=$2 shots=$3 minimal_root=$4 old_root=$5
starts=${TREVLIN_DISC_STARTS:-30}
only=${TREVLIN_DISC_ONLY:-}

if [ -z "${TREVLIN_DISC_NAMESPACE:-}" ]; then
  [ "$(id -u)" -eq 0 ] || fail "must run as root (debootstrap, chroot, mounts)"
  for tool in fuseiso unshare chroot Xvfb xdotool import compare convert mountpoint openbox strace; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps installs it)"
  done
  [ -c /dev/fuse ] || fail "/dev/fuse is missing: the image cannot be mounted"
  [ -f "$image" ] || fail "no image at $image"
  bash "$minimal_root" "$root" || fail "the minimal Debian root could not be made (see above)"
  if [ -z "$only" ]; then
    bash "$minimal_root" "$old_root" bullseye || fail "the Debian 11 root could not be made (see above)"
    old_root=$(cd "$old_root" && pwd -P)
  fi
  mkdir -p "$shots"
  root=$(cd "$root" && pwd -P)
  TREVLIN_DISC_NAMESPACE=1 exec unshare --mount --propagation private bash "$0" "$image" "$root" "$shots" "$minimal_root" "$old_root"
  fail "unshare could not make a mount namespace"
fi

work=$(mktemp -d)
xvfb= fuse= app= wm= watcher= distinct_read_mb=
cleanup() {
  [ -n "$watcher" ] && kill "$watcher" 2>/dev/null
  [ -n "$app" ] && kill "$app" 2>/dev/null && wait "$app" 2>/dev/null
  [ -n "$wm" ] && kill "$wm" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  umount -R "$root/media" "$root/mnt" "$root/proc" "$root/dev" "$root/root" "$root/tmp" 2>/dev/null
  [ -d "$old_root/media" ] && umount -R "$old_root/media" "$old_root/proc" "$old_root/dev" "$old_root/tmp" 2>/dev/null
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
# The viewer's desktop has a window manager.
openbox >"$work/openbox.log" 2>&1 &
wm=$!
sleep 1

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

. "$(dirname -- "${BASH_SOURCE[0]}")/../common/player-screens.sh"
shot_of() { # window, file: the window's contents
  import -window "$1" "$2" 2>/dev/null
}
# The demo movie's picture: a white ball on black. Until the picture's
# window first paints, the screen keeps what was there before (the main
# window), which must not pass for a frame.
movie_frame() { # screenshot of the player
  convert "$1" -crop "$video_crop" +repage -format '%[fx:mean < 0.1 && maxima > 0.5]' info: 2>/dev/null | grep -qx 1
}
read_bytes() { awk '$1 == "rchar:" { print $2 }' "/proc/$fuse/io"; }
# The image's reader (fuseiso) is watched while the player starts: where in
# the image each of its reads was. fuseiso reads a file's compressed block
# again for each page asked of it, and the whole folder again for each name
# it does not hold (the libraries' loader asks the disc's library folder for
# the system's libraries first); a reader that keeps what it read, as the
# kernel's iso9660 driver does, reads each place once: the distinct bytes.
watch_reads() { strace -f -qq -s 0 -p "$fuse" -e trace=lseek,read -o "$work/reads.trace" 2>/dev/null & watcher=$!; sleep 1; }
distinct_mb() {
  local image_fd= fd
  kill "$watcher" 2>/dev/null
  wait "$watcher" 2>/dev/null
  for fd in /proc/"$fuse"/fd/*; do
    [ "$(readlink "$fd")" = "$(readlink -f "$image")" ] && image_fd=${fd##*/}
  done
  [ -n "$image_fd" ] || { echo "?"; return; }
  # On the image's descriptor: an lseek, then a read.
  awk -v fd="$image_fd" '
    $2 ~ "^lseek\\(" fd "," { sub(",", "", $3); at[$1] = $3; next }
    $2 ~ "^read\\(" fd "," && /<unfinished/ { pending[$1] = 1; next }
    /<\.\.\. read resumed>/ && !pending[$1] { next }
    ($2 ~ "^read\\(" fd "," || /<\.\.\. read resumed>/) && $(NF - 1) == "=" {
      n = $NF + 0; delete pending[$1]
      for (s = int(at[$1] / 2048); s < int((at[$1] + n + 2047) / 2048); s++) seen[s] = 1
      at[$1] += n
    }
    END { for (s in seen) c++; printf "%.1f", c * 2048 / 1000000 }' "$work/reads.trace"
}

# Ctrl+L, then the movie must play: its first frame appears within 20
# seconds, and then both its picture and its time change. Sets `read_mb`
# (what was read from the image up to the first frame) and `why` (what was
# wrong) and says whether it played.
ctrl_l_and_watch() { # screenshot name or ''
  local shot=$1 id before first i
  read_mb= why=
  id=$(main_window)
  main_id=$id
  [ -n "$id" ] || { why="no main window"; return 1; }
  xdotool windowactivate --sync "$id" >/dev/null 2>&1 || xdotool windowfocus "$id" 2>/dev/null
  sleep 0.3
  [ -n "$shot" ] && watch_reads
  before=$(read_bytes)
  xdotool key --clearmodifiers ctrl+l
  first=
  for i in $(seq 1 80); do
    kill -0 "$app" 2>/dev/null || { why="the program ended"; return 1; }
    id=$(player_window)
    if [ -n "$id" ] && shot_of "$id" "$work/a.png" && movie_frame "$work/a.png"; then
      first=$(read_bytes)
      break
    fi
    sleep 0.25
  done
  [ -n "$first" ] || { why="no picture 20 s after Ctrl+L"; shot_of "$(player_window)" "$work/stalled.png"; return 1; }
  read_mb=$(awk -v b="$(( first - before ))" 'BEGIN { printf "%.1f", b / 1000000 }')
  [ -n "$shot" ] && distinct_read_mb=$(distinct_mb)
  sleep 1
  shot_of "$id" "$work/b.png"
  [ -n "$shot" ] && cp "$work/b.png" "$shots/$shot"
  differs "$work/a.png" "$work/b.png" "$video_crop" || { why="the picture does not change"; return 1; }
  differs "$work/a.png" "$work/b.png" "$time_crop" || { why="the time does not move"; return 1; }
  return 0
}

# Ctrl+L plays, and nothing of Qt or GStreamer comes from outside `disc`
# (the disc's own decoder included).
play_and_check() { # disc folder as the host sees it, screenshot name
  local disc=$1 shot=$2 outside
  ctrl_l_and_watch "$shot" || fail "the movie does not play after Ctrl+L: $why; $(tail -n 5 "$work/app.log")"
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
# The registry of plugins the disc carries held here as it was made: the
# program's copy of it was not written again, as it would be had GStreamer
# found a plugin it does not describe (and loaded them all to see).
copies=("$root/root/.cache/trevlin/gstreamer-1.0-registry-"*.bin)
[ ${#copies[@]} -eq 1 ] && [ -f "${copies[0]}" ] || fail "the disc's plugin registry was not copied to ~/.cache/trevlin: $(ls "$root/root/.cache/trevlin" 2>&1)"
cmp -s "${copies[0]}" "$root/media/.trevlin/gstreamer-1.0.registry" \
  || fail "GStreamer did not take the disc's plugin registry as it is: it wrote it again (a plugin differs from what it says)"
stop_app
echo "ok - from the read-only image without Qt (QT_QPA_PLATFORM=wayland): main window, Ctrl+L plays, Qt and GStreamer all from the disc, with the disc's plugin registry as it is"
echo "# read from the image between Ctrl+L and the first frame: $read_mb MB, of which distinct: $distinct_read_mb MB"

# Every codec the disc plays, decoded to its end in the root by the disc's
# GStreamer alone (this machine's gst-launch, which needs only GStreamer's
# core, GLib and the C library, run with the disc's libraries).
if [ "$only" != starts ]; then
  here=$(dirname -- "$0")
  mkdir -p "$root/tmp/clips" "$root/tmp/bin"
  cp "$(command -v gst-launch-1.0)" "$root/tmp/bin/" || fail "gst-launch-1.0 is not installed"
  made=$(bash "$here/make-clips.sh" "$work/clips") || fail "the clips could not all be made"
  for clip in $made "$here/clips/"*.mp4 "$here/clips/"*.mkv "$here/clips/"*.avi; do cp "$clip" "$root/tmp/clips/"; done
  cp "$root/media/logo.avi" "$root/tmp/clips/" 2>/dev/null || true
  played=() broken=()
  for clip in "$root/tmp/clips/"*; do
    name=$(basename "$clip")
    log=$(timeout 120 chroot "$root" env -i LD_LIBRARY_PATH=/media/.trevlin/lib \
            GST_PLUGIN_SYSTEM_PATH_1_0=/media/.trevlin/gstreamer-1.0 \
            GST_REGISTRY_FORK=no GST_REGISTRY_1_0=/tmp/registry.bin \
            /tmp/bin/gst-launch-1.0 uridecodebin uri="file:///tmp/clips/$name" name=d \
            d. ! video/x-raw ! fakesink sync=false d. ! audio/x-raw ! fakesink sync=false 2>&1)
    if grep -q 'Got EOS' <<<"$log" && ! grep -q '^ERROR' <<<"$log"; then
      played+=("$name")
    else
      broken+=("$name: $(grep -m 2 -e ERROR -e WARNING <<<"$log" | tr '\n' ' ')")
    fi
  done
  [ ${#broken[@]} -eq 0 ] || fail "the disc's GStreamer does not play, in the root: $(printf '%s; ' "${broken[@]}")"
  echo "ok - in the root, the disc's GStreamer plays ${played[*]}"
fi

# 3. Fresh starts in a row, each with a home folder of its own.
played=0
failures=()
for i in $(seq 1 "$starts"); do
  mkdir -p "$root/tmp/home-$i"
  chroot "$root" env -i HOME="/tmp/home-$i" DISPLAY="$display" sh -c 'cd /media && exec ./trevlin' \
    >"$work/app.log" 2>&1 &
  app=$!
  if ! wait_main_window; then
    failures+=("start $i: the main window did not appear")
  elif ctrl_l_and_watch ""; then
    played=$((played + 1))
  else
    failures+=("start $i: $why")
    [ -f "$work/stalled.png" ] && mv "$work/stalled.png" "$shots/disc-start-$i-failed.png"
  fi
  stop_app
done
echo "# fresh starts that played: $played of $starts"
[ "$played" -eq "$starts" ] || fail "$((starts - played)) of $starts fresh starts did not play: $(printf '%s; ' "${failures[@]}")"
echo "ok - $starts fresh starts from the image in a row, each with a home of its own: every one plays after Ctrl+L"
[ "$only" = starts ] && exit 0

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

# 4. A medium mounted noexec: nothing on it may run. autorun.sh says so on
# the terminal and in a window, and ends with status 1.
says_why() { # name, log, screenshot, what the message must hold
  local name=$1 log=$2 shot=$3 wanted=$4 id= status
  for _ in $(seq 1 80); do
    id=$(xdotool search --onlyvisible --name '^Trevlin$' 2>/dev/null | head -n 1)
    [ -n "$id" ] && break
    kill -0 "$app" 2>/dev/null || break
    sleep 0.25
  done
  [ -n "$id" ] || fail "$name: no window says why the disc cannot run: $(cat "$log")"
  sleep 0.5
  import -window root "$shots/$shot" 2>/dev/null
  xdotool windowactivate --sync "$id" >/dev/null 2>&1
  xdotool key Return
  for _ in $(seq 1 40); do kill -0 "$app" 2>/dev/null || break; sleep 0.25; done
  wait "$app"
  status=$?
  app=
  [ "$status" -eq 1 ] || fail "$name: autorun.sh ended with status $status, not 1"
  grep -q "$wanted" "$log" || fail "$name: the terminal was not told why ($wanted): $(cat "$log")"
}
umount "$root/mnt" && mount -t tmpfs -o noexec tmpfs "$root/mnt" || fail "cannot mount a noexec medium"
cp -r "$work/iso/." "$root/mnt/" || fail "cannot copy the disc"
chroot "$root" env -i HOME=/root DISPLAY="$display" PATH=/usr/local/bin:/usr/bin:/bin \
  sh -c 'cd /mnt && exec sh autorun.sh' >"$work/noexec.log" 2>&1 &
app=$!
says_why "a noexec medium" "$work/noexec.log" disc-noexec.png "mounted so that no program on it may run (noexec)"
echo "ok - on a noexec medium autorun.sh says why in a window and on the terminal, status 1"

# 5. Debian 11: its C library is older than the disc's floor.
mkdir -p "$old_root/media" "$old_root/tmp"
mount --bind "$work/iso" "$old_root/media" && mount --bind /dev "$old_root/dev" && mount -t proc proc "$old_root/proc" \
  && mount -t tmpfs tmpfs "$old_root/tmp" || fail "cannot mount the image, /dev, /proc and /tmp in the Debian 11 root"
chroot "$old_root" env -i HOME=/tmp DISPLAY="$display" PATH=/usr/local/bin:/usr/bin:/bin \
  sh -c 'cd /media && exec sh autorun.sh' >"$work/old.log" 2>&1 &
app=$!
says_why "Debian 11" "$work/old.log" disc-debian11.png "needs the GNU C library 2.3[0-9.]* or newer .*this system has 2.31"
echo "ok - on Debian 11 (glibc 2.31) autorun.sh says why in a window and on the terminal, status 1"
