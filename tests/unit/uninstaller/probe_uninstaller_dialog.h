// The uninstaller's window for tests in the test process: the end of the
// program ends the dialog instead, and the list is read when the window
// goes, however it goes. Also the fixture that loads the uninstaller's
// resources and the journal readings the tests share.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "core/faults.h"
#include "core/script.h"
#include "journal_query.h"
#include "sim_machine.h"
#include "sim_resources.h"
#include "uninstaller_dialog.h"

class ProbeUninstallerDialog : public UninstallerDialog {
 public:
  int m_nEnds = 0;                   // ends of the program asked for
  std::vector<std::string> m_atEnd;  // the list as "name=check" when the window went
  std::string m_statusAtEnd;         // the status control's text then
  bool m_cancelEnabledAtEnd = true;
  std::function<void(ProbeUninstallerDialog&)> m_onInit;  // after OnInitDialog

  std::vector<std::string> Entries() {
    std::vector<std::string> out;
    for (int i = 0; i < m_printerList.GetCount(); ++i) {
      CString text;
      m_printerList.GetText(i, text);
      out.push_back(std::string(text) + "=" + std::to_string(m_printerList.GetCheck(i)));
    }
    return out;
  }

 protected:
  BOOL OnInitDialog() override {
    BOOL bResult = UninstallerDialog::OnInitDialog();
    if (m_onInit) m_onInit(*this);
    return bResult;
  }
  void EndProgram() override {
    ++m_nEnds;
    Keep();
    EndDialog(IDOK);
  }
  void OnCancel() override {
    Keep();
    UninstallerDialog::OnCancel();
  }

 private:
  void Keep() {
    m_atEnd = Entries();
    char text[256] = "";
    GetDlgItemTextA(m_hWnd, IDC_STATUS, text, (int)sizeof text);
    m_statusAtEnd = text;
    m_cancelEnabledAtEnd = IsWindowEnabled(GetDlgItem(m_hWnd, IDCANCEL)) != FALSE;
  }
};

// A machine of the kind, the uninstaller's resources and an application
// object as the program has it.
class UninstallerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(UseResourceFile("uninstaller.res")); }
  void TearDown() override {
    m_app.m_pMainWnd = nullptr;
    DropResourceFile();
    winsim::Script::UseForTests("");
    winsim::Faults::Set("");
  }

  // Runs the window to its end with the user's answers and the command line.
  INT_PTR Run(ProbeUninstallerDialog& dlg, const std::string& script, const char* commandLine = "") {
    winsim::Script::UseForTests(script);
    m_app.m_lpCmdLine = const_cast<LPSTR>(commandLine);
    m_app.m_pMainWnd = &dlg;
    INT_PTR result = dlg.DoModal();
    m_app.m_pMainWnd = nullptr;
    return result;
  }

  CWinApp m_app{"KVLM720_Uninstaller"};
};

// The texts the status control showed, in order.
inline std::vector<std::string> StatusTexts(const JournalQuery& journal) {
  std::vector<std::string> texts;
  for (const auto& line : journal.Ui("text").With({{"dialog", 102}, {"id", 1000}})) texts.push_back(line["text"]);
  return texts;
}

// The positions the bar moved to, in order.
inline std::vector<int> Positions(const JournalQuery& journal) {
  std::vector<int> positions;
  for (const auto& line : journal.Ui("progress").With({{"dialog", 102}, {"id", 1002}}))
    positions.push_back(line["pos"]);
  return positions;
}
