#!/usr/bin/env bash
# The programs under Wine on a virtual display, driven like a person (clicks
# and keys), each run checked through the real spooler (e2e_probe.exe inside
# the prefix), `wine reg query` and the prefix's files. The scenarios
# install, usb and version run the 64-bit twin of the win64 build in a
# 64-bit prefix; xp and wow64 run the shipped 32-bit programs, the package
# folder of DIST_DIR as its SHA256SUMS names it, on 32-bit Wine (its Linux
# side on qemu-i386: run them under with_qemu_i386.sh).
#
#   install  a fresh installation on COM1 (Windows 7 reported), the same
#            version again (a second, numbered printer), an older version
#            stamp (the installer hands off to the uninstaller, which takes
#            everything away), two printers again, and the uninstaller from
#            the Windows folder with both printers checked
#   usb      an installation on USB over a device node of the printer: no
#            printer, the completion message, the USB print key and the
#            device node gone
#   version  Windows NT 4.0 and Windows 2000 reported: the 64-bit program
#            never asks for the version, so both install
#   xp       the steps of install in a 32-bit prefix (WINEARCH=win32)
#            reporting Windows XP: the x86 driver set, the uninstaller
#            without manifest
#   wow64    usb in a 64-bit prefix reporting Windows 7, the 32-bit
#            program under WOW64 (the x64 set, the 32-bit registry view),
#            then the installed uninstaller, which finds no printer and
#            removes everything by itself
#
# Screenshots are kept in OUT_DIR as SCENARIO-WHAT.png; each scenario works in a copy of a
# prepared prefix (OUT_DIR/template, made once). For wine_differential.sh,
# OUT_DIR/SCENARIO keeps what the programs showed (transcript.txt: for each
# run "run<TAB>name", then "status<TAB>text" and "box<TAB>caption<TAB>text"
# lines as e2e_probe.exe watched them) and what the prefix held after each
# step (outcome.txt), both as sim_scenarios.sh writes them; "passed" marks a
# run that passed.
#
# Usage: wine_scenarios.sh BUILD_DIR OUT_DIR SCENARIO [DIST_DIR]
# BUILD_DIR: the build of the probe (win32 for xp, else win64), and of the
# programs for install, usb and version.
# Exits 77 (skipped) when a build, the package, Wine or Xvfb is missing.
set -uo pipefail
build=$1 out_dir=$2 scenario=$3 dist=${4:-}
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
progress_title="VELKORA KVL-M720 Installation Progress"
port_title="Select Port Type"
uninstaller_title="VELKORA KVL-M720 Uninstaller"
installer_caption="VELKORA KVL-M720 installer"
print_key='HKLM\SYSTEM\CurrentControlSet\Control\Print'
uninstall_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\VELKORA_KVL-M720'
usbprint_key='HKLM\SYSTEM\CurrentControlSet\Enum\USBPRINT\VELKORA_KVL-M720'
# What an installation leaves, by the driver set of the machine: spooler
# environment folder, driver module, language monitor and its folder (under
# C:\windows), the package folder, the installed uninstaller.
x64=(x64 QVRdrv56.dll qpaNLM64.dll . driver64 KVLM720_Uninstaller_vista.exe)
x86=(w32x86 QVRdrv50.dll qpaNLMNT.dll system32 driver2k KVLM720_Uninstaller.exe)
set_=("${x64[@]}") template_name=template probe_exe=bin/e2e_probe.exe shipped= windows=win7 monitor_warning=
case $scenario in
install | usb | version) ;;
xp)
  # A 32-bit prefix: the 32-bit loader, and 32-bit Windows' driver set.
  wine=/usr/lib/wine/wine template_name=template32 probe_exe=e2e/e2e_probe.exe shipped=1 windows=winxp
  export WINEARCH=win32
  set_=("${x86[@]}")
  ;;
