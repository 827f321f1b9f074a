// CDialog: modal dialogs through DialogBoxParamA, with AfxDlgProc as the
// dialog procedure.
#include "afxwin.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
  ON_COMMAND(IDOK, OnOK)
  ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCEA(nIDTemplate)),
      m_nIDHelp(nIDTemplate),
      m_pParentWnd(pParentWnd),
      m_nModalResult(-1) {}

CDialog::CDialog(LPCSTR lpszTemplateName, CWnd* pParentWnd)
    : m_lpszTemplateName(lpszTemplateName), m_nIDHelp(0), m_pParentWnd(pParentWnd), m_nModalResult(-1) {}

INT_PTR CDialog::DoModal() {
  // The common controls (the progress bar) register their window classes
  // when COMCTL32 is loaded; this call makes sure it is.
  static BOOL s_bCommonControls = FALSE;
  if (!s_bCommonControls) {
    ::InitCommonControls();
    s_bCommonControls = TRUE;
  }

  HINSTANCE hInst = AfxFindResourceHandle(m_lpszTemplateName, RT_DIALOG);

  // The owner: the parent given, else the application's main window unless
  // that is this dialog; a popup cannot be owned by a child window.
  HWND hWndOwner = NULL;
  if (m_pParentWnd) {
    hWndOwner = m_pParentWnd->m_hWnd;
  } else {
    CWnd* pMain = AfxGetMainWnd();
    if (pMain && pMain != this) hWndOwner = pMain->m_hWnd;
  }
  while (hWndOwner && (::GetWindowLongA(hWndOwner, GWL_STYLE) & WS_CHILD)) hWndOwner = ::GetParent(hWndOwner);

  m_nModalResult = -1;
  INT_PTR nResult =
      ::DialogBoxParamA(hInst, m_lpszTemplateName, hWndOwner, AfxDlgProc, (LPARAM) static_cast<CWnd*>(this));
  // DialogBoxParamA has destroyed the window.
  m_hWnd = NULL;
  return nResult;
}

void CDialog::EndDialog(int nResult) {
  m_nModalResult = nResult;
  if (m_hWnd) ::EndDialog(m_hWnd, nResult);
}

BOOL CDialog::OnInitDialog() {
  if (!UpdateData(FALSE)) {
    EndDialog(-1);
    return FALSE;
  }
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message == WM_INITDIALOG) {
    *pResult = OnInitDialog();
    return TRUE;
  }
  return CWnd::OnWndMsg(message, wParam, lParam, pResult);
}

BOOL CDialog::OnCmdMsg(UINT nID, int nCode) {
  if (CWnd::OnCmdMsg(nID, nCode)) return TRUE;
  // Commands (ids from 0x8000, below the system range) that the dialog does
  // not handle go to the application; control ids do not.
  if (nCode != CN_COMMAND || !(nID & 0x8000) || nID >= 0xF000) return FALSE;
  CWinApp* pApp = AfxGetApp();
  return pApp ? pApp->OnCmdMsg(nID, nCode) : FALSE;
}
