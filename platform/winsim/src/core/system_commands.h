// Commands of Windows itself that programs start with WinExec ("net stop
// spooler"): the part of the machine that owns the service registers what
// the command does.
#pragma once

#include <string>

#include "windows.h"

namespace winsim {

// Runs the command; answers WinExec's result (greater than 31 on success).
using SystemCommand = UINT (*)(const std::string& commandLine);

// `commandLine` is matched without regard to case and runs of blanks.
void RegisterSystemCommand(const char* commandLine, SystemCommand run);
SystemCommand FindSystemCommand(const std::string& commandLine);

}  // namespace winsim