wow64)
  # The 32-bit program writes HKLM\SOFTWARE through WOW64's 32-bit view.
  uninstall_key='HKLM\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\VELKORA_KVL-M720'
  # Its prefix is made with 32-bit Wine at hand, so syswow64 is filled.
  template_name=template-wow64 shipped=1
  # Wine's spooler loads a monitor into the process that adds it: the
  # 32-bit installer cannot load qpaNLM64.dll, and says so in a box.
  monitor_warning=1
  ;;
*) echo "FAIL: unknown scenario $scenario"; exit 1 ;;
esac
env_dir=${set_[0]} driver_module=${set_[1]} monitor_module=${set_[2]} monitor_dir=${set_[3]}
driver_dir=${set_[4]} installed_uninstaller=${set_[5]}

source "$(dirname "$0")/wine_common.bash"
# A skipped scenario leaves no earlier run's files to stand for it.
skip() {
  rm -rf "${out_dir:?}/${scenario:?}"
  if [ -n "${KVL_REQUIRE_ALL:-}" ]; then echo "FAIL: $*"; exit 1; fi
  echo "SKIP: $*"
  exit 77
}
[ -f "$build/$probe_exe" ] || skip "$build/$probe_exe is not built"
probe_exe=$(cd "$(dirname "$build/$probe_exe")" && pwd)/e2e_probe.exe
if [ -n "$shipped" ]; then
  # The folder that SHA256SUMS names, as ./dev package laid it out.
  [ -f "$dist/SHA256SUMS" ] || skip "no package in ${dist:-DIST_DIR} (./dev package lays it out)"
  dist=$(cd "$dist" && pwd)
  package_name=$(grep -o ' [^/]*/drvsetup\.exe$' "$dist/SHA256SUMS" | sed 's|^ *||; s|/.*||')
  [ -n "$package_name" ] && [ -d "$dist/$package_name" ] || skip "$dist/SHA256SUMS names no package folder"
else
  for file in drvsetup.exe KVLM720_Uninstaller.exe KVLM720_Uninstaller_vista.exe; do
    [ -f "$build/bin/$file" ] || skip "$build/bin/$file is not built"
  done
  bin=$(cd "$build/bin" && pwd)
  # The driver folders of the build, with its real language monitors.
  package_data=$(cd "$build/package" && pwd) || skip "$build/package is not built"
fi
[ -x "$wine" ] || skip "$wine is not installed"
for tool in Xvfb xdotool import xdpyinfo; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done

