// UninstallerDialog::CleanDriverStore: the printer driver itself goes, the
// spooler is restarted and the driver's data files are deleted. Nothing is
// reported; what cannot be removed stays. The language monitor is never
// touched.
#include <stdio.h>
#include <string.h>
#include <windows.h>
#include <winspool.h>

#include "uninstaller_dialog.h"
#include "windows_kind.h"

namespace {

const int kPathSize = 256;

const char kDriversKeyX86[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-3\\";
const char kDriversKeyX64[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3\\";

// The data files, deleted from the version-3 folder in this order.
const UINT kDataFiles[] = {IDS_BA0_FILE, IDS_PP0_FILE, IDS_DATA_FILE};

}  // namespace

void UninstallerDialog::CleanDriverStore() {
  char szDriver[kPathSize] = "";
  CString strDriver;
  strDriver.LoadString(IDS_DRIVER_NAME);
  lstrcpynA(szDriver, strDriver, sizeof szDriver);

  // The printer the installer named like the driver, whatever driver it
  // uses now.
  PRINTER_DEFAULTSA defaults = {(LPSTR) "raw", NULL, PRINTER_ALL_ACCESS};
  HANDLE hPrinter = NULL;
  if (szDriver[0] && OpenPrinterA(szDriver, &hPrinter, &defaults)) {
    DeletePrinter(hPrinter);
    ClosePrinter(hPrinter);
  }

  // Without the driver's name the key below would be the whole Version-3
  // key of every driver.
  LPSTR lpszEnvironment = IsWow64() ? (LPSTR) "Windows x64" : (LPSTR) "Windows NT x86";
  if (szDriver[0] && !DeletePrinterDriverExA(NULL, lpszEnvironment, szDriver, DPD_DELETE_ALL_FILES, 3)) {
    // Refused by the spooler: the driver's key goes directly. A key with
    // sub-keys stays.
    char szKey[kPathSize];
    int n = snprintf(szKey, sizeof szKey, "%s%s", IsWow64() ? kDriversKeyX64 : kDriversKeyX86, szDriver);
    if (n > 0 && n < (int)sizeof szKey) RegDeleteKeyA(HKEY_LOCAL_MACHINE, szKey);
  }

  // The commands are not waited for: the pauses give the service time to
  // stop and to come back.
  WinExec("net stop spooler", SW_HIDE);
  Sleep(2000);
  WinExec("net start spooler", SW_HIDE);
  Sleep(4000);

  char szDriverDir[kPathSize];
  memset(szDriverDir, 0, sizeof szDriverDir);
  DWORD cbNeeded = 0;
  // Without the directory the paths would start at the root of the drive.
  if (!GetPrinterDriverDirectoryA(NULL, IsWow64() ? (LPSTR) "Windows x64" : NULL, 1, (LPBYTE)szDriverDir,
                                  sizeof szDriverDir, &cbNeeded) ||
      !szDriverDir[0])
    return;
  for (UINT nID : kDataFiles) {
    CString strFile;
    strFile.LoadString(nID);
    char szPath[kPathSize];
    int n = snprintf(szPath, sizeof szPath, "%s\\3\\%s", szDriverDir, (LPCSTR)strFile);
    if (n > 0 && n < (int)sizeof szPath && !strFile.IsEmpty()) DeleteFileA(szPath);
  }
}
