#!/usr/bin/env bash
# Line and branch coverage of the plug-in's sources (plugin/, config/,
# environment/, sky/, clouds/) by the test suite, measured with clang's
# source-based coverage: builds build-coverage, runs every test, and prints
# the totals per folder and for the plug-in as a whole.
#
#   scripts/coverage.sh             # per folder and total
#   scripts/coverage.sh --files     # also every file
#   scripts/coverage.sh --show FILE # the uncovered lines and branches of one file
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-coverage}
scripts/deps.sh
if ! command -v clang++ >/dev/null || ! command -v llvm-cov >/dev/null || ! command -v llvm-profdata >/dev/null; then
  sudo_=""
  [ "$(id -u)" -ne 0 ] && sudo_=sudo
  $sudo_ apt-get -o DPkg::Lock::Timeout=600 update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_ apt-get -o DPkg::Lock::Timeout=600 install -y -qq clang llvm >/dev/null
fi
# clang, Debug, -fprofile-instr-generate -fcoverage-mapping (CMakePresets.json).
cmake --preset coverage -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" >/dev/null
rm -rf "$BUILD_DIR/profiles"
mkdir -p "$BUILD_DIR/profiles"
# Coverage is measured whatever the suite says; a failing test is reported.
LLVM_PROFILE_FILE="$PWD/$BUILD_DIR/profiles/%p-%m.profraw" \
  ctest --test-dir "$BUILD_DIR" -j"$(nproc)" >"$BUILD_DIR/ctest.log" 2>&1 ||
  { echo "coverage: some tests failed (see $BUILD_DIR/ctest.log)"; grep -A20 "tests FAILED" "$BUILD_DIR/ctest.log" || true; }
llvm-profdata merge -sparse "$BUILD_DIR"/profiles/*.profraw -o "$BUILD_DIR/coverage.profdata"

# Every instrumented program that ran; the module is loaded by some tests
# with dlopen, the same code is linked statically into others.
objects=()
for f in "$BUILD_DIR"/envsys_tests "$BUILD_DIR"/EnvironmentSystem.so "$BUILD_DIR"/fuzz/envsys_replay_*; do
  [ -x "$f" ] || [ -f "$f" ] && objects+=(-object "$f")
done
first=${objects[1]}
sources=(plugin config environment sky clouds)
report=$(llvm-cov report "$first" "${objects[@]:2}" -instr-profile="$BUILD_DIR/coverage.profdata" \
  "${sources[@]/#/$PWD/}")

if [ "${1:-}" = "--show" ]; then
  llvm-cov show "$first" "${objects[@]:2}" -instr-profile="$BUILD_DIR/coverage.profdata" \
    -show-branches=count -show-line-counts-or-regions "$2" | grep -E "^ +[0-9]+\| +0\||Branch \(.*: 0\]|Branch \(.*\[True: 0|False: 0" || true
  exit 0
fi
[ "${1:-}" = "--files" ] && echo "$report"

# Columns of llvm-cov 14's report: file, regions, missed, cover, functions,
# missed, executed, lines, missed, cover, branches, missed, cover.
echo "$report" | awk -v root="$PWD/" '
  $1 ~ /^(\/.*\/)?(plugin|config|environment|sky|clouds)\// {
    f = $1; sub(root, "", f); split(f, parts, "/"); d = parts[1]
    lines[d] += $8; lmiss[d] += $9; br[d] += $11; bmiss[d] += $12
    L += $8; LM += $9; B += $11; BM += $12
  }
  END {
    printf "%-12s %8s %8s %8s %8s\n", "folder", "lines", "line %", "branches", "branch %"
    n = split("plugin config environment sky clouds", order, " ")
    for (i = 1; i <= n; ++i) if ((d = order[i]) in lines)
      printf "%-12s %8d %7.1f%% %8d %7.1f%%\n", d, lines[d], 100 * (lines[d] - lmiss[d]) / lines[d], br[d],
             br[d] ? 100 * (br[d] - bmiss[d]) / br[d] : 100
    printf "%-12s %8d %7.1f%% %8d %7.1f%%\n", "plug-in", L, 100 * (L - LM) / L, B, B ? 100 * (B - BM) / B : 100
  }'