mkdir -p "$out_dir"
out_dir=$(cd "$out_dir" && pwd)
work=$out_dir/$scenario
# KVL_WINEDEBUG: Wine's debug channels for the programs' log (work/programs.log).
export WINEDEBUG=${KVL_WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
fatal() { echo "FAIL: $*" >&2; import -window root "$work/fatal.png" 2>/dev/null; exit 1; }

xvfb_pid= app_pid= watch_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$watch_pid" ] && kill "$watch_pid" 2>/dev/null
  [ -n "${WINEPREFIX:-}" ] && "$wineserver" -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT
trap 'exit 1' INT TERM

source "$(dirname "$0")/outcome.bash"
start_display "$out_dir/xvfb-$scenario.log" || fatal "no X display could be started between :90 and :140"

template=$out_dir/$template_name
make_template "$template" "$out_dir/wineboot.log" || fatal "making the template prefix failed (see $out_dir/wineboot.log)"

# A copy of the template with the package in C:\Package and the probe in C:\.
rm -rf "$work"
mkdir -p "$work"
copy_template "$template" "$work/prefix" || fatal "copying the template failed"
export WINEPREFIX=$work/prefix
drive_c=$WINEPREFIX/drive_c
package=$drive_c/Package
mkdir -p "$package"
if [ -n "$shipped" ]; then
  cp -r "$dist/$package_name/." "$package/"
  # What runs is what ships: the copies are the files SHA256SUMS names.
  sed -n "s|^\([0-9a-f]*\)  $package_name/|\1  |p" "$dist/SHA256SUMS" >"$work/package.sha256"
  (cd "$package" && sha256sum --quiet --strict -c "$work/package.sha256") ||
    fatal "C:\\Package differs from $dist/SHA256SUMS"
  [ "$(find "$package" -type f | wc -l)" -eq "$(wc -l <"$work/package.sha256")" ] ||
    fatal "C:\\Package holds files that $dist/SHA256SUMS does not name"
else
  cp -r "$package_data/driver2k" "$package_data/driver64" "$package/"
  cp "$bin/drvsetup.exe" "$bin/KVLM720_Uninstaller.exe" "$bin/KVLM720_Uninstaller_vista.exe" "$package/"
fi
cp "$probe_exe" "$drive_c/"
# One server for the whole scenario: Wine's services then start once, not
# again for every program after the server's idle exit (under the emulator
# seconds each time); the clean-up ends it.
"$wineserver" -p || fatal "no wineserver for $WINEPREFIX"
# The services start with the first program and keep its standard handles
# as long as the server lives: a program of their own, so that none of them
# holds a probe's output pipe open.
"$wine" cmd /c exit </dev/null >>"$work/programs.log" 2>&1 || fatal "no program starts in $WINEPREFIX"
transcript=$work/transcript.txt outcome_file=$work/outcome.txt
: >"$transcript"
: >"$outcome_file"

# wait_window TITLE [NOT_ID]: the id of the window TITLE, once it is shown.
# Two minutes: on a loaded machine the emulated 32-bit Wine once took more
# than one to show the installer's first window (after the older version's
# removal, in the XP scenario).
wait_window() {
  wait_for 120 find_window "$@" || fatal "no window \"$1\" within 120 s"
  find_window "$@"
}
shot() { import -window root "$out_dir/$scenario-$1.png" || fail "screenshot $1 failed"; }
# press WINDOW KEY...: the keys, typed into WINDOW.
press() {
  local window=$1; shift
  # A click on the title bar first: a box that comes up while another
  # process has the focus is not active, and the keys would go elsewhere.
  eval "$(xdotool getwindowgeometry --shell "$window" 2>/dev/null)"
  xdotool mousemove --window "$window" $((WIDTH / 2)) 8 click 1 2>/dev/null
  xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window" 2>/dev/null
  xdotool key --clearmodifiers "$@"
}
window_gone() {
  xdotool getwindowname "$1" >/dev/null 2>&1 || return 0
  local id
  for id in $(shown_windows .); do [ "$id" = "$1" ] && return 1; done
  return 0
}
# answer CAPTION KEY [SHOT [NOT_ID]]: waits for the message box CAPTION (a
# window other than NOT_ID, the program's own of the same title), keeps a
# screenshot, presses KEY (Return: the default button; n: No) and waits
# until the box has gone.
answer() {
  local box
  box=$(wait_window "$1" "${4:-}") || exit 1
  pause 0.3
  [ -n "${3:-}" ] && shot "$3"
  press "$box" "$2"
  wait_for 20 window_gone "$box" || fatal "the box \"$1\" stayed after $2"
}
# click WINDOW X Y: a click at X,Y inside WINDOW.
click() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
  pause 0.7
}

# start WINDOWS_PATH: the program, started from its folder (C:\ on the
# host: drive_c), watched by the probe from before it starts to after it
# has ended.
start() {
  # The last run's output goes first: its "watching" must not stand for
  # this probe's, which truncates the file only once its process runs.
  rm -f "$drive_c/e2e_watch.stop" "$work/watch.out"
  "$wine" 'C:\e2e_probe.exe' watch "$progress_title=1003" "$uninstaller_title=1000" --until 'C:\e2e_watch.stop' \
    >"$work/watch.out" 2>>"$work/programs.log" &
  watch_pid=$!
  wait_for 30 file_has_line "$work/watch.out" watching || fatal "the probe does not watch"
  local dir=${1%\\*}
  dir=$drive_c/$(tr '\\' / <<<"${dir#C:\\}")
  (cd "$dir" && exec "$wine" "$1") >>"$work/programs.log" 2>&1 &
  app_pid=$!
}
# finish NAME: waits until the program started last has ended with status 0.
finish() {
  wait_for 60 ended "$app_pid" || fatal "$1: still running 60 s on"
  wait "$app_pid"
  local status=$?
  app_pid=
  [ "$status" -eq 0 ] || fail "$1: ended with status $status"
  # What the probe saw, once it has looked a last time and ended.
  touch "$drive_c/e2e_watch.stop"
  wait_for 20 ended "$watch_pid" || fatal "$1: the probe still watches"
  wait "$watch_pid" || fail "$1: the probe ended with status $?"
  watch_pid=
  printf 'run\t%s\n' "$1" >>"$transcript"
  tr -d '\r' <"$work/watch.out" | grep -v '^watching$' >>"$transcript"
}

