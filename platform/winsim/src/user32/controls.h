// The system's controls of the simulated USER32: the window procedures of
// the classes Button, Static, Edit and ListBox.
#pragma once

#include "user32/window.h"

namespace winsim {

LRESULT CALLBACK ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ListBoxProc(HWND, UINT, WPARAM, LPARAM);
bool IsButtonOfType(Window* w, DWORD type);
DWORD ButtonType(Window* w);
// The user clicks a button (BM_CLICK) or an item's check box in a list.
void ClickButton(Window* w);

}  // namespace winsim
