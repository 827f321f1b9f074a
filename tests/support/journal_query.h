// The journal of a simulated machine as objects, for tests: call lines by
// function name, lines of what the user saw by kind, fields by name.
//
//   JournalQuery journal(machine);
//   JournalLines sets = journal.Calls("SetTimer");
//   ASSERT_EQ(1u, sets.size()) << journal;
//   EXPECT_EQ(1, sets[0]["args"][1]);
//   EXPECT_EQ(1u, journal.Ui("check").With({{"dialog", 130}, {"id", 1006}}).size());
//   EXPECT_EQ(2u, journal.Calls("SendMessageA").Where("/args/1", WM_SETICON).size());
//
// Objects compare by their fields, whatever order the journal wrote them in.
#pragma once

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>
#include <vector>

class SimMachine;

// Whether the object has every field of the object `fields`, with its value
// (null included): HasFields(record, {{"pServerName", nullptr}, {"Priority", 1}}).
bool HasFields(const nlohmann::json& object, const nlohmann::json& fields);

// Journal lines in the order written.
class JournalLines : public std::vector<nlohmann::json> {
 public:
  using std::vector<nlohmann::json>::vector;

  // The lines whose value at the JSON pointer ("/dialog", "/args/1") equals
  // `value`.
  JournalLines Where(const std::string& pointer, const nlohmann::json& value) const;
  // The lines that have every field of the object `fields` with its value:
  // With({{"dialog", 130}, {"id", 1006}}).
  JournalLines With(const nlohmann::json& fields) const;
};

class JournalQuery {
 public:
  // The journal of the open machine as it stands now.
  explicit JournalQuery(const SimMachine& machine);
  // The journal of a machine folder, e.g. after `winsim run`.
  explicit JournalQuery(const std::string& machineDir);

  const JournalLines& Lines() const { return m_lines; }
  // The lines as the journal has them, fields in the order written.
  const std::vector<std::string>& Text() const { return m_text; }
  // The call lines of the function, in order.
  JournalLines Calls(const std::string& name) const;
  // The lines of what the user saw of the kind ("msgbox", "dialog", ...).
  JournalLines Ui(const std::string& kind) const;
  bool Called(const std::string& name) const { return !Calls(name).empty(); }
  // The handles a process left open when it ended: {"left-open": kind,
  // "handle": number, "name": ...}.
  JournalLines LeftOpen() const;

 private:
  JournalLines m_lines;
  std::vector<std::string> m_text;
};

// The milliseconds of the Sleep calls, in order.
std::vector<int> Pauses(const JournalQuery& journal);

// Every line, one a line, for failure messages.
std::ostream& operator<<(std::ostream& out, const JournalQuery& journal);
