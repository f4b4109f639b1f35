#!/usr/bin/env bash
# Lays out a new disc folder for an author to fill: a trevlin.INI with paths
# taken from the folder, the title from the folder's name, and the external
# player script, which turns the command line the program hands a player
# (/quickini /v:MOVIE /s:SUBTITLES) into mpv's, ffplay's or VLC's.
#
#   new-disc.sh FOLDER PLAYER_SCRIPT [NAME_IN_MESSAGES [BUILD_COMMAND]]
#
# FOLDER may exist (with the author's movie already in it, say); a folder
# that already holds a trevlin.INI is refused and left as it is. No file
# that is there is replaced. A movie, subtitles or covers already in the
# folder (one file of the kind) are named in the settings; otherwise the
# settings propose names for the author to put files under.
set -euo pipefail
unset CDPATH

[ $# -ge 2 ] && [ $# -le 4 ] || { echo "usage: new-disc.sh FOLDER PLAYER_SCRIPT [NAME [BUILD_COMMAND]]" >&2; exit 2; }
folder_arg=$1 player=$2 me=${3:-make-disc} build=${4:-./make-disc}
refuse() {
  echo "$me: $*" >&2
  echo "$me: no disc folder was laid out." >&2
  exit 1
}
[ -n "$folder_arg" ] || refuse "give the new disc's folder"
[ -f "$player" ] || refuse "the player script $player is missing"
# "./" in front keeps a relative name from being taken for an option.
case $folder_arg in
  /*) folder=$folder_arg ;;
  *) folder=./$folder_arg ;;
esac
if [ -e "$folder" ] || [ -L "$folder" ]; then
  [ -d "$folder" ] || refuse "$folder_arg exists and is not a folder"
  if [ -e "$folder/trevlin.INI" ] || [ -L "$folder/trevlin.INI" ]; then
    refuse "$folder_arg already holds a trevlin.INI; it is left as it is"
  fi
fi
mkdir -p -- "$folder" || refuse "the folder $folder_arg cannot be made"
folder=$(cd -P -- "$folder" && pwd -P) || refuse "the folder $folder_arg cannot be opened"
[ -w "$folder" ] || refuse "$folder_arg cannot be written"

# The one file of a kind already in the folder (patterns matched without
# regard to case), else the proposed name.
only_one() { # proposed name, patterns...
  local proposed=$1 pattern f
  local -A found=()
  shift
  shopt -s nullglob nocaseglob
  for pattern in "$@"; do
    for f in $pattern; do
      # A name with a line break cannot be one line of the settings file.
      case $f in *[[:cntrl:]]*) continue ;; esac
      [ -f "$f" ] && found[$f]=1
    done
  done
  shopt -u nullglob nocaseglob
  if [ ${#found[@]} -eq 1 ]; then printf '%s' "${!found[@]}"; else printf '%s' "$proposed"; fi
}
cd -- "$folder"
movie=$(only_one movie.mp4 '*.mp4' '*.mkv' '*.avi')
subtitles=$(only_one "${movie%.*}.srt" '*.srt')
front=$(only_one front.jpg 'front.*' '*front*.jpg' '*front*.png')
back=$(only_one back.jpg 'back.*' '*back*.jpg' '*back*.png')

# The title: the folder's name on one line. A value that begins or ends with
# a blank or a quote is quoted, since a read drops one pair of quotes and the
# blanks around a value.
title=$(printf '%s' "${folder##*/}" | LC_ALL=C tr '\000-\037\177' ' ')
case $title in
  ' '*|*' '|\"*|*\"|\'*|*\') title="\"$title\"" ;;
esac

mkdir -p player
[ -e player/play-movie ] || { cp -- "$player" player/play-movie && chmod 755 player/play-movie; } \
  || refuse "the player script cannot be copied into $folder/player"

cat >trevlin.INI.new <<EOF
; The disc's settings, read by the program at the disc's root on every use.
; Paths are taken from this folder, the disc's root: name each file from
; here ("movie.mp4", "video/movie.mkv"), never as an absolute path or with
; "../", which the viewer's machine does not have. Put each file named below
; into this folder, or change its name here. The program's Settings dialog
; sets the title, the covers, the movie and the subtitles too.
[main]
title=$title

[path]
; The main window's pictures (JPEG, PNG, BMP or GIF).
frontcover=$front
backcover=$back
; The movie and its subtitles.
movie=$movie
subtitles=$subtitles
; The external player. The program starts it as
;   PLAYER /quickini /v:MOVIE /s:SUBTITLES
; which mpv, VLC and ffplay refuse; player/play-movie turns it into their
; command lines and plays the movie with whichever is installed.
microdvdexe=./player/play-movie
; Installers the disc offers, each a command line (empty: not offered).
codecs=
microdvd=
mediaplayer=
; Put in front of "regsvr32 /s iviaudio.ax" (the Windows filter registration).
pathfilter=
; The three pages of the Hints and Tips window (text files).
options=options.txt
hints=hints.txt
faq=faq.txt

[settings]
; yes locks the Settings dialog on the finished disc.
blockset=no
EOF
mv -- trevlin.INI.new trevlin.INI

todo=()
for f in "$front" "$back" "$movie" "$subtitles" options.txt hints.txt faq.txt; do
  [ -f "$f" ] || todo+=("$f")
done
echo "$me: laid out a new disc in $folder:"
echo "  trevlin.INI (title: $title; paths taken from the folder)"
echo "  player/play-movie (the external player: plays the movie with mpv, ffplay or VLC)"
if [ ${#todo[@]} -gt 0 ]; then
  echo "$me: put these files into it, or change their names in trevlin.INI:"
  printf '  %s\n' "${todo[@]}"
fi
echo "$me: then check and build the disc's image: $build '$folder' IMAGE.iso"
