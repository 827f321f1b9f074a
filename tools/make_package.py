#!/usr/bin/env python3
"""Lays out the driver package a person copies to Windows, and its zip.

Usage: make_package.py WIN32_BUILD_DIR OUT_DIR

OUT_DIR receives KVL-M720-driver-<version>/ (the programs of the win32
build, from its bin/, beside the driver folders driver2k\\ and driver64\\
that the build lays out in its package/ with both language monitors, so
that drvsetup.exe started in that folder with an empty command line finds
them),
KVL-M720-driver-<version>.zip and SHA256SUMS (every file of the folder and
the zip, for `sha256sum -c`). The same inputs give the same bytes: files in
name order, one fixed date, no attributes beyond the MS-DOS directory and
archive bits.
A program that is not built is left out and named on standard error.
"""

import hashlib
import os
import re
import shutil
import sys
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DRIVER_FOLDERS = ("driver2k", "driver64")
PROGRAMS = ("drvsetup.exe", "KVLM720_Uninstaller.exe", "KVLM720_Uninstaller_vista.exe")
# The date of every file in the zip and in the folder: the driver's date.
FIXED_DATE = (2010, 6, 1, 0, 0, 0)
FIXED_TIME = 1275350400  # 2010-06-01 00:00:00 UTC
FILE_ATTRIBUTE_DIRECTORY = 0x10
FILE_ATTRIBUTE_ARCHIVE = 0x20


def package_version():
    """major.minor.build of the installer's version resource."""
    with open(os.path.join(ROOT, "installer", "installer.rc"), encoding="latin-1") as rc:
        m = re.search(r"^\s*PRODUCTVERSION\s+(\d+),\s*(\d+),\s*(\d+),\s*\d+", rc.read(), re.M)
    if not m:
        sys.exit("make_package: no PRODUCTVERSION in installer/installer.rc")
    return ".".join(m.groups())


def files_under(top):
    """Every file below top as a path relative to it with forward slashes, in name order."""
    found = []
    for folder, dirs, files in os.walk(top):
        dirs.sort()
        for name in files:
            found.append(os.path.relpath(os.path.join(folder, name), top).replace(os.sep, "/"))
    return sorted(found)


def lay_folder(bin_dir, driver_source, folder):
    if os.path.exists(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)
    missing = []
    for program in PROGRAMS:
        built = os.path.join(bin_dir, program)
        if os.path.isfile(built):
            shutil.copyfile(built, os.path.join(folder, program))
        else:
            missing.append(program)
    for sub in DRIVER_FOLDERS:
        source = os.path.join(driver_source, sub)
        if not os.path.isdir(source):
            sys.exit(f"make_package: no driver folder {source}")
        for rel in files_under(source):
            target = os.path.join(folder, sub, rel)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copyfile(os.path.join(source, rel), target)
    for rel in files_under(folder):
        os.utime(os.path.join(folder, rel), (FIXED_TIME, FIXED_TIME))
    return missing


def write_zip(folder, zip_path):
    top = os.path.basename(folder)
    entries = {top + "/"}
    for rel in files_under(folder):
        parts = rel.split("/")
        for i in range(1, len(parts)):
            entries.add(top + "/" + "/".join(parts[:i]) + "/")
        entries.add(top + "/" + rel)
    with zipfile.ZipFile(zip_path, "w") as z:
        for name in sorted(entries):
            info = zipfile.ZipInfo(name, date_time=FIXED_DATE)
            info.create_system = 0  # MS-DOS: no Unix modes
            if name.endswith("/"):
                info.external_attr = FILE_ATTRIBUTE_DIRECTORY
                z.writestr(info, b"")
            else:
                # Files as Windows marks new ones. (Python's zipfile would
                # give no attributes Unix permissions of its own.)
                info.external_attr = FILE_ATTRIBUTE_ARCHIVE
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(os.path.join(os.path.dirname(folder), name), "rb") as f:
                    z.writestr(info, f.read(), compresslevel=9)


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_package.py WIN32_BUILD_DIR OUT_DIR")
    build_dir, out_dir = sys.argv[1], sys.argv[2]
    bin_dir = os.path.join(build_dir, "bin")
    name = "KVL-M720-driver-" + package_version()
    folder = os.path.join(out_dir, name)
    zip_path = folder + ".zip"
    os.makedirs(out_dir, exist_ok=True)

    missing = lay_folder(bin_dir, os.path.join(build_dir, "package"), folder)
    if os.path.exists(zip_path):
        os.remove(zip_path)
    write_zip(folder, zip_path)
    os.utime(zip_path, (FIXED_TIME, FIXED_TIME))

    listed = [name + "/" + rel for rel in files_under(folder)] + [name + ".zip"]
    with open(os.path.join(out_dir, "SHA256SUMS"), "w", newline="\n") as sums:
        for rel in listed:
            sums.write(f"{sha256(os.path.join(out_dir, rel))}  {rel}\n")

    # The programs and the zip one a line, each driver folder as a count.
    folders = {}
    for rel in listed:
        size = os.path.getsize(os.path.join(out_dir, rel))
        sub = rel.split("/")[1] if rel.count("/") > 1 else None
        if sub:
            count, total = folders.get(sub, (0, 0))
            folders[sub] = (count + 1, total + size)
        else:
            print(f"{size:>9}  {rel}")
    for sub, (count, total) in sorted(folders.items()):
        print(f"{total:>9}  {name}/{sub}/ ({count} files)")
    print(f"{os.path.getsize(os.path.join(out_dir, 'SHA256SUMS')):>9}  SHA256SUMS")
    sys.stdout.flush()
    for program in missing:
        print(f"make_package: {program} is not built in {bin_dir}; the package goes without it",
              file=sys.stderr)


if __name__ == "__main__":
    main()
