#!/usr/bin/env bash
# The image maker with what an author may hand it, on a stand-in bundle: bad
# source folders and image paths are refused with the reason and leave no
# file behind; a good folder comes out as laid out, the author's autorun.inf
# kept, the program's files from the bundle, also when its name starts with
# "-" and CDPATH names a folder of the same name; a Windows face goes into
# the Joliet tree alone.
#
#   refusals.sh MAKE_IMAGE TREVLIN_INI MAKE_DISC
set -uo pipefail
make_image=$1 ini_tool=$2 make_disc=$3
if [ -z "${TREVLIN_DISC_NAMESPACE:-}" ]; then
  [ "$(id -u)" -eq 0 ] || { echo "FAIL: must run as root (a full folder is mounted)" >&2; exit 1; }
  TREVLIN_DISC_NAMESPACE=1 exec unshare --mount --propagation private bash "$0" "$@"
fi
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
w=$(mktemp -d)
trap 'umount "$w/full" 2>/dev/null; rm -rf "$w"' EXIT

good=$w/-good
mkdir -p "$w/bundle/.trevlin/lib" "$good/player" "$w/images" "$w/no-settings" "$w/full" "$w/huge" \
         "$w/decoy/-good" "$w/decoy/images"
printf 'program' >"$w/bundle/trevlin"
printf 'library' >"$w/bundle/.trevlin/lib/libstandin.so"
printf 'icon' >"$w/bundle/trevlin.ico"
printf 'movie' >"$good/movie.avi"
printf '#!/bin/sh\n' >"$good/player/play"
printf '[main]\r\ntitle=Café Noir\r\n[path]\r\nmovie=movie.avi\r\nmicrodvdexe="./player/play" -f\r\ncodecs=setup /q\r\n' \
  >"$good/trevlin.INI"
cp -r "$good" "$w/missing"
printf '[path]\nmovie=gone.avi\nmicrodvdexe="./player/no player" -f\nfaq=player\n' >"$w/missing/trevlin.INI"
printf '[main]\ntitle=Decoy\n' >"$w/decoy/-good/trevlin.INI"
# Larger than the program reads: it would find no settings in it.
truncate -s 17M "$w/huge/trevlin.INI"

refused() { # case, expected reason, source, image
  local dir before
  dir=$(dirname -- "$4")
  before=$(ls -A "$dir")
  if bash "$make_image" "$w/bundle" "$ini_tool" "$3" "$4" >"$w/out" 2>&1; then
    fail "$1: made an image"
  elif ! grep -qF -- "$2" "$w/out"; then
    fail "$1: the reason does not say '$2': $(cat "$w/out")"
  elif [ "$(ls -A "$dir")" != "$before" ]; then
    fail "$1: left files behind: $(ls -A "$dir")"
  fi
}
refused "no settings file" "has no trevlin.INI" "$w/no-settings" "$w/images/disc.iso"
refused "files the settings name are missing" "path/movie: gone.avi" "$w/missing" "$w/images/disc.iso"
for line in "path/microdvdexe: ./player/no player" "path/faq: player (a folder, not a file)"; do
  grep -qF "$line" "$w/out" || fail "the list of missing files lacks '$line': $(cat "$w/out")"
done
refused "settings file too large to read" "trevlin.INI cannot be read" "$w/huge" "$w/images/disc.iso"
refused "image inside the source" "into $good" "$good" "$good/player/disc.iso"
if mount -t tmpfs -o size=64k tmpfs "$w/full"; then
  refused "full disk" "could not be written" "$good" "$w/full/disc.iso"
else
  fail "full disk: cannot mount a small tmpfs to fill"
fi

# A good folder with its own autorun.inf and a stale program; an old image
# in the way is replaced. Named from the folder above, with CDPATH leading
# to folders of the same names. A program named without a slash that is not
# at the root is the viewer's to have: a warning, not a refusal.
printf '[autorun]\r\nopen=setup.exe\r\n' >"$good/autorun.inf"
printf 'an old program' >"$good/trevlin"
printf 'an old image' >"$w/images/disc.iso"
if ! (cd "$w" && CDPATH=$w/decoy bash "$make_image" "$w/bundle" "$ini_tool" -good images/disc.iso) >"$w/out" 2>&1; then
  fail "a good folder was refused: $(cat "$w/out")"
else
  grep -q "replaced from the bundle: trevlin" "$w/out" || fail "the replaced program is not mentioned: $(cat "$w/out")"
  grep -q "not at the disc's root" "$w/out" && grep -qx '  path/codecs: setup' "$w/out" \
    || fail "no warning of a program that is not on the disc: $(cat "$w/out")"
  [ "$(ls -A "$w/images")" = disc.iso ] || fail "files besides the image: $(ls -A "$w/images")"
  [ -z "$(ls -A "$w/decoy/images")" ] || fail "the image went where CDPATH leads: $(ls -A "$w/decoy/images")"
  osirrox -indev "$w/images/disc.iso" -extract / "$w/x" >/dev/null 2>&1 || fail "the image cannot be read"
  cmp -s "$good/autorun.inf" "$w/x/autorun.inf" || fail "the author's autorun.inf was not kept"
  cmp -s "$w/bundle/trevlin" "$w/x/trevlin" || fail "the program is not the bundle's"
  cmp -s "$good/movie.avi" "$w/x/movie.avi" || fail "the movie is not the folder's"
  grep -qx 'Name=Café Noir' "$w/x/.xdg-volume-info" || fail ".xdg-volume-info does not carry the title"
