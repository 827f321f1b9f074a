// The installer's windows on the simulated USER32, built from the
// installer's own resources: the port dialog's radio order and default, how
// it is cancelled, the progress reports, the minimised icon and the one-shot
// start.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "installer_dialog.h"
#include "port_dialog.h"
#include "core/script.h"
#include "journal_query.h"
#include "sim_machine.h"
#include "sim_resources.h"

namespace {

// The progress window with the start-up replaced: it counts the starts,
// runs what the test gives, and ends the dialog instead of the process.
class ProbeInstallerDialog : public InstallerDialog {
 public:
  int m_nStarts = 0;
  std::function<void(ProbeInstallerDialog&)> m_onStart;

  void StartInstallation() override {
    ++m_nStarts;
    if (m_onStart) m_onStart(*this);
    EndDialog(IDCANCEL);
  }
};

// A port dialog closed with its close box as soon as it is up.
// Closed by its close box as soon as it is up; notes which control had the
// focus then.
class ClosedPortDialog : public PortDialog {
 public:
  int m_nFocusId = -1;

 protected:
  BOOL OnInitDialog() override {
    BOOL bFocusSet = PortDialog::OnInitDialog();
    PostMessageA(m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    return bFocusSet;
  }
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override {
    if (message == WM_SYSCOMMAND) {
      HWND hFocus = GetFocus();
      m_nFocusId = hFocus ? GetDlgCtrlID(hFocus) : 0;
    }
    return PortDialog::OnWndMsg(message, wParam, lParam, pResult);
  }
};

std::string ControlText(HWND hDlg, int id) {
  char text[256] = "";
  GetDlgItemTextA(hDlg, id, text, (int)sizeof text);
  return text;
}

class InstallerWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(UseResourceFile("installer.res")); }
  void TearDown() override {
    m_app.m_pMainWnd = nullptr;
    DropResourceFile();
    winsim::Script::UseForTests("");
  }

  JournalQuery Journal() const { return JournalQuery(m_machine); }

  SimMachine m_machine{"xp"};
  CWinApp m_app;
};

struct PortRow {
  int id;     // the radio button clicked
  int index;  // what m_nPort holds after Next
};

// Template order, not id order: USB has the smallest id and the last index.
const PortRow kPorts[] = {
    {1006, 0},  // COM1
    {1008, 1},  // COM2
    {1009, 2},  // COM3
    {1011, 3},  // COM4
    {1007, 4},  // LPT1
    {1010, 5},  // LPT2
    {1000, 6},  // USB
};

TEST_F(InstallerWindowTest, PortIndexFollowsTheTemplateOrder) {
  for (const auto& row : kPorts) {
    winsim::Script::UseForTests("dialog radio " + std::to_string(row.id) + "\ndialog ok\n");
    PortDialog dlg;
    EXPECT_EQ(IDOK, dlg.DoModal()) << "radio " << row.id;
    EXPECT_EQ(row.index, dlg.m_nPort) << "radio " << row.id;
  }
}

TEST_F(InstallerWindowTest, PortDialogOpensWithCom1) {
  winsim::Script::UseForTests("dialog ok\n");
  PortDialog dlg;
  EXPECT_EQ(0, dlg.m_nPort);
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_EQ(0, dlg.m_nPort);
  // COM1 was checked when the dialog came up, and only COM1.
  JournalLines checks = Journal().Ui("check").Where("/dialog", 130);
  ASSERT_EQ(1u, checks.size());
  EXPECT_EQ(1006, checks[0]["id"]);
}

TEST_F(InstallerWindowTest, EscapeAndTheCloseBoxCancel) {
  {
    winsim::Script::UseForTests("dialog radio 1000\ndialog cancel\n");
    PortDialog dlg;
    EXPECT_EQ(IDCANCEL, dlg.DoModal()) << "Escape";
    EXPECT_EQ(0, dlg.m_nPort) << "Escape keeps the index";
  }
  {
    ClosedPortDialog dlg;
    EXPECT_EQ(IDCANCEL, dlg.DoModal()) << "close box";
    EXPECT_EQ(0, dlg.m_nPort) << "close box keeps the index";
    // The dialog gave the focus to its first tab stop, Next.
    EXPECT_EQ(IDOK, dlg.m_nFocusId);
  }
}

