#!/usr/bin/env bash
# The main job on a simulated machine: a fresh Windows XP machine gets the
# driver package and the programs, the installer runs with a person who
# picks COM1 and presses Next and restarts later, and the machine is shown
# afterwards.
# Usage: demo.sh BUILD_ROOT
set -euo pipefail
build=${1:-$(dirname "$0")/../../build}
winsim=$build/sim/bin/winsim
work=$(mktemp -d)
machine=$work/xp

echo "== a fresh Windows XP machine"
"$winsim" new "$machine" --os xp
"$winsim" package "$machine" 'C:\KVL-M720'
"$winsim" ls "$machine" files 'C:\KVL-M720'

echo
echo "== the installer, the person choosing COM1 and Next, then restarting later"
printf 'dialog radio 1006\ndialog ok\nmsgbox no Restart the computer\n' > "$work/person.txt"
status=0
"$winsim" run "$machine" --script "$work/person.txt" --cwd 'C:\KVL-M720' 'C:\KVL-M720\drvsetup.exe' 'C:\KVL-M720\' || status=$?

for what in printers drivers monitors; do
  if "$winsim" ls "$machine" "$what" >/dev/null 2>&1; then
    echo
    echo "== $what"
    "$winsim" ls "$machine" "$what"
  fi
done
echo
echo "== the machine is kept at $machine (journal.jsonl has every call)"
exit $status
