#!/usr/bin/env bash
# The four fuzz targets (configuration library, whole load, star data file,
# envcheck) built with clang's libFuzzer, address and undefined-behaviour
# sanitizers in build-fuzz/ (the fuzz preset).
#
#   scripts/fuzz.sh speed [SECONDS]     # each target on a copy of its corpus, one core: exec/s
#   scripts/fuzz.sh run SECONDS [NAME]  # fuzz for SECONDS each, then minimize into fuzz/corpus/NAME
#
# A run works in build-fuzz/runs/NAME (the corpus grows there) and ends by
# merging it into a fresh copy of the hand-written seeds and the kept
# findings (files not named by libFuzzer's SHA-1), so fuzz/corpus/NAME holds
# them plus the smallest set of found inputs that covers the same features.
# Crashes land in build-fuzz/runs/NAME/crash-*; keep each one, fixed, as a
# found-* file in fuzz/corpus/NAME. The ordinary suite replays every corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-fuzz}
TARGETS=(config load_environment star_file envcheck)
# Environment Files and the checker's inputs are a few KiB; star files
# grow by 16-byte records.
max_len() { case "$1" in star_file) echo 4096 ;; *) echo 8192 ;; esac; }

command -v clang++ >/dev/null || { echo "fuzz.sh needs clang (apt-get install clang)"; exit 1; }
cmake --preset fuzz -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target $(printf 'envsys_fuzz_%s ' "${TARGETS[@]}") >/dev/null

mode=${1:-speed}
case "$mode" in
speed)
  seconds=${2:-60}
  for name in "${TARGETS[@]}"; do
    work=$(mktemp -d)
    cp fuzz/corpus/"$name"/* "$work"/
    # libFuzzer's last status line carries the executions and their rate.
    line=$("$BUILD_DIR"/fuzz/envsys_fuzz_"$name" -max_total_time="$seconds" -max_len="$(max_len "$name")" \
      -print_final_stats=1 "$work" 2>&1 | grep -E "^stat::number_of_executed_units|^stat::average_exec_per_sec" |
      awk '{printf "%s ", $NF}')
    printf "%-18s %s s: %s executions, %s exec/s\n" "$name" "$seconds" $line
    rm -rf "$work"
  done
  ;;
run)
  seconds=${2:?seconds}
  names=("${@:3}")
  [ ${#names[@]} -eq 0 ] && names=("${TARGETS[@]}")
  for name in "${names[@]}"; do
    runs="$BUILD_DIR/runs/$name"
    mkdir -p "$runs/corpus"
    cp -n fuzz/corpus/"$name"/* "$runs/corpus"/
    (cd "$runs" && "$OLDPWD/$BUILD_DIR"/fuzz/envsys_fuzz_"$name" -max_total_time="$seconds" \
      -max_len="$(max_len "$name")" -print_final_stats=1 corpus >log.txt 2>&1) || echo "$name: stopped on a finding (see $runs)"
    grep -E "^stat::(number_of_executed_units|average_exec_per_sec)|^#[0-9]+ +DONE" "$runs/log.txt" || true
    kept=$(mktemp -d)
    find fuzz/corpus/"$name" -type f ! -regex '.*/[0-9a-f]\{40\}' -exec cp {} "$kept"/ \;
    "$BUILD_DIR"/fuzz/envsys_fuzz_"$name" -merge=1 -max_len="$(max_len "$name")" "$kept" "$runs/corpus" \
      fuzz/corpus/"$name" >"$runs/merge.txt" 2>&1
    rm -rf fuzz/corpus/"$name"
    mv "$kept" fuzz/corpus/"$name"
    chmod 755 fuzz/corpus/"$name"
    echo "$name: $(ls fuzz/corpus/"$name" | wc -l) inputs kept ($(du -sh fuzz/corpus/"$name" | cut -f1))"
  done
  ;;
*)
  sed -n 2,14p "$0"
  exit 2
  ;;
esac
