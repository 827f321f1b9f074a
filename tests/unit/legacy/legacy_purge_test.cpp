// RemoveFromWin2k on simulated machines: which environment and file set each
// release gets, every file it deletes in order, the spooler restart on every
// call, the driver key deleted only when the spooler refuses the driver, and
// model indexes without a row; the entry point's tables, and what happens
// when one of them or the driver directory cannot be had.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "allocation_faults.h"
#include "core/faults.h"
#include "core/registry_tree.h"
#include "journal_query.h"
#include "language_modules.h"
#include "legacy_purge.h"
#include "sim_machine.h"
#include "sim_resources.h"
#include "spooler_fixture.h"

using namespace spooler_fixture;

// The library's entry point (dll_main.cpp), which only the loader calls on Windows.
extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID);

namespace {

const char kDriverLanguages[][4] = {"ENG", "SLO", "CRO", "GER", "FRA", "SPA", "ITA", "FIN", "DUT", "POR",
                                    "POL", "HUN", "RUS", "TUR", "SWE", "CHI", "SCH", "TAI", "KOR", "JAP"};
const char kDriverKey[] =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-3\\";

class LegacyPurgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(UseResourceFile("legacy.res"));
    BuildLanguageModules();
  }
  void TearDown() override {
    ReleaseLanguageModules();
    SetLegacyResourceModule(NULL);
    DropResourceFile();
    winsim::Faults::Set("");
  }
};

// The KVL-M720 as an old installation left it: driver files in the
// machine's own environment, and a printer on LPT1.
void SeedModel(const char* name, const char* suffix) {
  RemoveShippedPrinting();
  TestDriver driver;
  driver.name = name;
  driver.driverPath = std::string("QVRdrv") + suffix + ".dll";
  driver.configFile = std::string("QVRui") + suffix + ".dll";
  driver.dataFile = "NDRM7202.DAT";
  driver.helpFile = "THERMAL.CHM";
  driver.dependentFiles = {"NDRM7202.BA0", "NDRM7202.PP0"};
  for (const char* code : kDriverLanguages)
    driver.dependentFiles.push_back(std::string("QVR") + code + suffix + ".DLL");
  ASSERT_TRUE(driver.StageAndAdd());
  ASSERT_TRUE(AddPrinterAndClose(name, name, "LPT1:"));
}

std::vector<std::string> Args0(const JournalLines& lines) {
  std::vector<std::string> out;
  for (const auto& l : lines) out.push_back(l["args"][0].is_string() ? l["args"][0].get<std::string>() : "null");
  return out;
}

TEST_F(LegacyPurgeTest, EachReleaseGetsItsEnvironmentAndFileSet) {
  struct Row {
    const char* os;
    const char* environment;  // of the driver deletion
    const char* suffix;       // of the file set deleted
  };
  const Row rows[] = {
      {"2000", "Windows NT x86", "50"},  {"xp", "Windows NT x86", "50"}, {"2003", "Windows x64", "56"},
      {"vista", "Windows NT x86", "50"}, {"7", "Windows NT x86", "50"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.os);
    SimMachine machine(r.os);
    SeedModel("VELKORA KVL-M720", "50");
    const std::string dir = DriverDirectory() + "\\3\\";

    RemoveFromWin2k(1);

    JournalQuery journal(machine);
    JournalLines deletes = journal.Calls("DeletePrinterDriverExA");
    ASSERT_EQ(1u, deletes.size()) << journal;
    EXPECT_EQ(nlohmann::json::parse(std::string("[null, \"") + r.environment + "\", \"VELKORA KVL-M720\", 4, 3]"),
              deletes[0]["args"]);
    const bool second = std::string(r.suffix) == "56";
    std::vector<std::string> expected = {dir + "QVRdrv" + r.suffix + ".dll", dir + "NDRM7202.BA0", dir + "NDRM7202.PP0",
                                         dir + "QVRui" + r.suffix + ".dll",  dir + "NDRM7202.DAT", dir + "THERMAL.CHM"};
    for (const char* code : kDriverLanguages) expected.push_back(dir + "QVR" + code + r.suffix + ".DLL");
    EXPECT_EQ(expected, Args0(journal.Calls("DeleteFileA")));
    // The spooler went down and came up again, with the waits between.
    EXPECT_EQ((std::vector<std::string>{"net stop spooler", "net start spooler"}), Args0(journal.Calls("WinExec")));
    for (const auto& w : journal.Calls("WinExec")) EXPECT_EQ(SW_HIDE, w["args"][1]);
    JournalLines sleeps = journal.Calls("Sleep");
    ASSERT_EQ(2u, sleeps.size());
    EXPECT_EQ(2000, sleeps[0]["args"][0]);
    EXPECT_EQ(4000, sleeps[1]["args"][0]);

    std::vector<BYTE> storage;
    EXPECT_TRUE(EnumLocalPrinters(&storage).empty());
    EXPECT_FALSE(FileExists(dir + "NDRM7202.BA0"));
    EXPECT_FALSE(FileExists(dir + "NDRM7202.PP0"));
    EXPECT_FALSE(FileExists(dir + "NDRM7202.DAT"));
    // Release 5.2 asks for the 64-bit driver, which a 32-bit spooler does
    // not hold: the x86 driver stays, and only the x64 key is deleted.
    const bool driverStays = second;
    EXPECT_EQ(driverStays, winsim::Registry::Get().Find(std::string(kDriverKey) + "VELKORA KVL-M720") != nullptr);
    JournalLines keys = journal.Calls("RegDeleteKeyA");
    ASSERT_EQ(second ? 1u : 0u, keys.size()) << journal;
    if (second) {
      EXPECT_EQ(
          "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3\\VELKORA "
          "KVL-M720",
          keys[0]["args"][1]);
    }
  }
}

