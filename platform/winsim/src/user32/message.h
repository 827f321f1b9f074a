// The message queue of the simulated USER32: messages USER32 sends and posts
// itself, and the loop the program's GetMessageA, PeekMessageA and the
// modal dialogs run on.
#pragma once

#include "user32/window.h"

namespace winsim {

// Messages sent and posted by USER32 itself; the journal records the calls
// of the program, not these.
LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Runs the modal loop of a dialog created by DialogBoxParamA until EndDialog.
INT_PTR RunModalLoop(Window* dialog);
bool Translate(const MSG* msg);
LRESULT Dispatch(const MSG* msg);
void DropTimersOf(HWND hwnd);

}  // namespace winsim
