#!/usr/bin/env bash
# The uninstaller through `winsim run` after real installations, as a person
# and as the installer start it: which printers it offers and in what order,
# a removal of one printer of two, full removals with the restart question
# answered Yes and No, the command word DelAllDriver and what is not it,
# Windows 95 to Me, 64-bit Windows, a driver the spooler refuses to delete,
# and a failed printer enumeration. A full removal leaves the vendor key, the
# language monitor and the uninstaller's own file; every removal ends with
# the bar at 100.
#
# Usage: uninstaller_remove.sh SIM_BUILD_DIR
source "$(dirname "$0")/common.bash" "$1"

program='C:\Windows\KVL-M720\KVLM720_Uninstaller.exe'
full='Checking OS...|Delete printers...|Delete printer driver...|Uninstall completed!'
short='Checking OS...|Delete printers...|Uninstall completed!'
uninstall_key='Uninstall\VELKORA_KVL-M720]'
usbprint_key='USBPRINT\VELKORA_KVL-M720'

# new_machine NAME OS [RADIO]: a fresh machine with the package in
# C:\Package, installed on the port of the radio button (none: not installed).
new_machine() {
  fresh_machine "$work/$1" "$2"
  [ -z "${3:-}" ] && return
  local answer='msgbox no'
  [ "$3" = 1000 ] && answer='msgbox ok'
  printf "dialog radio $3\ndialog ok\n$answer\n" >"$work/$1.install"
  "$winsim" run "$work/$1" --script "$work/$1.install" --cwd 'C:\Package' 'C:\Package\drvsetup.exe' \
    >"$work/$1.transcript" 2>&1 || { echo "FAIL: installation on $1"; cat "$work/$1.transcript"; exit 1; }
}
# add_printer NAME PRINTER DRIVER: a printer as the spooler keeps it.
add_printer() {
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\%s]\r\n"Name"="%s"\r\n"Printer Driver"="%s"\r\n"Port"="LPT1:"\r\n' \
    "$2" "$2" "$3" >"$work/printer.reg"
  "$winsim" reg "$work/$1" import "$work/printer.reg" >/dev/null || fail "$1: printer $2"
}
# uninstall NAME SCRIPT [--faults SPEC] [--program PATH] [ARGS...]: one run.
uninstall() {
  local name=$1 exe=$program options=()
  printf "$2" >"$work/$name.script"
  shift 2
  while [ $# -gt 0 ]; do
    case $1 in
      --faults) options+=(--faults "$2"); shift 2 ;;
      --program) exe=$2; shift 2 ;;
      *) break ;;
    esac
  done
  "$winsim" run "$work/$name" --script "$work/$name.script" "${options[@]}" "$exe" "$@" >"$work/$name.transcript" 2>&1
  local status=$?
  [ "$status" -eq 0 ] || { fail "$name: status $status"; cat "$work/$name.transcript"; }
}
journal() { machine_journal "$work/$1" "${@:2}"; }
registry() { machine_registry "$work/$1"; }
printers() { "$winsim" ls "$work/$1" printers | cut -f1 | sort | paste -sd '|'; }
# What the last run's process did, by the journal lines of its pid.
last_pid() { journal "$1" --ui exit | jq -s 'last.pid'; }
# The pid is read first, so that both reads share one journal of the machine.
of_last() {
  local pid
  pid=$(last_pid "$1")
  journal "$1" "${@:2}" | jq -c --argjson pid "$pid" 'select(.pid == $pid)'
}
statuses() { of_last "$1" --ui text | jq -r -s 'map(select(.id == 1000) | .text) | join("|")'; }
positions() { of_last "$1" --ui progress | jq -r -s 'map(.pos) | map(tostring) | join(",")'; }
pauses() { of_last "$1" --call Sleep | jq -r -s 'map(.args[0]) | map(tostring) | join(",")'; }
# The list as the window shows it: every entry added at its index.
offered() {
  of_last "$1" --ui list | jq -r -s 'reduce (.[] | select(.event == "add")) as $a ([]; .[:$a.index] + [$a.text] + .[$a.index:]) | join("|")'
}
# The entries whose drawn check box ended checked.
checked() {
  of_last "$1" --ui list-check | jq -r -s 'reduce .[] as $c ({}; .[$c.item] = $c.checked) | to_entries | map(select(.value) | .key) | sort | join("|")'
}
boxes() { of_last "$1" --ui msgbox | jq -r '[.caption, (.text | @json), .type, .answer] | map(tostring) | join("|")'; }
expect() { [ "$2" = "$3" ] || fail "$1: expected '$3', got '$2'"; }
# Whether the text holds the string; reads it all (grep -q would stop early
# and fail the writer under pipefail).
contains() { grep -iF -- "$1" >/dev/null; }
has_key() { registry "$1" | contains "$2"; }
# What a full removal leaves: the vendor key (Vista on), the monitor, the
# uninstaller's file; the bar at 100.
expect_full_removal() {
  expect "$1 statuses" "$(statuses "$1")" "$full"
  expect "$1 progress" "$(positions "$1")" "30,60,90,100"
  "$winsim" ls "$work/$1" drivers | contains 'VELKORA KVL-M720' && fail "$1: the driver stayed"
  has_key "$1" "$uninstall_key" && fail "$1: the uninstall key stayed"
  has_key "$1" "$usbprint_key" && fail "$1: the USB print key stayed"
  has_key "$1" 'Monitors\Advanced Language Monitor]' || fail "$1: the language monitor went"
  [ "${2:-}" = vista ] && { has_key "$1" '\VELKORA_LABEL_PRINTER]' || fail "$1: the vendor key went"; }
  "$winsim" ls "$work/$1" files 'C:\Windows\KVL-M720' | contains KVLM720_Uninstaller.exe ||
    fail "$1: the uninstaller's file went"
}

