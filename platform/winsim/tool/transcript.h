// The transcript of a run: the journal lines of what the user saw, in words.
#pragma once

#include <string>

#include "core/journal_reader.h"

namespace winsim {

// One journal line as a readable line ("" for lines a person does not see).
std::string TranscriptLine(const JournalEntry& e);

// False only for a line whose head shows it has no transcript line (a call
// the transcript does not tell); for ReadJournal, which then never builds it.
bool MayHaveTranscriptLine(const JournalLineHead& head, const void* context);

}  // namespace winsim
