// snprintf and vsnprintf on MSVCRT's printf. MinGW's C++ headers send them
// to a printf of MinGW's own, whose floating-point conversion would be a
// good part of every image; the programs format only strings and integers
// (%s, %.*s, %d, %u), which MSVCRT formats the same. The Windows builds
// link with --wrap=__mingw_vsnprintf, so that the calls arrive here.
// __ms_vsnprintf is MinGW's wrapper of MSVCRT's _vsnprintf with the C99
// results: a cut text is terminated, and the length the whole text needs
// is answered.
#include <stdarg.h>
#include <stddef.h>

extern "C" int __cdecl __ms_vsnprintf(char* pszBuffer, size_t nCount, const char* pszFormat, va_list args);

extern "C" int __cdecl __wrap___mingw_vsnprintf(char* pszBuffer, size_t nCount, const char* pszFormat, va_list args) {
  return __ms_vsnprintf(pszBuffer, nCount, pszFormat, args);
}
