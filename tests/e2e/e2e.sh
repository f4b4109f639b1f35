#!/usr/bin/env bash
# End to end: the real binary in a temporary disc folder, under Xvfb.
#  0. --help and --version answer on the terminal, without a display.
#  1. View Movie (Ctrl+V) starts the player with /quickini /v:MOVIE /s:SUBTITLES
#     and the program ends with exit code 0.
#  2. A player that is not there leaves the program running with an error box.
#  3. Started from another folder (cd /tmp && /media/disc/trevlin) that holds
#     a planted setup, installers/demo-install and divxf.jpg, with "." on
#     PATH, the program works in its disc folder and uses the disc's own:
#     Install Codecs (Ctrl+I) starts the disc's setup with its arguments,
#     Install MicroDVD (Ctrl+M) the disc's installers/demo-install, the
#     cover shown is the disc's, and the menu stays. Given a disc folder
#     whose name holds a byte that is not UTF-8, it works there the same.
#  4. Nothing of the media stack (Qt Multimedia, GStreamer, PulseAudio) is
#     mapped while the menu shows; the Internal Player (Ctrl+L) loads its
#     module, which brings them in, and plays the movie.
#  5. Without the player's module, or with GStreamer lacking its plugins, the
#     Internal Player opens a player window that says why, and the program
#     goes on.
#  6. Only with TREVLIN_E2E_STARTS=N: N fresh starts in a row of the laid-out
#     demo disc, each with a home folder of its own, under a window manager
#     and with GL as this machine has it: after Ctrl+L the movie's picture
#     appears within 20 seconds, then changes, and its time moves. The
#     count of starts that played is reported; every one must. They take
#     five seconds or more each, and CTest stops this test after seven
#     minutes: for many, run this script directly, with the arguments
#     `ctest -N -V -R e2e_view_movie` shows.
set -uo pipefail
trevlin=$1 recorder=$2 shots=$3 module=$4
movie=$(dirname "$trevlin")/logo.avi
mkdir -p "$shots"
work=$(mktemp -d)
xvfb=
app=
wm=
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null
  [ -n "$wm" ] && kill "$wm" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# 0. No display is needed to ask for the usage or the version.
for option in --help -h --version -V; do
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$trevlin" "$option" 2>"$work/stderr"); rc=$?
  [ "$rc" -eq 0 ] || fail "trevlin $option: exit code $rc: $(cat "$work/stderr")"
  [ -s "$work/stderr" ] && fail "trevlin $option wrote to stderr: $(cat "$work/stderr")"
  first=$(head -n 1 <<<"$out")
  case $option in
    --help|-h) [ "$first" = 'Usage: trevlin [DISC_FOLDER]' ] ;;
    *) [[ $first =~ ^trevlin\ \(Trevlin\)\ [0-9]+\.[0-9]+\.[0-9]+$ ]] ;;
  esac || fail "trevlin $option printed: $out"
done
grep -q -- '--version' <<<"$(env -u DISPLAY "$trevlin" --help)" || fail "--help does not list --version"
echo "ok - --help and --version print on the terminal and exit 0"

# A display of our own: Xvfb picks a free number and writes it to fd 3. It
# must not reset when the last program goes: a program started just then
# could not connect.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 1 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(cat "$work/display")
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

# Starts the program from a disc folder holding it and a settings file; with
# a third argument, the player's module lies beside it.
start_disc() { # $1 folder, $2 player, [$3 module]
  mkdir -p "$1"
  cp "$trevlin" "$1/trevlin"
  [ -n "${3:-}" ] && cp "$3" "$1/"
  printf '[main]\r\ntitle=End to end\r\n[path]\r\nmicrodvdexe=%s\r\nmovie=%s\r\nsubtitles=%s\r\n' \
    "$2" "$1/movie.avi" "$1/movie.srt" >"$1/trevlin.INI"
  (cd "$1" && exec ./trevlin) &
  app=$!
}

