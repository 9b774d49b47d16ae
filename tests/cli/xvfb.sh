# Sourced by the editor's window tests: start_xvfb WIDTHxHEIGHT starts an Xvfb of its own in the
# background, sets xvfb_pid and number (the display is ":$number") and logs to $work/xvfb.log;
# returns 1 when no server could be started. The display number is drawn from a range that servers
# choosing the first free number never reach; Xvfb's lock refuses a number in use and the next draw
# is tried. -noreset: a client connecting as the last one leaves would otherwise meet a server in the
# middle of its reset.
start_xvfb() {
  xvfb_pid=""
  for _ in $(seq 20); do
    number=$((200 + RANDOM % 29800))
    : >"$work/display"
    exec 3>"$work/display"
    Xvfb ":$number" -displayfd 3 -noreset -screen 0 "$1x24" -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    exec 3>&-
    for _ in $(seq 200); do
      [ -s "$work/display" ] && break
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.05
    done
    [ "$(head -1 "$work/display")" = "$number" ] && return 0
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  done
  return 1
}
