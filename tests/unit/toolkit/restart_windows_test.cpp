// RestartWindows: the shutdown privilege decides, and a refused restart
// leaves the machine running.
#include <gtest/gtest.h>
#include <windows.h>

#include "core/faults.h"
#include "core/handles.h"
#include "journal_query.h"
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
  JournalQuery journal(machine);
  // The current process (pseudo handle -1), for TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY.
  EXPECT_EQ(1u, journal.Calls("OpenProcessToken").Where("/args/0", 4294967295u).Where("/args/1", 40).size()) << journal;
  EXPECT_EQ(1u, journal.Calls("ExitWindowsEx").Where("/args", {6, 0}).Where("/ret", 1).size()) << journal;
}

TEST(RestartWindows, WithoutThePrivilegeWindowsKeepsRunning) {
  SimMachine machine("7");
  ASSERT_TRUE(machine.SetIni("user", "shutdown_privilege", "0"));
  size_t handles = winsim::Handles::Count();
  SetLastError(0xdeadbeef);
  EXPECT_EQ(0, RestartWindows());
  EXPECT_EQ((DWORD)ERROR_NOT_ALL_ASSIGNED, GetLastError());
  EXPECT_FALSE(Restarted());
  EXPECT_EQ(handles, winsim::Handles::Count()) << "the token handle is closed";
  EXPECT_FALSE(JournalQuery(machine).Called("ExitWindowsEx"));
}

struct RestartFaultRow {
  const char* faults;
  DWORD error;
  bool exitAsked;
};

// Each failure point of the routine, injected: the result is 0, the error
// is the injected one, and nothing restarts.
const RestartFaultRow kRestartFaults[] = {
    {"OpenProcessToken:5", ERROR_ACCESS_DENIED, false},
    {"AdjustTokenPrivileges:6", ERROR_INVALID_HANDLE, false},
    {"ExitWindowsEx:1115", ERROR_SHUTDOWN_IN_PROGRESS, true},
};

TEST(RestartWindows, EveryFailureReturnsZero) {
  for (const auto& row : kRestartFaults) {
    SimMachine machine("2003");
    winsim::Faults::Set(row.faults);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, RestartWindows()) << row.faults;
    EXPECT_EQ(row.error, GetLastError()) << row.faults;
    EXPECT_FALSE(Restarted()) << row.faults;
    EXPECT_EQ(row.exitAsked, JournalQuery(machine).Called("ExitWindowsEx")) << row.faults;
  }
}

TEST(RestartWindows, FailedPrivilegeLookupRestartsNothing) {
  SimMachine machine("xp");
  winsim::Faults::Set("LookupPrivilegeValueA:1313");
  EXPECT_EQ(0, RestartWindows());
  EXPECT_FALSE(Restarted());
}

}  // namespace
