// The install sequence on simulated machines with the demo package: what a
// fresh installation leaves on a COM port and on USB and the calls that made
// it, the numbered names of a reinstallation, and the end of the sequence
// when the spooler refuses the driver.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>
#include <setupapi.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/faults.h"
#include "core/registry_tree.h"
#include "core/script.h"
#include "install_engine.h"
#include "journal_query.h"
#include "sim_files.h"
#include "sim_machine.h"
#include "sim_resources.h"
#include "spooler_fixture.h"
#include "windows_kind.h"

using namespace spooler_fixture;

namespace {

const char kInstallRestartQuestion[] =
    "Restart the computer can take effect.\nPlease restart the computer.\n\n[Yes] I want to restart my computer "
    "now.\n[No] I will restart my computer later.";
const char kUsbDone[] = "Installation is completed.\n\nPlease turn-off printer and turn-on printer.";

class InstallSequenceTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(UseResourceFile("installer.res")); }
  void TearDown() override {
    DropResourceFile();
    winsim::Faults::Set("");
  }
};

// The demo package in C:\pkg, the current directory, as the installer is
// started from it.
::testing::AssertionResult LayPackage() {
  if (!MakeDir("C:\\pkg")) return ::testing::AssertionFailure() << "no C:\\pkg";
  std::error_code ec;
  std::filesystem::copy(KVL_PACKAGE_DIR, HostOf("C:\\pkg"), std::filesystem::copy_options::recursive, ec);
  if (ec) return ::testing::AssertionFailure() << ec.message();
  if (!SetCurrentDirectoryA("C:\\pkg")) return ::testing::AssertionFailure() << "cwd";
  return ::testing::AssertionSuccess();
}

// sourceDir: the installer's command-line text, the package folder's prefix.
void RunInstall(int nPortCode, int nKind, const char* script, const char* sourceDir = "") {
  winsim::Script::UseForTests(script);
  InstallEngine engine;
  engine.m_nWindowsKind = nKind;
  lstrcpynA(engine.m_szSourceDir, sourceDir, sizeof engine.m_szSourceDir);
  engine.Install(nPortCode);
}

// "OemFileName" of the uninstall entry, or "(none)".
std::string StoredOemFileName() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VELKORA_KVL-M720", 0,
                    KEY_READ, &key) != ERROR_SUCCESS)
    return "(none)";
  char oem[MAX_PATH] = "";
  DWORD size = sizeof oem;
  LONG result = RegQueryValueExA(key, "OemFileName", nullptr, nullptr, (LPBYTE)oem, &size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? std::string(oem) : "(none)";
}

std::vector<PRINTER_INFO_2A> PrintersOf(std::vector<BYTE>* storage) {
  std::vector<PRINTER_INFO_2A> mine;
  for (const auto& p : EnumLocalPrinters(storage))
    if (p.pDriverName && std::string(p.pDriverName) == kDriver) mine.push_back(p);
  return mine;
}

// Where the first line of the call (or of what the user saw) stands in
// the journal; the journal's size when there is none.
size_t IndexOf(const JournalQuery& journal, const std::string& call) {
  const JournalLines& lines = journal.Lines();
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].value("call", "") == call || lines[i].value("ui", "") == call) return i;
  return lines.size();
}

std::string DriverRoot(const char* env) {
  char dir[MAX_PATH];
  DWORD needed = 0;
  GetPrinterDriverDirectoryA(nullptr, (LPSTR)env, 1, (LPBYTE)dir, sizeof dir, &needed);
  return dir;
}

