#!/usr/bin/env bash
# Builds and runs every test: the normal build, then the AddressSanitizer + UndefinedBehaviorSanitizer
# build, the ThreadSanitizer build of the threaded tests, and bounded fuzzing runs. Ends with one line
# that adds up every test run.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
bash scripts/deps.sh

jobs="$(nproc)"
status=0
log="$(mktemp)"
trap 'rm -f "$log"' EXIT

echo "== release build and tests"
bash scripts/build.sh build -DMAROVEX_BENCH=ON
ctest --test-dir build -j "$jobs" --output-on-failure 2>&1 | tee -a "$log" || status=1
echo "== validation battery on the built module (default strictness; the seed is printed for a replay)"
build/bin/marovex validate 2>&1 || status=1

echo "== address and undefined-behaviour sanitizers"
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DMAROVEX_SANITIZE=ON -DMAROVEX_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -j "$jobs" --output-on-failure 2>&1 | tee -a "$log" || status=1
echo "== validation battery, sanitizer build (low strictness)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  build-asan/bin/marovex validate --strictness 2 2>&1 || status=1

if [ -f scripts/test-extra.sh ]; then
  bash scripts/test-extra.sh 2>&1 | tee -a "$log" || status=1
fi

[ "$status" -eq 0 ] || echo "a build or test run failed (see above)"
# Every ctest run above ends with "N% tests passed, F tests failed out of T"; skipped cases are
# listed as "(Skipped)". Add them up.
awk '
  /tests passed, [0-9]+ tests? failed out of [0-9]+/ { failed += $4; total += $NF }
  /\(Skipped\)/ { skipped += 1 }
  END { printf "total: %d passed, %d failed, %d skipped\n", total - failed - skipped, failed, skipped }
' "$log"
exit $status
