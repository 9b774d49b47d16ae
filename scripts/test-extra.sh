#!/usr/bin/env bash
# Extra test builds, run by scripts/test.sh after the sanitizer build:
#   1. a ThreadSanitizer build of the threaded test programs (every test labelled "threads") and of
#      the marovex program, whose validation battery runs its threaded checks there,
#   2. libFuzzer builds of the state-chunk fuzzer and of the preset-text fuzzer, each run for a
#      bounded number of inputs.
# Prints every command it runs and records each stage in test.sh's stage log (run alone, it prints
# its own summary); exits non-zero if any step fails.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
source scripts/stages.sh
fuzz_runs="${MAROVEX_FUZZ_RUNS:-1000000}"
fuzz_seconds="${MAROVEX_FUZZ_SECONDS:-180}"
preset_fuzz_runs="${MAROVEX_PRESET_FUZZ_RUNS:-300000}"
preset_fuzz_seconds="${MAROVEX_PRESET_FUZZ_SECONDS:-30}"

own_log=0
if stages_begin; then
  own_log=1
  trap 'rm -f "$MAROVEX_STAGE_LOG"' EXIT
fi
status=0

echo "== thread sanitizer: threaded tests"
# CMake keeps the list of the programs whose tests carry the label "threads" in this target.
if configure_tree "thread sanitizer build" build-tsan "${tsan_options[@]}" &&
  build_tree "thread sanitizer build" build-tsan marovex_threaded_tests marovex; then
  export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
  ctest_stage "thread sanitizer tests" build-tsan -L threads || status=1
  echo "== thread sanitizer: the validation battery's threaded checks"
  battery_stage "thread sanitizer validation battery" \
    build-tsan/bin/marovex validate --only concurrency,editor,realtime --strictness 3 || status=1
  unset TSAN_OPTIONS
else
  status=1
  stage_not_run "thread sanitizer tests" "the build failed"
  stage_not_run "thread sanitizer validation battery" "the build failed"
fi

echo "== fuzzing: state chunk (at most $fuzz_runs inputs or $fuzz_seconds s), preset text (at most" \
  "$preset_fuzz_runs inputs or $preset_fuzz_seconds s)"
if configure_tree "fuzzer build" build-fuzz "${fuzz_options[@]}" &&
  build_tree "fuzzer build" build-fuzz chunk_fuzz preset_fuzz; then
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  # New inputs go to a scratch corpus in the build folder; the checked-in seeds are only read.
  mkdir -p build-fuzz/chunk-corpus build-fuzz/preset-corpus
  fuzz_stage "fuzzing: state chunk" build-fuzz/tests/chunk_fuzz -runs="$fuzz_runs" \
    -max_total_time="$fuzz_seconds" -max_len=4096 -print_final_stats=1 build-fuzz/chunk-corpus tests/fuzz/corpus ||
    status=1
  fuzz_stage "fuzzing: preset text" build-fuzz/tests/preset_fuzz -runs="$preset_fuzz_runs" \
    -max_total_time="$preset_fuzz_seconds" -max_len=12000 -print_final_stats=1 build-fuzz/preset-corpus \
    tests/fuzz/preset-corpus || status=1
  unset ASAN_OPTIONS UBSAN_OPTIONS
else
  status=1
  stage_not_run "fuzzing: state chunk" "the build failed"
  stage_not_run "fuzzing: preset text" "the build failed"
fi

if [ "$own_log" -eq 1 ]; then
  stages_summary || status=1
fi
[ "$status" -eq 0 ] && echo "== extra tests passed"
exit $status
