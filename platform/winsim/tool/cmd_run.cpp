// winsim run DIR [--script F] [--faults SPEC] [--cwd C:\dir] C:\path\prog.exe [ARGS...]
// Runs the program a stub of the machine names, as a person would start it,
// prints the transcript of what the user saw and exits with its status.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "core/faults.h"
#include "command.h"
#include "core/ini.h"
#include "core/journal.h"
#include "core/journal_reader.h"
#include "core/machine.h"
#include "core/process_launch.h"
#include "core/script.h"
#include "transcript.h"

namespace winsim {

namespace {

long FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? (long)st.st_size : 0;
}

std::string Quote(const std::string& a) { return a.find_first_of(" \t") == std::string::npos ? a : "\"" + a + "\""; }

}  // namespace

static int RunRun(const Args& args) {
  std::string dir, script, faults, cwd, exe;
  std::vector<std::string> programArgs;
  for (size_t i = 0; i < args.size(); ++i) {
    if (!exe.empty()) {
      programArgs.push_back(args[i]);
    } else if ((args[i] == "--script" || args[i] == "--faults" || args[i] == "--cwd") && i + 1 < args.size()) {
      (args[i] == "--script" ? script : args[i] == "--faults" ? faults : cwd) = args[i + 1];
      ++i;
    } else if (args[i].rfind("--", 0) == 0) {
      return ToolError("run: unknown option '" + args[i] + "'");
    } else if (dir.empty()) {
      dir = args[i];
    } else {
      exe = args[i];
    }
  }
  if (dir.empty() || exe.empty())
    return ToolError("usage: winsim run DIR [--script F] [--faults SPEC] [--cwd C:\\dir] C:\\path\\prog.exe [ARGS...]");
  if (!faults.empty()) {
    std::string e = Faults::ParseError(faults);
    if (!e.empty()) return ToolError("run: --faults: " + e);
  }
  if (!script.empty()) {
    std::ifstream in(script);
    if (!in) return ToolError("run: cannot read the script " + script);
    char real[PATH_MAX];
    if (realpath(script.c_str(), real)) script = real;
  }
  if (!cwd.empty()) setenv("WINSIM_CWD", cwd.c_str(), 1);

  std::string full, program;
  try {
    setenv("WINSIM_JOURNAL", "0", 1);
    Machine::Open(dir);
    DWORD error = ResolveStub(exe, &full, &program);
    dir = Machine::Current().dir();
    Machine::Close(false);
    unsetenv("WINSIM_JOURNAL");
    if (error == ERROR_BAD_EXE_FORMAT) return ToolError("run: " + exe + " is no program stub of the machine");
    if (error) return ToolError("run: " + exe + " does not exist on the machine");
  } catch (const MachineError& e) {
    return ToolError(std::string("run: ") + e.what());
  }
  if (cwd.empty()) cwd = full.substr(0, full.find_last_of('\\') > 2 ? full.find_last_of('\\') : 3);
  if (!HostProgramBuilt(program, full)) return 2;

  // The run starts at the top of its script.
  IniFile ini;
  std::string iniError;
  if (!ini.Load(dir + "/machine.ini", &iniError)) return ToolError("run: " + iniError);
  Script::ResetPositions(ini);
  ini.Save(dir + "/machine.ini");

  std::string journal = dir + "/journal.jsonl";
  long offset = FileSize(journal);
  std::string commandLine = Quote(full);
  for (const auto& a : programArgs) commandLine += " " + Quote(a);

  fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0) return ToolError("run: cannot start the program");
  if (pid == 0) {
    setenv("WINSIM_MACHINE", dir.c_str(), 1);
    setenv("WINSIM_EXE", full.c_str(), 1);
    setenv("WINSIM_CMDLINE", commandLine.c_str(), 1);
    setenv("WINSIM_CWD", cwd.c_str(), 1);
    if (!script.empty())
      setenv("WINSIM_SCRIPT", script.c_str(), 1);
    else
      unsetenv("WINSIM_SCRIPT");
    if (!faults.empty())
      setenv("WINSIM_FAULTS", faults.c_str(), 1);
    else
      unsetenv("WINSIM_FAULTS");
    std::string path = HostProgramPath(program);
    setenv("WINSIM_BIN", path.substr(0, path.rfind('/')).c_str(), 1);
    execl(path.c_str(), path.c_str(), (char*)nullptr);
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);

  printf("winsim run %s\n", commandLine.c_str());
  try {
    for (const JournalEntry& e : ReadJournal(journal, offset, MayHaveTranscriptLine)) {
      std::string t = TranscriptLine(e);
      if (!t.empty()) printf("%s\n", t.c_str());
    }
  } catch (const JournalError& e) {
    fflush(stdout);
    fprintf(stderr, "winsim: run: %s\n", e.what());
  }
  printf("exit status %d\n", code);
  return code;
}

static ToolCommand g_run("run", "DIR [--script F] [--faults SPEC] [--cwd C:\\dir] C:\\path\\prog.exe [ARGS...]",
                         RunRun);

}  // namespace winsim
