#!/usr/bin/env bash
# Makes the demo disc's image for the disc tests from this build's program:
# the disc_bundle target, then the image maker ./make-disc uses. With Qt for
# Windows (WINDOWS_QT, from scripts/build-windows-qt's cache) the program is
# also built for Windows in WINDOWS_BUILD and the image gets its Windows face;
# without it the image is Linux's alone, and this says so.
#
#   make-test-image.sh BUILD_DIR MAKE_IMAGE TREVLIN_INI SOURCE IMAGE [WINDOWS_QT WINDOWS_BUILD SOURCE_TREE]
set -uo pipefail
build=$1 make_image=$2 ini_tool=$3 source=$4 image=$5 windows_qt=${6:-} windows_build=${7:-} tree=${8:-}
cmake --build "$build" --target disc_bundle >"$build/disc-bundle.log" 2>&1 \
  || { tail -n 30 "$build/disc-bundle.log" >&2; echo "FAIL: the disc bundle could not be made" >&2; exit 1; }
face=()
if [ -n "$windows_qt" ]; then
  log=$build/windows-face.log
  started=$SECONDS
  # The same configuration as scripts/test-windows, which builds the rest of
  # that tree later: nothing is compiled twice.
  { (cd "$tree" && cmake -S . -B "$windows_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTREVLIN_WINDOWS_QT="$windows_qt") \
    && cmake --build "$windows_build" -j"$(nproc)" --target windows_face; } >"$log" 2>&1 \
    || { tail -n 30 "$log" >&2; echo "FAIL: the Windows face could not be built (log: $log)" >&2; exit 1; }
  echo "the Windows face built in $((SECONDS - started)) s in $windows_build"
  face=(--windows-face "$windows_build/windows-face")
else
  echo "NOTE: Qt for Windows is not in the cache: this image has no Windows face (scripts/build-windows-qt builds it)"
fi
mkdir -p "$(dirname "$image")"
bash "$make_image" "${face[@]}" "$build/disc-bundle" "$ini_tool" "$source" "$image" \
  || { echo "FAIL: the image could not be made" >&2; exit 1; }
