// Device contexts of the simulated GDI32: a device context of a window, for
// the drawing calls to know where they draw (a list item being drawn, a
// minimised window), and what USER32's painting calls share with GDI32.
#pragma once

#include <cstdint>

#include "core/json.h"
#include "windows.h"

namespace winsim {

HDC NewDC(HWND hwnd, int listItem);
void FreeDC(HDC hdc);
HWND WindowOfDC(HDC hdc, int* listItem);
bool IsDC(HDC hdc);
// True, with ERROR_INVALID_HANDLE as the last error, for a handle that is no
// device context.
bool BadDC(HDC hdc);

// The brushes of the system colours (GetSysColorBrush): base + 4 * index.
const uintptr_t kSysColorBrushBase = 0x01B00000;
// A brush a device context can select: a stock brush, one the program
// created, or a system colour's.
bool IsBrush(HGDIOBJ h);

// The text argument of a drawing call for the journal: n characters, or up
// to the terminating zero when n < 0.
Json TextArg(LPCSTR s, int n);

}  // namespace winsim
