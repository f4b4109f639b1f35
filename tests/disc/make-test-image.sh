#!/usr/bin/env bash
# Makes the demo disc's image for the disc tests from this build's program:
# the disc_bundle target, then the image maker ./make-disc uses.
#
#   make-test-image.sh BUILD_DIR MAKE_IMAGE TREVLIN_INI SOURCE IMAGE
set -uo pipefail
build=$1 make_image=$2 ini_tool=$3 source=$4 image=$5
cmake --build "$build" --target disc_bundle >"$build/disc-bundle.log" 2>&1 \
  || { tail -n 30 "$build/disc-bundle.log" >&2; echo "FAIL: the disc bundle could not be made" >&2; exit 1; }
mkdir -p "$(dirname "$image")"
bash "$make_image" "$build/disc-bundle" "$ini_tool" "$source" "$image" \
  || { echo "FAIL: the image could not be made" >&2; exit 1; }