fi

# ./make-disc refuses before it installs or builds anything.
if bash "$make_disc" "$w/no-settings" "$w/images/x.iso" >"$w/out" 2>&1 || ! grep -q "has no trevlin.INI" "$w/out" \
   || grep -q "install-deps\|Release" "$w/out"; then
  fail "make-disc did not refuse a folder without settings at once: $(cat "$w/out")"
fi

# The Windows face, on a stand-in face: the starter and the program's folder
# at the Joliet root, replacing the source's own in any letter case; the
# stand-in's twin beside the very stand-in it twins, not beside another file
# of the same name; none of it in the Rock Ridge tree; autorun.inf (UTF-16
# for a title beyond ASCII) starts the starter; a program Windows would not
# start is warned of. A folder that is no face is refused.
face=$w/face two=$w/two-faced
mkdir -p "$face/.trevlin-win/platforms" "$face/twins/player" "$face/twins/tools" "$two/player" "$two/tools"
printf 'starter' >"$face/trevlin.exe"
printf 'program' >"$face/.trevlin-win/trevlin.exe"
printf 'plugin' >"$face/.trevlin-win/platforms/qwindows.dll"
printf '#!/bin/sh\n' >"$face/twins/player/play"
printf 'twin' >"$face/twins/player/play.exe"
printf '#!/bin/sh\necho stand-in\n' >"$face/twins/tools/helper"
printf 'helper twin' >"$face/twins/tools/helper.exe"
printf '#!/bin/sh\n' >"$two/player/play"
printf '#!/bin/sh\necho an author\x27s own\n' >"$two/tools/helper"
printf 'an old starter' >"$two/TREVLIN.EXE"
printf 'movie' >"$two/movie.avi"
printf '[main]\r\ntitle=Café Noir\r\n[path]\r\nmovie=movie.avi\r\nmicrodvdexe=./player/play\r\ncodecs=./tools/helper /q\r\nmediaplayer=./player/setup.sh\r\n' \
  >"$two/trevlin.INI"
printf '' >"$two/player/setup.sh"
if bash "$make_image" --windows-face "$w/bundle" "$w/bundle" "$ini_tool" "$two" "$w/images/two.iso" >"$w/out" 2>&1 \
   || ! grep -q "is not a Windows face" "$w/out"; then
  fail "a folder that is no Windows face was not refused: $(cat "$w/out")"
fi
if ! bash "$make_image" --windows-face "$face" "$w/bundle" "$ini_tool" "$two" "$w/images/two.iso" >"$w/out" 2>&1; then
  fail "the two-faced image was refused: $(cat "$w/out")"
else
  joliet=$(isoinfo -J -f -i "$w/images/two.iso" 2>/dev/null | sort | tr '\n' ' ')
  [ "$joliet" = "/.trevlin-win /.trevlin-win/platforms /.trevlin-win/platforms/qwindows.dll /.trevlin-win/trevlin.exe /autorun.inf /movie.avi /player /player/play /player/play.exe /player/setup.sh /tools /tools/helper /trevlin.INI /trevlin.exe " ] \
    || fail "the Joliet tree is not the disc's files, the face and the one twin: $joliet"
  osirrox -read_fs norock -indev "$w/images/two.iso" -extract / "$w/two-j" >/dev/null 2>&1 || fail "the Joliet tree cannot be read"
  cmp -s "$face/trevlin.exe" "$w/two-j/trevlin.exe" || fail "the Joliet root's trevlin.exe is not the starter"
  cmp -s "$face/twins/player/play.exe" "$w/two-j/player/play.exe" || fail "player/play.exe is not the twin"
  printf '[autorun]\r\nopen=trevlin.exe\r\nlabel=Café Noir\r\nicon=trevlin.exe\r\n' | cmp -s - \
    <(tail -c +3 "$w/two-j/autorun.inf" | iconv -f UTF-16LE -t UTF-8) && [ "$(head -c 2 "$w/two-j/autorun.inf" | od -An -tx1)" = " ff fe" ] \
    || fail "autorun.inf does not start trevlin.exe in UTF-16: $(od -c "$w/two-j/autorun.inf" | head -n 4)"
  rock=$(xorriso -indev "$w/images/two.iso" -find / -exec lsdl -- 2>/dev/null | awk '{print $NF}' | sort | tr '\n' ' ')
  for windows_only in "'/trevlin.exe'" "'/TREVLIN.EXE'" "'/.trevlin-win'" "'/player/play.exe'"; do
    [[ " $rock" == *" $windows_only "* ]] && fail "$windows_only is in the Rock Ridge tree: $rock"
  done
  [[ " $rock" == *" '/trevlin.ico' "* ]] || fail "trevlin.ico left the Rock Ridge tree: $rock"
  grep -q "replaced by the Windows face: TREVLIN.EXE" "$w/out" || fail "the replaced starter is not mentioned: $(cat "$w/out")"
  grep -qx '  path/mediaplayer: ./player/setup.sh (not a Windows program)' "$w/out" \
    && grep -qx '  path/codecs: ./tools/helper (no ./tools/helper.exe beside it)' "$w/out" \
    || fail "no warning of the programs Windows would not start: $(cat "$w/out")"
fi

[ "$failures" -eq 0 ] || exit 1
echo "ok - bad sources and image paths are refused without leaving files; a good folder comes out as laid out; a Windows face goes into the Joliet tree alone"