# Waits until a visible window named Trevlin exists; prints their count.
wait_main_window() {
  for _ in $(seq 1 240); do
    n=$(xdotool search --onlyvisible --name '^Trevlin$' 2>/dev/null | wc -l)
    [ "$n" -ge 1 ] && { echo "$n"; return 0; }
    kill -0 "$app" 2>/dev/null || return 1
    sleep 0.25
  done
  return 1
}

press_key() { # $1 the keys, ctrl+v unless given
  local id
  id=$(xdotool search --onlyvisible --name '^Trevlin$' | head -n 1)
  xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
  sleep 0.3
  xdotool key --clearmodifiers "${1:-ctrl+v}"
}

# 1. View Movie with the recorder as the player.
export TREVLIN_RECORDER_OUT=$work/args.txt
start_disc "$work/disc1" "$recorder"
wait_main_window >/dev/null || fail "the main window did not appear"
sleep 1
import -window root "$shots/e2e-main-window.png" 2>/dev/null
press_key
for _ in $(seq 1 40); do kill -0 "$app" 2>/dev/null || break; sleep 0.25; done
kill -0 "$app" 2>/dev/null && fail "the program did not end after View Movie (player got: $(cat "$work/args.txt" 2>/dev/null | tr "\n" " "))"
wait "$app"; rc=$?; app=
[ "$rc" -eq 0 ] || fail "exit code $rc after View Movie"
for _ in $(seq 1 40); do grep -q '^END$' "$work/args.txt" 2>/dev/null && break; sleep 0.25; done
expected=$(printf 'BEGIN\n/quickini\n/v:%s\n/s:%s\nEND' "$work/disc1/movie.avi" "$work/disc1/movie.srt")
[ "$(cat "$work/args.txt" 2>/dev/null)" = "$expected" ] || fail "the player got: $(cat "$work/args.txt" 2>/dev/null)"
echo "ok - View Movie started the player with its arguments and ended with 0"

# 2. A missing player: an error box, and the program stays.
start_disc "$work/disc2" "$work/no-such-player"
wait_main_window >/dev/null || fail "the main window did not appear (second run)"
sleep 1
press_key
boxes=0
for _ in $(seq 1 40); do
  boxes=$(xdotool search --onlyvisible --name '^Trevlin$' 2>/dev/null | wc -l)
  [ "$boxes" -ge 2 ] && break
  sleep 0.25
done
import -window root "$shots/e2e-missing-player.png" 2>/dev/null
kill -0 "$app" 2>/dev/null || fail "the program ended although the player could not be started"
[ "$boxes" -ge 2 ] || fail "no error box came up for the missing player"
echo "ok - a missing player leaves the program running with an error box"
kill "$app" 2>/dev/null; wait "$app" 2>/dev/null; app=

# 3. The start folder is no foothold: everything planted in it is passed by.
mkdir -p "$work/disc3/installers" "$work/elsewhere/installers"
cp "$trevlin" "$work/disc3/trevlin"
cp "$recorder" "$work/disc3/setup"
cp "$recorder" "$work/disc3/installers/demo-install"
printf '#!/bin/sh\necho "planted $0" >>"%s"\n' "$work/planted.txt" >"$work/elsewhere/setup"
chmod 755 "$work/elsewhere/setup"
cp "$work/elsewhere/setup" "$work/elsewhere/installers/demo-install"
# The disc's cover is blue, the planted one red.
convert -size 200x200 xc:'#0000ff' "$work/disc3/divxf.jpg" && convert -size 200x200 xc:'#ff0000' "$work/elsewhere/divxf.jpg" \
  || fail "cannot make the cover pictures (ImageMagick's convert)"
printf '[main]\r\ntitle=End to end\r\n[path]\r\nfrontcover=divxf.jpg\r\ncodecs=setup /quiet\r\nmicrodvd=./installers/demo-install "MicroDVD player"\r\n' \
  >"$work/disc3/trevlin.INI"
export TREVLIN_RECORDER_OUT=$work/codecs.txt
(cd "$work/elsewhere" && PATH=.:$PATH exec "$work/disc3/trevlin") &
app=$!
wait_main_window >/dev/null ||
  fail "the main window did not appear (third run)$(kill -0 "$app" 2>/dev/null || echo ': the program ended')"
