#!/usr/bin/env bash
# The main job on a simulated machine: create a Windows XP machine, then show
# what it holds. Usage: demo.sh BUILD_ROOT
set -euo pipefail
build=${1:-$(dirname "$0")/../../build}
winsim=$build/sim/bin/winsim
machine=$(mktemp -d)/xp
"$winsim" new "$machine" --os xp
echo "== machine.ini"
cat "$machine/machine.ini"
echo "== drive C:"
find "$machine/drive_c" -type d | sed "s|$machine/drive_c|C:|" | sort
echo "== the machine is kept at $machine"
