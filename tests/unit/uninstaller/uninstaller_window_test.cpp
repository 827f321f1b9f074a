// The uninstaller's window on the simulated USER32, built from its own
// resources: how it comes up and lists once, how checking entries enables
// Uninstall, what the command word changes, and the minimised icon.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "installed_driver.h"
#include "probe_uninstaller_dialog.h"

using namespace installed_driver;

namespace {

using Entries = std::vector<std::string>;

TEST_F(UninstallerTest, TheWindowComesUpListsOnceAndWaits) {
  SimMachine machine("xp");
  Installation inst;
  ASSERT_TRUE(Seed({"Printer B", "Printer A"}, &inst));
  ProbeUninstallerDialog dlg;
  HWND hWnd = NULL;
  dlg.m_onInit = [&](ProbeUninstallerDialog& d) {
    hWnd = d.m_hWnd;
    // Timer messages that were queued already must not list a second time.
    PostMessageA(d.m_hWnd, WM_TIMER, 1, 0);
    PostMessageA(d.m_hWnd, WM_TIMER, 1, 0);
  };
  EXPECT_EQ(IDCANCEL, Run(dlg, "click 2\n"));

  EXPECT_EQ(0, dlg.m_nEnds);
  EXPECT_EQ((Entries{"Printer A=0", "Printer B=0"}), dlg.m_atEnd);
  EXPECT_EQ(2, dlg.m_nPrinterCount);
  EXPECT_EQ(0, dlg.m_nSelectedCount);
  EXPECT_EQ((UINT)kWindowsXP, dlg.m_nWindowsKind);
  EXPECT_EQ("", dlg.m_statusAtEnd);

  JournalQuery journal(machine);
  ASSERT_EQ(1u, journal.Ui("caption").size()) << journal;
  EXPECT_EQ("VELKORA KVL-M720 Uninstaller", journal.Ui("caption")[0]["text"]);
  JournalLines range = journal.Ui("progress-range");
  ASSERT_EQ(1u, range.size());
  EXPECT_TRUE(HasFields(range[0], {{"dialog", 102}, {"id", 1002}, {"low", 0}, {"high", 100}}));
  JournalLines step = journal.Ui("progress-step");
  ASSERT_EQ(1u, step.size());
  EXPECT_EQ(30, step[0]["step"]);
  // The big icon, then the small one, both the program's icon 128.
  JournalLines icons = journal.Calls("SendMessageA").Where("/args/1", WM_SETICON);
  ASSERT_EQ(2u, icons.size());
  EXPECT_EQ(ICON_BIG, icons[0]["args"][2]);
  EXPECT_EQ(ICON_SMALL, icons[1]["args"][2]);
  EXPECT_EQ((uint64_t)(uintptr_t)dlg.m_hIcon, icons[0]["args"][3]);
  EXPECT_EQ("128", journal.Calls("LoadIconA")[0]["icon"]);
  JournalLines timers = journal.Calls("SetTimer");
  ASSERT_EQ(1u, timers.size());
  EXPECT_EQ((nlohmann::json{(uint32_t)(uintptr_t)hWnd, 1, 1, nullptr}), timers[0]["args"]);
  EXPECT_EQ(1, journal.Calls("KillTimer")[0]["args"][1]);

  // Uninstall starts disabled, Cancel enabled.
  JournalLines shown = journal.Ui("dialog").With({{"dialog", 102}, {"event", "shown"}});
  ASSERT_EQ(1u, shown.size());
  int seen = 0;
  for (const auto& control : shown[0]["controls"]) {
    if (control["id"] == 1001 || control["id"] == 2) {
      EXPECT_EQ(control["id"] == 2, control["enabled"].get<bool>()) << control;
      ++seen;
    }
  }
  EXPECT_EQ(2, seen);
  // The listing leaves it grey: nothing is checked yet.
  EXPECT_TRUE(journal.Ui("enabled").With({{"dialog", 102}, {"id", 1001}}).empty()) << journal;

  // Listed once; Cancel changed nothing.
  JournalLines enums = journal.Calls("EnumPrintersA");
  ASSERT_EQ(2u, enums.size()) << journal;
  // The size first, then the records in a buffer of that size.
  const nlohmann::json& first = enums[0]["args"];
  EXPECT_EQ(PRINTER_ENUM_LOCAL, first[0]);
  EXPECT_EQ(nullptr, first[1]);
  EXPECT_EQ(2, first[2]);
  EXPECT_EQ(nullptr, first[3]);
  EXPECT_EQ(0, first[4]);
  EXPECT_EQ(first[5], enums[1]["args"][4]);
  EXPECT_EQ(2, enums[1]["args"][2]);
  EXPECT_EQ(2u, journal.Ui("list").Where("/event", "add").size());
  EXPECT_TRUE(StatusTexts(journal).empty());
  EXPECT_FALSE(journal.Called("OpenPrinterA"));
  EXPECT_EQ((Entries{"Printer B", "Printer A"}), PrinterNames());
}

TEST_F(UninstallerTest, CheckingEnablesUninstallAndUncheckingTheLastDisablesIt) {
  SimMachine machine("xp");
  Installation inst;
  ASSERT_TRUE(Seed({"Printer B", "Printer A"}, &inst));
  ProbeUninstallerDialog dlg;
  EXPECT_EQ(IDCANCEL, Run(dlg,
                          "check Printer B\ncheck Printer A\nuncheck Printer B\nuncheck Printer A\n"
                          "check Printer A\nclick 2\n"));
  EXPECT_EQ(0, dlg.m_nEnds);
  EXPECT_EQ((Entries{"Printer A=1", "Printer B=0"}), dlg.m_atEnd);
  JournalQuery journal(machine);
  std::vector<bool> states;
  for (const auto& line : journal.Ui("enabled").With({{"dialog", 102}, {"id", 1001}}))
    states.push_back(line["enabled"]);
  EXPECT_EQ((std::vector<bool>{true, false, true}), states) << journal;
  // Cancel after checking still changes nothing.
  EXPECT_FALSE(journal.Called("OpenPrinterA"));
  EXPECT_EQ(2u, PrinterNames().size());
}

struct UninstallerCommandLineRow {
  const char* commandLine;
  bool unattended;
};

// Only the exact word, in its case and with nothing after it.
const UninstallerCommandLineRow kUninstallerCommandLines[] = {
    {"DelAllDriver", true},   {"", false},
    {"delalldriver", false},  {"DELALLDRIVER", false},
    {"DelAllDriver ", false}, {"DelAllDriver now", false},
    {"DelAllDriverX", false}, {"/DelAllDriver", false},
};

TEST_F(UninstallerTest, OnlyTheExactCommandWordRemovesEverythingUnasked) {
  for (const auto& row : kUninstallerCommandLines) {
    SCOPED_TRACE(std::string("command line \"") + row.commandLine + "\"");
    SimMachine machine("xp");
    Installation inst;
    ASSERT_TRUE(Seed({"Printer B", "Printer A"}, &inst));
    ProbeUninstallerDialog dlg;
    // The person would cancel a waiting window.
    INT_PTR result = Run(dlg, "click 2\n", row.commandLine);
    JournalQuery journal(machine);
    if (row.unattended) {
      EXPECT_EQ(IDOK, result);
      EXPECT_EQ(1, dlg.m_nEnds);
      EXPECT_EQ((Entries{"Printer A=1", "Printer B=1"}), dlg.m_atEnd);
      EXPECT_TRUE(journal.Ui("msgbox").empty()) << journal;
      // No pause after the removal.
      EXPECT_EQ((std::vector<int>{1000, 1000, 2000, 4000}), Pauses(journal));
      EXPECT_EQ("Uninstall completed!", dlg.m_statusAtEnd);
      EXPECT_EQ(100, Positions(journal).back());
      EXPECT_TRUE(PrinterNames().empty());
      EXPECT_FALSE(DriverInstalled(inst.environment));
      EXPECT_FALSE(KeyExists(kUsbPrintKey));
      EXPECT_FALSE(KeyExists(kUninstallKey));
    } else {
      EXPECT_EQ(IDCANCEL, result);
      EXPECT_EQ(0, dlg.m_nEnds);
      EXPECT_EQ((Entries{"Printer A=0", "Printer B=0"}), dlg.m_atEnd);
      EXPECT_TRUE(Pauses(journal).empty());
      EXPECT_EQ(2u, PrinterNames().size());
      EXPECT_TRUE(KeyExists(kUninstallKey));
    }
  }
}

TEST_F(UninstallerTest, TheMinimisedWindowDrawsItsIconCentred) {
  SimMachine machine("xp");
  ProbeUninstallerDialog dlg;
  RECT client = {1, 1, 1, 1};
  LRESULT dragIcon = 0;
  dlg.m_onInit = [&](ProbeUninstallerDialog& d) {
    ShowWindow(d.m_hWnd, SW_MINIMIZE);
    GetClientRect(d.m_hWnd, &client);
    SendMessageA(d.m_hWnd, WM_PAINT, 0, 0);
    dragIcon = SendMessageA(d.m_hWnd, WM_QUERYDRAGICON, 0, 0);
    // Ended before the timer lists anything.
    PostMessageA(d.m_hWnd, WM_COMMAND, IDCANCEL, 0);
  };
  EXPECT_EQ(IDCANCEL, Run(dlg, ""));
  EXPECT_EQ((LRESULT)dlg.m_hIcon, dragIcon);
  EXPECT_NE(nullptr, dlg.m_hIcon);
  JournalQuery journal(machine);
  JournalLines icons = journal.Ui("draw-icon");
  ASSERT_EQ(1u, icons.size()) << journal;
  // A minimised window's client area is empty: the icon lies half outside.
  int width = client.right - client.left, height = client.bottom - client.top;
  EXPECT_EQ((width - GetSystemMetrics(SM_CXICON) + 1) / 2, icons[0]["x"]);
  EXPECT_EQ((height - GetSystemMetrics(SM_CYICON) + 1) / 2, icons[0]["y"]);
  EXPECT_EQ("128", icons[0]["icon"]);
  EXPECT_EQ(1u, journal.Calls("SendMessageA").Where("/args/1", WM_ICONERASEBKGND).size());
  EXPECT_FALSE(journal.Called("EnumPrintersA"));
}

}  // namespace
