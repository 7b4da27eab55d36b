#!/usr/bin/env bash
# Cross-builds the plug-in for 32-bit Windows and checks its export table:
# exactly InitDLL and ExitDLL, undecorated, and no compiler runtime DLL.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v i686-w64-mingw32-g++ >/dev/null; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq g++-mingw-w64-i686 binutils-mingw-w64-i686 >/dev/null
fi
command -v ninja >/dev/null || scripts/deps.sh
cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
  -DENVSYS_WERROR=ON >/dev/null
cmake --build build-win -j"$(nproc)"
dump=$(i686-w64-mingw32-objdump -p build-win/EnvironmentSystem.dll)
exports=$(echo "$dump" | sed -n '/Ordinal\/Name Pointer/,/^$/p' | tail -n +2 | grep -oE '\] [A-Za-z_@0-9]+' | cut -c3- | sort | tr '\n' ' ')
imports=$(echo "$dump" | grep 'DLL Name:' | awk '{print $3}' | tr '\n' ' ')
echo "exports: $exports"
echo "imports: $imports"
if [ "$exports" != "ExitDLL InitDLL " ]; then
  echo "FAIL: the DLL must export exactly InitDLL and ExitDLL"; exit 1
fi
if echo "$imports" | grep -qiE 'libgcc|libstdc|winpthread'; then
  echo "FAIL: the DLL needs a compiler runtime DLL"; exit 1
fi
echo "windows export check: 1 passed, 0 failed"
