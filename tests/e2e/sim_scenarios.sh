#!/usr/bin/env bash
# The scenarios of wine_scenarios.sh on a simulated 64-bit Windows 7 (the
# 32-bit programs of the sim build under WOW64), or Windows XP for the
# scenario xp, answered as the Wine runs answer them, written in the Wine
# runs' form for wine_differential.sh:
#
#   OUT_DIR/SCENARIO/transcript.txt  for each run "run<TAB>name", then what it
#       showed in order: "status<TAB>text" (a status text of the progress
#       window or the uninstaller that stood for a while: a text replaced,
#       or whose process ended, at the same moment is never seen) and
#       "box<TAB>caption<TAB>text"
#   OUT_DIR/SCENARIO/outcome.txt     after each run "step<TAB>name", then the
#       product's printers, drivers (x64, on XP x86), language monitor, USB
#       device nodes, version stamp, uninstall entry and USB print key
#
# Carriage returns, line feeds and tabs inside texts are written \r, \n, \t.
#
# Usage: sim_scenarios.sh SIM_BUILD_DIR OUT_DIR SCENARIO
set -uo pipefail
export LC_ALL=C
sim_build=$1 out_dir=$2 scenario=$3
winsim=$sim_build/bin/winsim
[ -x "$winsim" ] || { echo "FAIL: $winsim is not built"; exit 1; }
command -v jq >/dev/null || { echo "FAIL: jq is not installed"; exit 1; }
source "$(dirname "$0")/outcome.bash"

work=$out_dir/$scenario
m=$work/machine
rm -rf "$work"
mkdir -p "$work"
transcript=$work/transcript.txt outcome_file=$work/outcome.txt
: >"$transcript"
: >"$outcome_file"

hklm='HKEY_LOCAL_MACHINE'
print_key="$hklm\\SYSTEM\\CurrentControlSet\\Control\\Print"
# The 32-bit programs see the 32-bit view of HKLM\SOFTWARE.
uninstall_key="$hklm\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VELKORA_KVL-M720"
os=7-x64 environment='Windows x64'
if [ "$scenario" = xp ]; then
  os=xp environment='Windows NT x86'
  uninstall_key="$hklm\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VELKORA_KVL-M720"
fi
usbprint_key="$hklm\\SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\VELKORA_KVL-M720"

fatal() { echo "FAIL: $*"; exit 1; }

"$winsim" new "$m" --os $os >/dev/null && "$winsim" package "$m" 'C:\Package' >/dev/null ||
  fatal "a $os machine with the package in $m"

# import TEXT: registry lines (REGEDIT4 without its header) into the machine.
import() {
  printf 'REGEDIT4\r\n\r\n%s\r\n' "$1" >"$work/import.reg"
  "$winsim" reg "$m" import "$work/import.reg" >/dev/null || fatal "reg import $1"
}

