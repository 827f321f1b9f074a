#!/usr/bin/env python3
"""Single-line faults in the programs' sources, and which of them the tests miss.

    tools/mutate.py [N] [--seed S]

Picks N changes at random (seeded; the seed is printed so a run can be
repeated) among the lines of the installer, the uninstaller, the toolkit and
the legacy library and their resource scripts: a number changed, a string
changed, a comparison turned, a call removed, TRUE and FALSE swapped. Each is
made in turn in a copy of the tree (build/mutate/tree, with its own sim build
under LeakSanitizer that later runs reuse), the copy is built and the fast
tests run: first the
unit tests of the programs and the scenarios, then the other unit tests. A
change that does not compile is replaced by another. The tree itself is never
written. A line the sim build does not compile (an #ifdef _WIN64 branch) is
passed over like one that does not build, and so is a change listed in
tools/mutate_equivalent.txt, which no run of the program can tell from the
original (each with the reason). At the end: how many were caught, and each
survivor.
"""

import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
COPY = os.path.join(ROOT, "build", "mutate", "tree")
BUILD = os.path.join(COPY, "build", "sim")
PROGRAM_DIRS = ["installer", "uninstaller", "toolkit", "legacy"]
# Tests that are not fast: the every-call sweeps, Wine, the Windows images,
# the benchmarks.
SLOW_TESTS = r"every_call|^wine\.|^pe_image\.|^headers\.|^conformance|^benchmarks_run"

TIMEOUT_FACTOR = 3
LEAK_FLAG = "-fsanitize=leak"

CALL_STATEMENT = re.compile(r"^(\s*)(?:::)?[A-Za-z_][\w:]*(?:(?:\.|->)[A-Za-z_]\w*)*\s*\(.*\);\s*$")
NOT_A_CALL = re.compile(r"^\s*(return|if|while|for|switch|delete|case|else|do|sizeof|static_assert)\b")
NUMBER = re.compile(r"(?<![\w.])(0[xX][0-9A-Fa-f]+|\d+)([uUlL]*)(?![\w.])")
STRING = re.compile(r'"((?:[^"\\]|\\.)*)"')
COMPARISONS = [(" == ", " != "), (" != ", " == "), (" <= ", " < "), (" >= ", " > "), (" < ", " <= "),
               (" > ", " >= "), (" && ", " || "), (" || ", " && ")]
BOOLEANS = [("TRUE", "FALSE"), ("FALSE", "TRUE"), ("true", "false"), ("false", "true")]


def source_files():
    files = []
    for d in PROGRAM_DIRS:
        for name in sorted(os.listdir(os.path.join(ROOT, d))):
            if name == "resource.h" or not name.endswith((".cpp", ".h", ".rc")):
                continue
            files.append(os.path.join(d, name))
    return files


def code_part(line, in_block):
    """The part of the line outside comments (and whether a block comment is
    still open after it); string literals are kept whole."""
    out, i, n = [], 0, len(line)
    while i < n:
        if in_block:
            end = line.find("*/", i)
            if end < 0:
                return "".join(out), True
            out.append(" " * (end + 2 - i))
            i, in_block = end + 2, False
        elif line.startswith("//", i):
            break
        elif line.startswith("/*", i):
            in_block = True
        elif line[i] == '"':
            m = STRING.match(line, i)
            end = m.end() if m else n
            out.append(line[i:end])
            i = end
        else:
            out.append(line[i])
            i += 1
    return "".join(out), in_block


def changed_string(text):
    """A different literal: its last plain character replaced (an empty one
    gets a character, a format that ends in a conversion one more)."""
    if not text or re.search(r"%[-+ #0-9.*]*[a-zA-Z]$", text):
        return text + "x"
    if len(text) >= 2 and text[-2] == "\\":
        return text[:-2] + "?"
    c = text[-1]
    return text[:-1] + ("Q" if c != "Q" else "R")


def changed_number(token):
    if token.lower().startswith("0x"):
        v = int(token, 16)
        return "0x%X" % (v + 1 if v != 1 else 0)
    v = int(token)
    return str(1 if v == 0 else 0 if v == 1 else v + 1)


