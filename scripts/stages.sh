# shellcheck shell=bash disable=SC2034
# Sourced by scripts/run.sh, scripts/test.sh and scripts/test-extra.sh: the options of each build tree,
# and the bookkeeping of the test stages.
#
# Every tree is configured with every option that tells it apart, so a folder that held another tree
# before (the main job's build/ has no tests) becomes what the stage needs. Every stage records what
# it ran, one line "NAME<TAB>PASSED<TAB>FAILED<TAB>SKIPPED<TAB>NOTE" in the file $MAROVEX_STAGE_LOG; a
# stage that ran nothing records a failure. stages_summary prints the stages and their total.

stages_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
stages_jobs="$(nproc)"

# The main job (scripts/run.sh): the program and the plug-in, no tests, warnings do not stop it.
main_job_options=(-DMAROVEX_TESTS=OFF -DMAROVEX_BENCH=OFF)
# The test trees: our own code's warnings are errors.
release_options=(-DCMAKE_BUILD_TYPE=Release -DMAROVEX_TESTS=ON -DMAROVEX_BENCH=ON -DMAROVEX_WERROR=ON
  -DMAROVEX_SANITIZE=OFF -DMAROVEX_TSAN=OFF -DMAROVEX_FUZZ=OFF)
asan_options=(-DCMAKE_BUILD_TYPE=Debug -DMAROVEX_TESTS=ON -DMAROVEX_BENCH=OFF -DMAROVEX_WERROR=ON
  -DMAROVEX_SANITIZE=ON -DMAROVEX_TSAN=OFF -DMAROVEX_FUZZ=OFF)
tsan_options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DMAROVEX_TESTS=ON -DMAROVEX_BENCH=OFF -DMAROVEX_WERROR=ON
  -DMAROVEX_SANITIZE=OFF -DMAROVEX_TSAN=ON -DMAROVEX_FUZZ=OFF)
fuzz_options=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
  -DMAROVEX_TESTS=ON -DMAROVEX_BENCH=OFF -DMAROVEX_WERROR=ON -DMAROVEX_SANITIZE=OFF -DMAROVEX_TSAN=OFF
  -DMAROVEX_FUZZ=ON)

# Starts a stage log of its own unless one is already open (test.sh opens it for test-extra.sh too).
# Returns 0 when this call opened it, so the caller knows it owns the log and prints the summary.
stages_begin() {
  if [ -n "${MAROVEX_STAGE_LOG:-}" ] && [ -f "$MAROVEX_STAGE_LOG" ]; then
    return 1
  fi
  MAROVEX_STAGE_LOG="$(mktemp)"
  export MAROVEX_STAGE_LOG
  return 0
}

# stage_record NAME PASSED FAILED SKIPPED [NOTE]
stage_record() {
  printf '%s\t%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" "${5:-}" >> "$MAROVEX_STAGE_LOG"
}

# configure_tree NAME DIR OPTIONS...: configures DIR; a failure is recorded as the failed stage NAME.
configure_tree() {
  local name="$1" dir="$2"
  shift 2
  echo "+ cmake -S . -B $dir $*" >&2
  if ! cmake -S "$stages_root" -B "$dir" "$@" > /dev/null; then
    stage_record "$name" 0 1 0 "configuring $dir failed"
    return 1
  fi
}

# build_tree NAME DIR [TARGET...]: builds the targets (or everything); a failure is recorded.
build_tree() {
  local name="$1" dir="$2"
  shift 2
  local targets=() t
  for t in "$@"; do targets+=(--target "$t"); done
  echo "+ cmake --build $dir -j $stages_jobs ${targets[*]}" >&2
  if ! cmake --build "$dir" -j "$stages_jobs" "${targets[@]}"; then
    stage_record "$name" 0 1 0 "building in $dir failed"
    return 1
  fi
}

# stage_not_run NAME REASON: a stage that could not run counts as failed.
stage_not_run() {
  echo "== $1: not run ($2)"
  stage_record "$1" 0 1 0 "not run: $2"
}

# Runs a command with its output shown and kept in the file $stage_output; leaves its status in
# $stage_status.
stage_capture() {
  stage_output="$(mktemp)"
  local status_file
  status_file="$(mktemp)"
  echo "+ $*" >&2
  {
    if "$@" 2>&1; then echo 0 > "$status_file"; else echo $? > "$status_file"; fi
  } | tee "$stage_output"
  stage_status="$(cat "$status_file")"
  rm -f "$status_file"
}

