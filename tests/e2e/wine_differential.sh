#!/usr/bin/env bash
# The same scenarios under Wine and on the simulated 64-bit Windows 7, line
# by line: what the programs showed (transcript.txt) and what the machine
# held after each step (outcome.txt). The Wine side is what the
# wine.scenario.* tests left in OUT_DIR/SCENARIO; the simulated side is made
# here by sim_scenarios.sh in OUT_DIR/sim. Every line that differs must be a
# row of the section "Scenarios: simulated 7-x64 against Wine" of
# KNOWN_DIFFERENCES.md (with "shipped": the shipped programs' scenarios xp
# and wow64, and the section of theirs), and every row there must still
# differ.
#
# Usage: wine_differential.sh SIM_BUILD_DIR OUT_DIR KNOWN_DIFFERENCES.md [shipped]
# Exits 77 (skipped) when a Wine scenario has not passed (the win64 build,
# Wine or Xvfb missing).
set -uo pipefail
sim_build=$1 out_dir=$2 known=$3
scenarios=(install usb version) section="## Scenarios: simulated 7-x64 against Wine"
if [ "${4:-}" = shipped ]; then
  scenarios=(xp wow64) section="## Scenarios of the shipped programs: simulated XP and 7-x64 against 32-bit Wine"
fi

source "$(dirname "$0")/wine_common.bash"
for scenario in "${scenarios[@]}"; do
  [ -f "$out_dir/$scenario/passed" ] || skip "the Wine scenario $scenario has not passed in $out_dir/$scenario"
done
for scenario in "${scenarios[@]}"; do
  "$(dirname "$0")/sim_scenarios.sh" "$sim_build" "$out_dir/sim" "$scenario" >/dev/null || {
    echo "FAIL: the scenario $scenario on the simulated machine"
    "$(dirname "$0")/sim_scenarios.sh" "$sim_build" "$out_dir/sim" "$scenario"
    exit 1
  }
done

python3 - "$out_dir" "$known" "$section" "${scenarios[@]}" <<'PYTHON'
import difflib
import re
import sys

out_dir, known_file, SECTION, scenarios = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
NONE = "(none)"


def cell(text):
    """A table cell: `line` with \\t for its tabs, or (none)."""
    text = text.strip()
    if text == NONE:
        return None
    if not (len(text) >= 2 and text[0] == "`" and text[-1] == "`"):
        raise ValueError("a line is written `in backticks` or (none): " + text)
    return text[1:-1].replace("\\t", "\t")


def shown(line):
    return NONE if line is None else "`" + line.replace("\t", "\\t") + "`"


# The rows of the section: scenario, Wine's line, the simulation's line; a
# scenario written "NAME?" marks a line that the emulated CPU's timing may
# or may not bring out, so the row need not differ.
rows = []
with open(known_file, encoding="utf-8") as f:
    inside = False
    for number, line in enumerate(f, 1):
        if line.startswith("## "):
            inside = line.strip() == SECTION
            continue
        if not inside or not line.startswith("|"):
            continue
        parts = re.split(r"(?<!\\)\|", line.strip())[1:-1]
        if len(parts) != 4 or set(parts[0].strip()) <= set("-: ") or parts[0].strip() == "scenario":
            continue
        try:
            rows.append((parts[0].strip().rstrip("?"), cell(parts[1]), cell(parts[2]), number,
                         parts[0].strip().endswith("?")))
        except ValueError as e:
            sys.exit("FAIL: %s:%d: %s" % (known_file, number, e))
if not rows:
    sys.exit("FAIL: no rows under '%s' in %s" % (SECTION, known_file))

failures = 0
used = set()
for scenario in scenarios:
    wine_only, sim_only, unlisted = [], [], []
    for name in ("transcript.txt", "outcome.txt"):
        with open("%s/%s/%s" % (out_dir, scenario, name), encoding="utf-8") as f:
            wine = f.read().splitlines()
        with open("%s/sim/%s/%s" % (out_dir, scenario, name), encoding="utf-8") as f:
            sim = f.read().splitlines()
        for op, a, b, c, d in difflib.SequenceMatcher(None, wine, sim, autojunk=False).get_opcodes():
            if op == "equal":
                continue
            wine_only += wine[a:b]
            sim_only += sim[c:d]
            pairs = max(b - a, d - c)
            for i in range(pairs):
                unlisted.append((name, wine[a + i] if a + i < b else None, sim[c + i] if c + i < d else None))
    # A row stands for every occurrence of its lines.
    wine_left, sim_left = set(wine_only), set(sim_only)
    for row in rows:
        if row[0] != scenario:
            continue
        _, wine_line, sim_line, number, optional = row
        found = (wine_line is None or wine_line in wine_left) and (sim_line is None or sim_line in sim_left)
        if not found and not optional:
            print("FAIL: %s:%d: %s no longer differs: Wine %s, simulation %s"
                  % (known_file, number, scenario, shown(wine_line), shown(sim_line)))
            failures += 1
        used.add(number)
        wine_only = [l for l in wine_only if l != wine_line]
        sim_only = [l for l in sim_only if l != sim_line]
    for name, wine_line, sim_line in unlisted:
        if (wine_line is not None and wine_line in wine_only) or (sim_line is not None and sim_line in sim_only):
            print("FAIL: %s differs in %s, not listed:\n| %s | %s | %s | ? |"
                  % (scenario, name, scenario, shown(wine_line), shown(sim_line)))
            failures += 1
for row in rows:
    if row[0] not in scenarios:
        print("FAIL: %s:%d: no scenario %s" % (known_file, row[3], row[0]))
        failures += 1
if failures:
    sys.exit(1)
print("OK: %d scenarios alike but for %d listed differences" % (len(scenarios), len(rows)))
PYTHON
