// Whole runs of the probe program through `winsim run`: answers from the
// script, the end with status 97 when the script has none, modal dialogs,
// the main window's input, minimising, and a child process that goes on
// with the script where its parent left it.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>

#include "sim_machine.h"
#include "tool_run.h"

namespace {

class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* stub : {"probe.exe", "child.exe"}) {
      std::string dir = machine.dir() + "/drive_c/probe";
      std::filesystem::create_directories(dir);
      std::ofstream(dir + "/" + stub) << "winsim-program: winsim_probe\r\n";
    }
  }
  ToolResult Run(const std::string& script, const std::string& args) {
    std::string path = machine.dir() + "/../script.txt";
    std::ofstream(path) << script;
    return RunTool("winsim", {"run", machine.dir(), "--script", path, "C:\\probe\\probe.exe", args});
  }
  SimMachine machine;
};

struct RunRow {
  const char* what;
  const char* script;
  const char* args;
  int status;
  const char* transcript;  // a line the transcript must hold
};

TEST_F(RunTest, ScriptAnswersTable) {
  const RunRow rows[] = {
      {"message box answered", "msgbox ok Install Canceled\n", "msgbox", IDOK,
       "message box \"Error\": \"Install Canceled\\r\\nbye\" -> OK"},
      {"text compared with blanks squeezed", "msgbox ok Canceled bye\n", "msgbox", IDOK, "-> OK"},
      {"yes of a yes/no box", "msgbox yes\n", "yesno", IDYES, "-> Yes"},
      {"declining a yes/no box says No", "msgbox decline\n", "yesno", IDNO, "-> No"},
      {"declining an OK box says OK", "msgbox decline\n", "msgbox", IDOK, "-> OK"},
      {"no message box line left", "dialog ok\n", "msgbox", 97, "NO ANSWER for: message box \"Error\""},
      {"an answer the box cannot give", "msgbox cancel\n", "yesno", 97, "cannot answer message box \"Probe\""},
      {"text not in the box", "msgbox yes Shutdown\n", "yesno", 97, "expects other text"},
      {"radio then OK in a modal dialog", "dialog radio 1022\ndialog ok\n", "modal", 12, "dialog 102 ended with 12"},
      {"Esc in a modal dialog", "dialog cancel\n", "modal", IDCANCEL, "dialog 102 ended with 2"},
      {"modal dialog with no dialog line", "msgbox ok\n", "modal", 97, "NO ANSWER for: dialog 102"},
      {"radio button that does not exist", "dialog radio 1006\n", "modal", 97, "no radio button 1006"},
      {"check an entry, then click Go", "check Alpha\nclick 1010\n", "main", 101,
       "control 1006 entry \"Alpha\" checked"},
      {"a disabled button cannot be clicked", "click 1010\n", "main", 97, "control 1010 cannot be clicked"},
      {"Cancel of the main window", "uncheck Zeta\nclick 2\n", "main", 2, "timer 1 fires (WM_TIMER)"},
      {"minimised, the window draws its icon", "minimize\n", "main", 50, "draws icon 128 at -15, -15"},
  };
  for (const auto& row : rows) {
    ToolResult r = Run(row.script, row.args);
    EXPECT_EQ(row.status, r.status) << row.what << "\n" << r.out << r.err;
    EXPECT_NE(std::string::npos, r.out.find(row.transcript)) << row.what << "\n" << r.out;
  }
}

TEST_F(RunTest, TimerOfTheMainWindowFiresOnceBeforeTheUser) {
  ToolResult r = Run("click 2\n", "main");
  ASSERT_EQ(2, r.status) << r.out << r.err;
  size_t set = r.out.find("timer 1 set for 1 ms");
  size_t fires = r.out.find("timer 1 fires");
  size_t killed = r.out.find("timer 1 killed");
  ASSERT_NE(std::string::npos, set) << r.out;
  ASSERT_NE(std::string::npos, fires) << r.out;
  ASSERT_NE(std::string::npos, killed) << r.out;
  EXPECT_LT(set, fires);
  EXPECT_LT(fires, killed);
  EXPECT_EQ(r.out.find("timer 1 fires"), r.out.rfind("timer 1 fires")) << "one WM_TIMER only";
  EXPECT_NE(std::string::npos, r.out.find("10 ms")) << "the 1 ms timer is due after the 10 ms minimum";
}

TEST_F(RunTest, ChildProcessGoesOnWithTheScript) {
  // The child takes the first msgbox line, the parent the second.
  ToolResult r = Run("msgbox ok\nmsgbox no\n", "child");
  EXPECT_EQ(IDOK * 10 + IDNO, r.status) << r.out << r.err;
  size_t child = r.out.find("\"Install Canceled\\r\\nbye\" -> OK");
  size_t parent = r.out.find("\"After the child\" -> No");
  ASSERT_NE(std::string::npos, child) << r.out;
  ASSERT_NE(std::string::npos, parent) << r.out;
  EXPECT_LT(child, parent);
  // The call that started the child is told, ahead of what the child did.
  size_t start = r.out.find("starts \"child.exe\" with command line \"child.exe msgbox\" -> 1");
  ASSERT_NE(std::string::npos, start) << r.out;
  EXPECT_LT(start, child);
}

TEST_F(RunTest, RefusesWhatIsNoStub) {
  std::ofstream(machine.dir() + "/drive_c/probe/notes.exe") << "MZ\x90";
  ToolResult r = RunTool("winsim", {"run", machine.dir(), "C:\\probe\\notes.exe"});
  EXPECT_EQ(2, r.status);
  EXPECT_NE(std::string::npos, r.err.find("no program stub")) << r.err;
  r = RunTool("winsim", {"run", machine.dir(), "C:\\probe\\missing.exe"});
  EXPECT_EQ(2, r.status);
  EXPECT_NE(std::string::npos, r.err.find("does not exist")) << r.err;
}

TEST_F(RunTest, PackageLaysTheStubs) {
  ToolResult r = RunTool("winsim", {"package", machine.dir(), "C:\\pkg"});
  ASSERT_EQ(0, r.status) << r.err;
  // Each stub names the program of the build that it stands for.
  const std::pair<const char*, const char*> stubs[] = {
      {"drvsetup.exe", "drvsetup"},
      {"KVLM720_Uninstaller.exe", "KVLM720_Uninstaller"},
      {"KVLM720_Uninstaller_vista.exe", "KVLM720_Uninstaller_vista"},
  };
  for (const auto& stub : stubs) {
    std::ifstream in(machine.dir() + "/drive_c/pkg/" + stub.first);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(std::string("winsim-program: ") + stub.second + "\r", line) << stub.first;
  }
}

}  // namespace
