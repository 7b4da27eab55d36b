#!/usr/bin/env bash
# The main job: builds the plug-in and the reference host, then runs the host.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
exec build/envhost "$@"
