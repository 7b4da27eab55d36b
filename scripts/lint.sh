#!/usr/bin/env bash
# The layout and static checks every source must pass: clang-format's
# layout (.clang-format) on every C++ file git tracks, and clang-tidy's
# checks (.clang-tidy) on every source in a build's compile database.
#
#   scripts/lint.sh [BUILD_DIR]     # both; BUILD_DIR has compile_commands.json (default build)
#   scripts/lint.sh --format        # the layout only, fixed in place with --fix
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in clang-format clang-tidy; do
  command -v "$tool" >/dev/null || { s=""; [ "$(id -u)" -ne 0 ] && s=sudo; $s apt-get install -y -qq "$tool" >/dev/null; }
done
mapfile -t files < <(git ls-files '*.cpp' '*.h')

if [ "${1:-}" = "--format" ]; then
  [ "${2:-}" = "--fix" ] && exec clang-format -i "${files[@]}"
  exec clang-format --dry-run --Werror "${files[@]}"
fi

echo "== clang-format: ${#files[@]} files"
clang-format --dry-run --Werror "${files[@]}"

build=${1:-${BUILD_DIR:-build}}
[ -f "$build/compile_commands.json" ] || { echo "lint: no $build/compile_commands.json; build first" >&2; exit 2; }
# The sources this build compiles (the example is built against an installed
# SDK, a fuzz entry only by the fuzz build).
mapfile -t sources < <(git ls-files '*.cpp' | python3 -c '
import json, os, sys
built = {os.path.realpath(e["file"]) for e in json.load(open(sys.argv[1]))}
for name in sys.stdin.read().split():
    if os.path.realpath(name) in built:
        print(name)' "$build/compile_commands.json")
echo "== clang-tidy: ${#sources[@]} sources"
out=$(mktemp)
printf '%s\n' "${sources[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet >"$out" 2>/dev/null || true
if grep -q "warning:\|error:" "$out"; then
  grep -A3 "warning:\|error:" "$out"
  echo "clang-tidy: $(grep -c 'warning:\|error:' "$out") findings"
  rm -f "$out"
  exit 1
fi
rm -f "$out"
echo "clang-tidy: clean"
