#!/usr/bin/env bash
# Runs every benchmark in one go: builds build-bench (Release), prints the
# machine, then the Google Benchmark program (the configuration library
# against inih and SimpleIni, the frames against a null-work host and their
# reference loop, loading, the atmosphere against its formulas, each with
# the median of REPS repetitions and the ratios at the end), instructions per
# key for the configuration parse and in-order lookup under callgrind, the
# reference host's frames per second at 960x540 with one drawing thread and
# with the default count, and its frames and day sheet by processor time.
#
#   scripts/bench.sh               # everything
#   REPS=10 scripts/bench.sh       # more repetitions
#   BUILD_DIR=/tmp/b scripts/bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-bench}
REPS=${REPS:-5}

if ! dpkg -s libbenchmark-dev libinih-dev libsimpleini-dev valgrind >/dev/null 2>&1; then
  sudo apt-get install -y libbenchmark-dev libinih-dev libsimpleini-dev valgrind
fi
cmake --preset bench -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR" --target envsys_bench envsys_config_driver envhost EnvironmentSystem default_environment

echo "== machine"
echo "nproc: $(nproc)"
grep -m1 "model name" /proc/cpuinfo || true
echo "load: $(uptime | sed 's/.*load average: //')"
echo

echo "== benchmarks (median of $REPS repetitions)"
"$BUILD_DIR"/envsys_bench --benchmark_repetitions="$REPS" --benchmark_report_aggregates_only=true \
  --benchmark_filter=-BM_HostFrame
echo

echo "== instructions per key (callgrind; 3000 keys)"
keys=3000
count() { # mode memory function
  valgrind --tool=callgrind --callgrind-out-file=/dev/null --toggle-collect="envsys::bench::$3*" \
    "$BUILD_DIR"/envsys_config_driver "$1" "$2" 2>&1 | sed -n 's/.*Collected : *\([0-9]*\).*/\1/p'
}
for memory in malloc arena; do
  parse=$(count parse "$memory" ParseDocument)
  lookup=$(count lookup "$memory" LookUpEveryKey)
  read=$(count read "$memory" ReadEveryKey)
  printf "  host MEM by %-6s parse %5d, in-order lookup %4d, typed read %4d per key\n" \
    "$memory" $((parse / keys)) $((lookup / keys)) $((read / keys))
done
echo

echo "== reference host, frames per second at 960x540, default environment at noon (median of $REPS; target 30)"
# A frame is the plug-in's four operations, the host's ground and the
# picture read back as RGBA, timed by the clock.
"$BUILD_DIR"/envsys_bench --benchmark_filter=BM_HostFrame --benchmark_repetitions="$REPS" \
  --benchmark_report_aggregates_only=true 2>&1 | sed 's/\x1b\[[0-9;]*m//g' |
  awk '/_median/ { for (i = 1; i <= NF; ++i) if ($i ~ /\/s$/) fps = $i
                   sub(/\/s$/, "", fps)
                   printf "  --threads %-3s %7.1f frames per second, %5.1f ms a frame\n", $NF, fps, $2 }'
echo

echo "== reference host, processor time of one core (user + system), 640x360"
out=$(mktemp -d)
TIMEFORMAT="%U %S"
host_time() { # label, envhost arguments...
  local label=$1
  shift
  local best=""
  for _ in 1 2 3; do
    local t
    t=$( { time "$BUILD_DIR"/envhost "$@" >/dev/null 2>&1; } 2>&1 | awk '{printf "%.3f", $1 + $2}')
    best="$best $t"
  done
  printf "  %-34s %s s (three runs)\n" "$label" "$best"
}
host_time "frame at noon" frame --time 12:00 --out "$out/noon.png"
host_time "frame at midnight" frame --time 00:00 --out "$out/midnight.png"
host_time "frame under the overcast" frame --time 12:00 --weather 3 --out "$out/overcast.png"
host_time "day sheet, 24 frames" day --out "$out/day.png"
"$BUILD_DIR"/envhost --stats day --out "$out/day.png" 2>&1 | tail -6
rm -rf "$out"
echo

echo "== preview latency at 960x540 (headless Chromium driving envhost serve; targets: slider median 100 ms, p95 250 ms; save 500 ms)"
# The page's own measurements from the browser test: a slider move to its
# picture on screen, and a save of the file to the new picture on screen.
scripts/browser-test.sh "$BUILD_DIR" 2>&1 | grep -E "MEASURE|SKIPPED" || true
