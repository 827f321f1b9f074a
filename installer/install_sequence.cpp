// InstallEngine::Install: the install sequence, from the driver look-up to
// the completion message. Every path and name is formed in a fixed buffer;
// one that does not fit makes its own step fail, as a failed copy would.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <winspool.h>
#include <setupapi.h>

#include "device_nodes.h"
#include "directory_tree.h"
#include "install_engine.h"
#include "package_description.h"
#include "registry_access.h"
#include "resource.h"
#include "restart_windows.h"
#include "system_message.h"
#include "version_stamp.h"
#include "windows_kind.h"

namespace {

const int kPathSize = 256;
const int kBackupDirSize = 128;

struct PortName {
  int nCode;
  const char* pszPort;
};

const PortName kPorts[] = {
    {1000, "COM1:"}, {1001, "COM2:"}, {1002, "COM3:"}, {1003, "COM4:"}, {1004, "LPT1:"}, {1005, "LPT2:"},
};
const int kUsbPort = 1006;

// "first line" + the system's text for the error, caption "Warning".
void ShowErrorBox(LPCSTR lpszFirstLine) {
  DWORD dwError = GetLastError();
  CString strText;
  strText.Format(lpszFirstLine, dwError);
  strText += SystemMessage(dwError);
  MessageBoxA(NULL, strText, "Warning", MB_ICONEXCLAMATION);
}

// lpszFormat's text in a buffer of cbBuffer bytes; FALSE when it does not fit.
BOOL FormatPath(char* pszBuffer, size_t cbBuffer, LPCSTR lpszFormat, LPCSTR lpszFirst, LPCSTR lpszSecond = "") {
  int n = snprintf(pszBuffer, cbBuffer, lpszFormat, lpszFirst, lpszSecond);
  return n > 0 && (size_t)n < cbBuffer;
}

// The spooler's driver directory for the environment (NULL: the caller's).
BOOL DriverDirectory(LPCSTR lpszEnvironment, char* pszBuffer, DWORD cbBuffer) {
  DWORD cbNeeded = 0;
  memset(pszBuffer, 0, cbBuffer);
  return GetPrinterDriverDirectoryA(NULL, (LPSTR)lpszEnvironment, 1, (LPBYTE)pszBuffer, cbBuffer, &cbNeeded);
}

LPCSTR EnvironmentByWow64() { return IsWow64() ? "Windows x64" : NULL; }

void CopyPackageFile(LPCSTR lpszSourceDir, LPCSTR lpszTargetDir, LPCSTR lpszName) {
  char szSource[kPathSize], szTarget[kPathSize];
  if (FormatPath(szSource, sizeof szSource, "%s%s", lpszSourceDir, lpszName) &&
      FormatPath(szTarget, sizeof szTarget, "%s\\%s", lpszTargetDir, lpszName))
    CopyFileA(szSource, szTarget, FALSE);
}

void DeleteStagedFile(LPCSTR lpszDir, LPCSTR lpszName) {
  char szPath[kPathSize];
  if (FormatPath(szPath, sizeof szPath, "%s\\%s", lpszDir, lpszName)) DeleteFileA(szPath);
}

// A module the spooler may hold in use goes to "<name>.old" in the "3"
// sub-directory, replacing an older backup.
void SetModuleAside(LPCSTR lpszEnvironment, LPCSTR lpszModule) {
  char szDir[kBackupDirSize];
  if (!DriverDirectory(lpszEnvironment, szDir, sizeof szDir)) return;
  char szBackup[kPathSize], szCurrent[kPathSize];
  if (!FormatPath(szBackup, sizeof szBackup, "%s\\3\\%s.old", szDir, lpszModule) ||
      !FormatPath(szCurrent, sizeof szCurrent, "%s\\3\\%s", szDir, lpszModule))
    return;
  if (GetFileAttributesA(szBackup) != INVALID_FILE_ATTRIBUTES) DeleteFileA(szBackup);
  if (GetFileAttributesA(szCurrent) != INVALID_FILE_ATTRIBUTES) rename(szCurrent, szBackup);
}

}  // namespace

