// Drive C: of the simulated machine, kept in drive_c/ of the machine folder.
// Windows paths are looked up case-insensitively, component by component,
// as Windows does; new names keep the letter case they were given.
#pragma once

#include <string>

#include "windows.h"

namespace winsim {

struct ResolvedPath {
  std::string host;      // the host path below drive_c (may not exist)
  std::string windows;   // the full Windows path after redirection, "C:\..."
  bool exists = false;
  bool parentExists = false;
};

class FileSystem {
 public:
  // Resolves a Windows path of the running program: relative paths against
  // its current directory, "." and ".." folded, '/' taken as '\'. With
  // `redirect`, a 32-bit program's view on 64-bit Windows applies (the
  // system directory goes to SysWOW64 but for the folders Windows exempts).
  // False, with the Windows error number, for a path that is not on C: or
  // not well formed.
  static bool Resolve(const std::string& windowsPath, bool redirect, ResolvedPath* out, DWORD* error);
  // The same for callers inside the machine (spooler, set-up service): no
  // redirection, absolute paths only.
  static std::string HostPath(const std::string& windowsPath);

  // The current directory of the process, "C:\..." (no trailing backslash
  // except for the root).
  static std::string CurrentDirectory();
  static void SetCurrentDirectory(const std::string& windowsPath);

  // File attributes kept with the host file (FILE_ATTRIBUTE_*), or
  // INVALID_FILE_ATTRIBUTES when it does not exist.
  static DWORD Attributes(const std::string& hostPath);
  static bool SetAttributes(const std::string& hostPath, DWORD attributes);
};

}  // namespace winsim
