// CButton, CProgressCtrl, CListBox and CCheckListBox.
#include "afxwin.h"

// CButton

int CButton::GetCheck() const { return (int)::SendMessageA(m_hWnd, BM_GETCHECK, 0, 0); }

void CButton::SetCheck(int nCheck) { ::SendMessageA(m_hWnd, BM_SETCHECK, (WPARAM)nCheck, 0); }

// CProgressCtrl

void CProgressCtrl::SetRange(short nLower, short nUpper) {
  ::SendMessageA(m_hWnd, PBM_SETRANGE, 0, MAKELPARAM(nLower, nUpper));
}

int CProgressCtrl::SetPos(int nPos) { return (int)::SendMessageA(m_hWnd, PBM_SETPOS, (WPARAM)nPos, 0); }

int CProgressCtrl::GetPos() const { return (int)::SendMessageA(m_hWnd, PBM_GETPOS, 0, 0); }

int CProgressCtrl::SetStep(int nStep) { return (int)::SendMessageA(m_hWnd, PBM_SETSTEP, (WPARAM)nStep, 0); }

int CProgressCtrl::StepIt() { return (int)::SendMessageA(m_hWnd, PBM_STEPIT, 0, 0); }

// CListBox

int CListBox::GetCount() const { return (int)::SendMessageA(m_hWnd, LB_GETCOUNT, 0, 0); }

int CListBox::GetTextLen(int nIndex) const { return (int)::SendMessageA(m_hWnd, LB_GETTEXTLEN, (WPARAM)nIndex, 0); }

void CListBox::GetText(int nIndex, CString& rString) const {
  int nLen = GetTextLen(nIndex);
  if (nLen <= 0) {
    rString.Empty();
    return;
  }
  // LB_GETTEXT has no size argument: the buffer is made as long as the
  // entry says it is, and the result is cut to that.
  LPSTR buf = rString.GetBufferSetLength(nLen);
  int nGot = (int)::SendMessageA(m_hWnd, LB_GETTEXT, (WPARAM)nIndex, (LPARAM)buf);
  rString.ReleaseBuffer(nGot < 0 || nGot > nLen ? 0 : nGot);
}

int CListBox::AddString(LPCSTR lpszItem) { return (int)::SendMessageA(m_hWnd, LB_ADDSTRING, 0, (LPARAM)lpszItem); }

int CListBox::DeleteString(UINT nIndex) { return (int)::SendMessageA(m_hWnd, LB_DELETESTRING, nIndex, 0); }

void CListBox::ResetContent() { ::SendMessageA(m_hWnd, LB_RESETCONTENT, 0, 0); }

int CListBox::GetCurSel() const { return (int)::SendMessageA(m_hWnd, LB_GETCURSEL, 0, 0); }

int CListBox::SetCurSel(int nSelect) { return (int)::SendMessageA(m_hWnd, LB_SETCURSEL, (WPARAM)nSelect, 0); }

DWORD_PTR CListBox::GetItemData(int nIndex) const {
  return (DWORD_PTR)::SendMessageA(m_hWnd, LB_GETITEMDATA, (WPARAM)nIndex, 0);
}

int CListBox::SetItemData(int nIndex, DWORD_PTR dwItemData) {
  return (int)::SendMessageA(m_hWnd, LB_SETITEMDATA, (WPARAM)nIndex, (LPARAM)dwItemData);
}

int CListBox::GetItemRect(int nIndex, LPRECT lpRect) const {
  return (int)::SendMessageA(m_hWnd, LB_GETITEMRECT, (WPARAM)nIndex, (LPARAM)lpRect);
}

// CCheckListBox

namespace {

const int kCheckBoxSize = 13;  // the check box of a button in pixels
const int kCheckMargin = 2;

}  // namespace

CCheckListBox::CCheckListBox() : m_nStyle(BS_AUTOCHECKBOX) {}

void CCheckListBox::SetCheckStyle(UINT nStyle) {
  if (nStyle == BS_AUTOCHECKBOX || nStyle == BS_AUTO3STATE || nStyle == BS_CHECKBOX || nStyle == BS_3STATE)
    m_nStyle = nStyle;
}

void CCheckListBox::SetCheck(int nIndex, int nCheck) {
  if (nCheck < 0 || nCheck > 2) return;
  if (nCheck == 2 && (m_nStyle == BS_CHECKBOX || m_nStyle == BS_AUTOCHECKBOX)) return;
  if (SetItemData(nIndex, (DWORD_PTR)nCheck) == LB_ERR) return;
  RECT rc;
  if (GetItemRect(nIndex, &rc) != LB_ERR) ::InvalidateRect(m_hWnd, &rc, FALSE);
}

