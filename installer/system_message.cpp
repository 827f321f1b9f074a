#include "system_message.h"

CString SystemMessage(DWORD dwError) {
  CString strText;
  LPSTR lpszSystem = NULL;
  if (FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, NULL, dwError,
                     MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), (LPSTR)&lpszSystem, 0, NULL) &&
      lpszSystem)
    strText = lpszSystem;
  if (lpszSystem) LocalFree(lpszSystem);
  return strText;
}