// Without the driver directory every path would lie in the drive's root:
// the printer and driver go, no file is deleted.
TEST_F(LegacyPurgeTest, NoDriverDirectoryDeletesNoFile) {
  SimMachine machine("xp");
  SeedModel("VELKORA KVL-M720", "50");
  const std::string dir = DriverDirectory() + "\\3\\";
  winsim::Faults::Set("GetPrinterDriverDirectoryA:5");
  RemoveFromWin2k(1);
  winsim::Faults::Set("");
  JournalQuery journal(machine);
  EXPECT_TRUE(journal.Called("DeletePrinterDriverExA")) << journal;
  EXPECT_FALSE(journal.Called("DeleteFileA")) << journal;
  EXPECT_FALSE(journal.Called("LoadStringA")) << journal;
}

// A path of 256 characters does not fit the 256-byte buffer: its file is
// kept, and so is the file its first 255 characters would name. One of 255
// characters is deleted.
TEST_F(LegacyPurgeTest, OnlyPathsThatFitTheBufferAreDeleted) {
  SimMachine machine("xp");
  const std::string defaultDir = DriverDirectory();
  // Twelve-character names (NDRM7202.BA0) end at 256, the eleven-character
  // QVRui50.dll and THERMAL.CHM at 255.
  const size_t windirLength = 10 + (256 - 12 - 3) - defaultDir.size();
  ASSERT_TRUE(machine.SetIni("os", "windir", "C:\\" + std::string(windirLength - 3, 'W')));
  SeedModel("VELKORA KVL-M720", "50");
  const std::string dir = DriverDirectory() + "\\3\\";
  ASSERT_EQ(256u, (dir + "NDRM7202.BA0").size());
  WriteFile(dir + "NDRM7202.BA", "not the driver's");
  ASSERT_TRUE(FileExists(dir + "THERMAL.CHM"));

  RemoveFromWin2k(1);

  JournalQuery journal(machine);
  EXPECT_EQ((std::vector<std::string>{dir + "QVRui50.dll", dir + "THERMAL.CHM"}), Args0(journal.Calls("DeleteFileA")))
      << journal;
  EXPECT_FALSE(FileExists(dir + "THERMAL.CHM"));
  EXPECT_TRUE(FileExists(dir + "NDRM7202.BA"));
}

// The loader's notifications: the tables are built on process attach and
// live through thread notifications until the process detaches; the
// module handle becomes the one whose strings name the shared files.
TEST_F(LegacyPurgeTest, TheEntryPointBuildsTheTablesOnAttachAndReleasesThemOnDetach) {
  ReleaseLanguageModules();
  HINSTANCE hModule = (HINSTANCE)0x00400000;  // the program's own, so that its strings load
  ASSERT_TRUE(DllMain(hModule, DLL_PROCESS_ATTACH, NULL));
  const CString* x86 = LanguageModules(FALSE);
  const CString* x64 = LanguageModules(TRUE);
  ASSERT_TRUE(x86 && x64);
  EXPECT_STREQ("QVRENG50.DLL", x86[0]);
  EXPECT_STREQ("QVRJAP50.DLL", x86[kLanguageModuleCount - 1]);
  EXPECT_STREQ("QVRENG56.DLL", x64[0]);
  EXPECT_STREQ("QVRJAP56.DLL", x64[kLanguageModuleCount - 1]);
  for (DWORD reason : {(DWORD)DLL_THREAD_ATTACH, (DWORD)DLL_THREAD_DETACH}) {
    EXPECT_TRUE(DllMain(hModule, reason, NULL));
    EXPECT_EQ(x86, LanguageModules(FALSE)) << reason;
    EXPECT_EQ(x64, LanguageModules(TRUE)) << reason;
  }
  {
    SimMachine machine("xp");
    SeedModel("VELKORA KVL-M720", "50");
    RemoveFromWin2k(1);
    JournalQuery journal(machine);
    JournalLines strings = journal.Calls("LoadStringA");
    ASSERT_EQ(3u, strings.size()) << journal;
    for (const auto& l : strings) EXPECT_EQ(0x00400000, l["args"][0]) << l;
  }
  EXPECT_TRUE(DllMain(hModule, DLL_PROCESS_DETACH, NULL));
  EXPECT_EQ(nullptr, LanguageModules(FALSE));
  EXPECT_EQ(nullptr, LanguageModules(TRUE));
}

