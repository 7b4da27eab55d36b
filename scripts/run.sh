#!/usr/bin/env bash
# The main job: builds the plug-in, the reference host and the default
# environment into build/ (or $BUILD_DIR), then renders the default
# environment's day as a contact sheet, day.png in the folder the script was
# started from (one frame per hour). Extra arguments go to the day command
# (see build/envhost day --help).
set -euo pipefail
out="$PWD/day.png"
cd "$(dirname "$0")/.."
scripts/deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake --preset default -B "$BUILD_DIR" ${BUILD_TYPE:+-DCMAKE_BUILD_TYPE=$BUILD_TYPE} >/dev/null
cmake --build "$BUILD_DIR" --target envhost -j"$(nproc)"
exec "$BUILD_DIR"/envhost day --out "$out" "$@"