# The port dialog: the radio button at X,Y (dialog units of the template
# turned into pixels by Wine's dialog font), then Enter for "&Next".
choose_port() {
  local dialog
  dialog=$(wait_window "$port_title") || exit 1
  pause 0.3
  [ -n "${3:-}" ] && shot "$3"
  click "$dialog" "$1" "$2"
  press "$dialog" Return
}
com1=(61 67) usb=(53 146)

# install_fresh NAME PORT [SHOT_OF_LAST_BOX [SHOT_OF_PORT_DIALOG]]: the
# installer from C:\Package: the port, then the restart question answered
# No (COM1) or the completion message answered (USB).
install_fresh() {
  local name=$1 port=$2
  start 'C:\Package\drvsetup.exe'
  local progress
  progress=$(wait_window "$progress_title") || exit 1
  if [ "$port" = USB ]; then
    choose_port "${usb[@]}"
    [ -n "$monitor_warning" ] && answer Warning Return monitor-warning
    answer Information Return "${3:-}"
  else
    choose_port "${com1[@]}" "${4:-}"
    # The progress window while the installation runs.
    [ -n "${4:-}" ] && { pause 0.5; shot progress; }
    answer Question n "${3:-}"
  fi
  finish "$name"
}

# The spooler and the keys as the probe saw them at the last outcome (each
# program start costs, the more so under the emulator).
probe() { printf '%s\n' "$seen"; }
printers() { probe | grep '^printer	VELKORA' | cut -f2-; }
key_exists() { "$wine" reg query "$1" >/dev/null 2>&1; }
# outcome NAME: what the prefix holds after the step NAME, as
# sim_scenarios.sh writes it; all the probe printed stays in $seen.
seen=
outcome() {
  seen=$("$wine" 'C:\e2e_probe.exe' --values stamp "$print_key\\Printers\\VELKORA KVL-M720\\VersionData" \
    --values uninstall "$uninstall_key" --key "$usbprint_label" "$usbprint_key" 2>&1 | tr -d '\r')
  {
    printf 'step\t%s\n' "$1"
    grep '^printer	VELKORA' <<<"$seen" | LC_ALL=C sort
    grep '^driver	VELKORA' <<<"$seen"
    grep '^monitor	Advanced Language Monitor	' <<<"$seen"
    awk -F'\t' '$1 == "device" && toupper($2) ~ /^USB\\VID_7A3C&PID_0008\\/' <<<"$seen"
    grep -E '^(value|key)	' <<<"$seen"
  } >>"$outcome_file"
}
devices() { "$wine" 'C:\e2e_probe.exe' devices 2>&1 | tr -d '\r'; }
windows_version() {
  "$wine" reg add 'HKCU\Software\Wine' /v Version /d "$1" /f >/dev/null 2>&1 || fatal "reg add Version $1"
}

