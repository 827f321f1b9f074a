// CString: the buffer is owned by the object and reallocated as it grows;
// every empty string shares one static terminator and allocates nothing.
#include "afxwin.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

namespace {

char g_chNil = '\0';

int SafeLength(LPCSTR lpsz) { return lpsz ? (int)strlen(lpsz) : 0; }

int CompareNoCaseAscii(LPCSTR s1, LPCSTR s2) {
  for (;; ++s1, ++s2) {
    int c1 = toupper((unsigned char)*s1);
    int c2 = toupper((unsigned char)*s2);
    if (c1 != c2 || c1 == 0) return c1 - c2;
  }
}

}  // namespace

CString::CString() : m_pchData(&g_chNil), m_nDataLength(0), m_nAllocLength(0) {}

CString::CString(const CString& stringSrc) : CString() { Assign(stringSrc.m_pchData, stringSrc.m_nDataLength); }

CString::CString(LPCSTR lpsz) : CString() { Assign(lpsz, SafeLength(lpsz)); }

CString::CString(LPCSTR lpch, int nLength) : CString() {
  if (lpch && nLength > 0) {
    // Never read past a terminator inside the given length.
    const void* nul = memchr(lpch, 0, (size_t)nLength);
    if (nul) nLength = (int)((LPCSTR)nul - lpch);
    Assign(lpch, nLength);
  }
}

CString::CString(char ch, int nRepeat) : CString() {
  if (ch != '\0' && nRepeat > 0) {
    Reserve(nRepeat);
    memset(m_pchData, ch, (size_t)nRepeat);
    m_pchData[nRepeat] = '\0';
    m_nDataLength = nRepeat;
  }
}

CString::~CString() { Free(); }

void CString::Free() {
  if (m_nAllocLength > 0) delete[] m_pchData;
  m_pchData = &g_chNil;
  m_nDataLength = 0;
  m_nAllocLength = 0;
}

void CString::Empty() { Free(); }

void CString::Reserve(int nLength) {
  if (nLength <= m_nAllocLength) return;
  // Grow by half again, so that repeated appends stay linear.
  int nNewAlloc = nLength;
  if (m_nAllocLength > 0 && nNewAlloc < m_nAllocLength + m_nAllocLength / 2)
    nNewAlloc = m_nAllocLength + m_nAllocLength / 2;
  LPSTR pNew = new char[(size_t)nNewAlloc + 1];
  memcpy(pNew, m_pchData, (size_t)m_nDataLength + 1);
  if (m_nAllocLength > 0) delete[] m_pchData;
  m_pchData = pNew;
  m_nAllocLength = nNewAlloc;
}

void CString::Assign(LPCSTR lpch, int nLength) {
  if (nLength <= 0) {
    Free();
    return;
  }
  if (lpch >= m_pchData && lpch <= m_pchData + m_nDataLength) {
    // A part of this very string: copy it out first.
    CString copy(lpch, nLength);
    Assign(copy.m_pchData, copy.m_nDataLength);
    return;
  }
  if (nLength > m_nAllocLength) {
    Free();
    m_pchData = new char[(size_t)nLength + 1];
    m_nAllocLength = nLength;
  }
  memcpy(m_pchData, lpch, (size_t)nLength);
  m_pchData[nLength] = '\0';
  m_nDataLength = nLength;
}

void CString::Append(LPCSTR lpch, int nLength) {
  if (nLength <= 0) return;
  if (lpch >= m_pchData && lpch <= m_pchData + m_nDataLength) {
    CString copy(lpch, nLength);
    Append(copy.m_pchData, copy.m_nDataLength);
    return;
  }
  Reserve(m_nDataLength + nLength);
  memcpy(m_pchData + m_nDataLength, lpch, (size_t)nLength);
  m_nDataLength += nLength;
  m_pchData[m_nDataLength] = '\0';
}

char CString::GetAt(int nIndex) const {
  if (nIndex < 0 || nIndex >= m_nDataLength) return '\0';
  return m_pchData[nIndex];
}

