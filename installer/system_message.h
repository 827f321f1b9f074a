// The system's own text for a Windows error number, as the installer's
// error boxes show it after their first line.
#pragma once

#include <afxwin.h>

// The English (United States) text of the system for dwError, with its line
// end; empty when the system has none.
CString SystemMessage(DWORD dwError);
