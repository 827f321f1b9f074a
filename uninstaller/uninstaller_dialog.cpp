// UninstallerDialog: the window, its controls and its messages. Listing the
// printers, the removal and the driver clean-up are in files of their own.
#include "uninstaller_dialog.h"

#include <stdlib.h>
#include <string.h>

#include "minimized_icon.h"

namespace {

const char kCommandWord[] = "DelAllDriver";
const UINT_PTR kListTimer = 1;

}  // namespace

UninstallerDialog::UninstallerDialog(CWnd* pParent)
    : CDialog(UninstallerDialog::IDD, pParent),
      m_nWindowsKind(0),
      m_nPrinterCount(0),
      m_nSelectedCount(0),
      m_printerNames(10),
      m_bListed(FALSE) {
  LPCSTR lpszIcon = MAKEINTRESOURCEA(IDR_MAINFRAME);
  m_hIcon = ::LoadIconA(AfxFindResourceHandle(lpszIcon, RT_GROUP_ICON), lpszIcon);
}

void UninstallerDialog::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDCANCEL, m_cancelButton);
  DDX_Control(pDX, IDC_UNINSTALL, m_uninstallButton);
  DDX_Control(pDX, IDC_PROGRESS, m_progress);
  DDX_Control(pDX, IDC_PRINTER_LIST, m_printerList);
  DDX_Text(pDX, IDC_STATUS, m_strStatus);
}

BEGIN_MESSAGE_MAP(UninstallerDialog, CDialog)
  ON_WM_PAINT()
  ON_WM_QUERYDRAGICON()
  ON_BN_CLICKED(IDC_UNINSTALL, OnUninstall)
  ON_CLBN_CHKCHANGE(IDC_PRINTER_LIST, OnCheckChange)
  ON_WM_TIMER()
END_MESSAGE_MAP()

BOOL UninstallerDialog::OnInitDialog() {
  CDialog::OnInitDialog();

  SendMessage(WM_SETICON, ICON_BIG, (LPARAM)m_hIcon);
  SendMessage(WM_SETICON, ICON_SMALL, (LPARAM)m_hIcon);

  // Three steps of 30, then 100 at the end of a full removal.
  m_progress.SetRange(0, 100);
  m_progress.SetStep(30);

  m_nPrinterCount = 0;
  m_nSelectedCount = 0;
  m_nWindowsKind = 0;

  CString strTitle;
  strTitle.LoadString(IDS_WINDOW_TITLE);
  SetWindowText(strTitle);

  // The list is filled once the window is up: the timer message comes from
  // the dialog's message loop.
  SetTimer(kListTimer, 1, NULL);
  return TRUE;
}

void UninstallerDialog::OnTimer(UINT_PTR) {
  KillTimer(kListTimer);
  if (!m_bListed) {
    m_bListed = TRUE;
    FindPrinters();
  }
  Default();
}

void UninstallerDialog::OnCheckChange() {
  for (int i = 0; i < m_printerList.GetCount(); ++i) {
    if (m_printerList.GetCheck(i)) {
      m_uninstallButton.EnableWindow(TRUE);
      return;
    }
  }
  m_uninstallButton.EnableWindow(FALSE);
}

void UninstallerDialog::CheckAllPrinters() {
  for (int i = 0; i < m_printerList.GetCount(); ++i) m_printerList.SetCheck(i, 1);
}

void UninstallerDialog::OnPaint() {
  if (IsIconic())
    PaintMinimizedIcon(this, m_hIcon);
  else
    CDialog::OnPaint();
}

HCURSOR UninstallerDialog::OnQueryDragIcon() { return (HCURSOR)m_hIcon; }

void UninstallerDialog::EndProgram() { exit(0); }

BOOL UninstallerDialog::IsCommandWord() {
  CWinApp* pApp = AfxGetApp();
  // Exactly the word: another case or anything after it is not the word.
  return pApp && pApp->m_lpCmdLine && strcmp(pApp->m_lpCmdLine, kCommandWord) == 0;
}
