// The legacy removal library: takes one of five printer models of the maker
// off the local machine (printer, driver, the driver's files and, when the
// spooler refuses the driver, its registry key).
#pragma once

#include <windows.h>

extern "C" {
// nModel 0 to 4 (see the model table); any other index does nothing.
void RemoveFromWin2k(int nModel);
}

// The module whose string table supplies the shared driver file names;
// null stands for the program's own resources.
void SetLegacyResourceModule(HINSTANCE hModule);
// True on release 5.2 (the 64-bit spooler environment and the second file
// set), asked afresh at every use.
BOOL IsRelease52();
