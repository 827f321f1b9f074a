// DeleteMonitorA on the simulated spooler: the monitor's key goes, other
// monitors stay.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <string>

#include "core/registry_tree.h"
#include "sim_machine.h"
#include "spooler_fixture.h"

namespace {

bool MonitorKeyExists(const char* name) {
  return winsim::Registry::Get().Find(std::string(spooler_fixture::kMonitors) + name) != nullptr;
}

TEST(DeleteMonitorA, Table) {
  struct Row {
    const char* what;
    const char* os;
    const char* environment;
    const char* name;
    bool admin;
    BOOL ok;
    DWORD error;
    bool probeStays;  // the monitor added for the row
  } rows[] = {
      {"the monitor added", "7-x64", "Windows x64", "Probe Monitor", true, TRUE, ERROR_SUCCESS, false},
      {"its name in other letter case", "7-x64", "Windows x64", "PROBE MONITOR", true, TRUE, ERROR_SUCCESS, false},
      {"the caller's own environment", "xp", nullptr, "Probe Monitor", true, TRUE, ERROR_SUCCESS, false},
      {"an unknown monitor", "7-x64", "Windows x64", "No Such Monitor", true, FALSE, ERROR_UNKNOWN_PRINT_MONITOR, true},
      {"an unknown environment", "7-x64", "Windows 3.1", "Probe Monitor", true, FALSE, ERROR_INVALID_ENVIRONMENT, true},
      {"an empty name", "7-x64", "Windows x64", "", true, FALSE, ERROR_INVALID_PARAMETER, true},
      {"not an administrator", "7-x64", "Windows x64", "Probe Monitor", false, FALSE, ERROR_ACCESS_DENIED, true},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    SimMachine machine(r.os);
    const winsim::OsInfo& os = winsim::Machine::Current().os();
    spooler_fixture::WriteFile(os.windir + "\\probemon.dll", spooler_fixture::MonitorModule(os.wow64));
    MONITOR_INFO_2A monitor = {(LPSTR) "Probe Monitor", (LPSTR)(os.wow64 ? "Windows x64" : "Windows NT x86"),
                               (LPSTR) "probemon.dll"};
    ASSERT_TRUE(AddMonitorA(nullptr, 2, (LPBYTE)&monitor));
    ASSERT_TRUE(machine.SetIni("user", "admin", r.admin ? "1" : "0"));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(r.ok, DeleteMonitorA(nullptr, (LPSTR)r.environment, (LPSTR)r.name));
    EXPECT_EQ(r.error, GetLastError());
    EXPECT_EQ(r.probeStays, MonitorKeyExists("Probe Monitor"));
    EXPECT_TRUE(MonitorKeyExists("Local Port")) << "other monitors stay";
  }
}

TEST(DeleteMonitorA, SecondTimeTheMonitorIsUnknown) {
  SimMachine machine("xp");
  spooler_fixture::WriteFile("C:\\WINDOWS\\system32\\probemon.dll", spooler_fixture::MonitorModule(false));
  MONITOR_INFO_2A monitor = {(LPSTR) "Probe Monitor", (LPSTR) "Windows NT x86", (LPSTR) "probemon.dll"};
  ASSERT_TRUE(AddMonitorA(nullptr, 2, (LPBYTE)&monitor));
  ASSERT_TRUE(DeleteMonitorA(nullptr, nullptr, (LPSTR) "Probe Monitor"));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeleteMonitorA(nullptr, nullptr, (LPSTR) "Probe Monitor"));
  EXPECT_EQ((DWORD)ERROR_UNKNOWN_PRINT_MONITOR, GetLastError());
  // Added again after its removal, as a new monitor.
  SetLastError(0xdeadbeef);
  EXPECT_TRUE(AddMonitorA(nullptr, 2, (LPBYTE)&monitor));
}

}  // namespace
