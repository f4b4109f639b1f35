#!/usr/bin/env bash
# The disc bundle, checked file by file without running it:
#  - every ELF file has the RUNPATH that leads from where it lies to .trevlin/lib;
#  - every library it needs is carried in .trevlin/lib, or is one the
#    system provides (system-libraries.txt), and nothing of the system's is carried;
#  - what small systems lack is carried (libOpenGL, PulseAudio, gpg-error, HarfBuzz), and
#    the disc's stand-ins in place of Debian's libsndfile and Kerberos GSS-API;
#  - no file needs a GLIBC or GLIBCXX symbol newer than the floor the README states;
#  - the licences of the Debian packages carried are there, and the disc's
#    own FFmpeg's (LGPL, with nothing of the GPL carried);
#  - the GStreamer carried plays what the README says discs may hold: the
#    movies given, and a clip of each other codec this machine can encode
#    (make-clips.sh).
#
#   check-bundle.sh BUNDLE SYSTEM_LIBRARIES GLIBC_FLOOR GLIBCXX_FLOOR README MOVIE...
set -uo pipefail
bundle=$1 system_list=$2 glibc_floor=$3 glibcxx_floor=$4 readme=$5
shift 5
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

[ -x "$bundle/trevlin" ] || { echo "FAIL: no bundle at $bundle" >&2; exit 1; }
command -v readelf >/dev/null || { echo "FAIL: readelf is not installed" >&2; exit 1; }
system_regex=$(grep -v -e '^#' -e '^$' "$system_list" | paste -sd'|')
lib=$bundle/.trevlin/lib

# Where a file lies says which RUNPATH it needs.
expected_runpath() {
  case ${1#"$bundle"/} in
    .trevlin/lib/*) echo '$ORIGIN' ;;
    .trevlin/plugins/*/*) echo '$ORIGIN/../../lib' ;;
    .trevlin/gstreamer-1.0/* | .trevlin/libexec/*) echo '$ORIGIN/../lib' ;;
    */*) echo "(nothing: $1 is not where ELF files go)" ;;
    *) echo '$ORIGIN/.trevlin/lib' ;;
  esac
}

