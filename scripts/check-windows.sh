#!/usr/bin/env bash
# Cross-builds the plug-in and envcheck for 32-bit Windows (build-win) and
# checks their tables: the module exports exactly InitDLL and ExitDLL,
# undecorated, and the module and envcheck.exe import system DLLs only (no
# compiler runtime DLL). With --check DIR it checks an existing build folder
# instead (scripts/test-windows.sh does so for build-windows).
set -euo pipefail
cd "$(dirname "$0")/.."

build="${WINDOWS_CHECK_DIR:-build-win}"
if [ "${1:-}" = "--check" ]; then
  build="$2"
else
  if ! command -v i686-w64-mingw32-g++-posix >/dev/null; then
    SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq g++-mingw-w64-i686 binutils-mingw-w64-i686 >/dev/null
  fi
  { command -v ninja >/dev/null && [ -d /usr/include/CLI ]; } || scripts/deps.sh
  cmake --preset windows -B "$build" -DENVSYS_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" -j"$(nproc)"
fi

# The DLLs every Windows has; anything else would have to ship beside the file.
system_dlls='^(kernel32|msvcrt|user32|advapi32|shell32|ws2_32)\.dll$'
passed=0
failed=0
check_imports() {
  local file="$1" imports bad
  imports=$(i686-w64-mingw32-objdump -p "$file" | grep 'DLL Name:' | awk '{print $3}' | tr '\n' ' ')
  echo "$(basename "$file") imports: $imports"
  bad=$(for dll in $imports; do echo "$dll"; done | grep -viE "$system_dlls" | tr '\n' ' ' || true)
  if [ -n "$bad" ]; then
    echo "FAIL: $(basename "$file") needs DLLs that are not part of Windows: $bad"
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
}

dump=$(i686-w64-mingw32-objdump -p "$build/EnvironmentSystem.dll")
exports=$(echo "$dump" | sed -n '/Ordinal\/Name Pointer/,/^$/p' | tail -n +2 | grep -oE '\] [A-Za-z_@0-9]+' | cut -c3- | sort | tr '\n' ' ')
echo "EnvironmentSystem.dll exports: $exports"
if [ "$exports" != "ExitDLL InitDLL " ]; then
  echo "FAIL: the DLL must export exactly InitDLL and ExitDLL"
  failed=$((failed + 1))
else
  passed=$((passed + 1))
fi
check_imports "$build/EnvironmentSystem.dll"
check_imports "$build/envcheck.exe"
echo "windows export check: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
