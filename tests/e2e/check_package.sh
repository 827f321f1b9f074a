#!/usr/bin/env bash
# The package that ./dev package lays out from the win32 build, made here in
# a folder of its own: the shipped programs and LegacyPurge.dll (PE32 for
# i386, subsystem 5.0 at most, only functions of system DLLs that Windows
# 2000 exports (check_pe_image.sh), each under 128 KB, without
# the C++ exception machinery or MinGW's printf, without link time or build
# paths; the DLL exports RemoveFromWin2k and nothing else; both uninstallers
# carry it as resource BIN 130, and only the one for Vista and later a
# manifest requiring an administrator), SHA256SUMS over
# every file of the folder and the zip, the zip's order, date and
# attributes, the language monitors (qpaNLMNT.dll PE32 and qpaNLM64.dll
# PE32+, each exporting InitializePrintMonitor2 alone), the same bytes from
# a second run on copies of other dates into another folder, and an installation from the folder itself on
# simulated Windows XP and 64-bit Windows 7: the installer, started there
# with an empty command line, finds every file it copies.
#
# Usage: check_package.sh OBJDUMP WIN32_BUILD_DIR WINSIM PROGRAM.exe...
# (the programs the package must hold). Exits 77 (skipped) when the win32
# build is missing.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
make_package=$source_dir/tools/make_package.py
objdump=$1 build=$2 winsim=$3 bin=$2/bin
shift 3
programs=("$@")
name=KVL-M720-driver-4.6.64
max_size=$((128 * 1024))

if [ ! -f "$bin/drvsetup.exe" ]; then
  # ./dev test builds all three configurations, so there a missing build fails.
  [ -n "${KVL_REQUIRE_ALL:-}" ] && { echo "FAIL: $bin/drvsetup.exe is not built"; exit 1; }
  echo "SKIP: $bin/drvsetup.exe is not built (./dev build builds all three configurations)"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

dist=$work/dist
package=$dist/$name
if ! python3 "$make_package" "$build" "$dist" >"$work/make.log" 2>&1; then
  cat "$work/make.log"
  echo "FAIL: make_package.py $build $dist"
  exit 1
fi

# The shipped images: IMAGE [pe32+]
check_image() {
  if [ "${2:-pe32}" = pe32 ]; then
    "$here/check_pe_image.sh" "$objdump" "$1" pe32 5.0 || fail "$1 is no image Windows 2000 loads"
  else
    "$here/check_pe_image.sh" "$objdump" "$1" pe32+ 5.2 || fail "$1 is no image 64-bit Windows loads"
  fi
  local size
  size=$(stat -c %s "$1")
  [ "$size" -lt "$max_size" ] || fail "$1 has $size bytes, at most $((max_size - 1)) allowed"
  # What made the images big once: the C++ run-time's exception machinery
  # (its terminate handler's texts) and MinGW's printf (its "Infinity").
  grep -qaF 'terminate called' "$1" && fail "$1 carries the C++ exception machinery"
  grep -qaF 'Infinity' "$1" && fail "$1 carries MinGW's printf"
  # What would make two builds differ: the link time and the build's paths.
  local stamps
  stamps=$("$objdump" -p "$1" | awk -F'\t+' '$1 == "Time/Date" || $1 ~ /^Time\/Date stamp/ {print $2}')
  grep -qvxE 'Thu Jan  1 00:00:00 1970|0' <<<"$stamps" && fail "$1 carries a link time: $(tr '\n' ' ' <<<"$stamps")"
  grep -qaF "$source_dir" "$1" && fail "$1 names the source folder $source_dir"
}
for program in "${programs[@]}"; do
  if [ -f "$package/$program" ]; then check_image "$package/$program"; else fail "$program is not in the package"; fi