# No printer of the driver (installed for USB): the removal starts by
# itself with Cancel disabled; Yes to the restart question restarts.
new_machine usb 7 1000
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\VELKORA_KVL-M720\\1]\r\n' >"$work/usbprint.reg"
"$winsim" reg "$work/usb" import "$work/usbprint.reg" >/dev/null || fail "usb: reg import"
oem=$(registry usb | grep -F '"OemFileName"' | tr -d '\r' | sed -e 's/.*\\\\//' -e 's/"$//')
uninstall usb 'msgbox yes Restart\n'
expect "usb offered" "$(offered usb)" ""
of_last usb --ui enabled | jq -e -s 'any(.id == 2 and .enabled == false)' >/dev/null || fail "usb: Cancel stayed enabled"
expect "usb box" "$(boxes usb)" "KVLM720_Uninstaller|\"$restart_question\"|36|6"
[ -n "$(of_last usb --ui restart)" ] || fail "usb: no restart after Yes"
expect "usb pauses" "$(pauses usb)" "1000,1000,2000,4000,1000"
of_last usb --call SetupUninstallOEMInfA | jq -e --arg oem "$oem" '.args == [$oem, 1, null] and .ret == 1' >/dev/null ||
  fail "usb: the INF copy $oem was not uninstalled by name: $(of_last usb --call SetupUninstallOEMInfA)"
"$winsim" ls "$work/usb" files 'C:\Windows\inf' | contains "${oem%.inf}" && fail "usb: $oem stayed"
expect_full_removal usb vista

# Printers of the driver in the spooler's order Zebra, Alpha after the
# installer's: offered sorted. A printer of another driver is not offered.
new_machine w7 7 1006
add_printer w7 'Zebra desk' 'VELKORA KVL-M720'
add_printer w7 'Alpha desk' 'VELKORA KVL-M720'
add_printer w7 'Other desk' 'Microsoft XPS Document Writer'
# One of three checked: only it goes, and the driver with everything stays.
uninstall w7 'check Zebra desk\nclick 1001\n'
expect "w7 offered" "$(offered w7)" "Alpha desk|VELKORA KVL-M720|Zebra desk"
expect "w7 one checked" "$(checked w7)" "Zebra desk"
expect "w7 one statuses" "$(statuses w7)" "$short"
expect "w7 one progress" "$(positions w7)" "30,60,100"
expect "w7 one pauses" "$(pauses w7)" "1000,1000"
expect "w7 one printers" "$(printers w7)" "Alpha desk|Fax|Microsoft XPS Document Writer|Other desk|VELKORA KVL-M720"
[ -z "$(boxes w7)" ] || fail "w7: a box after one printer: $(boxes w7)"
"$winsim" ls "$work/w7" drivers | contains 'VELKORA KVL-M720' || fail "w7: the driver went with one printer"
has_key w7 "$uninstall_key" || fail "w7: the uninstall key went with one printer"
[ -z "$(of_last w7 --call DeletePrinterDriverExA)" ] || fail "w7: the driver was asked to go"
# Then the two left: the full removal, No to the restart question.
uninstall w7 'check Alpha desk\ncheck VELKORA KVL-M720\nclick 1001\nmsgbox no Restart\n'
expect "w7 all checked" "$(checked w7)" "Alpha desk|VELKORA KVL-M720"
expect "w7 box" "$(boxes w7)" "KVLM720_Uninstaller|\"$restart_question\"|36|7"
[ -z "$(of_last w7 --ui restart)" ] || fail "w7: restarted after No"
expect "w7 pauses" "$(pauses w7)" "1000,1000,2000,4000,1000"
of_last w7 --call DeletePrinterDriverExA |
  jq -e '.args == [null, "Windows NT x86", "VELKORA KVL-M720", 4, 3] and .ret == 1' >/dev/null ||
  fail "w7: $(of_last w7 --call DeletePrinterDriverExA)"