void CString::SetAt(int nIndex, char ch) {
  if (nIndex < 0 || nIndex >= m_nDataLength || ch == '\0') return;
  m_pchData[nIndex] = ch;
}

const CString& CString::operator=(const CString& stringSrc) {
  if (this != &stringSrc) Assign(stringSrc.m_pchData, stringSrc.m_nDataLength);
  return *this;
}

const CString& CString::operator=(LPCSTR lpsz) {
  Assign(lpsz, SafeLength(lpsz));
  return *this;
}

const CString& CString::operator=(char ch) {
  char buf[2] = {ch, '\0'};
  Assign(buf, ch ? 1 : 0);
  return *this;
}

const CString& CString::operator+=(const CString& string) {
  Append(string.m_pchData, string.m_nDataLength);
  return *this;
}

const CString& CString::operator+=(LPCSTR lpsz) {
  Append(lpsz, SafeLength(lpsz));
  return *this;
}

const CString& CString::operator+=(char ch) {
  if (ch) Append(&ch, 1);
  return *this;
}

CString operator+(const CString& string1, const CString& string2) {
  CString s(string1);
  s += string2;
  return s;
}

CString operator+(const CString& string, LPCSTR lpsz) {
  CString s(string);
  s += lpsz;
  return s;
}

CString operator+(LPCSTR lpsz, const CString& string) {
  CString s(lpsz);
  s += string;
  return s;
}

CString operator+(const CString& string, char ch) {
  CString s(string);
  s += ch;
  return s;
}

CString operator+(char ch, const CString& string) {
  CString s(ch);
  s += string;
  return s;
}

int CString::Compare(LPCSTR lpsz) const { return strcmp(m_pchData, lpsz ? lpsz : ""); }

int CString::CompareNoCase(LPCSTR lpsz) const { return CompareNoCaseAscii(m_pchData, lpsz ? lpsz : ""); }

CString CString::Mid(int nFirst, int nCount) const {
  if (nFirst < 0) nFirst = 0;
  if (nCount < 0) nCount = 0;
  if (nFirst > m_nDataLength) nFirst = m_nDataLength;
  if (nCount > m_nDataLength - nFirst) nCount = m_nDataLength - nFirst;
  return CString(m_pchData + nFirst, nCount);
}

CString CString::Mid(int nFirst) const { return Mid(nFirst, m_nDataLength); }

CString CString::Left(int nCount) const { return Mid(0, nCount); }

CString CString::Right(int nCount) const {
  if (nCount < 0) nCount = 0;
  if (nCount > m_nDataLength) nCount = m_nDataLength;
  return Mid(m_nDataLength - nCount, nCount);
}

void CString::MakeUpper() {
  for (int i = 0; i < m_nDataLength; ++i) m_pchData[i] = (char)toupper((unsigned char)m_pchData[i]);
}

void CString::MakeLower() {
  for (int i = 0; i < m_nDataLength; ++i) m_pchData[i] = (char)tolower((unsigned char)m_pchData[i]);
}

int CString::Find(char ch) const {
  if (ch == '\0') return -1;
  LPCSTR p = strchr(m_pchData, ch);
  return p ? (int)(p - m_pchData) : -1;
}

int CString::Find(LPCSTR lpszSub) const {
  if (!lpszSub) return -1;
  LPCSTR p = strstr(m_pchData, lpszSub);
  return p ? (int)(p - m_pchData) : -1;
}

int CString::ReverseFind(char ch) const {
  if (ch == '\0') return -1;
  LPCSTR p = strrchr(m_pchData, ch);
  return p ? (int)(p - m_pchData) : -1;
}

void CString::Format(LPCSTR lpszFormat, ...) {
  va_list argList;
  va_start(argList, lpszFormat);
  FormatV(lpszFormat, argList);
  va_end(argList);
}

