#!/usr/bin/env bash
# Writes a disc's ISO 9660 image: everything in SOURCE_FOLDER exactly as the
# author laid it out, with the program and its bundle (made by the
# disc_bundle build target) at the root.
#
#   make-image.sh [--windows-face FACE_FOLDER] BUNDLE_FOLDER TREVLIN_INI SOURCE_FOLDER IMAGE.iso
#
# With --windows-face the image starts on Windows too: windows-face.sh adds
# the Windows face (laid out by a Windows build's windows_face target) to the
# Joliet tree.
#
# TREVLIN_INI is the trevlin-ini tool, which reads the settings file exactly
# as the program does. The image carries Rock Ridge (owners, modes: the
# program and the scripts stay executable) and Joliet (the names Windows
# shows, without the Linux-only files); the bundle is zisofs-compressed,
# which Linux reads transparently. Nothing is left behind when the image
# cannot be made: it is written under a temporary name and renamed at the end.
set -euo pipefail
unset CDPATH

me=make-disc
refuse() {
  echo "$me: $*" >&2
  echo "$me: no image was written." >&2
  exit 1
}
# The absolute, physical path of a folder an argument names; "./" in front
# keeps cd from taking a relative name for an option or for "-".
folder_path() {
  case $1 in
    /*) (cd -P -- "$1" && pwd -P) ;;
    *) (cd -P -- "./$1" && pwd -P) ;;
  esac
}

windows_face=
if [ "${1:-}" = --windows-face ]; then
  [ $# -ge 2 ] || { echo "usage: make-image.sh [--windows-face FACE_FOLDER] BUNDLE_FOLDER TREVLIN_INI SOURCE_FOLDER IMAGE.iso" >&2; exit 2; }
  windows_face=$2
  shift 2
fi
[ $# -eq 4 ] || { echo "usage: make-image.sh BUNDLE_FOLDER TREVLIN_INI SOURCE_FOLDER IMAGE.iso" >&2; exit 2; }
bundle=$1 ini_tool=$2 source_arg=$3 image_arg=$4

[ -f "$bundle/trevlin" ] && [ -d "$bundle/.trevlin" ] || refuse "$bundle is not a disc bundle (build the disc_bundle target)"
[ -x "$ini_tool" ] || refuse "the settings reader $ini_tool is missing"
command -v xorriso >/dev/null || refuse "xorriso is not installed (scripts/install-deps installs it)"

# The source folder and its settings file.
[ -e "$source_arg" ] || refuse "the source folder $source_arg does not exist"
[ -d "$source_arg" ] || refuse "$source_arg is not a folder"
source=$(folder_path "$source_arg") || refuse "the source folder $source_arg cannot be opened"
settings=$source/trevlin.INI
if [ ! -f "$settings" ]; then
  other=$(find "$source" -maxdepth 1 -iname trevlin.ini -print -quit)
  if [ -n "$other" ]; then
    refuse "$source has no trevlin.INI; the program reads exactly that name (found $(basename "$other"))"
  fi
  refuse "$source has no trevlin.INI, the disc's settings file"
fi

# The image: never a folder, never inside what it is made from.
case $image_arg in
  */) refuse "$image_arg names a folder; give the image's file name" ;;
