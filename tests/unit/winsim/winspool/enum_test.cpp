// The spooler's enumerations and driver directory: the two-call size
// protocol, environments, and what a caller filtering by driver name sees.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <cstring>
#include <vector>

#include "journal_query.h"
#include "sim_machine.h"
#include "spooler_fixture.h"

using namespace spooler_fixture;

namespace {

// A machine with the driver installed and printers on it.
::testing::AssertionResult InstallNamedDriver(const char* name = kDriver, const char* env = "Windows NT x86") {
  TestDriver d;
  d.name = name;
  d.environment = env;
  if (!d.StageAndAdd()) return ::testing::AssertionFailure() << name << " error " << GetLastError();
  return ::testing::AssertionSuccess();
}

bool InBuffer(const void* p, const std::vector<BYTE>& buf) {
  return p >= (const void*)buf.data() && p < (const void*)(buf.data() + buf.size());
}

TEST(EnumPrintersA, TwoCallsWithABufferOneByteShort) {
  SimMachine machine("xp");
  ASSERT_TRUE(InstallNamedDriver());
  ASSERT_TRUE(AddPrinterAndClose("Label one", kDriver, "COM1:"));
  ASSERT_TRUE(AddPrinterAndClose("Label two", kDriver, "LPT2:"));

  DWORD needed = 0xdeadbeef, returned = 0xdeadbeef;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned));
  EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
  EXPECT_EQ(0u, returned);
  // Two records and the wide-character size of their strings.
  ASSERT_GT(needed, 2 * sizeof(PRINTER_INFO_2A));

  std::vector<BYTE> buf(needed, 0xcc);
  DWORD needed2 = 0, returned2 = 0xdeadbeef;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buf.data(), needed - 1, &needed2, &returned2));
  EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
  EXPECT_EQ(needed, needed2);
  EXPECT_EQ(0u, returned2);

  SetLastError(0xdeadbeef);
  ASSERT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buf.data(), needed, &needed2, &returned2));
  EXPECT_EQ(needed, needed2);
  ASSERT_EQ(2u, returned2);
  const PRINTER_INFO_2A* p = (const PRINTER_INFO_2A*)buf.data();
  EXPECT_STREQ("Label one", p[0].pPrinterName);
  EXPECT_STREQ("COM1:", p[0].pPortName);
  EXPECT_STREQ("Label two", p[1].pPrinterName);
  EXPECT_STREQ("LPT2:", p[1].pPortName);
  for (int i = 0; i < 2; ++i) {
    EXPECT_STREQ(kDriver, p[i].pDriverName) << i;
    EXPECT_STREQ("WinPrint", p[i].pPrintProcessor) << i;
    EXPECT_EQ(nullptr, p[i].pServerName) << i;
    EXPECT_EQ(0xA00u, p[i].Attributes) << i;
    EXPECT_EQ((DWORD)PRINTER_STATUS_OFFLINE, p[i].Status) << i;
    // The strings lie in the caller's buffer, behind the records.
    EXPECT_TRUE(InBuffer(p[i].pPrinterName, buf)) << i;
    EXPECT_GE((const BYTE*)p[i].pPrinterName, buf.data() + 2 * sizeof(PRINTER_INFO_2A)) << i;
  }
}

TEST(EnumPrintersA, NoPrintersNeedNoBuffer) {
  SimMachine machine("xp");
  DWORD needed = 0xdeadbeef, returned = 0xdeadbeef;
  SetLastError(0xdeadbeef);
  EXPECT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned));
  EXPECT_EQ(0u, needed);
  EXPECT_EQ(0u, returned);
}

TEST(EnumPrintersA, SecondCallFailsWhenAPrinterWasAddedInBetween) {
  SimMachine machine("xp");
  ASSERT_TRUE(InstallNamedDriver());
  ASSERT_TRUE(AddPrinterAndClose("First", kDriver));
  DWORD needed = 0, returned = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned);
  std::vector<BYTE> buf(needed);

  ASSERT_TRUE(AddPrinterAndClose("Second", kDriver));
  DWORD needed2 = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buf.data(), needed, &needed2, &returned));
  EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
  EXPECT_GT(needed2, needed);
  EXPECT_EQ(0u, returned);
  // What the caller holds is zeroed, not half-filled.
  for (BYTE b : buf) ASSERT_EQ(0, b);
}

