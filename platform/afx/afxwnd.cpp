// CWnd: attaching and subclassing windows, message-map dispatch, and the
// thin wrappers over USER32.
#include "afxwin.h"

#include <string.h>

#include <map>

namespace {

// Windows subclassed by the framework, to find their objects again.
std::map<HWND, CWnd*>& PermanentMap() {
  static std::map<HWND, CWnd*> s_map;
  return s_map;
}

// Messages whose result a dialog procedure returns itself instead of
// leaving it in DWLP_MSGRESULT.
BOOL IsDirectDialogResult(UINT message) {
  switch (message) {
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

// CCmdTarget

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY s_entries[] = {{0, 0, 0, 0, nullptr}};
  static const AFX_MSGMAP s_map = {nullptr, &s_entries[0]};
  return &s_map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const {
  for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap; pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = pMap->lpEntries; e->pfnThunk; ++e) {
      if (e->nMessage != nMessage) continue;
      if (nMessage != WM_COMMAND) return e;
      if (e->nCode == nCode && nID >= e->nID && nID <= e->nLastID) return e;
    }
  }
  return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode) {
  const AFX_MSGMAP_ENTRY* e = FindMessageEntry(WM_COMMAND, (UINT)nCode, nID);
  if (!e) return FALSE;
  e->pfnThunk(this, 0, 0);
  return TRUE;
}

// CWnd

CWnd::CWnd() : m_hWnd(NULL), m_pfnSuper(nullptr), m_msgCur(), m_bLockoutNotify(FALSE) {}

CWnd::~CWnd() {
  if (m_hWnd) {
    if (m_pfnSuper)
      UnsubclassWindow();
    else
      Detach();
  }
}

BOOL CWnd::Attach(HWND hWndNew) {
  if (!hWndNew || m_hWnd) return FALSE;
  m_hWnd = hWndNew;
  PermanentMap()[hWndNew] = this;
  return TRUE;
}

HWND CWnd::Detach() {
  HWND hWnd = m_hWnd;
  if (hWnd) {
    auto it = PermanentMap().find(hWnd);
    if (it != PermanentMap().end() && it->second == this) PermanentMap().erase(it);
  }
  m_hWnd = NULL;
  return hWnd;
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
  auto it = PermanentMap().find(hWnd);
  return it == PermanentMap().end() ? nullptr : it->second;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
  if (!hWnd || m_hWnd || FromHandlePermanent(hWnd)) return FALSE;
  if (!Attach(hWnd)) return FALSE;
  PreSubclassWindow();
  WNDPROC pfnOld = (WNDPROC)::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, (LONG_PTR)&AfxWndProc);
  if (!pfnOld) {
    Detach();
    return FALSE;
  }
  m_pfnSuper = pfnOld;
  return TRUE;
}

HWND CWnd::UnsubclassWindow() {
  if (!m_hWnd) return NULL;
  if (m_pfnSuper) ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, (LONG_PTR)m_pfnSuper);
  m_pfnSuper = nullptr;
  return Detach();
}

void CWnd::PreSubclassWindow() {}

void CWnd::DoDataExchange(CDataExchange*) {}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
  if (!m_hWnd) return FALSE;
  CDataExchange dx(this, bSaveAndValidate);
  // Setting a control's text or check makes some controls notify the
  // parent; those notifications are not user input.
  BOOL bOldLockout = m_bLockoutNotify;
  m_bLockoutNotify = TRUE;
  DoDataExchange(&dx);
  m_bLockoutNotify = bOldLockout;
  return TRUE;
}

void CWnd::SetWindowText(LPCSTR lpszString) { ::SetWindowTextA(m_hWnd, lpszString); }

void CWnd::GetWindowText(CString& rString) const {
  int nLen = ::GetWindowTextLengthA(m_hWnd);
  if (nLen < 0) nLen = 0;
  LPSTR buf = rString.GetBufferSetLength(nLen);
  int nGot = ::GetWindowTextA(m_hWnd, buf, nLen + 1);
  rString.ReleaseBuffer(nGot < 0 ? 0 : nGot);
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer) {
  return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }

