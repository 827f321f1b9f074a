// CFileFind: walks the entries of a directory that match a pattern.
#pragma once

#include "afxstring.h"

class CFileFind {
 public:
  CFileFind();
  virtual ~CFileFind();
  CFileFind(const CFileFind&) = delete;
  CFileFind& operator=(const CFileFind&) = delete;

  // Starts a search ("*.*" in the current directory when pstrName is
  // NULL); TRUE when something matches. No entry is current until the first
  // FindNextFile.
  BOOL FindFile(LPCSTR pstrName = NULL, DWORD dwUnused = 0);
  // Makes the next entry current; FALSE when it is the last one (it is
  // current all the same) or when there is none.
  BOOL FindNextFile();
  void Close();

  // Of the current entry; empty or FALSE when there is none.
  CString GetFileName() const;
  CString GetFilePath() const;  // the searched directory, a backslash and the name
  CString GetRoot() const { return m_strRoot; }
  BOOL IsDots() const;  // "." or ".."
  BOOL IsDirectory() const { return MatchesMask(FILE_ATTRIBUTE_DIRECTORY); }
  BOOL MatchesMask(DWORD dwMask) const;

 private:
  WIN32_FIND_DATAA* m_pFoundInfo;
  WIN32_FIND_DATAA* m_pNextInfo;
  HANDLE m_hContext;
  CString m_strRoot;
};
