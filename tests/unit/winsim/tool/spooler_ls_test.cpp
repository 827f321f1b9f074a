// The winsim tool on the spooler and the device nodes: a fresh machine's
// ports and monitor, `winsim device ... add`, and the ls listers.
#include <gtest/gtest.h>

#include "sim_machine.h"
#include "tool_run.h"

namespace {

struct Machine {
  std::string root = MakeTempDir();
  std::string dir = root + "/m";
  ~Machine() { RemoveTree(root); }
};

TEST(WinsimTool, FreshMachineHasLocalPortAndNothingElse) {
  // Vista and 7 come with printers of their own (see the next test).
  for (const char* os : {"xp", "2003"}) {
    Machine m;
    ASSERT_EQ(0, RunTool("winsim", {"new", m.dir, "--os", os}).status) << os;
    ToolResult monitors = RunTool("winsim", {"ls", m.dir, "monitors"});
    EXPECT_EQ(0, monitors.status) << os;
    EXPECT_EQ("Local Port\tlocalspl.dll\n", monitors.out) << os;
    EXPECT_EQ("", RunTool("winsim", {"ls", m.dir, "printers"}).out) << os;
    EXPECT_EQ("", RunTool("winsim", {"ls", m.dir, "drivers"}).out) << os;
    EXPECT_EQ("", RunTool("winsim", {"ls", m.dir, "devices"}).out) << os;
    ToolResult ports =
        RunTool("winsim", {"reg", m.dir, "export", "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports"});
    for (const char* p : {"\"COM1:\"", "\"COM4:\"", "\"LPT1:\"", "\"LPT3:\""})
      EXPECT_NE(std::string::npos, ports.out.find(p)) << os << " " << p;
  }
}

TEST(WinsimTool, FreshWindows7x64ListsThePrintersItShipsWith) {
  Machine m;
  ASSERT_EQ(0, RunTool("winsim", {"new", m.dir, "--os", "7-x64"}).status);
  EXPECT_EQ(
      "Local Port\tlocalspl.dll\nMicrosoft Shared Fax Monitor\tFXSMON.DLL\nStandard TCP/IP Port\ttcpmon.dll\n"
      "USB Monitor\tusbmon.dll\nWSD Port\tWSDMon.dll\n",
      RunTool("winsim", {"ls", m.dir, "monitors"}).out);
  EXPECT_EQ(
      "Fax\tMicrosoft Shared Fax Driver\tSHRFAX:\n"
      "Microsoft XPS Document Writer\tMicrosoft XPS Document Writer\tXPSPort:\n",
      RunTool("winsim", {"ls", m.dir, "printers"}).out);
  EXPECT_EQ(
      "Windows x64\t3\tMicrosoft Shared Fax Driver\tFXSDRV.DLL\n"
      "Windows x64\t3\tMicrosoft XPS Document Writer\tmxdwdrv.dll\n",
      RunTool("winsim", {"ls", m.dir, "drivers"}).out);
  EXPECT_EQ("", RunTool("winsim", {"ls", m.dir, "devices"}).out);
  ToolResult ports =
      RunTool("winsim", {"reg", m.dir, "export", "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports"});
  for (const char* p : {"\"COM1:\"", "\"COM4:\"", "\"LPT1:\"", "\"LPT3:\"", "\"FILE:\"", "\"XPSPort:\""})
    EXPECT_NE(std::string::npos, ports.out.find(p)) << p;
}

TEST(WinsimTool, DeviceAddAndList) {
  Machine m;
  ASSERT_EQ(0, RunTool("winsim", {"new", m.dir, "--os", "xp"}).status);
  ToolResult first = RunTool("winsim", {"device", m.dir, "add", "USB\\Vid_7A3C&Pid_0008&Rev_0100"});
  ASSERT_EQ(0, first.status) << first.err;
  EXPECT_EQ("USB\\VID_7A3C&PID_0008\\5&2A1B3C4D&0&1\n", first.out);
  ASSERT_EQ(0, RunTool("winsim", {"device", m.dir, "add", "USB\\Vid_046D&Pid_C52B", "--absent", "--instance",
                                  "USB\\VID_046D&PID_C52B\\7&1"})
                   .status);
  EXPECT_EQ(
      "USB\\VID_7A3C&PID_0008\\5&2A1B3C4D&0&1\tpresent\tUSB\\Vid_7A3C&Pid_0008&Rev_0100\n"
      "USB\\VID_046D&PID_C52B\\7&1\tabsent\tUSB\\Vid_046D&Pid_C52B\n",
      RunTool("winsim", {"ls", m.dir, "devices"}).out);
  // The id without its revision follows the one with it.
  ToolResult reg = RunTool("winsim", {"reg", m.dir, "export", "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USB"});
  EXPECT_NE(std::string::npos, reg.out.find("\"HardwareID\"=hex(7):")) << reg.out;

  struct Row {
    std::vector<std::string> args;
  } bad[] = {
      {{"device", m.dir, "add"}},
      {{"device", m.dir, "add", "NoEnumerator"}},
      {{"device", m.dir, "add", "USB\\X", "--instance", "USB\\only-two"}},
      {{"device", m.dir, "remove", "USB\\X"}},
  };
  for (const auto& r : bad) EXPECT_EQ(2, RunTool("winsim", r.args).status) << r.args.back();
}

}  // namespace
