# Sourced by the scripts and tests that need a private X display.
#
# start_xvfb DIR GEOMETRY: starts Xvfb (log in DIR/xvfb.log) on a display number it
# chooses itself and returns once the server answers, at most a minute later. Sets
# xvfb_display (":N") and xvfb_pid; on failure ends the server and returns 1 with its
# log on standard error. A number picked beforehand may be taken, and a wait on its
# socket or on xdpyinfo with a deadline of a few seconds has lost to a loaded machine:
# Xvfb says the number it took on the descriptor -displayfd names once it accepts
# clients.
xvfb_pid=""
xvfb_display=""
start_xvfb() {
  local dir=$1 geometry=$2 number=""
  rm -f "$dir/displayfd"
  mkfifo "$dir/displayfd"
  Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp 3>"$dir/displayfd" >"$dir/xvfb.log" 2>&1 &
  xvfb_pid=$!
  # The fifo's end of file comes when Xvfb ends without a number.
  read -r -t 60 number <"$dir/displayfd" || true
  rm -f "$dir/displayfd"
  if [ -z "$number" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
    cat "$dir/xvfb.log" >&2
    return 1
  fi
  xvfb_display=":$number"
}
