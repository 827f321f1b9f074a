// RestartWindows: the shutdown privilege decides, and a refused restart
// leaves the machine running.
#include <gtest/gtest.h>
#include <windows.h>

#include "core/faults.h"
#include "core/handles.h"
#include "core/journal.h"
#include "restart_windows.h"
#include "sim_machine.h"

namespace {

bool Restarted() { return winsim::Machine::Current().restarted(); }

TEST(RestartWindows, RestartsWithTheShutdownPrivilege) {
  SimMachine machine("xp");
  size_t handles = winsim::Handles::Count();
  SetLastError(0xdeadbeef);
  EXPECT_EQ(1, RestartWindows());
  EXPECT_TRUE(Restarted());
  EXPECT_EQ(handles, winsim::Handles::Count()) << "the token handle is closed";
  std::string journal = machine.ReadFile("journal.jsonl");
  EXPECT_NE(std::string::npos, journal.find("\"call\": \"OpenProcessToken\", \"args\": [4294967295, 40,"));
  EXPECT_NE(std::string::npos, journal.find("\"call\": \"ExitWindowsEx\", \"args\": [6, 0], \"ret\": 1"));
}

TEST(RestartWindows, WithoutThePrivilegeWindowsKeepsRunning) {
  SimMachine machine("7");
  machine.SetIni("user", "shutdown_privilege", "0");
  size_t handles = winsim::Handles::Count();
  SetLastError(0xdeadbeef);
  EXPECT_EQ(0, RestartWindows());
  EXPECT_EQ((DWORD)ERROR_NOT_ALL_ASSIGNED, GetLastError());
  EXPECT_FALSE(Restarted());
  EXPECT_EQ(handles, winsim::Handles::Count()) << "the token handle is closed";
  EXPECT_EQ(std::string::npos, machine.ReadFile("journal.jsonl").find("\"call\": \"ExitWindowsEx\""));
}

struct FaultRow {
  const char* faults;
  DWORD error;
  bool exitAsked;
};

// Each failure point of the routine, injected: the result is 0, the error
// is the injected one, and nothing restarts.
const FaultRow kFaults[] = {
    {"OpenProcessToken:5", ERROR_ACCESS_DENIED, false},
    {"AdjustTokenPrivileges:6", ERROR_INVALID_HANDLE, false},
    {"ExitWindowsEx:1115", ERROR_SHUTDOWN_IN_PROGRESS, true},
};

TEST(RestartWindows, EveryFailureReturnsZero) {
  for (const auto& row : kFaults) {
    SimMachine machine("2003");
    winsim::Faults::Set(row.faults);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, RestartWindows()) << row.faults;
    EXPECT_EQ(row.error, GetLastError()) << row.faults;
    EXPECT_FALSE(Restarted()) << row.faults;
    EXPECT_EQ(row.exitAsked, machine.ReadFile("journal.jsonl").find("\"call\": \"ExitWindowsEx\"") != std::string::npos)
        << row.faults;
  }
}

TEST(RestartWindows, FailedPrivilegeLookupRestartsNothing) {
  SimMachine machine("xp");
  winsim::Faults::Set("LookupPrivilegeValueA:1313");
  EXPECT_EQ(0, RestartWindows());
  EXPECT_FALSE(Restarted());
}

}  // namespace