TEST_F(InstallSequenceTest, FreshInstallations) {
  struct Row {
    const char* os;
    int kind;
    int port;  // PortCode
    const char* env;
    const char* monitorModule;  // where the monitor's module goes
    const char* portName;       // of the printer, or null for USB
    const char* answer;         // to the restart question
    const char* sourceDir;      // the command-line text
    const char* inf;            // handed to the set-up service
  };
  // The package folder C:\pkg is the current directory; the installer is
  // started there without arguments, with a relative or a full path.
  const Row rows[] = {
      {"2000", kWindows2000, 1004, "Windows NT x86", "C:\\WINNT\\system32\\qpaNLMNT.dll", "LPT1:", "yes", "",
       "C:\\pkg\\driver2k\\velkora.inf"},
      {"xp", kWindowsXP, 1000, "Windows NT x86", "C:\\WINDOWS\\system32\\qpaNLMNT.dll", "COM1:", "no", "..\\pkg\\",
       "C:\\pkg\\driver2k\\velkora.inf"},
      {"7", kWindows7, 1006, "Windows NT x86", "C:\\Windows\\system32\\qpaNLMNT.dll", nullptr, nullptr, "C:\\pkg\\",
       "C:\\pkg\\driver2k\\velkora.inf"},
      {"7-x64", kWindows64, 1003, "Windows x64", "C:\\Windows\\qpaNLM64.dll", "COM4:", "no", "",
       "C:\\pkg\\driver64\\velkora.inf"},
      {"7-x64", kWindows64, 1006, "Windows x64", "C:\\Windows\\qpaNLM64.dll", nullptr, nullptr, ".\\",
       "C:\\pkg\\driver64\\velkora.inf"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.os) + " " + std::to_string(r.port));
    SimMachine machine(r.os);
    ASSERT_TRUE(LayPackage());
    winsim::Registry::Get().Create("HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\VELKORA_KVL-M720\\1");
    char windir[MAX_PATH];
    GetWindowsDirectoryA(windir, sizeof windir);
    std::string stale = std::string(windir) + "\\INF\\dravonixvelkora.inf";
    ASSERT_TRUE(MakeFile(stale.c_str(), "old"));
    ASSERT_TRUE(MakeFile((std::string(windir) + "\\INF\\dravonixvelkora.pnf").c_str(), "old"));
    // Shown, as a user may have made it: the installer hides it again.
    ASSERT_TRUE(SetFileAttributesA((std::string(windir) + "\\INF").c_str(), FILE_ATTRIBUTE_NORMAL));

    // A folder an interrupted installation left in the driver directory,
    // and modules of an older driver (with a backup of an even older one)
    // that the spooler may still hold.
    const std::string leftover = DriverRoot(r.env) + "\\velkora_kvl_m7207188";
    ASSERT_TRUE(MakeDir(leftover.c_str()));
    ASSERT_TRUE(MakeFile((leftover + "\\QVRdrv50.dll").c_str(), "half"));
    const bool x64 = std::string(r.env) == "Windows x64";
    const std::string version = DriverRoot(r.env) + "\\3\\";
    const std::string driverModule = version + (x64 ? "QVRdrv56.dll" : "QVRdrv50.dll");
    const std::string configModule = version + (x64 ? "QVRui56.dll" : "QVRui50.dll");
    ASSERT_TRUE(MakeFile(driverModule.c_str(), "previous driver"));
    ASSERT_TRUE(MakeFile(configModule.c_str(), "previous ui"));
    ASSERT_TRUE(MakeFile((driverModule + ".old").c_str(), "oldest driver"));

    RunInstall(r.port, r.kind, r.portName ? (std::string("msgbox ") + r.answer + "\n").c_str() : "msgbox ok\n",
               r.sourceDir);

    JournalQuery journal(machine);
    JournalLines boxes = journal.Ui("msgbox");
    ASSERT_EQ(1u, boxes.size()) << journal;
    if (r.portName) {
      EXPECT_TRUE(HasFields(boxes[0], {{"caption", "Question"}, {"text", kInstallRestartQuestion}, {"type", 0x24}}));
    } else {
      EXPECT_TRUE(HasFields(boxes[0], {{"caption", "Information"}, {"text", kUsbDone}, {"type", 0x40}}));
    }
    // Yes restarts Windows; then the two seconds on "Completed!" pass, after
    // seven steps of half a second (five on USB, without the printer).
    EXPECT_EQ(r.answer && std::string(r.answer) == "yes", !journal.Ui("restart").empty()) << journal;
    std::vector<int> pauses(r.portName ? 7 : 5, 500);
    pauses.push_back(2000);
    EXPECT_EQ(pauses, Pauses(journal));
    EXPECT_EQ(journal.Calls("Sleep").back(), journal.Lines().back()) << "the last pause ends the sequence";
    JournalLines cursors = journal.Ui("cursor");
    ASSERT_FALSE(cursors.empty()) << journal;
    EXPECT_EQ("IDC_WAIT", cursors[0]["cursor"]) << cursors[0];

    // The leftover folder and the device nodes go before the monitor does.
    EXPECT_FALSE(Exists(leftover.c_str()));
    EXPECT_LT(IndexOf(journal, "RemoveDirectoryA"), IndexOf(journal, "AddMonitorA")) << journal;
    EXPECT_LT(IndexOf(journal, "SetupDiGetClassDevsA"), IndexOf(journal, "AddMonitorA")) << journal;
    // The older modules set aside, the oldest backup gone.
    EXPECT_EQ("previous driver", FileText((driverModule + ".old").c_str()));
    EXPECT_EQ("previous ui", FileText((configModule + ".old").c_str()));
    EXPECT_NE("previous driver", FileText(driverModule.c_str()));

    // The records handed to the spooler and the set-up service.
    JournalLines addDriver = journal.Calls("AddPrinterDriverA");
    ASSERT_EQ(1u, addDriver.size());
    EXPECT_TRUE(HasFields(addDriver[0]["args"][2], {{"cVersion", 3},
                                                    {"pName", kDriver},
                                                    {"pEnvironment", r.env},
                                                    {"pDriverPath", x64 ? "QVRdrv56.dll" : "QVRdrv50.dll"},
                                                    {"pDataFile", "NDRM7202.dat"},
                                                    {"pConfigFile", x64 ? "QVRui56.dll" : "QVRui50.dll"},
                                                    {"pHelpFile", "PRNGUIDE.CHM"},
                                                    {"pMonitorName", "Advanced Language Monitor"},
                                                    {"pDefaultDataType", "RAW"}}))
        << addDriver[0];
    JournalLines addPrinter = journal.Calls("AddPrinterA");
    ASSERT_EQ(r.portName ? 1u : 0u, addPrinter.size());
    if (r.portName) {
      EXPECT_EQ(PRINTER_STATUS_OFFLINE, addPrinter[0]["args"][2]["Status"]) << addPrinter[0];
    }
    JournalLines copyInf = journal.Calls("SetupCopyOEMInfA");
    ASSERT_EQ(1u, copyInf.size());
    EXPECT_EQ(SPOST_PATH, copyInf[0]["args"][2]);
    EXPECT_EQ(0x2000, copyInf[0]["args"][3]);

    // The monitor, its module, and the driver in the set's environment.
    EXPECT_TRUE(Exists(r.monitorModule));
    EXPECT_NE(nullptr, winsim::Registry::Get().Find(
                           "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Advanced Language Monitor"));
    std::vector<BYTE> buffer(65536);
    DWORD needed = 0, count = 0;
    ASSERT_TRUE(EnumPrinterDriversA(nullptr, (LPSTR)r.env, 3, buffer.data(), (DWORD)buffer.size(), &needed, &count));
    const DRIVER_INFO_3A* ours = nullptr;
    for (DWORD i = 0; i < count; ++i) {
      const DRIVER_INFO_3A* d = (const DRIVER_INFO_3A*)buffer.data() + i;
      if (std::string(d->pName) == kDriver) ours = d;
    }
    ASSERT_NE(nullptr, ours);
    EXPECT_STREQ("Advanced Language Monitor", ours->pMonitorName);
    int dependents = 0;
    for (const char* p = ours->pDependentFiles; p && *p; p += strlen(p) + 1) ++dependents;
    EXPECT_EQ(22, dependents);

    // The printer, or none for USB.
    std::vector<BYTE> storage;
    std::vector<PRINTER_INFO_2A> printers = PrintersOf(&storage);
    if (r.portName) {
      ASSERT_EQ(1u, printers.size());
      EXPECT_STREQ(kDriver, printers[0].pPrinterName);
      EXPECT_STREQ(r.portName, printers[0].pPortName);
      EXPECT_EQ(0xA00u, printers[0].Attributes);
      EXPECT_EQ(1u, printers[0].Priority);
      EXPECT_STREQ("WinPrint", printers[0].pPrintProcessor);
      EXPECT_STREQ("RAW", printers[0].pDatatype);
    } else {
      EXPECT_TRUE(printers.empty());
      EXPECT_EQ(nullptr,
                winsim::Registry::Get().Find("HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\VELKORA_KVL-M720"));
    }
    // Staging copies go after a COM or LPT installation, stay after USB.
    std::string staged = DriverRoot(r.env) + "\\NDRM7202.dat";
    EXPECT_EQ(r.portName == nullptr, Exists(staged.c_str()));
    EXPECT_TRUE(Exists((DriverRoot(r.env) + "\\3\\NDRM7202.dat").c_str()));

    // The INF pair gone, the INF folder hidden, the OEM copy of the INF
    // named by its full path registered.
    EXPECT_FALSE(Exists(stale.c_str()));
    EXPECT_TRUE(GetFileAttributesA((std::string(windir) + "\\INF").c_str()) & FILE_ATTRIBUTE_HIDDEN);
    JournalLines copies = journal.Calls("SetupCopyOEMInfA");
    ASSERT_EQ(1u, copies.size()) << journal;
    std::string oem = std::string(windir) + "\\inf\\oem0.inf";
    EXPECT_EQ((nlohmann::json{r.inf, nullptr, SPOST_PATH, SP_COPY_FORCE_NEWER, oem, 256, oem.size() + 1, nullptr}),
              copies[0]["args"]);
    EXPECT_EQ(oem, StoredOemFileName());
    EXPECT_TRUE(Exists(oem.c_str())) << oem;
  }
}

