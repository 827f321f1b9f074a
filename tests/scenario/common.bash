# Shared by the scenario scripts (sourced, not a test): strict mode, the
# winsim tool of the sim build, a work folder removed at the end, failures
# counted by fail, the texts several scripts expect, and a machine's journal
# and registry read back once per state of the machine.
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

# Reading a machine back: `winsim journal DIR` and `winsim reg DIR export`
# run once for each state of the machine, and every other read of that state
# is taken from their output (a start of winsim under the sanitizers costs
# far more than the read itself). The state is the size, the modification and
# change times (ns) and the inode of DIR/journal.jsonl or DIR/registry.reg:
# the journal only grows, and every run or import that saves the registry
# puts a new registry.reg in place. A read that fails is not kept, and the
# command is run as it is.
mkdir "$work/.kept"

# keep NAME DIR FILE ARGS...: sets kept to the file that holds what `winsim
# ARGS...` prints for the present state of DIR/FILE, running it when that
# state is new; false when it fails. Two reads of one state may run at once
# (the two sides of a pipeline): each writes a file of its own and renames
# it, so that the file read is always whole.
keep() {
  local name state
  case $2 in
  "$work"/*) name=w${2#"$work"} ;;
  *) name=a$2 ;;
  esac
  name=${name//%/%25}
  state=$(stat -c '%s-%.9Y-%.9Z-%i' -- "$2/$3" 2>/dev/null) || state=none
  kept=$work/.kept/$1-${name//\//%2F}@$state
  [ -f "$kept" ] && return 0
  local own=$kept.$BASHPID
  "$winsim" "${@:4}" >"$own" 2>/dev/null && mv "$own" "$kept" && return 0
  rm -f "$own"
  return 1
}

# machine_journal DIR [--call NAME]... [--ui KIND]...: what `winsim journal`
# prints, the same lines in the same order: every line when nothing is
# named, otherwise those whose "call" string is one of the names or whose
# "ui" string is one of the kinds.
machine_journal() {
  local dir=$1 named=() plain=()
  shift
  local args=("$@")
  while [ $# -ge 2 ] && { [ "$1" = --call ] || [ "$1" = --ui ]; }; do
    named+=("${1#--} $2")
    # Such a name has nothing to escape: winsim writes it as `"call":"NAME"`.
    [[ $2 == *[!A-Za-z0-9_.-]* ]] || plain+=("\"${1#--}\":\"$2\"")
    shift 2
  done
  if [ $# -gt 0 ] || ! keep journal "$dir" journal.jsonl journal "$dir"; then
    "$winsim" journal "$dir" "${args[@]}"
    return
  fi
  if [ ${#named[@]} -eq 0 ]; then
    cat "$kept"
    return
  fi
  # winsim writes a line as {"t":N,"pid":N, then "call" or "ui": a name
  # there is the line's own. A line that holds none of the names does not
  # match; any other line that holds one (elsewhere) leaves it all to jq.
  if [ ${#plain[@]} -eq ${#named[@]} ]; then
    LC_ALL=C awk -v wanted="${plain[*]}" '
      BEGIN { n = split(wanted, names, " ") }
      {
        for (i = 1; i <= n; i++) if (index($0, names[i])) break
        if (i > n) next
        unsure = !match($0, /^\{"t":-?[0-9]+,"pid":-?[0-9]+,/)
        if (unsure) exit 3
        head = substr($0, RLENGTH + 1)
        for (i = 1; i <= n; i++) {
          l = length(names[i])
          after = substr(head, l + 1, 1)
          if (substr(head, 1, l) == names[i] && (after == "," || after == "}")) break
        }
        unsure = i > n
        if (unsure) exit 3
        lines = lines $0 "\n"
      }
      END {
        if (unsure) exit 3
        printf "%s", lines
      }' "$kept"
    [ $? -eq 3 ] || return 0
  fi
  jq -R -r --args 'fromjson as $e
    | select([($e.call | strings | "call " + .), ($e.ui | strings | "ui " + .)] | any(IN($ARGS.positional[])))' \
    "${named[@]}" <"$kept"
}

# machine_registry DIR [KEY]: what `winsim reg DIR export [KEY]` prints: the
# whole registry, or the sections of KEY and of the keys below it, which
# follow one another in the whole export as in that of the key alone. A key
# named in another letter case or another form than its header is exported
# by winsim; one that is not there gives winsim's message and status.
machine_registry() {
  local dir=$1
  if [ $# -gt 2 ] || ! keep registry "$dir" registry.reg reg "$dir" export; then
    "$winsim" reg "$dir" export "${@:2}"
    return
  fi
  if [ $# -eq 1 ]; then
    cat "$kept"
    return
  fi
  # Status 0: the key's header is there as named; 1: only in another case
  # (ASCII letters, as the names compare); 2: not at all.
  LC_ALL=C KEY=$2 awk '
    BEGIN { head = "[" ENVIRON["KEY"] "]\r"; below = "[" ENVIRON["KEY"] "\\"; n = length(below); folded = toupper(head) }
    NR <= 2 { text = text $0 "\n"; blank = 1; next }
    blank && substr($0, 1, 1) == "[" {
      inside = $0 == head || substr($0, 1, n) == below
      if ($0 == head) found = 1
      if (toupper($0) == folded) near = 1
    }
    inside { text = text $0 "\n" }
    { blank = $0 == "\r" }
    END { if (found) printf "%s", text; exit found ? 0 : near ? 1 : 2 }' "$kept"
  case $? in
  0) return 0 ;;
  2)
    # A full path of printable ASCII names is compared as winsim compares
    # it, so no header means no key.
    if printf '%s' "$2" | LC_ALL=C grep -qzxE 'HKEY_(LOCAL_MACHINE|USERS|CURRENT_USER)(\\[]-~ -[]+)*'; then
      echo "winsim: reg: no key '$2'" >&2
      return 2
    fi
    ;;
  esac
  "$winsim" reg "$dir" export "$2"
}

# Windows closes what a program leaves open when it ends, but a printer
# handle still open while its driver is deleted is what keeps the driver
# "in use": every machine of the run must show no handle left open (the
# journal's "left-open" lines, written when a process ends).
expect_no_handles_left() {
  local journal left
  while IFS= read -r journal; do
    left=$(machine_journal "$(dirname "$journal")" | jq -c 'select(has("left-open"))')
    [ -z "$left" ] || fail "$(basename "$(dirname "$journal")"): handles left open: $left"
  done < <(find "$work" -name journal.jsonl)
}

# take_shard FILE K/N: keeps the K-th of every N lines of FILE, the share of
# one of N shards of a sweep; 1/1 keeps them all.
take_shard() {
  local k=${2%/*} n=${2#*/}
  awk -v k="$k" -v n="$n" '(NR - k) % n == 0' "$1" >"$1.shard" && mv "$1.shard" "$1"
}
