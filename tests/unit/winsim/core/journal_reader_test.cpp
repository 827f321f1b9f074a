// Reading the journal back: one object a line in the order written, a line
// still being written left out, anything else named by file and line; and
// the selection of calls and UI lines.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "core/journal_reader.h"
#include "sim_machine.h"

namespace {

class JournalReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { m_dir = MakeTempDir(); }
  void TearDown() override { RemoveTree(m_dir); }
  std::string Write(const std::string& text) {
    std::string path = m_dir + "/journal.jsonl";
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::string m_dir;
};

const char kJournal[] =
    "{\"t\": 0, \"pid\": 1000, \"call\": \"SetTimer\", \"args\": [65552, 1, 1, null], \"ret\": 1, \"err\": 0}\n"
    "{\"t\": 10, \"pid\": 1000, \"ui\": \"timer\", \"dialog\": 102, \"timer\": 1}\n"
    "{\"t\": 10, \"pid\": 1000, \"call\": \"KillTimer\", \"args\": [65552, 1], \"ret\": 1, \"err\": 0}\n"
    "{\"t\": 10, \"pid\": 1000, \"service\": \"Spooler\", \"state\": \"stopped\"}\n"
    "{\"t\": 10, \"pid\": 1004, \"ui\": \"msgbox\", \"caption\": \"Caf\xc3\xa9\", \"text\": \"a\\r\\nb\", \"type\": "
    "36, "
    "\"answer\": 6}\n"
    "{\"t\": 12, \"pid\": 1004, \"ui\": \"exit\", \"status\": 0}\n";

TEST_F(JournalReaderTest, LinesAreObjectsInTheOrderWritten) {
  auto lines = winsim::ReadJournal(Write(kJournal));
  ASSERT_EQ(6u, lines.size());
  EXPECT_EQ("SetTimer", lines[0]["call"]);
  EXPECT_EQ(65552, lines[0]["args"][0]);
  EXPECT_TRUE(lines[0]["args"].at(3).is_null());
  EXPECT_EQ("Caf\xc3\xa9", lines[4]["caption"]);
  EXPECT_EQ("a\r\nb", lines[4]["text"]);
  EXPECT_EQ(1004, lines[5]["pid"]);
  // Fields keep their order: a line printed again reads as written.
  EXPECT_EQ("{\"t\":10,\"pid\":1000,\"ui\":\"timer\",\"dialog\":102,\"timer\":1}", lines[1].dump());
}

TEST_F(JournalReaderTest, ReadsFromAnOffset) {
  std::string first = std::string(kJournal).substr(0, std::string(kJournal).find('\n') + 1);
  auto lines = winsim::ReadJournal(Write(kJournal), (long)first.size());
  ASSERT_EQ(5u, lines.size());
  EXPECT_EQ("timer", lines[0]["ui"]);
}

TEST_F(JournalReaderTest, ALineWithoutItsEndIsLeftOut) {
  auto lines = winsim::ReadJournal(Write(std::string(kJournal) + "{\"t\": 13, \"pid\": 1004, \"call\": \"Sl"));
  EXPECT_EQ(6u, lines.size());
  lines = winsim::ReadJournal(Write(std::string(kJournal) + "{\"t\": 13, \"pid\": 1004, \"ui\": \"exit\"}"));
  EXPECT_EQ(6u, lines.size());
  EXPECT_TRUE(winsim::ReadJournal(m_dir + "/none.jsonl").empty()) << "no journal yet";
}

TEST_F(JournalReaderTest, WhatIsNoObjectIsNamedByLine) {
  const struct {
    const char* what;
    const char* line;
  } rows[] = {
      {"cut short", "{\"t\": 13, \"call\": \"Sl\n"},
      {"an array", "[1, 2]\n"},
      {"a number", "5\n"},
      {"an empty line", "\n"},
      {"text", "exit status 0\n"},
      {"two objects", "{\"t\": 1} {\"t\": 2}\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::string path = Write(std::string(kJournal) + row.line + "{\"t\": 20, \"pid\": 1000, \"ui\": \"exit\"}\n");
    try {
      winsim::ReadJournal(path);
      ADD_FAILURE() << "read without complaint";
    } catch (const winsim::JournalError& e) {
      EXPECT_EQ(0u, std::string(e.what()).find(path + ":7: ")) << e.what();
    }
    // A line no reader wants is still read to its end.
    try {
      winsim::ReadJournal(path, winsim::JournalFilter{{"MessageBoxA"}, {}});
      ADD_FAILURE() << "read without complaint, filtered";
    } catch (const winsim::JournalError& e) {
      EXPECT_EQ(0u, std::string(e.what()).find(path + ":7: ")) << e.what();
    }
    EXPECT_TRUE(winsim::ParseJournalLine(std::string(row.line, strlen(row.line) - 1)).is_discarded());
  }
}

TEST_F(JournalReaderTest, SelectsCallsAndUiLinesByName) {
  auto lines = winsim::ReadJournal(Write(kJournal));
  const struct {
    winsim::JournalFilter filter;
    std::vector<size_t> kept;  // indexes of kJournal's lines
  } rows[] = {
      {{{}, {}}, {0, 1, 2, 3, 4, 5}},
      {{{"KillTimer"}, {}}, {2}},
      {{{"SetTimer", "KillTimer"}, {}}, {0, 2}},
      {{{}, {"msgbox"}}, {4}},
      {{{"SetTimer"}, {"timer", "exit"}}, {0, 1, 5}},
      {{{"settimer"}, {"Timer"}}, {}},  // names are compared exactly
      {{{"Spooler"}, {"stopped"}}, {}},
  };
  for (const auto& row : rows) {
    std::vector<winsim::JournalEntry> expected;
    for (size_t i : row.kept) expected.push_back(lines[i]);
    std::string names;
    for (const auto& c : row.filter.calls) names += " --call " + c;
    for (const auto& u : row.filter.uis) names += " --ui " + u;
    SCOPED_TRACE(names.empty() ? "no filter" : names);
    EXPECT_EQ(expected, winsim::Select(lines, row.filter));
    EXPECT_EQ(expected, winsim::ReadJournal(m_dir + "/journal.jsonl", row.filter));
  }
  // Only a line's own fields name it: not a field of an argument, and a
  // line's "ui" counts wherever it stands.
  std::string path = Write(
      "{\"t\": 1, \"call\": \"Sleep\", \"args\": [{\"call\": \"SetTimer\", \"ui\": \"timer\"}]}\n"
      "{\"t\": 2, \"call\": \"Sleep\", \"ret\": {\"ui\": \"exit\"}, \"ui\": \"timer\"}\n");
  auto named = winsim::ReadJournal(path, winsim::JournalFilter{{"SetTimer"}, {"timer"}});
  ASSERT_EQ(1u, named.size());
  EXPECT_EQ(2, named[0]["t"]);
  EXPECT_TRUE(winsim::ReadJournal(path, winsim::JournalFilter{{}, {"exit"}}).empty());
  EXPECT_EQ(2u, winsim::ReadJournal(path, winsim::JournalFilter{{"Sleep"}, {}}).size());
  EXPECT_TRUE(winsim::IsCall(lines[0], "SetTimer"));
  EXPECT_FALSE(winsim::IsCall(lines[1], "timer"));
  EXPECT_TRUE(winsim::IsUi(lines[1], "timer"));
  EXPECT_FALSE(winsim::IsUi(lines[0], "SetTimer"));
}

}  // namespace
