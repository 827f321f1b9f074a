// The installer's windows on the simulated USER32, built from the
// installer's own resources: the port dialog's radio order and default, how
// it is cancelled, the progress reports, the minimised icon and the one-shot
// start.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "installer_dialog.h"
#include "port_dialog.h"
#include "core/script.h"
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
class ClosedPortDialog : public PortDialog {
 protected:
  BOOL OnInitDialog() override {
    PortDialog::OnInitDialog();
    PostMessageA(m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    return TRUE;
  }
};

std::string ControlText(HWND hDlg, int id) {
  char text[256] = "";
  GetDlgItemTextA(hDlg, id, text, (int)sizeof text);
  return text;
}

// One journal line, with the few readers these tests need.
struct JournalLine {
  std::string text;

  // The number after "key": ; 0x7fffffff when absent.
  long long Int(const char* key) const {
    size_t p = text.find(std::string("\"") + key + "\": ");
    if (p == std::string::npos) return 0x7fffffff;
    return strtoll(text.c_str() + p + strlen(key) + 4, nullptr, 10);
  }
  // The string after "key": , without unescaping.
  std::string Str(const char* key) const {
    size_t p = text.find(std::string("\"") + key + "\": \"");
    if (p == std::string::npos) return "<absent>";
    p += strlen(key) + 5;
    return text.substr(p, text.find('"', p) - p);
  }
  // Argument i of a call line as written ("1", "null", "\"text\"").
  std::string Arg(size_t i) const {
    size_t p = text.find("\"args\": [");
    if (p == std::string::npos) return "<absent>";
    p += 9;
    std::vector<std::string> args;
    std::string cur;
    int depth = 0;
    bool inString = false;
    for (; p < text.size(); ++p) {
      char c = text[p];
      if (inString) {
        cur += c;
        if (c == '\\' && p + 1 < text.size()) cur += text[++p];
        else if (c == '"') inString = false;
        continue;
      }
      if (c == '"') inString = true;
      if (c == '[' || c == '{') ++depth;
      if ((c == ']' || c == '}') && depth-- == 0) break;
      if (c == ',' && depth == 0) {
        args.push_back(cur);
        cur.clear();
        continue;
      }
      if (c != ' ' || !cur.empty()) cur += c;
    }
    args.push_back(cur);
    return i < args.size() ? args[i] : "<absent>";
  }
};

class InstallerWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(UseResourceFile("installer.res")); }
  void TearDown() override {
    m_app.m_pMainWnd = nullptr;
    DropResourceFile();
    winsim::Script::UseForTests("");
  }

  // The journal lines that contain every one of the texts.
  std::vector<JournalLine> JournalLines(std::initializer_list<const char*> needles) {
    std::vector<JournalLine> out;
    std::string journal = m_machine.ReadFile("journal.jsonl");
    size_t start = 0;
    while (start < journal.size()) {
      size_t end = journal.find('\n', start);
      if (end == std::string::npos) end = journal.size();
      std::string line = journal.substr(start, end - start);
      start = end + 1;
      bool all = !line.empty();
      for (const char* n : needles) all = all && line.find(n) != std::string::npos;
      if (all) out.push_back(JournalLine{line});
    }
    return out;
  }

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
  auto checks = JournalLines({"\"ui\": \"check\"", "\"dialog\": 130"});
  ASSERT_EQ(1u, checks.size());
  EXPECT_EQ(1006, checks[0].Int("id"));
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
  auto calls = JournalLines({"\"call\": \"DialogBoxParamA\"", "130"});
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ(std::to_string((uint32_t)(uintptr_t)hProgress), calls[0].Arg(2));
}

struct StepRow {
  const char* status;
  int pos;
};

// The longest run: a fresh driver on a COM port.
const StepRow kSteps[] = {
    {"Check drivers...\r\n", 11},        {"Add printer...\r\n", 22},
    {"Install language monitor...\r\n", 33}, {"Copy files...\r\n", 44},
    {"Install printer driver...\r\n", 55}, {"Install printer...\r\n", 66},
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
  EXPECT_EQ(7u, JournalLines({"\"call\": \"Sleep\"", "[500]"}).size());
  EXPECT_EQ(7u, JournalLines({"\"call\": \"Sleep\""}).size());
  auto moves = JournalLines({"\"ui\": \"progress\"", "\"dialog\": 102"});
  ASSERT_EQ(8u, moves.size());
  EXPECT_EQ(77, moves[6].Int("pos"));
  EXPECT_EQ(100, moves[7].Int("pos"));
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
  auto range = JournalLines({"\"ui\": \"progress-range\""});
  ASSERT_EQ(1u, range.size());
  EXPECT_EQ(0, range[0].Int("low"));
  EXPECT_EQ(100, range[0].Int("high"));
  auto step = JournalLines({"\"ui\": \"progress-step\""});
  ASSERT_EQ(1u, step.size());
  EXPECT_EQ(11, step[0].Int("step"));
  // Big and small icon are the program's icon 128.
  EXPECT_EQ(2u, JournalLines({"\"call\": \"SendMessageA\"", ", 128, "}).size());
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
  auto icons = JournalLines({"\"ui\": \"draw-icon\""});
  ASSERT_EQ(1u, icons.size());
  // Signed division truncating toward zero; a minimised window has an
  // empty client area, so the icon lies half outside it.
  int width = client.right - client.left, height = client.bottom - client.top;
  int x = (width - GetSystemMetrics(SM_CXICON) + 1) / 2;
  int y = (height - GetSystemMetrics(SM_CYICON) + 1) / 2;
  EXPECT_EQ(x, icons[0].Int("x"));
  EXPECT_EQ(y, icons[0].Int("y"));
  EXPECT_EQ("128", icons[0].Str("icon"));
  if (width == 0) {
    EXPECT_EQ(-15, x);
  }
  // The background was erased as for an icon first.
  EXPECT_EQ(1u, JournalLines({"\"call\": \"SendMessageA\"", ", 39, "}).size());
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
  auto sets = JournalLines({"\"call\": \"SetTimer\""});
  ASSERT_EQ(1u, sets.size());
  EXPECT_EQ("1", sets[0].Arg(1));
  EXPECT_EQ("1", sets[0].Arg(2));
  EXPECT_EQ("null", sets[0].Arg(3));
  // Killed once by each WM_TIMER the window got, and once more by the test.
  auto kills = JournalLines({"\"call\": \"KillTimer\""});
  ASSERT_EQ(3u, kills.size());
  EXPECT_EQ(1, kills[0].Int("ret"));
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
