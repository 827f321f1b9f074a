// InstallerDialog: the progress window with the product name, the driver
// version, the status line and the bar.
#include "installer_dialog.h"

#include <stdlib.h>

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
  if (!IsIconic()) {
    CDialog::OnPaint();
    return;
  }
  CPaintDC dc(this);
  SendMessage(WM_ICONERASEBKGND, (WPARAM)dc.GetSafeHdc(), 0);

  // The icon centred in the client area.
  int cxIcon = ::GetSystemMetrics(SM_CXICON);
  int cyIcon = ::GetSystemMetrics(SM_CYICON);
  RECT rect;
  GetClientRect(&rect);
  int x = (rect.right - rect.left - cxIcon + 1) / 2;
  int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
  dc.DrawIcon(x, y, m_hIcon);
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
  m_portDialog.DoModal();
  exit(0);
}