elf_count=0
newest_glibc=0 newest_glibcxx=0
while IFS= read -r -d '' file; do
  [ "$(head -c 4 "$file" | od -An -c | tr -d ' ')" = '177ELF' ] || continue
  elf_count=$((elf_count + 1))
  dynamic=$(readelf -d "$file")
  runpath=$(sed -n 's/.*(RUNPATH).*\[\(.*\)\]$/\1/p' <<<"$dynamic")
  want=$(expected_runpath "$file")
  [ "$runpath" = "$want" ] || fail "${file#"$bundle"/}: RUNPATH '$runpath', wanted '$want'"
  grep -q '(RPATH)' <<<"$dynamic" && fail "${file#"$bundle"/}: has an RPATH, which would outrank LD_LIBRARY_PATH"
  while IFS= read -r needed; do
    if [ -f "$lib/$needed" ]; then
      continue
    elif grep -qE "$system_regex" <<<"$needed"; then
      continue
    fi
    fail "${file#"$bundle"/} needs $needed, which is neither carried nor the system's"
  done < <(sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p' <<<"$dynamic")
  versions=$(readelf -V --wide "$file" 2>/dev/null | grep -oE 'Name: GLIBC(XX)?_[0-9.]+' | sort -u)
  while read -r _ version; do
    [ -n "$version" ] || continue
    case $version in
      GLIBC_*) floor=$glibc_floor number=${version#GLIBC_} ;;
      GLIBCXX_*) floor=$glibcxx_floor number=${version#GLIBCXX_} ;;
    esac
    if [ "$(printf '%s\n%s\n' "$number" "$floor" | sort -V | tail -n 1)" != "$floor" ]; then
      fail "${file#"$bundle"/} needs $version, above the floor $floor"
    fi
  done <<<"$versions"
done < <(find "$bundle" -type f -print0)
[ "$elf_count" -gt 100 ] || fail "only $elf_count ELF files in the bundle"

for carried in "$lib"/*; do
  name=$(basename "$carried")
  grep -qE "$system_regex" <<<"$name" && fail "$name is the system's but is carried"
done
for name in libOpenGL.so.0 libpulse.so.0 libgpg-error.so.0 libharfbuzz.so.0 \
            libQt6Core.so.6 libgstreamer-1.0.so.0 libavcodec.so.59; do
  [ -f "$lib/$name" ] || fail "$name is not carried"
done
# The stand-ins, in place of Debian's libraries of those names, which would
# bring Kerberos and libsndfile's codecs.
for name in libsndfile.so.1 libgssapi_krb5.so.2; do
  [ -f "$lib/$name" ] || fail "$name is not carried"
  readelf -d "$lib/$name" | grep -qE '\(NEEDED\).*\[lib(krb5|k5crypto|FLAC|vorbisenc|mpg123|mp3lame)' \
    && fail "$name is Debian's, not the disc's stand-in"
done
for name in libkrb5.so.3 libk5crypto.so.3 libFLAC.so.12 libmpg123.so.0 libmp3lame.so.0; do
  [ -f "$lib/$name" ] && fail "$name is carried, though only Debian's libraries the stand-ins replace need it"
done

licenses=$bundle/.trevlin/licenses
[ -s "$licenses/PACKAGES" ] || fail "no list of the Debian packages carried"
packages=(libqt6core6 gstreamer1.0-libav)
if [ -d "$licenses/ffmpeg" ]; then
  # The disc's own FFmpeg: its licence, and none of the GPL or outside
  # libraries Debian's brings.
  for file in copyright COPYING.LGPLv2.1 CONFIGURE; do
    [ -s "$licenses/ffmpeg/$file" ] || fail "the disc's FFmpeg's $file is not carried"
  done
  grep -q 'LGPL version 2.1 or later' "$licenses/PACKAGES" || fail "PACKAGES does not give the disc's FFmpeg's licence"
  grep -q -- '--disable-everything' "$licenses/ffmpeg/CONFIGURE" || fail "the disc's FFmpeg was not built with only what discs play"
  for name in libx264 libx265 libpostproc libaom libcodec2 libflite librsvg liblapack libgfortran libgnutls libplacebo libSvtAv1 librav1e; do
    ls "$lib/$name"* >/dev/null 2>&1 && fail "$name is carried: the disc's FFmpeg should need nothing of it"
  done
else
  packages+=(libavcodec59)
fi
for package in "${packages[@]}"; do
  grep -q "^$package " "$licenses/PACKAGES" 2>/dev/null || fail "$package is not in the list of packages carried"
  [ -s "$licenses/$package/copyright" ] || fail "$package's copyright file is not carried"
done

grep -q "glibc $glibc_floor" "$readme" || fail "the README does not state the glibc floor $glibc_floor"
grep -q "GLIBCXX $glibcxx_floor" "$readme" || fail "the README does not state the GLIBCXX floor $glibcxx_floor"

# Each movie decoded to its end, picture and sound, by the GStreamer carried
# and nothing else: the system's gst-launch with the bundle's libraries and
# plugins. A stream nothing can decode never reaches its sink, and the
# pipeline does not start.
command -v gst-launch-1.0 >/dev/null || { echo "FAIL: gst-launch-1.0 is not installed" >&2; exit 1; }
registry=$(mktemp)
clips=$(mktemp -d)
trap 'rm -rf "$registry" "$clips"' EXIT
made=$(bash "$(dirname -- "$0")/make-clips.sh" "$clips") || fail "the clips of the other codecs could not all be made"
mapfile -t made <<<"$made"
played=()
for movie in "$@" "${made[@]}"; do
  [ -n "$movie" ] || continue
  log=$(env -i PATH=/usr/bin:/bin LD_LIBRARY_PATH="$lib" \
        GST_PLUGIN_SYSTEM_PATH_1_0="$bundle/.trevlin/gstreamer-1.0" \
        GST_REGISTRY_FORK=no GST_REGISTRY_1_0="$registry" \
        timeout 60 gst-launch-1.0 uridecodebin uri="file://$(readlink -f "$movie")" name=d \
        d. ! video/x-raw ! fakesink sync=false d. ! audio/x-raw ! fakesink sync=false 2>&1)
  if grep -q 'Got EOS' <<<"$log" && ! grep -q '^ERROR' <<<"$log"; then
    played+=("$(basename "$movie")")
  else
    fail "$(basename "$movie") does not play: $(grep -m 3 -e ERROR -e WARNING <<<"$log")"
  fi
done

[ "$failures" -eq 0 ] || exit 1
echo "ok - $elf_count ELF files: RUNPATHs, needed libraries, glibc $glibc_floor / GLIBCXX $glibcxx_floor, licences"
echo "ok - the bundle's GStreamer plays ${played[*]}"
