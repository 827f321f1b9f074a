// DDX_Radio on a dialog whose radio groups hold group boxes, a label, a
// check box and a plain radio button between their buttons: the index
// counts the radio buttons of the group from its WS_GROUP button to the
// next control with WS_GROUP, in template order.
#include <gtest/gtest.h>

#include <afxwin.h>

#include <string>
#include <vector>

#include "afx_dialogs.h"
#include "core/script.h"
#include "sim_machine.h"
#include "sim_resources.h"

namespace {

class RadioGroupsDialog : public CDialog {
 public:
  RadioGroupsDialog(int nA, int nB) : CDialog(IDD_RADIO_GROUPS), m_nA(nA), m_nB(nB) {}

  int m_nA;
  int m_nB;
  bool m_bEndAtOpen = false;
  std::vector<UINT> m_checksAtOpen;  // A0, A1, A2, B0, B1, after

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Radio(pDX, IDC_A0, m_nA);
    DDX_Radio(pDX, IDC_B0, m_nB);
  }
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    for (int id : {IDC_A0, IDC_A1, IDC_A2, IDC_B0, IDC_B1, IDC_AFTER})
      m_checksAtOpen.push_back(IsDlgButtonChecked(m_hWnd, id));
    if (m_bEndAtOpen) EndDialog(IDCANCEL);
    return TRUE;
  }
};

class DdxRadioTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(UseResourceFile("afx_dialogs.res")); }
  void TearDown() override {
    DropResourceFile();
    winsim::Script::UseForTests("");
  }
  SimMachine m_machine{"xp"};
};

struct LoadRow {
  int a;
  int b;
  std::vector<UINT> checks;  // A0, A1, A2, B0, B1, after
};

const LoadRow kLoads[] = {
    {0, 0, {1, 0, 0, 1, 0, 0}},   {1, 1, {0, 1, 0, 0, 1, 0}},
    {2, 0, {0, 0, 1, 1, 0, 0}},                                // the plain radio button behind the check box
    {-1, -1, {0, 0, 0, 0, 0, 0}}, {3, 2, {0, 0, 0, 0, 0, 0}},  // past the last button of each group
};

TEST_F(DdxRadioTest, LoadChecksTheButtonAtTheIndex) {
  for (const auto& row : kLoads) {
    RadioGroupsDialog dlg(row.a, row.b);
    dlg.m_bEndAtOpen = true;
    EXPECT_EQ(IDCANCEL, dlg.DoModal()) << "A " << row.a << " B " << row.b;
    EXPECT_EQ(row.checks, dlg.m_checksAtOpen) << "A " << row.a << " B " << row.b;
  }
}

struct SaveRow {
  const char* what;
  int a;
  int b;
  const char* script;
  int savedA;
  int savedB;
};

const SaveRow kSaves[] = {
    {"unchanged", 0, 1, "dialog ok\n", 0, 1},
    {"second button of A, after the label", 0, 0, "dialog radio 202\ndialog ok\n", 1, 0},
    {"plain radio button behind the check box", 2, 0, "dialog ok\n", 2, 0},
    {"both groups clicked", 0, 0, "dialog radio 212\ndialog radio 202\ndialog ok\n", 1, 1},
    {"back to the first button", 1, 1, "dialog radio 201\ndialog radio 211\ndialog ok\n", 0, 0},
    {"a radio button behind the end of group B", 0, 1, "dialog radio 214\ndialog ok\n", 0, 1},
    {"none checked", -1, -1, "dialog ok\n", -1, -1},
    {"index out of range checks none", 7, 5, "dialog ok\n", -1, -1},
};

TEST_F(DdxRadioTest, SaveGivesTheIndexOfTheCheckedButton) {
  for (const auto& row : kSaves) {
    winsim::Script::UseForTests(row.script);
    RadioGroupsDialog dlg(row.a, row.b);
    EXPECT_EQ(IDOK, dlg.DoModal()) << row.what;
    EXPECT_EQ(row.savedA, dlg.m_nA) << row.what;
    EXPECT_EQ(row.savedB, dlg.m_nB) << row.what;
  }
}

TEST_F(DdxRadioTest, CancelLeavesTheMembers) {
  winsim::Script::UseForTests("dialog radio 202\ndialog cancel\n");
  RadioGroupsDialog dlg(0, 1);
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  EXPECT_EQ(0, dlg.m_nA);
  EXPECT_EQ(1, dlg.m_nB);
}

}  // namespace
