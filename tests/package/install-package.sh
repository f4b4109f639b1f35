#!/usr/bin/env bash
# The package on a desktop that has never seen Qt: a throwaway overlay of the
# minimal Debian root (the cached root itself stays as it is), where apt
# installs the .deb with its dependencies and without its recommendations.
# There:
#  1. trevlin-ini shows its version and sets and gets a value;
#  2. trevlin DISC_FOLDER shows the demo disc's main window with its title:
#     the title band of the window is, pixel for pixel, what the program built
#     here shows for the same disc, and differs when the title is emptied;
#     its internal player opens without the recommended plugins;
#  3. trevlin without a folder, started in the disc folder, opens that disc;
#     started elsewhere, it asks for the disc folder, and Escape ends it
#     quietly; it never writes a settings file beside itself;
#  4. when the package has the disc builder: without its recommended tools it
#     names the packages to install (check-package.sh runs it with them).
#
#   install-package.sh DEB ROOT DEMO_DISC BUILT_TREVLIN BUILT_TREVLIN_INI SHOTS APT_CACHE
#
# Runs as root (overlay mount, chroot). Screenshots go to SHOTS; downloaded
# packages are kept in APT_CACHE for the next run.
set -uo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }
[ $# -eq 7 ] || fail "usage: install-package.sh DEB ROOT DEMO_DISC BUILT_TREVLIN BUILT_TREVLIN_INI SHOTS APT_CACHE"
[ "$(id -u)" -eq 0 ] || fail "must run as root (overlay mount and chroot)"

# Everything mounted here lives in a private mount namespace and goes with it.
if [ -z "${TREVLIN_PACKAGE_NAMESPACE:-}" ]; then
  command -v unshare >/dev/null || fail "unshare is missing (util-linux)"
  exec env TREVLIN_PACKAGE_NAMESPACE=1 unshare --mount --propagation private bash "$0" "$@"
fi

deb=$1 root=$2 demo=$3 built=$4 built_ini=$5 shots=$6 cache=$7
[ -f "$deb" ] || fail "no package at $deb (the package_build test makes it)"
[ -f "$root/.trevlin-root-ready" ] || fail "no minimal root at $root (the minimal_root test makes it)"
for tool in Xvfb xdotool xwininfo import compare convert; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps installs it)"
done
mkdir -p "$shots" "$cache/partial"

started=$SECONDS
step() { echo "[$((SECONDS - started)) s] $*"; }

work=$(mktemp -d "$(dirname "$root")/package-test.XXXXXX")
new=$work/root
xvfb=
app=
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  # Never through the overlay or the package cache, should one stay mounted.
  umount -R "$new" 2>/dev/null
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT

mkdir -p "$work/upper" "$work/overlay" "$new"
mount -t overlay overlay -o "lowerdir=$root,upperdir=$work/upper,workdir=$work/overlay" "$new" \
  || fail "cannot mount an overlay of $root"
mount -t proc proc "$new/proc" || fail "cannot mount /proc in the root"
mount --bind "$cache" "$new/var/cache/apt/archives" || fail "cannot bind the package cache"
cp -L /etc/resolv.conf "$new/etc/resolv.conf" 2>/dev/null
cp "$deb" "$new/tmp/"
in_root() { chroot "$new" env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }

# --- install -----------------------------------------------------------------
step "apt-get update in the root (its own apt sources)"
in_root apt-get update -q >"$work/apt.log" 2>&1 || { tail -n 20 "$work/apt.log" >&2; fail "apt-get update failed in the root"; }
step "apt-get install --no-install-recommends ./$(basename "$deb")"
if ! in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
     "/tmp/$(basename "$deb")" >>"$work/apt.log" 2>&1; then
  tail -n 30 "$work/apt.log" >&2
  fail "the package did not install"
fi
grep -E '^(Need to get|After this operation)' "$work/apt.log"
in_root dpkg -s trevlin 2>/dev/null | grep -q '^Status: install ok installed' || fail "trevlin is not installed"
step "installed"

