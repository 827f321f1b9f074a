#include "windows_kind.h"

#include <string.h>
#include <windows.h>

static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA is a 148-byte record");

typedef BOOL(WINAPI* IsWow64ProcessFn)(HANDLE, PBOOL);

int IsWow64() {
#ifdef _WIN64
  return 1;  // a 64-bit image only ever runs on 64-bit Windows
#else
  // Looked up at run time: kernel32 of Windows 2000 has no IsWow64Process,
  // and an import of it would keep the program from loading there.
  FARPROC proc = GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process");
  if (!proc) return 0;
  IsWow64ProcessFn isWow64Process = reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(proc));
  BOOL wow64 = FALSE;
  isWow64Process(GetCurrentProcess(), &wow64);
  return wow64 ? 1 : 0;
#endif
}

static int KindOfNT(DWORD major, DWORD minor) {
  if (major == 6) {
    if (minor == 1) return kWindows7;
    if (minor == 0) return kWindowsVista;
    return kWindowsUnknown;
  }
  if (major == 5) {
    if (minor == 2) return kWindows2003;
    if (minor == 1) return kWindowsXP;
    if (minor == 0) return kWindows2000;
    return kWindowsUnknown;
  }
  return major <= 4 ? kWindowsNT4 : kWindowsUnknown;
}

static int KindOf9x(DWORD major, DWORD minor) {
  if (major != 4) return kWindowsUnknown;
  if (minor == 90) return kWindowsMe;
  if (minor == 10) return kWindows98;
  if (minor == 0) return kWindows95;
  return kWindowsUnknown;
}

int ClassifyWindows() {
  // Every 64-bit Windows is one case; its version is not even asked for.
  if (IsWow64()) return kWindows64;

  OSVERSIONINFOA info;
  memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) {
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
  }
  if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) return KindOfNT(info.dwMajorVersion, info.dwMinorVersion);
  if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) return KindOf9x(info.dwMajorVersion, info.dwMinorVersion);
  return kWindowsUnknown;
}
