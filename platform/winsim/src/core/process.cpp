#include "core/process.h"

#include <cstdio>
#include <cstdlib>

#include "core/journal.h"
#include "core/machine.h"
#include "windows.h"

extern "C" void __real_exit(int status) __attribute__((noreturn, weak));

namespace winsim {

namespace {
std::string& CommandLineText() {
  static std::string text;
  return text;
}
}  // namespace

void SetCommandLine(const std::string& commandLine) { CommandLineText() = commandLine; }

const char* CommandLine() { return CommandLineText().c_str(); }

const char* ArgumentsOf(const char* p) {
  // The program name ends at the closing quote when it starts with one, else
  // at the first blank; the blanks after it are skipped.
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

void EndProcess(int status) {
  static bool ending = false;
  if (!ending && Machine::IsOpen()) {
    ending = true;
    Journal::Ui("exit", Json::Object().Set("status", status));
    Machine::Close(true);
  }
  fflush(nullptr);
  if (__real_exit) __real_exit(status);
  std::_Exit(status);
}

}  // namespace winsim

extern "C" {

// Programs are linked with --wrap=exit, so the C run-time's exit comes here
// first and the machine is written back with the status.
void __wrap_exit(int status) { winsim::EndProcess(status); }

}  // extern "C"
