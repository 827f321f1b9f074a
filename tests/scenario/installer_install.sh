#!/usr/bin/env bash
# The installer through `winsim run` as a person meets it: a fresh
# installation on every supported kind of Windows on a COM, LPT or USB port
# (status texts in order, the closing message, the printer and the driver in
# the right environment), the kinds it refuses, a reinstallation that numbers
# the printer, the hand-off of an older version to the uninstaller with the
# restart question answered No and Yes, and spooler calls that fail.
#
# Usage: installer_install.sh SIM_BUILD_DIR
set -uo pipefail
build=$1
winsim=$build/bin/winsim
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
command -v jq >/dev/null || { echo "FAIL: jq is not installed (./dev setup installs it)"; exit 1; }

restart_question='Restart the computer can take effect.\nPlease restart the computer.\n\n[Yes] I want to restart my computer now.\n[No] I will restart my computer later.'
usb_done='Installation is completed.\n\nPlease turn-off printer and turn-on printer.'
fresh_com='Check drivers...\r\n|Add printer...\r\n|Install language monitor...\r\n|Copy files...\r\n|Install printer driver...\r\n|Install printer...\r\n|Delete installed files...\r\n|Completed!'
fresh_usb='Check drivers...\r\n|Add printer...\r\n|Install language monitor...\r\n|Copy files...\r\n|Install printer driver...\r\n|Completed!'
again_com='Check drivers...\r\n|Add printer...\r\n|Install printer...\r\n|Completed!'

# new_machine NAME OS: a fresh machine with the package in C:\Package.
new_machine() {
  "$winsim" new "$work/$1" --os "$2" >/dev/null && "$winsim" package "$work/$1" 'C:\Package' >/dev/null ||
    { echo "FAIL: machine $1"; exit 1; }
}
# install NAME SCRIPT [FAULTS]: runs the installer from the package folder.
install() {
  printf "$2" >"$work/$1.script"
  local faults=()
  [ -n "${3:-}" ] && faults=(--faults "$3")
  "$winsim" run "$work/$1" --script "$work/$1.script" "${faults[@]}" --cwd 'C:\Package' \
    'C:\Package\drvsetup.exe' >"$work/$1.transcript" 2>&1
  local status=$?
  [ "$status" -eq 0 ] || { fail "$1: status $status"; cat "$work/$1.transcript"; }
}
journal() { "$winsim" journal "$work/$1" "${@:2}"; }
# The status line's texts of the last run, joined by |, with \r\n as written.
statuses() {
  journal "$1" --ui text | jq -r -s --argjson pid "$(journal "$1" --ui exit | jq -s 'last.pid')" \
    '[.[] | select(.pid == $pid and .dialog == 102 and .id == 1003) | .text] | join("|")' |
    sed -e ':a' -e 'N' -e '$!ba' -e 's/\r/\\r/g' -e 's/\n/\\n/g'
}
# The message boxes of the whole journal, as "caption|text|type|answer" lines.
boxes() { journal "$1" --ui msgbox | jq -r '[.caption, (.text | @json), .type, .answer] | map(tostring) | join("|")'; }
expect_box() { boxes "$1" | grep -qF -- "$2|\"$3\"|$4|" || fail "$1: no box $2 \"$3\" $4: $(boxes "$1")"; }

# Fresh installations: name, kind, radio button, port, environment.
while read -r name os radio port env; do
  new_machine "$name" "$os"
  if [ "$port" = USB ]; then install "$name" "dialog radio $radio\ndialog ok\nmsgbox ok\n"
  else install "$name" "dialog radio $radio\ndialog ok\nmsgbox no\n"; fi
  printers=$("$winsim" ls "$work/$name" printers | grep -F 'VELKORA KVL-M720')
  if [ "$port" = USB ]; then
    [ "$(statuses "$name")" = "$fresh_usb" ] || fail "$name: status texts $(statuses "$name")"
    expect_box "$name" Information "$usb_done" 64
    [ -z "$printers" ] || fail "$name: a printer on USB: $printers"
  else
    [ "$(statuses "$name")" = "$fresh_com" ] || fail "$name: status texts $(statuses "$name")"
    expect_box "$name" Question "$restart_question" 36
    [ "$printers" = "VELKORA KVL-M720	VELKORA KVL-M720	$port" ] || fail "$name: printers $printers"
  fi
  "$winsim" ls "$work/$name" drivers | grep -qF "$env	3	VELKORA KVL-M720	" ||
    fail "$name: no driver for $env: $("$winsim" ls "$work/$name" drivers)"
