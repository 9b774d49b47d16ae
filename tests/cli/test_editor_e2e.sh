#!/usr/bin/env bash
# `marovex editor` as a user meets it: without a display it says so and fails; --snapshot draws the
# editor without one; under Xvfb the window appears, a drag with xdotool turns the FreqA knob, and the
# state saved on SIGTERM holds the new value. Exit 77 (skipped) when Xvfb or xdotool is missing.
# Every wait polls with a generous limit, so a loaded machine only makes it slower.
set -euo pipefail
marovex="$1"
# In the sanitizer build: the font, text and X11 libraries' own caches are not our leaks.
# Full unwinding through the libraries (built without frame pointers) lets the suppressions see
# which of our calls reached them.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")/.." && pwd)/gui-leaks.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0"
work="$(mktemp -d)"
xvfb_pid=""
editor_pid=""
cleanup() {
  [ -n "$editor_pid" ] && kill -KILL "$editor_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# PNG width and height from the IHDR chunk (bytes 16 to 23, big-endian).
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%d %d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'; }

# 1. No display.
set +e
env -u DISPLAY "$marovex" editor >"$work/out" 2>"$work/err"
status=$?
set -e
[ "$status" -eq 1 ] || fail "without a display: exit $status, expected 1"
grep -q "no X display" "$work/err" || fail "without a display: message was: $(cat "$work/err")"

# 2. Snapshot without a display.
env -u DISPLAY "$marovex" editor --snapshot "$work/shot.png" --set FreqA=0.25 --meter 0.25 \
  || fail "--snapshot failed"
[ "$(png_size "$work/shot.png")" = "400 340" ] || fail "snapshot size $(png_size "$work/shot.png")"

# 3. The window under Xvfb.
if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
  echo "Xvfb or xdotool not installed: window test skipped"
  exit 77
fi
. "$(dirname "$0")/xvfb.sh"
start_xvfb 640x480 || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$number"

"$marovex" editor --save-state "$work/state" 2>"$work/editor.err" &
editor_pid=$!
window=""
for _ in $(seq 300); do
  window="$(xdotool search --onlyvisible --name '^Marovex$' 2>/dev/null | head -1 || true)"
  [ -n "$window" ] && break
  kill -0 "$editor_pid" 2>/dev/null || fail "the editor exited early: $(cat "$work/editor.err")"
  sleep 0.05
done
[ -n "$window" ] || fail "no editor window appeared"
geometry="$(xdotool getwindowgeometry "$window" | awk '/Geometry/ { print $2 }')"
[ "$geometry" = "400x340" ] || fail "window geometry $geometry"

# FreqA sits at (221, 137)-(251, 167) at 0.5: 50 pixels down turns it to 0.25.
xdotool mousemove --window "$window" 236 152 mousedown 1 \
  mousemove --window "$window" 236 175 mousemove --window "$window" 236 202 mouseup 1
xdotool getmouselocation >/dev/null  # a round trip: the server has handled the drag

kill -TERM "$editor_pid"
set +e
wait "$editor_pid"
status=$?
set -e
editor_pid=""
[ "$status" -eq 0 ] || fail "the editor ended with $status on SIGTERM: $(cat "$work/editor.err")"
[ -s "$work/state" ] || fail "no state saved"
"$marovex" state show "$work/state" >"$work/show" || fail "state show failed"
grep -Eq '^FreqA +double +0\.25$' "$work/show" || fail "FreqA in the saved state: $(grep FreqA "$work/show")"
grep -Eq '^Width +double +1$' "$work/show" || fail "Width changed: $(grep Width "$work/show")"
echo "editor e2e: ok"
