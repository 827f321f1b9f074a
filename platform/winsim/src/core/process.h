// The life of a simulated process: its command line and its end.
#pragma once

#include <string>

namespace winsim {

// Records the exit status, writes the machine back and ends the process.
[[noreturn]] void EndProcess(int status);
// The process's whole command line, program name first, as GetCommandLineA
// answers it; set once by the program's entry before WinMain.
void SetCommandLine(const std::string& commandLine);
const char* CommandLine();
// The text after the program name, as the C run-time hands it to WinMain.
const char* ArgumentsOf(const char* commandLine);

}  // namespace winsim
