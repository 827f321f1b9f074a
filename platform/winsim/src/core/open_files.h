// Files and folders the running process holds open through CreateFileA, and
// the share-mode check every open, delete and rename goes through.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "core/handles.h"
#include "windows.h"

namespace winsim {

// What an open asks for, reduced to the rights share modes guard. Execute
// access is guarded as reading is (FILE_SHARE_READ) but lets no one read
// the data through the handle.
enum ShareRights : DWORD { kRightRead = 1, kRightWrite = 2, kRightDelete = 4, kRightExecute = 8 };
DWORD RightsOf(DWORD desiredAccess);

struct FileObject : KernelObject {
  FileObject();
  ~FileObject() override;
  const char* type() const override { return "File"; }
  std::string name() const override;

  std::string host;
  dev_t dev = 0;
  ino_t ino = 0;
  DWORD rights = 0;  // ShareRights
  DWORD share = 0;   // FILE_SHARE_*
  bool directory = false;
  int fd = -1;
  uint64_t position = 0;
  unsigned pid = 0;
  std::string machineDir;
};

// ERROR_SHARING_VIOLATION when an open of the host file with `rights` and
// `share` clashes with a handle the process holds, else 0. A handle opened
// for none of these rights (attributes only) clashes with nothing.
DWORD CheckSharing(const std::string& host, DWORD rights, DWORD share);
// Whether some handle is open on a file at or below the host folder.
bool AnyOpenBelow(const std::string& hostDir);

}  // namespace winsim
