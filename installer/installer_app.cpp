// The installer's application object: it shows the progress window, which
// runs the whole installation and ends the process itself.
#include <afxwin.h>

#include "installer_dialog.h"

class InstallerApp : public CWinApp {
 public:
  InstallerApp() : CWinApp(NULL) {}
  BOOL InitInstance() override;

  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(InstallerApp, CWinApp)
  ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

InstallerApp theApp;

BOOL InstallerApp::InitInstance() {
  Enable3dControls();
  InstallerDialog dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  // The window is gone with the dialog object; no message loop follows.
  m_pMainWnd = NULL;
  return FALSE;
}
