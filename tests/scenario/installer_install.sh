#!/usr/bin/env bash
# The installer through `winsim run` as a person meets it: a fresh
# installation on every supported kind of Windows on a COM, LPT or USB port
# (status texts in order, the closing message, and the machine afterwards:
# monitor, driver and its dependent files in the right environment, printer,
# uninstall entry, vendor key and its security, the uninstaller's source,
# version stamp, staging copies, INF folder), the kinds it refuses, a
# reinstallation that numbers the printer, the hand-off of an older version
# to the uninstaller with the restart question answered No and Yes, spooler
# calls that fail, and a package without its INF.
#
# Usage: installer_install.sh SIM_BUILD_DIR [nt5|nt6|cases]
# nt5: the fresh installations on 2000, XP and 2003 and the reinstallation;
# nt6: those on Vista and 7 and the refused kinds; cases: all that follows.
# All three when none is named; CTest runs them side by side.
source "$(dirname "$0")/common.bash" "$1"
part=${2:-all}
in_part() { [ "$part" = all ] || [ "$part" = "$1" ]; }

usb_done='Installation is completed.\n\nPlease turn-off printer and turn-on printer.'
fresh_com='Check drivers...\r\n|Add printer...\r\n|Install language monitor...\r\n|Copy files...\r\n|Install printer driver...\r\n|Install printer...\r\n|Delete installed files...\r\n|Completed!'
fresh_usb='Check drivers...\r\n|Add printer...\r\n|Install language monitor...\r\n|Copy files...\r\n|Install printer driver...\r\n|Completed!'
again_com='Check drivers...\r\n|Add printer...\r\n|Install printer...\r\n|Completed!'

# new_machine NAME OS: a fresh machine with the package in C:\Package.
new_machine() { fresh_machine "$work/$1" "$2"; }
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
journal() { machine_journal "$work/$1" "${@:2}"; }
# The status line's texts of the last run, joined by |, with \r\n as written.
# The pid is read first, so that both reads share one journal of the machine.
statuses() {
  local pid
  pid=$(journal "$1" --ui exit | jq -s 'last.pid')
  journal "$1" --ui text | jq -r -s --argjson pid "$pid" \
    '[.[] | select(.pid == $pid and .dialog == 102 and .id == 1003) | .text] | join("|")' |
    sed -e ':a' -e 'N' -e '$!ba' -e 's/\r/\\r/g' -e 's/\n/\\n/g'
}
# The message boxes of the whole journal, as "caption|text|type|answer" lines.
boxes() { journal "$1" --ui msgbox | jq -r '[.caption, (.text | @json), .type, .answer] | map(tostring) | join("|")'; }
expect_box() { boxes "$1" | grep -qF -- "$2|\"$3\"|$4|" || fail "$1: no box $2 \"$3\" $4: $(boxes "$1")"; }

