// rename of the C run-time the programs call (MSVCRT): Windows paths and
// MoveFileExA's rules, not POSIX's. The programs and tests are linked with
// --wrap=rename, so their calls to rename come here.
#include <cerrno>

#include "kernel32/file_ops.h"
#include "core/journal.h"
#include "windows.h"

namespace {

// MSVCRT's mapping of the system's error numbers to errno.
int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_CURRENT_DIRECTORY:
    case ERROR_NOT_SAME_DEVICE:
      return EACCES;
    // An existing new name is EACCES, as the run-time documents it.
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EACCES;
    default:
      return EINVAL;
  }
}

}  // namespace

extern "C" int __wrap_rename(const char* oldname, const char* newname) {
  winsim::ApiCall call("rename", {oldname, newname});
  if (DWORD e = call.Fault()) {
    errno = ErrnoOf(e);
    return call.Ret(-1);
  }
  if (DWORD e = winsim::MoveFileWork(oldname, newname, MOVEFILE_COPY_ALLOWED)) {
    SetLastError(e);
    errno = ErrnoOf(e);
    return call.Ret(-1);
  }
  return call.Ret(0);
}
