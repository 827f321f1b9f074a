# Shared by the Wine scripts (sourced, not a test): skipping a test whose
# tools are missing, waiting for something to come up, a virtual display of
# their own, and the prepared prefix they copy.

# skip REASON: the test cannot run here: exit 77 (skipped), or fail when
# KVL_REQUIRE_ALL says everything must run (./dev test installs it all).
skip() {
  if [ -n "${KVL_REQUIRE_ALL:-}" ]; then echo "FAIL: $*"; exit 1; fi
  echo "SKIP: $*"
  exit 77
}

# pause SECONDS: waits SECONDS (fractions too) without a process: a read
# with a time-out on a pipe that nobody writes to. The waits of a run pause
# hundreds of times beside builds that want both cores.
pause() {
  if [ -z "${pause_fd:-}" ]; then
    local fifo
    fifo=$(mktemp -u "${TMPDIR:-/tmp}/pause.XXXXXX") && mkfifo "$fifo" && exec {pause_fd}<>"$fifo"
    rm -f "$fifo"
  fi
  read -r -t "$1" -u "$pause_fd" _
  return 0
}
# The pipe is opened here, in the script's own shell, so that the command
# substitutions that wait share it instead of each making one.
pause 0

# wait_for SECONDS COMMAND...: runs COMMAND every 0.2 s until it succeeds;
# fails after SECONDS. COMMAND is best a shell function: each run of a
# program here is a process start, five a second.
wait_for() {
  local limit=$(($1 * 5)) i; shift
  for ((i = 0; i < limit; i++)); do
    "$@" >/dev/null 2>&1 && return 0
    pause 0.2
  done
  return 1
}

# ended PID: the process PID has ended (or was never ours to wait for).
ended() { ! kill -0 "$1" 2>/dev/null; }

# file_has_line FILE PREFIX: a line of FILE starts with PREFIX.
file_has_line() {
  local line
  while IFS= read -r line || [ -n "$line" ]; do
    [[ $line == "$2"* ]] && return 0
  done <"$1"
  return 1
}

# shown_windows PATTERN: the ids of the shown windows whose title matches
# PATTERN (xdotool's regular expression), one a line.
shown_windows() { xdotool search --onlyvisible --name "$1" 2>/dev/null; }

# find_window TITLE [NOT_ID]: a shown window titled TITLE (other than NOT_ID).
find_window() {
  local id
  for id in $(shown_windows "^$1\$"); do
    [ "$id" = "${2:-none}" ] || { echo "$id"; return 0; }
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

# make_template TEMPLATE LOG: the prefix every Wine run copies, made once
# (several minutes) unless TEMPLATE/.ready says it is there: windows drawn
# by Wine itself (no window manager), no crash dialog. Needs $wine and
# $wineserver; leaves WINEPREFIX alone; fails with the reason in LOG.
make_template() {
  local template=$1 log=$2
  # A template that Wine would update on its next start (Wine was upgraded
  # since) is made again: copies share its DLLs (copy_template), and Wine's
  # update rewrites them in place.
  [ -f "$template/.ready" ] && template_current "$template" && return 0
  echo "== making the template prefix $template"
  rm -rf "$template"
  (
    export WINEPREFIX=$template
    timeout 600 "$wine" wineboot -i >"$log" 2>&1 &&
      "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$log" 2>&1 &&
      "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >>"$log" 2>&1 &&
      "$wineserver" -w
  ) || return 1
  touch "$template/.ready"
}

# template_current TEMPLATE: Wine takes the prefix as up to date: its
# .update-timestamp holds the time of Wine's wine.inf (what wineboot writes),
# or says the updates are disabled.
template_current() {
  local stamp inf=/usr/share/wine/wine.inf
  [ -f "$1/.update-timestamp" ] || return 1
  stamp=$(tr -d '\r\n' <"$1/.update-timestamp")
  [ "$stamp" = disable ] || [ ! -f "$inf" ] || [ "$stamp" = "$(stat -c %Y "$inf")" ]
}

# copy_template TEMPLATE DEST: a prefix of its own for one run. Wine's own
# files in system32 and syswow64 (0.6 to 1.3 GB of DLLs that no run writes)
# are hard links to the template's; the folders, the registry files and
# everything else are copies, so what a run adds, deletes or rewrites there
# stays in its prefix.
copy_template() {
  local template=$1 dest=$2 shared=drive_c/windows/system32 wow=drive_c/windows/syswow64
  mkdir -p "$dest" &&
    tar -C "$template" --exclude="./$shared" --exclude="./$wow" -cf - . | tar -C "$dest" -xf - &&
    cp -al "$template/$shared" "$dest/$shared" &&
    { [ ! -d "$template/$wow" ] || cp -al "$template/$wow" "$dest/$wow"; }
}