sleep 1.5
[ "$(readlink "/proc/$app/cwd")" = "$work/disc3" ] || fail "the program works in $(readlink "/proc/$app/cwd"), not its disc folder"
import -window root "$work/cover.png" 2>/dev/null
share() { # fraction of the screen in the colour $1
  convert "$work/cover.png" -fuzz 20% -fill black +opaque "$1" -fill white -opaque "$1" -format '%[fx:mean]' info:
}
blue=$(share '#0000ff') red=$(share '#ff0000')
awk -v b="$blue" -v r="$red" 'BEGIN { exit !(b > 0.005 && r == 0) }' ||
  { cp "$work/cover.png" "$shots/e2e-start-folder-cover.png"; fail "the cover is not the disc's (blue $blue, planted red $red)"; }
press_key ctrl+i
for _ in $(seq 1 40); do grep -q '^END$' "$work/codecs.txt" 2>/dev/null && break; sleep 0.25; done
[ "$(cat "$work/codecs.txt" 2>/dev/null)" = "$(printf 'BEGIN\n/quiet\nEND')" ] ||
  fail "the disc's setup got: $(cat "$work/codecs.txt" 2>/dev/null || echo "(it did not run)")"
rm -f "$work/codecs.txt"
press_key ctrl+m
for _ in $(seq 1 40); do grep -q '^END$' "$work/codecs.txt" 2>/dev/null && break; sleep 0.25; done
[ "$(cat "$work/codecs.txt" 2>/dev/null)" = "$(printf 'BEGIN\nMicroDVD player\nEND')" ] ||
  fail "the disc's installers/demo-install got: $(cat "$work/codecs.txt" 2>/dev/null || echo "(it did not run)")"
sleep 0.5
[ -e "$work/planted.txt" ] && fail "a program planted in the start folder ran: $(cat "$work/planted.txt")"
kill -0 "$app" 2>/dev/null || fail "the program ended after Install Codecs"
echo "ok - started from another folder, the program uses the disc's programs and cover, never the start folder's"
kill "$app" 2>/dev/null; wait "$app" 2>/dev/null; app=

# A disc folder's name is bytes: one that is no UTF-8 is opened all the same.
odd=$work/$(printf 'disc\377 x')
mkdir -p "$odd"
cp "$recorder" "$odd/setup"
printf '[main]\r\ntitle=End to end\r\n[path]\r\ncodecs=setup /odd\r\n' >"$odd/trevlin.INI"
rm -f "$work/codecs.txt"
(cd "$work/elsewhere" && exec "$work/disc3/trevlin" "$odd") &
app=$!
wait_main_window >/dev/null ||
  fail "no main window for a folder whose name is not UTF-8$(kill -0 "$app" 2>/dev/null || echo ': the program ended')"
sleep 1
[ "$(readlink "/proc/$app/cwd")" = "$odd" ] || fail "given a folder whose name is not UTF-8, the program works in $(readlink "/proc/$app/cwd")"
press_key ctrl+i
for _ in $(seq 1 40); do grep -q '^END$' "$work/codecs.txt" 2>/dev/null && break; sleep 0.25; done
[ "$(cat "$work/codecs.txt" 2>/dev/null)" = "$(printf 'BEGIN\n/odd\nEND')" ] ||
  fail "in a folder whose name is not UTF-8 the disc's setup got: $(cat "$work/codecs.txt" 2>/dev/null || echo "(it did not run)")"
echo "ok - a disc folder whose name is not UTF-8 is opened, its settings read and its programs started"
kill "$app" 2>/dev/null; wait "$app" 2>/dev/null; app=

