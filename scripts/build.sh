#!/usr/bin/env bash
# Configures (CMakePresets.json's default: RelWithDebInfo, warnings as
# errors) and builds into build/ (or the folder given as $BUILD_DIR).
# Arguments go to the configure step; BUILD_TYPE overrides the build type.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake --preset default -B "$BUILD_DIR" ${BUILD_TYPE:+-DCMAKE_BUILD_TYPE=$BUILD_TYPE} "$@" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
