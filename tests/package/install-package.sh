#!/usr/bin/env bash
# The package on a desktop that has never seen Qt: a throwaway overlay of the
# minimal Debian root (the cached root itself stays as it is), where apt
# installs the .deb with its dependencies and without its recommendations.
# There:
#  1. trevlin-ini shows its version and sets and gets a value;
#  2. trevlin DISC_FOLDER shows its main window working in the disc folder,
#     whose settings trevlin-ini reads there (a screenshot of the window
#     with the disc's title is kept to look at); its internal player opens
#     without the recommended plugins;
#  3. trevlin without a folder, started in the disc folder, opens that disc;
#     started elsewhere, it asks for the disc folder, and Escape ends it
#     quietly; it never writes a settings file beside itself;
#  4. without its recommended tools the disc builder names the packages to
#     install (check-package.sh runs it with them).
#
#   install-package.sh DEB ROOT DEMO_DISC BUILT_TREVLIN_INI SHOTS APT_CACHE
#
# Runs as root (overlay mount, chroot). Screenshots go to SHOTS; downloaded
# packages are kept in APT_CACHE for the next run.
set -uo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }
[ $# -eq 6 ] || fail "usage: install-package.sh DEB ROOT DEMO_DISC BUILT_TREVLIN_INI SHOTS APT_CACHE"
[ "$(id -u)" -eq 0 ] || fail "must run as root (overlay mount and chroot)"

# Everything mounted here lives in a private mount namespace and goes with it.
if [ -z "${TREVLIN_PACKAGE_NAMESPACE:-}" ]; then
  command -v unshare >/dev/null || fail "unshare is missing (util-linux)"
  exec env TREVLIN_PACKAGE_NAMESPACE=1 unshare --mount --propagation private bash "$0" "$@"
fi

deb=$1 root=$2 demo=$3 built_ini=$4 shots=$5 cache=$6
[ -f "$deb" ] || fail "no package at $deb (the package_build test makes it)"
[ -f "$root/.trevlin-root-ready" ] || fail "no minimal root at $root (the minimal_root test makes it)"
for tool in Xvfb xdotool import; do
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
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
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

# Starts the installed program in the root with a shell command line.
start_installed() {
  chroot "$new" env -i HOME=/root PATH=/usr/bin:/bin LANG=C.UTF-8 DISPLAY="$DISPLAY" sh -c "$1" \
    >>"$work/installed.log" 2>&1 &
  app=$!
}
# Starts it with $1 and waits for its main window, which must work in the
# demo disc's folder: the settings it shows are read there.
installed_main_window() {
  local folder
  start_installed "$1"
  id=$(wait_window '^Trevlin$') || fail "$1: no main window: $(tail -n 5 "$work/installed.log")"
  folder=$(readlink "/proc/$app/cwd")
  [ "$folder" = "$(realpath -- "$new/root/demo")" ] || fail "$1: the program works in $folder, not in the disc folder"
}

step "the installed trevlin /root/demo"
installed_main_window 'exec trevlin /root/demo'
sleep 1
import -window root "$shots/package-main-window.png" 2>/dev/null
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
echo "ok - trevlin /root/demo opens the disc titled \"$title\", and its player opens ($shots/package-*.png)"

# --- no folder argument ----------------------------------------------------------
step "the installed trevlin, started in the disc folder"
installed_main_window 'cd /root/demo && exec trevlin'
stop_app
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
