// CString: a growable, zero-terminated ANSI string with value semantics.
#pragma once

#include <windows.h>

#include <stdarg.h>

class CString {
 public:
  CString();
  CString(const CString& stringSrc);
  CString(LPCSTR lpsz);  // a null pointer gives the empty string
  CString(LPCSTR lpch, int nLength);
  CString(char ch, int nRepeat = 1);
  ~CString();

  int GetLength() const { return m_nDataLength; }
  BOOL IsEmpty() const { return m_nDataLength == 0; }
  void Empty();

  // Out-of-range positions read as '\0' and are not written.
  char GetAt(int nIndex) const;
  char operator[](int nIndex) const { return GetAt(nIndex); }
  void SetAt(int nIndex, char ch);
  operator LPCSTR() const { return m_pchData; }

  const CString& operator=(const CString& stringSrc);
  const CString& operator=(LPCSTR lpsz);
  const CString& operator=(char ch);
  const CString& operator+=(const CString& string);
  const CString& operator+=(LPCSTR lpsz);
  const CString& operator+=(char ch);

  friend CString operator+(const CString& string1, const CString& string2);
  friend CString operator+(const CString& string, LPCSTR lpsz);
  friend CString operator+(LPCSTR lpsz, const CString& string);
  friend CString operator+(const CString& string, char ch);
  friend CString operator+(char ch, const CString& string);

  // lstrcmp-style: negative, zero or positive; byte-wise and case-sensitive.
  int Compare(LPCSTR lpsz) const;
  int CompareNoCase(LPCSTR lpsz) const;

  CString Mid(int nFirst, int nCount) const;
  CString Mid(int nFirst) const;
  CString Left(int nCount) const;
  CString Right(int nCount) const;
  void MakeUpper();
  void MakeLower();
  int Find(char ch) const;
  int Find(LPCSTR lpszSub) const;
  int ReverseFind(char ch) const;

  void Format(LPCSTR lpszFormat, ...);
  void FormatV(LPCSTR lpszFormat, va_list argList);
  // The string table entry nID of the program (language of the resources);
  // FALSE and the empty string when there is none.
  BOOL LoadString(UINT nID);

  // Direct access: a buffer of at least nMinBufLength characters plus the
  // terminator; ReleaseBuffer(-1) takes the length up to the first '\0'.
  LPSTR GetBuffer(int nMinBufLength);
  void ReleaseBuffer(int nNewLength = -1);
  LPSTR GetBufferSetLength(int nNewLength);

 private:
  void Assign(LPCSTR lpch, int nLength);
  void Append(LPCSTR lpch, int nLength);
  void Reserve(int nLength);  // keeps the content
  void Free();

  LPSTR m_pchData;
  int m_nDataLength;
  int m_nAllocLength;  // characters that fit, terminator not counted; 0 for the shared empty string
};

bool operator==(const CString& s1, const CString& s2);
bool operator==(const CString& s1, LPCSTR s2);
bool operator==(LPCSTR s1, const CString& s2);
bool operator!=(const CString& s1, const CString& s2);
bool operator!=(const CString& s1, LPCSTR s2);
bool operator!=(LPCSTR s1, const CString& s2);
bool operator<(const CString& s1, const CString& s2);
bool operator<(const CString& s1, LPCSTR s2);
bool operator<(LPCSTR s1, const CString& s2);
bool operator>(const CString& s1, const CString& s2);
bool operator>(const CString& s1, LPCSTR s2);
bool operator>(LPCSTR s1, const CString& s2);
bool operator<=(const CString& s1, const CString& s2);
bool operator>=(const CString& s1, const CString& s2);
