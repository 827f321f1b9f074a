// Monitors and drivers on the simulated spooler: AddMonitorA,
// AddPrinterDriverA and DeletePrinterDriverExA.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <cstring>

#include "core/registry_tree.h"
#include "sim_machine.h"
#include "spooler_fixture.h"

using namespace spooler_fixture;

namespace {

const char kDriversX86[] =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-3\\";

winsim::RegKey* FindKey(const std::string& path) { return winsim::Registry::Get().Find(path); }

BOOL RegisterMonitor(const char* name, const char* env, const char* dll, DWORD level = 2) {
  MONITOR_INFO_2A mi = {(LPSTR)name, (LPSTR)env, (LPSTR)dll};
  return AddMonitorA(nullptr, level, (LPBYTE)&mi);
}

// The package's real language monitors, and variants of their bytes.
enum Module { kNone, kMonitor32, kMonitor64, kOtherExport32, kOtherExport64, kText, kCutShort };

std::string ModuleBytes(Module module) {
  std::string m32 = MonitorModule(false);
  std::string m64 = MonitorModule(true);
  // The same DLL, its one export renamed: loadable, without the entry point.
  auto renamed = [](std::string bytes) {
    size_t at = bytes.find("InitializePrintMonitor2");
    if (at != std::string::npos) bytes[at + 22] = 'X';
    return bytes;
  };
  switch (module) {
    case kMonitor32:
      return m32;
    case kMonitor64:
      return m64;
    case kOtherExport32:
      return renamed(m32);
    case kOtherExport64:
      return renamed(m64);
    case kText:
      return "monitor";
    case kCutShort:
      return m32.substr(0, 0x200);
    default:
      return "";
  }
}

struct MonitorRow {
  const char* what;
  const char* os;
  const char* placeModuleIn;  // "system", "windows", "syswow64" or nothing
  Module module;
  const char* env;
  DWORD level;
  BOOL ok;
  DWORD error;
};

const MonitorRow kMonitorRows[] = {
    {"module in the system directory", "xp", "system", kMonitor32, "Windows NT x86", 2, TRUE, ERROR_SUCCESS},
    {"module in the Windows directory", "xp", "windows", kMonitor32, "Windows NT x86", 2, TRUE, ERROR_SUCCESS},
    {"Windows 2000", "2000", "system", kMonitor32, "Windows NT x86", 2, TRUE, ERROR_SUCCESS},
    {"module in the Windows directory of 64-bit Windows", "7-x64", "windows", kMonitor64, "Windows x64", 2, TRUE,
     ERROR_SUCCESS},
    {"module nowhere", "xp", nullptr, kNone, "Windows NT x86", 2, FALSE, ERROR_MOD_NOT_FOUND},
    {"module in the 32-bit system folder only", "7-x64", "syswow64", kMonitor64, "Windows x64", 2, FALSE,
     ERROR_MOD_NOT_FOUND},
    {"a text file", "xp", "system", kText, "Windows NT x86", 2, FALSE, ERROR_BAD_EXE_FORMAT},
    {"a DLL cut short", "xp", "system", kCutShort, "Windows NT x86", 2, FALSE, ERROR_BAD_EXE_FORMAT},
    {"a 64-bit DLL on 32-bit Windows", "xp", "system", kMonitor64, "Windows NT x86", 2, FALSE, ERROR_BAD_EXE_FORMAT},
    {"a 32-bit DLL on 64-bit Windows", "7-x64", "windows", kMonitor32, "Windows x64", 2, FALSE, ERROR_BAD_EXE_FORMAT},
    {"no InitializePrintMonitor2", "xp", "system", kOtherExport32, "Windows NT x86", 2, FALSE, ERROR_PROC_NOT_FOUND},
    {"no InitializePrintMonitor2, 64-bit", "7-x64", "windows", kOtherExport64, "Windows x64", 2, FALSE,
     ERROR_PROC_NOT_FOUND},
    {"NT 4.0 calls the older InitializePrintMonitor", "nt4", "system", kMonitor32, "Windows NT x86", 2, FALSE,
     ERROR_PROC_NOT_FOUND},
    {"an environment not the spooler's own", "7-x64", "windows", kMonitor64, "Windows NT x86", 2, FALSE,
     ERROR_INVALID_ENVIRONMENT},
    {"an unknown environment", "xp", "system", kMonitor32, "Windows 98", 2, FALSE, ERROR_INVALID_ENVIRONMENT},
    {"level 1", "xp", "system", kMonitor32, "Windows NT x86", 1, FALSE, ERROR_INVALID_LEVEL},
};

TEST(AddMonitorA, Table) {
  for (const auto& r : kMonitorRows) {
    SCOPED_TRACE(r.what);
    SimMachine machine(r.os);
    const winsim::OsInfo& os = winsim::Machine::Current().os();
    std::string dir = !r.placeModuleIn                           ? ""
                      : strcmp(r.placeModuleIn, "system") == 0   ? os.SystemDir()
                      : strcmp(r.placeModuleIn, "syswow64") == 0 ? os.windir + "\\SysWOW64"
                                                                 : os.windir;
    if (!dir.empty()) {
      std::string bytes = ModuleBytes(r.module);
      ASSERT_GT(bytes.size(), 6u);
      WriteFile(dir + "\\qpaNLM.dll", bytes);
    }
    SetLastError(0xdeadbeef);
    EXPECT_EQ(r.ok, RegisterMonitor("Advanced Language Monitor", r.env, "qpaNLM.dll", r.level));
    EXPECT_EQ(r.error, GetLastError());
    winsim::RegKey* key = FindKey(std::string(kMonitors) + "Advanced Language Monitor");
    EXPECT_EQ(r.ok, key != nullptr);
  }
}

TEST(AddMonitorA, NoRecordFailsWithoutAnError) {
  for (const char* os : {"xp", "7-x64"}) {
    SCOPED_TRACE(os);
    SimMachine machine(os);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(AddMonitorA(nullptr, 2, nullptr));
    EXPECT_EQ(0xdeadbeefu, GetLastError());
  }
}

TEST(AddMonitorA, SecondTimeSaysAlreadyInstalled) {
  SimMachine machine("xp");
  WriteFile("C:\\WINDOWS\\system32\\qpaNLMNT.dll", ModuleBytes(kMonitor32));
  ASSERT_TRUE(RegisterMonitor("Advanced Language Monitor", "Windows NT x86", "qpaNLMNT.dll"));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(RegisterMonitor("advanced language monitor", "Windows NT x86", "other.dll"));
  EXPECT_EQ((DWORD)ERROR_PRINT_MONITOR_ALREADY_INSTALLED, GetLastError());
  machine.Restart();  // the next process sees it too
  EXPECT_EQ(
      "qpaNLMNT.dll",
      std::string(
          (const char*)FindKey(std::string(kMonitors) + "Advanced Language Monitor")->Value("Driver")->data.data()));
}

TEST(AddPrinterDriverA, CopiesFromTheDriverDirectoryIntoVersion3) {
  SimMachine machine("xp");
  TestDriver d;
  d.name = "VELKORA KVL-M720";
  SetLastError(0xdeadbeef);
  ASSERT_TRUE(d.StageAndAdd()) << GetLastError();
  std::string dir = DriverDirectory();
  for (const auto& f : d.Files()) {
    EXPECT_TRUE(FileExists(dir + "\\3\\" + f)) << f;
    EXPECT_TRUE(FileExists(dir + "\\" + f)) << f << ": the staging copy stays";
  }
  machine.Restart();
  winsim::RegKey* key = FindKey(std::string(kDriversX86) + "VELKORA KVL-M720");
  ASSERT_NE(nullptr, key);
  const winsim::RegValue* deps = key->Value("Dependent Files");
  ASSERT_NE(nullptr, deps);
  EXPECT_EQ((DWORD)REG_MULTI_SZ, deps->type);
  EXPECT_EQ(std::string("TSTres1.dll\0TSTres2.dll\0\0", 25), std::string(deps->data.begin(), deps->data.end()));
  EXPECT_NE(nullptr, key->Value("Version"));
}

TEST(AddPrinterDriverA, FailsWith2WhenAnyOneFileIsMissing) {
  TestDriver d;
  d.name = "VELKORA KVL-M720";
  for (const auto& missing : d.Files()) {
    SimMachine machine("xp");
    d.Stage();
    std::string dir = DriverDirectory();
    ASSERT_EQ(0, remove(winsim::FileSystem::HostPath(dir + "\\" + missing).c_str())) << missing;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(d.Add()) << missing;
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError()) << missing;
    EXPECT_EQ(nullptr, FindKey(std::string(kDriversX86) + d.name)) << missing;
    for (const auto& f : d.Files()) EXPECT_FALSE(FileExists(dir + "\\3\\" + f)) << missing << ": " << f;
  }
}

