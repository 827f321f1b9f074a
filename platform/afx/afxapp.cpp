// CWinApp and the program entry point: WinMain hands the command line to
// the one application object and runs InitInstance.
#include "afxwin.h"

#include <string.h>

namespace {

CWinApp* g_pApp = nullptr;
HINSTANCE g_hInstance = NULL;

// The program file's name without folder and extension.
CString ModuleBaseName() {
  char szPath[MAX_PATH];
  DWORD nLen = ::GetModuleFileNameA(NULL, szPath, (DWORD)sizeof szPath);
  if (nLen >= sizeof szPath) nLen = sizeof szPath - 1;  // truncated names come without a terminator
  szPath[nLen] = '\0';
  LPCSTR pszName = szPath;
  for (LPCSTR p = szPath; *p; ++p)
    if (*p == '\\' || *p == '/' || *p == ':') pszName = p + 1;
  CString strName(pszName);
  int nDot = strName.ReverseFind('.');
  if (nDot > 0) strName = strName.Left(nDot);
  return strName;
}

}  // namespace

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR lpszAppName)
    : m_hInstance(NULL),
      m_lpCmdLine(NULL),
      m_nCmdShow(SW_SHOWNORMAL),
      m_pszAppName(NULL),
      m_pszExeName(NULL),
      m_pMainWnd(nullptr),
      m_strAppName(lpszAppName) {
  if (lpszAppName) m_pszAppName = m_strAppName;
  g_pApp = this;
}

CWinApp::~CWinApp() {
  if (g_pApp == this) g_pApp = nullptr;
}

void CWinApp::SetCurrentHandles() {
  m_strExeName = ModuleBaseName();
  m_pszExeName = m_strExeName;
  if (!m_pszAppName) {
    m_strAppName = m_strExeName;
    m_pszAppName = m_strAppName;
  }
}

BOOL CWinApp::InitApplication() { return TRUE; }

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::Run() {
  MSG msg;
  while (::GetMessageA(&msg, NULL, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  int nExit = ExitInstance();
  return msg.message == WM_QUIT ? (int)msg.wParam : nExit;
}

int CWinApp::ExitInstance() { return 0; }

BOOL CWinApp::Enable3dControls() { return TRUE; }

HICON CWinApp::LoadIcon(UINT nIDResource) const {
  LPCSTR lpszName = MAKEINTRESOURCEA(nIDResource);
  return ::LoadIconA(AfxFindResourceHandle(lpszName, RT_GROUP_ICON), lpszName);
}

int CWinApp::DoMessageBox(LPCSTR lpszPrompt, UINT nType, UINT) {
  CWnd* pMain = AfxGetMainWnd();
  HWND hWndOwner = pMain ? pMain->m_hWnd : NULL;
  while (hWndOwner && (::GetWindowLongA(hWndOwner, GWL_STYLE) & WS_CHILD)) hWndOwner = ::GetParent(hWndOwner);
  return ::MessageBoxA(hWndOwner, lpszPrompt, AfxGetAppName(), nType);
}

void CWinApp::OnHelp() {}

CWinApp* AfxGetApp() { return g_pApp; }

CWnd* AfxGetMainWnd() { return g_pApp ? g_pApp->m_pMainWnd : nullptr; }

HINSTANCE AfxGetInstanceHandle() {
  if (!g_hInstance) g_hInstance = ::GetModuleHandleA(NULL);
  return g_hInstance;
}

HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

LPCSTR AfxGetAppName() {
  if (g_pApp && g_pApp->m_pszAppName) return g_pApp->m_pszAppName;
  static CString s_strName;
  if (s_strName.IsEmpty()) s_strName = ModuleBaseName();
  return s_strName;
}

HINSTANCE AfxFindResourceHandle(LPCSTR lpszName, LPCSTR lpszType) {
  // The program is the only module with resources; the lookup tells
  // whether it has this one, and the program's handle is the answer either
  // way, so that a missing resource fails where it is loaded.
  HINSTANCE hInst = AfxGetResourceHandle();
  ::FindResourceA(hInst, lpszName, lpszType);
  return hInst;
}

int AfxMessageBox(LPCSTR lpszText, UINT nType, UINT nIDHelp) {
  if (g_pApp) return g_pApp->DoMessageBox(lpszText, nType, nIDHelp);
  return ::MessageBoxA(NULL, lpszText, AfxGetAppName(), nType);
}

BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int nCmdShow) {
  g_hInstance = hInstance;
  if (!g_pApp) return TRUE;
  g_pApp->m_hInstance = hInstance;
  // The run-time gives the text after the program name; blanks in front of
  // the first argument do not belong to it.
  if (!lpCmdLine) lpCmdLine = const_cast<LPSTR>("");
  while (*lpCmdLine == ' ' || *lpCmdLine == '\t') ++lpCmdLine;
  g_pApp->m_lpCmdLine = lpCmdLine;
  g_pApp->m_nCmdShow = nCmdShow;
  g_pApp->SetCurrentHandles();
  return TRUE;
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
  if (!AfxWinInit(hInstance, hPrevInstance, lpCmdLine, nCmdShow)) return -1;
  CWinApp* pApp = AfxGetApp();
  if (!pApp) return -1;
  if (!pApp->InitApplication()) return pApp->ExitInstance();
  if (!pApp->InitInstance()) return pApp->ExitInstance();
  return pApp->Run();
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
  return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
