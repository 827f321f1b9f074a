# Shared by the Wine scripts (sourced, not a test): waiting for something to
# come up, and a virtual display of their own.

# wait_for SECONDS COMMAND...: runs COMMAND every 0.2 s until it succeeds;
# fails after SECONDS.
wait_for() {
  local limit=$(($1 * 5)); shift
  for ((i = 0; i < limit; i++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.2
  done
  return 1
}

# start_display LOG: an Xvfb on a display nobody uses, exported as DISPLAY,
# its process in xvfb_pid for the caller's clean-up; fails when none comes
# up. Another run may take the same number at the same moment, so a server
# that does not come up means: try the next one.
start_display() {
  local n
  for n in $(seq 90 140); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$1" 2>&1 &
    xvfb_pid=$!
    if DISPLAY=":$n" wait_for 15 xdpyinfo && kill -0 "$xvfb_pid" 2>/dev/null; then
      export DISPLAY=:$n
      return 0
    fi
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=
  done
  return 1
}
