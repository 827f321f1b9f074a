// InstallEngine: construction, Windows classification and the two report
// operations through which the install sequence shows its progress.
#include "install_engine.h"

#include <stdio.h>
#include <string.h>

#include "registry_access.h"
#include "resource.h"
#include "windows_kind.h"

namespace {

const int kPathSize = 256;

void SetStringValue(HKEY hKey, LPCSTR lpszName, LPCSTR lpszValue) {
  // The byte count includes the terminating zero.
  RegSetValueExA(hKey, lpszName, 0, REG_SZ, (const BYTE*)lpszValue, (DWORD)strlen(lpszValue) + 1);
}

// The Windows directory followed by lpszTail, in a buffer of kPathSize
// bytes; FALSE when the directory cannot be had or the path does not fit.
BOOL WindowsPath(LPCSTR lpszTail, char* pszPath) {
  char szWindows[kPathSize];
  UINT cch = GetWindowsDirectoryA(szWindows, sizeof szWindows);
  if (cch == 0 || cch >= sizeof szWindows) return FALSE;
  int n = snprintf(pszPath, kPathSize, "%s%s", szWindows, lpszTail);
  return n > 0 && n < kPathSize;
}

}  // namespace

InstallEngine::InstallEngine() : m_pStatus(nullptr), m_pProgress(nullptr), m_nWindowsKind(0) {
  memset(m_szSourceDir, 0, sizeof m_szSourceDir);
}

InstallEngine::~InstallEngine() {}

int InstallEngine::ClassifyWindows() {
  m_nWindowsKind = ::ClassifyWindows();
  return m_nWindowsKind;
}

void InstallEngine::ReportStep(LPCSTR lpszStatus) {
  if (m_pStatus) *m_pStatus = lpszStatus;
  // The handler that runs the sequence pumps no messages: the bar moves by
  // a message sent at once, and UpdateData copies the text into the static.
  if (m_pProgress) m_pProgress->StepIt();
  if (CWnd* pMainWnd = AfxGetMainWnd()) pMainWnd->UpdateData(FALSE);
  ::Sleep(500);
}

void InstallEngine::ReportCompleted(LPCSTR lpszStatus) {
  if (m_pStatus) *m_pStatus = lpszStatus;
  if (m_pProgress) m_pProgress->SetPos(100);
  if (CWnd* pMainWnd = AfxGetMainWnd()) pMainWnd->UpdateData(FALSE);
}

void InstallEngine::RegisterUninstall(LPCSTR lpszOemInf) {
  CString strKey;
  strKey.LoadString(IDS_UNINSTALL_KEY);
  HKEY hKey = NULL;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, strKey, 0, KEY_READ | KEY_WRITE, &hKey) != ERROR_SUCCESS) {
    HKEY hCreated = NULL;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, strKey, &hCreated) == ERROR_SUCCESS) RegCloseKey(hCreated);
    hKey = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, strKey, 0, KEY_READ | KEY_WRITE, &hKey) != ERROR_SUCCESS) hKey = NULL;
  }
  if (hKey) {
    CString strText;
    strText.LoadString(IDS_DISPLAY_NAME);
    SetStringValue(hKey, "DisplayName", strText);
    strText.LoadString(IDS_UNINSTALLER_SUBPATH);
    char szUninstaller[kPathSize];
    if (WindowsPath(strText, szUninstaller)) SetStringValue(hKey, "UninstallString", szUninstaller);
    SetStringValue(hKey, "OemFileName", lpszOemInf ? lpszOemInf : "");
    RegCloseKey(hKey);
  }

  BOOL bVistaOrLater = m_nWindowsKind >= kWindowsVista;
  if (bVistaOrLater) {
    CString strVendor;
    strVendor.LoadString(IDS_VENDOR_KEY);
    HKEY hVendor = NULL;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, strVendor, &hVendor) == ERROR_SUCCESS) RegCloseKey(hVendor);
    strVendor.LoadString(IDS_VENDOR_KEY_GRANT);
    GrantRegistryAccess(strVendor);
  }

  CString strFolder, strFile;
  strFolder.LoadString(IDS_PRODUCT_FOLDER);
  strFile.LoadString(IDS_UNINSTALLER_FILE);
  char szTail[kPathSize];
  char szFolder[kPathSize];
  int n = snprintf(szTail, sizeof szTail, "\\%s", (LPCSTR)strFolder);
  if (n <= 0 || n >= (int)sizeof szTail || !WindowsPath(szTail, szFolder)) return;
  CreateDirectoryA(szFolder, NULL);

  char szTarget[kPathSize];
  n = snprintf(szTarget, sizeof szTarget, "%s\\%s", szFolder, (LPCSTR)strFile);
  if (n <= 0 || n >= (int)sizeof szTarget) return;
  // The program for Vista and later goes in under the plain name.
  CString strSource;
  strSource.LoadString(bVistaOrLater ? IDS_UNINSTALLER_FILE_VISTA : IDS_UNINSTALLER_FILE);
  CopyFileA(strSource, szTarget, FALSE);
}