int CWnd::MessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) {
  // Without a caption the box is titled with the application's name.
  if (!lpszCaption) lpszCaption = AfxGetAppName();
  return ::MessageBoxA(m_hWnd, lpszText, lpszCaption, nType);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::EnableWindow(BOOL bEnable) { return ::EnableWindow(m_hWnd, bEnable); }

BOOL CWnd::IsIconic() const { return ::IsIconic(m_hWnd); }

void CWnd::GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }

DWORD CWnd::GetStyle() const { return (DWORD)::GetWindowLongA(m_hWnd, GWL_STYLE); }

void CWnd::CenterWindow() {
  RECT rcWindow;
  if (!::GetWindowRect(m_hWnd, &rcWindow)) return;
  int cxScreen = ::GetSystemMetrics(SM_CXSCREEN);
  int cyScreen = ::GetSystemMetrics(SM_CYSCREEN);
  RECT rcCenter = {0, 0, cxScreen, cyScreen};
  HWND hWndOwner = ::GetWindow(m_hWnd, GW_OWNER);
  if (hWndOwner && ::IsWindowVisible(hWndOwner) && !::IsIconic(hWndOwner)) ::GetWindowRect(hWndOwner, &rcCenter);

  int cx = rcWindow.right - rcWindow.left;
  int cy = rcWindow.bottom - rcWindow.top;
  int x = (rcCenter.left + rcCenter.right) / 2 - cx / 2;
  int y = (rcCenter.top + rcCenter.bottom) / 2 - cy / 2;
  if (x + cx > cxScreen) x = cxScreen - cx;
  if (y + cy > cyScreen) y = cyScreen - cy;
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  ::SetWindowPos(m_hWnd, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_pfnSuper) return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
  return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
  if (m_msgCur.bInDialogProc) {
    // The dialog manager does the default processing once the dialog
    // procedure returns FALSE; calling it from here would re-enter the
    // procedure.
    m_msgCur.bDefaultPending = TRUE;
    return 0;
  }
  return DefWindowProc(m_msgCur.message, m_msgCur.wParam, m_msgCur.lParam);
}

void CWnd::OnPaint() { Default(); }

HCURSOR CWnd::OnQueryDragIcon() { return (HCURSOR)Default(); }

void CWnd::OnTimer(UINT_PTR) { Default(); }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT lResult = 0;
  if (!OnWndMsg(message, wParam, lParam, &lResult)) lResult = DefWindowProc(message, wParam, lParam);
  return lResult;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message == WM_COMMAND) {
    if (!OnCommand(wParam, lParam)) return FALSE;
    *pResult = 0;
    return TRUE;
  }

  // Owner-draw messages go to the control they are about.
  HWND hWndChild = NULL;
  switch (message) {
    case WM_DRAWITEM: {
      const DRAWITEMSTRUCT* p = (const DRAWITEMSTRUCT*)lParam;
      if (p && p->CtlType != ODT_MENU) hWndChild = p->hwndItem;
      break;
    }
    case WM_MEASUREITEM: {
      const MEASUREITEMSTRUCT* p = (const MEASUREITEMSTRUCT*)lParam;
      if (p && p->CtlType != ODT_MENU) hWndChild = ::GetDlgItem(m_hWnd, (int)p->CtlID);
      break;
    }
    case WM_COMPAREITEM: {
      const COMPAREITEMSTRUCT* p = (const COMPAREITEMSTRUCT*)lParam;
      if (p) hWndChild = p->hwndItem;
      break;
    }
    case WM_DELETEITEM: {
      const DELETEITEMSTRUCT* p = (const DELETEITEMSTRUCT*)lParam;
      if (p) hWndChild = p->hwndItem;
      break;
    }
    default:
      break;
  }
  if (hWndChild) {
    CWnd* pChild = FromHandlePermanent(hWndChild);
    if (pChild && pChild != this && pChild->OnChildNotify(message, wParam, lParam, pResult)) return TRUE;
  }

  const AFX_MSGMAP_ENTRY* e = FindMessageEntry(message, 0, 0);
  if (!e) return FALSE;
  *pResult = e->pfnThunk(this, wParam, lParam);
  return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  UINT nID = LOWORD(wParam);
  int nCode = HIWORD(wParam);
  HWND hWndCtrl = (HWND)lParam;
  if (!hWndCtrl) {
    // A menu command or an accelerator (code 1): both are commands.
    nCode = CN_COMMAND;
  } else if (m_bLockoutNotify) {
    return TRUE;
  }
  if (nID == 0) return FALSE;
  return OnCmdMsg(nID, nCode);
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return FALSE; }

