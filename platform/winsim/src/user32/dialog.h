// Dialogs of the simulated USER32: the dialog class's procedure (the dialog
// manager's default processing) and the keys a dialog handles itself.
#pragma once

#include "user32/window.h"

namespace winsim {

LRESULT CALLBACK DialogClassProc(HWND, UINT, WPARAM, LPARAM);
// IsDialogMessage: true when the message was the dialog's (it has been
// handled then).
bool DialogKeyboard(Window* dialog, const MSG* msg);

}  // namespace winsim
