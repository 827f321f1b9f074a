// InstallEngine: construction, Windows classification and the two report
// operations through which the install sequence shows its progress.
#include "install_engine.h"

#include <string.h>

#include "windows_kind.h"

InstallEngine::InstallEngine() : m_pStatus(nullptr), m_pProgress(nullptr), m_nWindowsKind(0) {
  memset(m_szSourceDir, 0, sizeof m_szSourceDir);
}

InstallEngine::~InstallEngine() {}

int InstallEngine::ClassifyWindows() {
  m_nWindowsKind = ::ClassifyWindows();
  return m_nWindowsKind;
}

void InstallEngine::ReportStep(LPCSTR lpszStatus) {
  if (m_pStatus) *m_pStatus = lpszStatus;
  // The handler that runs the sequence pumps no messages: the bar moves by
  // a message sent at once, and UpdateData copies the text into the static.
  if (m_pProgress) m_pProgress->StepIt();
  if (CWnd* pMainWnd = AfxGetMainWnd()) pMainWnd->UpdateData(FALSE);
  ::Sleep(500);
}

void InstallEngine::ReportCompleted(LPCSTR lpszStatus) {
  if (m_pStatus) *m_pStatus = lpszStatus;
  if (m_pProgress) m_pProgress->SetPos(100);
  if (CWnd* pMainWnd = AfxGetMainWnd()) pMainWnd->UpdateData(FALSE);
}
