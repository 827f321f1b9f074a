// What the loader makes of a file's headers: whether it is a PE image, for
// which processor, and the names it exports. The spooler loads monitor
// modules; the simulation reads them instead, as far as loading needs.
#pragma once

#include <string>
#include <vector>

#include "windows.h"

namespace winsim {

// IMAGE_FILE_HEADER.Machine of the images Windows runs here.
const WORD kMachineI386 = 0x014C;
const WORD kMachineAmd64 = 0x8664;

struct PeImage {
  WORD machine = 0;
  std::vector<std::string> exports;  // by name, as the export directory lists them

  bool Exports(const std::string& name) const;
};

// False when the bytes are no PE image the loader would map (no MZ or PE
// signature, headers or directories outside the file).
bool ReadPeImage(const std::string& bytes, PeImage* image);

// LoadLibraryA of the file and GetProcAddress of `entry` in a process of
// the given machine type: 0 when both would succeed, else the error code
// (ERROR_MOD_NOT_FOUND, ERROR_BAD_EXE_FORMAT, ERROR_PROC_NOT_FOUND).
DWORD CheckModuleEntry(const std::string& hostPath, WORD processMachine, const char* entry);

}  // namespace winsim
