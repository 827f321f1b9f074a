// ClassifyWindows and IsWow64 on every kind of machine `winsim new` knows,
// and on the versions that match no known release.
#include <gtest/gtest.h>
#include <windows.h>

#include "core/faults.h"
#include "journal_query.h"
#include "sim_machine.h"
#include "windows_kind.h"

namespace {

struct KindRow {
  const char* os;
  int kind;
  int wow64;
};

// The codes as numbers: the programs compare them with fixed thresholds, so
// each release's number is part of what ClassifyWindows promises.
const KindRow kKnownKinds[] = {
    {"95", 2000, 0}, {"98", 2001, 0},   {"me", 2002, 0},    {"nt4", 2003, 0}, {"2000", 2004, 0},
    {"xp", 2005, 0}, {"2003", 2006, 0}, {"vista", 2007, 0}, {"7", 2009, 0},   {"7-x64", 2010, 1},
};

TEST(ClassifyWindows, EveryKnownMachineKind) {
  for (const auto& row : kKnownKinds) {
    SimMachine machine(row.os);
    EXPECT_EQ(row.kind, ClassifyWindows()) << "os " << row.os;
    EXPECT_EQ(row.wow64, IsWow64()) << "os " << row.os;
  }
}

TEST(ClassifyWindows, KnownKindsCoverEveryWinsimOs) {
  EXPECT_EQ(winsim::KnownOsKinds().size(), sizeof kKnownKinds / sizeof kKnownKinds[0]);
}

struct VersionRow {
  const char* what;
  const char* platform;
  const char* major;
  const char* minor;
  int kind;
};

// Versions set in machine.ini on a 32-bit machine.
const VersionRow kVersions[] = {
    {"NT 3.51", "2", "3", "51", kWindowsNT4},
    {"NT 3.1", "2", "3", "10", kWindowsNT4},
    {"NT 0.0", "2", "0", "0", kWindowsNT4},
    {"Server 2008 shares Vista's numbers", "2", "6", "0", kWindowsVista},
    {"Server 2008 R2 shares 7's numbers", "2", "6", "1", kWindows7},
    {"NT 5.3", "2", "5", "3", kWindowsUnknown},
    {"NT 6.2 (Windows 8, 32-bit)", "2", "6", "2", kWindowsUnknown},
    {"NT 7.0", "2", "7", "0", kWindowsUnknown},
    {"NT 10.0", "2", "10", "0", kWindowsUnknown},
    {"9x 4.5", "1", "4", "5", kWindowsUnknown},
    {"9x 5.0", "1", "5", "0", kWindowsUnknown},
    {"9x 3.10", "1", "3", "10", kWindowsUnknown},
    {"Win32s", "0", "3", "10", kWindowsUnknown},
    {"platform 3 (CE)", "3", "4", "0", kWindowsUnknown},
};

TEST(ClassifyWindows, VersionTable) {
  for (const auto& row : kVersions) {
    SimMachine machine("xp");
    ASSERT_TRUE(machine.SetIni("os", "platform", row.platform)) << row.what;
    ASSERT_TRUE(machine.SetIni("os", "major", row.major)) << row.what;
    ASSERT_TRUE(machine.SetIni("os", "minor", row.minor)) << row.what;
    EXPECT_EQ(row.kind, ClassifyWindows()) << row.what;
  }
}

TEST(ClassifyWindows, UnknownValueTakesTheRefusingPaths) {
  // The installer refuses everything below 2004 before any other check, and
  // the uninstaller removes nothing below 2003.
  EXPECT_LT(kWindowsUnknown, kWindows95);
  EXPECT_LT(kWindowsUnknown, kWindowsNT4);
}

TEST(ClassifyWindows, NeverYields2008) {
  for (const auto& row : kKnownKinds) {
    SimMachine machine(row.os);
    EXPECT_NE(2008, ClassifyWindows()) << row.os;
  }
  for (const char* minor : {"0", "1", "2", "3"}) {
    SimMachine machine("vista");
    ASSERT_TRUE(machine.SetIni("os", "minor", minor)) << "6." << minor;
    EXPECT_NE(2008, ClassifyWindows()) << "6." << minor;
  }
}

TEST(ClassifyWindows, SixtyFourBitIsDecidedBeforeTheVersion) {
  SimMachine machine("7-x64");
  // Whatever version a 64-bit Windows reports, it is 2010 and never asked.
  ASSERT_TRUE(machine.SetIni("os", "major", "10"));
  EXPECT_EQ(kWindows64, ClassifyWindows());
  EXPECT_FALSE(JournalQuery(machine).Called("GetVersionExA"));
}

TEST(ClassifyWindows, Windows2000WithoutIsWow64Process) {
  SimMachine machine("2000");
  EXPECT_EQ(0, IsWow64());
  EXPECT_EQ(kWindows2000, ClassifyWindows());
  JournalQuery journal(machine);
  // The lookup in kernel32 fails with 127 and IsWow64Process is never called.
  JournalLines lookups = journal.Calls("GetProcAddress").Where("/args", {2088763392u, "IsWow64Process"});
  EXPECT_FALSE(lookups.With({{"ret", nullptr}, {"err", 127}}).empty()) << journal;
  EXPECT_FALSE(journal.Called("IsWow64Process"));
}

// What the programs look up at run time instead of importing it: found on
// the Windows that exports it, and not where a machine setting takes it out.
TEST(GetProcAddress, RunTimeLookupsFollowTheMachine) {
  struct Row {
    const char* os;
    const char* module;
    const char* name;
    const char* setting;  // [os] key set to 0, or null
    bool found;
  };
  const Row rows[] = {
      {"2000", "setupapi.dll", "SetupUninstallOEMInfA", nullptr, false},
      {"xp", "setupapi.dll", "SetupUninstallOEMInfA", nullptr, true},
      {"vista", "SETUPAPI", "SetupUninstallOEMInfA", nullptr, true},
      {"vista", "setupapi.dll", "SetupUninstallOEMInfA", "setupuninstalloeminf", false},
      {"vista", "setupapi.dll", "setupuninstalloeminfa", nullptr, false},
      {"vista", "kernel32", "SetupUninstallOEMInfA", nullptr, false},
      {"7", "kernel32", "IsWow64Process", nullptr, true},
      {"7", "kernel32", "IsWow64Process", "iswow64process", false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.os) + " " + r.module + " " + r.name);
    SimMachine machine(r.os);
    if (r.setting) {
      ASSERT_TRUE(machine.SetIni("os", r.setting, "0"));
    }
    HMODULE module = LoadLibraryA(r.module);
    ASSERT_NE(nullptr, module);
    FARPROC proc = GetProcAddress(module, r.name);
    EXPECT_EQ(r.found, proc != nullptr);
    if (!proc) {
      EXPECT_EQ((DWORD)ERROR_PROC_NOT_FOUND, GetLastError());
    }
    EXPECT_TRUE(FreeLibrary(module));
  }
}

