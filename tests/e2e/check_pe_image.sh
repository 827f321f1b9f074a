#!/usr/bin/env bash
# Checks a built Windows program or DLL: the image kind (PE32 for i386 or
# PE32+ for x86-64), the GUI subsystem, a subsystem version the oldest
# Windows accepts, imports from system DLLs only, each function of them
# exported by the oldest Windows (windows_imports.txt), and for a program
# the terminal-server-aware flag.
#
# Usage: check_pe_image.sh OBJDUMP IMAGE pe32|pe32+ OLDEST_WINDOWS
# (the NT version of the oldest Windows the image runs on: 5.0 for
# Windows 2000, 5.2 for 64-bit Windows XP and Server 2003)
# Exits 77 (skipped) when the image has not been built.
set -euo pipefail
objdump=$1 image=$2 kind=$3 oldest=$4

if [ ! -f "$image" ]; then
  # ./dev test builds all three configurations, so there a missing image fails.
  [ -n "${KVL_REQUIRE_ALL:-}" ] && { echo "FAIL: $image is not built"; exit 1; }
  echo "SKIP: $image is not built (./dev build builds all three configurations)"
  exit 77
fi

dump=$("$objdump" -p "$image")
failures=0
fail() { echo "FAIL: $image: $*"; failures=$((failures + 1)); }

magic=$(awk '$1 == "Magic" {print $2}' <<<"$dump")
format=$(awk '/file format/ {print $NF; exit}' <<<"$dump")
case $kind in
  pe32) [ "$magic" = 010b ] || fail "Magic $magic, expected 010b (PE32)"
        [ "$format" = pei-i386 ] || fail "format $format, expected pei-i386" ;;
  pe32+) [ "$magic" = 020b ] || fail "Magic $magic, expected 020b (PE32+)"
         [ "$format" = pei-x86-64 ] || fail "format $format, expected pei-x86-64" ;;
  *) echo "unknown image kind $kind" >&2; exit 2 ;;
esac

subsystem=$(awk '$1 == "Subsystem" {print $2}' <<<"$dump")
[ "$((16#$subsystem))" -eq 2 ] || fail "subsystem $subsystem, expected 2 (Windows GUI)"

major=$(awk '$1 == "MajorSubsystemVersion" {print $2}' <<<"$dump")
minor=$(awk '$1 == "MinorSubsystemVersion" {print $2}' <<<"$dump")
oldest_major=${oldest%%.*} oldest_minor=${oldest#*.}
if [ "$major" -gt "$oldest_major" ] || { [ "$major" -eq "$oldest_major" ] && [ "$minor" -gt "$oldest_minor" ]; }; then
  fail "subsystem version $major.$minor, at most $oldest allowed"
fi

# The C and C++ run-times are linked in; only these DLLs may be imported.
allowed=" kernel32.dll user32.dll gdi32.dll advapi32.dll shlwapi.dll winspool.drv setupapi.dll comctl32.dll msvcrt.dll "
dlls=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$dump")
[ -n "$dlls" ] || fail "no imports found"
for dll in $dlls; do
  [[ $allowed == *" $dll "* ]] || fail "imports $dll, which is not a system DLL"
done

# Every imported function must be a row of windows_imports.txt whose
# Windows is not newer than the image's oldest: the loader refuses a program
# whose imports a DLL does not export, before any of its code runs.
table=$(dirname "$0")/windows_imports.txt
[ -f "$table" ] || { echo "FAIL: $table is missing"; exit 1; }
imports=$(awk '/DLL Name:/ {dll = $3; next} /^[[:space:]]*$/ {dll = ""}
               dll != "" && NF >= 3 && $1 ~ /^[0-9a-f]+$/ {print dll, $NF}' <<<"$dump")
while read -r dll fn first; do
  fail "imports $dll $fn, $first"
done < <(awk -v oldest="$oldest" '
  function newer(a, b,   x, y) { split(a, x, "."); split(b, y, "."); return x[1] + 0 > y[1] + 0 || (x[1] + 0 == y[1] + 0 && x[2] + 0 > y[2] + 0) }
  NR == FNR { if ($0 !~ /^[[:space:]]*(#|$)/) first[tolower($1) " " $2] = $3; next }
  { key = tolower($1) " " $2
    if (!(key in first)) print $1, $2, "which windows_imports.txt does not list"
    else if (newer(first[key], oldest)) print $1, $2, "which Windows " first[key] " first exports (the image is for " oldest ")" }
' "$table" - <<<"$imports")
[ -n "$imports" ] || fail "no imported functions found"

# Programs are terminal-server aware: without the flag, Windows gives them a
# private Windows directory per user on a Terminal Server host. DLLs take
# the flag of the program that loads them.
characteristics=$(awk '$1 == "Characteristics" {print $2; exit}' <<<"$dump")
dll_characteristics=$(awk '$1 == "DllCharacteristics" {print $2; exit}' <<<"$dump")
if (( (characteristics & 0x2000) == 0 )) && (( (16#$dll_characteristics & 0x8000) == 0 )); then
  fail "DllCharacteristics $dll_characteristics without TERMINAL_SERVER_AWARE (0x8000)"
fi

if [ "$failures" -ne 0 ]; then exit 1; fi
echo "OK: $image ($kind, subsystem $major.$minor, imports: $(tr '\n' ' ' <<<"$dlls"))"
