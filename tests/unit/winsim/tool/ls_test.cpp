// winsim ls DIR files C:\path: a folder of drive C: as a person reads it.
#include <gtest/gtest.h>
#include <windows.h>

#include "sim_files.h"
#include "sim_machine.h"
#include "tool_run.h"

namespace {

TEST(WinsimLs, FilesInSearchOrderWithAttributes) {
  SimMachine machine("xp");
  ASSERT_TRUE(MakeDir("C:\\Pkg"));
  ASSERT_TRUE(MakeFile("C:\\Pkg\\b.dll", "12345", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  ASSERT_TRUE(MakeFile("C:\\Pkg\\A.inf", "ab", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  ASSERT_TRUE(MakeDir("C:\\Pkg\\_sub"));
  ASSERT_TRUE(MakeFile("C:\\Pkg\\c.txt", ""));
  ASSERT_TRUE(SetFileAttributesA("C:\\Pkg\\c.txt", FILE_ATTRIBUTE_NORMAL));
  machine.Restart();
  ToolResult r = RunTool("winsim", {"ls", machine.dir(), "files", "c:\\pkg"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("A.inf\t2\tHS\nb.dll\t5\tRA\nc.txt\t0\t-\n_sub\t0\tD\n", r.out);

  struct Row {
    std::vector<std::string> args;
    const char* error;
  } rows[] = {
      {{"ls", machine.dir(), "files", "C:\\NoSuch"}, "no folder"},
      {{"ls", machine.dir(), "files", "C:\\Pkg\\b.dll"}, "no folder"},
      {{"ls", machine.dir(), "files", "D:\\"}, "not a path on C:"},
      {{"ls", machine.dir(), "gadgets", "C:\\"}, "unknown kind 'gadgets'"},
      {{"ls", machine.dir(), "files"}, "usage"},
      {{"ls"}, "usage"},
  };
  for (const auto& row : rows) {
    ToolResult bad = RunTool("winsim", row.args);
    EXPECT_EQ(2, bad.status) << row.error;
    EXPECT_NE(std::string::npos, bad.err.find(row.error)) << bad.err;
  }
}

}  // namespace