// Whether the driver is installed for the set's environment. The look-up
// names the environment: on 64-bit Windows a 32-bit program would otherwise
// see only "Windows NT x86" and never find the driver it installed.
BOOL InstallEngine::FindInstalledDriver(LPCSTR lpszEnvironment) {
  LPSTR lpszEnv = (LPSTR)lpszEnvironment;
  DWORD cbNeeded = 0, cReturned = 0;
  EnumPrinterDriversA(NULL, lpszEnv, 4, NULL, 0, &cbNeeded, &cReturned);
  // Room for at least one record's worth: a first call that asks for
  // nothing (no driver at all) still gets a real buffer.
  DWORD cbBuffer = cbNeeded + sizeof(DRIVER_INFO_4A);
  BYTE* pBuffer = (BYTE*)malloc(cbBuffer);
  BOOL bFound = FALSE;
  if (!pBuffer) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    ShowErrorBox("EnumPrinterDrivers Error Code: %d\n\n");
    return FALSE;
  }
  if (EnumPrinterDriversA(NULL, lpszEnv, 4, pBuffer, cbBuffer, &cbNeeded, &cReturned)) {
    const DRIVER_INFO_4A* pInfo = (const DRIVER_INFO_4A*)pBuffer;
    for (DWORD i = 0; i < cReturned && !bFound; ++i) bFound = pInfo[i].pName && strcmp(pInfo[i].pName, m_strName) == 0;
  } else {
    ShowErrorBox("EnumPrinterDrivers Error Code: %d\n\n");
  }
  free(pBuffer);
  return bFound;
}

