# Shared by the scenario scripts (sourced, not a test): strict mode, the
# winsim tool of the sim build, a work folder removed at the end, failures
# counted by fail, and the texts several scripts expect.
#
# Usage: source "$(dirname "$0")/common.bash" SIM_BUILD_DIR
set -uo pipefail
build=$1
winsim=$build/bin/winsim
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
command -v jq >/dev/null || { echo "FAIL: jq is not installed (./dev setup installs it)"; exit 1; }

# The restart question both programs ask after a COM or LPT installation and
# a full removal.
restart_question='Restart the computer can take effect.\nPlease restart the computer.\n\n[Yes] I want to restart my computer now.\n[No] I will restart my computer later.'

# fresh_machine DIR OS: a new machine of the kind with the package and the
# program stubs in C:\Package.
fresh_machine() {
  "$winsim" new "$1" --os "$2" >/dev/null && "$winsim" package "$1" 'C:\Package' >/dev/null ||
    { echo "FAIL: machine $2 in $1"; exit 1; }
}

# Windows closes what a program leaves open when it ends, but a printer
# handle still open while its driver is deleted is what keeps the driver
# "in use": every machine of the run must show no handle left open (the
# journal's "left-open" lines, written when a process ends).
expect_no_handles_left() {
  local journal left
  while IFS= read -r journal; do
    left=$("$winsim" journal "$(dirname "$journal")" | jq -c 'select(has("left-open"))')
    [ -z "$left" ] || fail "$(basename "$(dirname "$journal")"): handles left open: $left"
  done < <(find "$work" -name journal.jsonl)
}

# take_shard FILE K/N: keeps the K-th of every N lines of FILE, the share of
# one of N shards of a sweep; 1/1 keeps them all.
take_shard() {
  local k=${2%/*} n=${2#*/}
  awk -v k="$k" -v n="$n" '(NR - k) % n == 0' "$1" >"$1.shard" && mv "$1.shard" "$1"
}
