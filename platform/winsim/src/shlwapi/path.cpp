// The path helpers of SHLWAPI.
#include "kernel32/file_ops.h"
#include "core/journal.h"
#include "shlwapi.h"
#include "windows.h"

extern "C" BOOL WINAPI PathFileExistsA(LPCSTR pszPath) {
  winsim::ApiCall call("PathFileExistsA", {pszPath});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!pszPath) return call.Ret((BOOL)FALSE);
  DWORD attributes = 0;
  if (DWORD e = winsim::QueryAttributes(pszPath, &attributes)) return call.Fail(e);
  return call.Ret((BOOL)TRUE);
}
