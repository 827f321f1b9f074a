// Program stubs: an .exe inside the machine is one line
// "winsim-program: NAME" naming a host program of the build, which runs as
// the child process on the same machine.
#include "core/process_launch.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

#include "core/filesystem.h"
#include "core/journal.h"
#include "core/machine.h"

namespace winsim {

// The process's current folder, as SetCurrentDirectoryA left it.
std::string CurrentDirectory() {
  std::string d = FileSystem::CurrentDirectory();
  while (d.size() > 3 && d.back() == '\\') d.pop_back();
  return d;
}

// A Windows path of the program made absolute, with "." and ".." folded.
bool FullPath(const std::string& path, std::string* full) {
  std::string p = path;
  for (auto& c : p)
    if (c == '/') c = '\\';
  if (p.size() >= 2 && p[1] == ':') {
    if (toupper((unsigned char)p[0]) != 'C') return false;
    p = p.size() > 2 && p[2] == '\\' ? p.substr(3) : CurrentDirectory().substr(3) + "\\" + p.substr(2);
  } else if (!p.empty() && p[0] == '\\') {
    p = p.substr(1);
  } else {
    p = CurrentDirectory().substr(3) + "\\" + p;
  }
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos <= p.size()) {
    size_t end = p.find('\\', pos);
    if (end == std::string::npos) end = p.size();
    std::string part = p.substr(pos, end - pos);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    pos = end + 1;
  }
  *full = "C:";
  for (const auto& part : parts) *full += "\\" + part;
  if (parts.empty()) *full += "\\";
  return true;
}

// The host file of a full Windows path, each part looked up without regard
// to case. 0 when it exists, else ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND.
DWORD HostFile(const std::string& full, std::string* host) {
  std::string cur = Machine::Current().PathOf("drive_c");
  std::vector<std::string> parts;
  size_t pos = 3;
  while (pos < full.size()) {
    size_t end = full.find('\\', pos);
    if (end == std::string::npos) end = full.size();
    parts.push_back(full.substr(pos, end - pos));
    pos = end + 1;
  }
  for (size_t i = 0; i < parts.size(); ++i) {
    DIR* dir = opendir(cur.c_str());
    if (!dir) return ERROR_PATH_NOT_FOUND;
    std::string found;
    while (struct dirent* e = readdir(dir))
      if (strcasecmp(e->d_name, parts[i].c_str()) == 0) found = e->d_name;
    closedir(dir);
    if (found.empty()) return i + 1 == parts.size() ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    cur += "/" + found;
  }
  struct stat st;
  if (stat(cur.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return ERROR_FILE_NOT_FOUND;
  *host = cur;
  return 0;
}

// The program a stub names; ERROR_BAD_EXE_FORMAT when the file is no stub.
DWORD StubProgram(const std::string& host, std::string* program) {
  std::ifstream in(host, std::ios::binary);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  const std::string prefix = "winsim-program: ";
  if (line.compare(0, prefix.size(), prefix) != 0 || line.size() == prefix.size()) return ERROR_BAD_EXE_FORMAT;
  *program = line.substr(prefix.size());
  if (program->find('/') != std::string::npos || *program == "." || *program == "..") return ERROR_BAD_EXE_FORMAT;
  return 0;
}

std::string BinDir() {
  const char* bin = getenv("WINSIM_BIN");
  if (bin && *bin) return bin;
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return ".";
  self[n] = 0;
  std::string dir = self;
  return dir.substr(0, dir.rfind('/'));
}

// The first word of a command line: quoted, or up to the first blank.
std::string FirstWord(const std::string& commandLine) {
  const char* p = commandLine.c_str();
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '"') {
    const char* end = strchr(p + 1, '"');
    return end ? std::string(p + 1, end) : std::string(p + 1);
  }
  const char* end = p;
  while (*end && *end != ' ' && *end != '\t') ++end;
  return std::string(p, end);
}

// Finds the executable a command line names, as CreateProcess does without
// an application name: the program's folder, the current folder, the system
// folder and the Windows folder, with ".exe" added to a name without one.
DWORD FindExecutable(const std::string& name, std::string* full, std::string* host) {
  std::string n = name;
  size_t slash = n.find_last_of('\\');
  if (n.find('.', slash == std::string::npos ? 0 : slash) == std::string::npos) n += ".exe";
  std::vector<std::string> candidates;
  if (n.find('\\') != std::string::npos || n.find(':') != std::string::npos) {
    candidates.push_back(n);
  } else {
    const char* exe = getenv("WINSIM_EXE");
    if (exe && *exe) {
      std::string e = exe;
      candidates.push_back(e.substr(0, e.find_last_of('\\') + 1) + n);
    }
    candidates.push_back(CurrentDirectory() + "\\" + n);
    candidates.push_back(Machine::Current().os().SystemDir() + "\\" + n);
    candidates.push_back(Machine::Current().os().windir + "\\" + n);
  }
  DWORD error = ERROR_FILE_NOT_FOUND;
  for (const auto& c : candidates) {
    std::string f;
    if (!FullPath(c, &f)) continue;
    DWORD e = HostFile(f, host);
    if (e == 0) {
      *full = f;
      return 0;
    }
    if (candidates.size() == 1) error = e;
  }
  return error;
}

std::string HostProgramPath(const std::string& program) { return BinDir() + "/" + program; }

bool HostProgramBuilt(const std::string& program, const std::string& exe) {
  if (access(HostProgramPath(program).c_str(), X_OK) == 0) return true;
  fprintf(stderr, "winsim: the program %s of %s is not built (looked in %s)\n", program.c_str(), exe.c_str(),
          BinDir().c_str());
  return false;
}

DWORD ResolveStub(const std::string& windowsPath, std::string* full, std::string* program) {
  std::string host;
  if (!FullPath(windowsPath, full)) return ERROR_INVALID_NAME;
  DWORD error = HostFile(*full, &host);
  return error ? error : StubProgram(host, program);
}

// Runs the host program as the child process and waits for its end.
DWORD RunChild(const std::string& program, const std::string& exe, const std::string& commandLine,
               const std::string& cwd, DWORD* exitCode) {
  std::string path = HostProgramPath(program);
  Machine::SaveAll();
  Journal::Flush();
  fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0) return ERROR_NOT_ENOUGH_MEMORY;
  if (pid == 0) {
    setenv("WINSIM_MACHINE", Machine::Current().dir().c_str(), 1);
    setenv("WINSIM_EXE", exe.c_str(), 1);
    setenv("WINSIM_CMDLINE", commandLine.c_str(), 1);
    setenv("WINSIM_CWD", cwd.c_str(), 1);
    setenv("WINSIM_BIN", BinDir().c_str(), 1);
    execl(path.c_str(), path.c_str(), (char*)nullptr);
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  *exitCode = WIFEXITED(status) ? (DWORD)WEXITSTATUS(status) : (DWORD)(0xC0000000u | WTERMSIG(status));
  // What the child changed is what the machine holds now.
  Machine::ReloadAll();
  return 0;
}

}  // namespace winsim
