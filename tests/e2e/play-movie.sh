#!/usr/bin/env bash
# The demo disc's player script, with stand-ins for mpv and ffplay that write
# their arguments, one a line, to a file. The arguments are what the menu
# hands over: the command line split at blanks, so a path with blanks arrives
# in pieces.
set -uo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -x "$script" ] || fail "no player script at $script"

# A folder holding only the stand-in named $1: nothing else is found on PATH.
stand_in() {
  rm -rf "$work/bin" "$work/args"
  mkdir -p "$work/bin"
  printf '#!/bin/sh\nfor a in "$@"; do printf "%%s\\n" "$a"; done >"%s"\n' "$work/args" >"$work/bin/$1"
  chmod +x "$work/bin/$1"
}

# $1 what is checked, $2 the arguments expected one a line, then the player's arguments.
check() {
  local what=$1 expected=$2
  shift 2
  rm -f "$work/args"
  env -u DISPLAY PATH="$work/bin" "$script" "$@" || fail "$what: the script ended with $?"
  [ "$(cat "$work/args" 2>/dev/null)" = "$expected" ] ||
    fail "$what: the player got
$(cat "$work/args" 2>/dev/null)
expected
$expected"
  echo "ok - $what"
}

stand_in mpv
check "a disc path with blanks is put back together" \
  $'--sub-file=/media/user/My Disc/subtitles.srt\n--\n/media/user/My Disc/logo.avi' \
  /quickini /v:/media/user/My Disc/logo.avi /s:/media/user/My Disc/subtitles.srt
check "several blanks, and no subtitles" \
  $'--\n/media/a b c/the movie.avi' \
  /quickini /v:/media/a b c/the movie.avi /s:

stand_in ffplay
# The subtitle file's name goes into a filter graph: its ':' separates the
# filter's options, its ',' ends the filter, unless escaped.
check "ffplay gets the subtitle path escaped for its filter graph" \
  $'-autoexit\n-vf\nsubtitles=/discs/a\\\\:b\\,c/it\\\\\\\'s \\[1\\]\\;x.srt\n--\n/discs/My Disc/logo.avi' \
  /quickini /v:/discs/My Disc/logo.avi "/s:/discs/a:b,c/it's" "[1];x.srt"
check "ffplay without subtitles" \
  $'-autoexit\n--\nlogo.avi' \
  /quickini /v:logo.avi /s:

rm -rf "$work/bin"/*
env -u DISPLAY PATH="$work/bin" "$script" /quickini /s:x.srt 2>/dev/null
[ $? -eq 2 ] || fail "a line without /v: is not refused"
echo "ok - a line without a movie is refused"