TEST(AddPrinterDriverA, ReplacesADriverOfThatName) {
  SimMachine machine("xp");
  TestDriver d;
  d.name = "VELKORA KVL-M720";
  ASSERT_TRUE(d.StageAndAdd());
  d.dependentFiles = {"TSTnew.dll"};
  SetLastError(0xdeadbeef);
  ASSERT_TRUE(d.StageAndAdd());
  EXPECT_EQ((DWORD)ERROR_SUCCESS, GetLastError());
  const winsim::RegValue* deps = FindKey(std::string(kDriversX86) + d.name)->Value("Dependent Files");
  EXPECT_EQ(std::string("TSTnew.dll\0\0", 12), std::string(deps->data.begin(), deps->data.end()));
}

TEST(AddPrinterDriverA, RefusesBadArguments) {
  SimMachine machine("xp");
  TestDriver d;
  d.name = "VELKORA KVL-M720";
  d.Stage();
  struct Row {
    const char* what;
    DWORD level;
    DWORD version;
    const char* env;
    const char* monitor;
    bool admin;
    DWORD error;
  } rows[] = {
      {"level 1", 1, 3, "Windows NT x86", nullptr, true, ERROR_INVALID_LEVEL},
      {"unknown environment", 3, 3, "Windows ARM", nullptr, true, ERROR_INVALID_ENVIRONMENT},
      {"version 4", 3, 4, "Windows NT x86", nullptr, true, ERROR_INVALID_PARAMETER},
      {"monitor not installed", 3, 3, "Windows NT x86", "Advanced Language Monitor", true, ERROR_UNKNOWN_PRINT_MONITOR},
      {"not an administrator", 3, 3, "Windows NT x86", nullptr, false, ERROR_ACCESS_DENIED},
  };
  for (const auto& r : rows) {
    ASSERT_TRUE(machine.SetIni("user", "admin", r.admin ? "1" : "0")) << r.what;
    std::string deps = std::string("TSTres1.dll\0TSTres2.dll\0", 24);
    DRIVER_INFO_3A di = {
        r.version,           (LPSTR) "VELKORA KVL-M720", (LPSTR)r.env,        (LPSTR) "TSTdrv.dll", (LPSTR) "TST.dat",
        (LPSTR) "TSTui.dll", (LPSTR) "TST.hlp",          (LPSTR)deps.c_str(), (LPSTR)r.monitor,     (LPSTR) "RAW"};
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(AddPrinterDriverA(nullptr, r.level, (LPBYTE)&di)) << r.what;
    EXPECT_EQ(r.error, GetLastError()) << r.what;
  }
}

