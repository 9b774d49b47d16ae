#!/usr/bin/env bash
# `marovex editor` under Xvfb with a window manager (openbox, when installed), driven with xdotool as
# an engineer would: the wheel, a double click (the default that survives a window manager taking
# Alt-click), the keys on the knob under the pointer and on the one last touched; SAVE of a name
# typed without ".mrv" over an existing preset asks about that file (a stand-in chooser on the PATH
# answers as zenity does); a LOAD that fails says so and changes nothing; the label shows what LOAD
# did; killing the window's X connection still saves the state; --scale 2 makes an 800x680 window
# whose mouse maps back onto the knobs. Exit 77 (skipped) when Xvfb, xdotool or import is missing.
# Every wait polls with a generous limit, so a loaded machine only makes it slower.
set -euo pipefail
marovex="$1"
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")/.." && pwd)/gui-leaks.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0"
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "$tool not installed: skipped"; exit 77; }
done
work="$(mktemp -d)"
[ -d "$work" ] || exit 1
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null && wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for f in "$work"/*.err; do [ -f "$f" ] && { echo "--- $f" >&2; cat "$f" >&2; }; done
  exit 1
}
wait_for() {  # wait_for SECONDS COMMAND...: until the command succeeds
  local limit=$(($1 * 20)); shift
  for _ in $(seq "$limit"); do "$@" && return 0; sleep 0.05; done
  return 1
}

. "$(dirname "$0")/xvfb.sh"
start_xvfb 1024x768 || fail "Xvfb did not start"
pids+=("$xvfb_pid")
export DISPLAY=":$number"
wm="none"
if command -v openbox >/dev/null; then
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  pids+=("$!")
  wm="openbox"
  # Managing the screen once it has marked the root window as its own.
  wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' || sleep 1
fi

# The stand-in chooser: a file selection answers the first line of $work/answers (taking it out;
# none left: cancelled); a question is written to $work/questions and answered with the first line
# of $work/replies (0 yes, 1 no).
mkdir "$work/bin"
{
  echo '#!/bin/sh'
  echo "work='$work'"
  cat <<'SCRIPT'
pop() { head -1 "$1"; sed -i 1d "$1"; }
if [ "$1" = "--question" ]; then
  for a in "$@"; do case "$a" in --text=*) printf '%s\n' "${a#--text=}" >>"$work/questions";; esac; done
  exit "$(pop "$work/replies")"
fi
answer="$(pop "$work/answers")"
[ -n "$answer" ] || exit 1
printf '%s\n' "$answer"
SCRIPT
} >"$work/bin/zenity"
chmod +x "$work/bin/zenity"
: >"$work/answers"
: >"$work/replies"
export PATH="$work/bin:$PATH"

window=""
editor_pid=""
find_window() { window="$(xdotool search --onlyvisible --name '^Marovex$' 2>/dev/null | head -1 || true)"; [ -n "$window" ]; }
give_focus() {
  xdotool windowactivate "$window" 2>/dev/null || xdotool windowfocus "$window" 2>/dev/null || true
  [ "$(xdotool getwindowfocus 2>/dev/null)" = "$window" ]
}
start_editor() {  # start_editor NAME ARGS...: runs the editor, waits for its window
  local name="$1"; shift
  "$marovex" editor --audio none "$@" 2>"$work/$name.err" &
  editor_pid=$!
  pids+=("$editor_pid")
  wait_for 20 find_window || fail "no editor window appeared"
  # Keys go to the focused window: ask for the focus until the server says the window has it (the
  # window manager may hand it over late, as under the sanitizers, and the first keys would be lost).
  wait_for 10 give_focus || fail "the editor's window never got the keyboard focus"
  settle
}
stop_editor() {  # stop_editor EXPECTED-STATUS: SIGTERM (unless it has ended), then its exit status
  [ -n "${2:-}" ] || kill -TERM "$editor_pid"
  set +e; wait "$editor_pid"; local status=$?; set -e
  [ "$status" -eq "$1" ] || fail "the editor ended with $status, expected $1"
}
at() { xdotool mousemove --window "$window" "$1" "$2"; }
settle() { xdotool getmouselocation >/dev/null; sleep 0.3; }  # the server has handled it; the editor too
value() { "$marovex" state show "$1" | awk -v id="$2" '$1 == id { print $3 }'; }
near() { awk -v a="$1" -v b="$2" 'BEGIN { d = a - b; exit !(d < 1e-4 && d > -1e-4) }'; }
check() {  # check STATE ID VALUE WHAT
  near "$(value "$1" "$2")" "$3" || fail "$4: $2 is $(value "$1" "$2"), expected $3"
}
label() { import -window "$window" -crop 260x30+10+310 -depth 8 rgb:- | md5sum; }

# 1. The controls, saved on SIGTERM.
start_editor one --save-state "$work/one.state" --set Dyn=0.2 --set OutGain=0.3
# The wheel: five notches up on FreqW (0.5 -> 0.55); then Page Down with the pointer over no
# control goes to FreqW, the knob last touched (-> 0.45).
at 274 72; xdotool click --repeat 5 --delay 30 4
at 60 120; settle; xdotool key Page_Down
# A double click on Dyn restores its default (0.2 -> 1).
at 156 277; xdotool click --repeat 2 --delay 80 1
# Keys on the knob under the pointer: OutGain 0.3, Up twice, Shift+Up once -> 0.321.
at 346 257; settle; xdotool key Up Up shift+Up
settle
stop_editor 0
check "$work/one.state" FreqW 0.45 "wheel and Page Down"
check "$work/one.state" Dyn 1 "double click"
check "$work/one.state" OutGain 0.321 "keys"

# 2. Presets, then the window's X connection killed.
printf 'Marovex 010000\nInGain 0.5\nFreqW 0.5\nWidth 1\nFreqA 0.5\nAction 1\nDyn 1\nAdj 0.5\nOutGain 0.5\n' \
  >"$work/saved1.mrv"
cp "$work/saved1.mrv" "$work/saved1.before"
cp "$work/saved1.mrv" "$work/plain.mrv"
echo "shopping list" >"$work/notes.txt"
start_editor two --save-state "$work/two.state" --set Width=0.7
# SAVE, the name typed without ".mrv" while saved1.mrv exists: the question names saved1.mrv. No:
# the chooser opens again and is cancelled; saved1.mrv is untouched, the name as typed not written.
echo "$work/saved1" >"$work/answers"
echo 1 >"$work/replies"
at 188 13; xdotool click 1
wait_for 20 test -s "$work/questions" || fail "SAVE asked nothing before replacing saved1.mrv"
grep -q '"saved1.mrv" already exists' "$work/questions" || fail "the question: $(cat "$work/questions")"
settle
cmp -s "$work/saved1.mrv" "$work/saved1.before" || fail "saved1.mrv was replaced although the answer was no"
[ ! -e "$work/saved1" ] || fail "the name as typed was written"
# Again, yes: saved1.mrv now holds the editor's Width.
echo "$work/saved1" >"$work/answers"
echo 0 >"$work/replies"
at 188 13; xdotool click 1
wait_for 20 grep -q "^Width 0.69999" "$work/saved1.mrv" || fail "SAVE with yes did not replace saved1.mrv"
# LOAD of a file that is no preset: standard error says what failed; nothing changes.
echo "$work/notes.txt" >"$work/answers"
at 133 13; xdotool click 1
wait_for 20 grep -q "preset: Not a Preset: $work/notes.txt" "$work/two.err" || fail "a failed LOAD said nothing"
# COPY, then LOAD of a preset: the label changes from "Preset to Clipboard" to what was loaded.
at 248 13; xdotool click 1; at 200 200; settle
copied="$(label)"
echo "$work/plain.mrv" >"$work/answers"
at 133 13; xdotool click 1; at 200 200
wait_for 20 test "$(label)" != "$copied" || fail "the label still reads as after COPY once LOAD loaded"
# An edit (FreqA to 0.25), then the window's X connection is killed: the program saves and says so.
xdotool mousemove --window "$window" 236 152 mousedown 1 mousemove --window "$window" 236 175 \
  mousemove --window "$window" 236 202 mouseup 1
settle
xdotool windowkill "$window"
stop_editor 1 ended
grep -q "X connection .* was broken; the state was saved" "$work/two.err" || fail "no word of the broken connection"
[ -s "$work/two.state" ] || fail "no state saved when the X connection broke"
check "$work/two.state" FreqA 0.25 "the drag before the kill"
check "$work/two.state" Width 1 "the LOAD"

# 3. Scale 2: the window is twice the size and a drag of 100 pixels is the 50 of the artwork.
start_editor three --scale 2 --save-state "$work/three.state"
geometry="$(xdotool getwindowgeometry "$window" | awk '/Geometry/ { print $2 }')"
[ "$geometry" = "800x680" ] || fail "window at scale 2: $geometry"
xdotool mousemove --window "$window" 472 304 mousedown 1 mousemove --window "$window" 472 350 \
  mousemove --window "$window" 472 404 mouseup 1
settle
stop_editor 0
check "$work/three.state" FreqA 0.25 "a drag at scale 2"
echo "editor controls e2e (window manager: $wm): ok"