TEST(EnumPrintersA, CallersFilteringByDriverNameSeeOnlyTheirPrinters) {
  SimMachine machine("xp");
  ASSERT_TRUE(InstallNamedDriver());
  ASSERT_TRUE(InstallNamedDriver("Generic / Text Only"));
  ASSERT_TRUE(AddPrinterAndClose("Ours", kDriver));
  ASSERT_TRUE(AddPrinterAndClose("Office", "Generic / Text Only"));
  // Named with other letter case, the printer still uses the installed
  // driver and reports the driver's own spelling.
  ASSERT_TRUE(AddPrinterAndClose("Ours too", "velkora kvl-m720"));

  std::vector<BYTE> storage;
  std::vector<std::string> ours;
  for (const auto& p : EnumLocalPrinters(&storage))
    if (strcmp(p.pDriverName, kDriver) == 0) ours.push_back(p.pPrinterName);
  EXPECT_EQ((std::vector<std::string>{"Ours", "Ours too"}), ours);
}

TEST(EnumPrintersA, RefusesBadArguments) {
  SimMachine machine("xp");
  DWORD needed = 0, returned = 0;
  BYTE buf[16];
  struct Row {
    const char* what;
    DWORD flags, level;
    LPBYTE buffer;
    DWORD cb;
    LPDWORD pNeeded, pReturned;
    DWORD error;
  } rows[] = {
      {"level 3", PRINTER_ENUM_LOCAL, 3, nullptr, 0, &needed, &returned, ERROR_INVALID_LEVEL},
      {"no needed", PRINTER_ENUM_LOCAL, 2, nullptr, 0, nullptr, &returned, RPC_X_NULL_REF_POINTER},
      {"no returned", PRINTER_ENUM_LOCAL, 2, nullptr, 0, &needed, nullptr, RPC_X_NULL_REF_POINTER},
      {"size without buffer", PRINTER_ENUM_LOCAL, 2, nullptr, 16, &needed, &returned, ERROR_INVALID_USER_BUFFER},
      {"remote only", PRINTER_ENUM_REMOTE, 2, buf, sizeof buf, &needed, &returned, ERROR_INVALID_FLAGS},
  };
  for (const auto& r : rows) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(EnumPrintersA(r.flags, nullptr, r.level, r.buffer, r.cb, r.pNeeded, r.pReturned)) << r.what;
    EXPECT_EQ(r.error, GetLastError()) << r.what;
  }
}