# What of the media stack the program has mapped, one file a line.
media_mapped() {
  grep -oE '/[^ ]*/(libQt6Multimedia|libgst|libpulse)[^/ ]*$' "/proc/$app/maps" 2>/dev/null | sort -u
}
# Waits until the player window (7470 x 6240 twips: 498 x 416) shows.
wait_player_window() {
  for _ in $(seq 1 60); do
    for id in $(xdotool search --onlyvisible --name '^Trevlin$' 2>/dev/null); do
      xwininfo -id "$id" | grep -q 'Width: 498' && xwininfo -id "$id" | grep -q 'Height: 416' && return 0
    done
    kill -0 "$app" 2>/dev/null || return 1
    sleep 0.25
  done
  return 1
}
[ -f "$module" ] || fail "the player's module $module was not built"
[ -f "$movie" ] || fail "the demo movie $movie is not laid out beside the program"
export QT_XCB_GL_INTEGRATION=none

# 4. The media stack arrives with the player.
start_disc "$work/disc4" "$recorder" "$module"
cp "$movie" "$work/disc4/movie.avi"
wait_main_window >/dev/null || fail "the main window did not appear (fourth run)"
sleep 1
grep -q trevlin "/proc/$app/maps" || fail "cannot read /proc/$app/maps"
early=$(media_mapped)
[ -z "$early" ] || fail "mapped before the player opened: $(echo $early)"
grep -q "$(basename "$module")" "/proc/$app/maps" && fail "the player's module is loaded before the player opened"
press_key ctrl+l
wait_player_window || fail "the player window did not appear$(kill -0 "$app" 2>/dev/null || echo ': the program ended')"
for _ in $(seq 1 40); do
  late=$(media_mapped)
  echo "$late" | grep -q /libgst && break
  sleep 0.25
done
for library in libQt6Multimedia libgst libpulse; do
  echo "$late" | grep -q "/$library" || fail "no $library mapped once the player opened: $(echo $late)"
done
sleep 1
import -window root "$shots/e2e-player.png" 2>/dev/null
echo "ok - the media stack is mapped only once the player opens ($(echo "$late" | wc -l) files)"
kill "$app" 2>/dev/null; wait "$app" 2>/dev/null; app=

# 5. The player window says why there is no player; the program goes on.
start_disc "$work/disc5" "$recorder"
wait_main_window >/dev/null || fail "the main window did not appear (fifth run)"
sleep 1
press_key ctrl+l
wait_player_window || fail "no player window without the module$(kill -0 "$app" 2>/dev/null || echo ': the program ended')"
sleep 0.5
import -window root "$shots/e2e-player-without-module.png" 2>/dev/null
kill -0 "$app" 2>/dev/null || fail "the program ended when the player's module was missing"
[ -z "$(media_mapped)" ] || fail "the media stack was loaded although the module is missing"
echo "ok - without its module the player window says why and the program goes on"
kill "$app" 2>/dev/null; wait "$app" 2>/dev/null; app=

mkdir -p "$work/no-plugins"
export GST_PLUGIN_SYSTEM_PATH_1_0=$work/no-plugins GST_REGISTRY_1_0=$work/no-plugins/registry.bin
start_disc "$work/disc6" "$recorder" "$module"
unset GST_PLUGIN_SYSTEM_PATH_1_0 GST_REGISTRY_1_0
wait_main_window >/dev/null || fail "the main window did not appear (sixth run)"
sleep 1
press_key ctrl+l
wait_player_window || fail "no player window with GStreamer lacking its plugins$(kill -0 "$app" 2>/dev/null || echo ': the program ended')"
sleep 2
import -window root "$shots/e2e-player-without-gstreamer-plugins.png" 2>/dev/null
kill -0 "$app" 2>/dev/null || fail "the program ended when GStreamer lacked its plugins"
echo "ok - with GStreamer lacking its plugins the player window says why and the program goes on"
kill "$app" 2>/dev/null; wait "$app" 2>/dev/null; app=

