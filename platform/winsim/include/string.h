// <string.h> of the C run-time as the programs know it from MSVCRT: the
// host's, plus the case-insensitive comparisons under their Microsoft names.
#pragma once

#include_next <string.h>
#include <strings.h>

inline int _stricmp(const char* a, const char* b) { return strcasecmp(a, b); }
inline int _strnicmp(const char* a, const char* b, size_t n) { return strncasecmp(a, b, n); }
