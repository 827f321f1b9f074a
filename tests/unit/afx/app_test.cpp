// The application object and the framework's globals: the command line as
// CWinApp keeps it, the application name, AfxMessageBox's caption and
// owner, and CString::LoadString on the program's string table.
#include <gtest/gtest.h>

#include <afxwin.h>

#include <string>

#include "afx_dialogs.h"
#include "core/script.h"
#include "journal_query.h"
#include "sim_machine.h"
#include "sim_resources.h"

namespace {

class AppTest : public ::testing::Test {
 protected:
  void TearDown() override {
    DropResourceFile();
    winsim::Script::UseForTests("");
  }
  SimMachine m_machine{"xp"};
};

struct AppCommandLineRow {
  const char* given;  // what the run-time hands to WinMain
  const char* kept;   // m_lpCmdLine
};

const AppCommandLineRow kAppCommandLines[] = {
    {"DelAllDriver", "DelAllDriver"},
    {"   DelAllDriver", "DelAllDriver"},
    {"\t DelAllDriver x", "DelAllDriver x"},
    {"C:\\Package\\", "C:\\Package\\"},
    {"", ""},
    {"   ", ""},
};

TEST_F(AppTest, CommandLineLosesLeadingBlanksOnly) {
  for (const auto& row : kAppCommandLines) {
    SCOPED_TRACE(std::string("command line '") + row.given + "'");
    CWinApp app;
    std::string given = row.given;
    ASSERT_TRUE(AfxWinInit(GetModuleHandleA(NULL), NULL, given.data(), SW_SHOWNORMAL)) << row.given;
    EXPECT_STREQ(row.kept, app.m_lpCmdLine) << "'" << row.given << "'";
    EXPECT_EQ(&app, AfxGetApp());
  }
  EXPECT_EQ(nullptr, AfxGetApp());
  CWinApp app;
  ASSERT_TRUE(AfxWinInit(GetModuleHandleA(NULL), NULL, NULL, SW_SHOWNORMAL));
  EXPECT_STREQ("", app.m_lpCmdLine);
}

TEST_F(AppTest, NamesComeFromTheProgramFile) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(NULL, path, MAX_PATH);
  std::string base = path;
  base = base.substr(base.find_last_of("\\/:") + 1);
  base = base.substr(0, base.rfind('.'));
  {
    CWinApp app;
    ASSERT_TRUE(AfxWinInit(GetModuleHandleA(NULL), NULL, const_cast<LPSTR>(""), SW_SHOWNORMAL));
    EXPECT_EQ(base, app.m_pszExeName);
    EXPECT_EQ(base, app.m_pszAppName);
    EXPECT_EQ(base, AfxGetAppName());
  }
  {
    CWinApp app("Given Name");
    ASSERT_TRUE(AfxWinInit(GetModuleHandleA(NULL), NULL, const_cast<LPSTR>(""), SW_SHOWNORMAL));
    EXPECT_STREQ("Given Name", app.m_pszAppName);
    EXPECT_EQ(base, app.m_pszExeName);
  }
}

TEST_F(AppTest, MessageBoxIsTitledWithTheApplicationName) {
  winsim::Script::UseForTests("msgbox yes Do you want\nmsgbox ok\n");
  CWinApp app("KVLM720_Uninstaller");
  EXPECT_EQ(IDYES, AfxMessageBox("Restart?\n\nDo you want to restart?", MB_YESNO | MB_ICONQUESTION));
  EXPECT_EQ(IDOK, AfxMessageBox("plain"));
  JournalQuery journal(m_machine);
  JournalLines boxes = journal.Ui("msgbox");
  EXPECT_EQ(
      1u,
      boxes.With({{"caption", "KVLM720_Uninstaller"}, {"text", "Restart?\n\nDo you want to restart?"}, {"type", 36}})
          .size())
      << journal;
  EXPECT_EQ(1u, boxes.With({{"text", "plain"}, {"type", 0}}).size()) << journal;
}

struct LoadStringRow {
  UINT id;
  size_t length;
  BOOL result;
};

const LoadStringRow kStrings[] = {
    {IDS_SHORT, 16, TRUE},
    {IDS_LONG, 300, TRUE},   // longer than the first buffer of 255 characters
    {IDS_EXACT, 255, TRUE},  // fills the first buffer to its last character
    {IDS_MISSING, 0, FALSE},
};

TEST_F(AppTest, LoadStringTakesTheWholeEntry) {
  ASSERT_TRUE(UseResourceFile("afx_dialogs.res"));
  for (const auto& row : kStrings) {
    CString s("previous");
    EXPECT_EQ(row.result, s.LoadString(row.id)) << "string " << row.id;
    EXPECT_EQ(row.length, (size_t)s.GetLength()) << "string " << row.id;
  }
  CString s;
  s.LoadString(IDS_LONG);
  EXPECT_STREQ("000-", s.Left(4));
  EXPECT_STREQ("296-", s.Right(4));
  s.LoadString(IDS_SHORT);
  EXPECT_STREQ("VELKORA KVL-M720", s);
}

}  // namespace