done <<'ROWS'
w2000 2000 1007 LPT1: Windows NT x86
xp xp 1006 COM1: Windows NT x86
w2003 2003 1008 COM2: Windows NT x86
vista vista 1000 USB Windows NT x86
w7 7 1009 COM3: Windows NT x86
w7x64usb 7-x64 1000 USB Windows x64
w7x64 7-x64 1011 COM4: Windows x64
ROWS

# Refused kinds: the first message, and no port dialog.
for os in 95 98 me nt4; do
  new_machine "old$os" "$os"
  install "old$os" 'msgbox ok\n'
  expect_box "old$os" "VELKORA KVL-M720 installer" "This driver doesn't supported for this OS!!" 64
  [ -z "$(journal "old$os" --call DialogBoxParamA | jq -c 'select(.args[1] == 130)')" ] ||
    fail "old$os: the port dialog was shown"
done

# The same version again, twice: the printers are numbered, nothing is staged.
install xp 'dialog ok\nmsgbox no\n'
install xp 'dialog ok\nmsgbox no\n'
[ "$(statuses xp)" = "$again_com" ] || fail "xp again: status texts $(statuses xp)"
[ "$("$winsim" ls "$work/xp" printers | grep -cF 'VELKORA KVL-M720')" -eq 3 ] ||
  fail "xp again: $("$winsim" ls "$work/xp" printers)"
"$winsim" ls "$work/xp" printers | grep -qF 'VELKORA KVL-M720(#2)	VELKORA KVL-M720	COM1:' ||
  fail "xp again: no printer (#2)"

# An older stamp: the uninstaller (the program of the package's stub) takes
# the old version away with DelAllDriver; No to the restart ends the
# installer, Yes goes on installing.
for answer in no yes; do
  name=handoff$answer
  new_machine "$name" 7
  install "$name" 'dialog ok\nmsgbox no\n'
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\VELKORA KVL-M720\\VersionData]\r\n"MinorVersion"=dword:00000005\r\n' >"$work/$name.reg"
  "$winsim" reg "$work/$name" import "$work/$name.reg" >/dev/null || fail "$name: reg import"
  if [ $answer = no ]; then install "$name" 'msgbox ok different\nmsgbox no\n'
  else install "$name" 'msgbox ok different\nmsgbox yes\ndialog ok\nmsgbox no\n'; fi
  expect_box "$name" "VELKORA KVL-M720 installer" \
    'There are different version drivers in this system.\r\n\r\nThe installed drivers must be removed.' 64
  expect_box "$name" "VELKORA KVL-M720 installer" \
    'Installer has successfully removed different version.\nAfter restarting, you may reinstall our driver again.\n\n     Do you want to restart your computer now ?' 68
  journal "$name" --call CreateProcessA |
    jq -e -s 'any(.args[0] == "KVLM720_Uninstaller_vista.exe" and .args[1] == "KVLM720_Uninstaller_vista.exe DelAllDriver" and .ret == 1)' >/dev/null ||
    fail "$name: the uninstaller was not started with DelAllDriver: $(journal "$name" --call CreateProcessA)"
  # The uninstaller ran unattended to its end: no question, status 0, and
  # everything of the old version gone before the installer went on.
  child=$(journal "$name" --ui caption | jq -s 'map(select(.text == "VELKORA KVL-M720 Uninstaller")) | last.pid')
  [ "$child" != null ] || fail "$name: no uninstaller window"
  [ "$(journal "$name" --ui text | jq -r -s --argjson pid "$child" 'map(select(.pid == $pid) | .text) | join("|")')" = \
    'Checking OS...|Delete printers...|Delete printer driver...|Uninstall completed!' ] ||
    fail "$name: uninstaller status texts $(journal "$name" --ui text | jq -c --argjson pid "$child" 'select(.pid == $pid)')"
  [ -z "$(journal "$name" --ui msgbox | jq -c --argjson pid "$child" 'select(.pid == $pid)')" ] ||
    fail "$name: the uninstaller asked something"
  journal "$name" --ui exit | jq -e -s --argjson pid "$child" 'any(.pid == $pid and .status == 0)' >/dev/null ||
    fail "$name: the uninstaller did not end with 0"
  journal "$name" --call SetupUninstallOEMInfA |
    jq -e -s --argjson pid "$child" 'any(.pid == $pid and .ret == 1)' >/dev/null ||
    fail "$name: the old INF copy was not uninstalled"
  printers=$("$winsim" ls "$work/$name" printers | grep -cF 'VELKORA KVL-M720')
  if [ $answer = no ]; then
    [ "$printers" -eq 0 ] || fail "$name: the old printer stayed"
    [ -z "$(journal "$name" --ui restart)" ] || fail "$name: restarted"
  else
    [ -n "$(journal "$name" --ui restart)" ] || fail "$name: no restart"
    [ "$printers" -eq 1 ] || fail "$name: not installed again after the restart request"
  fi
