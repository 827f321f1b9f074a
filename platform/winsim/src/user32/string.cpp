// USER32's character helpers. They make no system call and are not journaled.
#include "windows.h"

extern "C" {

// The simulated machine's ANSI code page is 1252, which has no double-byte
// characters: the next character is the next byte, and the end stays put.
LPSTR WINAPI CharNextA(LPCSTR lpsz) {
  if (!lpsz || !*lpsz) return (LPSTR)lpsz;
  return (LPSTR)(lpsz + 1);
}

}  // extern "C"
