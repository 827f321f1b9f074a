#!/usr/bin/env bash
# Every Win32 call of a full removal made to fail once, each in a run of its
# own (the n-th call of that name, error 2 for file calls and 5 for the
# rest), on Windows XP and on 64-bit Windows 7, each with two printers of the
# driver checked and one printer of another driver that is not offered. The
# person declines every message box, and presses Cancel when the list never
# fills (no timer). Every run must end with status 0, and none may delete the
# other printer, the uninstaller's own file, the language monitor or the
# vendor key.
#
# Usage: uninstaller_every_call_fails.sh SIM_BUILD_DIR [K/N]
# With K/N, only the K-th of every N calls of each kind of Windows: one of N
# shards that run side by side and together make every run.
source "$(dirname "$0")/common.bash" "$1"
shard=${2:-1/1}
runs=0

printf 'check VELKORA KVL-M720\ncheck VELKORA KVL-M720(#1)\nclick 1001\n' >"$work/remove"
for _ in 1 2 3 4 5 6; do echo 'msgbox decline' >>"$work/remove"; done
printf 'click 2\n' >"$work/cancel"

while read -r os windir software; do
  template=$work/template-$os
  fresh_machine "$template" "$os"
  printf 'dialog radio 1006\ndialog ok\nmsgbox no\n' >"$work/install"
  for _ in 1 2; do
    "$winsim" run "$template" --script "$work/install" --cwd 'C:\Package' 'C:\Package\drvsetup.exe' >/dev/null 2>&1 ||
      { echo "FAIL: $os: the installation fails"; exit 1; }
  done
  # A printer of another driver, which the removal must leave alone.
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Office]\r\n"Name"="Office"\r\n"Port"="LPT1:"\r\n"Printer Driver"="Generic / Text Only"\r\n' >"$work/other.reg"
  "$winsim" reg "$template" import "$work/other.reg" >/dev/null || { echo "FAIL: $os: reg import"; exit 1; }
  program="$windir\\KVL-M720\\KVLM720_Uninstaller.exe"
  rm -f "$template/journal.jsonl"

  cp -a "$template" "$work/good"
  "$winsim" run "$work/good" --script "$work/remove" --cwd 'C:\Package' "$program" >"$work/transcript" 2>&1 ||
    { echo "FAIL: $os: the removal itself fails"; cat "$work/transcript"; exit 1; }
  [ -z "$("$winsim" ls "$work/good" printers | grep -F 'VELKORA KVL-M720')" ] || { echo "FAIL: $os: printers stayed"; exit 1; }
  "$winsim" journal "$work/good" | jq -r 'select(.call) | .call' | awk '{n[$1]++; print $1 "#" n[$1]}' >"$work/calls"
  rm -rf "$work/good"
  take_shard "$work/calls" "$shard"

  while read -r call; do
    case "${call%%#*}" in
      *File* | *Directory* | *Path*) error=2 ;;
      *) error=5 ;;
    esac
    script=$work/remove
    [ "${call%%#*}" = SetTimer ] && script=$work/cancel
    # A machine folder of its own for each run, removed with the others at
    # the end of the kind: one process less a run. The checks match in the
    # shell, without a grep each.
    machine=$work/run$runs
    cp -a "$template" "$machine"
    timeout 30 "$winsim" run "$machine" --script "$script" --faults "$call:$error" --cwd 'C:\Package' "$program" \
      >"$work/transcript" 2>&1
    status=$?
    runs=$((runs + 1))
    [ "$status" -eq 0 ] || { fail "$os $call:$error: status $status"; tail -3 "$work/transcript"; continue; }
    printers=$("$winsim" ls "$machine" printers)
    [[ $printers == *$'Office\tGeneric / Text Only\tLPT1:'* ]] || fail "$os $call:$error: the other printer went"
    [ -n "$(find "$machine/drive_c" -ipath "$machine/drive_c/${windir#C:\\}/KVL-M720/KVLM720_Uninstaller.exe")" ] ||
      fail "$os $call:$error: the uninstaller's own file went"
    registry=$("$winsim" reg "$machine" export)
    [[ $registry == *'Monitors\Advanced Language Monitor]'* ]] || fail "$os $call:$error: the language monitor went"
    if [ "$software" != - ]; then
      [[ $registry == *"[$software\\VELKORA_LABEL_PRINTER]"* ]] || fail "$os $call:$error: the vendor key went"
    fi
  done <"$work/calls"
  rm -rf "$work"/run*
done <<'KINDS'
xp C:\WINDOWS -
7-x64 C:\Windows HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node
KINDS

echo "$runs runs, each with one call failing"
if [ "$failures" -ne 0 ]; then exit 1; fi
echo "OK"