TEST_F(InstallerWindowTest, PortDialogIsOwnedByTheProgressWindow) {
  winsim::Script::UseForTests("dialog cancel\n");
  ProbeInstallerDialog dlg;
  m_app.m_pMainWnd = &dlg;
  HWND hProgress = NULL;
  INT_PTR portResult = 0;
  dlg.m_onStart = [&](ProbeInstallerDialog& d) {
    hProgress = d.m_hWnd;
    portResult = d.m_portDialog.DoModal();
  };
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  EXPECT_EQ(IDCANCEL, portResult);
  JournalLines calls = Journal().Calls("DialogBoxParamA").Where("/args/1", 130);
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ((uint32_t)(uintptr_t)hProgress, calls[0]["args"][2]);
}

struct ProgressStepRow {
  const char* status;
  int pos;
};

// The longest run: a fresh driver on a COM port.
const ProgressStepRow kSteps[] = {
    {"Check drivers...\r\n", 11},
    {"Add printer...\r\n", 22},
    {"Install language monitor...\r\n", 33},
    {"Copy files...\r\n", 44},
    {"Install printer driver...\r\n", 55},
    {"Install printer...\r\n", 66},
    {"Delete installed files...\r\n", 77},
};

TEST_F(InstallerWindowTest, SevenStepsLeaveTheBarAt77AndCompletedSets100) {
  ProbeInstallerDialog dlg;
  m_app.m_pMainWnd = &dlg;
  std::vector<std::pair<std::string, int>> seen;
  dlg.m_onStart = [&](ProbeInstallerDialog& d) {
    for (const auto& row : kSteps) {
      d.m_engine.ReportStep(row.status);
      seen.emplace_back(ControlText(d.m_hWnd, IDC_STATUS), d.m_progress.GetPos());
    }
    d.m_engine.ReportCompleted("Completed!");
    seen.emplace_back(ControlText(d.m_hWnd, IDC_STATUS), d.m_progress.GetPos());
  };
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  ASSERT_EQ(8u, seen.size());
  for (size_t i = 0; i < 7; ++i) {
    // The static shows the text as given, line end included.
    EXPECT_EQ(kSteps[i].status, seen[i].first) << "step " << i + 1;
    EXPECT_EQ(kSteps[i].pos, seen[i].second) << "step " << i + 1;
  }
  EXPECT_EQ("Completed!", seen[7].first);
  EXPECT_EQ(100, seen[7].second);
  EXPECT_STREQ("Completed!", dlg.m_strStatus);

  // Each step pauses 500 ms; the final report does not pause.
  JournalQuery journal = Journal();
  EXPECT_EQ(7u, journal.Calls("Sleep").Where("/args", {500}).size());
  EXPECT_EQ(7u, journal.Calls("Sleep").size());
  JournalLines moves = journal.Ui("progress").Where("/dialog", 102);
  ASSERT_EQ(8u, moves.size());
  EXPECT_EQ(77, moves[6]["pos"]);
  EXPECT_EQ(100, moves[7]["pos"]);
}

TEST_F(InstallerWindowTest, WindowComesUpWithItsTextsRangeAndStep) {
  ProbeInstallerDialog dlg;
  m_app.m_pMainWnd = &dlg;
  std::string product, version, status, title;
  dlg.m_onStart = [&](ProbeInstallerDialog& d) {
    product = ControlText(d.m_hWnd, IDC_PRODUCT_NAME);
    version = ControlText(d.m_hWnd, IDC_DRIVER_VERSION);
    status = ControlText(d.m_hWnd, IDC_STATUS);
    char text[256] = "";
    GetWindowTextA(d.m_hWnd, text, (int)sizeof text);
    title = text;
  };
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  EXPECT_EQ("VELKORA KVL-M720", product);
  EXPECT_EQ("Driver Version: V4.6.64", version);
  EXPECT_EQ("", status);
  EXPECT_EQ("VELKORA KVL-M720 Installation Progress", title);
  JournalQuery journal = Journal();
  JournalLines range = journal.Ui("progress-range");
  ASSERT_EQ(1u, range.size());
  EXPECT_EQ(0, range[0]["low"]);
  EXPECT_EQ(100, range[0]["high"]);
  JournalLines step = journal.Ui("progress-step");
  ASSERT_EQ(1u, step.size());
  EXPECT_EQ(11, step[0]["step"]);
  // Big and small icon are the program's icon 128.
  EXPECT_EQ(2u, journal.Calls("SendMessageA").Where("/args/1", 128).size());
}