TEST(EnumPrinterDriversA, NullEnvironmentIsTheCallersOwn) {
  // A 32-bit program on 64-bit Windows lists the x86 drivers; the native
  // ones it must ask for by name.
  SimMachine machine("7-x64");
  RemoveShippedPrinting();
  ASSERT_TRUE(InstallNamedDriver("Driver x86", "Windows NT x86"));
  ASSERT_TRUE(InstallNamedDriver("Driver x64", "Windows x64"));
  struct Row {
    const char* env;
    const char* name;
  } rows[] = {{nullptr, "Driver x86"},
              {"", "Driver x86"},
              {"Windows NT x86", "Driver x86"},
              {"Windows x64", "Driver x64"},
              {"WINDOWS X64", "Driver x64"}};
  for (const auto& r : rows) {
    DWORD needed = 0, returned = 0;
    EnumPrinterDriversA(nullptr, (LPSTR)r.env, 4, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buf(needed);
    SetLastError(0xdeadbeef);
    ASSERT_TRUE(EnumPrinterDriversA(nullptr, (LPSTR)r.env, 4, buf.data(), needed, &needed, &returned))
        << (r.env ? r.env : "null");
    ASSERT_EQ(1u, returned) << (r.env ? r.env : "null");
    EXPECT_STREQ(r.name, ((DRIVER_INFO_4A*)buf.data())->pName) << (r.env ? r.env : "null");
  }
}

// "all" lists the drivers of every environment, from Windows 2000 on; NT
// 4.0 knows no such environment.
TEST(EnumPrinterDriversA, AllEnvironments) {
  struct Row {
    const char* os;
    const char* env;
    std::vector<std::string> drivers;  // "name / environment"
    DWORD error;
  } rows[] = {
      {"7-x64", "all", {"Driver x86 / Windows NT x86", "Driver x64 / Windows x64"}, 0},
      {"7-x64", "ALL", {"Driver x86 / Windows NT x86", "Driver x64 / Windows x64"}, 0},
      {"xp", "all", {"Driver x86 / Windows NT x86", "Driver x64 / Windows x64"}, 0},
      {"2000", "all", {"Driver x86 / Windows NT x86"}, 0},
      {"7-x64", nullptr, {"Driver x86 / Windows NT x86"}, 0},
      {"nt4", "all", {}, ERROR_INVALID_ENVIRONMENT},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.os << " " << (r.env ? r.env : "null"));
    SimMachine machine(r.os);
    RemoveShippedPrinting();
    ASSERT_TRUE(InstallNamedDriver("Driver x86", "Windows NT x86"));
    if (r.drivers.size() > 1 || !strcmp(r.os, "7-x64")) {
      ASSERT_TRUE(InstallNamedDriver("Driver x64", "Windows x64"));
    }
    DWORD needed = 0, returned = 0;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(EnumPrinterDriversA(nullptr, (LPSTR)r.env, 2, nullptr, 0, &needed, &returned));
    EXPECT_EQ(r.error ? r.error : (DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
    if (r.error) continue;
    std::vector<BYTE> buf(needed);
    ASSERT_TRUE(EnumPrinterDriversA(nullptr, (LPSTR)r.env, 2, buf.data(), needed, &needed, &returned));
    std::vector<std::string> listed;
    const DRIVER_INFO_2A* di = (const DRIVER_INFO_2A*)buf.data();
    for (DWORD i = 0; i < returned; ++i) listed.push_back(std::string(di[i].pName) + " / " + di[i].pEnvironment);
    EXPECT_EQ(r.drivers, listed);
  }
}

TEST(EnumPrinterDriversA, Level4Record) {
  SimMachine machine("xp");
  TestDriver d;
  d.name = "Velkora Kvl-M720";  // letter case as installed
  ASSERT_TRUE(d.StageAndAdd());
  DWORD needed = 0, returned = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(EnumPrinterDriversA(nullptr, nullptr, 4, nullptr, 0, &needed, &returned));
  EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
  std::vector<BYTE> buf(needed);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(EnumPrinterDriversA(nullptr, nullptr, 4, buf.data(), needed - 1, &needed, &returned));
  EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
  ASSERT_TRUE(EnumPrinterDriversA(nullptr, nullptr, 4, buf.data(), needed, &needed, &returned));
  ASSERT_EQ(1u, returned);
  const DRIVER_INFO_4A* di = (const DRIVER_INFO_4A*)buf.data();
  EXPECT_EQ(3u, di->cVersion);
  // The name keeps its letter case, so a byte-wise compare with the
  // package's name does not match.
  EXPECT_STREQ("Velkora Kvl-M720", di->pName);
  EXPECT_NE(0, strcmp(di->pName, kDriver));
  EXPECT_STREQ("Windows NT x86", di->pEnvironment);
  EXPECT_STREQ("C:\\WINDOWS\\system32\\spool\\DRIVERS\\W32X86\\3\\TSTdrv.dll", di->pDriverPath);
  EXPECT_STREQ("C:\\WINDOWS\\system32\\spool\\DRIVERS\\W32X86\\3\\TST.hlp", di->pHelpFile);
  EXPECT_STREQ("C:\\WINDOWS\\system32\\spool\\DRIVERS\\W32X86\\3\\TSTres1.dll", di->pDependentFiles);
  const char* second = di->pDependentFiles + strlen(di->pDependentFiles) + 1;
  EXPECT_STREQ("C:\\WINDOWS\\system32\\spool\\DRIVERS\\W32X86\\3\\TSTres2.dll", second);
  EXPECT_EQ(0, second[strlen(second) + 1]);
  EXPECT_STREQ("RAW", di->pDefaultDataType);
  EXPECT_EQ(nullptr, di->pMonitorName);
}

struct DirectoryRow {
  const char* os;
  const char* env;
  BOOL ok;
  const char* dir;
  DWORD error;
};

const DirectoryRow kDirectories[] = {
    {"xp", nullptr, TRUE, "C:\\WINDOWS\\system32\\spool\\DRIVERS\\W32X86", 0},
    {"xp", "Windows NT x86", TRUE, "C:\\WINDOWS\\system32\\spool\\DRIVERS\\W32X86", 0},
    {"2000", nullptr, TRUE, "C:\\WINNT\\system32\\spool\\DRIVERS\\W32X86", 0},
    {"7", "", TRUE, "C:\\Windows\\system32\\spool\\DRIVERS\\W32X86", 0},
    {"7-x64", nullptr, TRUE, "C:\\Windows\\system32\\spool\\DRIVERS\\W32X86", 0},
    {"7-x64", "Windows x64", TRUE, "C:\\Windows\\system32\\spool\\DRIVERS\\x64", 0},
    {"7-x64", "windows x64", TRUE, "C:\\Windows\\system32\\spool\\DRIVERS\\x64", 0},
    {"xp", "Windows 95", FALSE, "", ERROR_INVALID_ENVIRONMENT},
    {"7-x64", "Windows x86", FALSE, "", ERROR_INVALID_ENVIRONMENT},
};

TEST(GetPrinterDriverDirectoryA, PerEnvironment) {
  for (const auto& r : kDirectories) {
    SimMachine machine(r.os);
    char dir[256] = "";
    DWORD needed = 0;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(r.ok, GetPrinterDriverDirectoryA(nullptr, (LPSTR)r.env, 1, (LPBYTE)dir, sizeof dir, &needed))
        << r.os << " " << (r.env ? r.env : "null");
    EXPECT_STREQ(r.dir, dir) << r.os << " " << (r.env ? r.env : "null");
    if (r.ok) {
      EXPECT_EQ(strlen(r.dir) + 1, needed) << r.os;
      EXPECT_TRUE(FileExists(std::string(r.dir) + "\\3")) << r.os << ": the version folder is there";
    } else {
      EXPECT_EQ(r.error, GetLastError()) << r.os << " " << r.env;
    }
  }
}

TEST(GetPrinterDriverDirectoryA, ShortBuffer) {
  SimMachine machine("xp");
  const char* expected = "C:\\WINDOWS\\system32\\spool\\DRIVERS\\W32X86";
  char dir[64];
  memset(dir, 'x', sizeof dir);
  DWORD needed = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, (LPBYTE)dir, (DWORD)strlen(expected), &needed));
  EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
  EXPECT_EQ(strlen(expected) + 1, needed);
  EXPECT_EQ('x', dir[0]);
  SetLastError(0xdeadbeef);
  EXPECT_TRUE(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, (LPBYTE)dir, needed, &needed));
  EXPECT_STREQ(expected, dir);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetPrinterDriverDirectoryA(nullptr, nullptr, 2, (LPBYTE)dir, sizeof dir, &needed));
  EXPECT_EQ((DWORD)ERROR_INVALID_LEVEL, GetLastError());
}

