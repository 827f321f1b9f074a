#!/usr/bin/env bash
# The installer on a simulated Windows XP machine, the port dialog cancelled
# with Escape: the progress window comes up with its texts, bar range and
# step, the one-shot timer starts the start-up, the port dialog opens with
# COM1 over the progress window, "Install Canceled" is shown and the program
# ends with status 0.
#
# Usage: installer_cancel.sh SIM_BUILD_DIR
source "$(dirname "$0")/common.bash" "$1"
machine=$work/xp

fresh_machine "$machine" xp
printf 'dialog cancel\nmsgbox ok Install Canceled\n' >"$work/script"
"$winsim" run "$machine" --script "$work/script" --cwd 'C:\Package' 'C:\Package\drvsetup.exe' 'C:\Package\' \
  >"$work/transcript" 2>&1
status=$?
cat "$work/transcript"

[ "$status" -eq 0 ] || fail "winsim run ended with status $status"

# What the person at the machine saw, in the transcript.
for text in \
  'dialog 102, control 1000 progress range 0 to 100' \
  'dialog 102, control 1000 progress step 11' \
  'timer 1 set for 1 ms' \
  'dialog 102 caption "VELKORA KVL-M720 Installation Progress"' \
  'dialog 102, control 1001 text "VELKORA KVL-M720"' \
  'dialog 102, control 1002 text "Driver Version: V4.6.64"' \
  'dialog 102 "VELKORA KVL-M720 Installation Progress" shown' \
  '1003 Static ""' \
  'timer 1 fires (WM_TIMER)' \
  'timer 1 killed' \
  'dialog 130, control 1006 checked' \
  'dialog 130 "Select Port Type" shown' \
  'dialog 130 ended with 2' \
  'process ends with status 0'; do
  grep -qF -- "$text" "$work/transcript" || fail "the transcript lacks: $text"
done

# The calls behind it, in the journal, read with `winsim journal` and jq.
journal() { machine_journal "$machine" "$@"; }
# Whether there is a JSON value in $1 and each passes the jq test $2 ($hwnd is
# the progress window).
holds() { jq -e -s --argjson hwnd "${progress_hwnd:-null}" "length > 0 and all(.[]; $2)" <<<"$1" >/dev/null; }
set_timer=$(journal --call SetTimer)
[ "$(jq -s length <<<"$set_timer")" -eq 1 ] || fail "SetTimer called other than once"
progress_hwnd=$(jq 'select(.args[1:] == [1, 1, null] and .ret == 1) | .args[0]' <<<"$set_timer")
[ -n "$progress_hwnd" ] || fail "no SetTimer(window, 1, 1, NULL): $set_timer"

# At the first WM_TIMER the timer goes before anything else happens; the
# framework only looks its window object up first.
first_call=$(journal | jq -c -s '
  . as $lines
  | (map(.ui == "timer") | index(true)) as $at
  | if $at == null then null
    else $lines[$at + 1:] | map(select(has("call") and (.call | IN("GetWindowLongPtrA", "SetWindowLongPtrA") | not)))
         | first end')
holds "$first_call" '.call == "KillTimer" and .args == [$hwnd, 1] and .ret == 1' ||
  fail "the first call at the timer is not KillTimer(window, 1): $first_call"
[ "$(journal --ui timer | wc -l)" -eq 1 ] || fail "the timer fired more than once"

# The port dialog is owned by the progress window and shown once.
port_calls=$(journal --call DialogBoxParamA | jq -c 'select(.args[1] == 130)')
[ "$(jq -s length <<<"$port_calls")" -eq 1 ] || fail "dialog 130 shown other than once"
holds "$port_calls" '.args[2] == $hwnd' || fail "dialog 130 not owned by the progress window: $port_calls"
holds "$port_calls" '.ret == 2' || fail "dialog 130 did not end with IDCANCEL: $port_calls"

boxes=$(journal --ui msgbox)
[ "$(jq -s length <<<"$boxes")" -eq 1 ] || fail "other than one message box: $boxes"
holds "$boxes" '.text == "Install Canceled" and .caption == "Information" and .type == 64 and .answer == 1' ||
  fail "not the cancel message: $boxes"
journal --ui exit | jq -e -s 'any(.status == 0)' >/dev/null || fail "no exit with status 0 in the journal"

expect_no_handles_left
if [ "$failures" -ne 0 ]; then exit 1; fi
echo "OK"