TEST_F(InstallerWindowTest, MinimisedWindowDrawsItsIconCentred) {
  ProbeInstallerDialog dlg;
  m_app.m_pMainWnd = &dlg;
  RECT client = {1, 1, 1, 1};
  dlg.m_onStart = [&](ProbeInstallerDialog& d) {
    ShowWindow(d.m_hWnd, SW_MINIMIZE);
    GetClientRect(d.m_hWnd, &client);
    // Whether Windows paints a minimised window at all depends on its
    // version; the paint handler is asked directly.
    SendMessageA(d.m_hWnd, WM_PAINT, 0, 0);
  };
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  JournalQuery journal = Journal();
  JournalLines icons = journal.Ui("draw-icon");
  ASSERT_EQ(1u, icons.size());
  // Signed division truncating toward zero; a minimised window has an
  // empty client area, so the icon lies half outside it.
  int width = client.right - client.left, height = client.bottom - client.top;
  int x = (width - GetSystemMetrics(SM_CXICON) + 1) / 2;
  int y = (height - GetSystemMetrics(SM_CYICON) + 1) / 2;
  EXPECT_EQ(x, icons[0]["x"]);
  EXPECT_EQ(y, icons[0]["y"]);
  EXPECT_EQ("128", icons[0]["icon"]);
  if (width == 0) {
    EXPECT_EQ(-15, x);
  }
  // The background was erased as for an icon first.
  EXPECT_EQ(1u, journal.Calls("SendMessageA").Where("/args/1", 39).size());
}

TEST_F(InstallerWindowTest, TimerIsKilledFirstAndASecondTimerStartsNothing) {
  winsim::Script::UseForTests("dialog cancel\n");
  ProbeInstallerDialog dlg;
  m_app.m_pMainWnd = &dlg;
  BOOL killedAgain = TRUE;
  INT_PTR portResult = 0;
  dlg.m_onStart = [&](ProbeInstallerDialog& d) {
    if (d.m_nStarts > 1) return;  // a second run is the fault; it is counted
    // Timer 1 is gone before the start-up runs.
    killedAgain = KillTimer(d.m_hWnd, 1);
    // A timer message that was already queued arrives in the loop of the
    // port dialog.
    PostMessageA(d.m_hWnd, WM_TIMER, 1, 0);
    portResult = d.m_portDialog.DoModal();
  };
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  EXPECT_FALSE(killedAgain);
  EXPECT_EQ(IDCANCEL, portResult);
  EXPECT_EQ(1, dlg.m_nStarts);
  JournalQuery journal = Journal();
  JournalLines sets = journal.Calls("SetTimer");
  ASSERT_EQ(1u, sets.size());
  EXPECT_EQ(1, sets[0]["args"][1]);
  EXPECT_EQ(1, sets[0]["args"][2]);
  EXPECT_TRUE(sets[0]["args"].at(3).is_null());
  // Killed once by each WM_TIMER the window got, and once more by the test.
  JournalLines kills = journal.Calls("KillTimer");
  ASSERT_EQ(3u, kills.size());
  EXPECT_EQ(1, kills[0]["ret"]);
}

TEST_F(InstallerWindowTest, DragIconIsTheWindowIcon) {
  ProbeInstallerDialog dlg;
  m_app.m_pMainWnd = &dlg;
  LRESULT dragIcon = 0;
  dlg.m_onStart = [&](ProbeInstallerDialog& d) { dragIcon = SendMessageA(d.m_hWnd, WM_QUERYDRAGICON, 0, 0); };
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  EXPECT_NE(0, dragIcon);
  EXPECT_EQ((LRESULT)dlg.m_hIcon, dragIcon);
}

}  // namespace