// A reinstallation whose OEM copy fails, or whose INF path cannot be formed,
// stores no name over the first one's, and completes.
TEST_F(InstallSequenceTest, NoOemCopyStoresAnEmptyName) {
  struct Row {
    const char* what;
    const char* faults;
    const char* cwd;  // where the installer runs without arguments, or null: C:\pkg
    bool copied;      // SetupCopyOEMInfA was called
  };
  // A folder whose full path leaves no room for "driver2k\velkora.inf" in
  // 256 bytes.
  std::string deep = "C:\\" + std::string(237, 'd');
  const Row rows[] = {
      {"the copy fails", "SetupCopyOEMInfA:5", nullptr, true},
      {"no full path", "GetFullPathNameA:8", nullptr, false},
      {"the full path is too long", "", deep.c_str(), false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    SimMachine machine("xp");
    ASSERT_TRUE(LayPackage());
    RunInstall(1000, kWindowsXP, "msgbox no\n");
    ASSERT_EQ("C:\\WINDOWS\\inf\\oem0.inf", StoredOemFileName());
    if (r.cwd) {
      ASSERT_TRUE(MakeDir(r.cwd));
      ASSERT_TRUE(SetCurrentDirectoryA(r.cwd));
    }
    size_t before = JournalQuery(machine).Lines().size();
    winsim::Faults::Set(r.faults);
    RunInstall(1004, kWindowsXP, "msgbox no Restart\n");
    winsim::Faults::Set("");
    JournalQuery journal(machine);
    JournalLines run(journal.Lines().begin() + (long)before, journal.Lines().end());
    EXPECT_EQ(r.copied ? 1u : 0u, run.Where("/call", "SetupCopyOEMInfA").size()) << journal;
    EXPECT_EQ("", StoredOemFileName());
    EXPECT_EQ(1u, run.Where("/ui", "msgbox").size()) << journal;
    std::vector<BYTE> storage;
    EXPECT_EQ(2u, PrintersOf(&storage).size());
  }
}

TEST_F(InstallSequenceTest, AReinstallationNumbersThePrinter) {
  SimMachine machine("xp");
  ASSERT_TRUE(LayPackage());
  RunInstall(1000, kWindowsXP, "msgbox no\n");
  // A gap is filled: "(#2)" is taken, "(#1)" is free.
  ASSERT_TRUE(AddPrinterAndClose("VELKORA KVL-M720(#2)", kDriver, "LPT2:"));
  RunInstall(1004, kWindowsXP, "msgbox no\n");
  std::vector<BYTE> storage;
  std::vector<std::string> names;
  for (const auto& p : PrintersOf(&storage)) names.push_back(std::string(p.pPrinterName) + " " + p.pPortName);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(
      (std::vector<std::string>{"VELKORA KVL-M720 COM1:", "VELKORA KVL-M720(#1) LPT1:", "VELKORA KVL-M720(#2) LPT2:"}),
      names);
  // With the driver found, nothing is staged or deleted again.
  JournalQuery journal(machine);
  EXPECT_EQ(1u, journal.Calls("AddPrinterDriverA").size());
  EXPECT_EQ(1u, journal.Calls("AddMonitorA").size());
}

// The modules are set aside from a driver directory of up to 127
// characters, what the 128-byte buffer holds; from a longer one they are
// copied over in place.
TEST_F(InstallSequenceTest, ModulesAreSetAsideOnlyFromADriverDirectoryThatFits) {
  struct Row {
    size_t length;  // of the driver directory
    bool setAside;
  };
  const Row rows[] = {{127, true}, {128, false}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.length);
    SimMachine machine("xp");
    const size_t windirLength = 10 + r.length - DriverRoot("Windows NT x86").size();
    ASSERT_TRUE(machine.SetIni("os", "windir", "C:\\" + std::string(windirLength - 3, 'W')));
    ASSERT_TRUE(LayPackage());
    ASSERT_EQ(r.length, DriverRoot("Windows NT x86").size());
    const std::string version = DriverRoot("Windows NT x86") + "\\3";
    for (size_t at = version.find('\\', 3); at != std::string::npos; at = version.find('\\', at + 1))
      MakeDir(version.substr(0, at).c_str());
    ASSERT_TRUE(MakeDir(version.c_str()));
    const std::string driverModule = version + "\\QVRdrv50.dll";
    ASSERT_TRUE(MakeFile(driverModule.c_str(), "previous driver"));

    RunInstall(1000, kWindowsXP, "msgbox no\n");

    JournalQuery journal(machine);
    ASSERT_EQ(1u, journal.Calls("AddPrinterDriverA").size()) << journal;
    EXPECT_EQ(r.setAside, Exists((driverModule + ".old").c_str()));
    EXPECT_NE("previous driver", FileText(driverModule.c_str()));
  }
}

