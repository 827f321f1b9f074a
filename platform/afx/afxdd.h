// Dialog data exchange: DoDataExchange of a window calls the DDX_ functions,
// which move data between members and controls in the direction that
// UpdateData asked for.
#pragma once

#include "afxwnd.h"

class CDataExchange {
 public:
  CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate);

  BOOL m_bSaveAndValidate;  // TRUE: controls to members
  CWnd* m_pDlgWnd;
  HWND m_hWndLastControl;

  // The control nIDC of the dialog, or NULL when it has none; a missing
  // control leaves its member untouched.
  HWND PrepareCtrl(int nIDC);
};

// Binds rControl to control nIDC and subclasses it (once).
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
// The control's window text.
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
// The index of the checked radio button in the group that starts at nIDC
// (a WS_GROUP button) and runs to the next control with WS_GROUP; controls
// of the group that are not radio buttons are not counted. -1 when none is
// checked.
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value);

// Sets a control's text unless it already reads so, to spare a repaint.
void AfxSetWindowText(HWND hWndCtrl, LPCSTR lpszNew);
