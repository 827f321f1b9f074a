// The system's controls of the simulated USER32: the window procedures of
// the classes Button, Static, Edit and ListBox.
#pragma once

#include "user32/window.h"

namespace winsim {

LRESULT CALLBACK ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ListBoxProc(HWND, UINT, WPARAM, LPARAM);
DWORD ButtonType(Window* w);

}  // namespace winsim
