#!/usr/bin/env bash
# The disc's Windows face end to end, under Wine on Xvfb with openbox: the
# image's Joliet tree (what Windows reads) is extracted, and trevlin.exe, the
# disc's starter, is started from it as Windows would start it.
#
#  read-only copy, as drive D: (a CD's root):
#   1. the main window shows (screenshot: title and covers);
#   2. Install Codecs starts the disc's installer (a recorder in its place)
#      with exactly the settings' command line, window style 1;
#   3. F1 shows the hints window (screenshot), which closes back to the menu;
#   5. Ctrl+L opens the internal player, which plays or says why (screenshot);
#   6. View Movie starts the disc's player (a recorder) with
#      /quickini /v:... /s:..., window style 2, and the menu ends;
#  writable copy in a folder with a blank in its name:
#   7. Settings -> Apply with a new title writes trevlin.INI there, CRLF kept;
#  the disc's small programs:
#   8. the player's twin hands the movie to the default player (an .avi
#      handler registered for the test), also from a path with blanks;
#   9. the starter without its program folder says so in a box.
#  The program never crashes (no crash dialog, no unexpected end).
#
#   wine-e2e.sh IMAGE WINDOWS_QT SHOTS_DIR RECORDER_SOURCE
# Exits 77 (skipped, with the reason and what to do) when WINDOWS_QT is empty:
# the image then has no Windows face.
set -uo pipefail
image=$1 windows_qt=$2 shots=$3 recorder_source=$4
if [ -z "$windows_qt" ]; then
  echo "SKIPPED: Qt for Windows is not in the cache, so the demo image has no Windows face to run under Wine."
  echo "SKIPPED: build it once with scripts/build-windows-qt (about half an hour on 2 cores), then run ./test again."
  exit 77
fi
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in wine wineserver Xvfb openbox xdotool xwininfo import osirrox x86_64-w64-mingw32-gcc-posix; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps installs it)"
done
[ -f "$image" ] || fail "no image at $image"
mkdir -p "$shots"

