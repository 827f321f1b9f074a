// The version stamp a later run of the installer compares with its package:
// which printer or driver makes it look, the lexicographic comparison, and
// the 64-bit driver found in its own environment.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <string>
#include <utility>

#include "core/faults.h"
#include "core/registry_tree.h"
#include "journal_query.h"
#include "sim_machine.h"
#include "sim_resources.h"
#include "spooler_fixture.h"
#include "version_stamp.h"

using namespace spooler_fixture;

namespace {

const char kStampKey[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\VELKORA KVL-M720\\VersionData";

// A part of the stamp as the program reads it: type and bytes.
std::pair<DWORD, std::string> ReadStamp(const char* name) {
  HKEY h = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kStampKey + 5, 0, KEY_READ, &h) != ERROR_SUCCESS) return {REG_NONE, ""};
  char data[16];
  DWORD type = REG_NONE, size = sizeof data;
  LONG e = RegQueryValueExA(h, name, nullptr, &type, (LPBYTE)data, &size);
  RegCloseKey(h);
  if (e != ERROR_SUCCESS) return {REG_NONE, ""};
  return {type, std::string(data, size)};
}

class VersionStampTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(UseResourceFile("installer.res")); }
  void TearDown() override { DropResourceFile(); }
};

TEST_F(VersionStampTest, WrittenWithoutAPrinter) {
  for (const char* os : {"xp", "7-x64"}) {
    SCOPED_TRACE(os);
    SimMachine machine(os);
    VersionStamp stamp;
    EXPECT_TRUE(stamp.Write({4, 6, 64, 0}));
    const char* names[] = {"MajorVersion", "MinorVersion", "BuildVersion", "ExtraVersion"};
    const DWORD parts[] = {4, 6, 64, 0};
    for (int i = 0; i < 4; ++i) {
      auto value = ReadStamp(names[i]);
      EXPECT_EQ((DWORD)REG_DWORD, value.first) << names[i];
      EXPECT_EQ(std::string((const char*)&parts[i], 4), value.second) << names[i];
    }
    // The stamp's key is no printer.
    HANDLE printer = nullptr;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(OpenPrinterA((LPSTR) "VELKORA KVL-M720", &printer, nullptr));
    EXPECT_EQ((DWORD)ERROR_INVALID_PRINTER_NAME, GetLastError());
    EXPECT_TRUE(stamp.Write({4, 7, 0, 1}));
    EXPECT_EQ(std::string("\x07\0\0\0", 4), ReadStamp("MinorVersion").second);
    // A key that cannot be made is a stamp not written.
    winsim::Faults::Set("RegCreateKeyA:5");
    EXPECT_FALSE(stamp.Write({4, 8, 0, 0}));
    winsim::Faults::Set("");
    EXPECT_EQ(std::string("\x07\0\0\0", 4), ReadStamp("MinorVersion").second);
  }
}

