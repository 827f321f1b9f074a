// Handles belong to the process that opened them: every kind ends with the
// process, and none ends when a child process runs and the parent reads the
// machine back.
#include <gtest/gtest.h>
#include <setupapi.h>
#include <windows.h>
#include <winspool.h>

#include "core/machine.h"
#include "sim_machine.h"

namespace {

struct HandleRow {
  const char* kind;
  HANDLE (*open)();
  BOOL (*close)(HANDLE);
  bool errorDocumented;  // the call sets the last error when it fails
  DWORD error;
};

HANDLE OpenFile() {
  HANDLE h = CreateFileA("C:\\handles.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

HANDLE OpenToken() {
  HANDLE h = nullptr;
  return OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &h) ? h : nullptr;
}

HANDLE OpenSearch() {
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA("C:\\*", &data);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

HANDLE OpenPrintServer() {
  HANDLE h = nullptr;
  return OpenPrinterA(nullptr, &h, nullptr) ? h : nullptr;
}

HANDLE OpenDeviceSet() {
  HDEVINFO h = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

const HandleRow kHandleRows[] = {
    {"file (CloseHandle)", OpenFile, CloseHandle, true, ERROR_INVALID_HANDLE},
    {"token (CloseHandle)", OpenToken, CloseHandle, true, ERROR_INVALID_HANDLE},
    {"search (FindClose)", OpenSearch, FindClose, true, ERROR_INVALID_HANDLE},
    {"printer (ClosePrinter)", OpenPrintServer, ClosePrinter, true, ERROR_INVALID_HANDLE},
    {"device information set (SetupDiDestroyDeviceInfoList)", OpenDeviceSet, SetupDiDestroyDeviceInfoList, true,
     ERROR_INVALID_HANDLE},
    {"brush (DeleteObject)", [] { return (HANDLE)CreateSolidBrush(RGB(1, 2, 3)); },
     [](HANDLE h) { return DeleteObject((HGDIOBJ)h); }, false, 0},
    {"device context (ReleaseDC)", [] { return (HANDLE)GetDC(nullptr); },
     [](HANDLE h) { return (BOOL)ReleaseDC(nullptr, (HDC)h); }, false, 0},
    {"window (DestroyWindow)",
     [] {
       return (HANDLE)CreateWindowExA(0, "STATIC", "handles", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                      nullptr);
     },
     [](HANDLE h) { return DestroyWindow((HWND)h); }, true, ERROR_INVALID_WINDOW_HANDLE},
};

TEST(Handles, EveryKindEndsWithItsProcess) {
  SimMachine machine;
  for (const auto& row : kHandleRows) {
    SCOPED_TRACE(row.kind);
    HANDLE h = row.open();
    ASSERT_NE(nullptr, h);
    machine.Restart();
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(row.close(h));
    if (row.errorDocumented) {
      EXPECT_EQ(row.error, GetLastError());
    }
  }
}

TEST(Handles, EveryKindOutlivesAChildProcess) {
  SimMachine machine;
  for (const auto& row : kHandleRows) {
    SCOPED_TRACE(row.kind);
    HANDLE h = row.open();
    ASSERT_NE(nullptr, h);
    // What CreateProcessA does around the child it runs.
    winsim::Machine::SaveAll();
    winsim::Machine::ReloadAll();
    EXPECT_TRUE(row.close(h));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(row.close(h)) << "closed twice";
    if (row.errorDocumented) {
      EXPECT_EQ(row.error, GetLastError());
    }
  }
}

}  // namespace
