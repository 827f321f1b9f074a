// The work behind the KERNEL32 file functions, shared with the functions of
// other modules built on them (the C run-time's rename, PathFileExistsA),
// which must not journal a KERNEL32 call of their own. Each returns 0 or the
// Windows error number.
#pragma once

#include "core/filesystem.h"
#include "windows.h"

namespace winsim {

// ERROR_FILE_NOT_FOUND, or ERROR_PATH_NOT_FOUND when the folder is missing.
DWORD Missing(const ResolvedPath& r);
// Looks a name up for a file operation: 0 and the attributes of an existing
// entry, or the error a missing or ill-formed one gives.
DWORD Lookup(LPCSTR path, unsigned flags, ResolvedPath* r, DWORD* attributes);
DWORD CopyWork(LPCSTR existing, LPCSTR target, BOOL failIfExists);
DWORD DeleteWork(LPCSTR path);
DWORD QueryAttributes(LPCSTR path, DWORD* attributes);
DWORD MoveFileWork(LPCSTR existing, LPCSTR target, DWORD flags);

}  // namespace winsim
