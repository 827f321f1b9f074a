// The removal run on installations of the driver: what a full removal takes
// and leaves on 32-bit and 64-bit Windows, the restart question, the driver
// that the spooler refuses to delete, and the short end when not every
// printer is checked.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "installed_driver.h"
#include "probe_uninstaller_dialog.h"

using namespace installed_driver;

namespace {

using Texts = std::vector<std::string>;

const char kRemovalRestartQuestion[] =
    "Restart the computer can take effect.\nPlease restart the computer.\n\n[Yes] I want to restart my computer "
    "now.\n[No] I will restart my computer later.";
const char kDriverKeyPrefix[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\";

// Whether a string argument of a call among the lines holds the text.
bool AnyCallNames(const JournalLines& lines, const std::string& text) {
  for (const auto& line : lines)
    if (line.contains("call"))
      for (const auto& arg : line["args"])
        if (arg.is_string() && arg.get<std::string>().find(text) != std::string::npos) return true;
  return false;
}

struct FullRow {
  const char* os;
  int kind;
  const char* answer;         // to the restart question
  bool setupUninstallOemInf;  // SETUPAPI exports SetupUninstallOEMInfA
};

// NT 4.0 lists and removes as 2000 does; Vista is where the INF copy goes
// through the set-up service.
const FullRow kFullRows[] = {
    {"nt4", kWindowsNT4, "no", true}, {"xp", kWindowsXP, "no", true},    {"vista", kWindowsVista, "yes", true},
    {"7", kWindows7, "yes", true},    {"7-x64", kWindows64, "no", true}, {"vista", kWindowsVista, "no", false},
};

TEST_F(UninstallerTest, AFullRemovalTakesTheDriverAndLeavesMonitorVendorKeyAndProgram) {
  for (const auto& row : kFullRows) {
    SCOPED_TRACE(row.os);
    SimMachine machine(row.os);
    if (!row.setupUninstallOemInf) {
      ASSERT_TRUE(machine.SetIni("os", "setupuninstalloeminf", "0"));
    }
    Installation inst;
    ASSERT_TRUE(Seed({"Label desk", "Shipping"}, &inst));
    // A printer that bears the driver's name goes too, whatever its driver.
    spooler_fixture::TestDriver generic;
    generic.name = "Generic / Text Only";
    generic.environment = inst.environment;
    ASSERT_TRUE(generic.StageAndAdd());
    ASSERT_TRUE(spooler_fixture::AddPrinterAndClose(kDriver, "Generic / Text Only"));
    size_t seeded = JournalQuery(machine).Lines().size();

    ProbeUninstallerDialog dlg;
    EXPECT_EQ(IDOK, Run(dlg, "check Shipping\ncheck Label desk\nclick 1001\nmsgbox " + std::string(row.answer) +
                                 " Restart\n"));
    EXPECT_EQ(1, dlg.m_nEnds);
    EXPECT_EQ((UINT)row.kind, dlg.m_nWindowsKind);
    EXPECT_EQ(2, dlg.m_nSelectedCount);
    EXPECT_EQ(2, dlg.m_nPrinterCount);

    JournalQuery journal(machine);
    // The button goes grey and the wait cursor shows before the first step.
    JournalLines disabled = journal.Ui("enabled").With({{"id", 1001}, {"enabled", false}});
    ASSERT_FALSE(disabled.empty()) << journal;
    JournalLines cursors = journal.Ui("cursor");
    ASSERT_FALSE(cursors.empty()) << journal;
    EXPECT_EQ("IDC_WAIT", cursors[0]["cursor"]);
    JournalLines statuses = journal.Ui("text").With({{"text", "Checking OS..."}});
    ASSERT_FALSE(statuses.empty()) << journal;
    EXPECT_LE(disabled[0]["t"], statuses[0]["t"]);
    EXPECT_LE(cursors[0]["t"], statuses[0]["t"]);
    EXPECT_EQ((Texts{"Checking OS...", "Delete printers...", "Delete printer driver...", "Uninstall completed!"}),
              StatusTexts(journal));
    EXPECT_EQ((std::vector<int>{30, 60, 90, 100}), Positions(journal));
    EXPECT_EQ((std::vector<int>{1000, 1000, 2000, 4000, 1000}), Pauses(journal));
    JournalLines boxes = journal.Ui("msgbox");
    ASSERT_EQ(1u, boxes.size()) << journal;
    EXPECT_TRUE(
        HasFields(boxes[0], {{"caption", "KVLM720_Uninstaller"}, {"text", kRemovalRestartQuestion}, {"type", 0x24}}));
    EXPECT_EQ(std::string(row.answer) == "yes", !journal.Ui("restart").empty());

    // The checked printers, the last entry first, then the one named like
    // the driver; each opened for deletion.
    JournalLines opens = journal.Calls("OpenPrinterA");
    ASSERT_EQ(3u, opens.size()) << journal;
    EXPECT_EQ("Shipping", opens[0]["args"][0]);
    EXPECT_EQ("Label desk", opens[1]["args"][0]);
    EXPECT_EQ(kDriver, opens[2]["args"][0]);
    for (const auto& open : opens)
      EXPECT_EQ((nlohmann::json{{"pDatatype", "raw"}, {"pDevMode", nullptr}, {"DesiredAccess", 0xF000C}}),
                open["args"][2]);
    EXPECT_EQ(3u, journal.Calls("DeletePrinter").Where("/ret", 1).size());
    EXPECT_TRUE(PrinterNames().empty());

    // The driver with its files, in the machine's environment only.
    JournalLines drivers = journal.Calls("DeletePrinterDriverExA");
    ASSERT_EQ(1u, drivers.size());
    EXPECT_EQ((nlohmann::json{nullptr, inst.environment, kDriver, DPD_DELETE_ALL_FILES, 3}), drivers[0]["args"]);
    EXPECT_FALSE(journal.Called("RegDeleteKeyA"));
    EXPECT_FALSE(DriverInstalled(inst.environment));
    EXPECT_FALSE(Exists((inst.driverDir + "\\3\\NDRM7202.BA0").c_str()));
    JournalLines run(journal.Lines().begin() + (long)seeded, journal.Lines().end());
    JournalLines dirs = run.Where("/call", "GetPrinterDriverDirectoryA");
    ASSERT_EQ(2u, dirs.size());
    for (const auto& dir : dirs)
      EXPECT_EQ(inst.x64 ? nlohmann::json("Windows x64") : nlohmann::json(nullptr), dir["args"][1]);
    EXPECT_EQ(inst.x64, !AnyCallNames(run, "Windows NT x86"));
    EXPECT_EQ(inst.x64, AnyCallNames(run, "Windows x64"));
    JournalLines commands = journal.Calls("WinExec");
    ASSERT_EQ(2u, commands.size());
    EXPECT_EQ((nlohmann::json{"net stop spooler", SW_HIDE}), commands[0]["args"]);
    EXPECT_EQ((nlohmann::json{"net start spooler", SW_HIDE}), commands[1]["args"]);

    // The INF copy: through the set-up service from Vista on, its function
    // looked up in SETUPAPI; where it is not found, the deletion of the
    // files takes the copy all the same.
    JournalLines lookups = journal.Calls("GetProcAddress").Where("/args/1", "SetupUninstallOEMInfA");
    ASSERT_EQ(row.kind >= kWindowsVista ? 1u : 0u, lookups.size()) << journal;
    if (!lookups.empty()) {
      EXPECT_EQ(row.setupUninstallOemInf, !lookups[0]["ret"].is_null());
    }
    EXPECT_EQ(row.kind >= kWindowsVista && row.setupUninstallOemInf, journal.Called("SetupUninstallOEMInfA"));
    EXPECT_EQ(journal.Calls("LoadLibraryA").Where("/args/0", "setupapi.dll").size(),
              journal.Calls("FreeLibrary").size());
    EXPECT_FALSE(Exists(inst.oemInf.c_str()));
    EXPECT_FALSE(Exists((inst.oemInf.substr(0, inst.oemInf.size() - 3) + "PNF").c_str()));

    EXPECT_FALSE(NodeExists(kNode));
    EXPECT_TRUE(NodeExists(kOtherNode));
    EXPECT_FALSE(Exists(inst.folder.c_str()));
    EXPECT_FALSE(KeyExists(kUninstallKey));
    EXPECT_FALSE(KeyExists(kUsbPrintKey));
    // Everyone was granted the device key before it was deleted.
    JournalLines grants = run.Where("/call", "SetSecurityInfo");
    ASSERT_EQ(1u, grants.size()) << journal;
    EXPECT_EQ(0, grants[0]["ret"]);
    JournalLines keyOpens = run.Where("/call", "RegOpenKeyExA")
                                .Where("/args/1", "SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\VELKORA_KVL-M720");
    ASSERT_EQ(1u, keyOpens.size()) << journal;
    EXPECT_EQ(0x60008, keyOpens[0]["args"][3]);
    // What the uninstaller leaves.
    EXPECT_TRUE(KeyExists(kVendorKey));
    EXPECT_TRUE(KeyExists(kMonitorKey));
    EXPECT_TRUE(Exists(inst.program.c_str()));
    EXPECT_FALSE(journal.Called("DeleteMonitorA"));
  }
}

struct RefusedRow {
  const char* os;
  const char* environment;
  const char* module;  // stays: only the data files are deleted by name
};

const RefusedRow kRefusedRows[] = {
    {"xp", "Windows NT x86", "QVRdrv50.dll"},
    {"7-x64", "Windows x64", "QVRdrv56.dll"},
};

TEST_F(UninstallerTest, ADriverTheSpoolerRefusesIsDeletedFromTheRegistry) {
  for (const auto& row : kRefusedRows) {
    SCOPED_TRACE(row.os);
    SimMachine machine(row.os);
    Installation inst;
    ASSERT_TRUE(Seed({"Label desk"}, &inst));
    winsim::Faults::Set("DeletePrinterDriverExA:5");
    ProbeUninstallerDialog dlg;
    EXPECT_EQ(IDOK, Run(dlg, "", "DelAllDriver"));

    JournalQuery journal(machine);
    std::string key = std::string(kDriverKeyPrefix) + row.environment + "\\Drivers\\Version-3\\" + kDriver;
    JournalLines deletes = journal.Calls("RegDeleteKeyA");
    ASSERT_EQ(1u, deletes.size()) << journal;
    EXPECT_EQ(key, deletes[0]["args"][1]);
    EXPECT_FALSE(KeyExists(key));
    std::string versionDir = inst.driverDir + "\\3\\";
    for (const char* file : {"NDRM7202.BA0", "NDRM7202.PP0", "NDRM7202.dat"})
      EXPECT_FALSE(Exists((versionDir + file).c_str())) << file;
    EXPECT_TRUE(Exists((versionDir + row.module).c_str()));
    std::vector<std::string> files;
    for (const auto& call : journal.Calls("DeleteFileA")) {
      std::string path = call["args"][0];
      if (path.rfind(versionDir, 0) == 0) files.push_back(path.substr(versionDir.size()));
    }
    EXPECT_EQ((Texts{"NDRM7202.BA0", "NDRM7202.PP0", "NDRM7202.dat"}), files);
    // The spooler is restarted all the same.
    EXPECT_EQ(2u, journal.Calls("WinExec").size());
    EXPECT_EQ("Uninstall completed!", dlg.m_statusAtEnd);
    EXPECT_EQ(100, Positions(journal).back());
  }
}

// Without the driver directory the leftover folder and the data files
// would be looked for at the drive's root: nothing there is touched.
TEST_F(UninstallerTest, NoDriverDirectoryTouchesNothingAtTheRoot) {
  SimMachine machine("xp");
  Installation inst;
  ASSERT_TRUE(Seed({"Label desk"}, &inst));
  ASSERT_TRUE(MakeDir("C:\\velkora_kvl_m7207188"));
  ASSERT_TRUE(MakeFile("C:\\velkora_kvl_m7207188\\keep.txt", "keep"));
  ASSERT_TRUE(MakeDir("C:\\3"));
  for (const char* file : {"NDRM7202.BA0", "NDRM7202.PP0", "NDRM7202.dat"})
    ASSERT_TRUE(MakeFile((std::string("C:\\3\\") + file).c_str(), "keep"));
  winsim::Faults::Set("GetPrinterDriverDirectoryA:5");
  ProbeUninstallerDialog dlg;
  EXPECT_EQ(IDOK, Run(dlg, "", "DelAllDriver"));
  winsim::Faults::Set("");
  EXPECT_EQ("keep", FileText("C:\\velkora_kvl_m7207188\\keep.txt"));
  for (const char* file : {"NDRM7202.BA0", "NDRM7202.PP0", "NDRM7202.dat"})
    EXPECT_EQ("keep", FileText((std::string("C:\\3\\") + file).c_str())) << file;
  JournalQuery journal(machine);
  EXPECT_TRUE(journal.Called("DeletePrinterDriverExA"));
  EXPECT_FALSE(KeyExists(kUninstallKey));
}

// A data file's path of 256 characters does not fit the 256-byte buffer:
// nothing is deleted for it, not even the file its first 255 characters
// name. (No driver is installed: the leftover folder of an installation
// would not fit a path of Windows there.)
TEST_F(UninstallerTest, DataFilePathsThatDoNotFitDeleteNothing) {
  SimMachine machine("xp");
  // The data files' names are twelve characters long.
  const size_t windirLength = 10 + (256 - 12 - 3) - spooler_fixture::DriverDirectory().size();
  ASSERT_TRUE(machine.SetIni("os", "windir", "C:\\" + std::string(windirLength - 3, 'W')));
  const std::string versionDir = spooler_fixture::DriverDirectory() + "\\3";
  for (size_t at = versionDir.find('\\', 3); at != std::string::npos; at = versionDir.find('\\', at + 1))
    MakeDir(versionDir.substr(0, at).c_str());
  ASSERT_TRUE(MakeDir(versionDir.c_str()));
  ASSERT_EQ(256u, (versionDir + "\\NDRM7202.dat").size());
  for (const char* file : {"NDRM7202.BA0", "NDRM7202.PP0", "NDRM7202.dat", "NDRM7202.da"})
    ASSERT_TRUE(MakeFile((versionDir + "\\" + file).c_str(), "kept")) << file;

  UninstallerDialog dlg;
  dlg.CleanDriverStore();

  JournalQuery journal(machine);
  EXPECT_FALSE(journal.Called("DeleteFileA")) << journal;
  for (const char* file : {"NDRM7202.BA0", "NDRM7202.PP0", "NDRM7202.dat", "NDRM7202.da"})
    EXPECT_TRUE(Exists((versionDir + "\\" + file).c_str())) << file;
}

TEST_F(UninstallerTest, OneOfTwoCheckedDeletesOnlyThatPrinter) {
  SimMachine machine("7");
  Installation inst;
  ASSERT_TRUE(Seed({"Label desk", "Shipping"}, &inst));
  ProbeUninstallerDialog dlg;
  EXPECT_EQ(IDOK, Run(dlg, "check Shipping\nclick 1001\n"));
  EXPECT_EQ(1, dlg.m_nEnds);
  EXPECT_EQ(1, dlg.m_nSelectedCount);
  EXPECT_EQ(0, dlg.m_printerNames.GetCount());

  JournalQuery journal(machine);
  EXPECT_EQ((Texts{"Checking OS...", "Delete printers...", "Uninstall completed!"}), StatusTexts(journal));
  EXPECT_EQ((std::vector<int>{30, 60, 100}), Positions(journal));
  EXPECT_EQ((std::vector<int>{1000, 1000}), Pauses(journal));
  EXPECT_TRUE(journal.Ui("msgbox").empty());
  EXPECT_EQ((Texts{"Label desk"}), PrinterNames());
  EXPECT_TRUE(DriverInstalled(inst.environment));
  EXPECT_TRUE(Exists(inst.oemInf.c_str()));
  EXPECT_TRUE(NodeExists(kNode));
  EXPECT_TRUE(Exists(inst.folder.c_str()));
  EXPECT_TRUE(KeyExists(kUninstallKey));
  EXPECT_TRUE(KeyExists(kUsbPrintKey));
  EXPECT_FALSE(journal.Called("DeletePrinterDriverExA"));
  EXPECT_FALSE(journal.Called("WinExec"));
}

TEST_F(UninstallerTest, APrinterThatCannotBeDeletedDoesNotHoldTheDriverBack) {
  SimMachine machine("xp");
  Installation inst;
  ASSERT_TRUE(Seed({"Label desk", "Shipping"}, &inst));
  winsim::Faults::Set("DeletePrinter#1:5");
  ProbeUninstallerDialog dlg;
  EXPECT_EQ(IDOK, Run(dlg, "", "DelAllDriver"));
  EXPECT_EQ(2, dlg.m_nSelectedCount);
  JournalQuery journal(machine);
  EXPECT_EQ("Delete printer driver...", StatusTexts(journal)[2]);
  EXPECT_TRUE(journal.Called("DeletePrinterDriverExA"));
  EXPECT_FALSE(KeyExists(kUninstallKey));
}

}  // namespace
