#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, runs every test (the fuzz corpora replayed among them), casts one
# vote under valgrind in the plain build, then builds the libFuzzer targets with clang and runs
# each briefly.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

build=${SV_TEST_BUILD:-$root/build/asan}
"$root/scripts/build.sh" "$build" -DSORVIMEND_SANITIZE=ON -DSORVIMEND_BENCH=OFF
(cd "$build" && ctest --output-on-failure -j"$(nproc)" --timeout 600)

# One whole vote under valgrind, in the plain build (valgrind cannot run over the sanitizers).
if [ "${SV_SKIP_VALGRIND:-0}" != 1 ]; then
  "$root/scripts/e2e/valgrind.sh"
fi

if [ "${SV_SKIP_FUZZ:-0}" != 1 ]; then
  "$root/scripts/fuzz.sh" "${SV_FUZZ_SECONDS:-10}"
fi