// The install's own look-up compares names exactly: a driver of the name
// in another letter case is installed over, as on a fresh machine.
TEST_F(InstallSequenceTest, ADriverNamedInAnotherCaseIsNotTheInstalledOne) {
  SimMachine machine("xp");
  ASSERT_TRUE(LayPackage());
  TestDriver other;
  other.name = "velkora kvl-m720";
  ASSERT_TRUE(other.StageAndAdd());
  RunInstall(1000, kWindowsXP, "msgbox no\n");
  JournalQuery journal(machine);
  EXPECT_EQ(1u, journal.Calls("AddMonitorA").size()) << journal;
  JournalLines drivers = journal.Calls("AddPrinterDriverA");  // the seeded one, then the installer's
  ASSERT_EQ(2u, drivers.size()) << journal;
  EXPECT_EQ(kDriver, drivers[1]["args"][2]["pName"]);
  std::vector<BYTE> storage;
  std::vector<PRINTER_INFO_2A> printers = PrintersOf(&storage);
  ASSERT_EQ(1u, printers.size());
  EXPECT_STREQ(kDriver, printers[0].pPrinterName);
}

// On 64-bit Windows the driver lives in "Windows x64", which the 32-bit
// program's own environment does not show: it is found all the same.
TEST_F(InstallSequenceTest, AReinstallationOn64BitWindowsFindsTheDriver) {
  SimMachine machine("7-x64");
  ASSERT_TRUE(LayPackage());
  RunInstall(1000, kWindows64, "msgbox no\n");
  RunInstall(1000, kWindows64, "msgbox no\n");
  std::vector<BYTE> storage;
  std::vector<PRINTER_INFO_2A> printers = PrintersOf(&storage);
  ASSERT_EQ(2u, printers.size());
  EXPECT_STREQ("VELKORA KVL-M720(#1)", printers[1].pPrinterName);
  JournalQuery journal(machine);
  EXPECT_EQ(1u, journal.Calls("AddPrinterDriverA").size());
  EXPECT_TRUE(journal.Ui("msgbox").With({{"caption", "Warning"}}).empty()) << journal;
}

TEST_F(InstallSequenceTest, ARefusedDriverEndsTheSequence) {
  SimMachine machine("xp");
  ASSERT_TRUE(LayPackage());
  winsim::Faults::Set("AddPrinterDriverA:5");
  RunInstall(1000, kWindowsXP, "msgbox ok AddPrinterDriver\n");
  JournalQuery journal(machine);
  JournalLines boxes = journal.Ui("msgbox");
  ASSERT_EQ(1u, boxes.size()) << journal;
  EXPECT_TRUE(HasFields(
      boxes[0],
      {{"caption", "Warning"}, {"text", "AddPrinterDriver Error Code: 5\n\nAccess is denied.\r\n"}, {"type", 0x30}}))
      << boxes[0];
  std::vector<BYTE> storage;
  EXPECT_TRUE(PrintersOf(&storage).empty());
  EXPECT_FALSE(journal.Called("AddPrinterA"));
  EXPECT_FALSE(journal.Called("SetupCopyOEMInfA"));
  HKEY key = nullptr;
  EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                                         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VELKORA_KVL-M720", 0,
                                         KEY_READ, &key));
}

}  // namespace