def mutations_of(path, lineno, line, code):
    """Every single change of the line: (description, new line)."""
    stripped = code.strip()
    if not stripped or stripped.startswith(("#include", "#pragma", "#if", "#endif", "#else", "#define")):
        return []
    if "static_assert" in code or stripped.startswith(("namespace", "}", "extern \"C\"")):
        return []
    rc = path.endswith(".rc")
    found = []
    strings = [(m.start(), m.end()) for m in STRING.finditer(code)]

    def in_string(pos):
        return any(s <= pos < e for s, e in strings)

    for m in NUMBER.finditer(code):
        if in_string(m.start()):
            continue
        new = changed_number(m.group(1))
        found.append(("number %s -> %s" % (m.group(1), new), line[:m.start(1)] + new + line[m.end(1):]))
    for m in STRING.finditer(code):
        if stripped.startswith("#") or (not rc and "LANGUAGE" in code):
            continue
        new = changed_string(m.group(1))
        found.append(('string "%s" -> "%s"' % (m.group(1), new), line[:m.start(1)] + new + line[m.end(1):]))
    if not rc:
        for old, new in COMPARISONS:
            pos = code.find(old)
            while pos >= 0:
                if not in_string(pos):
                    found.append(("comparison %s -> %s" % (old.strip(), new.strip()),
                                  line[:pos] + new + line[pos + len(old):]))
                pos = code.find(old, pos + 1)
        for old, new in BOOLEANS:
            for m in re.finditer(r"\b%s\b" % old, code):
                if not in_string(m.start()):
                    found.append(("%s -> %s" % (old, new), line[:m.start()] + new + line[m.end():]))
        if CALL_STATEMENT.match(code) and not NOT_A_CALL.match(code) and "=" not in code.split("(")[0]:
            found.append(("call removed", CALL_STATEMENT.match(line).group(1) + ";\n"))
    return found


# Macros the sim build never defines: what they select is not compiled there,
# so a change to it could be seen by none of the tests the tool runs.
NOT_IN_SIM = {"_WIN64"}
CONDITIONAL = re.compile(r"^\s*#\s*(ifdef|ifndef|if|elif|else|endif)\b\s*(.*)")
DEFINED = re.compile(r"^(?:defined\s*\(\s*(\w+)\s*\)|defined\s+(\w+))\s*$")


def taken_in_sim(keyword, condition):
    """Whether the sim build compiles the branch an #if, #ifdef or #ifndef
    opens: not when it asks for a macro of NOT_IN_SIM; any other condition
    counts as taken."""
    condition = condition.strip()
    if keyword == "ifdef":
        return condition not in NOT_IN_SIM
    m = DEFINED.match(condition) if keyword == "if" else None
    return not (m and (m.group(1) or m.group(2)) in NOT_IN_SIM)


def equivalent_changes():
    """{(path, line before, line, changed line), all without indentation:
    why} of mutate_equivalent.txt."""
    out = {}
    with open(os.path.join(ROOT, "tools", "mutate_equivalent.txt"), encoding="latin-1") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            path, before, old, new, why = line.rstrip("\n").split("\t")
            out[(path, before.strip(), old.strip(), new.strip())] = why
    return out


def candidates():
    """Lines with their possible changes and whether the sim build compiles
    them: [(path, index, [(description, line)], compiled)]. Lines the sim
    build leaves out stay in the list, so that a seed picks the same changes
    as before they were told apart."""
    out = []
    for path in source_files():
        with open(os.path.join(ROOT, path), encoding="latin-1") as f:
            lines = f.readlines()
        in_block = False
        branches = []  # for each open #if: whether its current branch is compiled
        for i, line in enumerate(lines):
            code, in_block_after = code_part(line, in_block)
            directive = None if in_block else CONDITIONAL.match(code)
            if directive:
                keyword, condition = directive.groups()
                if keyword in ("ifdef", "ifndef", "if"):
                    branches.append(taken_in_sim(keyword, condition))
                elif keyword == "else" and branches:
                    branches[-1] = not branches[-1]
                elif keyword == "elif" and branches:
                    branches[-1] = True
                elif keyword == "endif" and branches:
                    branches.pop()
            if not in_block:
                muts = mutations_of(path, i + 1, line, code)
                if muts:
                    out.append((path, i, muts, all(branches)))
            in_block = in_block_after
    return out