TEST_F(VersionStampTest, CompareInstalled) {
  struct Row {
    const char* name;
    const char* printer;  // a printer of the driver under this name, or none
    const char* driver;   // the printer's driver when it is not the package's
    bool stamp;
    DWORD parts[4];
    bool withExtra;
    int expected;
  };
  const Row rows[] = {
      {"same version", kDriver, nullptr, true, {4, 6, 64, 0}, true, kStampSame},
      {"newer build", kDriver, nullptr, true, {4, 6, 65, 0}, true, kStampNewer},
      {"older minor", kDriver, nullptr, true, {4, 5, 99, 0}, true, kStampOlder},
      {"newer minor, smaller build", kDriver, nullptr, true, {4, 7, 0, 0}, true, kStampNewer},
      {"older major, larger rest", kDriver, nullptr, true, {3, 9, 999, 0}, true, kStampOlder},
      {"newer extra", kDriver, nullptr, true, {4, 6, 64, 1}, true, kStampNewer},
      {"extra missing reads as 0", kDriver, nullptr, true, {4, 6, 64, 0}, false, kStampSame},
      {"no stamp", kDriver, nullptr, false, {0, 0, 0, 0}, true, kStampOlder},
      {"printer of another name", "Label printer", nullptr, true, {4, 6, 64, 0}, true, kStampSame},
      {"driver without printer", nullptr, nullptr, true, {4, 6, 64, 0}, true, kStampOlder},
      {"driver name in other case", kDriver, "velkora kvl-m720", true, {4, 6, 64, 0}, true, kNotInstalled},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    SimMachine machine("xp");
    TestDriver driver;
    driver.name = r.driver ? r.driver : kDriver;
    ASSERT_TRUE(driver.StageAndAdd());
    if (r.printer) {
      ASSERT_TRUE(AddPrinterAndClose(r.printer, driver.name.c_str()));
    }
    if (r.stamp) {
      winsim::RegKey* key = winsim::Registry::Get().Create(kStampKey);
      const char* names[] = {"MajorVersion", "MinorVersion", "BuildVersion", "ExtraVersion"};
      for (int i = 0; i < (r.withExtra ? 4 : 3); ++i) key->SetDword(names[i], r.parts[i]);
    }
    VersionStamp stamp;
    EXPECT_EQ(r.expected, stamp.CompareInstalled(kDriver, kPackageVersion, "Windows NT x86"));
  }
}

TEST_F(VersionStampTest, NothingInstalled) {
  for (const char* os : {"xp", "7-x64"}) {
    SCOPED_TRACE(os);
    SimMachine machine(os);
    RemoveShippedPrinting();  // no printer at all: the first call asks for nothing
    VersionStamp stamp;
    EXPECT_EQ(kNotInstalled, stamp.CompareInstalled(kDriver, kPackageVersion, "Windows NT x86"));
    // Nothing to list ends each enumeration after its sizing call.
    JournalQuery journal(machine);
    JournalLines calls = journal.Calls("EnumPrinterDriversA");
    ASSERT_FALSE(calls.empty()) << journal;
    for (const auto& call : calls) EXPECT_EQ(nullptr, call["args"][3]) << call;
  }
}

// The second call of an enumeration failing lists nothing: no printer of the
// driver (so an installed driver reads as older), or no driver.
TEST_F(VersionStampTest, AFailedSecondCallListsNothing) {
  struct Row {
    const char* fault;
    bool printer;
    int expected;
  };
  const Row rows[] = {
      {"EnumPrintersA#2:5", true, kStampOlder},
      {"EnumPrinterDriversA#2:5", false, kNotInstalled},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.fault);
    SimMachine machine("xp");
    TestDriver driver;
    driver.name = kDriver;
    ASSERT_TRUE(driver.StageAndAdd());
    if (r.printer) {
      ASSERT_TRUE(AddPrinterAndClose(kDriver, kDriver));
    }
    VersionStamp stamp;
    ASSERT_TRUE(stamp.Write({4, 6, 64, 0}));
    winsim::Faults::Set(r.fault);
    EXPECT_EQ(r.expected, stamp.CompareInstalled(kDriver, kPackageVersion, "Windows NT x86"));
    winsim::Faults::Set("");
  }
}

TEST_F(VersionStampTest, The64BitDriverIsFoundInItsEnvironment) {
  SimMachine machine("7-x64");
  TestDriver driver;
  driver.name = kDriver;
  driver.environment = "Windows x64";
  ASSERT_TRUE(driver.StageAndAdd());
  VersionStamp stamp;
  EXPECT_EQ(kStampOlder, stamp.CompareInstalled(kDriver, kPackageVersion, "Windows x64"));
  // The 32-bit program's own environment does not hold it.
  EXPECT_EQ(kNotInstalled, stamp.CompareInstalled(kDriver, kPackageVersion, nullptr));
}

}  // namespace
