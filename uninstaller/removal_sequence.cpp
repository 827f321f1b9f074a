// UninstallerDialog::OnUninstall: the removal run, from the checked printers
// to the uninstall entry and the restart question. Every path ends the
// process; no step reports a failure, what cannot be removed stays.
#include <stdio.h>
#include <string.h>
#include <windows.h>
#include <winspool.h>
#include <shlwapi.h>

#include "device_nodes.h"
#include "directory_tree.h"
#include "registry_access.h"
#include "restart_windows.h"
#include "uninstaller_dialog.h"
#include "windows_kind.h"

namespace {

const int kPathSize = 256;
const DWORD kStepPause = 1000;

const char kCompleted[] = "Uninstall completed!";
const char kPrinterHardwareId[] = "USB\\Vid_7A3C&Pid_0008";
const char kLeftoverFolder[] = "velkora_kvl_m7207188";
const char kRestartQuestion[] =
    "Restart the computer can take effect.\nPlease restart the computer."
    "\n\n[Yes] I want to restart my computer now.\n[No] I will restart my computer later.";

}  // namespace

void UninstallerDialog::ReportStep(LPCSTR lpszStatus) {
  m_strStatus = lpszStatus;
  m_progress.StepIt();
  UpdateData(FALSE);
}

void UninstallerDialog::EndShort() {
  m_strStatus = kCompleted;
  m_progress.SetPos(100);
  m_printerNames.RemoveAll();
  UpdateData(FALSE);
  Sleep(kStepPause);
  EndProgram();
}

void UninstallerDialog::OnUninstall() {
  m_printerNames.RemoveAll();
  m_uninstallButton.EnableWindow(FALSE);
  ::SetCursor(::LoadCursorA(NULL, IDC_WAIT));

  // The checked names as the list shows them, the last entry first.
  for (int i = 0; i < m_printerList.GetCount(); ++i) {
    if (!m_printerList.GetCheck(i)) continue;
    CString strName;
    m_printerList.GetText(i, strName);
    m_printerNames.AddHead(strName);
  }

  ReportStep("Checking OS...");
  if (m_nWindowsKind < (UINT)kWindowsNT4) {
    EndShort();
    return;
  }

  ReportStep("Delete printers...");
  Sleep(kStepPause);
  DeleteSelectedPrinters();

  // The driver goes only when every printer offered was checked: the others
  // still need it. Checked printers count, whether or not they went.
  m_nSelectedCount = m_printerNames.GetCount();
  if (m_nSelectedCount != m_nPrinterCount) {
    EndShort();
    return;
  }

  ReportStep("Delete printer driver...");
  Sleep(kStepPause);
  if (m_nWindowsKind >= (UINT)kWindowsVista) UninstallOemInf();
  DeleteOemInfFiles();
  CleanDriverStore();
  RemoveDeviceNodes(kPrinterHardwareId);

  char szDriverDir[kPathSize];
  memset(szDriverDir, 0, sizeof szDriverDir);
  DWORD cbNeeded = 0;
  if (GetPrinterDriverDirectoryA(NULL, IsWow64() ? (LPSTR) "Windows x64" : NULL, 1, (LPBYTE)szDriverDir,
                                 sizeof szDriverDir, &cbNeeded) &&
      szDriverDir[0]) {
    // Without the directory the folder's path would start at the root.
    char szFolder[kPathSize];
    int n = snprintf(szFolder, sizeof szFolder, "%s\\%s", szDriverDir, kLeftoverFolder);
    if (n > 0 && n < (int)sizeof szFolder) DeleteDirectoryTree(szFolder);
  }

  // Only now: the INF steps above read the copy's name from this key. An
  // empty name would make SHDeleteKeyA empty the whole of HKLM.
  CString strUninstallKey;
  strUninstallKey.LoadString(IDS_UNINSTALL_KEY);
  if (!strUninstallKey.IsEmpty()) SHDeleteKeyA(HKEY_LOCAL_MACHINE, strUninstallKey);

  m_progress.SetPos(100);
  UpdateData(FALSE);

  BOOL bCommandWord = IsCommandWord();
  if (!bCommandWord && AfxMessageBox(kRestartQuestion, MB_YESNO | MB_ICONQUESTION) == IDYES) RestartWindows();

  CString strUsbPrintKey;
  strUsbPrintKey.LoadString(IDS_USBPRINT_KEY_GRANT);
  DeleteRegistryTree(strUsbPrintKey);

  m_strStatus = kCompleted;
  UpdateData(FALSE);
  // Started by the installer, the program ends at once.
  if (!bCommandWord) Sleep(kStepPause);
  EndProgram();
}

void UninstallerDialog::DeleteSelectedPrinters() {
  PRINTER_DEFAULTSA defaults = {(LPSTR) "raw", NULL, PRINTER_ALL_ACCESS};
  POSITION pos = m_printerNames.GetHeadPosition();
  while (pos) {
    // The name is passed as the list holds it, however long.
    const CString& strName = m_printerNames.GetNext(pos);
    HANDLE hPrinter = NULL;
    if (!OpenPrinterA((LPSTR)(LPCSTR)strName, &hPrinter, &defaults)) continue;
    DeletePrinter(hPrinter);
    ClosePrinter(hPrinter);
  }
}
