// Program stubs of the simulated machine, for CreateProcessA and `winsim run`.
#pragma once

#include <string>

#include "windows.h"

namespace winsim {

// The full Windows path of `windowsPath` (relative to WINSIM_CWD) and the
// program its stub names; ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND or
// ERROR_BAD_EXE_FORMAT when there is no stub.
DWORD ResolveStub(const std::string& windowsPath, std::string* full, std::string* program);
// The host program of that name (in WINSIM_BIN, else beside the running one).
std::string HostProgramPath(const std::string& program);
bool HostProgramBuilt(const std::string& program, const std::string& exe);

// The process's current folder, as SetCurrentDirectoryA left it.
std::string CurrentDirectory();
// A Windows path of the program made absolute, with "." and ".." folded.
bool FullPath(const std::string& path, std::string* full);
// The host file of a full Windows path: ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND when there is none.
DWORD HostFile(const std::string& full, std::string* host);
// The program a stub file names; ERROR_BAD_EXE_FORMAT for any other file.
DWORD StubProgram(const std::string& host, std::string* program);
// The folder of the host programs (WINSIM_BIN, else beside the running one).
std::string BinDir();
// The first word of a command line: quoted, or up to the first blank.
std::string FirstWord(const std::string& commandLine);
// The executable a command line names, searched as CreateProcess does.
DWORD FindExecutable(const std::string& name, std::string* full, std::string* host);
// Runs the host program as the child process on this machine and waits for
// its end; the machine is written out before and read back after.
DWORD RunChild(const std::string& program, const std::string& exe, const std::string& commandLine,
               const std::string& cwd, DWORD* exitCode);

}  // namespace winsim