esac
[ -d "$image_arg" ] && refuse "$image_arg is a folder; give the image's file name"
image_dir=$(dirname -- "$image_arg")
[ -d "$image_dir" ] || refuse "the folder $image_dir for the image does not exist"
image_dir=$(folder_path "$image_dir") || refuse "the folder $image_dir for the image cannot be opened"
image=$image_dir/$(basename -- "$image_arg")
case $image_dir/ in
  "$source"/*) refuse "the image would be written into $source, the folder it is made from" ;;
esac
[ -w "$image_dir" ] || refuse "the image cannot be written in $image_dir (not writable)"

# Every file the settings name must be on the disc. Paths are taken from the
# disc's root, as the program takes them from its disc folder; a command line
# names its program in its first words (see program_of).
#
# value SECTION KEY: the value, in $value. A settings file the reader cannot
# read (unreadable, too large) is refused: it would read as empty.
value() {
  value=$("$ini_tool" get "$settings" "$1" "$2") \
    || refuse "$settings cannot be read (see above); the program would find no settings in it"
}
# True when a relative path leads out of the folder it is taken from
# ("../x", "a/../../x"): on the viewer's machine that is outside the disc.
leads_out() {
  local depth=0 part rest=$1/
  while [ -n "$rest" ]; do
    part=${rest%%/*}
    rest=${rest#*/}
    case $part in
      ''|.) ;;
      ..) depth=$((depth - 1)); [ "$depth" -ge 0 ] || return 0 ;;
      *) depth=$((depth + 1)) ;;
    esac
  done
  return 1
}
missing=()
leaving=()
outside=()
not_on_disc=()
# A file the disc's windows open: it must be in the source folder, named so
# that the viewer's machine finds it there.
check_file() { # key, path
  local key=$1 path=$2
  [ -n "$path" ] || return 0
  case $path in
    /*) leaving+=("$key: $path (an absolute path: the viewer's machine does not have it)"); return 0 ;;
  esac
  if leads_out "$path"; then
    leaving+=("$key: $path (leads out of the disc's folder)")
  elif [ -d "$source/$path" ]; then
    missing+=("$key: $path (a folder, not a file)")
  elif [ ! -f "$source/$path" ]; then
    missing+=("$key: $path")
  fi
}
# The program a command line names, in $program, as the program reads the
# line: a quoted first word is the name; otherwise, when the first word names
# no file on the disc, the following words are joined to it one at a time,
# with the blanks between them, until they do ("./My Player/play -f"). When
# none does, the first word.
program_of() {
  local line=$1 rest candidate
  line=${line#"${line%%[![:space:]]*}"}
  if [ "${line:0:1}" = '"' ]; then
    line=${line:1}
    program=${line%%\"*}
    return 0
  fi
  program=${line%%[[:space:]]*}
  rest=${line#"$program"}
  candidate=$program
  case $program in /*) return 0 ;; esac
  while :; do
    [ -f "$source/$candidate" ] && ! leads_out "$candidate" && { program=$candidate; return 0; }
    [ -n "$rest" ] || return 0
    local blanks=${rest%%[![:space:]]*}
    rest=${rest#"$blanks"}
    [ -n "$rest" ] || return 0
    local word=${rest%%[[:space:]]*}
    rest=${rest#"$word"}
    candidate=$candidate$blanks$word
  done
}
check_program() { # key, command line
  program_of "$2"
  case $program in
    '') ;;
    # A program the viewer's system must have: only said.
    /*) outside+=("$1: $program") ;;
    */*) check_file "$1" "$program" ;;
    # A bare name is looked for in the disc's folder, then on the viewer's
    # PATH.
    *) [ -f "$source/$program" ] || not_on_disc+=("$1: $program") ;;
  esac
}
for key in frontcover backcover movie subtitles options hints faq; do
  value path "$key"
  check_file "path/$key" "$value"
done
for key in microdvdexe codecs microdvd mediaplayer; do
  value path "$key"
  check_program "path/$key" "$value"