TEST(ClassifyWindows, FailedVersionQueryIsAskedTwice) {
  SimMachine machine("xp");
  // The first query fails; the second one is made and its answer used.
  winsim::Faults::Set("GetVersionExA#1:87");
  EXPECT_EQ(kWindowsXP, ClassifyWindows());
  // Both fail: the record stays zeroed, platform 0 matches no row.
  winsim::Faults::Set("GetVersionExA:87");
  EXPECT_EQ(kWindowsUnknown, ClassifyWindows());
}

TEST(IsWow64, AnswersExactlyOneOrZero) {
  {
    SimMachine machine("7-x64");
    EXPECT_EQ(1, IsWow64());
    // A failing IsWow64Process leaves the flag at 0.
    winsim::Faults::Set("IsWow64Process:5");
    EXPECT_EQ(0, IsWow64());
  }
  {
    // A 32-bit Windows with IsWow64Process answers 0 through it.
    SimMachine machine("7");
    EXPECT_EQ(0, IsWow64());
    EXPECT_TRUE(JournalQuery(machine).Called("IsWow64Process"));
  }
}

TEST(GetVersionExA, RefusesAWrongRecordSize) {
  SimMachine machine("xp");
  OSVERSIONINFOA info;
  memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info - 1;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetVersionExA(&info));
  EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
  EXPECT_EQ(0u, info.dwPlatformId);
  info.dwOSVersionInfoSize = sizeof info;
  EXPECT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(5u, info.dwMajorVersion);
  EXPECT_EQ(1u, info.dwMinorVersion);
  EXPECT_STREQ("Service Pack 3", info.szCSDVersion);
}

}  // namespace
