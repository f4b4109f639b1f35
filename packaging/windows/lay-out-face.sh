#!/usr/bin/env bash
# Lays out the disc's Windows face from a Windows build: what make-image.sh
# puts into the image's Joliet tree beside the disc's files.
#
#   lay-out-face.sh OUTPUT STARTER PROGRAM QT_PREFIX FOLDER [MODULE...] -- [TWIN LINUX_FILE REL]...
#
#   OUTPUT/trevlin.exe              the starter (STARTER)
#   OUTPUT/FOLDER/trevlin.exe       the program (PROGRAM), its modules (MODULE...),
#   OUTPUT/FOLDER/*.dll             the Qt and mingw runtime libraries they need,
#   OUTPUT/FOLDER/<type>/*.dll      Qt's plugins in their folders,
#   OUTPUT/FOLDER/qt.conf           Qt's plugins are beside the program,
#   OUTPUT/FOLDER/licenses/         the copyright files of what is carried
#   OUTPUT/twins/REL.exe, REL       each stand-in's Windows twin beside the
#                                   Linux stand-in it twins (make-image.sh adds a
#                                   twin where the disc has that very file)
#
# Every library a carried file imports is carried, unless it is one of
# Windows' own (system-dlls.txt); one that is neither fails the layout.
# Everything is stripped. The folder is made beside OUTPUT and takes its
# place only when complete.
set -euo pipefail
shopt -s nullglob
here=$(cd -- "$(dirname -- "$0")" && pwd)
mingw=x86_64-w64-mingw32
objdump=$mingw-objdump
strip=$mingw-strip

[ $# -ge 5 ] || { echo "usage: lay-out-face.sh OUTPUT STARTER PROGRAM QT_PREFIX FOLDER [MODULE...] -- [TWIN LINUX_FILE REL]..." >&2; exit 2; }
output=$1 starter=$2 program=$3 qt=$4 folder=$5
shift 5
modules=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do modules+=("$1"); shift; done
[ $# -gt 0 ] && shift
fail() { echo "lay-out-face: $*" >&2; exit 1; }

# Qt's plugins the program uses: the Windows platform, the picture formats
# covers come in (BMP and PNG are built into Qt), Media Foundation for the
# internal player, and the Windows style when Qt has it as a plugin.
plugins=(platforms/qwindows.dll imageformats/qjpeg.dll imageformats/qgif.dll imageformats/qico.dll
         multimedia/windowsmediaplugin.dll)
optional_plugins=(styles/qwindowsvistastyle.dll)
# Where the libraries come from: the program's own folder (the program's
# libraries), Qt's, then the compiler's runtime.
library_dirs=("$(dirname -- "$program")" "$qt/bin" /usr/lib/gcc/$mingw/12-posix /usr/$mingw/lib)

new=$output.new
rm -rf -- "$new"
mkdir -p -- "$new/$folder/licenses" "$new/twins"
cp -- "$starter" "$new/trevlin.exe"
cp -- "$program" "$new/$folder/trevlin.exe"
for module in "${modules[@]}"; do cp -- "$module" "$new/$folder/"; done
for plugin in "${plugins[@]}"; do
  [ -f "$qt/plugins/$plugin" ] || fail "Qt's plugin $plugin is missing from $qt"
  mkdir -p -- "$new/$folder/$(dirname "$plugin")"
  cp -- "$qt/plugins/$plugin" "$new/$folder/$plugin"
done
for plugin in "${optional_plugins[@]}"; do
  [ -f "$qt/plugins/$plugin" ] || continue
  mkdir -p -- "$new/$folder/$(dirname "$plugin")"
  cp -- "$qt/plugins/$plugin" "$new/$folder/$plugin"
done
# Qt looks for its plugins in the program's folder; the prefix it was built
# with must never be looked at (under Wine it would be found).
printf '[Paths]\r\nPrefix=.\r\nPlugins=.\r\n' >"$new/$folder/qt.conf"

system=$(grep -v '^#' "$here/system-dlls.txt" | tr 'A-Z' 'a-z')
is_system() { grep -qxF -- "$(printf '%s' "$1" | tr 'A-Z' 'a-z')" <<<"$system" || [[ ${1,,} == api-ms-win-* ]]; }
find_library() {
  local dir file
  for dir in "${library_dirs[@]}"; do
    file=$(find "$dir" -maxdepth 1 -iname "$1" -print -quit 2>/dev/null)
    [ -n "$file" ] && { printf '%s' "$file"; return 0; }
  done
  return 1
}
# Walks the imports of everything carried until nothing new is needed.
unknown=()
queue=("$new/trevlin.exe" "$new/$folder"/*.exe "$new/$folder"/*.dll "$new/$folder"/*/*.dll)
declare -A seen=()
while [ ${#queue[@]} -gt 0 ]; do
  file=${queue[0]}
  queue=("${queue[@]:1}")
  while read -r name; do
    key=${name,,}
    [ -n "${seen[$key]:-}" ] && continue
    seen[$key]=1
    [ -e "$new/$folder/$name" ] && continue
    if library=$(find_library "$name"); then
      cp -- "$library" "$new/$folder/$name"
      queue+=("$new/$folder/$name")
    elif ! is_system "$name"; then
      unknown+=("$name (needed by $(basename "$file"))")
    fi
  done < <("$objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p')
done
[ ${#unknown[@]} -eq 0 ] || fail "these libraries are neither carried nor Windows' own (system-dlls.txt): ${unknown[*]}"

find "$new" -type f \( -iname '*.exe' -o -iname '*.dll' \) -exec "$strip" --strip-unneeded {} +

# The licences of what is carried: Qt (LGPL 3), the C++ and GCC runtime (GPL
# with the runtime library exception) and winpthreads (MIT).
for package in libqt6core6 libqt6multimedia6 gcc-mingw-w64-base mingw-w64-common; do
  [ -f "/usr/share/doc/$package/copyright" ] || fail "the copyright file of $package is missing"
  cp -- "/usr/share/doc/$package/copyright" "$new/$folder/licenses/$package.txt"
done

# The stand-ins' twins: TWIN becomes twins/REL.exe beside LINUX_FILE as twins/REL.
while [ $# -ge 3 ]; do
  twin=$1 linux=$2 rel=$3
  shift 3
  mkdir -p -- "$new/twins/$(dirname "$rel")"
  cp -- "$linux" "$new/twins/$rel"
  cp -- "$twin" "$new/twins/$rel.exe"
  "$strip" --strip-unneeded "$new/twins/$rel.exe"
done
[ $# -eq 0 ] || fail "a twin needs its file, the Linux stand-in and its place on the disc"

rm -rf -- "$output"
mv -- "$new" "$output"
echo "lay-out-face: $output: $(du -sh --apparent-size "$output/$folder" | cut -f1) in $folder"
