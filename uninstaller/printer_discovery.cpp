// UninstallerDialog: listing the printers that use the driver, and the two
// operations on Windows' copy of the package INF that the installer named
// under the uninstall key.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <winspool.h>
#include <setupapi.h>

#include "uninstaller_dialog.h"
#include "windows_kind.h"

namespace {

const int kNameSize = 256;

typedef BOOL(WINAPI* SetupUninstallOEMInfFn)(PCSTR, DWORD, PVOID);

// The value "OemFileName" of the uninstall key: the full path of the INF
// copy, as the set-up service named it. FALSE, with an empty name, when the
// key or the value is missing, or when the value does not fit the buffer
// with its terminating zero: a name cut short would name another file.
BOOL ReadOemFileName(char* pszName, DWORD cbName) {
  memset(pszName, 0, cbName);
  CString strKey;
  strKey.LoadString(IDS_UNINSTALL_KEY);
  HKEY hKey = NULL;
  if (RegOpenKeyA(HKEY_LOCAL_MACHINE, strKey, &hKey) != ERROR_SUCCESS) return FALSE;
  DWORD cbData = cbName;
  LONG lResult = RegQueryValueExA(hKey, "OemFileName", NULL, NULL, (LPBYTE)pszName, &cbData);
  RegCloseKey(hKey);
  if (lResult != ERROR_SUCCESS || pszName[cbName - 1] != '\0') {
    memset(pszName, 0, cbName);
    return FALSE;
  }
  return pszName[0] != '\0';
}

// The Windows INF folder, where the set-up service keeps its copies.
BOOL InfDirectory(char* pszDir, int cchDir) {
  char szWindows[MAX_PATH] = "";
  UINT nLen = GetWindowsDirectoryA(szWindows, sizeof szWindows);
  if (nLen == 0 || nLen >= sizeof szWindows) return FALSE;
  // The root as the Windows directory ends with its backslash already.
  LPCSTR lpszSep = szWindows[nLen - 1] == '\\' ? "" : "\\";
  int n = snprintf(pszDir, (size_t)cchDir, "%s%sinf", szWindows, lpszSep);
  return n > 0 && n < cchDir;
}

}  // namespace

void UninstallerDialog::FindPrinters() {
  CString strDriver;
  m_nWindowsKind = (UINT)ClassifyWindows();
  m_printerNames.RemoveAll();

  DWORD cbNeeded = 0, cReturned = 0;
  // With no printer at all the first call may already succeed: the list is
  // empty and there is nothing to fetch.
  BOOL bEmpty = EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &cbNeeded, &cReturned);
  LPBYTE pPrinters = NULL;
  if (!bEmpty) {
    // One byte at least, so that a size of 0 still gives a buffer to pass.
    pPrinters = (LPBYTE)malloc(cbNeeded ? cbNeeded : 1);
    if (!pPrinters || !EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, pPrinters, cbNeeded, &cbNeeded, &cReturned)) {
      DWORD dwError = pPrinters ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
      CString strText;
      strText.Format("EnumPrinters Error Code: %d\n\n", (int)dwError);
      LPSTR lpszSystem = NULL;
      if (FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, NULL, dwError,
                         MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), (LPSTR)&lpszSystem, 0, NULL) &&
          lpszSystem)
        strText += lpszSystem;
      if (lpszSystem) LocalFree(lpszSystem);
      MessageBox(strText, "Warning", MB_ICONEXCLAMATION);
      free(pPrinters);
      EndProgram();
      return;
    }
    // Windows 95, 98 and Me keep the driver name empty: nothing is offered.
    if (m_nWindowsKind >= (UINT)kWindowsNT4) strDriver.LoadString(IDS_DRIVER_NAME);
    const PRINTER_INFO_2A* pInfo = (const PRINTER_INFO_2A*)pPrinters;
    for (DWORD i = 0; i < cReturned; ++i) {
      if (strDriver.IsEmpty() || !pInfo[i].pDriverName || !pInfo[i].pPrinterName) continue;
      if (strcmp(pInfo[i].pDriverName, strDriver) == 0) m_printerNames.AddHead(pInfo[i].pPrinterName);
    }
  }
  free(pPrinters);

  m_nPrinterCount = m_printerNames.GetCount();
  POSITION pos = m_printerNames.GetHeadPosition();
  while (pos) m_printerList.AddString(m_printerNames.GetNext(pos));

  if (m_nPrinterCount == 0) {
    // Nothing to choose: the driver goes at once, and cannot be cancelled.
    m_cancelButton.EnableWindow(FALSE);
    OnUninstall();
    return;
  }
  if (IsCommandWord()) {
    CheckAllPrinters();
    OnUninstall();
    return;
  }
  m_uninstallButton.EnableWindow(FALSE);
  UpdateData(FALSE);
}

void UninstallerDialog::UninstallOemInf() {
  char szName[kNameSize];
  if (!ReadOemFileName(szName, sizeof szName)) return;
  // The set-up service takes the bare name of a file in the Windows INF
  // folder; a copy anywhere else is not its to uninstall.
  LPSTR lpszFile = strrchr(szName, '\\');
  if (!lpszFile || !lpszFile[1]) return;
  char szInfDir[kNameSize] = "";
  if (!InfDirectory(szInfDir, sizeof szInfDir)) return;
  *lpszFile = '\0';
  BOOL bInInfDir = lstrcmpiA(szName, szInfDir) == 0;
  *lpszFile = '\\';
  if (!bInInfDir) return;
  // Looked up at run time: SETUPAPI of Windows 2000 has no
  // SetupUninstallOEMInfA, and an import of it would keep the program from
  // loading there. Not found, the step does nothing, as when the call fails.
  HMODULE hSetupApi = LoadLibraryA("setupapi.dll");
  if (!hSetupApi) return;
  FARPROC proc = GetProcAddress(hSetupApi, "SetupUninstallOEMInfA");
  if (proc) {
    SetupUninstallOEMInfFn uninstallOemInf = reinterpret_cast<SetupUninstallOEMInfFn>(reinterpret_cast<void*>(proc));
    uninstallOemInf(lpszFile + 1, SUOI_FORCEDELETE, NULL);
  }
  FreeLibrary(hSetupApi);
}

void UninstallerDialog::DeleteOemInfFiles() {
  char szName[kNameSize];
  if (!ReadOemFileName(szName, sizeof szName)) return;
  // Only an INF has a precompiled form: "name.inf" becomes "name.PNF". A
  // shorter name, or one of another kind, is left alone.
  size_t nLen = strlen(szName);
  if (nLen < 4 || lstrcmpiA(szName + nLen - 4, ".inf") != 0) return;
  DeleteFileA(szName);
  lstrcpynA(szName + nLen - 3, "PNF", 4);
  DeleteFileA(szName);
}