LRESULT CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, BOOL bInDialogProc, BOOL* pbHandled,
                       BOOL* pbDefault) {
  CurrentMessage saved = m_msgCur;
  m_msgCur.message = message;
  m_msgCur.wParam = wParam;
  m_msgCur.lParam = lParam;
  m_msgCur.bInDialogProc = bInDialogProc;
  m_msgCur.bDefaultPending = FALSE;
  LRESULT lResult = 0;
  if (bInDialogProc) {
    *pbHandled = OnWndMsg(message, wParam, lParam, &lResult);
  } else {
    lResult = WindowProc(message, wParam, lParam);
    *pbHandled = TRUE;
  }
  *pbDefault = m_msgCur.bDefaultPending;
  m_msgCur = saved;
  return lResult;
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
  if (!pWnd) return ::DefWindowProcA(hWnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    // The window's own procedure finishes it; the object lets go.
    WNDPROC pfnSuper = pWnd->m_pfnSuper;
    pWnd->UnsubclassWindow();
    return pfnSuper ? ::CallWindowProcA(pfnSuper, hWnd, message, wParam, lParam)
                    : ::DefWindowProcA(hWnd, message, wParam, lParam);
  }
  BOOL bHandled = FALSE;
  BOOL bDefault = FALSE;
  return pWnd->Dispatch(message, wParam, lParam, FALSE, &bHandled, &bDefault);
}

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    // DoModal passes the dialog object as the creation parameter.
    CWnd* pDlg = reinterpret_cast<CWnd*>(lParam);
    if (!pDlg) return TRUE;
    ::SetWindowLongPtrA(hWnd, DWLP_USER, (LONG_PTR)pDlg);
    pDlg->m_hWnd = hWnd;
  }
  CWnd* pWnd = reinterpret_cast<CWnd*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
  if (!pWnd) return FALSE;
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrA(hWnd, DWLP_USER, 0);
    pWnd->m_hWnd = NULL;
    return FALSE;
  }
  // A dialog is centred once it is initialised, unless OnInitDialog has
  // moved or shown it; the dialog manager shows it afterwards.
  RECT rcBefore = {0, 0, 0, 0};
  if (message == WM_INITDIALOG) ::GetWindowRect(hWnd, &rcBefore);
  BOOL bHandled = FALSE;
  BOOL bDefault = FALSE;
  LRESULT lResult = pWnd->Dispatch(message, wParam, lParam, TRUE, &bHandled, &bDefault);
  if (message == WM_INITDIALOG && pWnd->m_hWnd == hWnd) {
    RECT rcAfter = {0, 0, 0, 0};
    ::GetWindowRect(hWnd, &rcAfter);
    if (!(::GetWindowLongA(hWnd, GWL_STYLE) & (WS_VISIBLE | WS_CHILD)) &&
        memcmp(&rcBefore, &rcAfter, sizeof rcAfter) == 0)
      pWnd->CenterWindow();
  }
  if (!bHandled || bDefault) return FALSE;
  if (IsDirectDialogResult(message)) return (INT_PTR)lResult;
  ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, lResult);
  return TRUE;
}