TEST(DeletePrinterDriverExA, RefusedWhileAPrinterUsesTheDriver) {
  SimMachine machine("xp");
  TestDriver d;
  d.name = "VELKORA KVL-M720";
  ASSERT_TRUE(d.StageAndAdd());
  ASSERT_TRUE(AddPrinterAndClose("Label", "VELKORA KVL-M720"));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(
      DeletePrinterDriverExA(nullptr, (LPSTR) "Windows NT x86", (LPSTR) "VELKORA KVL-M720", DPD_DELETE_ALL_FILES, 3));
  EXPECT_EQ((DWORD)ERROR_PRINTER_DRIVER_IN_USE, GetLastError());
  EXPECT_NE(nullptr, FindKey(std::string(kDriversX86) + d.name));
  EXPECT_TRUE(FileExists(DriverDirectory() + "\\3\\TSTdrv.dll"));
}

struct DeleteRow {
  const char* what;
  DWORD deleteFlag;
  DWORD versionFlag;
  bool sharedFile;  // another driver uses TSTres1.dll too
  BOOL ok;
  DWORD error;
  bool filesGone;
};

const DeleteRow kDeleteRows[] = {
    {"all files", DPD_DELETE_ALL_FILES, 3, false, TRUE, ERROR_SUCCESS, true},
    {"version flag without its flag counts not", DPD_DELETE_ALL_FILES, 2, false, TRUE, ERROR_SUCCESS, true},
    {"specific version 3", DPD_DELETE_ALL_FILES | DPD_DELETE_SPECIFIC_VERSION, 3, false, TRUE, ERROR_SUCCESS, true},
    {"specific version 2 that is not there", DPD_DELETE_ALL_FILES | DPD_DELETE_SPECIFIC_VERSION, 2, false, FALSE,
     ERROR_UNKNOWN_PRINTER_DRIVER, false},
    {"registry entry only", 0, 3, false, TRUE, ERROR_SUCCESS, false},
    {"a file another driver uses", DPD_DELETE_ALL_FILES, 3, true, FALSE, ERROR_PRINTER_DRIVER_IN_USE, false},
    {"unused files only", DPD_DELETE_UNUSED_FILES, 3, true, TRUE, ERROR_SUCCESS, true},
};