[ -z "$(of_last w7 --call RegDeleteKeyA)" ] || fail "w7: a driver key deleted although the spooler took the driver"
expect "w7 printers" "$(printers w7)" "Fax|Microsoft XPS Document Writer|Other desk"
expect_full_removal w7 vista

# A printer whose driver differs in case only is not offered. What is not
# the command word: the window waits, Cancel changes nothing.
new_machine xp xp 1006
add_printer xp 'Back office' 'VELKORA KVL-M720'
add_printer xp 'Case desk' 'Velkora KVL-M720'
for args in '' delalldriver DELALLDRIVER 'DelAllDriver now'; do
  # shellcheck disable=SC2086
  uninstall xp 'click 2\n' $args
  expect "xp '$args' offered" "$(offered xp)" "Back office|VELKORA KVL-M720"
  expect "xp '$args' statuses" "$(statuses xp)" ""
  expect "xp '$args' printers" "$(printers xp)" "Back office|Case desk|VELKORA KVL-M720"
done
# The word itself: every entry checked (the last first), no question, no
# closing pause. The spooler refuses the driver: its key goes directly.
uninstall xp '' --faults DeletePrinterDriverExA:5 DelAllDriver
expect "xp word opened" "$(of_last xp --call OpenPrinterA | jq -r -s 'map(.args[0]) | join("|")')" \
  "VELKORA KVL-M720|Back office|VELKORA KVL-M720"
[ -z "$(boxes xp)" ] || fail "xp: a box with the command word: $(boxes xp)"
expect "xp word pauses" "$(pauses xp)" "1000,1000,2000,4000"
of_last xp --call RegDeleteKeyA |
  jq -e '.args[1] == "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-3\\VELKORA KVL-M720" and .ret == 0' \
    >/dev/null || fail "xp: the driver key was not deleted: $(of_last xp --call RegDeleteKeyA)"
expect "xp word printers" "$(printers xp)" "Case desk"
expect_full_removal xp

# 64-bit Windows: the x64 environment, key and driver directory throughout,
# the x86 ones never.
new_machine x64 7-x64 1011
folder=$(find "$work/x64/drive_c" -ipath '*/spool/drivers/x64' -type d | head -1)/velkora_kvl_m7207188
mkdir -p "$folder/sub" && echo left >"$folder/sub/left.txt"
uninstall x64 'check VELKORA KVL-M720\nclick 1001\nmsgbox no Restart\n'
of_last x64 --call DeletePrinterDriverExA | jq -e '.args[1] == "Windows x64"' >/dev/null ||
  fail "x64: $(of_last x64 --call DeletePrinterDriverExA)"
expect "x64 driver directories" "$(of_last x64 --call GetPrinterDriverDirectoryA | jq -r -s 'map(.args[1]) | join(",")')" \
  "Windows x64,Windows x64"
of_last x64 | contains 'Windows NT x86' && fail "x64: an x86 name asked for: $(of_last x64 | grep -F 'Windows NT x86' | head -3)"
of_last x64 --call DeleteFileA | contains 'x64\\3\\NDRM7202.BA0' || fail "x64: the data files were not deleted from x64"
[ -d "$folder" ] && fail "x64: the driver's folder stayed"
expect_full_removal x64 vista

# Windows 95, 98 and Me: nothing is offered and nothing removed.
for os in 95 98 me; do
  new_machine "old$os" "$os"
  add_printer "old$os" 'VELKORA KVL-M720' 'VELKORA KVL-M720'
  uninstall "old$os" '' --program 'C:\Package\KVLM720_Uninstaller.exe'
  expect "old$os statuses" "$(statuses "old$os")" "Checking OS...|Uninstall completed!"
  expect "old$os progress" "$(positions "old$os")" "30,100"
  expect "old$os printers" "$(printers "old$os")" "VELKORA KVL-M720"
  [ -z "$(of_last "old$os" --call OpenPrinterA)$(of_last "old$os" --call DeleteFileA)" ] ||
    fail "old$os: something was removed"
done

# The second enumeration fails: the box, and nothing removed.
new_machine enum xp 1006
uninstall enum 'msgbox ok EnumPrinters\n' --faults 'EnumPrintersA#2:5' DelAllDriver
expect "enum box" "$(boxes enum)" 'Warning|"EnumPrinters Error Code: 5\n\nAccess is denied.\r\n"|48|1'
expect "enum statuses" "$(statuses enum)" ""
expect "enum printers" "$(printers enum)" "VELKORA KVL-M720"
has_key enum "$uninstall_key" || fail "enum: the uninstall key went"

expect_no_handles_left
if [ "$failures" -ne 0 ]; then exit 1; fi
echo "OK"