hklm='HKEY_LOCAL_MACHINE'
print_key="$hklm\\SYSTEM\\CurrentControlSet\\Control\\Print"
# The values of one key as "name"=data lines, security included.
export_key() { machine_registry "$work/$1" "$2" 2>/dev/null | tr -d '\r'; }
values() { export_key "$1" "$2" | grep -E '^("|;)'; }
# The names of a REG_MULTI_SZ value of an export, one a line (the bytes as
# Latin-1 characters, written in UTF-8).
multi_sz() {
  export_key "$1" "$2" | sed -n "/^\"$3\"=hex(7):/,/[^\\]\$/p" |
    sed -e 's/^.*hex(7)://' -e 's/[\\ ]//g' | tr -d '\n' |
    LC_ALL=C awk '
      BEGIN { for (i = 0; i < 256; i++) byte[sprintf("%02x", i)] = i }
      { hex = hex tolower($0) }
      END {
        gsub(",", "", hex)
        for (i = 1; i <= length(hex); i += 2) {
          b = byte[substr(hex, i, 2)]
          if (b == 0) {
            if (name != "") names = names name "\n"
            name = ""
          } else if (b < 128) name = name sprintf("%c", b)
          else name = name sprintf("%c%c", 192 + int(b / 64), 128 + b % 64)
        }
        if (name != "") names = names name "\n"
        printf "%s", names == "" ? "\n" : names
      }'
}
# A file of drive C: as the host holds it, found without regard to case.
host_file() { find "$work/$1/drive_c" -ipath "$work/$1/drive_c/$(tr '\\' / <<<"${2#C:\\}")" | head -1; }

# What a fresh installation leaves: NAME KIND PORT ENV (PORT is USB or the
# printer's port).
check_machine() {
  local name=$1 os=$2 port=$3 env=$4 windir='C:\WINDOWS' mod=50 lm=qpaNLMNT.dll dir=w32x86
  case $os in vista | 7 | 7-x64) windir='C:\Windows' ;; 2000) windir='C:\WINNT' ;; esac
  # The 32-bit program's HKLM\SOFTWARE is the 32-bit view on 64-bit Windows.
  local software="$hklm\\SOFTWARE"
  local sub=driver2k
  [ "$env" = "Windows x64" ] && { mod=56 lm=qpaNLM64.dll dir=x64 sub=driver64 software="$hklm\\SOFTWARE\\Wow6432Node"; }
  local uninstall_key="$software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VELKORA_KVL-M720"
  local vendor_key="$software\\VELKORA_LABEL_PRINTER"
  "$winsim" ls "$work/$name" monitors | grep -qxF "Advanced Language Monitor	$lm" || fail "$name: no monitor $lm"
  local driver="$print_key\\Environments\\$env\\Drivers\\Version-3\\VELKORA KVL-M720"
  local dependents
  dependents=$(multi_sz "$name" "$driver" "Dependent Files")
  [ "$(wc -l <<<"$dependents")" -eq 22 ] && [ "$(head -1 <<<"$dependents")" = "QVRENG$mod.DLL" ] &&
    [ "$(tail -1 <<<"$dependents")" = NDRM7202.PP0 ] || fail "$name: dependent files $dependents"
  values "$name" "$driver" | grep -qxF "\"Driver\"=\"QVRdrv$mod.dll\"" || fail "$name: driver module"
  if [ "$port" != USB ]; then
    local printer
    printer=$(values "$name" "$print_key\\Printers\\VELKORA KVL-M720")
    for line in "\"Port\"=\"$port\"" '"Attributes"=dword:00000a00' '"Priority"=dword:00000001' \
      '"Print Processor"="WinPrint"' '"Datatype"="RAW"'; do
      grep -qxF -- "$line" <<<"$printer" || fail "$name: the printer lacks $line"
    done
  fi
  local entry oem
  entry=$(values "$name" "$uninstall_key")
  oem=$(sed -n 's/^"OemFileName"="\(.*\)"$/\1/p' <<<"$entry" | sed 's/\\\\/\\/g')
  [ "$(sed 's/"OemFileName"=.*/"OemFileName"=/' <<<"$entry")" = "\"DisplayName\"=\"VELKORA KVL-M720  Windows Driver V4.6.64\"
\"UninstallString\"=\"${windir//\\/\\\\}\\\\KVL-M720\\\\KVLM720_Uninstaller.exe\"
\"OemFileName\"=" ] || fail "$name: uninstall entry $entry"
  [[ "$oem" =~ ^"$windir"\\inf\\oem[0-9]+\.inf$ ]] && [ -n "$(host_file "$name" "$oem")" ] ||
    fail "$name: no OEM INF copy at '$oem'"
  # Started without arguments in C:\Package: the INF by its full path.
  journal "$name" --call SetupCopyOEMInfA |
    jq -e --arg inf "C:\\Package\\$sub\\velkora.inf" '.args[0:4] == [$inf, null, 1, 8192]' >/dev/null ||
    fail "$name: SetupCopyOEMInfA $(journal "$name" --call SetupCopyOEMInfA)"
  local vendor source=KVLM720_Uninstaller_vista.exe
  vendor=$(values "$name" "$vendor_key" 2>/dev/null)
  case $os in
  2000 | xp | 2003)
    source=KVLM720_Uninstaller.exe
    [ -z "$(export_key "$name" "$vendor_key")" ] || fail "$name: a vendor key"
    ;;
  *) [ "$vendor" = ';dacl: Everyone=F003F/2' ] || fail "$name: vendor key security '$vendor'" ;;
  esac
  cmp -s "$(host_file "$name" "$windir\\KVL-M720\\KVLM720_Uninstaller.exe")" "$work/$name/drive_c/Package/$source" ||
    fail "$name: the uninstaller is not a copy of $source"
  [ "$(values "$name" "$print_key\\Printers\\VELKORA KVL-M720\\VersionData")" = '"MajorVersion"=dword:00000004
"MinorVersion"=dword:00000006
"BuildVersion"=dword:00000040
"ExtraVersion"=dword:00000000' ] || fail "$name: version stamp"
  # Staging copies stay after USB only; the spooler's copies always.
  local staged="$windir\\system32\\spool\\drivers\\$dir"
  if [ "$port" = USB ]; then
    [ -n "$(host_file "$name" "$staged\\QVRUKR$mod.DLL")" ] || fail "$name: staging copies gone after USB"
  else
    [ -z "$(host_file "$name" "$staged\\QVRUKR$mod.DLL")" ] || fail "$name: staging copies left"
  fi
  [ -n "$(host_file "$name" "$staged\\3\\QVRJAP$mod.DLL")" ] || fail "$name: no driver file in the version folder"
  [ -z "$(host_file "$name" "$windir\\INF\\dravonixvelkora.inf")$(host_file "$name" "$windir\\INF\\dravonixvelkora.pnf")" ] ||
    fail "$name: the old INF pair stayed"
  "$winsim" ls "$work/$name" files "$windir" | grep -qiE '^inf	0	HD$' || fail "$name: the INF folder is not hidden"
}

