// Window objects for the standard controls; each member sends the
// control's own message with SendMessageA.
#pragma once

#include <commctrl.h>

#include "afxwnd.h"

class CButton : public CWnd {
 public:
  int GetCheck() const;
  void SetCheck(int nCheck);
};

class CProgressCtrl : public CWnd {
 public:
  void SetRange(short nLower, short nUpper);
  int SetPos(int nPos);  // returns the previous position
  int GetPos() const;
  int SetStep(int nStep);  // returns the previous step
  int StepIt();            // returns the previous position
};

class CListBox : public CWnd {
 public:
  int GetCount() const;
  int GetTextLen(int nIndex) const;
  // The text of entry nIndex; the empty string when there is none.
  void GetText(int nIndex, CString& rString) const;
  int AddString(LPCSTR lpszItem);
  int DeleteString(UINT nIndex);
  void ResetContent();
  int GetCurSel() const;
  int SetCurSel(int nSelect);
  DWORD_PTR GetItemData(int nIndex) const;
  int SetItemData(int nIndex, DWORD_PTR dwItemData);
  int GetItemRect(int nIndex, LPRECT lpRect) const;
};

// An owner-drawn list box with a check box before every entry. The check
// state of an entry lives in its item data. A click on the check box, or
// the space bar on the entry with the caret, changes the state and sends
// the parent WM_COMMAND with CLBN_CHKCHANGE; SetCheck sends nothing.
class CCheckListBox : public CListBox {
 public:
  CCheckListBox();

  // BS_AUTOCHECKBOX (the default: unchecked and checked) or BS_AUTO3STATE
  // (also indeterminate, 2).
  void SetCheckStyle(UINT nStyle);
  UINT GetCheckStyle() const { return m_nStyle; }
  void SetCheck(int nIndex, int nCheck);
  // 0 for an index that is not in the list.
  int GetCheck(int nIndex) const;

 protected:
  virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  int CheckAreaWidth() const;
  void ToggleCheck(int nIndex);
  UINT m_nStyle;
};
