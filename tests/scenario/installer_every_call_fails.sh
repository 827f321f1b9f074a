#!/usr/bin/env bash
# Every Win32 call of a successful installation made to fail once, each in a
# run of its own (the n-th call of that name, error 2 for file calls and 5
# for the rest), on Windows XP over COM1 and on 64-bit Windows 7 over USB.
# The person declines every message box, and closes the window with Esc when
# it never starts (no timer). Every run must end with status 0,
# and none may leave an uninstall entry, a version stamp or a printer of the
# driver without the driver.
#
# Usage: installer_every_call_fails.sh SIM_BUILD_DIR [K/N]
# With K/N, only the K-th of every N calls of each kind of Windows: one of N
# shards that run side by side and together make every run.
source "$(dirname "$0")/common.bash" "$1"
shard=${2:-1/1}
runs=0

printf 'dialog radio 1006\ndialog ok\nmsgbox no\n' >"$work/com1"
printf 'dialog radio 1000\ndialog ok\nmsgbox ok\n' >"$work/usb"
printf 'dialog cancel\n' >"$work/escape"
: >"$work/decline"
for _ in 1 2 3 4 5 6; do echo 'msgbox decline' >>"$work/decline"; done

for row in "xp com1" "7-x64 usb"; do
  read -r os port <<<"$row"
  template=$work/template-$os
  fresh_machine "$template" "$os"
  cp -a "$template" "$work/good"
  "$winsim" run "$work/good" --script "$work/$port" --cwd 'C:\Package' 'C:\Package\drvsetup.exe' >/dev/null 2>&1 ||
    { echo "FAIL: $os: the installation itself fails"; exit 1; }
  # Each call as Name#n, the n-th call of that name.
  "$winsim" journal "$work/good" | jq -r 'select(.call) | .call' | awk '{n[$1]++; print $1 "#" n[$1]}' >"$work/calls"
  rm -rf "$work/good"
  take_shard "$work/calls" "$shard"
  # The port line of the person, then declining whatever comes.
  { head -n 2 "$work/$port"; cat "$work/decline"; } >"$work/script"
  while read -r call; do
    case "${call%%#*}" in
      *File* | *Directory* | *Path*) error=2 ;;
      *) error=5 ;;
    esac
    script=$work/script
    [ "${call%%#*}" = SetTimer ] && script=$work/escape
    # A machine folder of its own for each run, removed with the others at
    # the end of the kind: one process less a run. The checks match in the
    # shell, without a grep each.
    machine=$work/run$runs
    cp -a "$template" "$machine"
    timeout 30 "$winsim" run "$machine" --script "$script" --faults "$call:$error" --cwd 'C:\Package' \
      'C:\Package\drvsetup.exe' >"$work/transcript" 2>&1
    status=$?
    runs=$((runs + 1))
    [ "$status" -eq 0 ] || { fail "$os $call:$error: status $status"; tail -3 "$work/transcript"; continue; }
    drivers=$("$winsim" ls "$machine" drivers)
    [[ $drivers == *'VELKORA KVL-M720'* ]] && continue
    registry=$("$winsim" reg "$machine" export)
    [[ $registry == *'Uninstall\VELKORA_KVL-M720]'* ]] && fail "$os $call:$error: an uninstall entry without the driver"
    [[ $registry == *'VELKORA KVL-M720\VersionData]'* ]] && fail "$os $call:$error: a version stamp without the driver"
    printers=$("$winsim" ls "$machine" printers)
    [[ $printers == *$'\tVELKORA KVL-M720\t'* ]] && fail "$os $call:$error: a printer without its driver"
  done <"$work/calls"
  rm -rf "$work"/run*
done

echo "$runs runs, each with one call failing"
if [ "$failures" -ne 0 ]; then exit 1; fi
echo "OK"
