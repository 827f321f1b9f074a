// CCheckListBox in an owner-drawn, sorted list box: check states kept per
// entry, the check box drawn as the state says, and a click into the box or
// the space bar changing it with a CLBN_CHKCHANGE to the parent.
#include <gtest/gtest.h>

#include <afxwin.h>

#include <functional>
#include <string>
#include <vector>

#include "afx_dialogs.h"
#include "core/script.h"
#include "journal_query.h"
#include "sim_machine.h"
#include "sim_resources.h"

namespace {

class CheckListDialog : public CDialog {
 public:
  CheckListDialog() : CDialog(IDD_CHECK_LIST) {}

  CCheckListBox m_list;
  int m_nChanges = 0;
  std::function<void(CheckListDialog&)> m_onInit;  // runs in OnInitDialog, then the dialog ends
  std::function<void(CheckListDialog&)> m_onChange;

  // The check states of all entries, in list order, as "name=state".
  std::vector<std::string> States() {
    std::vector<std::string> out;
    for (int i = 0; i < m_list.GetCount(); ++i) {
      CString text;
      m_list.GetText(i, text);
      out.push_back(std::string(text) + "=" + std::to_string(m_list.GetCheck(i)));
    }
    return out;
  }

 protected:
  void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_CHECK_LIST, m_list); }
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    if (m_onInit) m_onInit(*this);
    return TRUE;
  }
  afx_msg void OnCheckChange() {
    ++m_nChanges;
    if (m_onChange) m_onChange(*this);
  }

  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CheckListDialog, CDialog)
  ON_CLBN_CHKCHANGE(IDC_CHECK_LIST, OnCheckChange)
END_MESSAGE_MAP()

class CheckListTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(UseResourceFile("afx_dialogs.res")); }
  void TearDown() override {
    DropResourceFile();
    winsim::Script::UseForTests("");
  }
  SimMachine m_machine{"xp"};
};

using States = std::vector<std::string>;

TEST_F(CheckListTest, SetCheckAndGetCheckPerEntry) {
  CheckListDialog dlg;
  States before, after;
  int outside = -5;
  dlg.m_onInit = [&](CheckListDialog& d) {
    for (const char* name : {"Printer C", "Printer A", "Printer B"}) d.m_list.AddString(name);
    before = d.States();
    d.m_list.SetCheck(0, 1);
    d.m_list.SetCheck(2, 1);
    d.m_list.SetCheck(2, 0);
    d.m_list.SetCheck(1, 2);  // no third state with the default style
    d.m_list.SetCheck(1, 7);
    after = d.States();
    outside = d.m_list.GetCheck(3);
    d.EndDialog(IDCANCEL);
  };
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  EXPECT_EQ((States{"Printer A=0", "Printer B=0", "Printer C=0"}), before);
  EXPECT_EQ((States{"Printer A=1", "Printer B=0", "Printer C=0"}), after);
  EXPECT_EQ(0, outside);         // an index past the list reads as unchecked
  EXPECT_EQ(0, dlg.m_nChanges);  // SetCheck notifies nobody
}

TEST_F(CheckListTest, ThreeStateStyleCyclesThroughIndeterminate) {
  CheckListDialog dlg;
  std::vector<int> seen;
  dlg.m_onInit = [&](CheckListDialog& d) {
    d.m_list.SetCheckStyle(BS_AUTO3STATE);
    d.m_list.AddString("only");
    d.m_list.SetCheck(0, 2);
    seen.push_back(d.m_list.GetCheck(0));
    for (int i = 0; i < 3; ++i) {
      // The space bar on the entry with the caret.
      d.m_list.SendMessage(WM_KEYDOWN, VK_SPACE, 1);
      seen.push_back(d.m_list.GetCheck(0));
    }
    d.EndDialog(IDCANCEL);
  };
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  EXPECT_EQ((std::vector<int>{2, 0, 1, 2}), seen);
  EXPECT_EQ(3, dlg.m_nChanges);
}

TEST_F(CheckListTest, ClickInTheCheckBoxTogglesAndNotifies) {
  CheckListDialog dlg;
  States afterFirst, afterSecond, afterText;
  dlg.m_onInit = [&](CheckListDialog& d) {
    for (const char* name : {"b", "a", "c"}) d.m_list.AddString(name);
    RECT rc;
    d.m_list.GetItemRect(1, &rc);  // "b"
    LPARAM inBox = MAKELPARAM(4, (rc.top + rc.bottom) / 2);
    LPARAM onText = MAKELPARAM(60, (rc.top + rc.bottom) / 2);
    d.m_list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, inBox);
    d.m_list.SendMessage(WM_LBUTTONUP, 0, inBox);
    afterFirst = d.States();
    d.m_list.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, inBox);  // a quick second click
    d.m_list.SendMessage(WM_LBUTTONUP, 0, inBox);
    afterSecond = d.States();
    d.m_list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, onText);  // selects, does not check
    d.m_list.SendMessage(WM_LBUTTONUP, 0, onText);
    afterText = d.States();
    d.EndDialog(IDCANCEL);
  };
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  EXPECT_EQ((States{"a=0", "b=1", "c=0"}), afterFirst);
  EXPECT_EQ((States{"a=0", "b=0", "c=0"}), afterSecond);
  EXPECT_EQ((States{"a=0", "b=0", "c=0"}), afterText);
  EXPECT_EQ(2, dlg.m_nChanges);
}

TEST_F(CheckListTest, CheckBoxesAreDrawnAsTheStateSays) {
  // The list is painted when the dialog shows; a click from the script
  // then finds the box drawn unchecked and checks it.
  winsim::Script::UseForTests("dialog ok\n");
  CheckListDialog dlg;
  States seen;
  dlg.m_onInit = [&](CheckListDialog& d) {
    d.m_list.AddString("Printer 2");
    d.m_list.AddString("Printer 1");
    d.m_list.SetCheck(1, 1);  // "Printer 2"
  };
  dlg.m_onChange = [&](CheckListDialog&) {};
  EXPECT_EQ(IDOK, dlg.DoModal());
  JournalQuery journal(m_machine);
  JournalLines drawn = journal.Ui("list-check");
  EXPECT_FALSE(drawn.With({{"item", "Printer 2"}, {"checked", true}}).empty()) << journal;
  EXPECT_TRUE(drawn.With({{"item", "Printer 1"}, {"checked", true}}).empty());
  EXPECT_TRUE(journal.Called("DrawFrameControl"));
}

}  // namespace

namespace {

TEST_F(CheckListTest, TheMainWindowTakesCheckAndClickLines) {
  // An owner-less dialog is the program's main window, as the uninstaller's
  // is: the person checks entries and clicks its buttons. The `dialog` line
  // stays for a dialog over it.
  winsim::Script::UseForTests("dialog ok\ncheck Printer 1\nclick 2\n");
  CheckListDialog dlg;
  States atEnd;
  dlg.m_onInit = [&](CheckListDialog& d) {
    d.m_list.AddString("Printer 2");
    d.m_list.AddString("Printer 1");
  };
  dlg.m_onChange = [&](CheckListDialog& d) { atEnd = d.States(); };
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  EXPECT_EQ((States{"Printer 1=1", "Printer 2=0"}), atEnd);
  EXPECT_EQ(1, dlg.m_nChanges);
  EXPECT_TRUE(winsim::Script::HasNext(winsim::ScriptQueue::Dialog));
}

}  // namespace
