// CCmdTarget, the root of message-map dispatch, and CWnd, a C++ object
// attached to one window handle.
#pragma once

#include "afxmsg.h"
#include "afxstring.h"

class CDataExchange;

class CCmdTarget {
 public:
  CCmdTarget() = default;
  virtual ~CCmdTarget() = default;
  CCmdTarget(const CCmdTarget&) = delete;
  CCmdTarget& operator=(const CCmdTarget&) = delete;

  // Runs the handler of the command or notification nCode from nID; FALSE
  // when no table has one.
  virtual BOOL OnCmdMsg(UINT nID, int nCode);

 protected:
  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;
  // The first entry for the message from the most derived table on.
  const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const;
};

class CWnd : public CCmdTarget {
 public:
  CWnd();
  ~CWnd() override;

  HWND m_hWnd;

  operator HWND() const { return m_hWnd; }
  HWND GetSafeHwnd() const { return m_hWnd; }

  // Attach binds the object to a window it does not own; SubclassWindow
  // also routes the window's messages through this object's tables.
  BOOL Attach(HWND hWndNew);
  HWND Detach();
  BOOL SubclassWindow(HWND hWnd);
  HWND UnsubclassWindow();
  // The object subclassed to hWnd, if any.
  static CWnd* FromHandlePermanent(HWND hWnd);

  // Moves data between the members and the controls: TRUE reads the
  // controls, FALSE shows the members.
  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

  void SetWindowText(LPCSTR lpszString);
  void GetWindowText(CString& rString) const;
  UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer);
  BOOL KillTimer(UINT_PTR nIDEvent);
  int MessageBox(LPCSTR lpszText, LPCSTR lpszCaption = NULL, UINT nType = MB_OK);
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  BOOL EnableWindow(BOOL bEnable = TRUE);
  BOOL IsIconic() const;
  void GetClientRect(LPRECT lpRect) const;
  DWORD GetStyle() const;
  // Centres the window over its owner when that is visible and not
  // minimised, else on the screen, and keeps it on the screen.
  void CenterWindow();

 protected:
  virtual void DoDataExchange(CDataExchange* pDX);
  // Called with m_hWnd set, before the window procedure is replaced.
  virtual void PreSubclassWindow();

  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Dispatches one message through the tables; FALSE when unhandled.
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  // A WM_DRAWITEM, WM_MEASUREITEM, WM_COMPAREITEM or WM_DELETEITEM that the
  // parent passes on to the control it is about.
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // The default processing of any message: the window's original procedure.
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // The default processing of the message being handled now.
  LRESULT Default();

  afx_msg void OnPaint();
  afx_msg HCURSOR OnQueryDragIcon();
  afx_msg void OnTimer(UINT_PTR nIDEvent);

  WNDPROC m_pfnSuper;  // the procedure a subclassed window had before

 private:
  struct CurrentMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    BOOL bInDialogProc;    // dispatched from a dialog procedure
    BOOL bDefaultPending;  // Default() was asked for there
  };
  // Runs one message with it recorded as the current one; nested messages
  // keep their own record.
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam, BOOL bInDialogProc, BOOL* pbHandled, BOOL* pbDefault);

  CurrentMessage m_msgCur;
  BOOL m_bLockoutNotify;  // inside UpdateData: control notifications are ignored

  friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
  friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
};

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