# Fresh installations: name, kind, radio button, port, environment.
while read -r name os radio port env; do
  in_part "$(case $os in 2000 | xp | 2003) echo nt5 ;; *) echo nt6 ;; esac)" || continue
  new_machine "$name" "$os"
  # Tell the two uninstaller files apart; the copy must come from the right one.
  printf 'for Vista and later\r\n' >>"$work/$name/drive_c/Package/KVLM720_Uninstaller_vista.exe"
  inf_dir=$(case $os in vista | 7 | 7-x64) echo Windows ;; 2000) echo WINNT ;; *) echo WINDOWS ;; esac)
  mkdir -p "$work/$name/drive_c/$inf_dir/inf"
  printf old >"$work/$name/drive_c/$inf_dir/inf/dravonixvelkora.inf"
  printf old >"$work/$name/drive_c/$inf_dir/inf/dravonixvelkora.pnf"
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
  check_machine "$name" "$os" "$port" "$env"
  # The uninstall entry, then "Completed!", then the version stamp.
  order=$(journal "$name" | jq -r -s '[.[] | select((.call == "RegSetValueExA" and (.args[1] == "OemFileName" or .args[1] == "MajorVersion")) or (.ui == "text" and .dialog == 102 and .id == 1003 and .text == "Completed!")) | .args[1] // "Completed!"] | join(" ")')
  [ "$order" = "OemFileName Completed! MajorVersion" ] || fail "$name: order $order"
  # The time the person waits: half a second a step from "Check drivers..."
  # to "Completed!", which stays two seconds after the closing message.
  steps=$([ "$port" = USB ] && echo 5 || echo 7)
  times=$(journal "$name" | jq -r -s '[(.[] | select(.ui == "text" and .dialog == 102 and .id == 1003 and (.text | startswith("Check drivers") or . == "Completed!")) | .t), (.[] | select(.ui == "msgbox") | .t), (.[] | select(.ui == "exit") | .t)] | "\(.[1] - .[0]) \(.[3] - .[2])"')
  [ "$times" = "$((steps * 500)) 2000" ] || fail "$name: waits $times"
