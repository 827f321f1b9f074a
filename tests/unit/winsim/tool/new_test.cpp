// `winsim new`: every known kind of Windows, and bad input refused without
// losing anything.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "sim_machine.h"
#include "tool_run.h"

namespace {

bool IsDir(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct FolderRow {
  const char* os;
  const char* folder;  // below drive_c
  bool present;
};

const FolderRow kFolders[] = {
    {"xp", "WINDOWS/system32/spool/drivers/w32x86/3", true},
    {"xp", "WINDOWS/inf", true},
    {"xp", "WINDOWS/system32/spool/drivers/x64", false},
    {"xp", "WINDOWS/SysWOW64", false},
    {"2000", "WINNT/system32/spool/drivers/w32x86/3", true},
    {"nt4", "WINNT/system32", true},
    {"98", "WINDOWS/SYSTEM", true},
    {"98", "WINDOWS/system32", false},
    {"7-x64", "Windows/system32/spool/drivers/x64/3", true},
    {"7-x64", "Windows/system32/spool/drivers/w32x86/3", true},
    {"7-x64", "Windows/SysWOW64", true},
    {"7", "Windows/SysWOW64", false},
};

TEST(WinsimNew, FoldersOfEachKind) {
  for (const auto& row : kFolders) {
    std::string dir = MakeTempDir();
    ToolResult r = RunTool("winsim", {"new", dir + "/m", "--os", row.os});
    ASSERT_EQ(0, r.status) << row.os << ": " << r.err;
    EXPECT_EQ(row.present, IsDir(dir + "/m/drive_c/" + row.folder)) << row.os << " " << row.folder;
    RemoveTree(dir);
  }
}

TEST(WinsimNew, UnknownOsIsRefusedWithTheKnownOnes) {
  std::string dir = MakeTempDir();
  ToolResult r = RunTool("winsim", {"new", dir + "/m", "--os", "vista64"});
  EXPECT_EQ(2, r.status);
  EXPECT_NE(std::string::npos, r.err.find("unknown --os 'vista64'")) << r.err;
  EXPECT_NE(std::string::npos, r.err.find("95, 98, me, nt4, 2000, xp, 2003, vista, 7, 7-x64")) << r.err;
  EXPECT_FALSE(IsDir(dir + "/m"));
  RemoveTree(dir);
}

TEST(WinsimNew, AnExistingMachineIsNotReplaced) {
  std::string dir = MakeTempDir();
  ASSERT_EQ(0, RunTool("winsim", {"new", dir + "/m", "--os", "xp"}).status);
  std::ofstream(dir + "/m/drive_c/keep.txt") << "data";
  ToolResult r = RunTool("winsim", {"new", dir + "/m", "--os", "7"});
  EXPECT_EQ(2, r.status);
  EXPECT_NE(std::string::npos, r.err.find("a machine exists there already")) << r.err;
  std::ifstream keep(dir + "/m/drive_c/keep.txt");
  std::string text;
  keep >> text;
  EXPECT_EQ("data", text);
  RemoveTree(dir);
}

TEST(WinsimNew, MissingArgumentsGiveUsage) {
  ToolResult r = RunTool("winsim", {"new"});
  EXPECT_EQ(2, r.status);
  EXPECT_NE(std::string::npos, r.err.find("usage: winsim new DIR --os")) << r.err;
}

TEST(MachineIni, ABrokenFileIsReportedWithItsLine) {
  SimMachine machine("xp");
  winsim::Machine::Close(false);
  {
    std::ofstream ini(machine.Path("machine.ini"));
    ini << "[os]\nplatform=2\nthis line is not a setting\n";
  }
  try {
    winsim::Machine::Open(machine.dir());
    FAIL() << "opened a machine with a broken machine.ini";
  } catch (const winsim::MachineError& e) {
    EXPECT_NE(std::string::npos, std::string(e.what()).find("machine.ini:3:")) << e.what();
  }
  EXPECT_FALSE(winsim::Machine::IsOpen());
  winsim::Machine::Create(machine.dir() + "2", "xp");
  winsim::Machine::Open(machine.dir() + "2");
}

}  // namespace
