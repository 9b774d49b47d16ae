#!/usr/bin/env bash
# Extra test builds, run by scripts/test.sh after the sanitizer build:
#   1. a ThreadSanitizer build of the threaded test programs (every test labelled "threads") and of
#      the marovex program, whose validation battery runs its threaded checks there,
#   2. libFuzzer builds of the state-chunk fuzzer and of the preset-text fuzzer, each run for a
#      bounded number of inputs.
# Prints every command it runs; exits non-zero if any step fails.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
jobs="$(nproc)"
fuzz_runs="${MAROVEX_FUZZ_RUNS:-1000000}"
fuzz_seconds="${MAROVEX_FUZZ_SECONDS:-180}"
preset_fuzz_runs="${MAROVEX_PRESET_FUZZ_RUNS:-300000}"
preset_fuzz_seconds="${MAROVEX_PRESET_FUZZ_SECONDS:-30}"

run() {
  echo "+ $*" >&2
  "$@"
}

echo "== thread sanitizer: threaded tests"
run cmake -S . -B build-tsan -DMAROVEX_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMAROVEX_BENCH=OFF >/dev/null
# CMake keeps the list of the programs whose tests carry the label "threads" in this target.
run cmake --build build-tsan -j "$jobs" --target marovex_threaded_tests
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
run ctest --test-dir build-tsan -L threads -j "$jobs" --output-on-failure --no-tests=error
echo "== thread sanitizer: the validation battery's threaded checks"
run cmake --build build-tsan -j "$jobs" --target marovex
run build-tsan/bin/marovex validate --only concurrency,editor,realtime --strictness 3
unset TSAN_OPTIONS

echo "== fuzzing: state chunk (at most $fuzz_runs inputs or $fuzz_seconds s)"
run cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DMAROVEX_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMAROVEX_BENCH=OFF >/dev/null
run cmake --build build-fuzz -j "$jobs" --target chunk_fuzz preset_fuzz
# New inputs go to a scratch corpus in the build folder; the checked-in seeds are only read.
mkdir -p build-fuzz/chunk-corpus
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  run build-fuzz/tests/chunk_fuzz -runs="$fuzz_runs" -max_total_time="$fuzz_seconds" -max_len=4096 \
  -print_final_stats=1 build-fuzz/chunk-corpus tests/fuzz/corpus

echo "== fuzzing: preset text (at most $preset_fuzz_runs inputs or $preset_fuzz_seconds s)"
mkdir -p build-fuzz/preset-corpus
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  run build-fuzz/tests/preset_fuzz -runs="$preset_fuzz_runs" -max_total_time="$preset_fuzz_seconds" \
  -max_len=12000 -print_final_stats=1 build-fuzz/preset-corpus tests/fuzz/preset-corpus
echo "== extra tests passed"