done
exports() { "$objdump" -p "$1" | awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && NF == 0 {on = 0} on {print $NF}'; }
check_image "$bin/LegacyPurge.dll"
[ "$(exports "$bin/LegacyPurge.dll")" = RemoveFromWin2k ] ||
  fail "LegacyPurge.dll exports '$(exports "$bin/LegacyPurge.dll" | tr '\n' ' ')', expected RemoveFromWin2k alone"
# The spooler loads a language monitor and calls its InitializePrintMonitor2.
for monitor in driver2k/qpaNLMNT.dll:pe32 driver64/qpaNLM64.dll:pe32+; do
  image=$package/${monitor%:*}
  if [ -f "$image" ]; then
    check_image "$image" "${monitor#*:}"
    [ "$(exports "$image")" = InitializePrintMonitor2 ] ||
      fail "$image exports '$(exports "$image" | tr '\n' ' ')', expected InitializePrintMonitor2 alone"
  else
    fail "${monitor%:*} is not in the package"
  fi
done

# Both uninstallers carry the built DLL as resource BIN 130 (English, United
# States), byte for byte; only the one for Vista and later carries a
# manifest, and it asks for administrator rights.
resource() { # IMAGE TYPE NAME: the resource's bytes (English, United States), from the image's resource directory
  python3 - "$1" "$2" "$3" <<'PY'
import struct, sys
image, want_type, want_name = open(sys.argv[1], "rb").read(), sys.argv[2], sys.argv[3]
pe = struct.unpack_from("<I", image, 0x3C)[0]
sections, optional = struct.unpack_from("<H", image, pe + 6)[0], struct.unpack_from("<H", image, pe + 20)[0]
magic = struct.unpack_from("<H", image, pe + 24)[0]
rva = struct.unpack_from("<I", image, pe + 24 + (96 if magic == 0x10B else 112) + 2 * 8)[0]
def offset(address):
    for i in range(sections):
        s = pe + 24 + optional + 40 * i
        size, virtual, raw_size, raw = struct.unpack_from("<IIII", image, s + 8)
        if virtual <= address < virtual + max(size, raw_size):
            return raw + address - virtual
    sys.exit(1)
root = offset(rva)
def entries(directory):
    named, numbered = struct.unpack_from("<HH", image, directory + 12)
    for i in range(named + numbered):
        name, target = struct.unpack_from("<II", image, directory + 16 + 8 * i)
        if name & 0x80000000:
            at = root + (name & 0x7FFFFFFF)
            length = struct.unpack_from("<H", image, at)[0]
            name = image[at + 2:at + 2 + 2 * length].decode("utf-16-le")
        yield str(name), target
for rtype, t in entries(root):
    for rname, n in entries(root + (t & 0x7FFFFFFF)):
        for language, leaf in entries(root + (n & 0x7FFFFFFF)):
            if (rtype, rname, language) == (want_type, want_name, "1033"):
                data, size = struct.unpack_from("<II", image, root + leaf)
                sys.stdout.buffer.write(image[offset(data):offset(data) + size])
                sys.exit(0)
sys.exit(1)
PY
}
for program in KVLM720_Uninstaller.exe KVLM720_Uninstaller_vista.exe; do
  [ -f "$package/$program" ] || continue
  resource "$package/$program" BIN 130 >"$work/bin130" && cmp -s "$work/bin130" "$bin/LegacyPurge.dll" ||
    fail "$program does not carry LegacyPurge.dll as BIN 130"
  if resource "$package/$program" 24 1 >"$work/manifest"; then
    [ "$program" = KVLM720_Uninstaller_vista.exe ] || fail "$program carries a manifest"
    grep -qF 'level="requireAdministrator"' "$work/manifest" || fail "$program's manifest does not require an administrator"
  else
    [ "$program" = KVLM720_Uninstaller.exe ] || fail "$program carries no manifest"
  fi
done

# The folder holds the programs and the two driver folders, nothing else;
# each driver folder its INF.
expected=$(printf '%s\n' "${programs[@]}" driver2k driver64 | sort)
found=$(ls -A "$package" | sort)
[ "$found" = "$expected" ] || fail "the package holds '$(tr '\n' ' ' <<<"$found")', expected '$(tr '\n' ' ' <<<"$expected")'"
for sub in driver2k driver64; do
  [ -f "$package/$sub/velkora.inf" ] || fail "$sub has no velkora.inf"
done

# SHA256SUMS: every file of the folder and the zip, each sum right.
listed=$(awk '{print $2}' "$dist/SHA256SUMS" | sort)
present=$(cd "$dist" && { find "$name" -type f; echo "$name.zip"; } | sort)
[ "$listed" = "$present" ] || fail "SHA256SUMS lists other files than the package has: $(diff <(echo "$listed") <(echo "$present") | tr '\n' ' ')"
(cd "$dist" && sha256sum --quiet --strict -c SHA256SUMS) || fail "SHA256SUMS does not match the files"

# The zip: the folder's files byte for byte, in name order, one fixed date,
# no extra fields, and no attributes but the directory and archive bits.
python3 - "$dist" "$name" <<'EOF' || fail "the zip is not as laid out"
import os, sys, zipfile
dist, name = sys.argv[1:]
problems = []
with zipfile.ZipFile(os.path.join(dist, name + ".zip")) as z:
    infos = z.infolist()
    names = [i.filename for i in infos]
    if names != sorted(names):
        problems.append("entries out of name order")
    for i in infos:
        if i.date_time != (2010, 6, 1, 0, 0, 0):
            problems.append(f"{i.filename}: date {i.date_time}")
        if i.create_system != 0 or i.extra or i.comment:
            problems.append(f"{i.filename}: made on system {i.create_system}, extra {i.extra!r}")
        if i.external_attr != (0x10 if i.is_dir() else 0x20):
            problems.append(f"{i.filename}: attributes {i.external_attr:#x}")
        if not i.is_dir():
            with open(os.path.join(dist, i.filename), "rb") as f:
                if f.read() != z.read(i):
                    problems.append(f"{i.filename}: differs from the folder's file")
    in_zip = sorted(i.filename for i in infos if not i.is_dir())
    on_disk = sorted(os.path.relpath(os.path.join(d, f), dist).replace(os.sep, "/")
                     for d, _, files in os.walk(os.path.join(dist, name)) for f in files)
    if in_zip != on_disk:
        problems.append(f"zip holds {in_zip}, the folder {on_disk}")
for p in problems:
    print("zip: " + p)
sys.exit(1 if problems else 0)
EOF

# The same bytes from programs of another date, laid out elsewhere.
mkdir -p "$work/build/bin"
cp "$bin"/*.exe "$work/build/bin/"
cp -r "$build/package" "$work/build/"
find "$work/build" -type f -exec touch -d '2001-02-03 04:05:06' {} +
if python3 "$make_package" "$work/build" "$work/again" >/dev/null 2>&1; then
  for f in "$name.zip" SHA256SUMS; do
    cmp -s "$dist/$f" "$work/again/$f" || fail "a second run gives another $f"
  done
else
  fail "make_package.py $work/build $work/again"
fi

# An installation from the package folder, started there without arguments,
# on COM1: the driver, its language monitor, the printer and Windows' copy
# of the INF are there afterwards, and the one box is the restart question.
# The simulated machine runs the project's programs through one-line stubs.
install_from_package() {
  local os=$1 env=$2 driver=$3 monitor=$4 windir=$5 machine=$work/$1
  "$winsim" new "$machine" --os "$os" >/dev/null || { fail "$os: no machine"; return; }
  local target=$machine/drive_c/KVL-M720
  mkdir -p "$target"
  cp -r "$package/." "$target/"
  for exe in "$target"/*.exe; do
    local program
    program=$(basename "$exe" .exe)
    printf 'winsim-program: %s\r\n' "${program%_vista}" >"$exe"
  done
  printf 'dialog radio 1006\ndialog ok\nmsgbox no Restart the computer\n' >"$work/person.txt"
  "$winsim" run "$machine" --script "$work/person.txt" --cwd 'C:\KVL-M720' 'C:\KVL-M720\drvsetup.exe' \
    >"$work/$os.transcript" 2>&1 || { fail "$os: the installer ended with status $?"; cat "$work/$os.transcript"; }
  local boxes
  boxes=$(grep -F 'message box' "$work/$os.transcript")
  [ "$(wc -l <<<"$boxes")" -eq 1 ] && grep -qF 'Restart the computer' <<<"$boxes" ||
    fail "$os: message boxes other than the restart question: $boxes"
  "$winsim" ls "$machine" drivers | grep -qxF "$env	3	VELKORA KVL-M720	$driver" ||
    fail "$os: no driver VELKORA KVL-M720 ($driver) in $env"
  "$winsim" ls "$machine" monitors | grep -qxF "Advanced Language Monitor	$monitor" || fail "$os: no monitor $monitor"
  "$winsim" ls "$machine" printers | grep -qxF "VELKORA KVL-M720	VELKORA KVL-M720	COM1:" ||
    fail "$os: no printer VELKORA KVL-M720 on COM1:"
  "$winsim" ls "$machine" files "$windir\\inf" | grep -qE '^oem[0-9]+\.inf	' || fail "$os: no copy of velkora.inf in $windir\\inf"
}
install_from_package xp "Windows NT x86" QVRdrv50.dll qpaNLMNT.dll 'C:\WINDOWS'
install_from_package 7-x64 "Windows x64" QVRdrv56.dll qpaNLM64.dll 'C:\Windows'

if [ "$failures" -ne 0 ]; then exit 1; fi
echo "OK: $name ($(tr '\n' ' ' <<<"$expected")), $(stat -c %s "$dist/$name.zip") bytes zipped"
