#!/usr/bin/env bash
# The main job on a simulated machine: a fresh Windows XP machine gets the
# driver package and the programs, the installer runs with a person who
# picks COM1 and presses Next and restarts later, the machine is shown with
# what the installation added, and then the person removes everything with
# the uninstaller the installation placed under the Windows directory, and
# sees what the removal left.
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
"$winsim" snapshot "$machine" fresh

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
echo "== what the installation added"
"$winsim" diff "$machine" fresh

echo
echo "== the uninstaller from C:\WINDOWS\KVL-M720, the person checking the printer, Uninstall, restarting later"
printf 'check VELKORA KVL-M720\nclick 1001\nmsgbox no Restart the computer\n' > "$work/remove.txt"
"$winsim" run "$machine" --script "$work/remove.txt" --cwd 'C:\WINDOWS\KVL-M720' 'C:\WINDOWS\KVL-M720\KVLM720_Uninstaller.exe' ||
  status=$?

echo
echo "== what the removal left, against the fresh machine (kept on purpose: the language monitor, the uninstaller)"
"$winsim" diff "$machine" fresh
echo
echo "== the machine is kept at $machine (journal.jsonl has every call)"
exit $status
