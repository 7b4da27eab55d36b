#!/usr/bin/env bash
# Runs the preview page's browser test (tests/browser/preview_test.py)
# against a build: `envhost serve` on a copy of the default environment,
# driven by headless Chromium.
#
#   scripts/browser-test.sh [--install] [BUILD_DIR] [test options...]
#
# Chromium, its driver and Selenium come from Debian. They are installed
# with apt-get when missing only with --install or when CI=true; otherwise
# the test is skipped with a note, so a machine without a browser still
# passes the rest of the suite.
set -euo pipefail
cd "$(dirname "$0")/.."

install=0
if [ "${1:-}" = "--install" ]; then
  install=1
  shift
fi
[ "${CI:-}" = "true" ] && install=1
build=${1:-${BUILD_DIR:-build}}
[ $# -gt 0 ] && shift

packages=(chromium chromium-driver python3-selenium)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  if [ "$install" -eq 0 ]; then
    if [ ! -x /usr/bin/chromium ]; then
      echo "browser test SKIPPED: chromium not installed (scripts/browser-test.sh --install)"
    else
      echo "browser test SKIPPED: ${missing[*]} not installed (scripts/browser-test.sh --install)"
    fi
    exit 0
  fi
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  # Other installs may hold the dpkg lock for a while; wait for it.
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq "${missing[@]}" >/dev/null
fi

if [ ! -x "$build/envhost" ]; then
  echo "browser test: $build/envhost not found; build first (scripts/build.sh, or BUILD_DIR=$build scripts/build.sh)" >&2
  exit 2
fi
# Debian's python3 has python3-selenium; a python3 earlier on PATH may not.
exec /usr/bin/python3 tests/browser/preview_test.py "$build" "$@"