done <<'ROWS'
w2000 2000 1007 LPT1: Windows NT x86
w2000usb 2000 1000 USB Windows NT x86
xp xp 1006 COM1: Windows NT x86
xpusb xp 1000 USB Windows NT x86
w2003 2003 1008 COM2: Windows NT x86
w2003usb 2003 1000 USB Windows NT x86
vista vista 1010 LPT2: Windows NT x86
vistausb vista 1000 USB Windows NT x86
w7 7 1009 COM3: Windows NT x86
w7usb 7 1000 USB Windows NT x86
w7x64 7-x64 1011 COM4: Windows x64
w7x64usb 7-x64 1000 USB Windows x64
ROWS

# Refused kinds: the first message, and no port dialog.
for os in 95 98 me nt4; do
  in_part nt6 || continue
  new_machine "old$os" "$os"
  install "old$os" 'msgbox ok\n'
  expect_box "old$os" "VELKORA KVL-M720 installer" "This driver doesn't supported for this OS!!" 64
  [ -z "$(journal "old$os" --call DialogBoxParamA | jq -c 'select(.args[1] == 130)')" ] ||
    fail "old$os: the port dialog was shown"
done

# The same version again, twice: the printers are numbered, nothing is staged.
if in_part nt5; then
  install xp 'dialog ok\nmsgbox no\n'
  install xp 'dialog ok\nmsgbox no\n'
  [ "$(statuses xp)" = "$again_com" ] || fail "xp again: status texts $(statuses xp)"
  [ "$("$winsim" ls "$work/xp" printers | grep -cF 'VELKORA KVL-M720')" -eq 3 ] ||
    fail "xp again: $("$winsim" ls "$work/xp" printers)"
  "$winsim" ls "$work/xp" printers | grep -qF 'VELKORA KVL-M720(#2)	VELKORA KVL-M720	COM1:' ||
    fail "xp again: no printer (#2)"
fi
if ! in_part cases; then
  expect_no_handles_left
  [ "$failures" -eq 0 ] || exit 1
  echo "OK"
  exit 0
fi

# An older and a newer stamp: the uninstaller (the program of the package's
# stub) takes the other version away with DelAllDriver; No to the restart
# ends the installer, Yes goes on installing.
# The package's two stubs are the same program; the journal's CreateProcessA
# names the file started: the Vista one from Vista on, the other before.
for row in "no 5 7 KVLM720_Uninstaller_vista.exe" "yes 7 7 KVLM720_Uninstaller_vista.exe" "no 5 xp KVLM720_Uninstaller.exe" \
  "no 5 vista KVLM720_Uninstaller_vista.exe"; do
  read -r answer minor os program <<<"$row"
  name=handoff$answer$os
  new_machine "$name" "$os"
  install "$name" 'dialog ok\nmsgbox no\n'
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\VELKORA KVL-M720\\VersionData]\r\n"MinorVersion"=dword:0000000%s\r\n' "$minor" >"$work/$name.reg"
  "$winsim" reg "$work/$name" import "$work/$name.reg" >/dev/null || fail "$name: reg import"
  if [ $answer = no ]; then install "$name" 'msgbox ok different\nmsgbox no\n'
  else install "$name" 'msgbox ok different\nmsgbox yes\ndialog ok\nmsgbox no\n'; fi
  expect_box "$name" "VELKORA KVL-M720 installer" \
    'There are different version drivers in this system.\r\n\r\nThe installed drivers must be removed.' 64
  expect_box "$name" "VELKORA KVL-M720 installer" \
    'Installer has successfully removed different version.\nAfter restarting, you may reinstall our driver again.\n\n     Do you want to restart your computer now ?' 68
  journal "$name" --call CreateProcessA |
    jq -e -s --arg p "$program" 'any(.args[0] == $p and .args[1] == $p + " DelAllDriver" and .ret == 1)' >/dev/null ||
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
  [ "$os" = xp ] || journal "$name" --call SetupUninstallOEMInfA |
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