void InstallEngine::Install(int nPortCode) {
  m_strName.LoadString(IDS_DRIVER_NAME);
  SetCursor(LoadCursorA(NULL, IDC_WAIT));
  const PackageFileSet& set = FileSetFor(m_nWindowsKind);

  ReportStep("Check drivers...\r\n");
  BOOL bFound = FindInstalledDriver(set.pszEnvironment);
  ReportStep("Add printer...\r\n");

  char szSourceDir[kPathSize];
  BOOL bSourceDir = FormatPath(szSourceDir, sizeof szSourceDir, "%s%s", m_szSourceDir, set.pszSubDir);
  CString strName;
  if (!bFound) {
    char szDir[kPathSize];
    char szPath[kPathSize];
    if (DriverDirectory(EnvironmentByWow64(), szDir, sizeof szDir) &&
        FormatPath(szPath, sizeof szPath, "%s\\%s", szDir, g_szLeftoverDir))
      DeleteDirectoryTree(szPath);
    RemoveDeviceNodes(g_szHardwareId);

    // The language monitor's module, then the monitor.
    CString strMonitorDll;
    strMonitorDll.LoadString(set.nMonitorModuleId);
    UINT cch =
        set.bMonitorInWindowsDir ? GetWindowsDirectoryA(szDir, sizeof szDir) : GetSystemDirectoryA(szDir, sizeof szDir);
    if (bSourceDir && cch > 0 && cch < sizeof szDir) CopyPackageFile(szSourceDir, szDir, strMonitorDll);
    ReportStep("Install language monitor...\r\n");
    MONITOR_INFO_2A monitor;
    memset(&monitor, 0, sizeof monitor);
    monitor.pName = (LPSTR)g_monitorInfo.szName;
    monitor.pEnvironment = (LPSTR)set.pszEnvironment;
    monitor.pDLLName = (LPSTR)set.pszMonitorDll;
    if (!AddMonitorA(NULL, 2, (LPBYTE)&monitor) && GetLastError() != ERROR_PRINT_MONITOR_ALREADY_INSTALLED)
      ShowErrorBox("AddMonitor Error Code: %d\n\n");

    // The driver's files staged in the root of the driver directory.
    ReportStep("Copy files...\r\n");
    BOOL bDriverDir = DriverDirectory(EnvironmentByWow64(), szDir, sizeof szDir);
    CString strHelp, strConfig, strDriver, strData;
    strHelp.LoadString(IDS_HELP_FILE);
    strConfig.LoadString(set.nConfigModuleId);
    strDriver.LoadString(set.nDriverModuleId);
    strData.LoadString(IDS_DATA_FILE);
    if (bSourceDir && bDriverDir) CopyPackageFile(szSourceDir, szDir, strHelp);
    LPCSTR lpszModuleEnv = UsesX64Set(m_nWindowsKind) ? "Windows x64" : NULL;
    SetModuleAside(lpszModuleEnv, strConfig);
    SetModuleAside(lpszModuleEnv, strDriver);
    if (bSourceDir && bDriverDir) {
      CopyPackageFile(szSourceDir, szDir, strConfig);
      CopyPackageFile(szSourceDir, szDir, strDriver);
      CopyPackageFile(szSourceDir, szDir, strData);
      for (int i = 0; i < kFileTableSize; ++i) CopyPackageFile(szSourceDir, szDir, set.pFiles[i]);
    }

    ReportStep("Install printer driver...\r\n");
    DRIVER_INFO_3A driver;
    memset(&driver, 0, sizeof driver);
    driver.cVersion = 3;
    driver.pName = (LPSTR)set.pDriver->szName;
    driver.pEnvironment = (LPSTR)set.pszEnvironment;
    driver.pDriverPath = (LPSTR)set.pDriver->szDriverPath;
    driver.pDataFile = (LPSTR)set.pDriver->szDataFile;
    driver.pConfigFile = (LPSTR)set.pDriver->szConfigFile;
    driver.pHelpFile = (LPSTR)set.pDriver->szHelpFile;
    driver.pDependentFiles = (LPSTR)set.pszDependentFiles;
    driver.pMonitorName = (LPSTR)g_monitorInfo.szName;
    driver.pDefaultDataType = (LPSTR) "RAW";
    if (!AddPrinterDriverA(NULL, 3, (LPBYTE)&driver)) {
      ShowErrorBox("AddPrinterDriver Error Code: %d\n\n");
      return;
    }
    strName = m_strName;
  } else {
    strName = ChooseFreePrinterName();
  }

  if (nPortCode != kUsbPort) {
    ReportStep("Install printer...\r\n");
    if (!AddPrinterOnPort(strName, nPortCode)) return;
    if (!bFound) DeleteStagedFiles(set);
  }

  // Plug and play finds the driver through the package's INF. The set-up
  // service takes a full path (it records the INF's folder as the source of
  // the driver), and the package folder is relative when the installer was
  // started without arguments.
  char szOemInf[kPathSize];
  memset(szOemInf, 0, sizeof szOemInf);
  char szInf[kPathSize], szFullInf[kPathSize];
  if (bSourceDir && FormatPath(szInf, sizeof szInf, "%s%s", szSourceDir, g_szInfFile)) {
    DWORD cchFull = GetFullPathNameA(szInf, sizeof szFullInf, szFullInf, NULL);
    DWORD cbRequired = 0;
    // A failed copy may leave stray bytes in the name buffer: no name then.
    if (cchFull > 0 && cchFull < sizeof szFullInf &&
        !SetupCopyOEMInfA(szFullInf, NULL, SPOST_PATH, SP_COPY_FORCE_NEWER, szOemInf, sizeof szOemInf, &cbRequired,
                          NULL))
      memset(szOemInf, 0, sizeof szOemInf);
  }
  CleanInfDirectory();

  RegisterUninstall(szOemInf);
  ReportCompleted("Completed!");
  VersionStamp stamp;
  stamp.Write(kPackageVersion);

  if (nPortCode == kUsbPort) {
    CString strDeviceKey;
    strDeviceKey.LoadString(IDS_USBPRINT_KEY);
    DeleteRegistryTree(strDeviceKey);
    MessageBoxA(NULL, "Installation is completed.\n\nPlease turn-off printer and turn-on printer.", "Information",
                MB_ICONINFORMATION);
  } else {
    CString strQuestion = "Restart the computer can take effect.\nPlease restart the computer.";
    strQuestion += "\n\n[Yes] I want to restart my computer now.\n[No] I will restart my computer later.";
    if (MessageBoxA(NULL, strQuestion, "Question", MB_YESNO | MB_ICONQUESTION) == IDYES) RestartWindows();
  }
  Sleep(2000);
}

