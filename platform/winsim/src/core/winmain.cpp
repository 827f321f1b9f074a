// The host entry point of a simulated Windows program: it opens the machine
// named by WINSIM_MACHINE and calls the program's WinMain with the text after
// the program name, as the C run-time does on Windows.
#include <string>

#include "core/machine.h"
#include "core/process.h"
#include "windows.h"

int main(int argc, char** argv) {
  std::string commandLine;
  if (const char* cl = getenv("WINSIM_CMDLINE")) {
    commandLine = cl;
  } else {
    const char* exe = getenv("WINSIM_EXE");
    commandLine = std::string("\"") + (exe && *exe ? exe : argv[0]) + "\"";
    for (int i = 1; i < argc; ++i) {
      std::string a = argv[i];
      commandLine += " ";
      commandLine += a.find_first_of(" \t") == std::string::npos ? a : "\"" + a + "\"";
    }
  }
  winsim::SetCommandLine(commandLine);
  winsim::Machine::Current();
  static std::string args = winsim::ArgumentsOf(winsim::CommandLine());
  int status = WinMain(GetModuleHandleA(nullptr), nullptr, (LPSTR)args.c_str(), SW_SHOWDEFAULT);
  winsim::EndProcess(status);
}
