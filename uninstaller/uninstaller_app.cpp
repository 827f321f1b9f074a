// The uninstaller's application object: it shows the window, which lists
// the printers and runs the removal; the removal ends the process itself.
#include <afxwin.h>

#include "uninstaller_dialog.h"

class UninstallerApp : public CWinApp {
 public:
  // No name: the framework names the application after the program file.
  UninstallerApp() : CWinApp(NULL) {}
  BOOL InitInstance() override;
};

UninstallerApp theApp;

BOOL UninstallerApp::InitInstance() {
  Enable3dControls();
  UninstallerDialog dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  // Cancelled: the window is gone with the dialog object, and no message
  // loop follows.
  m_pMainWnd = NULL;
  return FALSE;
}