// The first of "name", "name(#1)", "name(#2)", ... that no printer has.
CString InstallEngine::ChooseFreePrinterName() {
  CString strCandidate = m_strName;
  for (unsigned n = 1;; ++n) {
    HANDLE hPrinter = NULL;
    if (!OpenPrinterA((LPSTR)(LPCSTR)strCandidate, &hPrinter, NULL)) return strCandidate;
    ClosePrinter(hPrinter);
    strCandidate.Format("%s(#%u)", (LPCSTR)m_strName, n);
  }
}

BOOL InstallEngine::AddPrinterOnPort(LPCSTR lpszName, int nPortCode) {
  const char* pszPort = NULL;
  for (const PortName& p : kPorts)
    if (p.nCode == nPortCode) pszPort = p.pszPort;
  PRINTER_INFO_2A info;
  memset(&info, 0, sizeof info);
  info.pPrinterName = (LPSTR)lpszName;
  info.pPortName = (LPSTR)pszPort;
  info.pDriverName = (LPSTR)g_driverX86.szName;
  info.pPrintProcessor = (LPSTR) "WinPrint";
  info.pDatatype = (LPSTR) "RAW";
  info.Attributes = PRINTER_ATTRIBUTE_DO_COMPLETE_FIRST | PRINTER_ATTRIBUTE_ENABLE_BIDI;
  info.Priority = 1;
  info.Status = PRINTER_STATUS_OFFLINE;
  HANDLE hPrinter = AddPrinterA(NULL, 2, (LPBYTE)&info);
  if (!hPrinter) {
    ShowErrorBox("AddPrinter Error Code: %d\n\n");
    return FALSE;
  }
  ClosePrinter(hPrinter);
  return TRUE;
}

// The staging copies in the root of the driver directory; the spooler's own
// copies in its version sub-directory stay.
void InstallEngine::DeleteStagedFiles(const PackageFileSet& set) {
  ReportStep("Delete installed files...\r\n");
  char szDir[kPathSize];
  if (!DriverDirectory(EnvironmentByWow64(), szDir, sizeof szDir)) return;
  const UINT ids[] = {IDS_HELP_FILE, set.nConfigModuleId, set.nDriverModuleId, IDS_DATA_FILE};
  for (UINT id : ids) {
    CString strName;
    strName.LoadString(id);
    DeleteStagedFile(szDir, strName);
  }
  for (int i = 0; i < kFileTableSize; ++i) DeleteStagedFile(szDir, set.pFiles[i]);
}

// Deletes the INF pair of an older package from the INF directory, which is
// left hidden whatever it was before.
void InstallEngine::CleanInfDirectory() {
  char szWindows[kPathSize];
  memset(szWindows, 0, sizeof szWindows);
  UINT cch = GetWindowsDirectoryA(szWindows, sizeof szWindows);
  char szInfDir[kPathSize], szInf[kPathSize], szPnf[kPathSize];
  if (cch == 0 || cch >= sizeof szWindows || !FormatPath(szInfDir, sizeof szInfDir, "%s\\INF", szWindows) ||
      !FormatPath(szInf, sizeof szInf, "%s%s", szWindows, g_szStaleInf) ||
      !FormatPath(szPnf, sizeof szPnf, "%s%s", szWindows, g_szStalePnf))
    return;
  DWORD dwAttributes = GetFileAttributesA(szInfDir);
  SetFileAttributesA(szInfDir, dwAttributes & ~FILE_ATTRIBUTE_HIDDEN);
  DeleteFileA(szInf);
  DeleteFileA(szPnf);
  dwAttributes = GetFileAttributesA(szInfDir);
  SetFileAttributesA(szInfDir, dwAttributes | FILE_ATTRIBUTE_HIDDEN);
}
