// CWinApp, the one application object, and the framework's global helpers.
#pragma once

#include "afxwnd.h"

class CWinApp : public CCmdTarget {
 public:
  // A null name makes the application's name the program file's base name.
  explicit CWinApp(LPCSTR lpszAppName = NULL);
  ~CWinApp() override;

  HINSTANCE m_hInstance;
  LPSTR m_lpCmdLine;  // the text after the program name, leading blanks skipped
  int m_nCmdShow;
  LPCSTR m_pszAppName;
  LPCSTR m_pszExeName;  // the program file's base name
  CWnd* m_pMainWnd;

  virtual BOOL InitApplication();
  // FALSE ends the program without a message loop.
  virtual BOOL InitInstance();
  virtual int Run();
  virtual int ExitInstance();

  // Three-dimensional controls are Windows' own look since Windows 95:
  // nothing to load.
  BOOL Enable3dControls();
  HICON LoadIcon(UINT nIDResource) const;
  virtual int DoMessageBox(LPCSTR lpszPrompt, UINT nType, UINT nIDPrompt);

  // The programs carry no help file: the help command shows nothing.
  afx_msg void OnHelp();

 private:
  friend BOOL AfxWinInit(HINSTANCE, HINSTANCE, LPSTR, int);
  void SetCurrentHandles();

  CString m_strAppName;
  CString m_strExeName;

  DECLARE_MESSAGE_MAP()
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
LPCSTR AfxGetAppName();
// The module that holds the resource (the program itself).
HINSTANCE AfxFindResourceHandle(LPCSTR lpszName, LPCSTR lpszType);
// A message box owned by the main window, titled with the application's name.
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);

BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);
