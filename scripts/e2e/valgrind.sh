#!/usr/bin/env bash
# One whole Mobile-ID vote with the program under valgrind's memcheck: any invalid access, use of
# uninitialised memory or definite leak fails the run. Valgrind cannot run over the sanitizers, so
# this uses (and builds when needed) the plain build of the demo command.
# Usage: scripts/e2e/valgrind.sh [OUT_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${SV_BUILD:-$root/build/release}
out=${1:-$build/e2e-valgrind}
"$root/scripts/build.sh" "$build" -DSORVIMEND_TESTS=OFF -DSORVIMEND_BENCH=OFF
mkdir -p "$out"
log=$(cd "$out/.." && pwd)/valgrind-$(basename "$out").log
export SV_E2E_WRAP="valgrind --error-exitcode=99 --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite --suppressions=$root/scripts/e2e/valgrind.supp --log-file=$log"
export SV_E2E_SLOW=${SV_E2E_SLOW:-5}
if ! env -u DISPLAY "$root/scripts/e2e/vote.sh" "$build" "$out" mobile-id; then
  tail -n 40 "$log" >&2
  exit 1
fi
grep -E "ERROR SUMMARY|definitely lost" "$log"
