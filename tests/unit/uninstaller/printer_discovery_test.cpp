// Listing the printers of the driver: which are offered and in what order,
// an empty spooler, a failed enumeration, Windows 95 to Me, a name of 255
// characters; and the two operations on the OEM INF copy that the uninstall
// key names.
#include <gtest/gtest.h>
#include <windows.h>
#include <setupapi.h>

#include <string>
#include <vector>

#include "core/handles.h"
#include "installed_driver.h"
#include "probe_uninstaller_dialog.h"

using namespace installed_driver;

namespace {

using Entries = std::vector<std::string>;

const char kPrintersKey[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";

// A printer as the spooler keeps it, whatever driver it names.
void SeedPrinterKey(const std::string& name, const std::string& driver) {
  winsim::RegKey* key = winsim::Registry::Get().Create(kPrintersKey + name);
  key->SetString("Name", name);
  key->SetString("Printer Driver", driver);
  key->SetString("Port", "LPT1:");
}

TEST_F(UninstallerTest, OffersThePrintersOfTheDriverInAlphabeticalOrder) {
  SimMachine machine("xp");
  Installation inst;
  ASSERT_TRUE(Seed({"Zebra", "alpha"}, &inst));
  SeedPrinterKey("Case", "Velkora KVL-M720");
  SeedPrinterKey("Other", "Generic / Text Only");
  SeedPrinterKey("Prefix", "VELKORA KVL-M72");
  ASSERT_TRUE(spooler_fixture::AddPrinterAndClose("Middle", kDriver));
  // The spooler's order is neither the list's nor the reverse of it.
  ASSERT_EQ((Entries{"Zebra", "alpha", "Case", "Other", "Prefix", "Middle"}), PrinterNames());

  ProbeUninstallerDialog dlg;
  EXPECT_EQ(IDCANCEL, Run(dlg, "click 2\n"));
  // Sorted without regard to case, as the list box sorts.
  EXPECT_EQ((Entries{"alpha=0", "Middle=0", "Zebra=0"}), dlg.m_atEnd);
  EXPECT_EQ(3, dlg.m_nPrinterCount);
  // The found names, the spooler's last first.
  std::vector<std::string> names;
  POSITION pos = dlg.m_printerNames.GetHeadPosition();
  while (pos) names.push_back((LPCSTR)dlg.m_printerNames.GetNext(pos));
  EXPECT_EQ((std::vector<std::string>{"Middle", "alpha", "Zebra"}), names);
}

TEST_F(UninstallerTest, WithoutPrintersTheFullRemovalStartsUnasked) {
  SimMachine machine("xp");
  Installation inst;
  ASSERT_TRUE(Seed({}, &inst));
  ProbeUninstallerDialog dlg;
  EXPECT_EQ(IDOK, Run(dlg, "msgbox no Restart\n"));
  EXPECT_EQ(1, dlg.m_nEnds);
  EXPECT_FALSE(dlg.m_cancelEnabledAtEnd);

  JournalQuery journal(machine);
  // The size query already succeeds: an empty list, not a failure.
  JournalLines enums = journal.Calls("EnumPrintersA");
  ASSERT_EQ(1u, enums.size()) << journal;
  EXPECT_EQ(1, enums[0]["ret"]);
  EXPECT_EQ(0, enums[0]["args"][5]);
  EXPECT_TRUE(journal.Ui("msgbox").With({{"caption", "Warning"}}).empty());
  // Cancel is disabled before the removal shows its first step.
  const auto& lines = journal.Lines();
  size_t cancelOff = lines.size(), firstStatus = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (cancelOff == lines.size() && HasFields(lines[i], {{"ui", "enabled"}, {"id", 2}, {"enabled", false}}))
      cancelOff = i;
    if (firstStatus == lines.size() && HasFields(lines[i], {{"ui", "text"}, {"id", 1000}})) firstStatus = i;
  }
  EXPECT_LT(cancelOff, firstStatus) << journal;
  EXPECT_EQ((Entries{"Checking OS...", "Delete printers...", "Delete printer driver...", "Uninstall completed!"}),
            StatusTexts(journal));
  EXPECT_FALSE(DriverInstalled(inst.environment));
  EXPECT_FALSE(Exists(inst.oemInf.c_str()));
  EXPECT_FALSE(KeyExists(kUninstallKey));
}

struct EnumFailureRow {
  const char* faults;
  const char* text;
};

const EnumFailureRow kEnumFailures[] = {
    {"EnumPrintersA#2:5", "EnumPrinters Error Code: 5\n\nAccess is denied.\r\n"},
    {"EnumPrintersA#2:1722", "EnumPrinters Error Code: 1722\n\nThe RPC server is unavailable.\r\n"},
    // No system text for the number: the first line alone.
    {"EnumPrintersA#2:15999", "EnumPrinters Error Code: 15999\n\n"},
};

TEST_F(UninstallerTest, AFailedEnumerationIsShownAndRemovesNothing) {
  for (const auto& row : kEnumFailures) {
    SCOPED_TRACE(row.faults);
    SimMachine machine("xp");
    Installation inst;
    ASSERT_TRUE(Seed({"Printer A"}, &inst));
    winsim::Faults::Set(row.faults);
    ProbeUninstallerDialog dlg;
    HWND hWnd = NULL;
    dlg.m_onInit = [&](ProbeUninstallerDialog& d) { hWnd = d.m_hWnd; };
    // The box ends the program also with the command word.
    EXPECT_EQ(IDOK, Run(dlg, "msgbox ok EnumPrinters\n", "DelAllDriver"));
    EXPECT_EQ(1, dlg.m_nEnds);
    JournalQuery journal(machine);
    JournalLines boxes = journal.Ui("msgbox");
    ASSERT_EQ(1u, boxes.size()) << journal;
    EXPECT_TRUE(HasFields(boxes[0], {{"caption", "Warning"}, {"text", row.text}, {"type", MB_ICONEXCLAMATION}}))
        << boxes[0];
    JournalLines calls = journal.Calls("MessageBoxA");
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ((uint32_t)(uintptr_t)hWnd, calls[0]["args"][0]);  // owned by the window
    EXPECT_TRUE(dlg.m_atEnd.empty());
    EXPECT_TRUE(StatusTexts(journal).empty());
    EXPECT_FALSE(journal.Called("OpenPrinterA"));
    EXPECT_EQ((Entries{"Printer A"}), PrinterNames());
    EXPECT_TRUE(DriverInstalled(inst.environment));
    EXPECT_TRUE(KeyExists(kUninstallKey));
  }
}

TEST_F(UninstallerTest, Windows9xOffersNothingAndRemovesNothing) {
  for (const char* os : {"95", "98", "me"}) {
    SCOPED_TRACE(os);
    SimMachine machine(os);
    SeedPrinterKey(kDriver, kDriver);
    ASSERT_TRUE(SetProgramValue(kUninstallKey, "OemFileName", "C:\\WINDOWS\\INF\\oem0.inf"));
    ProbeUninstallerDialog dlg;
    EXPECT_EQ(IDOK, Run(dlg, "", "DelAllDriver"));
    EXPECT_EQ(1, dlg.m_nEnds);
    EXPECT_TRUE(dlg.m_atEnd.empty());
    EXPECT_FALSE(dlg.m_cancelEnabledAtEnd);
    JournalQuery journal(machine);
    EXPECT_EQ((Entries{"Checking OS...", "Uninstall completed!"}), StatusTexts(journal));
    EXPECT_EQ((std::vector<int>{30, 100}), Positions(journal));
    EXPECT_EQ((std::vector<int>{1000}), Pauses(journal));
    EXPECT_FALSE(journal.Called("OpenPrinterA"));
    EXPECT_FALSE(journal.Called("DeleteFileA"));
    EXPECT_FALSE(journal.Called("SHDeleteKeyA"));
    EXPECT_TRUE(journal.Ui("msgbox").empty());
    EXPECT_TRUE(winsim::Registry::Get().Find(std::string(kPrintersKey) + kDriver));
    EXPECT_TRUE(KeyExists(kUninstallKey));
  }
}

TEST_F(UninstallerTest, APrinterNameOf255CharactersIsListedAndDeletedWhole) {
  SimMachine machine("xp");
  Installation inst;
  ASSERT_TRUE(Seed({}, &inst));
  std::string name(250, 'L');
  name += "abcde";
  ASSERT_EQ(255u, name.size());
  SeedPrinterKey(name, kDriver);
  ProbeUninstallerDialog dlg;
  EXPECT_EQ(IDOK, Run(dlg, "check " + name + "\nclick 1001\nmsgbox no\n"));
  EXPECT_EQ((Entries{name + "=1"}), dlg.m_atEnd);
  JournalQuery journal(machine);
  JournalLines opens = journal.Calls("OpenPrinterA");
  ASSERT_FALSE(opens.empty()) << journal;
  EXPECT_EQ(name, opens[0]["args"][0]);
  EXPECT_EQ(1, opens[0]["ret"]);
  EXPECT_FALSE(winsim::Registry::Get().Find(kPrintersKey + name));
  EXPECT_EQ("Uninstall completed!", dlg.m_statusAtEnd);
}

// What the uninstall key's "OemFileName" holds, for the INF operations.
enum class OemFileNameValue { Missing, NoKey, Copy, CopyOtherCase, Text, Fits, Unterminated, TooLong };

struct InfRow {
  const char* what;
  OemFileNameValue value;
  const char* text;         // for Value::Text
  bool uninstalled;         // SetupUninstallOEMInfA called with the copy's file name
  int deletions;            // DeleteFileA calls of DeleteOemInfFiles
  const char* faults = "";  // the calls that fail while the uninstaller runs
};

const InfRow kInfRows[] = {
    {"the copy", OemFileNameValue::Copy, nullptr, true, 2},
    {"the copy in other case", OemFileNameValue::CopyOtherCase, nullptr, true, 2},
    {"an INF elsewhere", OemFileNameValue::Text, "C:\\pkg\\velkora.inf", false, 2},
    {"a bare file name", OemFileNameValue::Text, "oem0.inf", false, 2},
    {"an INF folder of another Windows", OemFileNameValue::Text, "D:\\WINNT\\inf\\oem0.inf", false, 2},
    {"no value", OemFileNameValue::Missing, nullptr, false, 0},
    {"no key", OemFileNameValue::NoKey, nullptr, false, 0},
    {"empty", OemFileNameValue::Text, "", false, 0},
    {"three characters", OemFileNameValue::Text, "inf", false, 0},
    {"not an INF", OemFileNameValue::Text, "C:\\pkg\\notes.txt", false, 0},
    {"255 characters", OemFileNameValue::Fits, nullptr, true, 2},
    {"256 characters without a terminator", OemFileNameValue::Unterminated, nullptr, false, 0},
    {"300 characters", OemFileNameValue::TooLong, nullptr, false, 0},
    // Without the Windows directory there is no INF folder: not the root's.
    {"no Windows directory", OemFileNameValue::Text, "\\inf\\oem0.inf", false, 2, "GetWindowsDirectoryA:5"},
    {"a file at the root, no Windows directory", OemFileNameValue::Text, "\\oem0.inf", false, 2,
     "GetWindowsDirectoryA:5"},
};

// Sets the value for the row; returns what it holds.
std::string SetOemFileName(const InfRow& row, const Installation& inst) {
  std::string stored = inst.oemInf;
  switch (row.value) {
    case OemFileNameValue::Missing:
      winsim::Registry::Get().Find(std::string("HKLM\\") + kUninstallKey)->DeleteValue("OemFileName");
      break;
    case OemFileNameValue::NoKey:
      winsim::Registry::Get().Delete(std::string("HKLM\\") + kUninstallKey);
      break;
    case OemFileNameValue::Copy:
      break;
    case OemFileNameValue::CopyOtherCase:
      for (auto& c : stored) c = (char)toupper((unsigned char)c);
      SetProgramValue(kUninstallKey, "OemFileName", stored);
      break;
    case OemFileNameValue::Text:
      stored = row.text;
      SetProgramValue(kUninstallKey, "OemFileName", stored);
      break;
    case OemFileNameValue::Fits:
      // 255 characters and the zero fill the buffer exactly.
      stored = inst.oemInf.substr(0, inst.oemInf.rfind('\\') + 1);
      stored += std::string(255 - stored.size() - 4, 'x') + ".inf";
      SetProgramValue(kUninstallKey, "OemFileName", stored);
      break;
    case OemFileNameValue::Unterminated:
      // 256 characters stored without the zero, as a .reg file can hold
      // them: RegSetValueExA would count the zero.
      stored = inst.oemInf.substr(0, inst.oemInf.rfind('\\') + 1);
      stored += std::string(256 - stored.size() - 4, 'x') + ".inf";
      winsim::Registry::Get()
          .Find(std::string("HKLM\\") + kUninstallKey)
          ->SetValue("OemFileName", REG_SZ, stored.data(), stored.size());
      break;
    case OemFileNameValue::TooLong:
      stored = inst.oemInf.substr(0, inst.oemInf.rfind('\\') + 1);
      stored += std::string(300 - stored.size() - 4, 'x') + ".inf";
      SetProgramValue(kUninstallKey, "OemFileName", stored);
      break;
  }
  return stored;
}

TEST_F(UninstallerTest, TheInfCopyIsUninstalledByItsFileNameAndDeletedWithItsPnf) {
  for (const auto& row : kInfRows) {
    SCOPED_TRACE(row.what);
    SimMachine machine("vista");
    Installation inst;
    ASSERT_TRUE(Seed({}, &inst));
    std::string pnf = inst.oemInf.substr(0, inst.oemInf.size() - 3) + "PNF";
    ASSERT_TRUE(Exists(pnf.c_str()));
    std::string stored = SetOemFileName(row, inst);

    UninstallerDialog dlg;
    winsim::Faults::Set(row.faults);
    dlg.UninstallOemInf();
    winsim::Faults::Set("");
    JournalQuery journal(machine);
    JournalLines uninstalls = journal.Calls("SetupUninstallOEMInfA");
    if (row.uninstalled) {
      ASSERT_EQ(1u, uninstalls.size()) << journal;
      std::string file = stored.substr(stored.rfind('\\') + 1);
      EXPECT_EQ((nlohmann::json{file, SUOI_FORCEDELETE, nullptr}), uninstalls[0]["args"]);
      // The set-up service took the copy and its precompiled file away.
      bool copy = row.value == OemFileNameValue::Copy || row.value == OemFileNameValue::CopyOtherCase;
      EXPECT_EQ(copy ? 1 : 0, uninstalls[0]["ret"]);
      EXPECT_EQ(!copy, Exists(inst.oemInf.c_str()));
      EXPECT_EQ(!copy, Exists(pnf.c_str()));
    } else {
      EXPECT_TRUE(uninstalls.empty()) << journal;
      EXPECT_TRUE(Exists(inst.oemInf.c_str()));
    }
    EXPECT_EQ(0u, winsim::Handles::Count()) << "the uninstall key was left open";
    if (row.value != OemFileNameValue::NoKey) {
      JournalLines queries = journal.Calls("RegQueryValueExA");
      ASSERT_EQ(1u, queries.size());
      EXPECT_EQ("OemFileName", queries[0]["args"][1]);
    }

    // Then the deletion of the files themselves.
    ASSERT_TRUE(MakeFile(inst.oemInf.c_str(), "inf"));
    ASSERT_TRUE(MakeFile(pnf.c_str(), "pnf"));
    dlg.DeleteOemInfFiles();
    JournalLines deletions = JournalQuery(machine).Calls("DeleteFileA");
    ASSERT_EQ((size_t)row.deletions, deletions.size());
    if (row.deletions == 0) {
      EXPECT_TRUE(Exists(inst.oemInf.c_str()));
      continue;
    }
    EXPECT_EQ(stored, deletions[0]["args"][0]);
    EXPECT_EQ(stored.substr(0, stored.size() - 3) + "PNF", deletions[1]["args"][0]);
    if (row.value == OemFileNameValue::Copy || row.value == OemFileNameValue::CopyOtherCase) {
      EXPECT_FALSE(Exists(inst.oemInf.c_str()));
      EXPECT_FALSE(Exists(pnf.c_str()));
    }
  }
}

}  // namespace
