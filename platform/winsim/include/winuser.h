// USER32 of the simulated Windows.
#pragma once

#include "windef.h"

#define EWX_LOGOFF 0x00000000
#define EWX_SHUTDOWN 0x00000001
#define EWX_REBOOT 0x00000002
#define EWX_FORCE 0x00000004
#define EWX_POWEROFF 0x00000008
#define EWX_FORCEIFHUNG 0x00000010

extern "C" {

BOOL WINAPI ExitWindowsEx(UINT uFlags, DWORD dwReason);

}  // extern "C"
