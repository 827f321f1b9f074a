// InstallerDialog: the progress window with the product name, the driver
// version, the status line and the bar.
#include "installer_dialog.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "minimized_icon.h"
#include "package_description.h"
#include "restart_windows.h"
#include "system_message.h"
#include "version_stamp.h"
#include "windows_kind.h"

namespace {

// The uninstaller's name and its command word.
const int kCommandLineSize = 64;

static_assert(sizeof(void*) != 4 || sizeof(STARTUPINFOA) == 68, "STARTUPINFOA is 68 bytes in a 32-bit program");

}  // namespace

InstallerDialog::InstallerDialog(CWnd* pParent)
    : CDialog(InstallerDialog::IDD, pParent), m_portDialog(NULL), m_bStarted(FALSE) {
  LPCSTR lpszIcon = MAKEINTRESOURCEA(IDR_MAINFRAME);
  m_hIcon = ::LoadIconA(AfxFindResourceHandle(lpszIcon, RT_GROUP_ICON), lpszIcon);
}

void InstallerDialog::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_PROGRESS, m_progress);
  DDX_Text(pDX, IDC_PRODUCT_NAME, m_strProductName);
  DDX_Text(pDX, IDC_DRIVER_VERSION, m_strDriverVersion);
  DDX_Text(pDX, IDC_STATUS, m_strStatus);
}

BEGIN_MESSAGE_MAP(InstallerDialog, CDialog)
  ON_WM_PAINT()
  ON_WM_QUERYDRAGICON()
  ON_WM_TIMER()
END_MESSAGE_MAP()

BOOL InstallerDialog::OnInitDialog() {
  CDialog::OnInitDialog();

  SendMessage(WM_SETICON, ICON_BIG, (LPARAM)m_hIcon);
  SendMessage(WM_SETICON, ICON_SMALL, (LPARAM)m_hIcon);

  // Seven steps of 11 and the final 100 never pass the top by stepping.
  m_progress.SetRange(0, 100);
  m_progress.SetStep(11);

  // The timer message comes from the dialog's message loop, so it cannot
  // arrive before this function has returned.
  SetTimer(1, 1, NULL);

  m_strProductName.LoadString(IDS_DRIVER_NAME);
  m_strDriverVersion.LoadString(IDS_DRIVER_VERSION);
  CString strTitle;
  strTitle.LoadString(IDS_WINDOW_TITLE);
  SetWindowText(strTitle);

  UpdateData(FALSE);
  return TRUE;
}

void InstallerDialog::OnPaint() {
  if (IsIconic())
    PaintMinimizedIcon(this, m_hIcon);
  else
    CDialog::OnPaint();
}

HCURSOR InstallerDialog::OnQueryDragIcon() { return (HCURSOR)m_hIcon; }

void InstallerDialog::OnTimer(UINT_PTR nIDEvent) {
  KillTimer(1);
  if (!m_bStarted) {
    m_bStarted = TRUE;
    m_engine.m_pStatus = &m_strStatus;
    m_engine.m_pProgress = &m_progress;
    StartInstallation();
  }
  CDialog::OnTimer(nIDEvent);
}

void InstallerDialog::StartInstallation() {
  m_nWindowsKind = m_engine.ClassifyWindows();
  CString strCaption;
  strCaption.LoadString(IDS_DRIVER_NAME);
  strCaption += " installer";
  if (m_nWindowsKind < kWindows2000) {
    MessageBox("This driver doesn't supported for this OS!!", strCaption, MB_OK | MB_ICONINFORMATION);
    exit(0);
  }

  // The package folder must fit the engine's buffer whole: a cut name would
  // install from another folder. Refused before anything is removed.
  LPCSTR lpszCmdLine = AfxGetApp() && AfxGetApp()->m_lpCmdLine ? AfxGetApp()->m_lpCmdLine : "";
  if (lstrlenA(lpszCmdLine) >= (int)sizeof m_engine.m_szSourceDir) {
    CString strText;
    strText.Format("The driver package folder is too long: at most %d characters are possible.",
                   (int)sizeof m_engine.m_szSourceDir - 1);
    MessageBox(strText, "Warning", MB_OK | MB_ICONEXCLAMATION);
    exit(0);
  }

  RemoveDifferentVersion();

  lstrcpynA(m_engine.m_szSourceDir, lpszCmdLine, sizeof m_engine.m_szSourceDir);
  if (m_portDialog.DoModal() != IDOK) {
    MessageBox("Install Canceled", "Information", MB_OK | MB_ICONINFORMATION);
    exit(0);
  }
  if (m_nWindowsKind < kWindows2000 || m_nWindowsKind > kWindows64) {
    MessageBox("This OS version is not supported.", "Warning", MB_OK | MB_ICONEXCLAMATION);
    exit(0);
  }
  if (m_portDialog.m_nPort >= 0 && m_portDialog.m_nPort <= 6) m_engine.Install(1000 + m_portDialog.m_nPort);
  exit(0);
}

void InstallerDialog::RemoveDifferentVersion() {
  CString strDriver;
  strDriver.LoadString(IDS_DRIVER_NAME);
  VersionStamp stamp;
  int nResult = stamp.CompareInstalled(strDriver, kPackageVersion, FileSetFor(m_nWindowsKind).pszEnvironment);
  if (nResult == kNotInstalled || nResult == kStampSame) return;

  CString strCaption = strDriver + " installer";
  MessageBox("There are different version drivers in this system.\r\n\r\nThe installed drivers must be removed.",
             strCaption, MB_OK | MB_ICONINFORMATION);

  CString strProgram;
  strProgram.LoadString(m_nWindowsKind < kWindowsVista ? IDS_UNINSTALLER_FILE : IDS_UNINSTALLER_FILE_VISTA);
  char szCommandLine[kCommandLineSize];
  snprintf(szCommandLine, sizeof szCommandLine, "%s DelAllDriver", (LPCSTR)strProgram);
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  memset(&process, 0, sizeof process);
  if (!CreateProcessA(strProgram, szCommandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
    // Installing over a driver that is still there would fail or mix two
    // versions: the user hears why, and nothing is installed.
    DWORD dwError = GetLastError();
    CString strText = "The installed drivers could not be removed.\r\n\r\n";
    strText += SystemMessage(dwError);
    MessageBox(strText, strCaption, MB_OK | MB_ICONEXCLAMATION);
    exit(0);
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);

  CString strQuestion = "Installer has successfully removed different version.\n";
  strQuestion += "After restarting, you may reinstall our driver again.";
  strQuestion += "\n\n     Do you want to restart your computer now ?";
  if (MessageBox(strQuestion, strCaption, MB_YESNO | MB_ICONINFORMATION) != IDYES) exit(0);
  RestartWindows();
}
