#include "core/journal_reader.h"

#include <fstream>

namespace winsim {

JournalEntry ParseJournalLine(const std::string& line) {
  JournalEntry e = JournalEntry::parse(line, nullptr, false);
  if (!e.is_discarded() && !e.is_object()) return JournalEntry(JournalEntry::value_t::discarded);
  return e;
}

std::vector<JournalEntry> ReadJournal(const std::string& path, long offset) {
  std::vector<JournalEntry> lines;
  std::ifstream in(path, std::ios::binary);
  if (!in) return lines;
  in.seekg(offset);
  std::string line;
  for (long number = 1; std::getline(in, line); ++number) {
    if (in.eof()) break;  // no line end: not written to the end yet
    JournalEntry e = ParseJournalLine(line);
    if (e.is_discarded())
      throw JournalError(path + ":" + std::to_string(number) + ": not a JSON object: " + line.substr(0, 80));
    lines.push_back(std::move(e));
  }
  return lines;
}

bool IsCall(const JournalEntry& e, const std::string& name) {
  auto it = e.find("call");
  return it != e.end() && it->is_string() && it->get_ref<const std::string&>() == name;
}

bool IsUi(const JournalEntry& e, const std::string& kind) {
  auto it = e.find("ui");
  return it != e.end() && it->is_string() && it->get_ref<const std::string&>() == kind;
}

bool JournalFilter::Matches(const JournalEntry& e) const {
  if (calls.empty() && uis.empty()) return true;
  for (const auto& name : calls)
    if (IsCall(e, name)) return true;
  for (const auto& kind : uis)
    if (IsUi(e, kind)) return true;
  return false;
}

std::vector<JournalEntry> Select(const std::vector<JournalEntry>& lines, const JournalFilter& filter) {
  std::vector<JournalEntry> out;
  for (const auto& e : lines)
    if (filter.Matches(e)) out.push_back(e);
  return out;
}

}  // namespace winsim
