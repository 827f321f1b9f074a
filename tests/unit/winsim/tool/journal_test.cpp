// winsim journal DIR [--call NAME]... [--ui KIND]...: the machine's journal
// lines as JSON, one a line, all or those of the calls and UI kinds named.
#include <gtest/gtest.h>
#include <windows.h>

#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

#include "core/journal.h"
#include "sim_machine.h"
#include "tool_run.h"

namespace {

std::vector<nlohmann::json> Parse(const std::string& out) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

// What each line is: the call's name or the UI kind.
std::vector<std::string> LineNames(const std::vector<nlohmann::json>& lines) {
  std::vector<std::string> names;
  for (const auto& l : lines) names.push_back(l.value("call", l.value("ui", "?")));
  return names;
}

TEST(WinsimJournal, PrintsTheLinesSelected) {
  SimMachine machine("xp");
  unsigned pid = winsim::Machine::Current().pid();
  GetModuleHandleA("kernel32");
  Sleep(20);
  winsim::Journal::Ui("msgbox", winsim::Json::Object().Set("caption", "Setup").Set("text", "Done").Set("answer", 1));
  Sleep(30);
  winsim::Journal::Ui("exit", winsim::Json::Object().Set("status", 0));
  machine.Restart();

  const struct {
    std::vector<std::string> options;
    std::vector<std::string> names;
  } rows[] = {
      {{}, {"GetModuleHandleA", "Sleep", "msgbox", "Sleep", "exit"}},
      {{"--call", "Sleep"}, {"Sleep", "Sleep"}},
      {{"--ui", "msgbox"}, {"msgbox"}},
      {{"--call", "GetModuleHandleA", "--ui", "exit", "--ui", "msgbox"}, {"GetModuleHandleA", "msgbox", "exit"}},
      {{"--call", "MessageBoxA"}, {}},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args = {"journal", machine.dir()};
    args.insert(args.end(), row.options.begin(), row.options.end());
    std::string options;
    for (const auto& o : row.options) options += " " + o;
    SCOPED_TRACE("winsim journal DIR" + options);
    ToolResult r = RunTool("winsim", args);
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_EQ(row.names, LineNames(Parse(r.out))) << r.out;
  }

  // Every field as written, in its order.
  ToolResult r = RunTool("winsim", {"journal", machine.dir(), "--ui", "msgbox"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("{\"t\":20,\"pid\":" + std::to_string(pid) +
                ",\"ui\":\"msgbox\",\"caption\":\"Setup\",\"text\":\"Done\",\"answer\":1}\n",
            r.out);
}

TEST(WinsimJournal, RefusesWhatItCannotRead) {
  SimMachine machine("xp");
  std::ofstream(machine.dir() + "/journal.jsonl", std::ios::app) << "{\"t\": 0}\nnot json\n";
  const struct {
    std::vector<std::string> args;
    const char* error;
  } rows[] = {
      {{"journal", machine.dir(), "--pid", "1000"}, "unknown option '--pid'"},
      {{"journal", machine.dir(), "--call"}, "unknown option '--call'"},
      {{"journal"}, "usage: winsim journal DIR"},
      {{"journal", machine.dir() + "/nothing"}, "no machine at"},
      {{"journal", machine.dir()}, "journal.jsonl:2: not a JSON object"},
      {{"journal", machine.dir(), "--call", "Sleep"}, "journal.jsonl:2: not a JSON object"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.error);
    ToolResult r = RunTool("winsim", row.args);
    EXPECT_EQ(2, r.status);
    EXPECT_NE(std::string::npos, r.err.find(row.error)) << r.err;
  }
}

}  // namespace