def run(cmd, timeout=None, **kw):
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=timeout, **kw)


def sync_copy():
    """Makes the copy's files those of the tree. Contents, not times: a file
    whose text differs is written anew, so that the copy's build sees it; the
    same text leaves the copy's file as it is."""
    skip = {"build", ".git", "dist"}
    wanted = set()
    for folder, dirs, files in os.walk(ROOT):
        rel = os.path.relpath(folder, ROOT)
        if rel == ".":
            dirs[:] = [d for d in dirs if d not in skip]
        for name in files:
            src = os.path.join(folder, name)
            path = os.path.normpath(os.path.join(rel, name))
            wanted.add(path)
            dst = os.path.join(COPY, path)
            with open(src, "rb") as f:
                data = f.read()
            if os.path.exists(dst):
                with open(dst, "rb") as f:
                    if f.read() == data:
                        continue
            os.makedirs(os.path.dirname(dst), exist_ok=True)
            with open(dst, "wb") as f:
                f.write(data)
            shutil.copymode(src, dst)
    for folder, dirs, files in os.walk(COPY):
        rel = os.path.relpath(folder, COPY)
        if rel == ".":
            dirs[:] = [d for d in dirs if d not in skip]
        for name in files:
            if os.path.normpath(os.path.join(rel, name)) not in wanted:
                os.remove(os.path.join(folder, name))
    # The tree's own settings: with the compiler cache, whose base folder
    # covers both, the copy's first build reuses what the tree's compiled.
    # The time-outs are longer: a test that runs out of time beside the
    # other builds of the machine would count as a caught change.
    # LeakSanitizer alone (no other instrumentation, so the build and the
    # runs stay about as fast): a change that loses a block fails the test
    # that ran it, as it fails the sanitizer run of ./dev test.
    settings = ["-DKVL_TEST_TIMEOUT_FACTOR=%d" % TIMEOUT_FACTOR] + [
        "-D%s=%s" % (var, LEAK_FLAG)
        for var in ("CMAKE_C_FLAGS", "CMAKE_CXX_FLAGS", "CMAKE_EXE_LINKER_FLAGS", "CMAKE_SHARED_LINKER_FLAGS")]
    cache = os.path.join(BUILD, "CMakeCache.txt")
    if not os.path.exists(os.path.join(BUILD, "build.ninja")):
        print("== configuring the copy's sim build (once)", flush=True)
        r = run(["cmake", "--preset", "sim"] + settings, cwd=COPY)
    elif not all(s[2:].replace("=", ":STRING=", 1) + "\n" in open(cache).read() for s in settings):
        r = run(["cmake"] + settings + [BUILD])
    else:
        return
    if r.returncode != 0:
        sys.exit("mutate: configuring the copy failed:\n" + r.stdout)


def build():
    return run(["cmake", "--build", BUILD, "--", "-j2"], timeout=3600)


def program_suites():
    """The gtest suites of the programs' unit tests."""
    suites = set()
    for d in PROGRAM_DIRS:
        folder = os.path.join(ROOT, "tests", "unit", d)
        for name in os.listdir(folder):
            with open(os.path.join(folder, name), encoding="latin-1") as f:
                suites.update(re.findall(r"^TEST(?:_F|_P)?\((\w+),", f.read(), re.M))
    return sorted(suites)


FAILED = re.compile(r"^\s*\d+/\d+ Test\s+#\d+: (\S+) \.*\**(Failed|Timeout|Exception|Not Run|Subprocess aborted)")


