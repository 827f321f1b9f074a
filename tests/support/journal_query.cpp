#include "journal_query.h"

#include <stdexcept>

#include "core/journal.h"
#include "core/journal_reader.h"
#include "sim_machine.h"

JournalLines JournalLines::Where(const std::string& pointer, const nlohmann::json& value) const {
  const nlohmann::json::json_pointer at(pointer);
  JournalLines out;
  for (const auto& line : *this)
    if (line.contains(at) && line.at(at) == value) out.push_back(line);
  return out;
}

bool HasFields(const nlohmann::json& object, const nlohmann::json& fields) {
  if (!fields.is_object()) throw std::invalid_argument("the fields must be an object: " + fields.dump());
  if (!object.is_object()) return false;
  for (const auto& field : fields.items()) {
    auto it = object.find(field.key());
    if (it == object.end() || *it != field.value()) return false;
  }
  return true;
}

JournalLines JournalLines::With(const nlohmann::json& fields) const {
  JournalLines out;
  for (const auto& line : *this)
    if (HasFields(line, fields)) out.push_back(line);
  return out;
}

JournalQuery::JournalQuery(const SimMachine& machine) : JournalQuery(machine.dir()) {}

JournalQuery::JournalQuery(const std::string& machineDir) {
  winsim::Journal::Flush();
  for (const auto& e : winsim::ReadJournal(machineDir + "/journal.jsonl")) {
    m_lines.emplace_back(e);
    m_text.push_back(e.dump());
  }
}

JournalLines JournalQuery::Calls(const std::string& name) const { return m_lines.Where("/call", name); }

JournalLines JournalQuery::Ui(const std::string& kind) const { return m_lines.Where("/ui", kind); }

std::vector<int> Pauses(const JournalQuery& journal) {
  std::vector<int> pauses;
  for (const auto& line : journal.Calls("Sleep")) pauses.push_back(line["args"][0]);
  return pauses;
}

JournalLines JournalQuery::LeftOpen() const {
  JournalLines lines;
  for (const auto& l : m_lines)
    if (l.contains("left-open")) lines.push_back(l);
  return lines;
}

std::ostream& operator<<(std::ostream& out, const JournalQuery& journal) {
  for (const auto& line : journal.Text()) out << line << "\n";
  return out;
}
