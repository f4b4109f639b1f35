#!/usr/bin/env bash
# The Windows face of a disc image: what make-image.sh adds to the Joliet tree
# (the names Windows shows) when it is given a Windows face, laid out by the
# Windows build's windows_face target (packaging/windows/):
#
#   windows-face.sh FACE_FOLDER SOURCE_FOLDER TREVLIN_INI WORK_FOLDER
#
# - FACE/trevlin.exe, the starter, and FACE/.trevlin-win, the program with its
#   runtime, go to the disc's root; they replace files of the same name
#   (in any letter case) in the source folder.
# - A stand-in of this tree on the disc (the very file, byte for byte) gets its
#   Windows twin beside it: player/play-movie.exe beside player/play-movie.
# - All of these are Windows' alone: they stay out of the Rock Ridge tree,
#   which Linux shows, so the Linux face stays as it is.
# - The program's icon is the starter's: an autorun.inf written in WORK for the
#   disc gets open=trevlin.exe and icon=trevlin.exe, and trevlin.ico, which
#   Linux desktops read, leaves the Joliet tree unless the author's.
#
# Writes the xorriso arguments, NUL-separated, to WORK/windows-face.args and
# says what it adds. Warns of the programs the settings name that Windows
# would not find on the disc.
set -euo pipefail
unset CDPATH
me=make-disc
fail() { echo "$me: $*" >&2; exit 1; }

[ $# -eq 4 ] || { echo "usage: windows-face.sh FACE_FOLDER SOURCE_FOLDER TREVLIN_INI WORK_FOLDER" >&2; exit 2; }
face=$1 source=$2 ini_tool=$3 work=$4
[ -f "$face/trevlin.exe" ] && [ -d "$face/twins" ] \
  || fail "$face is not a Windows face (build the windows_face target of a Windows build)"
face=$(cd -P -- "$face" && pwd -P)

args=()
windows_only=()
# A name in the source folder's root the same as NAME without regard to case.
same_name() { find "$source" -mindepth 1 -maxdepth 1 -iname "$1" -printf '%f\n'; }

# The starter and the program's folder.
replaced=()
for entry in "$face"/* "$face"/.[!.]*; do
  [ -e "$entry" ] || continue
  name=$(basename "$entry")
  [ "$name" = twins ] && continue
  while read -r other; do
    [ -n "$other" ] || continue
    replaced+=("$other")
    args+=(-rm_r "/$other" --)
  done < <(same_name "$name")
  args+=(-map "$entry" "/$name")
  windows_only+=("/$name")
done

# The stand-ins' twins, where the disc has the stand-in itself.
twins=()
while IFS= read -r -d '' twin; do
  rel=${twin#"$face/twins/"}
  rel=${rel%.exe}
  [ -f "$source/$rel" ] && cmp -s "$face/twins/$rel" "$source/$rel" || continue
  dir=$(dirname "$rel")
  [ -n "$(find "$source/$dir" -mindepth 1 -maxdepth 1 -iname "$(basename "$rel").exe" -print -quit)" ] && continue
  args+=(-map "$twin" "/$rel.exe")
  windows_only+=("/$rel.exe")
  twins+=("$rel.exe")
done < <(find "$face/twins" -type f -name '*.exe' -print0 | sort -z)

args+=(-hide iso_rr "${windows_only[@]}" --)
[ -e "$source/trevlin.ico" ] || args+=(-hide joliet /trevlin.ico --)

# autorun.inf, when written for the disc: Windows starts the starter and shows
# its icon. Windows reads the file in its ANSI code page unless it is UTF-16
# with a byte order mark; it stays in the form it was written in.
inf=$work/autorun.inf
if [ -f "$inf" ]; then
  cr=$'\r'
  edit="s/^icon=trevlin\\.ico$cr\$/icon=trevlin.exe$cr/; /^\\[autorun\\]$cr\$/a open=trevlin.exe$cr"
  if [ "$(head -c 2 "$inf" | od -An -tx1 | tr -d ' ')" = fffe ]; then
    { printf '\xff\xfe'; tail -c +3 "$inf" | iconv -f UTF-16LE -t UTF-8 | sed "$edit" | iconv -f UTF-8 -t UTF-16LE; } >"$inf.new"
  else
    sed "$edit" "$inf" >"$inf.new"
  fi
  mv -f -- "$inf.new" "$inf"
  chmod 644 "$inf"
fi

# Programs the settings name that Windows would not start from the disc:
# Windows adds .exe to a name without an extension and starts only its own
# kinds of programs.
first_word() {
  local line=$1
  line=${line#"${line%%[![:space:]]*}"}
  if [ "${line:0:1}" = '"' ]; then
    line=${line:1}
    printf '%s' "${line%%\"*}"
  else
    printf '%s' "${line%%[[:space:]]*}"
  fi
}
not_for_windows=()
check_program() { # key, command line
  local program base
  program=$(first_word "$2")
  case $program in
    ''|/*) return 0 ;;
    */*) ;;
    *) return 0 ;; # looked for on the viewer's system as well
  esac
  program=${program//\\//}
  base=${program##*/}
  case ${base,,} in
    *.exe|*.com|*.bat|*.cmd) ;;
    *.*) not_for_windows+=("$1: $program (not a Windows program)") ;;
    *)
      if [ -z "$(find "$source/$(dirname "$program")" -mindepth 1 -maxdepth 1 -iname "$base.exe" -print -quit 2>/dev/null)" ] \
         && ! printf '%s\n' "${twins[@]}" | grep -qxF "${program#./}.exe"; then
        not_for_windows+=("$1: $program (no $program.exe beside it)")
      fi ;;
  esac
}
settings=$source/trevlin.INI
for key in microdvdexe codecs microdvd mediaplayer; do
  check_program "path/$key" "$("$ini_tool" get "$settings" path "$key")"
done
filter=$("$ini_tool" get "$settings" path pathfilter)
[ -n "$filter" ] && check_program path/pathfilter "${filter}regsvr32"

printf '%s\0' "${args[@]}" >"$work/windows-face.args"
echo "$me: Windows face: $(cd "$face" && ls -A | grep -vx twins | tr '\n' ' ')at the root (from $face)"
[ ${#replaced[@]} -gt 0 ] && echo "$me: replaced by the Windows face: ${replaced[*]}"
[ ${#twins[@]} -gt 0 ] && echo "$me: Windows twins of the stand-ins: ${twins[*]}"
if [ ${#not_for_windows[@]} -gt 0 ]; then
  echo "$me: warning: on Windows these programs named in the settings file would not start from the disc:"
  printf '  %s\n' "${not_for_windows[@]}"
fi
exit 0
