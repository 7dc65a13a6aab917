#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs each for a few seconds from its corpus.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-10}
# Stop on the first undefined behaviour, as the test suite does.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
build=$root/build/fuzz
CC=clang CXX=clang++ "$root/scripts/build.sh" "$build" -DSORVIMEND_FUZZ=ON -DSORVIMEND_GUI=OFF \
  -DSORVIMEND_TESTS=OFF -DSORVIMEND_BENCH=OFF
shopt -s nullglob
count=0
for target in "$build"/fuzz/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=$root/fuzz/corpus/$name
  work=$build/work/$name
  mkdir -p "$work"
  args=("$work")
  [ -d "$corpus" ] && args+=("$corpus")
  echo "fuzz: $name for ${seconds}s"
  (cd "$work" && "$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -print_final_stats=0 "${args[@]}" >"$work/log" 2>&1) || {
    echo "fuzz: $name found a failure:"; tail -n 60 "$work/log"; exit 1; }
  count=$((count + 1))
done
echo "fuzz: $count targets ran clean"