// A table the framework's operator new could not allocate stays null: its
// files are left, the others go, and a later build fills it in.
TEST_F(LegacyPurgeTest, ATableWithoutMemoryIsSkipped) {
  ReleaseLanguageModules();
  {
    FailAllocation failing(FailAllocation::kArrayNew, 1);
    BuildLanguageModules();
    EXPECT_TRUE(failing.failed());
  }
  EXPECT_EQ(nullptr, LanguageModules(FALSE));
  const CString* x64 = LanguageModules(TRUE);
  ASSERT_NE(nullptr, x64);
  EXPECT_STREQ("QVRENG56.DLL", x64[0]);
  {
    SimMachine machine("xp");
    SeedModel("VELKORA KVL-M720", "50");
    RemoveFromWin2k(1);
    JournalQuery journal(machine);
    EXPECT_EQ(6u, journal.Calls("DeleteFileA").size()) << journal;
  }
  BuildLanguageModules();
  ASSERT_NE(nullptr, LanguageModules(FALSE));
  EXPECT_STREQ("QVRENG50.DLL", LanguageModules(FALSE)[0]);
  EXPECT_EQ(x64, LanguageModules(TRUE));
}

TEST_F(LegacyPurgeTest, TheDriverKeyGoesOnlyWhenTheSpoolerRefusesTheDriver) {
  for (bool refused : {false, true}) {
    SCOPED_TRACE(refused ? "refused" : "deleted");
    SimMachine machine("xp");
    SeedModel("VELKORA KVL-M720", "50");
    if (refused) winsim::Faults::Set("DeletePrinterDriverExA:5");
    RemoveFromWin2k(1);
    winsim::Faults::Set("");
    JournalQuery journal(machine);
    JournalLines keys = journal.Calls("RegDeleteKeyA");
    if (refused) {
      ASSERT_EQ(1u, keys.size()) << journal;
      EXPECT_EQ(
          "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-3\\VELKORA "
          "KVL-M720",
          keys[0]["args"][1]);
      EXPECT_EQ(0, keys[0]["ret"]);
    } else {
      EXPECT_TRUE(keys.empty()) << journal;
    }
    EXPECT_EQ(nullptr, winsim::Registry::Get().Find(std::string(kDriverKey) + "VELKORA KVL-M720"));
  }
}

TEST_F(LegacyPurgeTest, ModelsWithoutARowChangeNothingAndTheOthersAlwaysRestartTheSpooler) {
  for (int model : {-1, 5, 0, 4}) {
    SCOPED_TRACE(model);
    SimMachine machine("xp");
    RemoveFromWin2k(model);
    JournalQuery journal(machine);
    if (model < 0 || model > 4) {
      EXPECT_TRUE(journal.Lines().empty()) << journal;
      continue;
    }
    // Nothing of the model is installed, and the spooler restarts all the same.
    EXPECT_EQ((std::vector<std::string>{"net stop spooler", "net start spooler"}), Args0(journal.Calls("WinExec")));
    JournalLines opens = journal.Calls("OpenPrinterA");
    ASSERT_EQ(1u, opens.size());
    EXPECT_EQ(model == 0 ? "VELKORA KRX-390II" : "VELKORA KVL-M723 RFID", opens[0]["args"][0]);
    EXPECT_TRUE(
        HasFields(opens[0]["args"][2], {{"pDatatype", "raw"}, {"pDevMode", nullptr}, {"DesiredAccess", 0xF000C}}))
        << opens[0];
    std::vector<std::string> files = Args0(journal.Calls("DeleteFileA"));
    ASSERT_EQ(26u, files.size());
    EXPECT_NE(std::string::npos, files[1].find(model == 0 ? "\\3\\NDR390II.BA0" : "\\3\\NDRM73RF.BA0"));
  }
}

}  // namespace