# What a fresh installation on COM1 leaves in the prefix.
check_installed() {
  local name=$1
  grep -qxF "driver	VELKORA KVL-M720	$driver_module" <<<"$seen" || fail "$name: no $env_dir driver: $seen"
  grep -qxF "monitor	Advanced Language Monitor	$monitor_module" <<<"$seen" ||
    fail "$name: no language monitor: $seen"
  # The 64-bit monitor module goes to the Windows directory, the 32-bit one
  # to the system directory.
  cmp -s "$drive_c/windows/$monitor_dir/$monitor_module" "$package/$driver_dir/$monitor_module" ||
    fail "$name: no $monitor_module in C:\\windows\\$monitor_dir"
  grep -qxF "value	stamp	MinorVersion	6" <<<"$seen" || fail "$name: version stamp: $(grep '^value	stamp' <<<"$seen")"
  grep -qxF "value	uninstall	DisplayName	VELKORA KVL-M720  Windows Driver V4.6.64" <<<"$seen" ||
    fail "$name: no uninstall entry"
  grep -qixF 'value	uninstall	UninstallString	C:\windows\KVL-M720\KVLM720_Uninstaller.exe' <<<"$seen" ||
    fail "$name: uninstall string"
  # 64-bit Windows takes the uninstaller meant for Vista and later, XP the other.
  cmp -s "$drive_c/windows/KVL-M720/KVLM720_Uninstaller.exe" "$package/$installed_uninstaller" ||
    fail "$name: the installed uninstaller is not $installed_uninstaller"
  [ -f "$drive_c/windows/system32/spool/drivers/$env_dir/3/$driver_module" ] ||
    fail "$name: no driver module in $env_dir\\3"
  [ ! -f "$drive_c/windows/system32/spool/drivers/$env_dir/QVRUKR${driver_module:6:2}.DLL" ] ||
    fail "$name: staging copies left"
  # The set-up service's copy of the INF, named by the uninstall entry.
  local oem
  oem=$(awk -F'\t' '$1 == "value" && $2 == "uninstall" && $3 == "OemFileName" {print $4}' <<<"$seen")
  oem_copy=$drive_c/$(tr '\\' / <<<"${oem#[Cc]:\\}")
  [[ "$oem" =~ ^[Cc]:\\windows\\inf\\ ]] && cmp -s "$oem_copy" "$package/$driver_dir/velkora.inf" ||
    fail "$name: no copy of velkora.inf at OemFileName '$oem'"
}

