// The driver's language resource modules of both file sets, twenty each
// ("QVRENG50.DLL" ... and "QVRENG56.DLL" ...), built when the library is
// loaded and released when it is unloaded.
#pragma once

#include <afxwin.h>

enum { kLanguageModuleCount = 20 };

// Builds the tables not yet built; a second call keeps the first tables.
void BuildLanguageModules();
void ReleaseLanguageModules();
// The table of the first (32-bit) or the second (64-bit) set; null while
// the tables are not built.
const CString* LanguageModules(BOOL bSecondSet);
