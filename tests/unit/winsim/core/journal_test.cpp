// The journal: one JSON object a line with virtual time and process id, the
// call's arguments in order, its result and the last error; and faults.
#include <gtest/gtest.h>
#include <windows.h>

#include "core/faults.h"
#include "core/machine.h"
#include "journal_query.h"
#include "sim_machine.h"

namespace {

TEST(Journal, CallLinesCarryTimePidArgumentsResultAndError) {
  SimMachine machine("xp");
  char buf[16];
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 5, 0, buf, 4, nullptr);
  Sleep(500);
  GetModuleHandleA("kernel32");
  JournalQuery journal(machine);
  JournalLines lines = journal.Lines();
  ASSERT_EQ(3u, lines.size()) << journal;
  unsigned pid = winsim::Machine::Current().pid();
  nlohmann::json& format = lines[0];
  EXPECT_EQ(0, format["t"]) << format;
  EXPECT_EQ(pid, format["pid"]) << format;
  EXPECT_EQ("FormatMessageA", format["call"]) << format;
  // The flags, no source, message 5, language 0, then the buffer and its size.
  EXPECT_EQ(4096, format["args"][0]) << format;
  EXPECT_TRUE(format["args"].at(1).is_null()) << format;
  EXPECT_EQ(5, format["args"][2]) << format;
  EXPECT_EQ(0, format["args"][3]) << format;
  EXPECT_EQ(0, format["ret"]) << format;
  EXPECT_EQ(122, format["err"]) << format;
  // A line is written when its call returns: Sleep has moved the clock.
  EXPECT_EQ(
      nlohmann::json({{"t", 500}, {"pid", pid}, {"call", "Sleep"}, {"args", {500}}, {"ret", nullptr}, {"err", 122}}),
      lines[1]);
  EXPECT_EQ(nlohmann::json({{"t", 500},
                            {"pid", pid},
                            {"call", "GetModuleHandleA"},
                            {"args", {"kernel32"}},
                            {"ret", 2088763392u},
                            {"err", 122}}),
            lines[2]);
}

TEST(Journal, StructuresAreObjectsKeyedByFieldName) {
  SimMachine machine("7");
  OSVERSIONINFOA info;
  memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  GetVersionExA(&info);
  JournalQuery journal(machine);
  JournalLines calls = journal.Calls("GetVersionExA");
  ASSERT_EQ(1u, calls.size()) << journal;
  EXPECT_EQ(nlohmann::json::array({{{"dwOSVersionInfoSize", 148},
                                    {"dwMajorVersion", 6},
                                    {"dwMinorVersion", 1},
                                    {"dwBuildNumber", 7601},
                                    {"dwPlatformId", 2},
                                    {"szCSDVersion", "Service Pack 1"}}}),
            calls[0]["args"]);
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
  const char* bad[] = {"AddMonitorA",     "AddMonitorA:",    ":5",           "AddMonitorA:x",
                       "AddMonitorA#0:5", "AddMonitorA#x:5", "AddMonitorA:0"};
  for (const char* spec : bad) EXPECT_NE("", winsim::Faults::ParseError(spec)) << spec;
  EXPECT_EQ("", winsim::Faults::ParseError("AddMonitorA#2:87,AddPrinterDriverA:5"));
  EXPECT_EQ("", winsim::Faults::ParseError(""));
}

}  // namespace
