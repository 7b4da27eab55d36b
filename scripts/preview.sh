#!/usr/bin/env bash
# Builds envhost and serves the live preview of an Environment File
# (default: the default environment) on http://127.0.0.1:8765/.
# Arguments go to envhost serve: --env FILE, --port N, --bind ADDRESS.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null
exec "${BUILD_DIR:-build}/envhost" serve "$@"