scenario_install() {
  windows_version $windows
  outcome before
  install_fresh fresh COM1 restart-question port
  outcome fresh
  [ "$(printers)" = "VELKORA KVL-M720	VELKORA KVL-M720	COM1:" ] || fail "fresh: printers $(printers)"
  check_installed fresh

  # The same version again: a second printer, numbered.
  install_fresh again COM1
  outcome again
  [ "$(printers | sort)" = "VELKORA KVL-M720	VELKORA KVL-M720	COM1:
VELKORA KVL-M720(#1)	VELKORA KVL-M720	COM1:" ] || fail "again: printers $(printers)"

  # An older version: the installer says so, the uninstaller takes every
  # printer, the driver and the entry away, and No to the restart ends it.
  "$wine" reg add "$print_key\\Printers\\VELKORA KVL-M720\\VersionData" /v MinorVersion /t REG_DWORD /d 5 /f \
    >/dev/null 2>&1 || fail "older: reg add MinorVersion"
  start 'C:\Package\drvsetup.exe'
  answer "$installer_caption" Return different-version
  answer "$installer_caption" n removed-restart
  finish older
  outcome older
  [ -z "$(printers)" ] || fail "older: printers left: $(printers)"
  probe | grep -q '^driver	VELKORA KVL-M720' && fail "older: the driver stayed"
  key_exists "$uninstall_key" && fail "older: the uninstall entry stayed"

  # Two printers again, then the installed uninstaller with both checked.
  install_fresh second COM1
  install_fresh second-again COM1
  outcome second
  [ "$(printers | wc -l)" -eq 2 ] || fail "second: printers $(printers)"
  start 'C:\windows\KVL-M720\KVLM720_Uninstaller.exe'
  local window
  window=$(wait_window "$uninstaller_title") || exit 1
  pause 0.5
  # Each entry's check box, at the left edge of its line.
  click "$window" 12 46
  click "$window" 12 62
  shot uninstaller-list
  press "$window" Return
  answer KVLM720_Uninstaller n uninstalled-restart
  finish uninstall
  outcome uninstall
  [ -z "$(printers)" ] || fail "uninstall: printers left: $(printers)"
  probe | grep -q '^driver	VELKORA KVL-M720' && fail "uninstall: the driver stayed"
  key_exists "$uninstall_key" && fail "uninstall: the uninstall entry stayed"
  ls "$drive_c/windows/system32/spool/drivers/$env_dir/3/" | grep -qi 'NDRM7202' &&
    fail "uninstall: data files stayed in $env_dir\\3"
  [ -e "$oem_copy" ] && fail "uninstall: the INF copy $oem_copy stayed"
  # The language monitor stays for other printers that may use it.
  probe | grep -qxF "monitor	Advanced Language Monitor	$monitor_module" || fail "uninstall: the language monitor went"
}

scenario_usb() {
  windows_version win7
  "$wine" reg add "$usbprint_key" /v Marker /d 1 /f >/dev/null 2>&1 || fail "usb: reg add $usbprint_key"
  # What plug and play leaves once the printer has been connected.
  "$wine" 'C:\e2e_probe.exe' device-add "$printer_instance_id" "$printer_hardware_id" >>"$work/programs.log" 2>&1 ||
    fail "usb: the device node could not be made"
  devices | grep -qxF "device	$printer_instance_id	$printer_hardware_id" || fail "usb: no device node: $(devices)"
  outcome before
  install_fresh usb USB usb-completed
  outcome usb
  devices | grep -qiF 'USB\VID_7A3C&PID_0008' && fail "usb: the device node stayed: $(devices)"
  # Wine lists the key that holds the version stamp as a printer of its
  # own, without driver or port; a printer the installer added has both.
  [ "$(printers)" = "VELKORA KVL-M720		" ] || fail "usb: a printer on USB: $(printers)"
  probe | grep -qxF "driver	VELKORA KVL-M720	$driver_module" || fail "usb: no driver"
  key_exists "$usbprint_key" && fail "usb: the USB print key stayed"
  # Staging copies stay after a USB installation.
  [ -f "$drive_c/windows/system32/spool/drivers/x64/QVRUKR56.DLL" ] || fail "usb: staging copies gone"
}

scenario_version() {
  local version
  outcome before
  for version in nt40 win2k; do
    windows_version $version
    install_fresh "$version" COM1
    outcome "$version"
    probe | grep -qxF "driver	VELKORA KVL-M720	QVRdrv56.dll" || fail "$version: no x64 driver"
  done
  [ "$(printers | sort)" = "VELKORA KVL-M720	VELKORA KVL-M720	COM1:
VELKORA KVL-M720(#1)	VELKORA KVL-M720	COM1:" ] || fail "version: printers $(printers)"
}

# After an installation on USB no printer uses the driver: the installed
# uninstaller offers none and removes everything by itself.
scenario_wow64() {
  scenario_usb
  start 'C:\windows\KVL-M720\KVLM720_Uninstaller.exe'
  answer KVLM720_Uninstaller n uninstalled-restart
  finish uninstall
  outcome uninstall
  probe | grep -q '^driver	VELKORA KVL-M720' && fail "uninstall: the driver stayed"
  key_exists "$uninstall_key" && fail "uninstall: the uninstall entry stayed"
  ls "$drive_c/windows/system32/spool/drivers/$env_dir/3/" | grep -qi 'NDRM7202' &&
    fail "uninstall: data files stayed in $env_dir\\3"
}

case $scenario in
install | usb | version | wow64) "scenario_$scenario" ;;
xp) scenario_install ;;
esac
"$wineserver" -k 2>/dev/null
if [ "$failures" -ne 0 ]; then exit 1; fi
touch "$work/passed"
echo "OK: $scenario"