# --- trevlin-ini ---------------------------------------------------------------
mkdir -p "$new/root/demo"
cp -a "$demo/." "$new/root/demo/"
version=$(in_root trevlin-ini --version) || fail "trevlin-ini --version failed"
[ "$version" = "$("$built_ini" --version)" ] || fail "trevlin-ini --version says \"$version\""
title=$("$built_ini" get "$demo/trevlin.INI" main title)
[ -n "$title" ] || fail "the demo disc has no title"
got=$(in_root trevlin-ini get /root/demo/trevlin.INI Main TITLE) || fail "trevlin-ini get failed"
[ "$got" = "$title" ] || fail "trevlin-ini get read \"$got\", not \"$title\""
in_root trevlin-ini set /root/scratch.INI main title "Café Noir" || fail "trevlin-ini set failed"
[ "$(in_root trevlin-ini get /root/scratch.INI main title)" = "Café Noir" ] || fail "trevlin-ini set then get disagree"
echo "ok - trevlin-ini: $version; get and set work in the root"

# --- the program under Xvfb -----------------------------------------------------
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 1 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(cat "$work/display")

# Waits for a visible window whose name matches $1 and belongs to $app;
# prints its id.
wait_window() {
  local id
  for _ in $(seq 1 120); do
    for id in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
      if [ "$(xdotool getwindowpid "$id" 2>/dev/null)" = "$app" ]; then echo "$id"; return 0; fi
    done
    kill -0 "$app" 2>/dev/null || return 1
    sleep 0.25
  done
  return 1
}
stop_app() { kill "$app" 2>/dev/null; wait "$app" 2>/dev/null; app=; }

# The main window's title band (the two title labels and their frame), as a
# picture: $1 window id, $2 output. Taken when two shots a moment apart agree,
# so the picture is the settled window.
title_band() {
  local geometry x y w h
  geometry=$(xwininfo -id "$1") || return 1
  x=$(awk '/Absolute upper-left X/ {print $4}' <<<"$geometry")
  y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$geometry")
  w=$(awk '/Width:/ {print $2}' <<<"$geometry")
  h=$(awk '/Height:/ {print $2}' <<<"$geometry")
  # The band under "Movie Title": from 70 to 25 pixels above the window's
  # bottom edge (the status bar), across the window.
  for _ in $(seq 1 20); do
    sleep 0.5
    import -window root -crop "${w}x45+${x}+$((y + h - 70))" +repage "$2.new.png" 2>/dev/null || continue
    if [ -f "$2" ] && [ "$(compare -metric AE "$2" "$2.new.png" null: 2>&1)" = "0" ]; then
      rm -f "$2.new.png"; return 0
    fi
    mv "$2.new.png" "$2"
  done
  return 1
}
differing_pixels() { compare -metric AE -fuzz 10% "$1" "$2" null: 2>&1 | cut -d' ' -f1; }

# Starts the installed program in the root with a shell command line.
start_installed() {
  chroot "$new" env -i HOME=/root PATH=/usr/bin:/bin LANG=C.UTF-8 DISPLAY="$DISPLAY" sh -c "$1" \
    >>"$work/installed.log" 2>&1 &
  app=$!
}
# Starts it on $1 and takes its title band into $2.
installed_title_band() {
  start_installed "$1"
  id=$(wait_window '^Trevlin$') || fail "$1: no main window: $(tail -n 5 "$work/installed.log")"
  title_band "$id" "$2" || fail "$1: the window did not settle"
}

step "the program built here on the demo disc, for comparison"
mkdir -p "$work/demo"
cp -a "$demo/." "$work/demo/"
"$built" "$work/demo" >"$work/built.log" 2>&1 &
app=$!
id=$(wait_window '^Trevlin$') || fail "the program built here showed no main window ($(tail -n 3 "$work/built.log"))"
title_band "$id" "$work/expected.png" || fail "the built program's window did not settle"
stop_app
cp "$work/expected.png" "$shots/package-title-expected.png"

