// The process token, the shutdown privilege and ExitWindowsEx.
#include <gtest/gtest.h>
#include <windows.h>

#include "sim_machine.h"

namespace {

// Enables the shutdown privilege the way a program does; returns the last
// error after AdjustTokenPrivileges.
DWORD EnableShutdown(DWORD access = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, BOOL* adjusted = nullptr) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), access, &token)) return GetLastError();
  TOKEN_PRIVILEGES tp;
  tp.PrivilegeCount = 1;
  LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &tp.Privileges[0].Luid);
  tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  SetLastError(0xdeadbeef);
  BOOL ok = AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
  DWORD error = GetLastError();
  if (adjusted) *adjusted = ok;
  CloseHandle(token);
  return error;
}

TEST(AdjustTokenPrivileges, ShutdownPrivilegeTable) {
  struct Row {
    const char* what;
    const char* holds;  // [user] shutdown_privilege
    DWORD access;
    BOOL result;
    DWORD error;
  } rows[] = {
      {"held", "1", TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, TRUE, ERROR_SUCCESS},
      {"not held: success with 1300", "0", TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, TRUE, ERROR_NOT_ALL_ASSIGNED},
      {"token opened for query only", "1", TOKEN_QUERY, FALSE, ERROR_ACCESS_DENIED},
  };
  for (const auto& row : rows) {
    SimMachine machine("xp");
    ASSERT_TRUE(machine.SetIni("user", "shutdown_privilege", row.holds)) << row.what;
    BOOL adjusted = -1;
    EXPECT_EQ(row.error, EnableShutdown(row.access, &adjusted)) << row.what;
    EXPECT_EQ(row.result, adjusted) << row.what;
  }
}

TEST(ExitWindowsEx, NeedsTheEnabledPrivilegeOnNT) {
  SimMachine machine("xp");
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0));
  EXPECT_EQ((DWORD)ERROR_PRIVILEGE_NOT_HELD, GetLastError());
  EXPECT_FALSE(winsim::Machine::Current().restarted());

  EXPECT_EQ((DWORD)ERROR_SUCCESS, EnableShutdown());
  EXPECT_TRUE(ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0));
  EXPECT_TRUE(winsim::Machine::Current().restarted());
  // The mark survives the process.
  machine.Restart();
  EXPECT_TRUE(winsim::Machine::Current().restarted());
}

TEST(ExitWindowsEx, PrivilegeNotHeldKeepsTheMachineRunning) {
  SimMachine machine("7");
  ASSERT_TRUE(machine.SetIni("user", "shutdown_privilege", "0"));
  EXPECT_EQ((DWORD)ERROR_NOT_ALL_ASSIGNED, EnableShutdown());
  EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0));
  EXPECT_FALSE(winsim::Machine::Current().restarted());
}

TEST(Token, Windows9xHasNoSecurity) {
  SimMachine machine("98");
  HANDLE token = nullptr;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
  EXPECT_EQ((DWORD)ERROR_CALL_NOT_IMPLEMENTED, GetLastError());
  // A restart needs no privilege there.
  EXPECT_TRUE(ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0));
}

TEST(LookupPrivilegeValueA, NamesAndSystems) {
  SimMachine machine("xp");
  LUID luid = {0, 0};
  EXPECT_TRUE(LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &luid));
  EXPECT_EQ(19u, luid.LowPart);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(LookupPrivilegeValueA(nullptr, "SeNoSuchPrivilege", &luid));
  EXPECT_EQ((DWORD)ERROR_NO_SUCH_PRIVILEGE, GetLastError());
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(LookupPrivilegeValueA("\\\\OTHERPC", "SeShutdownPrivilege", &luid));
  EXPECT_EQ((DWORD)RPC_S_SERVER_UNAVAILABLE, GetLastError());
}

TEST(CloseHandle, UnknownHandleFails) {
  SimMachine machine("xp");
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CloseHandle((HANDLE)(uintptr_t)0x1234));
  EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
}

}  // namespace
