// COMCTL32 of the simulated Windows: the progress bar's window procedure,
// registered with the system's classes.
#pragma once

#include "windows.h"

namespace winsim {

LRESULT CALLBACK ProgressProc(HWND, UINT, WPARAM, LPARAM);

}  // namespace winsim
