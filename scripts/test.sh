#!/usr/bin/env bash
# Builds and runs every test: the normal build, then the AddressSanitizer + UndefinedBehaviorSanitizer
# build, the ThreadSanitizer build of the threaded tests, and bounded fuzzing runs.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
bash scripts/deps.sh

jobs="$(nproc)"
status=0

echo "== release build and tests"
bash scripts/build.sh build -DMAROVEX_BENCH=ON
ctest --test-dir build -j "$jobs" --output-on-failure || status=1

echo "== address and undefined-behaviour sanitizers"
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DMAROVEX_SANITIZE=ON -DMAROVEX_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -j "$jobs" --output-on-failure || status=1

if [ -f scripts/test-extra.sh ]; then
  bash scripts/test-extra.sh || status=1
fi

exit $status
