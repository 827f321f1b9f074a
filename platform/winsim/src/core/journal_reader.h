// Reads journal.jsonl back: each line as a JSON object, in the order written.
// For the winsim tool and the tests; the machine itself never reads it.
#pragma once

#include <nlohmann/json.hpp>

#include <stdexcept>
#include <string>
#include <vector>

namespace winsim {

// One journal line. Its fields keep the order they were written in, so that
// a line printed again reads as in the file.
using JournalEntry = nlohmann::ordered_json;

class JournalError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One line as an object; a discarded value (is_discarded()) when the line
// is not a JSON object.
JournalEntry ParseJournalLine(const std::string& line);

// What the top-level fields of a line say about it, learnt without building
// the object: every string value of "call" and of "ui", and whether the
// fields "ui" and "left-open" are there at all (of any value).
struct JournalLineHead {
  std::vector<std::string> calls;
  std::vector<std::string> uis;
  bool hasUi = false;
  bool hasLeftOpen = false;
};

// Which lines a reader wants built, judged by their heads; a line it does not
// want is still checked to be an object, but never built. It may want more
// lines than it ends up using, never fewer.
using JournalWanted = bool (*)(const JournalLineHead& head, const void* context);

// The lines of a journal file from byte `offset` on. A missing file is an
// empty journal; a last line without its line end is still being written
// (or was cut off when its process died) and is left out. A line that is
// not a JSON object throws JournalError naming the file and the line.
// With `wanted`, only the lines it wants are returned.
std::vector<JournalEntry> ReadJournal(const std::string& path, long offset = 0, JournalWanted wanted = nullptr,
                                      const void* context = nullptr);

// A call line of the function `name`: {"call": name, "args": [...], ...}.
bool IsCall(const JournalEntry& e, const std::string& name);
// A line of what the user saw, of the kind `kind`: {"ui": kind, ...}.
bool IsUi(const JournalEntry& e, const std::string& kind);

// Which lines to keep: the calls of any of `calls` and the UI lines of any
// of `uis`; every line when both are empty.
struct JournalFilter {
  std::vector<std::string> calls;
  std::vector<std::string> uis;

  bool Matches(const JournalEntry& e) const;
  // False only for a line that cannot match, by its head.
  bool MayMatch(const JournalLineHead& head) const;
};

std::vector<JournalEntry> Select(const std::vector<JournalEntry>& lines, const JournalFilter& filter);

// The lines of a journal file the filter keeps: Select(ReadJournal(path),
// filter), without building the lines it leaves.
std::vector<JournalEntry> ReadJournal(const std::string& path, const JournalFilter& filter);

}  // namespace winsim