# An uninstaller that cannot be started: the person hears why, and nothing
# is installed over the other version.
new_machine nostub 7
install nostub 'dialog ok\nmsgbox no\n'
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\VELKORA KVL-M720\\VersionData]\r\n"MinorVersion"=dword:00000005\r\n' >"$work/nostub.reg"
"$winsim" reg "$work/nostub" import "$work/nostub.reg" >/dev/null || fail "nostub: reg import"
rm "$work/nostub/drive_c/Package/KVLM720_Uninstaller_vista.exe"
install nostub 'msgbox ok different\nmsgbox ok removed\n'
expect_box nostub "VELKORA KVL-M720 installer" \
  'The installed drivers could not be removed.\r\n\r\nThe system cannot find the file specified.\r\n' 48
[ "$(journal nostub --call AddPrinterDriverA | wc -l)" -eq 1 ] || fail "nostub: installed over the other version"
[ "$(journal nostub --call DialogBoxParamA | jq -s 'map(select(.args[1] == 130)) | length')" -eq 1 ] ||
  fail "nostub: the port dialog was shown again"

# The package named on the command line, the installer started from
# another folder (which holds the uninstaller programs it copies): the
# driver's files come from the folder named.
new_machine prefix xp
mkdir "$work/prefix/drive_c/Other"
cp "$work/prefix/drive_c/Package/"KVLM720_Uninstaller*.exe "$work/prefix/drive_c/Other/"
printf 'dialog ok\nmsgbox no\n' >"$work/prefix.script"
"$winsim" run "$work/prefix" --script "$work/prefix.script" --cwd 'C:\Other' 'C:\Package\drvsetup.exe' 'C:\Package\' \
  >"$work/prefix.transcript" 2>&1 || fail "prefix: status $?"
[ "$(statuses prefix)" = "$fresh_com" ] || fail "prefix: status texts $(statuses prefix)"
check_machine prefix xp COM1: "Windows NT x86"

# A package folder longer than the installer's buffer (128 characters, one
# more than it holds) is refused before anything is looked at or removed;
# one of 127 characters is taken, and the port dialog comes up.
new_machine longdir xp
printf 'msgbox ok\n' >"$work/longdir.script"
"$winsim" run "$work/longdir" --script "$work/longdir.script" --cwd 'C:\Package' 'C:\Package\drvsetup.exe' \
  "C:\\$(printf 'd%.0s' $(seq 124))\\" >"$work/longdir.transcript" 2>&1 || fail "longdir: status $?"
expect_box longdir Warning 'The driver package folder is too long: at most 127 characters are possible.' 48
[ -z "$(journal longdir --call DialogBoxParamA | jq -c 'select(.args[1] == 130)')" ] || fail "longdir: the port dialog was shown"
[ -z "$(journal longdir --call EnumPrinterDriversA)" ] || fail "longdir: drivers were looked at"
new_machine longestdir xp
printf 'dialog cancel\nmsgbox ok\n' >"$work/longestdir.script"
"$winsim" run "$work/longestdir" --script "$work/longestdir.script" --cwd 'C:\Package' 'C:\Package\drvsetup.exe' \
  "C:\\$(printf 'd%.0s' $(seq 123))\\" >"$work/longestdir.transcript" 2>&1 || fail "longestdir: status $?"
expect_box longestdir Information 'Install Canceled' 64
[ "$(journal longestdir --call DialogBoxParamA | jq -s 'map(select(.args[1] == 130)) | length')" -eq 1 ] ||
  fail "longestdir: no port dialog"

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

# An INF missing from the package: the set-up service stores no name, and
# the uninstall entry is written all the same, with an empty INF name.
new_machine noinf xp
rm "$work/noinf/drive_c/Package/driver2k/velkora.inf"
install noinf 'dialog ok\nmsgbox no\n'
journal noinf --call SetupCopyOEMInfA | jq -e '.ret == 0 and .args[4] == ""' >/dev/null ||
  fail "noinf: SetupCopyOEMInfA $(journal noinf --call SetupCopyOEMInfA)"
values noinf "$hklm\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VELKORA_KVL-M720" |
  grep -qxF '"OemFileName"=""' || fail "noinf: no empty OemFileName"
"$winsim" ls "$work/noinf" printers | grep -qF 'VELKORA KVL-M720	VELKORA KVL-M720	COM1:' || fail "noinf: no printer"

expect_no_handles_left
if [ "$failures" -ne 0 ]; then exit 1; fi
echo "OK"
