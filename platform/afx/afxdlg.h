// CDialog: a modal dialog box built from a dialog template of the program.
#pragma once

#include "afxwnd.h"

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = NULL);
  explicit CDialog(LPCSTR lpszTemplateName, CWnd* pParentWnd = NULL);

  // Shows the dialog and returns the value given to EndDialog (IDOK,
  // IDCANCEL...), or -1 when it could not be created.
  virtual INT_PTR DoModal();
  void EndDialog(int nResult);
  // Shows the members in the controls; TRUE lets Windows set the focus.
  virtual BOOL OnInitDialog();
  BOOL OnCmdMsg(UINT nID, int nCode) override;

 protected:
  // OK reads the controls into the members and ends the dialog with IDOK;
  // Cancel (also Esc and the close box) ends it with IDCANCEL.
  virtual void OnOK();
  virtual void OnCancel();
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

  LPCSTR m_lpszTemplateName;
  UINT m_nIDHelp;
  CWnd* m_pParentWnd;
  int m_nModalResult;

  DECLARE_MESSAGE_MAP()
};
