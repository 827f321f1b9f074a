#include "directory_tree.h"

#include <windows.h>

namespace {

void ClearReadOnly(LPCSTR pszPath) {
  DWORD dwAttributes = GetFileAttributesA(pszPath);
  if (dwAttributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(pszPath, dwAttributes & ~FILE_ATTRIBUTE_READONLY);
}

// A link is removed as what it is: a directory junction with
// RemoveDirectoryA, a file link with DeleteFileA. Neither follows it.
void RemoveLink(LPCSTR pszPath, BOOL bDirectory) {
  if (bDirectory)
    RemoveDirectoryA(pszPath);
  else
    DeleteFileA(pszPath);
}

// "", "\", "C:" and "C:\": a tree nobody means to delete whole.
BOOL IsRootOrEmpty(const CString& strPath) {
  int nLength = strPath.GetLength();
  if (nLength == 0) return TRUE;
  if (nLength == 1) return strPath[0] == '\\' || strPath[0] == '/';
  if (strPath[1] != ':') return FALSE;
  return nLength == 2 || (nLength == 3 && (strPath[2] == '\\' || strPath[2] == '/'));
}

}  // namespace

void DeleteDirectoryTree(CString strPath) {
  if (IsRootOrEmpty(strPath)) return;

  DWORD dwAttributes = GetFileAttributesA(strPath);
  if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    RemoveLink(strPath, (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    return;
  }
  // A read-only directory cannot be removed.
  ClearReadOnly(strPath);

  if (strPath[strPath.GetLength() - 1] != '\\') strPath += "\\";
  strPath += "*.*";

  CFileFind finder;
  BOOL bMore = finder.FindFile(strPath);
  while (bMore) {
    bMore = finder.FindNextFile();
    if (finder.IsDots()) continue;
    CString strEntry = finder.GetFilePath();
    if (finder.MatchesMask(FILE_ATTRIBUTE_REPARSE_POINT)) {
      RemoveLink(strEntry, finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY));
    } else if (finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY)) {
      DeleteDirectoryTree(strEntry);
      RemoveDirectoryA(strEntry);
    } else {
      ClearReadOnly(strEntry);
      DeleteFileA(strEntry);
    }
  }
  finder.Close();

  // Back to the directory itself: the text before "\*.*".
  strPath = strPath.Left(strPath.ReverseFind('\\'));
  RemoveDirectoryA(strPath);
}
