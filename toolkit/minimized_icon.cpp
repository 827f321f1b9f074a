#include "minimized_icon.h"

void PaintMinimizedIcon(CWnd* pWnd, HICON hIcon) {
  CPaintDC dc(pWnd);
  pWnd->SendMessage(WM_ICONERASEBKGND, (WPARAM)dc.GetSafeHdc(), 0);

  int cxIcon = ::GetSystemMetrics(SM_CXICON);
  int cyIcon = ::GetSystemMetrics(SM_CYICON);
  RECT rect;
  pWnd->GetClientRect(&rect);
  int x = (rect.right - rect.left - cxIcon + 1) / 2;
  int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
  dc.DrawIcon(x, y, hIcon);
}