done

# Spooler calls that fail: the exact box; a refused driver ends everything.
new_machine faultdriver xp
install faultdriver 'dialog ok\nmsgbox ok AddPrinterDriver\n' 'AddPrinterDriverA:5'
expect_box faultdriver Warning 'AddPrinterDriver Error Code: 5\n\nAccess is denied.\r\n' 48
[ -z "$("$winsim" ls "$work/faultdriver" printers | grep -F 'VELKORA')" ] || fail "faultdriver: a printer"
"$winsim" reg "$work/faultdriver" export | grep -qF 'Uninstall\VELKORA_KVL-M720' && fail "faultdriver: an uninstall entry"

new_machine faultprinter xp
install faultprinter 'dialog ok\nmsgbox ok AddPrinter\n' 'AddPrinterA:5'
expect_box faultprinter Warning 'AddPrinter Error Code: 5\n\nAccess is denied.\r\n' 48
"$winsim" ls "$work/faultprinter" drivers | grep -qF 'VELKORA KVL-M720' || fail "faultprinter: the driver went"
[ -z "$(journal faultprinter --call SetupCopyOEMInfA)" ] || fail "faultprinter: the INF was pre-installed"

# A monitor left by an earlier installation: AddMonitorA answers 3006.
new_machine monitorthere xp
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Advanced Language Monitor]\r\n"Driver"="qpaNLMNT.dll"\r\n' >"$work/monitor.reg"
"$winsim" reg "$work/monitorthere" import "$work/monitor.reg" >/dev/null || fail "monitorthere: reg import"
install monitorthere 'dialog ok\nmsgbox no\n'
journal monitorthere --call AddMonitorA | jq -e '.err == 3006' >/dev/null || fail "monitorthere: AddMonitorA did not answer 3006"
[ "$(boxes monitorthere | grep -c Warning)" -eq 0 ] || fail "monitorthere: a warning for 3006"

# Any other monitor error is shown, and the driver is added all the same
# (the monitor is there from before, so the spooler takes the driver).
new_machine faultmonitor xp
"$winsim" reg "$work/faultmonitor" import "$work/monitor.reg" >/dev/null || fail "faultmonitor: reg import"
install faultmonitor 'dialog ok\nmsgbox ok AddMonitor\nmsgbox no\n' 'AddMonitorA:5'
expect_box faultmonitor Warning 'AddMonitor Error Code: 5\n\nAccess is denied.\r\n' 48
"$winsim" ls "$work/faultmonitor" printers | grep -qF 'VELKORA KVL-M720' || fail "faultmonitor: no printer"

new_machine faultenum xp
install faultenum 'dialog ok\nmsgbox ok EnumPrinterDrivers\nmsgbox no\n' 'EnumPrinterDriversA:5'
expect_box faultenum Warning 'EnumPrinterDrivers Error Code: 5\n\nAccess is denied.\r\n' 48

if [ "$failures" -ne 0 ]; then exit 1; fi
echo "OK"
