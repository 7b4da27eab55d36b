#!/usr/bin/env bash
# Configures, builds and tests the option combinations the everyday build
# leaves out, each from its preset in CMakePresets.json into build-PRESET/
# (or $BUILD_PREFIX-PRESET): tools-off (the plug-in and the tests that need
# neither the host nor the tools) and tests-off (everything else, nothing
# to test). Other presets with a test suite may be named: asan, fuzz
# (clang), coverage. Prints each preset's time; the build's output is shown
# only when it fails.
#
#   scripts/check-options.sh                  # tools-off and tests-off
#   scripts/check-options.sh fuzz             # named presets only
#   BUILD_PREFIX=/tmp/opt scripts/check-options.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
prefix=${BUILD_PREFIX:-build}
jobs=${JOBS:-$(nproc)}
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(tools-off tests-off)
# As scripts/sanitize.sh runs them, for the sanitizer presets.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

log=$(mktemp)
trap 'rm -f "$log"' EXIT
for preset in "${presets[@]}"; do
  dir="$prefix-$preset"
  start=$SECONDS
  if ! { cmake --preset "$preset" -B "$dir" && cmake --build "$dir" -j"$jobs"; } >"$log" 2>&1; then
    tail -40 "$log" >&2
    echo "check-options: $preset does not build" >&2
    exit 1
  fi
  built=$((SECONDS - start))
  if grep -q '^ENVSYS_BUILD_TESTS:BOOL=ON' "$dir/CMakeCache.txt"; then
    ctest --test-dir "$dir" --output-on-failure -j"$jobs" >"$log" 2>&1 || { cat "$log" >&2; echo "check-options: $preset fails its tests" >&2; exit 1; }
    echo "== $preset: built in $built s, $(grep -o '[0-9]*% tests passed.*' "$log"), $((SECONDS - start)) s in all"
  else
    echo "== $preset: built in $built s, no tests"
  fi
done
