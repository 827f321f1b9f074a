// UninstallerDialog: the uninstaller's one window, with the check list of
// the printers that use the driver. Its one-shot timer lists them; the
// removal runs in the Uninstall button's handler and ends the process.
#pragma once

#include <afxwin.h>

#include "resource.h"

class UninstallerDialog : public CDialog {
 public:
  explicit UninstallerDialog(CWnd* pParent = NULL);

  enum { IDD = IDD_UNINSTALLER_DIALOG };
  UINT m_nWindowsKind;         // the running Windows; 0 until the printers are listed
  int m_nPrinterCount;         // printers offered in the list
  int m_nSelectedCount;        // printers checked when the removal started
  CStringList m_printerNames;  // the names found, later the names checked
  CButton m_cancelButton;
  CButton m_uninstallButton;
  CProgressCtrl m_progress;
  CCheckListBox m_printerList;
  CString m_strStatus;
  HICON m_hIcon;

  // Lists the local printers of the driver; starts the removal at once when
  // there is none or when the command word asks for it.
  void FindPrinters();
  void CheckAllPrinters();
  // The removal of the checked printers and, when all are checked, of the
  // driver with everything around it. Ends the program.
  afx_msg void OnUninstall();
  // Opens and deletes every printer named in m_printerNames.
  void DeleteSelectedPrinters();
  // Has Windows uninstall its copy of the package INF, named under the
  // uninstall key.
  void UninstallOemInf();
  // Deletes that copy and its precompiled ".PNF" beside it.
  void DeleteOemInfFiles();
  // Deletes the printer named like the driver and the driver with its
  // files, restarts the spooler and deletes the driver's data files.
  void CleanDriverStore();

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  afx_msg void OnPaint();
  afx_msg HCURSOR OnQueryDragIcon();
  afx_msg void OnCheckChange();
  afx_msg void OnTimer(UINT_PTR nIDEvent);

  // Ends the process with status 0; every removal and a failed listing end
  // here. Nothing that follows a call of it runs.
  virtual void EndProgram();

  // The program was started with exactly the command word "DelAllDriver".
  static BOOL IsCommandWord();

 private:
  // Shows the status text, advances the bar by one step and refreshes the
  // window.
  void ReportStep(LPCSTR lpszStatus);
  // The end of a removal that leaves the driver in place.
  void EndShort();

  // A WM_TIMER already queued when the timer was killed may still arrive in
  // the loop of a message box; the printers are listed only once.
  BOOL m_bListed;

  DECLARE_MESSAGE_MAP()
};