TEST(DeletePrinterDriverExA, Table) {
  for (const auto& r : kDeleteRows) {
    SimMachine machine("xp");
    TestDriver d;
    d.name = "VELKORA KVL-M720";
    ASSERT_TRUE(d.StageAndAdd()) << r.what;
    TestDriver other;
    other.name = "Other";
    other.driverPath = "OTHdrv.dll";
    other.dataFile = "OTH.dat";
    other.configFile = "OTHui.dll";
    other.helpFile = "OTH.hlp";
    other.dependentFiles = {r.sharedFile ? "tstRES1.DLL" : "OTHres.dll"};
    ASSERT_TRUE(other.StageAndAdd()) << r.what;
    std::string dir = DriverDirectory() + "\\3\\";
    SetLastError(0xdeadbeef);
    EXPECT_EQ(r.ok, DeletePrinterDriverExA(nullptr, (LPSTR) "Windows NT x86", (LPSTR) "VELKORA KVL-M720", r.deleteFlag,
                                           r.versionFlag))
        << r.what;
    EXPECT_EQ(r.error, GetLastError()) << r.what;
    EXPECT_EQ(!r.ok, FindKey(std::string(kDriversX86) + d.name) != nullptr) << r.what;
    EXPECT_NE(r.filesGone, FileExists(dir + "TSTdrv.dll")) << r.what;
    EXPECT_NE(r.filesGone, FileExists(dir + "TSTres2.dll")) << r.what;
    // A shared file always stays, and so does the other driver.
    EXPECT_EQ(r.sharedFile || !r.filesGone, FileExists(dir + "TSTres1.dll")) << r.what;
    EXPECT_TRUE(FileExists(dir + "OTHdrv.dll")) << r.what;
    EXPECT_NE(nullptr, FindKey(std::string(kDriversX86) + "Other")) << r.what;
  }
}

TEST(DeletePrinterDriverExA, UnknownDriverOrEnvironment) {
  SimMachine machine("7-x64");
  TestDriver d;
  d.name = "VELKORA KVL-M720";
  d.environment = "Windows x64";
  ASSERT_TRUE(d.StageAndAdd());
  SetLastError(0xdeadbeef);
  // The x86 environment has no such driver; the x64 one is untouched.
  EXPECT_FALSE(
      DeletePrinterDriverExA(nullptr, (LPSTR) "Windows NT x86", (LPSTR) "VELKORA KVL-M720", DPD_DELETE_ALL_FILES, 3));
  EXPECT_EQ((DWORD)ERROR_UNKNOWN_PRINTER_DRIVER, GetLastError());
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(
      DeletePrinterDriverExA(nullptr, (LPSTR) "Windows 2000", (LPSTR) "VELKORA KVL-M720", DPD_DELETE_ALL_FILES, 3));
  EXPECT_EQ((DWORD)ERROR_INVALID_ENVIRONMENT, GetLastError());
  SetLastError(0xdeadbeef);
  EXPECT_TRUE(
      DeletePrinterDriverExA(nullptr, (LPSTR) "Windows x64", (LPSTR) "velkora kvl-m720", DPD_DELETE_ALL_FILES, 3));
  EXPECT_FALSE(FileExists(DriverDirectory("Windows x64") + "\\3\\TSTdrv.dll"));
}

}  // namespace
