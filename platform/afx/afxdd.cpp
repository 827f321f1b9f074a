// CDataExchange and the DDX_ functions.
#include "afxwin.h"

#include <string.h>

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd), m_hWndLastControl(NULL) {}

HWND CDataExchange::PrepareCtrl(int nIDC) {
  if (!m_pDlgWnd || !m_pDlgWnd->m_hWnd) return NULL;
  HWND hWndCtrl = ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
  if (hWndCtrl) m_hWndLastControl = hWndCtrl;
  return hWndCtrl;
}

void AfxSetWindowText(HWND hWndCtrl, LPCSTR lpszNew) {
  if (!lpszNew) lpszNew = "";
  int nNewLen = (int)strlen(lpszNew);
  char szOld[256];
  if (nNewLen < (int)sizeof szOld) {
    int nOldLen = ::GetWindowTextA(hWndCtrl, szOld, (int)sizeof szOld);
    if (nOldLen == nNewLen && memcmp(szOld, lpszNew, (size_t)nNewLen) == 0) return;
  }
  ::SetWindowTextA(hWndCtrl, lpszNew);
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
  if (rControl.m_hWnd) return;
  HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
  if (hWndCtrl) rControl.SubclassWindow(hWndCtrl);
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
  HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
  if (!hWndCtrl) return;
  if (pDX->m_bSaveAndValidate) {
    int nLen = ::GetWindowTextLengthA(hWndCtrl);
    if (nLen < 0) nLen = 0;
    LPSTR buf = value.GetBufferSetLength(nLen);
    int nGot = ::GetWindowTextA(hWndCtrl, buf, nLen + 1);
    value.ReleaseBuffer(nGot < 0 ? 0 : nGot);
  } else {
    AfxSetWindowText(hWndCtrl, value);
  }
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value) {
  HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
  if (!hWndCtrl) return;
  if (pDX->m_bSaveAndValidate) value = -1;

  // Walk the group in the order of the template: from the first button to
  // the next control that starts a group of its own.
  int iButton = 0;
  do {
    if (::SendMessageA(hWndCtrl, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) {
      if (pDX->m_bSaveAndValidate) {
        if (value == -1 && ::SendMessageA(hWndCtrl, BM_GETCHECK, 0, 0) != BST_UNCHECKED) value = iButton;
      } else {
        ::SendMessageA(hWndCtrl, BM_SETCHECK, iButton == value ? BST_CHECKED : BST_UNCHECKED, 0);
      }
      ++iButton;
    }
    hWndCtrl = ::GetWindow(hWndCtrl, GW_HWNDNEXT);
  } while (hWndCtrl && !(::GetWindowLongA(hWndCtrl, GWL_STYLE) & WS_GROUP));
}
