#!/usr/bin/env bash
# The 32-bit Windows build, proven by running it: cross-builds the module,
# envcheck.exe and the portable test suite with mingw-w64 (build-windows),
# checks what the module and envcheck.exe export and import, runs the suite
# and envcheck's tests under Wine, and makes the Windows .zip with CPack.
#
#   scripts/test-windows.sh [--install] [--linux-build DIR]
#
# --install (or CI=true) installs what is missing with apt-get: mingw-w64,
# and Wine with its 32-bit half (the i386 architecture is added for it).
# The default environment's textures and star data file are made by Linux
# tools: they are taken from DIR/data/default (default: build, or
# $LINUX_BUILD_DIR), which is built there first when it is missing.
# Exits non-zero when any stage fails; prints the time of each stage.
set -euo pipefail
cd "$(dirname "$0")/.."

install=false
[ "${CI:-}" = "true" ] && install=true
linux_build="${LINUX_BUILD_DIR:-build}"
build="${WINDOWS_BUILD_DIR:-build-windows}"
while [ $# -gt 0 ]; do
  case "$1" in
    --install) install=true ;;
    --linux-build) linux_build="$2"; shift ;;
    *) echo "usage: $0 [--install] [--linux-build DIR]" >&2; exit 2 ;;
  esac
  shift
done

started=$(date +%s)
stage_start=$started
stage() {
  local now; now=$(date +%s)
  echo "== $1 ($((now - stage_start)) s)"
  stage_start=$now
}

# apt-get, waiting while another apt-get or dpkg holds the lock.
apt_retry() {
  local tries=0
  until DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 -qq "$@"; do
    tries=$((tries + 1))
    [ $tries -ge 10 ] && return 1
    echo "apt-get $1 failed; trying again in 15 s"
    sleep 15
  done
}

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
have_tools() { command -v i686-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null && [ -d /usr/lib/i386-linux-gnu/wine ]; }
if ! have_tools; then
  if ! $install; then
    echo "mingw-w64 or Wine (32-bit) is missing: run with --install" >&2
    exit 1
  fi
  dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
  apt_retry update
  apt_retry install -y wine wine32 mingw-w64 >/dev/null
fi
command -v ninja >/dev/null && [ -d /usr/src/googletest ] && [ -d /usr/include/CLI ] || scripts/deps.sh
stage "tools installed"

# The default environment from a Linux build.
if [ ! -f "$linux_build/data/default/stars.dat" ]; then
  [ -f "$linux_build/CMakeCache.txt" ] || cmake --preset default -B "$linux_build" >/dev/null
  cmake --build "$linux_build" -j"$(nproc)" --target default_environment
fi
default_env="$(cd "$linux_build/data/default" && pwd)"
stage "default environment from $linux_build"

cmake --preset windows -B "$build" -DENVSYS_DEFAULT_ENVIRONMENT_DIR="$default_env" \
  -DCMAKE_CROSSCOMPILING_EMULATOR=wine >/dev/null
cmake --build "$build" -j"$(nproc)"
stage "cross build"

scripts/check-windows.sh --check "$build"
stage "export and import check"

# Wine in a prefix of its own, removed at the end; no Mono or Gecko wanted.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX="$(mktemp -d /tmp/envsys-wine.XXXXXX)"
export WINEPREFIX
cleanup() { wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"; }
trap cleanup EXIT
wineboot --init >/dev/null 2>&1 || true
stage "Wine prefix"

ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 600
stage "tests under Wine"

rm -f "$build"/envsys-*.zip
(cd "$build" && cpack -G ZIP >/dev/null)
zip_file=$(ls "$build"/envsys-*.zip)
listing=$(python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip_file")
for expected in /bin/EnvironmentSystem.dll /bin/envcheck.exe /include/envsys/EnvironmentSystemInterface.h \
                /share/envsys/default/environment.ini /share/envsys/default/materials.ini \
                /share/envsys/default/stars.dat /share/envsys/default/textures/; do
  if ! echo "$listing" | grep -q -- "$expected"; then
    echo "FAIL: $zip_file holds no $expected"; exit 1
  fi
done
# The package as a user gets it: unpacked, its envcheck.exe finds its default
# environment clean.
unpacked="$(mktemp -d /tmp/envsys-zip.XXXXXX)"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip_file" "$unpacked"
top="$unpacked/$(basename "$zip_file" .zip)"
if ! (cd "$top" && wine bin/envcheck.exe --root share/envsys/default environment.ini); then
  echo "FAIL: envcheck.exe of the package does not find its default environment clean"; exit 1
fi
rm -rf "$unpacked"
echo "package: $zip_file ($(du -k "$zip_file" | cut -f1) KiB, $(echo "$listing" | grep -vc '/$') files)"
stage "Windows package"

echo "windows suite: done in $(($(date +%s) - started)) s"
