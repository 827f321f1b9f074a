#include "restart_windows.h"

#include <string.h>
#include <windows.h>

int RestartWindows() {
  HANDLE hToken = NULL;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &hToken)) return 0;

  // Zeroed first: a failed lookup leaves LUID 0, which enables nothing.
  TOKEN_PRIVILEGES privileges;
  memset(&privileges, 0, sizeof privileges);
  LookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;

  // AdjustTokenPrivileges succeeds even when the privilege is not held; only
  // the last error (ERROR_NOT_ALL_ASSIGNED) tells.
  AdjustTokenPrivileges(hToken, FALSE, &privileges, 0, NULL, NULL);
  DWORD error = GetLastError();
  CloseHandle(hToken);
  if (error != ERROR_SUCCESS) return 0;

  return ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0) ? 1 : 0;
}
