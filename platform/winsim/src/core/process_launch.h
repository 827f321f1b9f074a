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

}  // namespace winsim