# 6. Fresh starts in a row (opt-in: see the top).
starts=${TREVLIN_E2E_STARTS:-0}
case $starts in ''|*[!0-9]*) fail "TREVLIN_E2E_STARTS is not a count: $starts" ;; esac
[ "$starts" -gt 0 ] || exit 0
for tool in openbox import convert compare; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps installs it)"
done
unset QT_XCB_GL_INTEGRATION # GL as the machine has it
openbox >"$work/openbox.log" 2>&1 &
wm=$!
sleep 1
main_window() { xdotool search --onlyvisible --name '^Trevlin$' 2>/dev/null | head -n 1; }
. "$(dirname -- "${BASH_SOURCE[0]}")/../common/player-screens.sh"
# The largest channel value in the part of a picture: 0 when it is all black.
brightest() { convert "$1" -crop "$2" +repage -format '%[fx:maxima]' info: 2>/dev/null; }
# Ctrl+L, then the first frame within 20 seconds, then the picture and the
# time change over the next second. Sets `why` when it does not play.
# The screenshots come from the screen: the main window, which goes when the
# player's window comes, may still show in the player's area until the
# player has painted there, and the duration appears once the movie is
# loaded. So what appears first only starts the watch: the picture must
# still not be black a second later, and change from then on, as must the
# time.
ctrl_l_and_watch() {
  local id first= i
  why=
  main_id=$(main_window)
  [ -n "$main_id" ] || { why="no main window"; return 1; }
  xdotool windowactivate --sync "$main_id" >/dev/null 2>&1 || xdotool windowfocus "$main_id" 2>/dev/null
  sleep 0.3
  xdotool key ctrl+l
  for i in $(seq 1 80); do
    kill -0 "$app" 2>/dev/null || { why="the program ended"; return 1; }
    id=$(player_window)
    if [ -n "$id" ] && import -window "$id" "$work/a.png" 2>/dev/null \
       && [ "$(brightest "$work/a.png" "$video_crop")" != 0 ]; then
      sleep 1
      if import -window "$id" "$work/b.png" 2>/dev/null && [ "$(brightest "$work/b.png" "$video_crop")" != 0 ]; then
        first=1
        break
      fi
    fi
    sleep 0.25
  done
  [ -n "$first" ] || { why="no picture 20 s after Ctrl+L"; import -window "$(player_window)" "$work/stalled.png" 2>/dev/null; return 1; }
  sleep 1
  import -window "$id" "$work/c.png" 2>/dev/null
  cp "$work/c.png" "$work/stalled.png"
  differs "$work/b.png" "$work/c.png" "$video_crop" || { why="the picture does not change"; return 1; }
  differs "$work/b.png" "$work/c.png" "$time_crop" || { why="the time does not move"; return 1; }
  rm -f "$work/stalled.png"
  # Drawn through GL, as on the viewer's desktop: mesa's driver is mapped.
  grep -qE '/(libGLX_mesa|[a-z0-9]+_dri)\.so' "/proc/$app/maps" || { why="it played, but not through GL"; return 1; }
  return 0
}
disc=$(dirname "$trevlin")
[ -f "$disc/trevlin.INI" ] || fail "the demo disc is not laid out in $disc"
played=0
failures=()
for i in $(seq 1 "$starts"); do
  mkdir -p "$work/home-$i"
  (cd "$disc" && HOME=$work/home-$i exec ./trevlin) >"$work/app.log" 2>&1 &
  app=$!
  if ! wait_main_window >/dev/null; then
    failures+=("start $i: the main window did not appear")
  elif ctrl_l_and_watch; then
    played=$((played + 1))
    [ "$i" -eq 1 ] && cp "$work/c.png" "$shots/e2e-start-player.png"
  else
    failures+=("start $i: $why")
    [ -f "$work/stalled.png" ] && mv "$work/stalled.png" "$shots/e2e-start-$i-failed.png"
  fi
  kill "$app" 2>/dev/null; wait "$app" 2>/dev/null; app=
done
echo "# fresh starts that played: $played of $starts"
[ "$played" -eq "$starts" ] || fail "$((starts - played)) of $starts fresh starts did not play: $(printf '%s; ' "${failures[@]}")"
echo "ok - $starts fresh starts of the demo disc in a row, with GL and a window manager: every one plays after Ctrl+L"
