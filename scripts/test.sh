#!/usr/bin/env bash
# Builds and runs every test: the normal build, then the AddressSanitizer + UndefinedBehaviorSanitizer
# build, the ThreadSanitizer build of the threaded tests, and bounded fuzzing runs. Each stage
# configures its tree with every option it needs, whatever the folder held (the main job's build/
# has no tests), and a stage that runs nothing fails. Ends with what each stage ran and one line that
# adds them up.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
source scripts/stages.sh
bash scripts/deps.sh

unset MAROVEX_STAGE_LOG
stages_begin
trap 'rm -f "$MAROVEX_STAGE_LOG"' EXIT
status=0

echo "== release build and tests"
if configure_tree "release build" build "${release_options[@]}" && build_tree "release build" build; then
  ctest_stage "release tests" build || status=1
  echo "== validation battery on the built module (default strictness; the seed is printed for a replay)"
  battery_stage "release validation battery" build/bin/marovex validate || status=1
else
  status=1
  stage_not_run "release tests" "the build failed"
  stage_not_run "release validation battery" "the build failed"
fi

echo "== address and undefined-behaviour sanitizers"
if configure_tree "sanitizer build" build-asan "${asan_options[@]}" && build_tree "sanitizer build" build-asan; then
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  ctest_stage "sanitizer tests" build-asan || status=1
  echo "== validation battery, sanitizer build (low strictness)"
  battery_stage "sanitizer validation battery" build-asan/bin/marovex validate --strictness 2 || status=1
  unset ASAN_OPTIONS UBSAN_OPTIONS
else
  status=1
  stage_not_run "sanitizer tests" "the build failed"
  stage_not_run "sanitizer validation battery" "the build failed"
fi

if [ -f scripts/test-extra.sh ]; then
  bash scripts/test-extra.sh || status=1
fi

stages_summary || status=1
[ "$status" -eq 0 ] || echo "a build or test run failed (see above)"
exit $status