done
value path pathfilter
[ -n "$value" ] && check_program "path/pathfilter" "${value}regsvr32"
if [ ${#leaving[@]} -gt 0 ]; then
  echo "$me: these paths in $settings cannot be on the viewer's machine; name them from the disc's folder:" >&2
  printf '  %s\n' "${leaving[@]}" >&2
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "$me: these files named in $settings are not in $source:" >&2
  printf '  %s\n' "${missing[@]}" >&2
fi
if [ ${#leaving[@]} -gt 0 ] || [ ${#missing[@]} -gt 0 ]; then
  refuse "put them on the disc or change the settings file"
fi
if [ ${#outside[@]} -gt 0 ]; then
  echo "$me: warning: these programs named in the settings file lie outside the disc; the viewer's system must have them:"
  printf '  %s\n' "${outside[@]}"
fi
if [ ${#not_on_disc[@]} -gt 0 ]; then
  echo "$me: warning: these programs named in the settings file are not at the disc's root; the viewer's PATH must have them:"
  printf '  %s\n' "${not_on_disc[@]}"
fi

# The disc's name: its title, or the program's name, as long as each format
# allows. The ISO 9660 volume ID takes 32 characters, here the title's
# printable ASCII (other letters transliterated), case and blanks kept, which
# every system reads although ECMA-119 asks for [A-Z0-9_] only; Joliet takes
# the first 16 of them (Windows shows those). Linux's blkid joins the two
# into the whole 32.
value main title
title=${value:-Trevlin}
volid=$(printf '%s' "$title" | LC_ALL=C.UTF-8 iconv -f UTF-8 -t ASCII//TRANSLIT 2>/dev/null \
          || printf '%s' "$title" | LC_ALL=C tr -c ' -~' '_')
volid=$(printf '%s' "$volid" | LC_ALL=C tr -c ' -~' ' ' | sed 's/  */ /g; s/^ //; s/ $//' | cut -c1-32 | sed 's/ $//')
[ -n "$volid" ] || volid=Trevlin

# A symbolic link in the source folder goes on the disc as what it leads to:
# on the viewer's machine a link to the author's files leads nowhere. A link
# that already leads nowhere is refused.
dangling=()
while IFS= read -r -d '' link; do
  dangling+=("${link#"$source"/} -> $(readlink -- "$link")")
done < <(find "$source" -mindepth 1 -xtype l -print0)
if [ ${#dangling[@]} -gt 0 ]; then
  echo "$me: these symbolic links in $source lead nowhere:" >&2
  printf '  %s\n' "${dangling[@]}" >&2
  refuse "put the files they name in their place or remove the links"
fi
links=$(find "$source" -mindepth 1 -type l | wc -l)

work=$(mktemp -d)
partial_dir=
cleanup() {
  rm -rf "$work"
  [ -n "$partial_dir" ] && rm -rf "$partial_dir"
  return 0
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# What the desktops read at the root, named after the disc, unless the
# author laid out their own. Windows reads autorun.inf in its ANSI code page
# unless the file is UTF-16 with a byte order mark.
generated=()
if [ ! -e "$source/autorun.inf" ]; then
  inf=$(printf '[autorun]\r\nlabel=%s\r\nicon=trevlin.ico' "$title")
  if printf '%s' "$title" | LC_ALL=C grep -q '[^ -~]'; then
    { printf '\xff\xfe'; printf '%s\r\n' "$inf" | iconv -f UTF-8 -t UTF-16LE; } >"$work/autorun.inf"
  else
    printf '%s\r\n' "$inf" >"$work/autorun.inf"
  fi
  generated+=(autorun.inf)
fi
if [ ! -e "$source/.xdg-volume-info" ]; then
  # A desktop reads it as a key file, where a backslash starts an escape.
  printf '[Volume Info]\nName=%s\nIconFile=trevlin.ico\n' "${title//\\/\\\\}" >"$work/.xdg-volume-info"
  generated+=(.xdg-volume-info)
fi
chmod 644 "$work"/autorun.inf "$work"/.xdg-volume-info 2>/dev/null || true

# The bundle's own files replace any of the same name in the source folder;
# the desktop files and the icon are the author's when the folder has them.
program_entries=()
linux_only=()
for entry in "$bundle"/* "$bundle"/.[!.]*; do
  [ -e "$entry" ] || continue
  name=$(basename "$entry")
  case $name in
    autorun.inf|.xdg-volume-info) continue ;;
    trevlin.ico) [ -e "$source/$name" ] && continue ;;
  esac
  program_entries+=("$name")
  case $name in
    trevlin.ico) ;;
    *) linux_only+=("/$name") ;;
  esac
done
[ -e "$source/.xdg-volume-info" ] || linux_only+=(/.xdg-volume-info)
replaced=()
for name in "${program_entries[@]}"; do
  [ -e "$source/$name" ] && replaced+=("$name")
done

# The Windows face: the starter, the program's folder, the stand-ins' twins;
# autorun.inf, when written here, starts the starter.
windows_args=()
if [ -n "$windows_face" ]; then
  bash "$(dirname -- "$0")/windows-face.sh" "$windows_face" "$source" "$ini_tool" "$work" \
    || refuse "the Windows face could not be added"
  mapfile -d '' windows_args <"$work/windows-face.args"
fi

# The image is written into a folder of its own beside its place, so that no
# one else can take the name meanwhile: xorriso writes a new image only to a
# missing (or empty) file.
partial_dir=$(mktemp -d "$image_dir/.$(basename -- "$image").XXXXXX") \
  || refuse "the image cannot be written in $image_dir"
partial=$partial_dir/image.iso

args=(-report_about WARNING -return_with SORRY 32 -disk_pattern off -iso_rr_pattern off
      -outdev "$partial" -volid "$volid" -joliet on -compliance joliet_long_names
      -follow link -not_paths)
for name in "${program_entries[@]}"; do args+=("$source/$name"); done
args+=(-- -map "$source" /)
for name in "${program_entries[@]}"; do args+=(-map "$bundle/$name" "/$name"); done
for name in "${generated[@]}"; do args+=(-map "$work/$name" "/$name"); done
args+=(-find / -exec mkisofs_r --
       -hide joliet "${linux_only[@]}" --
       -set_filter_r --zisofs /.trevlin --
       "${windows_args[@]}"
       -commit)

echo "$me: writing $image from $source and the program in $bundle"
if ! xorriso "${args[@]}" >"$work/xorriso.log" 2>&1; then
  grep -E 'FAILURE|SORRY|FATAL|No space|Cannot' "$work/xorriso.log" >&2 || tail -n 15 "$work/xorriso.log" >&2
  refuse "the image could not be written to $image"
fi
# What xorriso warned of (a symbolic link Windows cannot see, say) is the
# author's to know.
grep 'WARNING' "$work/xorriso.log" | sed "s/^/$me: /" || true
chmod "$(printf '%o' $(( 0666 & ~0$(umask) )))" "$partial"
mv -f -T "$partial" "$image" || refuse "the image could not be put in place as $image"
rmdir "$partial_dir"
partial_dir=

size=$(stat -c %s "$image")
# Counted by entry: a name may hold a line break.
count=$(find "$source" -mindepth 1 -printf . | wc -c)
echo "$me: the disc's files: $count entries from $source, as laid out"
[ "$links" -gt 0 ] && echo "$me: $links symbolic links went on the disc as the files they lead to"
echo "$me: the program: ${program_entries[*]} (from $bundle)"
[ ${#replaced[@]} -gt 0 ] && echo "$me: replaced from the bundle: ${replaced[*]}"
[ ${#generated[@]} -gt 0 ] && echo "$me: written for the desktops: ${generated[*]} (named \"$title\")"
echo "$me: hidden from Windows (Joliet): ${linux_only[*]}"
echo "$me: volume name \"$volid\" (Windows shows \"${volid:0:16}\"); Rock Ridge and Joliet; .trevlin zisofs-compressed"
echo "$me: wrote $image: $size bytes ($(( (size + 524288) / 1048576 )) MiB)"
