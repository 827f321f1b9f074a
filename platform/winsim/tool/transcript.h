// The transcript of a run: the journal lines of what the user saw, in words.
#pragma once

#include <string>

#include "core/journal_reader.h"

namespace winsim {

// One journal line as a readable line ("" for lines a person does not see).
std::string TranscriptLine(const JournalEntry& e);

}  // namespace winsim
