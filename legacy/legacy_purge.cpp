#include "legacy_purge.h"

#include <stdio.h>
#include <string.h>
#include <winspool.h>

#include "language_modules.h"
#include "resource.h"

namespace {

// One printer model: the printer and its driver share the name.
struct LegacyModel {
  const char* pszName;
  const char* pszDataFile;
  const char* pszBa0File;
  const char* pszPp0File;
};

const LegacyModel kModels[] = {
    {"VELKORA KRX-390II", "NDR390II.DAT", "NDR390II.BA0", "NDR390II.PP0"},
    {"VELKORA KVL-M720", "NDRM7202.DAT", "NDRM7202.BA0", "NDRM7202.PP0"},
    {"VELKORA KVL-M723", "NDRM7203.DAT", "NDRM7203.BA0", "NDRM7203.PP0"},
    {"VELKORA KVL-M720 RFID", "NDRM72RF.DAT", "NDRM72RF.BA0", "NDRM72RF.PP0"},
    {"VELKORA KVL-M723 RFID", "NDRM73RF.DAT", "NDRM73RF.BA0", "NDRM73RF.PP0"},
};
const int kModelCount = sizeof kModels / sizeof kModels[0];

const char kDriversKeyX86[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-3\\";
const char kDriversKeyX64[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3\\";

enum { kPathSize = 256 };

HINSTANCE g_hResourceModule = NULL;

// Deletes <driver directory>\3\<name>; a path that does not fit the buffer
// names no file of the driver, so nothing is deleted for it.
void DeleteDriverFile(LPCSTR pszDriverDir, LPCSTR pszName) {
  char szPath[kPathSize];
  int n = snprintf(szPath, sizeof szPath, "%s\\3\\%s", pszDriverDir, pszName);
  if (n < 0 || n >= (int)sizeof szPath) return;
  DeleteFileA(szPath);
}

void DeleteSharedDriverFile(LPCSTR pszDriverDir, UINT nId) {
  char szName[kPathSize] = "";
  if (LoadStringA(g_hResourceModule, nId, szName, sizeof szName) > 0) DeleteDriverFile(pszDriverDir, szName);
}

}  // namespace

void SetLegacyResourceModule(HINSTANCE hModule) { g_hResourceModule = hModule; }

BOOL IsRelease52() {
  static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA is 148 bytes");
  OSVERSIONINFOA osvi;
  memset(&osvi, 0, sizeof osvi);
  osvi.dwOSVersionInfoSize = sizeof osvi;
  GetVersionExA(&osvi);
  return osvi.dwMajorVersion >= 5 && osvi.dwMinorVersion == 2;
}

void RemoveFromWin2k(int nModel) {
  if (nModel < 0 || nModel >= kModelCount) return;
  const LegacyModel& model = kModels[nModel];
  char szName[kPathSize];
  lstrcpynA(szName, model.pszName, sizeof szName);

  // The printer, if there is one.
  PRINTER_DEFAULTSA defaults;
  defaults.pDatatype = (LPSTR) "raw";
  defaults.pDevMode = NULL;
  defaults.DesiredAccess = PRINTER_ALL_ACCESS;
  HANDLE hPrinter = NULL;
  if (OpenPrinterA(szName, &hPrinter, &defaults)) {
    DeletePrinter(hPrinter);
    ClosePrinter(hPrinter);
  }

  // The driver with its files; when the spooler refuses, its key goes.
  if (!DeletePrinterDriverExA(NULL, (LPSTR)(IsRelease52() ? "Windows x64" : "Windows NT x86"), szName,
                              DPD_DELETE_ALL_FILES, 3)) {
    char szKey[kPathSize];
    int n = snprintf(szKey, sizeof szKey, "%s%s", IsRelease52() ? kDriversKeyX64 : kDriversKeyX86, szName);
    if (n > 0 && n < (int)sizeof szKey) RegDeleteKeyA(HKEY_LOCAL_MACHINE, szKey);
  }

  // A restart lets the spooler release files it still holds.
  WinExec("net stop spooler", SW_HIDE);
  Sleep(2000);
  WinExec("net start spooler", SW_HIDE);
  Sleep(4000);

  // Without the driver directory every path would name a folder of the
  // drive's root, so nothing is deleted then.
  char szDriverDir[kPathSize] = "";
  DWORD cbNeeded = 0;
  if (!GetPrinterDriverDirectoryA(NULL, NULL, 1, (LPBYTE)szDriverDir, sizeof szDriverDir, &cbNeeded) || !szDriverDir[0])
    return;
  DeleteSharedDriverFile(szDriverDir, IsRelease52() ? IDS_DRIVER_MODULE_X64 : IDS_DRIVER_MODULE_X86);
  DeleteDriverFile(szDriverDir, model.pszBa0File);
  DeleteDriverFile(szDriverDir, model.pszPp0File);
  DeleteSharedDriverFile(szDriverDir, IsRelease52() ? IDS_UI_MODULE_X64 : IDS_UI_MODULE_X86);
  DeleteDriverFile(szDriverDir, model.pszDataFile);
  DeleteSharedDriverFile(szDriverDir, IDS_HELP_FILE);
  const CString* pModules = LanguageModules(IsRelease52());
  for (int i = 0; pModules && i < kLanguageModuleCount; ++i) DeleteDriverFile(szDriverDir, pModules[i]);
}
