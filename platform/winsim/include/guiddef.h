// GUID of the simulated Windows.
#pragma once

#include <string.h>

#include "windef.h"

#ifndef GUID_DEFINED
#define GUID_DEFINED
typedef struct _GUID {
  ULONG Data1;
  USHORT Data2;
  USHORT Data3;
  UCHAR Data4[8];
} GUID;
#endif

inline bool IsEqualGUID(const GUID& a, const GUID& b) { return memcmp(&a, &b, sizeof(GUID)) == 0; }
