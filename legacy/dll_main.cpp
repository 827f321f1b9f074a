// The library's entry point: the language-module tables live from load to
// unload. The framework's extension-module start-up has no work of its own
// here, so the loader's notifications are all the library needs.
#include <windows.h>

#include "language_modules.h"
#include "legacy_purge.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
  if (dwReason == DLL_PROCESS_ATTACH) {
    SetLegacyResourceModule(hInstance);
    BuildLanguageModules();
  } else if (dwReason == DLL_PROCESS_DETACH) {
    ReleaseLanguageModules();
  }
  return TRUE;
}
