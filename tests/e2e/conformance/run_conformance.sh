#!/usr/bin/env bash
# The conformance probe twice: the sim build's on a fresh simulated Windows 7
# 64-bit machine, the win64 build's in a fresh copy of the Wine template
# (Wine reports Windows 7 as well). Their lines are compared case by case.
# Every case whose lines differ must be listed in the table of the section
# "Conformance probe" of KNOWN_DIFFERENCES.md, and every case listed there
# must still differ, so that the table stays true.
#
# Usage: run_conformance.sh SIM_PROBE WINSIM WIN64_BUILD_DIR OUT_DIR
# Exits 77 (skipped) when the win64 build or Wine is missing, unless
# KVL_REQUIRE_ALL is set.
set -uo pipefail
sim_probe=$1 winsim=$2 win64_build=$3 out_dir=$4
here=$(cd "$(dirname "$0")" && pwd)
known=$here/../KNOWN_DIFFERENCES.md
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

source "$here/../wine_common.bash"
fatal() { echo "FAIL: $*"; exit 1; }

for file in conformance_probe.exe qpaNLM64.dll; do
  [ -f "$win64_build/bin/$file" ] || skip "$win64_build/bin/$file is not built"
done
[ -x "$wine" ] || skip "$wine is not installed"
[ -x "$sim_probe" ] || fatal "$sim_probe is not built"
[ -f "$known" ] || fatal "$known is missing"

mkdir -p "$out_dir"
out_dir=$(cd "$out_dir" && pwd)
work=$out_dir/conformance
rm -rf "$work"
mkdir -p "$work"

cleanup() {
  [ -n "${WINEPREFIX:-}" ] && "$wineserver" -k 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# The probe adds a print monitor: each side takes the 64-bit language
# monitor, the one its build lays out in its driver folders.
sim_monitor=$(dirname "$winsim")/../package/driver64/qpaNLM64.dll
[ -f "$sim_monitor" ] || fatal "$sim_monitor is not built"

# The simulated machine.
"$winsim" new "$work/machine" --os 7-x64 >/dev/null || fatal "winsim new failed"
cp "$sim_monitor" "$work/machine/drive_c/cprobemon.dll" || fatal "copying the monitor module failed"
WINSIM_MACHINE=$work/machine "$sim_probe" >"$work/sim.txt" 2>"$work/sim.err" ||
  fatal "the probe failed on the simulated machine: $(tail -3 "$work/sim.err")"

# Wine, without a display: no case needs one.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
make_template "$out_dir/template" "$out_dir/wineboot.log" ||
  fatal "making the template prefix failed (see $out_dir/wineboot.log)"
copy_template "$out_dir/template" "$work/prefix" || fatal "copying the template failed"
export WINEPREFIX=$work/prefix
cp "$win64_build/bin/conformance_probe.exe" "$WINEPREFIX/drive_c/" &&
  cp "$win64_build/bin/qpaNLM64.dll" "$WINEPREFIX/drive_c/cprobemon.dll" || fatal "copying the probe failed"
(cd "$WINEPREFIX/drive_c" && timeout 90 "$wine" 'C:\conformance_probe.exe') >"$work/wine.raw" 2>"$work/wine.err" ||
  fatal "the probe failed under Wine (see $work/wine.err)"
tr -d '\r' <"$work/wine.raw" >"$work/wine.txt"
"$wineserver" -k 2>/dev/null
unset WINEPREFIX
# The copy is large; only the outputs are kept.
rm -rf "$work/prefix"

# The case-ids of the table: first cell of every row below the heading,
# up to the next heading, without its back quotes.
sed -n '/^## Conformance probe/,/^## /p' "$known" |
  awk -F'|' '/^\|/ { id = $2; gsub(/[ `]/, "", id); if (id != "" && id != "case-id" && id !~ /^-+$/) print id }' |
  sort -u >"$work/listed.txt"
[ -s "$work/listed.txt" ] || fatal "no case listed in the \"Conformance probe\" section of $known"

awk -F'\t' -v listed="$work/listed.txt" '
  BEGIN { while ((getline id < listed) > 0) known[id] = 1 }
  FNR == 1 { side++ }
  {
    if ((side, $1) in line) { printf "FAIL: case %s printed twice by the %s probe\n", $1, side == 1 ? "Wine" : "simulated"; bad++ }
    line[side, $1] = $0
    if (side == 2) order[++n] = $1
    else if (!($1 in seen)) { seen[$1] = 1; wineonly[++w] = $1 }
  }
  END {
    for (i = 1; i <= n; i++) {
      id = order[i]
      differs = !((1, id) in line) || line[1, id] != line[2, id]
      if (differs) ndiff++
      if (differs && !(id in known)) {
        printf "FAIL: %s differs and is not listed in KNOWN_DIFFERENCES.md\n  Wine:       %s\n  Simulation: %s\n", id,
               ((1, id) in line) ? line[1, id] : "(no line)", line[2, id]
        bad++
      } else if (!differs && (id in known)) {
        printf "FAIL: %s is listed in KNOWN_DIFFERENCES.md but no longer differs\n  both: %s\n", id, line[2, id]
        bad++
      }
      delete known[id]
    }
    for (i = 1; i <= w; i++)
      if (!((2, wineonly[i]) in line)) { printf "FAIL: %s printed under Wine only\n", wineonly[i]; bad++; delete known[wineonly[i]] }
    for (id in known) { printf "FAIL: %s is listed in KNOWN_DIFFERENCES.md but the probe has no such case\n", id; bad++ }
    printf "%d cases, %d differ\n", n, ndiff
    exit bad ? 1 : 0
  }' "$work/wine.txt" "$work/sim.txt"
status=$?
if [ "$status" -ne 0 ]; then
  echo "--- Wine, +++ simulation (outputs in $work):"
  diff -u "$work/wine.txt" "$work/sim.txt" | tail -n +3
  exit 1
fi
echo "OK: conformance"