void CString::FormatV(LPCSTR lpszFormat, va_list argList) {
  if (!lpszFormat) {
    Empty();
    return;
  }
  // Measure first, then format into a buffer of exactly that size.
  va_list measure;
  va_copy(measure, argList);
  int nLength = vsnprintf(nullptr, 0, lpszFormat, measure);
  va_end(measure);
  if (nLength <= 0) {
    Empty();
    return;
  }
  CString result;
  result.Reserve(nLength);
  vsnprintf(result.m_pchData, (size_t)nLength + 1, lpszFormat, argList);
  result.m_nDataLength = nLength;
  *this = result;
}

BOOL CString::LoadString(UINT nID) {
  // LoadStringA truncates to the buffer; a text that fills it may have been
  // cut, so try again with a larger buffer. String table entries hold at
  // most 65535 characters.
  for (int nSize = 256; nSize <= 65536; nSize *= 2) {
    LPSTR buf = GetBuffer(nSize - 1);
    buf[0] = '\0';
    int nLen = ::LoadStringA(AfxGetResourceHandle(), nID, buf, nSize);
    if (nLen < 0) nLen = 0;
    if (nLen > nSize - 1) nLen = nSize - 1;
    buf[nLen] = '\0';
    ReleaseBuffer(nLen);
    if (nLen < nSize - 1) return nLen > 0;
  }
  return TRUE;
}

LPSTR CString::GetBuffer(int nMinBufLength) {
  if (nMinBufLength < 0) nMinBufLength = 0;
  if (nMinBufLength == 0 && m_nAllocLength == 0) nMinBufLength = 1;  // never hand out the shared terminator
  Reserve(nMinBufLength);
  return m_pchData;
}

void CString::ReleaseBuffer(int nNewLength) {
  if (m_nAllocLength == 0) return;
  if (nNewLength < 0) {
    // Up to the first terminator, but never past the buffer.
    const void* nul = memchr(m_pchData, 0, (size_t)m_nAllocLength + 1);
    nNewLength = nul ? (int)((LPCSTR)nul - m_pchData) : m_nAllocLength;
  }
  if (nNewLength > m_nAllocLength) nNewLength = m_nAllocLength;
  m_pchData[nNewLength] = '\0';
  m_nDataLength = nNewLength;
}

LPSTR CString::GetBufferSetLength(int nNewLength) {
  if (nNewLength < 0) nNewLength = 0;
  LPSTR buf = GetBuffer(nNewLength);
  if (nNewLength > m_nDataLength) memset(buf + m_nDataLength, 0, (size_t)(nNewLength - m_nDataLength));
  buf[nNewLength] = '\0';
  m_nDataLength = nNewLength;
  return buf;
}

bool operator==(const CString& s1, const CString& s2) { return s1.Compare(s2) == 0; }
bool operator==(const CString& s1, LPCSTR s2) { return s1.Compare(s2) == 0; }
bool operator==(LPCSTR s1, const CString& s2) { return s2.Compare(s1) == 0; }
bool operator!=(const CString& s1, const CString& s2) { return s1.Compare(s2) != 0; }
bool operator!=(const CString& s1, LPCSTR s2) { return s1.Compare(s2) != 0; }
bool operator!=(LPCSTR s1, const CString& s2) { return s2.Compare(s1) != 0; }
bool operator<(const CString& s1, const CString& s2) { return s1.Compare(s2) < 0; }
bool operator<(const CString& s1, LPCSTR s2) { return s1.Compare(s2) < 0; }
bool operator<(LPCSTR s1, const CString& s2) { return s2.Compare(s1) > 0; }
bool operator>(const CString& s1, const CString& s2) { return s1.Compare(s2) > 0; }
bool operator>(const CString& s1, LPCSTR s2) { return s1.Compare(s2) > 0; }
bool operator>(LPCSTR s1, const CString& s2) { return s2.Compare(s1) < 0; }
bool operator<=(const CString& s1, const CString& s2) { return s1.Compare(s2) <= 0; }
bool operator>=(const CString& s1, const CString& s2) { return s1.Compare(s2) >= 0; }