step "the installed trevlin /root/demo"
installed_title_band 'exec trevlin /root/demo' "$work/shown.png"
import -window root "$shots/package-main-window.png" 2>/dev/null
cp "$work/shown.png" "$shots/package-title.png"
off=$(differing_pixels "$work/shown.png" "$work/expected.png")
[ "$off" = "0" ] || fail "the installed program's title band differs from the built program's in $off pixels (see $shots/package-title*.png)"
# The internal player opens with only the package's dependencies (without
# the recommended plugins it cannot decode the demo movie, and says so).
xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
sleep 0.3
xdotool key --clearmodifiers ctrl+l
player=
for _ in $(seq 1 40); do
  player=$(wait_window '^Trevlin$') && [ "$player" != "$id" ] && break
  player=
  sleep 0.25
done
[ -n "$player" ] || fail "Ctrl+L opened no player window: $(tail -n 5 "$work/installed.log")"
sleep 3
import -window root "$shots/package-player.png" 2>/dev/null
kill -0 "$app" 2>/dev/null || fail "the program ended when its player opened: $(tail -n 5 "$work/installed.log")"
stop_app

# The band is the title: without a title it looks different.
in_root trevlin-ini set /root/demo/trevlin.INI main title "" || fail "cannot empty the title"
installed_title_band 'exec trevlin /root/demo' "$work/untitled.png"
stop_app
in_root trevlin-ini set /root/demo/trevlin.INI main title "$title" || fail "cannot restore the title"
off=$(differing_pixels "$work/untitled.png" "$work/expected.png")
[ "$off" -gt 200 ] 2>/dev/null || fail "the title band hardly changes without a title ($off pixels): it does not show the title"
echo "ok - trevlin /root/demo shows \"$title\" as the program built here does, and its player opens ($shots/package-*.png)"

# --- no folder argument ----------------------------------------------------------
step "the installed trevlin, started in the disc folder"
installed_title_band 'cd /root/demo && exec trevlin' "$work/cwd.png"
stop_app
off=$(differing_pixels "$work/cwd.png" "$work/expected.png")
[ "$off" = "0" ] || fail "started in the disc folder, the title band differs in $off pixels"
echo "ok - started in a disc folder, the installed trevlin opens that disc"

step "the installed trevlin, started in a folder without a disc"
start_installed 'cd /root && exec trevlin'
id=$(wait_window 'disc folder') || fail "no folder dialog came up: $(tail -n 5 "$work/installed.log")"
sleep 0.5
import -window root "$shots/package-folder-dialog.png" 2>/dev/null
xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
sleep 0.3
xdotool key Escape
for _ in $(seq 1 40); do kill -0 "$app" 2>/dev/null || break; sleep 0.25; done
kill -0 "$app" 2>/dev/null && fail "the program is still running after the folder dialog was cancelled"
wait "$app"; rc=$?; app=
[ "$rc" -eq 0 ] || fail "cancelling the folder dialog ended the program with status $rc"
[ ! -e "$new/usr/bin/trevlin.INI" ] || fail "a settings file was written beside the installed program"
[ ! -e "$new/root/trevlin.INI" ] || fail "a settings file was written into the folder the program started in"
grep -v -e '^QStandardPaths: XDG_RUNTIME_DIR' "$work/installed.log" | sed 's/^/  program said: /'
echo "ok - elsewhere it asks for the disc folder; Escape ends it with 0 and nothing written ($shots/package-folder-dialog.png)"

# --- the disc builder -----------------------------------------------------------
builder=trevlin-make-disc
[ -e "$new/usr/bin/$builder" ] || fail "the package did not install $builder"
out=$(in_root "$builder" /root/demo /root/demo.iso 2>&1); rc=$?
[ "$rc" -eq 1 ] && grep -q 'install these packages first' <<<"$out" \
  || fail "without its tools the disc builder said (status $rc): $out"
[ ! -e "$new/root/demo.iso" ] || fail "the disc builder left an image although it refused"
echo "ok - without its tools the disc builder names the packages: ${out%%$'\n'*}"
step "done"
