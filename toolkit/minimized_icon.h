// The picture of a minimised dialog window: its icon centred in the client
// area, as both programs' windows paint themselves when iconic.
#pragma once

#include <afxwin.h>

// Paints hIcon centred in pWnd's client area; call from OnPaint while the
// window is iconic.
void PaintMinimizedIcon(CWnd* pWnd, HICON hIcon);
