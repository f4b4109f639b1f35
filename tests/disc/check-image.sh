#!/usr/bin/env bash
# The demo disc's image, read without mounting it:
#  - Rock Ridge: the program, autorun.sh and the disc's scripts are
#    executable; the settings file, autorun.inf, the volume info and the
#    registry of the disc's GStreamer plugins are there, readable by all;
#  - Joliet (what Windows lists) holds the disc's own files and none of the
#    Linux-only ones;
#  - the bundle is compressed, and nothing Windows reads is;
#  - the disc's files come out of the image exactly as they went in;
#  - autorun.inf and .xdg-volume-info name the disc by its title, and so do
#    the ISO 9660 volume name (32 characters at most);
#  - with its Windows face (FACE_FOLDER given): the Joliet root holds only the
#    disc's own files, trevlin.exe, autorun.inf (which starts trevlin.exe with
#    its icon) and the program's folder, in which every library a program
#    imports is carried (or Windows' own), all stripped; the stand-ins' twins
#    lie beside them; none of it is in the Rock Ridge tree.
#
#   check-image.sh IMAGE SOURCE_FOLDER [FACE_FOLDER]
set -uo pipefail
image=$1 source=$2 face=${3:-}
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
for tool in xorriso osirrox isoinfo; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed" >&2; exit 1; }
done
[ -f "$image" ] || { echo "FAIL: no image at $image" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Modes and names as Linux sees them (Rock Ridge).
xorriso -indev "$image" -find / -exec lsdl -- 2>/dev/null >"$work/lsdl"
mode_of() { awk -v p="'$1'" '$NF == p {print $1}' "$work/lsdl"; }
for executable in /trevlin /autorun.sh \
                  /player/play-movie /installers/demo-install /filters/regsvr32; do
  case $(mode_of "$executable") in
    -r-xr-xr-x) ;;
    '') fail "$executable is not in the image" ;;
    *) fail "$executable is $(mode_of "$executable"), not executable by all" ;;
  esac
done
for plain in /trevlin.INI /autorun.inf /.xdg-volume-info /trevlin.ico /qt.conf /logo.avi /.trevlin/gstreamer-1.0.registry; do
  [ "$(mode_of "$plain")" = "-r--r--r--" ] || fail "$plain is '$(mode_of "$plain")', not a file readable by all"
done
isoinfo -d -i "$image" | grep -q 'Rock Ridge' || fail "the image has no Rock Ridge"

# What Windows lists.
isoinfo -J -f -i "$image" >"$work/joliet" 2>/dev/null || fail "the image has no Joliet tree"
for linux_only in /trevlin /qt.conf /autorun.sh /.xdg-volume-info /.trevlin; do
  grep -qx -e "$linux_only" -e "$linux_only/.*" "$work/joliet" && fail "$linux_only is in the Joliet tree"
done
shown_icon=/trevlin.ico
[ -n "$face" ] && shown_icon=
for shown in /trevlin.INI /autorun.inf $shown_icon /logo.avi /player/play-movie; do
  grep -qx "$shown" "$work/joliet" || fail "$shown is missing from the Joliet tree"
done

# Compression: the bundle's libraries, and never a file Windows reads.
xorriso -indev "$image" -find / -type f -has_filter 2>/dev/null >"$work/filtered"
grep -q "^'/.trevlin/lib/libQt6Core.so.6'$" "$work/filtered" || fail "the bundle's libraries are not compressed"
outside=$(grep -v "^'/.trevlin/" "$work/filtered")
[ -z "$outside" ] || fail "compressed outside the bundle: $outside"

