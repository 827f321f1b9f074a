// Device contexts of the simulated GDI32: a device context of a window, for
// the drawing calls to know where they draw (a list item being drawn, a
// minimised window).
#pragma once

#include "windows.h"

namespace winsim {

HDC NewDC(HWND hwnd, int listItem);
void FreeDC(HDC hdc);
HWND WindowOfDC(HDC hdc, int* listItem);
bool IsDC(HDC hdc);

}  // namespace winsim
