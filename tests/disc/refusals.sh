#!/usr/bin/env bash
# The image maker with what an author may hand it, on a stand-in bundle: bad
# source folders and image paths are refused with the reason and leave no
# file behind; a good folder comes out as laid out, the author's autorun.inf
# kept, the program's files from the bundle, also when its name starts with
# "-" and CDPATH names a folder of the same name. Paths the viewer's machine
# cannot have (absolute, or leading out of the folder) are refused; a program
# path with blanks is read as the program reads it. ./make-disc takes "--"
# and "./-h" as folders, never "-h" for help, and lays out a new disc folder.
# A Windows face goes into the Joliet tree alone.
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
mkdir -p "$good/My Player"
printf '#!/bin/sh\n' >"$good/My Player/play"
printf '[main]\r\ntitle=Café Noir\r\n[path]\r\nmovie=movie.avi\r\nmicrodvdexe="./player/play" -f\r\ncodecs=setup /q\r\n' \
  >"$good/trevlin.INI"
printf 'microdvd=./My Player/play /q\r\nmediaplayer=/usr/bin/vlc --fullscreen\r\n' >>"$good/trevlin.INI"
cp -r "$good" "$w/missing"
cp -r "$good" "$w/leaving"
printf 'back' >"$w/back.jpg"
printf 'subtitles' >"$w/leaving/movie.srt"
printf '[path]\nfrontcover=/home/author/front.jpg\nbackcover=../back.jpg\nmovie=player/../../-good/movie.avi
subtitles=./movie.srt\nmicrodvdexe=/usr/bin/vlc\ncodecs=../tools/setup /q\nhints=%s/movie.avi\n' "$good" \
  >"$w/leaving/trevlin.INI"
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
refused "paths the viewer's machine cannot have" "cannot be on the viewer's machine" "$w/leaving" "$w/images/disc.iso"
for line in "path/frontcover: /home/author/front.jpg (an absolute path" "path/backcover: ../back.jpg (leads out" \
            "path/movie: player/../../-good/movie.avi (leads out" "path/codecs: ../tools/setup (leads out" \
            "path/hints: $good/movie.avi (an absolute path"; do
  grep -qF -- "$line" "$w/out" || fail "the list of paths off the disc lacks '$line': $(cat "$w/out")"
done
# An absolute program is the viewer's system's to have: not refused.
grep -q "microdvdexe\|path/subtitles" "$w/out" && fail "a program outside the disc or a good path was refused: $(cat "$w/out")"
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
# A link to a file outside the folder goes on the disc as that file.
printf 'a picture kept elsewhere' >"$w/elsewhere.jpg"
ln -s "$w/elsewhere.jpg" "$good/extra.jpg"
printf 'an old image' >"$w/images/disc.iso"
# The report counts entries, not lines.
printf 'text' >"$good/two
lines.txt"
entries=$(find "$good" -mindepth 1 -printf . | wc -c)
if ! (cd "$w" && CDPATH=$w/decoy bash "$make_image" "$w/bundle" "$ini_tool" -good images/disc.iso) >"$w/out" 2>&1; then
  fail "a good folder was refused: $(cat "$w/out")"
else
  grep -q "replaced from the bundle: trevlin" "$w/out" || fail "the replaced program is not mentioned: $(cat "$w/out")"
  grep -q "the disc's files: $entries entries" "$w/out" || fail "the entries are not counted as $entries: $(cat "$w/out")"
  grep -qx '  path/mediaplayer: /usr/bin/vlc' "$w/out" || fail "no warning of a program outside the disc: $(cat "$w/out")"
  grep -q "path/microdvd:" "$w/out" && fail "a program path with blanks on the disc was not found: $(cat "$w/out")"
  grep -q "not at the disc's root" "$w/out" && grep -qx '  path/codecs: setup' "$w/out" \
    || fail "no warning of a program that is not on the disc: $(cat "$w/out")"
  [ "$(ls -A "$w/images")" = disc.iso ] || fail "files besides the image: $(ls -A "$w/images")"
  [ -z "$(ls -A "$w/decoy/images")" ] || fail "the image went where CDPATH leads: $(ls -A "$w/decoy/images")"
  osirrox -indev "$w/images/disc.iso" -extract / "$w/x" >/dev/null 2>&1 || fail "the image cannot be read"
  cmp -s "$good/autorun.inf" "$w/x/autorun.inf" || fail "the author's autorun.inf was not kept"
  cmp -s "$w/bundle/trevlin" "$w/x/trevlin" || fail "the program is not the bundle's"
  cmp -s "$good/movie.avi" "$w/x/movie.avi" || fail "the movie is not the folder's"
  grep -qx 'Name=Café Noir' "$w/x/.xdg-volume-info" || fail ".xdg-volume-info does not carry the title"
  [ -f "$w/x/extra.jpg" ] && [ ! -L "$w/x/extra.jpg" ] && cmp -s "$w/elsewhere.jpg" "$w/x/extra.jpg" \
    || fail "a link in the folder did not go on the disc as the file it leads to: $(ls -l "$w/x/extra.jpg")"
  # The title as the volume's name, as long as each format allows.
  isoinfo -d -i "$w/images/disc.iso" | grep -qx 'Volume id: Cafe Noir' \
    || fail "the ISO 9660 volume name is not the title: $(isoinfo -d -i "$w/images/disc.iso" | grep 'Volume id')"
  rm "$good/extra.jpg"
