// `winsim reg`: export and import through the tool, and a registry.reg that
// does not parse stops it with the file and line, never overwritten.
#include <gtest/gtest.h>

#include <fstream>

#include "sim_machine.h"
#include "tool_run.h"

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Spill(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A fresh machine folder of its own, closed, for the tool to open.
struct ClosedMachine {
  ClosedMachine() : dir(MakeTempDir()), machine(dir + "/m") { winsim::Machine::Create(machine, "xp"); }
  ~ClosedMachine() { RemoveTree(dir); }
  std::string dir, machine;
};

TEST(WinsimReg, ABrokenRegistryStopsTheToolAndStaysAsItWas) {
  ClosedMachine m;
  std::string path = m.machine + "/registry.reg";
  const std::string broken = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\"a\"=dword:xyz\r\n";
  Spill(path, broken);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"reg", m.machine, "export"},
        std::vector<std::string>{"reg", m.machine, "import", m.dir + "/none.reg"}}) {
    ToolResult r = RunTool("winsim", args);
    EXPECT_EQ(2, r.status) << args[2];
    EXPECT_NE(std::string::npos, r.err.find(path + ":4: ")) << r.err;
    EXPECT_EQ("", r.out) << args[2];
    EXPECT_EQ(broken, Slurp(path)) << args[2];
  }
}

TEST(WinsimReg, ImportThenExport) {
  ClosedMachine m;
  Spill(m.dir + "/in.reg",
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VELKORA_LABEL_PRINTER]\r\n\"Port\"=\"USB001\"\r\n");
  ToolResult r = RunTool("winsim", {"reg", m.machine, "import", m.dir + "/in.reg"});
  ASSERT_EQ(0, r.status) << r.err;
  r = RunTool("winsim", {"reg", m.machine, "export", "HKLM\\SOFTWARE\\VELKORA_LABEL_PRINTER"});
  ASSERT_EQ(0, r.status) << r.err;
  EXPECT_EQ("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VELKORA_LABEL_PRINTER]\r\n\"Port\"=\"USB001\"\r\n\r\n",
            r.out);
  // The whole registry is what the machine keeps.
  r = RunTool("winsim", {"reg", m.machine, "export"});
  EXPECT_EQ(Slurp(m.machine + "/registry.reg"), r.out);
}

TEST(WinsimReg, RefusesWhatItCannotDo) {
  ClosedMachine m;
  std::string before = Slurp(m.machine + "/registry.reg");
  Spill(m.dir + "/bad.reg", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]\r\n\"a\"=nonsense\r\n");
  ToolResult r = RunTool("winsim", {"reg", m.machine, "import", m.dir + "/bad.reg"});
  EXPECT_EQ(2, r.status);
  EXPECT_NE(std::string::npos, r.err.find(m.dir + "/bad.reg:3: ")) << r.err;
  EXPECT_EQ(before, Slurp(m.machine + "/registry.reg"));
  r = RunTool("winsim", {"reg", m.machine, "export", "HKLM\\SOFTWARE\\Nowhere"});
  EXPECT_EQ(2, r.status);
  r = RunTool("winsim", {"reg", m.machine, "frobnicate"});
  EXPECT_EQ(2, r.status);
  r = RunTool("winsim", {"reg", m.dir + "/no-machine", "export"});
  EXPECT_EQ(2, r.status);
}

}  // namespace
