#include "core/journal_reader.h"

#include <algorithm>
#include <fstream>

namespace winsim {

namespace {

// A line's top-level fields as nlohmann's parser meets them, building
// nothing. It runs the lexer and grammar of JournalEntry::parse, so a line it
// accepts as an object is one that ParseJournalLine builds.
class HeadReader {
 public:
  using number_integer_t = JournalEntry::number_integer_t;
  using number_unsigned_t = JournalEntry::number_unsigned_t;
  using number_float_t = JournalEntry::number_float_t;
  using string_t = JournalEntry::string_t;
  using binary_t = JournalEntry::binary_t;

  explicit HeadReader(JournalLineHead* head) : m_head(head) {}

  bool null() { return true; }
  bool boolean(bool) { return true; }
  bool number_integer(number_integer_t) { return true; }
  bool number_unsigned(number_unsigned_t) { return true; }
  bool number_float(number_float_t, const string_t&) { return true; }
  bool binary(binary_t&) { return true; }
  bool string(string_t& s) {
    if (m_depth == 1 && m_field == kCall) m_head->calls.push_back(s);
    if (m_depth == 1 && m_field == kUi) m_head->uis.push_back(s);
    return true;
  }
  bool start_object(std::size_t) {
    if (m_depth == 0) m_object = true;
    ++m_depth;
    return true;
  }
  bool key(string_t& k) {
    if (m_depth != 1) return true;
    m_field = k == "call" ? kCall : k == "ui" ? kUi : kOther;
    if (m_field == kUi) m_head->hasUi = true;
    if (k == "left-open") m_head->hasLeftOpen = true;
    return true;
  }
  bool end_object() {
    --m_depth;
    return true;
  }
  bool start_array(std::size_t) {
    ++m_depth;
    return true;
  }
  bool end_array() {
    --m_depth;
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

  bool object() const { return m_object; }

 private:
  enum Field { kOther, kCall, kUi };
  JournalLineHead* m_head;
  int m_depth = 0;
  Field m_field = kOther;
  bool m_object = false;
};

// The head of one line; false when the line is not a JSON object.
bool ReadHead(const std::string& line, JournalLineHead* head) {
  HeadReader reader(head);
  return JournalEntry::sax_parse(line, &reader) && reader.object();
}

bool MayMatchFilter(const JournalLineHead& head, const void* filter) {
  return static_cast<const JournalFilter*>(filter)->MayMatch(head);
}

}  // namespace

JournalEntry ParseJournalLine(const std::string& line) {
  JournalEntry e = JournalEntry::parse(line, nullptr, false);
  if (!e.is_discarded() && !e.is_object()) return JournalEntry(JournalEntry::value_t::discarded);
  return e;
}

std::vector<JournalEntry> ReadJournal(const std::string& path, long offset, JournalWanted wanted, const void* context) {
  std::vector<JournalEntry> lines;
  std::ifstream in(path, std::ios::binary);
  if (!in) return lines;
  in.seekg(offset);
  std::string line;
  for (long number = 1; std::getline(in, line); ++number) {
    if (in.eof()) break;  // no line end: not written to the end yet
    if (wanted) {
      JournalLineHead head;
      if (!ReadHead(line, &head))
        throw JournalError(path + ":" + std::to_string(number) + ": not a JSON object: " + line.substr(0, 80));
      if (!wanted(head, context)) continue;
    }
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

bool JournalFilter::MayMatch(const JournalLineHead& head) const {
  if (calls.empty() && uis.empty()) return true;
  for (const auto& name : head.calls)
    if (std::find(calls.begin(), calls.end(), name) != calls.end()) return true;
  for (const auto& kind : head.uis)
    if (std::find(uis.begin(), uis.end(), kind) != uis.end()) return true;
  return false;
}

std::vector<JournalEntry> Select(const std::vector<JournalEntry>& lines, const JournalFilter& filter) {
  std::vector<JournalEntry> out;
  for (const auto& e : lines)
    if (filter.Matches(e)) out.push_back(e);
  return out;
}

std::vector<JournalEntry> ReadJournal(const std::string& path, const JournalFilter& filter) {
  std::vector<JournalEntry> lines = ReadJournal(path, 0, MayMatchFilter, &filter);
  lines.erase(std::remove_if(lines.begin(), lines.end(), [&](const JournalEntry& e) { return !filter.Matches(e); }),
              lines.end());
  return lines;
}

}  // namespace winsim
