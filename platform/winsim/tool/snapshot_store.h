// Snapshots of a machine, for `winsim snapshot` and `winsim diff`. A
// snapshot lives in DIR/snapshots/NAME/, beside drive_c/ and not in it, so
// the simulated machine never sees it:
//
//   registry.reg  the whole registry, as `winsim reg DIR export` writes it
//   files.txt     every file and folder of drive C: below the root, one a
//                 line in directory search order:
//                   ATTRIBUTES<TAB>SIZE<TAB>HASH<TAB>C:\path
//                 ATTRIBUTES in hex, HASH the 64-bit FNV-1a of the content
//                 in 16 hex digits (a link's target text; "-" for a folder)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "windows.h"

namespace winsim {

extern const char kDefaultSnapshotName[];

// One file or folder of drive C:.
struct DriveEntry {
  std::string path;  // "C:\WINDOWS\inf", in the letter case on disk
  DWORD attributes = 0;
  uint64_t size = 0;
  std::string hash;
  bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
};

// Snapshot names are plain words: letters, digits, '-', '_' and '.', not
// beginning with '.'.
bool IsSnapshotName(const std::string& name);
std::string SnapshotFolder(const std::string& machineDir, const std::string& name);

// Every entry of drive C: of the open machine below its root. Links are
// listed, never followed.
std::vector<DriveEntry> ScanDrive();

// The text of files.txt, and the reverse; false with the number of the
// first line that does not read.
std::string DriveEntriesText(const std::vector<DriveEntry>& entries);
bool ReadDriveEntries(const std::string& text, std::vector<DriveEntry>* entries, size_t* badLine);

// Whole files of the host, for the snapshot's own files.
bool ReadHostFile(const std::string& path, std::string* text);
bool WriteHostFile(const std::string& path, const std::string& text);

}  // namespace winsim
