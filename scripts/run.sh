#!/usr/bin/env bash
# The main job: installs what is needed, builds, and processes the built-in demo signal
# (or the files and options given, passed on to `marovex process`).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
source scripts/stages.sh
bash scripts/deps.sh
bash scripts/build.sh build "${main_job_options[@]}"
if [ -x build/bin/marovex ]; then
  # The README's pictures (docs/), drawn from the demo signal.
  cmake --build build --target docs-pictures >/dev/null
  exec build/bin/marovex process "$@"
else
  exec build/bin/marovex-kernel-demo "$@"
fi
