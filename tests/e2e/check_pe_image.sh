#!/usr/bin/env bash
# Checks a built Windows program or DLL: the image kind (PE32 for i386 or
# PE32+ for x86-64), the GUI subsystem, a subsystem version old Windows
# accepts, and imports from system DLLs only. A PE32 image also must not
# import KERNEL32 functions that Windows 2000 lacks, or its loader refuses
# the program.
#
# Usage: check_pe_image.sh OBJDUMP IMAGE pe32|pe32+ MAX_SUBSYSTEM_VERSION
# Exits 77 (skipped) when the image has not been built.
set -euo pipefail
objdump=$1 image=$2 kind=$3 max_version=$4

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
max_major=${max_version%%.*} max_minor=${max_version#*.}
if [ "$major" -gt "$max_major" ] || { [ "$major" -eq "$max_major" ] && [ "$minor" -gt "$max_minor" ]; }; then
  fail "subsystem version $major.$minor, at most $max_version allowed"
fi

# The C and C++ run-times are linked in; only these DLLs may be imported.
allowed=" kernel32.dll user32.dll gdi32.dll advapi32.dll shlwapi.dll winspool.drv setupapi.dll comctl32.dll msvcrt.dll "
dlls=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$dump")
[ -n "$dlls" ] || fail "no imports found"
for dll in $dlls; do
  [[ $allowed == *" $dll "* ]] || fail "imports $dll, which is not a system DLL"
done

# KERNEL32 functions of Windows XP and later that run-time libraries like
# to pull in. IsWow64Process is looked up at run time, never imported.
if [ "$kind" = pe32 ]; then
  kernel32_imports=$(awk '/DLL Name:/ {in_k32 = (tolower($3) == "kernel32.dll"); next}
                          in_k32 && NF >= 3 && $1 ~ /^[0-9a-f]+$/ {print $NF}' <<<"$dump")
  for fn in AddVectoredExceptionHandler RemoveVectoredExceptionHandler EncodePointer DecodePointer \
            GetModuleHandleExA GetModuleHandleExW InitializeSListHead InterlockedPushEntrySList \
            InterlockedPopEntrySList GetNativeSystemInfo IsWow64Process FlsAlloc FlsFree FlsGetValue \
            FlsSetValue InitializeCriticalSectionEx GetTickCount64 InitOnceExecuteOnce \
            GetLogicalProcessorInformation AttachConsole GetProcessId SetThreadStackGuarantee \
            CreateSymbolicLinkA CreateSymbolicLinkW GetFileInformationByHandleEx; do
    grep -qx "$fn" <<<"$kernel32_imports" && fail "imports KERNEL32 $fn, which Windows 2000 does not have"
  done
fi

if [ "$failures" -ne 0 ]; then exit 1; fi
echo "OK: $image ($kind, subsystem $major.$minor, imports: $(tr '\n' ' ' <<<"$dlls"))"
