// InstallerDialog: the installer's progress window. It starts the whole
// installation from its one-shot timer.
#pragma once

#include <afxwin.h>

#include "install_engine.h"
#include "port_dialog.h"
#include "resource.h"

class InstallerDialog : public CDialog {
 public:
  explicit InstallerDialog(CWnd* pParent = NULL);

  enum { IDD = IDD_INSTALLER_DIALOG };
  int m_nWindowsKind;
  PortDialog m_portDialog;
  InstallEngine m_engine;
  CProgressCtrl m_progress;
  CString m_strProductName;
  CString m_strDriverVersion;
  CString m_strStatus;
  HICON m_hIcon;

  // The start-up and the installation; ends the process.
  virtual void StartInstallation();
  // Has the uninstaller remove an installed driver of another version, then
  // asks for a restart; ends the process when the user declines it.
  void RemoveDifferentVersion();

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  afx_msg void OnPaint();
  afx_msg HCURSOR OnQueryDragIcon();
  afx_msg void OnTimer(UINT_PTR nIDEvent);

  // A WM_TIMER that was queued before the timer was killed arrives in the
  // message loop of the port dialog or of a message box; it must not start
  // a second run.
  BOOL m_bStarted;

  DECLARE_MESSAGE_MAP()
};