int CCheckListBox::GetCheck(int nIndex) const {
  LRESULT lResult = ::SendMessageA(m_hWnd, LB_GETITEMDATA, (WPARAM)nIndex, 0);
  if (lResult == LB_ERR || lResult < 0 || lResult > 2) return 0;
  return (int)lResult;
}

int CCheckListBox::CheckAreaWidth() const { return kCheckBoxSize + 2 * kCheckMargin; }

void CCheckListBox::ToggleCheck(int nIndex) {
  int nCheck = GetCheck(nIndex);
  if (m_nStyle == BS_AUTO3STATE || m_nStyle == BS_3STATE)
    nCheck = (nCheck + 1) % 3;
  else
    nCheck = nCheck ? 0 : 1;
  SetCheck(nIndex, nCheck);
  HWND hWndParent = ::GetParent(m_hWnd);
  if (hWndParent)
    ::SendMessageA(hWndParent, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(m_hWnd), CLBN_CHKCHANGE), (LPARAM)m_hWnd);
}

LRESULT CCheckListBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      // A second click in quick succession arrives as a double click; on
      // the check box it is one more change.
      int x = (short)LOWORD(lParam);
      DWORD dwHit = (DWORD)::SendMessageA(m_hWnd, LB_ITEMFROMPOINT, 0, lParam);
      int nIndex = LOWORD(dwHit);
      BOOL bOutside = HIWORD(dwHit) != 0;
      if (!bOutside && x >= 0 && x < CheckAreaWidth() && nIndex < GetCount()) {
        ::SetFocus(m_hWnd);
        ToggleCheck(nIndex);
      }
      break;
    }
    case WM_KEYDOWN:
      if (wParam == VK_SPACE) {
        int nIndex = (int)::SendMessageA(m_hWnd, LB_GETCARETINDEX, 0, 0);
        if (nIndex != LB_ERR && nIndex < GetCount()) ToggleCheck(nIndex);
        return 0;
      }
      break;
    default:
      break;
  }
  return CListBox::WindowProc(message, wParam, lParam);
}

BOOL CCheckListBox::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* pResult) {
  if (message != WM_DRAWITEM) return FALSE;
  DrawItem((LPDRAWITEMSTRUCT)lParam);
  *pResult = TRUE;
  return TRUE;
}

void CCheckListBox::DrawItem(LPDRAWITEMSTRUCT lpDIS) {
  if (!lpDIS || (int)lpDIS->itemID < 0) return;
  if (!(lpDIS->itemAction & (ODA_DRAWENTIRE | ODA_SELECT))) return;
  HDC hDC = lpDIS->hDC;
  RECT rcItem = lpDIS->rcItem;
  int nItem = (int)lpDIS->itemID;

  // The check box, centred in the area before the text.
  RECT rcArea = rcItem;
  rcArea.right = rcArea.left + CheckAreaWidth();
  ::FillRect(hDC, &rcArea, ::GetSysColorBrush(COLOR_WINDOW));
  int cyItem = rcItem.bottom - rcItem.top;
  int nBox = cyItem - 2 < kCheckBoxSize ? cyItem - 2 : kCheckBoxSize;
  if (nBox > 0) {
    RECT rcBox;
    rcBox.left = rcItem.left + kCheckMargin;
    rcBox.top = rcItem.top + (cyItem - nBox) / 2;
    rcBox.right = rcBox.left + nBox;
    rcBox.bottom = rcBox.top + nBox;
    int nCheck = GetCheck(nItem);
    UINT uState = DFCS_BUTTONCHECK;
    if (nCheck == 1) uState |= DFCS_CHECKED;
    if (nCheck == 2) uState = DFCS_BUTTON3STATE | DFCS_CHECKED;
    ::DrawFrameControl(hDC, &rcBox, DFC_BUTTON, uState);
  }

  // The text, highlighted when selected.
  RECT rcText = rcItem;
  rcText.left += CheckAreaWidth();
  BOOL bSelected = (lpDIS->itemState & ODS_SELECTED) != 0;
  ::FillRect(hDC, &rcText, ::GetSysColorBrush(bSelected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  COLORREF crOldText = ::SetTextColor(hDC, ::GetSysColor(bSelected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  int nOldMode = ::SetBkMode(hDC, TRANSPARENT);
  CString strText;
  GetText(nItem, strText);
  rcText.left += kCheckMargin;
  ::DrawTextA(hDC, strText, -1, &rcText, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  ::SetBkMode(hDC, nOldMode);
  ::SetTextColor(hDC, crOldText);
}
