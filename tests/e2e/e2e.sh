#!/usr/bin/env bash
# End to end: the real binary in a temporary disc folder, under Xvfb.
#  1. View Movie (Ctrl+V) starts the player with /quickini /v:MOVIE /s:SUBTITLES
#     and the program ends with exit code 0.
#  2. A player that is not there leaves the program running with an error box.
#  3. An installer named without a path, lying beside the program, is found
#     there although the program was started from another folder: Install
#     Codecs (Ctrl+I) starts it with its arguments and the menu stays.
set -uo pipefail
trevlin=$1 recorder=$2 shots=$3
mkdir -p "$shots"
work=$(mktemp -d)
xvfb=
app=
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A display of our own: Xvfb picks a free number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 1 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(cat "$work/display")
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

# Starts the program from a disc folder holding it and a settings file.
start_disc() { # $1 folder, $2 player
  mkdir -p "$1"
  cp "$trevlin" "$1/trevlin"
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

# 3. codecs=codec-setup /quiet with codec-setup beside the program; the program
#    is started by its path from another folder, as a file manager would.
mkdir -p "$work/disc3" "$work/elsewhere"
cp "$trevlin" "$work/disc3/trevlin"
cp "$recorder" "$work/disc3/codec-setup"
printf '[main]\r\ntitle=End to end\r\n[path]\r\ncodecs=codec-setup /quiet\r\n' >"$work/disc3/trevlin.INI"
export TREVLIN_RECORDER_OUT=$work/codecs.txt
(cd "$work/elsewhere" && exec "$work/disc3/trevlin") &
app=$!
wait_main_window >/dev/null ||
  fail "the main window did not appear (third run)$(kill -0 "$app" 2>/dev/null || echo ': the program ended')"
sleep 1
press_key ctrl+i
for _ in $(seq 1 40); do grep -q '^END$' "$work/codecs.txt" 2>/dev/null && break; sleep 0.25; done
[ "$(cat "$work/codecs.txt" 2>/dev/null)" = "$(printf 'BEGIN\n/quiet\nEND')" ] ||
  fail "the installer beside the program got: $(cat "$work/codecs.txt" 2>/dev/null || echo "(it did not run)")"
kill -0 "$app" 2>/dev/null || fail "the program ended after Install Codecs"
echo "ok - an installer named without a path is found beside the program and started with its arguments"