TEST(EnumPortsA, FreshMachineHasTheLocalPorts) {
  SimMachine machine("xp");
  DWORD needed = 0, returned = 0;
  EnumPortsA(nullptr, 1, nullptr, 0, &needed, &returned);
  std::vector<BYTE> buf(needed);
  ASSERT_TRUE(EnumPortsA(nullptr, 1, buf.data(), needed, &needed, &returned));
  std::vector<std::string> ports;
  for (DWORD i = 0; i < returned; ++i) ports.push_back(((PORT_INFO_1A*)buf.data())[i].pName);
  for (const char* p : {"COM1:", "COM2:", "COM3:", "COM4:", "LPT1:", "LPT2:", "LPT3:"})
    EXPECT_NE(ports.end(), std::find(ports.begin(), ports.end(), p)) << p;
}

TEST(EnumMonitorsA, FreshMachineHasLocalPort) {
  SimMachine machine("7-x64");
  RemoveShippedPrinting();
  DWORD needed = 0, returned = 0;
  EnumMonitorsA(nullptr, 2, nullptr, 0, &needed, &returned);
  std::vector<BYTE> buf(needed);
  ASSERT_TRUE(EnumMonitorsA(nullptr, 2, buf.data(), needed, &needed, &returned));
  ASSERT_EQ(1u, returned);
  const MONITOR_INFO_2A* m = (const MONITOR_INFO_2A*)buf.data();
  EXPECT_STREQ("Local Port", m->pName);
  EXPECT_STREQ("Windows x64", m->pEnvironment);
  EXPECT_STREQ("localspl.dll", m->pDLLName);
}

}  // namespace

namespace {

TEST(SpoolerService, NetStopAndStartThroughWinExec) {
  SimMachine machine("xp");
  DWORD needed = 0, returned = 0;
  EXPECT_GT(WinExec("net stop spooler", SW_HIDE), 31u);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned));
  EXPECT_EQ((DWORD)RPC_S_SERVER_UNAVAILABLE, GetLastError());
  char dir[256];
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, (LPBYTE)dir, sizeof dir, &needed));
  EXPECT_EQ((DWORD)RPC_S_SERVER_UNAVAILABLE, GetLastError());
  // The service stays stopped for the next process until it is started.
  machine.Restart();
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned));
  EXPECT_EQ((DWORD)RPC_S_SERVER_UNAVAILABLE, GetLastError());
  EXPECT_GT(WinExec("NET  START   Spooler", SW_HIDE), 31u);
  SetLastError(0xdeadbeef);
  EXPECT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned));
  JournalQuery journal(machine);
  EXPECT_FALSE(journal.Lines().With({{"service", "Spooler"}, {"state", "stopped"}}).empty()) << journal;
  EXPECT_FALSE(journal.Lines().With({{"service", "Spooler"}, {"state", "running"}}).empty()) << journal;
}

}  // namespace
