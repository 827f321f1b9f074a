// Device contexts: CDC wraps an HDC, CPaintDC is the one a WM_PAINT handler
// opens with BeginPaint and closes with EndPaint.
#pragma once

#include "afxwnd.h"

class CDC {
 public:
  HDC m_hDC;

  HDC GetSafeHdc() const { return m_hDC; }
  operator HDC() const { return m_hDC; }
  BOOL DrawIcon(int x, int y, HICON hIcon);

 protected:
  CDC() : m_hDC(NULL) {}
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;
};

class CPaintDC : public CDC {
 public:
  explicit CPaintDC(CWnd* pWnd);
  ~CPaintDC();

  PAINTSTRUCT m_ps;

 protected:
  HWND m_hWnd;
};
