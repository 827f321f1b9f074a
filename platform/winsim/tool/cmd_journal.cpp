// winsim journal DIR [--call NAME]... [--ui KIND]...
// Prints the journal lines of the machine as JSON, one a line: every line,
// or the calls of the functions and the UI lines of the kinds named.
#include <sys/stat.h>

#include <cstdio>

#include "command.h"
#include "core/journal_reader.h"

namespace winsim {

static int RunJournal(const Args& args) {
  const char* usage = "usage: winsim journal DIR [--call NAME]... [--ui KIND]...";
  std::string dir;
  JournalFilter filter;
  for (size_t i = 0; i < args.size(); ++i) {
    if ((args[i] == "--call" || args[i] == "--ui") && i + 1 < args.size()) {
      (args[i] == "--call" ? filter.calls : filter.uis).push_back(args[i + 1]);
      ++i;
    } else if (args[i].rfind("--", 0) == 0) {
      return ToolError("journal: unknown option '" + args[i] + "'");
    } else if (dir.empty()) {
      dir = args[i];
    } else {
      return ToolError(usage);
    }
  }
  if (dir.empty()) return ToolError(usage);
  struct stat st;
  if (stat((dir + "/machine.ini").c_str(), &st) != 0) return ToolError("journal: no machine at " + dir);
  try {
    for (const JournalEntry& e : ReadJournal(dir + "/journal.jsonl", filter))
      printf("%s\n", e.dump(-1, ' ', false, JournalEntry::error_handler_t::replace).c_str());
  } catch (const JournalError& e) {
    return ToolError(std::string("journal: ") + e.what());
  }
  return 0;
}

static ToolCommand g_journal("journal", "DIR [--call NAME]... [--ui KIND]...", RunJournal);

}  // namespace winsim
