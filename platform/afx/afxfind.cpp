// CFileFind on FindFirstFileA and FindNextFileA. The search always reads one
// entry ahead, so that FindNextFile can tell whether another one follows.
#include "afxwin.h"

#include <string.h>

CFileFind::CFileFind() : m_pFoundInfo(nullptr), m_pNextInfo(nullptr), m_hContext(NULL) {}

CFileFind::~CFileFind() { Close(); }

void CFileFind::Close() {
  delete m_pFoundInfo;
  delete m_pNextInfo;
  m_pFoundInfo = nullptr;
  m_pNextInfo = nullptr;
  if (m_hContext && m_hContext != INVALID_HANDLE_VALUE) ::FindClose(m_hContext);
  m_hContext = NULL;
}

BOOL CFileFind::FindFile(LPCSTR pstrName, DWORD) {
  Close();
  if (!pstrName) pstrName = "*.*";
  if (strlen(pstrName) >= MAX_PATH) {
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return FALSE;
  }
  m_pNextInfo = new WIN32_FIND_DATAA;
  memset(m_pNextInfo, 0, sizeof *m_pNextInfo);
  m_hContext = ::FindFirstFileA(pstrName, m_pNextInfo);
  if (m_hContext == INVALID_HANDLE_VALUE) {
    DWORD dwErr = ::GetLastError();
    m_hContext = NULL;
    Close();
    ::SetLastError(dwErr);
    return FALSE;
  }

  // The root is the full path of the pattern up to its last separator.
  char szRoot[MAX_PATH];
  DWORD nLen = ::GetFullPathNameA(pstrName, (DWORD)sizeof szRoot, szRoot, NULL);
  if (nLen == 0 || nLen >= sizeof szRoot) lstrcpynA(szRoot, pstrName, (int)sizeof szRoot);
  char* pBack = strrchr(szRoot, '\\');
  char* pFront = strrchr(szRoot, '/');
  char* pCut = pBack > pFront ? pBack : pFront;
  if (pCut)
    *pCut = '\0';
  else
    szRoot[0] = '\0';
  m_strRoot = szRoot;
  return TRUE;
}

BOOL CFileFind::FindNextFile() {
  if (!m_hContext || !m_pNextInfo) return FALSE;
  if (!m_pFoundInfo) m_pFoundInfo = new WIN32_FIND_DATAA;
  WIN32_FIND_DATAA* pTemp = m_pFoundInfo;
  m_pFoundInfo = m_pNextInfo;
  m_pNextInfo = pTemp;
  memset(m_pNextInfo, 0, sizeof *m_pNextInfo);
  return ::FindNextFileA(m_hContext, m_pNextInfo);
}

CString CFileFind::GetFileName() const {
  if (!m_pFoundInfo) return CString();
  // cFileName is MAX_PATH characters; never read past it.
  return CString(m_pFoundInfo->cFileName, (int)sizeof m_pFoundInfo->cFileName);
}

CString CFileFind::GetFilePath() const {
  if (!m_pFoundInfo) return CString();
  CString strResult = m_strRoot;
  int nLen = strResult.GetLength();
  if (nLen == 0) return GetFileName();
  if (strResult[nLen - 1] != '\\' && strResult[nLen - 1] != '/') strResult += '\\';
  strResult += GetFileName();
  return strResult;
}

BOOL CFileFind::IsDots() const {
  if (!m_pFoundInfo || !(m_pFoundInfo->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return FALSE;
  const char* name = m_pFoundInfo->cFileName;
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

BOOL CFileFind::MatchesMask(DWORD dwMask) const {
  return m_pFoundInfo && (m_pFoundInfo->dwFileAttributes & dwMask) != 0;
}
