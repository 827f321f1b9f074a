#!/usr/bin/env bash
# The 64-bit installer under Wine on a virtual display: the progress window
# comes up with its title, the port dialog follows, Escape closes it, the
# "Install Canceled" box is answered, and the program ends. Screenshots of
# the windows are kept in OUT_DIR.
#
# Usage: wine_installer.sh WIN64_BUILD_DIR OUT_DIR
# Exits 77 (skipped) when the win64 build or Wine is missing.
set -uo pipefail
win64_build=$1 out_dir=$2
exe=$win64_build/bin/drvsetup.exe
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
progress_title="VELKORA KVL-M720 Installation Progress"
port_title="Select Port Type"

# ./dev test builds and installs everything, so there a missing piece fails.
source "$(dirname "$0")/wine_common.bash"

[ -f "$exe" ] || skip "$exe is not built"
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
[ -x "$wine" ] || skip "$wine is not installed"
for tool in Xvfb xdotool import xdpyinfo; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done

mkdir -p "$out_dir"
out_dir=$(cd "$out_dir" && pwd)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -f "$out_dir/progress.png" "$out_dir/port.png"

xvfb_pid= app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "${WINEPREFIX:-}" ] && "$wineserver" -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() { echo "FAIL: $*"; exit 1; }

start_display "$out_dir/xvfb.log" || fail "no X display could be started between :90 and :140"

# A fresh copy of the prepared prefix that the scenarios copy too (windows
# drawn by Wine itself, without a window manager).
make_template "$out_dir/template" "$out_dir/wineboot.log" || fail "making the template prefix failed (see $out_dir/wineboot.log)"
rm -rf "$out_dir/prefix"
copy_template "$out_dir/template" "$out_dir/prefix" || fail "copying the template failed"
export WINEPREFIX=$out_dir/prefix

echo "== starting $exe"
(cd "$(dirname "$exe")" && exec "$wine" "$exe") >"$out_dir/drvsetup.log" 2>&1 &
app_pid=$!

wait_for 60 find_window "$progress_title" || fail "no window \"$progress_title\" within 60 s"
progress_window=$(find_window "$progress_title")
echo "progress window $progress_window: \"$(xdotool getwindowname "$progress_window")\""

wait_for 60 find_window "$port_title" || fail "no window \"$port_title\" within 60 s"
port_window=$(find_window "$port_title")
echo "port dialog $port_window: \"$(xdotool getwindowname "$port_window")\""
pause 1
import -window root "$out_dir/port.png" || fail "screenshot of the port dialog failed"

# The port dialog opens over the middle of the progress window at once;
# moved below it, the whole progress window shows.
eval "$(xdotool getwindowgeometry --shell "$progress_window")"
xdotool windowmove "$port_window" "$X" $((Y + HEIGHT + 8))
pause 1
import -window root "$out_dir/progress.png" || fail "screenshot of the progress window failed"

# Escape in the port dialog cancels it; the program says so in a message
# box, and ends when the box is answered with Enter.
xdotool windowfocus --sync "$port_window" 2>/dev/null || xdotool windowfocus "$port_window"
xdotool key --clearmodifiers Escape
wait_for 30 find_window "Information" || fail "no \"Install Canceled\" box within 30 s after Escape"
box_window=$(find_window "Information")
pause 1
import -window root "$out_dir/canceled.png" || fail "screenshot of the cancel message failed"
xdotool windowfocus --sync "$box_window" 2>/dev/null || xdotool windowfocus "$box_window"
xdotool key --clearmodifiers Return

for ((i = 0; i < 60; i++)); do
  kill -0 "$app_pid" 2>/dev/null || break
  pause 0.5
done
if kill -0 "$app_pid" 2>/dev/null; then
  import -window root "$out_dir/after-escape.png" 2>/dev/null
  fail "the program still runs 30 s after the cancel message (see $out_dir/after-escape.png)"
fi
wait "$app_pid"
status=$?
app_pid=
[ "$status" -eq 0 ] || fail "the program ended with status $status"
[ -z "$(find_window "$port_title")" ] || fail "the port dialog is still shown"
echo "OK: progress window and port dialog shown, Escape and the cancel message ended the program with status 0"
echo "screenshots: $out_dir/progress.png $out_dir/port.png $out_dir/canceled.png"
