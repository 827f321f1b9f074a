// LoadStringA: a string of the program's string table.
#include <cstring>
#include <string>

#include "core/journal.h"
#include "core/resources.h"
#include "windows.h"

using winsim::ApiCall;
using winsim::HandleJson;
using winsim::Json;
using winsim::Resources;

extern "C" int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
  ApiCall call("LoadStringA", {HandleJson(hInstance), uID, HandleJson(lpBuffer), cchBufferMax});
  if (call.Fault()) return call.Ret(0);
  // The ANSI call cannot hand out a pointer into the resource: a zero
  // buffer size answers -1 and leaves the buffer alone.
  if (cchBufferMax == 0) return call.Ret(-1);
  if (!lpBuffer || cchBufferMax < 0) return call.Fail(!lpBuffer ? ERROR_NOACCESS : ERROR_INVALID_PARAMETER, 0);
  std::string text;
  if (!Resources::IsProgram((HMODULE)hInstance)) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
  } else {
    // A missing block is the failed FindResource's error; an empty string in
    // a block that exists leaves the last error alone.
    DWORD error = 0;
    if (!Resources::String(uID, &text, &error)) SetLastError(error);
  }
  // Truncated to the buffer, always terminated.
  size_t n = text.size() < (size_t)cchBufferMax ? text.size() : (size_t)cchBufferMax - 1;
  memcpy(lpBuffer, text.data(), n);
  lpBuffer[n] = 0;
  call.SetArg(2, Json(lpBuffer));
  return call.Ret((int)n);
}