# The disc's files, extracted, are the source folder's.
extract=()
for entry in "$source"/* "$source"/.[!.]*; do
  [ -e "$entry" ] || continue
  name=$(basename "$entry")
  extract+=(-extract "/$name" "$work/out/$name")
done
extract+=(-extract /autorun.inf "$work/out/autorun.inf" -extract /.xdg-volume-info "$work/out/.xdg-volume-info")
osirrox -indev "$image" "${extract[@]}" >/dev/null 2>&1 || fail "the disc's files cannot be extracted"
diff -r -x autorun.inf -x .xdg-volume-info "$source" "$work/out" >"$work/diff" \
  || fail "the disc's files differ from the source folder: $(head -n 5 "$work/diff")"

title=$(grep -i '^title=' "$source/trevlin.INI" | head -n 1 | cut -d= -f2- | tr -d '\r')
if [ -n "$face" ]; then
  printf '[autorun]\r\nopen=trevlin.exe\r\nlabel=%s\r\nicon=trevlin.exe\r\n' "$title" | cmp -s - "$work/out/autorun.inf" \
    || fail "autorun.inf is not [autorun] open=trevlin.exe label=$title icon=trevlin.exe: $(cat -A "$work/out/autorun.inf")"
else
  printf '[autorun]\r\nlabel=%s\r\nicon=trevlin.ico\r\n' "$title" | cmp -s - "$work/out/autorun.inf" \
    || fail "autorun.inf is not [autorun] label=$title icon=trevlin.ico: $(cat -A "$work/out/autorun.inf")"
fi
printf '[Volume Info]\nName=%s\nIconFile=trevlin.ico\n' "$title" | cmp -s - "$work/out/.xdg-volume-info" \
  || fail ".xdg-volume-info does not name the disc $title: $(cat "$work/out/.xdg-volume-info")"

isoinfo -d -i "$image" | grep -qx "Volume id: ${title:0:32}" \
  || fail "the ISO 9660 volume name is not '${title:0:32}': $(isoinfo -d -i "$image" | grep 'Volume id')"
[ "$(xorriso -indev "$image" -pvd_info 2>/dev/null | sed -n 's/^Volume Id *: //p')" = "${title:0:32}" ] \
  || fail "xorriso does not read the volume name as '${title:0:32}'"

# The Windows face, as Windows lists and reads it (the Joliet tree).
if [ -n "$face" ]; then
  program_folder=$(cd "$face" && ls -A | grep -vx -e twins -e trevlin.exe)
  expected=$( { (cd "$source" && ls -A); echo trevlin.exe; echo autorun.inf; echo "$program_folder"; } | sort -u)
  actual=$(sed -n 's|^/\([^/]*\)$|\1|p' "$work/joliet" | sort)
  [ "$actual" = "$expected" ] \
    || fail "the Joliet root is not the disc's files, trevlin.exe, autorun.inf and $program_folder: $(diff <(echo "$expected") <(echo "$actual") | grep '^[<>]' | tr '\n' ' ')"
  osirrox -read_fs norock -indev "$image" -extract / "$work/joliet-tree" >/dev/null 2>&1 \
    || fail "the Joliet tree cannot be extracted"
  windows=$work/joliet-tree
  for file in trevlin.exe "$program_folder/trevlin.exe" "$program_folder/platforms/qwindows.dll" \
              "$program_folder/multimedia/windowsmediaplugin.dll" "$program_folder/imageformats/qjpeg.dll" \
              "$program_folder/Qt6Core.dll" "$program_folder/libstdc++-6.dll" \
              player/play-movie.exe installers/demo-install.exe filters/regsvr32.exe; do
    [ -f "$windows/$file" ] || fail "$file is not in the Joliet tree"
  done
  cmp -s "$face/trevlin.exe" "$windows/trevlin.exe" || fail "the Joliet tree's trevlin.exe is not the starter"
  # Every library a program or plugin imports is carried, or Windows' own.
  system=$(grep -v '^#' "$(dirname "$0")/../../packaging/windows/system-dlls.txt" | tr 'A-Z' 'a-z')
  while IFS= read -r -d '' pe; do
    x86_64-w64-mingw32-objdump -h "$pe" | grep -q '\.debug_' && fail "${pe#"$windows/"} is not stripped"
    for dll in $(x86_64-w64-mingw32-objdump -p "$pe" | sed -n 's/^\s*DLL Name: //p'); do
      lower=${dll,,}
      [[ $lower == api-ms-win-* ]] && continue
      grep -qxF "$lower" <<<"$system" && continue
      [ -n "$(find "$windows/$program_folder" -maxdepth 1 -iname "$dll" -print -quit)" ] \
        || fail "${pe#"$windows/"} needs $dll, which is neither on the disc nor Windows' own"
    done
  done < <(find "$windows/$program_folder" "$windows/trevlin.exe" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0)
  # Linux sees none of it.
  for windows_only in /trevlin.exe "/$program_folder" /player/play-movie.exe /installers/demo-install.exe; do
    [ -z "$(mode_of "$windows_only")" ] || fail "$windows_only is in the Rock Ridge tree, which Linux shows"
  done
  [ -n "$(mode_of /trevlin.ico)" ] || fail "trevlin.ico, the Linux desktops' icon, is not in the Rock Ridge tree"
fi

[ "$failures" -eq 0 ] || exit 1
echo "ok - $image: modes, Joliet, compression, the disc's files and its name${face:+, the Windows face}"
