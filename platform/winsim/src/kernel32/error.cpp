// Last error, the system's message texts and local memory.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "core/journal.h"
#include "core/machine.h"
#include "windows.h"

namespace {

DWORD g_lastError = 0;

struct Message {
  DWORD id;
  const char* text;
};

// The English (United States) texts of the system message table.
const Message kMessages[] = {
    {0, "The operation completed successfully.\r\n"},
    {1, "Incorrect function.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {4, "The system cannot open the file.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough storage is available to process this command.\r\n"},
    {13, "The data is invalid.\r\n"},
    {14, "Not enough storage is available to complete this operation.\r\n"},
    {18, "There are no more files.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {50, "The request is not supported.\r\n"},
    {80, "The file exists.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {120, "This function is not supported on this system.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {126, "The specified module could not be found.\r\n"},
    {127, "The specified procedure could not be found.\r\n"},
    {145, "The directory is not empty.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n"},
    {234, "More data is available.\r\n"},
    {259, "No more data is available.\r\n"},
    {267, "The directory name is invalid.\r\n"},
    {1004, "Invalid flags.\r\n"},
    {1009, "The configuration registry database is corrupt.\r\n"},
    {1010, "The configuration registry key is invalid.\r\n"},
    {1011, "The configuration registry key could not be opened.\r\n"},
    {1018, "Illegal operation attempted on a registry key that has been marked for deletion.\r\n"},
    {1060, "The specified service does not exist as an installed service.\r\n"},
    {1115, "A system shutdown is in progress.\r\n"},
    {1223, "The operation was canceled by the user.\r\n"},
    {1300, "Not all privileges referenced are assigned to the caller.\r\n"},
    {1313, "A specified privilege does not exist.\r\n"},
    {1314, "A required privilege is not held by the client.\r\n"},
    {1332, "No mapping between account names and security IDs was done.\r\n"},
    {1336, "The access control list (ACL) structure is invalid.\r\n"},
    {1337, "The security ID structure is invalid.\r\n"},
    {1338, "The security descriptor structure is invalid.\r\n"},
    {1400, "Invalid window handle.\r\n"},
    {1722, "The RPC server is unavailable.\r\n"},
    {1795, "The specified printer driver is already installed.\r\n"},
    {1796, "The specified port is unknown.\r\n"},
    {1797, "The printer driver is unknown.\r\n"},
    {1798, "The print processor is unknown.\r\n"},
    {1801, "The printer name is invalid.\r\n"},
    {1802, "The printer already exists.\r\n"},
    {1804, "The specified datatype is invalid.\r\n"},
    {1805, "The environment specified is invalid.\r\n"},
    {1812, "The specified image file did not contain a resource section.\r\n"},
    {1813, "The specified resource type cannot be found in the image file.\r\n"},
    {1814, "The specified resource name cannot be found in the image file.\r\n"},
    {1815, "The specified resource language ID cannot be found in the image file.\r\n"},
    {1905, "The printer has been deleted.\r\n"},
    {3001, "The specified printer driver is currently in use.\r\n"},
    {3006, "The specified print monitor has already been installed.\r\n"},
    {3007, "The specified print monitor does not have the required functions.\r\n"},
    {3008, "The specified print monitor is currently in use.\r\n"},
    {3009, "The requested operation is not allowed when there are jobs queued to the printer.\r\n"},
};

const char* FindMessage(DWORD id) {
  for (const auto& m : kMessages)
    if (m.id == id) return m.text;
  return nullptr;
}

std::set<void*>& LocalBlocks() {
  static std::set<void*> blocks;
  return blocks;
}

bool LanguageKnown(DWORD lang) {
  // Neutral, user default, system default and English (United States).
  return lang == 0 || lang == 0x400 || lang == 0x800 || lang == 0x409;
}

}  // namespace

extern "C" {

DWORD WINAPI GetLastError(void) { return g_lastError; }

void WINAPI SetLastError(DWORD dwErrCode) { g_lastError = dwErrCode; }

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
  void* p = (uFlags & LMEM_ZEROINIT) ? calloc(1, uBytes ? uBytes : 1) : malloc(uBytes ? uBytes : 1);
  if (!p) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  LocalBlocks().insert(p);
  return p;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
  winsim::ApiCall call("LocalFree", {winsim::HandleJson(hMem)});
  if (!hMem) return call.Ret((HLOCAL) nullptr);
  auto it = LocalBlocks().find(hMem);
  if (it == LocalBlocks().end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return call.Ret(hMem);
  }
  LocalBlocks().erase(it);
  free(hMem);
  return call.Ret((HLOCAL) nullptr);
}

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) { return LocalAlloc(uFlags, dwBytes); }

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) { return LocalFree(hMem); }

DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPSTR lpBuffer,
                            DWORD nSize, va_list* Arguments) {
  (void)Arguments;
  winsim::ApiCall call("FormatMessageA", {dwFlags, winsim::HandleJson(lpSource), dwMessageId, dwLanguageId,
                                          winsim::HandleJson(lpBuffer), nSize, winsim::HandleJson(Arguments)});
  if (call.Fault()) return call.Ret((DWORD)0);
  const char* text = nullptr;
  if (dwFlags & FORMAT_MESSAGE_FROM_STRING) {
    text = (const char*)lpSource;
  } else if (dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) {
    if (!LanguageKnown(dwLanguageId)) return call.Fail(ERROR_RESOURCE_LANG_NOT_FOUND, (DWORD)0);
    text = FindMessage(dwMessageId);
    if (!text) return call.Fail(ERROR_MR_MID_NOT_FOUND, (DWORD)0);
  }
  if (!text || !lpBuffer) return call.Fail(ERROR_INVALID_PARAMETER, (DWORD)0);
  size_t len = strlen(text);
  if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    size_t size = len + 1 > nSize ? len + 1 : nSize;
    char* p = (char*)LocalAlloc(LMEM_FIXED, size);
    if (!p) return call.Ret((DWORD)0);
    memcpy(p, text, len + 1);
    *(LPSTR*)lpBuffer = p;
  } else {
    if (len + 1 > nSize) return call.Fail(ERROR_INSUFFICIENT_BUFFER, (DWORD)0);
    memcpy(lpBuffer, text, len + 1);
  }
  call.Extra("text", text);
  return call.Ret((DWORD)len);
}

}  // extern "C"