fi

# A link that leads nowhere is refused, listed.
ln -s "$w/gone.jpg" "$good/gone.jpg"
mkdir -p "$good/sub" && ln -s ../nothing "$good/sub/lost"
if bash "$make_image" "$w/bundle" "$ini_tool" "$good" "$w/images/links.iso" >"$w/out" 2>&1 \
   || ! grep -q 'lead nowhere' "$w/out" || ! grep -qx "  gone.jpg -> $w/gone.jpg" "$w/out" \
   || ! grep -qx '  sub/lost -> ../nothing' "$w/out" || [ -e "$w/images/links.iso" ]; then
  fail "links that lead nowhere were not refused with their list: $(cat "$w/out")"
fi
rm -r "$good/gone.jpg" "$good/sub"

# ./make-disc refuses before it installs or builds anything.
if bash "$make_disc" "$w/no-settings" "$w/images/x.iso" >"$w/out" 2>&1 || ! grep -q "has no trevlin.INI" "$w/out" \
   || grep -q "install-deps\|Release" "$w/out"; then
  fail "make-disc did not refuse a folder without settings at once: $(cat "$w/out")"
fi

# A folder whose name starts with "-" is named after "--" or with a slash;
# "-h" with an image is no request for help.
mkdir "$w/-h"
(cd "$w" && bash "$make_disc" -h x.iso) >"$w/out" 2>&1
status=$?
if [ "$status" -ne 2 ] || grep -q "^usage" "$w/out" || ! grep -qF -- "-h is not an option here" "$w/out"; then
  fail "make-disc -h x.iso (status $status): $(cat "$w/out")"
fi
for args in "-- -h" "./-h"; do
  # shellcheck disable=SC2086
  (cd "$w" && bash "$make_disc" $args x.iso) >"$w/out" 2>&1
  grep -qF -- "-h has no trevlin.INI" "$w/out" || fail "make-disc $args x.iso did not take -h for the folder: $(cat "$w/out")"
done

# A new disc folder: the settings with paths from the folder and the title
# from its name, the demo's player script, nothing of the demo's content;
# the image maker then lists what the author still has to put in.
new="$w/My New Disc"
if ! bash "$make_disc" --new "$new" >"$w/out" 2>&1; then
  fail "make-disc --new failed: $(cat "$w/out")"
else
  [ "$("$ini_tool" get "$new/trevlin.INI" main title)" = "My New Disc" ] || fail "the new disc's title: $(cat "$new/trevlin.INI")"
  [ "$("$ini_tool" get "$new/trevlin.INI" path microdvdexe)" = ./player/play-movie ] || fail "the new disc's player entry"
  cmp -s "$(dirname -- "$make_disc")/disc/player/play-movie" "$new/player/play-movie" && [ -x "$new/player/play-movie" ] \
    || fail "the new disc has no player script"
  [ "$(cd "$new" && ls -A | tr '\n' ' ')" = "player trevlin.INI " ] || fail "the new disc holds $(ls -A "$new")"
  refused "a new disc not yet filled" "path/movie: movie.mp4" "$new" "$w/images/new.iso"
  grep -qF "path/frontcover: front.jpg" "$w/out" || fail "the new disc's checklist lacks the cover: $(cat "$w/out")"
  cp "$new/trevlin.INI" "$w/ini.before"
  if bash "$make_disc" --new "$new" >"$w/out" 2>&1 || ! grep -q "already holds a trevlin.INI" "$w/out" \
     || ! cmp -s "$w/ini.before" "$new/trevlin.INI"; then
    fail "make-disc --new on a disc folder did not refuse, or changed it: $(cat "$w/out")"
  fi
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