work=$(mktemp -d)
xvfb= wm= ro_mounted=
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=d"
cleanup() {
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  [ -n "$wm" ] && kill "$wm" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  if [ -n "$ro_mounted" ]; then umount "$work/ro" 2>/dev/null || umount -l "$work/ro"; fi
  mountpoint -q "$work/ro" 2>/dev/null || { chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"; }
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 1 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(cat "$work/display")
openbox >/dev/null 2>&1 &
wm=$!

# The disc as Windows reads it, and the test's recorder in place of the
# installer and the player (Windows adds .exe to their names).
osirrox -read_fs norock -indev "$image" -extract / "$work/disc" >/dev/null 2>&1 || fail "the Joliet tree cannot be extracted"
[ -f "$work/disc/trevlin.exe" ] || fail "the image has no Windows face (no trevlin.exe in its Joliet tree)"
x86_64-w64-mingw32-gcc-posix -std=c11 -O2 -municode -mwindows -o "$work/recorder.exe" "$recorder_source" \
  || fail "the recorder cannot be built"
chmod -R u+w "$work/disc"
copy=$work/disc\ copy
cp -a "$work/disc" "$copy"
cp "$work/recorder.exe" "$work/disc/installers/demo-install.exe"
cp "$work/recorder.exe" "$work/disc/player/play-movie.exe"
# Wine runs a Unix program of the name as given (the Linux stand-in, whose
# exec bit the extraction keeps) before it adds .exe; Windows never does.
rm -f "$work/disc/installers/demo-install" "$work/disc/player/play-movie" "$work/disc/filters/regsvr32"
chmod -R a-w "$work/disc"
# Read-only as a CD is, also for root: a read-only bind mount.
mkdir -p "$work/ro"
if [ "$(id -u)" -eq 0 ]; then
  mount --bind "$work/disc" "$work/ro" && ro_mounted=1 && mount -o remount,bind,ro "$work/ro" \
    || fail "the read-only copy cannot be mounted (mount --bind, then remount read-only)"
else
  rmdir "$work/ro" && ln -s "$work/disc" "$work/ro"
fi
touch "$work/ro/probe" 2>/dev/null && fail "the disc's copy is writable"

echo "# a Wine prefix of its own"
wineboot -i >"$work/wineboot.log" 2>&1 || { tail -n 5 "$work/wineboot.log" >&2; fail "wineboot failed"; }
# One Wine session for the whole run: each new one starts Wine's services
# again, which takes long on a busy machine.
wineserver -w
wineserver -p
rm -f "$WINEPREFIX/dosdevices/d:" "$WINEPREFIX/dosdevices/d::"
ln -s "$work/ro" "$WINEPREFIX/dosdevices/d:"
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
export TREVLIN_RECORDER_OUT=$(winpath "$work/recorded.txt")

# The program's process (the real program in the disc's program folder).
program_running() { pgrep -f 'trevlin-win.trevlin\.exe' >/dev/null; }
no_crash() {
  xdotool search --name 'Program Error|winedbg|crash' >/dev/null 2>&1 && { shoot crash; fail "a crash dialog came up ($1)"; }
  return 0
}
shoot() { import -window root "$shots/wine-$1.png" 2>/dev/null; }
# Visible windows named Trevlin, with their sizes.
trevlin_windows() {
  for id in $(xdotool search --onlyvisible --name '^Trevlin$' 2>/dev/null); do
    printf '%s %s\n' "$id" "$(xwininfo -id "$id" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')"
  done
}
# Waits for a visible Trevlin window of SIZE (WxH), or any when empty.
# Wine is slow to show a window on a busy machine: up to three minutes.
wait_window() { # $1 size, $2 what
  local deadline=$((SECONDS + 180))
  while [ "$SECONDS" -lt "$deadline" ]; do
    id=$(trevlin_windows | awk -v s="$1" 's == "" || $2 == s {print $1; exit}')
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.25
  done
  trevlin_windows >&2
  shoot "no-$2"
  fail "the $2 did not show (windows: $(trevlin_windows | tr '\n' ' '))"
}
# Waits for a visible Trevlin window that is not the main window's size (a
# secondary window or a box); prints its id.
wait_other_window() { # $1 what
  local deadline=$((SECONDS + 180)) id
  while [ "$SECONDS" -lt "$deadline" ]; do
    id=$(trevlin_windows | awk -v s="$main_size" '$2 != s {print $1; exit}')
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.25
  done
  shoot "no-$1"
  fail "the $1 did not show (windows: $(trevlin_windows | tr '\n' ' '))"
}
press() { # $1 window, keys...
  local id=$1; shift
  xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowactivate "$id"
  sleep 0.3
  xdotool key --clearmodifiers "$@"
}
recorded() { # waits for the recorder's next record, prints it
  local deadline=$((SECONDS + 120))
  while [ "$SECONDS" -lt "$deadline" ]; do grep -q '^END$' "$work/recorded.txt" 2>/dev/null && break; sleep 0.25; done
  cat "$work/recorded.txt" 2>/dev/null
  rm -f "$work/recorded.txt"
}
expect_record() { # $1 what, $2 command line, $3 style, $4 working folder
  local got
  got=$(recorded | tr -d '\r')
  [ "$got" = "$(printf 'BEGIN\nline=%s\nshow=%s\ncwd=%s\nEND' "$2" "$3" "$4")" ] \
    || fail "$1: expected the command line [$2], style $3, working folder $4; got: $(echo "$got" | tr '\n' ' ')"
}

# 1. The menu from the read-only disc at D:'s root.
(cd / && wine 'D:\trevlin.exe' >"$work/wine.log" 2>&1)
main=$(wait_window "" "main window") || exit 1
sleep 2
main=$(wait_window "" "main window") || exit 1
main_size=$(trevlin_windows | awk -v id="$main" '$1 == id {print $2}')
program_running || fail "the program is not running after the starter"
shoot main-window
no_crash "main window"
echo "ok 1 - trevlin.exe from D:\\ shows the main window ($main_size; screenshot wine-main-window.png)"

# 2. Install Codecs.
press "$main" ctrl+i
expect_record "Install Codecs" './installers/demo-install "DivX codecs"' 1 'D:\' || { shoot install-codecs; exit 1; }
sleep 0.5
program_running || fail "the program ended after Install Codecs"
echo "ok 2 - Install Codecs started the disc's installer with the settings' command line, style 1, in D:\\"

# 3. The hints window, and back.
press "$main" F1
hints=$(wait_other_window "hints window") || exit 1
sleep 2
shoot hints
press "$hints" alt+F4
main=$(wait_window "$main_size" "main window after the hints") || exit 1
no_crash "hints"
echo "ok 3 - F1 shows the hints window (screenshot wine-hints.png), which closes back to the menu"

# 4. (The refusal of a write on a read-only disc, with its one box "Escrita
#    sem Sucesso", is shown by the Windows platform test under Wine, which
#    answers the box itself; here the settings dialog is used on a writable
#    copy, step 7.)
apply_settings() { # $1 main window, $2 new title or empty, $3 what
  press "$1" ctrl+d
  local settings
  settings=$(wait_other_window "settings ($3)") || exit 1
  sleep 2
  if [ -n "$2" ]; then
    press "$settings" ctrl+a
    xdotool type --delay 20 "$2"
  fi
  # Apply: 3360, 5040 twips from the window's corner, 1455 wide.
  xdotool mousemove --window "$settings" 272 346 click 1
  echo "$settings"
}
# 5. The internal player.
press "$main" ctrl+l
player=$(wait_other_window "player window") || exit 1
sleep 6
shoot player
program_running || fail "the program ended when the player opened"
no_crash "player"
press "$player" alt+F4
main=$(wait_window "$main_size" "main window after the player") || exit 1
echo "ok 5 - Ctrl+L opens the internal player (screenshot wine-player.png) and the program goes on"

# 6. View Movie ends the menu.
press "$main" ctrl+v
expect_record "View Movie" './player/play-movie /quickini /v:logo.avi /s:subtitles.srt' 2 'D:\'
deadline=$((SECONDS + 60)); while [ "$SECONDS" -lt "$deadline" ]; do program_running || break; sleep 0.25; done
program_running && fail "the program did not end after View Movie"
no_crash "View Movie"
echo "ok 6 - View Movie started the disc's player with /quickini /v: /s:, style 2, and the menu ended"

# 7. A writable copy: Apply writes its trevlin.INI.
(cd / && wine "$(winpath "$copy/trevlin.exe")" >>"$work/wine.log" 2>&1)
main=$(wait_window "" "main window of the writable copy") || exit 1
sleep 2
main=$(wait_window "" "main window of the writable copy") || exit 1
apply_settings "$main" "Seen under Wine" writable >/dev/null || exit 1
main=$(wait_window "$main_size" "main window after Apply") || exit 1
grep -q $'^title=Seen under Wine\r$' "$copy/trevlin.INI" \
  || fail "Apply did not write the title into the copy's trevlin.INI: $(grep -i title "$copy/trevlin.INI" | cat -A)"
[ "$(grep -c $'\r$' "$copy/trevlin.INI")" -eq "$(wc -l <"$copy/trevlin.INI")" ] || fail "trevlin.INI lost its CRLF line endings"
sleep 1
shoot main-window-after-apply
no_crash "Apply"
# Its close box ends the program.
press "$main" alt+F4
deadline=$((SECONDS + 60)); while [ "$SECONDS" -lt "$deadline" ]; do program_running || break; sleep 0.25; done
program_running && fail "the program did not end when its main window was closed"
echo "ok 7 - Settings -> Apply writes trevlin.INI in a writable copy (CRLF kept; screenshot wine-main-window-after-apply.png)"

# 8. The player's twin hands the movie to the default player.
wine reg add 'HKLM\Software\Classes\.avi' /ve /d trevlin.testmovie /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Classes\trevlin.testmovie\shell\open\command' /ve \
  /d "\"$(winpath "$work/recorder.exe")\" \"%1\"" /f >/dev/null 2>&1
for row in "$copy|logo.avi|$(winpath "$copy/logo.avi")" \
           "$work|$(winpath "$copy/logo.avi")|$(winpath "$copy/logo.avi")"; do
  IFS='|' read -r folder movie expected <<<"$row"
  (cd "$folder" && wine "$(winpath "$copy/player/play-movie.exe")" /quickini "/v:$movie" /s:subtitles.srt >/dev/null 2>&1)
  got=$(recorded | tr -d '\r' | sed -n 's/^line=//p')
  [ "$got" = "\"$(winpath "$work/recorder.exe")\" \"$expected\"" ] \
    || fail "play-movie.exe /v:$movie handed over [$got], not $expected"
done
echo "ok 8 - play-movie.exe hands the movie to the default player, also a path with a blank"

# 9. The starter without its program folder.
mkdir -p "$work/alone"
cp "$copy/trevlin.exe" "$work/alone/"
(cd / && exec wine "$(winpath "$work/alone/trevlin.exe")" >"$work/alone.log" 2>&1) &
starter=$!
box=$(wait_window "" "starter's error box") || fail "no box from the starter; Wine said: $(tail -n 5 "$work/alone.log")"
sleep 0.5
shoot starter-error
press "$box" Return
wait "$starter"; rc=$?
[ "$rc" -ne 0 ] || fail "the starter without its program ended with 0"
echo "ok 9 - the starter without its program folder says so in a box (screenshot wine-starter-error.png) and fails"
