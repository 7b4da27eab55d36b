#!/usr/bin/env bash
# Builds the tests with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan (or $BUILD_DIR) and runs every test there. Any report of either
# sanitizer fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
BUILD_DIR=${BUILD_DIR:-build-asan}
cmake --preset asan -B "$BUILD_DIR" ${BUILD_TYPE:+-DCMAKE_BUILD_TYPE=$BUILD_TYPE} >/dev/null
# The test binary, and the corpus replays that ctest also runs when they exist.
targets=(envsys_tests)
while read -r target; do
  targets+=("$target")
done < <(cmake --build "$BUILD_DIR" --target help | sed -n 's/^\(envsys_replay_[A-Za-z0-9_]*\):.*/\1/p')
cmake --build "$BUILD_DIR" --target "${targets[@]}" -j"$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)"