# run NAME SCRIPT PROGRAM: a program of the machine, answered by SCRIPT; what
# it showed goes to the transcript.
run() {
  local name=$1 before
  printf "$2" >"$work/script"
  before=0
  [ -f "$m/journal.jsonl" ] && before=$(wc -l <"$m/journal.jsonl")
  "$winsim" run "$m" --script "$work/script" --cwd 'C:\Package' "$3" >"$work/$name.run" 2>&1 ||
    fatal "$name: $3 ended with status $? (see $work/$name.run)"
  printf 'run\t%s\n' "$name" >>"$transcript"
  tail -n +"$((before + 1))" "$m/journal.jsonl" | jq -r -s \
    --arg progress "VELKORA KVL-M720 Installation Progress" --arg uninstaller "VELKORA KVL-M720 Uninstaller" '
    def visible: gsub("\r"; "\\r") | gsub("\n"; "\\n") | gsub("\t"; "\\t");
    # The status controls: 1003 of the progress window, 1000 of the uninstaller.
    def watched($title; $id): ($title == $progress and $id == 1003) or ($title == $uninstaller and $id == 1000);
    # A status text is seen when the control keeps it past its own moment.
    def flush: if .pending then .out += ["status\t" + (.pending.text | visible)] | .pending = null else . end;
    reduce (.[] | select(.ui != null)) as $e ({titles: {}, last: {}, pending: null, out: []};
      (($e.pid | tostring) + ":" + ($e.dialog | tostring)) as $window
      | if ($e.ui == "caption") or ($e.ui == "dialog" and $e.event == "shown") then
          .titles[$window] = ($e.text // $e.caption)
        elif $e.ui == "text" and watched(.titles[$window]; $e.id) then
          ($window + ":" + ($e.id | tostring)) as $control
          | if .pending and .pending.control == $control and .pending.t == $e.t then .pending = null else flush end
          | if .last[$control] == $e.text then .
            else .last[$control] = $e.text
              | if $e.text == "" then . else .pending = {control: $control, t: $e.t, text: $e.text} end
            end
        elif $e.ui == "exit" and .pending and (.pending.control | startswith(($e.pid | tostring) + ":")) and .pending.t == $e.t then
          .pending = null
        elif $e.ui == "msgbox" then
          flush | .out += ["box\t" + ($e.caption | visible) + "\t" + ($e.text | visible)]
        else . end)
    | flush | .out[]' >>"$transcript" || fatal "$name: reading the journal"
}

# reg_values LABEL KEY: the key's values as "value<TAB>LABEL<TAB>name<TAB>data",
# numbers in decimal.
reg_values() {
  "$winsim" reg "$m" export "$2" 2>/dev/null | tr -d '\r' | awk -v label="$1" '
    function hex(s,   n, i) {
      for (i = 1; i <= length(s); i++) n = n * 16 + index("0123456789abcdef", tolower(substr(s, i, 1))) - 1
      return n
    }
    /^\[/ { n++; next }
    n == 1 && /^"/ {
      split($0, part, "\"=")
      name = substr(part[1], 2)
      data = substr($0, length(part[1]) + 3)
      if (data ~ /^dword:/) data = hex(substr(data, 7))
      else { data = substr(data, 2, length(data) - 2); gsub(/\\\\/, "\\", data) }
      printf "value\t%s\t%s\t%s\n", label, name, data
    }' | sort
}

# outcome NAME: what the machine holds after the step NAME.
outcome() {
  {
    printf 'step\t%s\n' "$1"
    "$winsim" ls "$m" printers | grep '^VELKORA' | sed 's/^/printer	/' | sort
    "$winsim" ls "$m" drivers | awk -F'\t' -v env="$environment" '$1 == env && $3 ~ /^VELKORA/ {print "driver\t" $3 "\t" $4}'
    "$winsim" ls "$m" monitors | grep '^Advanced Language Monitor	' | sed 's/^/monitor	/'
    "$winsim" ls "$m" devices | awk -F'\t' 'toupper($1) ~ /^USB\\VID_7A3C&PID_0008\\/ {print "device\t" $1 "\t" $3}'
    reg_values stamp "$print_key\\Printers\\VELKORA KVL-M720\\VersionData"
    reg_values uninstall "$uninstall_key"
    local there=absent
    "$winsim" reg "$m" export "$usbprint_key" 2>/dev/null | grep -q '^\[' && there=present
    printf 'key\t%s\t%s\n' "$usbprint_label" "$there"
  } >>"$outcome_file"
}

com1='dialog radio 1006\ndialog ok\nmsgbox no\n'
usb='dialog radio 1000\ndialog ok\nmsgbox ok\n'

case $scenario in
install | xp)
  outcome before
  run fresh "$com1" 'C:\Package\drvsetup.exe'
  outcome fresh
  run again "$com1" 'C:\Package\drvsetup.exe'
  outcome again
  import "[$print_key\\Printers\\VELKORA KVL-M720\\VersionData]"$'\r\n''"MinorVersion"=dword:00000005'
  run older 'msgbox ok\nmsgbox no\n' 'C:\Package\drvsetup.exe'
  outcome older
  run second "$com1" 'C:\Package\drvsetup.exe'
  run second-again "$com1" 'C:\Package\drvsetup.exe'
  outcome second
  run uninstall 'check VELKORA KVL-M720\ncheck VELKORA KVL-M720(#1)\nclick 1001\nmsgbox no\n' \
    'C:\Windows\KVL-M720\KVLM720_Uninstaller.exe'
  outcome uninstall
  ;;
usb | wow64)
  import "[$usbprint_key]"$'\r\n''"Marker"="1"'
  "$winsim" device "$m" add "$printer_hardware_id" --instance "$printer_instance_id" >/dev/null ||
    fatal "device node $printer_instance_id"
  outcome before
  run usb "$usb" 'C:\Package\drvsetup.exe'
  outcome usb
  "$winsim" ls "$m" devices | grep -qiF 'USB\VID_7A3C&PID_0008' && fatal "usb: the device node stayed"
  if [ "$scenario" = wow64 ]; then
    # No printer uses the driver: the uninstaller removes everything at once.
    run uninstall 'msgbox no\n' 'C:\Windows\KVL-M720\KVLM720_Uninstaller.exe'
    outcome uninstall
  fi
  ;;
version)
  # Wine reports NT 4.0, then Windows 2000, to the 64-bit programs, which
  # never ask: both install as on 64-bit Windows 7.
  outcome before
  run nt40 "$com1" 'C:\Package\drvsetup.exe'
  outcome nt40
  run win2k "$com1" 'C:\Package\drvsetup.exe'
  outcome win2k
  ;;
*) fatal "unknown scenario $scenario" ;;
esac
echo "OK: $scenario on the simulated $os"
