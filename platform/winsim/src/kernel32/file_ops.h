// The work behind the KERNEL32 file functions, shared with the functions of
// other modules built on them (the C run-time's rename, PathFileExistsA),
// which must not journal a KERNEL32 call of their own. Each returns 0 or the
// Windows error number.
#pragma once

#include "windows.h"

namespace winsim {

DWORD QueryAttributes(LPCSTR path, DWORD* attributes);
DWORD MoveFileWork(LPCSTR existing, LPCSTR target, DWORD flags);

}  // namespace winsim
