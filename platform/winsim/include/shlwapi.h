// The parts of SHLWAPI used by the programs, in the simulated Windows.
#pragma once

#include "windows.h"

extern "C" {

DWORD WINAPI SHDeleteKeyA(HKEY hkey, LPCSTR pszSubKey);
BOOL WINAPI PathFileExistsA(LPCSTR pszPath);

}  // extern "C"
