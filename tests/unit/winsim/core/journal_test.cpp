// The journal: one JSON object a line with virtual time and process id, the
// call's arguments in order, its result and the last error; and faults.
#include <gtest/gtest.h>
#include <windows.h>

#include <sstream>
#include <vector>

#include "core/faults.h"
#include "core/journal.h"
#include "sim_machine.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

TEST(Journal, CallLinesCarryTimePidArgumentsResultAndError) {
  SimMachine machine("xp");
  char buf[16];
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 5, 0, buf, 4, nullptr);
  Sleep(500);
  GetModuleHandleA("kernel32");
  std::vector<std::string> lines = Lines(machine.ReadFile("journal.jsonl"));
  ASSERT_EQ(3u, lines.size());
  unsigned pid = winsim::Machine::Current().pid();
  std::string head = "{\"t\": 0, \"pid\": " + std::to_string(pid) + ", ";
  EXPECT_EQ(0u, lines[0].find(head + "\"call\": \"FormatMessageA\", \"args\": [4096, null, 5, 0, ")) << lines[0];
  EXPECT_NE(std::string::npos, lines[0].find("\"ret\": 0, \"err\": 122}")) << lines[0];
  // A line is written when its call returns: Sleep has moved the clock.
  EXPECT_EQ("{\"t\": 500, \"pid\": " + std::to_string(pid) +
                ", \"call\": \"Sleep\", \"args\": [500], \"ret\": null, \"err\": 122}",
            lines[1]);
  EXPECT_EQ("{\"t\": 500, \"pid\": " + std::to_string(pid) +
                ", \"call\": \"GetModuleHandleA\", \"args\": [\"kernel32\"], \"ret\": 2088763392, \"err\": 122}",
            lines[2]);
}

TEST(Journal, StructuresAreObjectsKeyedByFieldName) {
  SimMachine machine("7");
  OSVERSIONINFOA info;
  memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  GetVersionExA(&info);
  std::string journal = machine.ReadFile("journal.jsonl");
  EXPECT_NE(std::string::npos,
            journal.find("\"args\": [{\"dwOSVersionInfoSize\": 148, \"dwMajorVersion\": 6, \"dwMinorVersion\": 1, "
                         "\"dwBuildNumber\": 7601, \"dwPlatformId\": 2, \"szCSDVersion\": \"Service Pack 1\"}]"))
      << journal;
}

TEST(Journal, ClockAndProcessIdsGoOnAcrossProcesses) {
  SimMachine machine("xp");
  unsigned first = winsim::Machine::Current().pid();
  Sleep(1000);
  machine.Restart();
  EXPECT_EQ(1000u, winsim::Machine::Current().Now());
  EXPECT_NE(first, winsim::Machine::Current().pid());
}

TEST(Faults, NthCallAndEveryCall) {
  SimMachine machine("xp");
  struct Row {
    const char* spec;
    DWORD errors[3];  // the last error after each of three GetModuleHandleA calls that fail, or 0
  } rows[] = {
      {"GetModuleHandleA:87", {87, 87, 87}},
      {"GetModuleHandleA#2:5", {0, 5, 0}},
      {"GetModuleHandleA#1:6,GetModuleHandleA#3:8", {6, 0, 8}},
      {"Sleep:87", {0, 0, 0}},
  };
  for (const auto& row : rows) {
    winsim::Faults::Set(row.spec);
    for (int i = 0; i < 3; ++i) {
      SetLastError(0xdeadbeef);
      HMODULE h = GetModuleHandleA("kernel32");
      if (row.errors[i]) {
        EXPECT_EQ(nullptr, h) << row.spec << " call " << i + 1;
        EXPECT_EQ(row.errors[i], GetLastError()) << row.spec << " call " << i + 1;
      } else {
        EXPECT_NE(nullptr, h) << row.spec << " call " << i + 1;
      }
    }
  }
}

TEST(Faults, MalformedSpecsAreNamed) {
  const char* bad[] = {"AddMonitorA", "AddMonitorA:", ":5", "AddMonitorA:x", "AddMonitorA#0:5", "AddMonitorA#x:5",
                       "AddMonitorA:0"};
  for (const char* spec : bad) EXPECT_NE("", winsim::Faults::ParseError(spec)) << spec;
  EXPECT_EQ("", winsim::Faults::ParseError("AddMonitorA#2:87,AddPrinterDriverA:5"));
  EXPECT_EQ("", winsim::Faults::ParseError(""));
}

}  // namespace