def run_tests(include, exclude):
    cmd = ["ctest", "--test-dir", BUILD, "-j2", "--stop-on-failure", "--timeout", "300", "-R", include]
    if exclude:
        cmd += ["-E", exclude]
    r = run(cmd, timeout=3600)
    if r.returncode == 0:
        return None
    for line in r.stdout.splitlines():
        m = FAILED.match(line)
        if m:
            return m.group(1)
    return "ctest status %d" % r.returncode


def main():
    ap = argparse.ArgumentParser(description="Single-line faults in the programs, and which the tests miss.")
    ap.add_argument("n", nargs="?", type=int, default=20, help="how many changes (20)")
    ap.add_argument("--seed", type=int, default=None, help="repeat the run of this seed")
    args = ap.parse_args()
    seed = args.seed if args.seed is not None else random.SystemRandom().randrange(1, 1 << 31)
    print("== mutate: %d changes, seed %d" % (args.n, seed), flush=True)
    rng = random.Random(seed)
    lines = candidates()
    rng.shuffle(lines)
    equivalent = equivalent_changes()

    sync_copy()
    print("== building the copy unchanged", flush=True)
    r = build()
    if r.returncode != 0:
        sys.exit("mutate: the unchanged copy does not build:\n" + r.stdout[-4000:])
    # The programs' unit tests first (seconds), then the scenarios
    # (minutes), then every other fast test; each tier stops at its first
    # failure, and the next runs only when it found none.
    programs = r"^(%s)\." % "|".join(program_suites())
    tiers = [(programs, SLOW_TESTS), (r"^scenario\.", SLOW_TESTS),
             (".", "%s|%s|^scenario\\." % (SLOW_TESTS, programs))]

    caught, survivors, skipped, done = 0, [], 0, 0
    started = time.time()
    stopped = False
    for path, index, muts, compiled in lines:
        if done >= args.n or stopped:
            break
        description, new_line = rng.choice(muts)
        if not compiled:
            skipped += 1
            print("   %s:%d: %s: not compiled in sim, another instead" % (path, index + 1, description), flush=True)
            continue
        with open(os.path.join(ROOT, path), encoding="latin-1") as f:
            source = f.read().splitlines()
        before = source[index - 1].strip() if index else ""
        why = equivalent.get((path, before, source[index].strip(), new_line.strip()))
        if why:
            skipped += 1
            print("   %s:%d: %s: equivalent (%s), another instead" % (path, index + 1, description, why), flush=True)
            continue
        target = os.path.join(COPY, path)
        with open(target, encoding="latin-1") as f:
            original = f.read()
        text = original.splitlines(keepends=True)
        old_line = text[index]
        text[index] = new_line
        where = "%s:%d" % (path, index + 1)
        counted = False
        try:
            with open(target, "w", encoding="latin-1") as f:
                f.write("".join(text))
            r = build()
            if r.returncode != 0:
                skipped += 1
                print("   %s: %s: does not build, another instead" % (where, description), flush=True)
                continue
            done += 1
            counted = True
            label = "[%d/%d] %s: %s" % (done, args.n, where, description)
            failed = None
            for include, exclude in tiers:
                failed = failed or run_tests(include, exclude)
            counted = False
            if failed:
                caught += 1
                print("%s: caught by %s" % (label, failed), flush=True)
            else:
                survivors.append((where, description, old_line.strip(), new_line.strip()))
                print("%s: SURVIVED\n      - %s\n      + %s" % (label, old_line.strip(), new_line.strip()), flush=True)
        except KeyboardInterrupt:
            # Stopped by hand: the change under test counts for nothing.
            if counted:
                done -= 1
            stopped = True
            print("== stopped", flush=True)
        finally:
            with open(target, "w", encoding="latin-1") as f:
                f.write(original)

    minutes = (time.time() - started) / 60
    print("== seed %d: %d of %d caught (%.0f %%), %d did not build, are not compiled in sim or are listed as equivalent, %.0f min" %
          (seed, caught, done, 100.0 * caught / done if done else 0, skipped, minutes))
    for where, description, old, new in survivors:
        print("SURVIVED %s: %s\n      - %s\n      + %s" % (where, description, old, new))
    return 0


if __name__ == "__main__":
    sys.exit(main())
