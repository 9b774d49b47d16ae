#!/usr/bin/env bash
# The test scripts' stages (scripts/stages.sh), as scripts/test.sh runs them:
#   1. the README's order on one clone: the main job's tree has no tests (and does not stop on
#      warnings), a test stage on it fails (never "passed"), and the release stage's configuration of
#      that same tree turns its tests on and warnings into errors;
#   2. each kind of stage counts what it ran (ctest cases, validation checks, fuzzing runs) from real
#      ctest runs and stand-in commands, and fails when it ran nothing or its command failed;
#   3. the closing summary adds up every stage.
set -uo pipefail
source "$(cd "$(dirname "$0")/../.." && pwd)/scripts/stages.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check DESCRIPTION COMMAND...
  if ! "${@:2}"; then
    echo "FAILED: $1"
    [ -f "$work/last.txt" ] && tail -n 20 "$work/last.txt" | sed 's/^/    | /'
    failures=$((failures + 1))
  fi
}
# The stage line NAME recorded with these counts and note.
recorded() { grep -qxF "$(printf '%s\t%s\t%s\t%s\t%s' "$@")" "$MAROVEX_STAGE_LOG"; }
fails() { ! "$@" > "$work/last.txt" 2>&1; }
passes() { "$@" > "$work/last.txt" 2>&1; }

MAROVEX_STAGE_LOG="$work/stages.log"
: > "$MAROVEX_STAGE_LOG"

# 1. The main job, then the tests, in one tree.
tree="$work/build"
check "the main job's configuration" passes configure_tree "main job" "$tree" "${main_job_options[@]}"
check "a plain configure does not turn warnings into errors" grep -qx 'MAROVEX_WERROR:BOOL=OFF' "$tree/CMakeCache.txt"
check "a test stage on the main job's tree fails" fails ctest_stage "main job tree" "$tree"
check "... and records that it ran nothing" recorded "main job tree" 0 1 0 "ran no tests"
check "the release configuration of the same tree" passes configure_tree "release" "$tree" "${release_options[@]}"
# Before the build each test program is listed once, as a placeholder that fails until it is built.
listed="$(ctest --test-dir "$tree" -N | awk '/^Total Tests:/ { print $3 }')"
check "the release configuration turns the tests on (test programs listed: ${listed:-none})" test "${listed:-0}" -ge 10
check "the release configuration turns warnings into errors" grep -qx 'MAROVEX_WERROR:BOOL=ON' "$tree/CMakeCache.txt"

# 2. Counting. A ctest tree with a passing, a failing and a skipped test.
mkdir -p "$work/fake"
cat > "$work/fake/CTestTestfile.cmake" << 'EOF'
add_test(passes true)
add_test(fails false)
add_test(skips sh -c "exit 77")
set_tests_properties(skips PROPERTIES SKIP_RETURN_CODE 77)
EOF
check "a failing test fails its stage" fails ctest_stage "fake tests" "$work/fake"
check "... counted 1 passed, 1 failed, 1 skipped" recorded "fake tests" 1 1 1 ""
printf 'add_test(passes true)\nadd_test(also true)\n' > "$work/fake/CTestTestfile.cmake"
check "passing tests pass their stage" passes ctest_stage "passing tests" "$work/fake"
check "... counted 2 passed" recorded "passing tests" 2 0 0 ""

printf '#!/bin/sh\necho " 1 load  passed"\necho "11 passed, 1 failed"\nexit 1\n' > "$work/battery-fails"
printf '#!/bin/sh\necho "12 passed, 0 failed"\n' > "$work/battery-passes"
printf '#!/bin/sh\necho "0 passed, 0 failed"\n' > "$work/battery-empty"
printf '#!/bin/sh\necho "12 passed, 0 failed"\nexit 1\n' > "$work/battery-dies"
printf '#!/bin/sh\necho "Done 500 runs"\necho "stat::number_of_executed_units: 500"\n' > "$work/fuzz-passes"
printf '#!/bin/sh\necho "stat::number_of_executed_units: 0"\n' > "$work/fuzz-empty"
printf '#!/bin/sh\necho "==1==ERROR: AddressSanitizer"\necho "stat::number_of_executed_units: 77"\nexit 1\n' \
  > "$work/fuzz-finds"
chmod +x "$work"/battery-* "$work"/fuzz-*
check "a failed check fails the battery" fails battery_stage "battery 1" "$work/battery-fails"
check "... counted 11 passed, 1 failed" recorded "battery 1" 11 1 0 ""
check "a passing battery" passes battery_stage "battery 2" "$work/battery-passes"
check "... counted 12 passed" recorded "battery 2" 12 0 0 ""
check "a battery that ran no check fails" fails battery_stage "battery 3" "$work/battery-empty"
check "... and records it" recorded "battery 3" 0 1 0 "ran no checks (status 0)"
check "a battery that exits with a failure fails" fails battery_stage "battery 4" "$work/battery-dies"
check "... and records it" recorded "battery 4" 12 1 0 "exited with status 1"
check "a fuzzing run that ran inputs and found nothing" passes fuzz_stage "fuzz 1" "$work/fuzz-passes"
check "... counts as one passed test" recorded "fuzz 1" 1 0 0 "500 inputs"
check "a fuzzing run of no inputs fails" fails fuzz_stage "fuzz 2" "$work/fuzz-empty"
check "a fuzzing run that found a fault fails" fails fuzz_stage "fuzz 3" "$work/fuzz-finds"
check "... and records it" recorded "fuzz 3" 0 1 0 "the fuzzer exited with status 1 after 77 inputs"
check "a stage that could not run" passes stage_not_run "skipped stage" "the build failed"

# 3. The summary: every stage, and their sum.
check "the summary fails when a stage failed" fails stages_summary
summary="$(cat "$work/last.txt")"
check "the summary adds up every stage" grep -qx 'total: 39 passed, 8 failed, 1 skipped in 11 stages' <<< "$summary"
check "a stage that ran nothing is shown as failed" grep -qE '^  main job tree +FAILED \(ran no tests\)$' <<< "$summary"
check "no stage that ran nothing says passed" \
  test -z "$(grep -E '^  (main job tree|battery 3|fuzz 2|skipped stage) ' <<< "$summary" | grep passed)"
: > "$MAROVEX_STAGE_LOG"
check "a summary of no stages fails" fails stages_summary
stage_record "all good" 5 0 1
check "a summary of passing stages passes" passes stages_summary

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "every check passed"