# ctest_stage NAME DIR [CTEST OPTIONS...]: runs the tests of DIR. A tree without tests fails.
ctest_stage() {
  local name="$1" dir="$2"
  shift 2
  stage_capture ctest --test-dir "$dir" -j "$stages_jobs" --output-on-failure --no-tests=error "$@"
  local counts
  # "N% tests passed, F tests failed out of T"; each test that did not run is listed as
  # "(Skipped)" or "(Disabled)".
  counts="$(awk '
    /tests passed, [0-9]+ tests? failed out of [0-9]+/ { failed = $4; total = $NF; seen = 1 }
    /\((Skipped|Disabled)\)$/ { skipped += 1 }
    END { if (seen) printf "%d %d %d", total - failed - skipped, failed, skipped }' "$stage_output")"
  rm -f "$stage_output"
  local passed failed skipped
  read -r passed failed skipped <<< "${counts:-0 0 0}"
  if [ -z "$counts" ] || [ $((passed + failed + skipped)) -eq 0 ]; then
    stage_record "$name" 0 1 0 "ran no tests"
    return 1
  fi
  if [ "$stage_status" -ne 0 ] && [ "$failed" -eq 0 ]; then
    stage_record "$name" "$passed" 1 "$skipped" "ctest exited with status $stage_status"
    return 1
  fi
  stage_record "$name" "$passed" "$failed" "$skipped"
  [ "$stage_status" -eq 0 ]
}

# battery_stage NAME PROGRAM validate [OPTIONS...]: the validation battery; it ends with
# "N passed, N failed", and a run that passed no check fails.
battery_stage() {
  local name="$1"
  shift
  stage_capture "$@"
  local counts
  counts="$(awk '/^[0-9]+ passed, [0-9]+ failed$/ { p = $1; f = $3; seen = 1 }
                 END { if (seen) printf "%d %d", p, f }' "$stage_output")"
  rm -f "$stage_output"
  local passed failed
  read -r passed failed <<< "${counts:-0 0}"
  if [ -z "$counts" ] || [ $((passed + failed)) -eq 0 ]; then
    stage_record "$name" 0 1 0 "ran no checks (status $stage_status)"
    return 1
  fi
  if [ "$stage_status" -ne 0 ] && [ "$failed" -eq 0 ]; then
    stage_record "$name" "$passed" 1 0 "exited with status $stage_status"
    return 1
  fi
  stage_record "$name" "$passed" "$failed" 0
  [ "$stage_status" -eq 0 ]
}

# fuzz_stage NAME FUZZER [OPTIONS...]: one bounded fuzzing run (run with -print_final_stats=1) counts
# as one test, passed when the fuzzer ran inputs and found nothing.
fuzz_stage() {
  local name="$1"
  shift
  stage_capture "$@"
  local inputs
  inputs="$(awk '/^stat::number_of_executed_units:/ { n = $2 } END { print n + 0 }' "$stage_output")"
  rm -f "$stage_output"
  if [ "$stage_status" -ne 0 ]; then
    stage_record "$name" 0 1 0 "the fuzzer exited with status $stage_status after $inputs inputs"
    return 1
  fi
  if [ "$inputs" -eq 0 ]; then
    stage_record "$name" 0 1 0 "ran no inputs"
    return 1
  fi
  stage_record "$name" 1 0 0 "$inputs inputs"
}

# Prints every stage and the total; returns 1 if any stage failed or none ran.
stages_summary() {
  echo "== what each stage ran"
  awk -F '\t' '
    {
      stages += 1; passed += $2; failed += $3; skipped += $4
      if ($3 > 0 && $2 + $4 == 0) line = sprintf("FAILED (%s)", $5 != "" ? $5 : "failed")
      else {
        line = sprintf("%d passed, %d failed, %d skipped", $2, $3, $4)
        if ($5 != "") line = line " (" $5 ")"
      }
      printf "  %-34s %s\n", $1, line
    }
    END {
      printf "total: %d passed, %d failed, %d skipped in %d stages\n", passed, failed, skipped, stages
      exit (stages == 0 || failed > 0) ? 1 : 0
    }' "$MAROVEX_STAGE_LOG"
}
