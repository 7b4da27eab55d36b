#!/usr/bin/env bash
# Builds everything and runs every test: the suite through ctest, then the
# preview page in headless Chromium (skipped, and said so, where Chromium
# is not installed; CI installs it).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j"$(nproc)"
scripts/browser-test.sh "${BUILD_DIR:-build}"
