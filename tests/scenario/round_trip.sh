#!/usr/bin/env bash
# A round trip on every supported kind of Windows, all through `winsim run`:
# install on COM1, then on USB, the same version again (a numbered printer),
# a stamp made older so that the installer runs the real uninstaller with
# DelAllDriver and installs again after the restart question, then plug and
# play leaves a device node, the printer's USB print key and the driver's
# leftover folder, and a person removes everything with the uninstaller that
# the installation placed under the Windows directory. Compared with the
# fresh machine, exactly what is left on purpose remains: the language
# monitor and its module, the uninstaller's folder and file, and the vendor
# key with its grant on Vista and later.
#
# Usage: round_trip.sh SIM_BUILD_DIR
source "$(dirname "$0")/common.bash" "$1"

# run MACHINE SCRIPT PROGRAM: a program of the machine, answered by SCRIPT.
run() {
  printf "$2" >"$work/script"
  "$winsim" run "$1" --script "$work/script" --cwd 'C:\Package' "$3" >"$work/transcript" 2>&1 ||
    { fail "$1: $3 ended with status $?"; tail -5 "$work/transcript"; }
}

while read -r os windir; do
  m=$work/$os
  fresh_machine "$m" "$os"
  "$winsim" snapshot "$m" >/dev/null || { echo "FAIL: snapshot of $os"; exit 1; }
  run "$m" 'dialog radio 1006\ndialog ok\nmsgbox no\n' 'C:\Package\drvsetup.exe'
  run "$m" 'dialog radio 1000\ndialog ok\nmsgbox ok\n' 'C:\Package\drvsetup.exe'
  run "$m" 'dialog radio 1006\ndialog ok\nmsgbox no\n' 'C:\Package\drvsetup.exe'
  [ "$("$winsim" ls "$m" printers | grep -cF '	VELKORA KVL-M720	COM1:')" -eq 2 ] ||
    fail "$os: not two printers: $("$winsim" ls "$m" printers)"
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\VELKORA KVL-M720\\VersionData]\r\n"MinorVersion"=dword:00000005\r\n' >"$work/older.reg"
  "$winsim" reg "$m" import "$work/older.reg" >/dev/null || fail "$os: reg import"
  run "$m" 'msgbox ok different\nmsgbox yes\ndialog radio 1006\ndialog ok\nmsgbox no\n' 'C:\Package\drvsetup.exe'
  grep -qF '"Uninstall completed!"' "$work/transcript" || fail "$os: the uninstaller did not run to its end"
  [ "$("$winsim" ls "$m" printers | grep -cF 'VELKORA KVL-M720')" -eq 1 ] ||
    fail "$os: after the hand-off: $("$winsim" ls "$m" printers)"

  # What plug and play leaves once the printer has been connected.
  "$winsim" device "$m" add 'USB\Vid_7A3C&Pid_0008' >/dev/null || fail "$os: device node"
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\VELKORA_KVL-M720\\1&2]\r\n"Driver"="{4d36e979-e325-11ce-bfc1-08002be10318}\\\\0000"\r\n' >"$work/pnp.reg"
  "$winsim" reg "$m" import "$work/pnp.reg" >/dev/null || fail "$os: reg import"
  drivers=w32x86
  [ "$os" = 7-x64 ] && drivers=x64
  mkdir -p "$m/drive_c/${windir#C:\\}/system32/spool/drivers/$drivers/velkora_kvl_m7207188"
  printf x >"$m/drive_c/${windir#C:\\}/system32/spool/drivers/$drivers/velkora_kvl_m7207188/cache.dat"

  run "$m" 'check VELKORA KVL-M720\nclick 1001\nmsgbox no\n' "$windir\\KVL-M720\\KVLM720_Uninstaller.exe"
  grep -qF '"Uninstall completed!"' "$work/transcript" || fail "$os: the removal did not run to its end"

  # Everything else is gone; these stay on purpose.
  uninstaller=KVLM720_Uninstaller.exe software='HKEY_LOCAL_MACHINE\SOFTWARE' monitor="$windir\\system32\\qpaNLMNT.dll"
  case $os in vista | 7 | 7-x64) uninstaller=KVLM720_Uninstaller_vista.exe ;; esac
  [ "$os" = 7-x64 ] && software='HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node' monitor="$windir\\qpaNLM64.dll"
  size=$(stat -c %s "$m/drive_c/Package/$uninstaller")
  sub=driver2k
  [ "$os" = 7-x64 ] && sub=driver64
  monitor_size=$(stat -c %s "$m/drive_c/Package/$sub/${monitor##*\\}")
  {
    echo '+ key HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Monitors\Advanced Language Monitor'
    echo "+ value HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Advanced Language Monitor \"Driver\"=\"${monitor##*\\}\""
    case $os in
    vista | 7 | 7-x64)
      echo "+ key $software\\VELKORA_LABEL_PRINTER"
      echo "+ dacl $software\\VELKORA_LABEL_PRINTER Everyone=F003F/2"
      ;;
    esac
    echo "+ folder $windir\\KVL-M720 attributes D"
    echo "+ file $windir\\KVL-M720\\KVLM720_Uninstaller.exe size $size attributes A"
    echo "+ file $monitor size $monitor_size attributes A"
  } | sort >"$work/expected"
  "$winsim" diff "$m" | sort >"$work/left"
  diff -u "$work/expected" "$work/left" >"$work/difference" || { fail "$os: what is left differs:"; cat "$work/difference"; }
done <<'KINDS'
2000 C:\WINNT
xp C:\WINDOWS
2003 C:\WINDOWS
vista C:\Windows
7 C:\Windows
7-x64 C:\Windows
KINDS

expect_no_handles_left
if [ "$failures" -ne 0 ]; then exit 1; fi
echo "OK"
