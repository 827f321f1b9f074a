// The process token of ADVAPI32, as other DLLs of the simulated Windows ask
// it (USER32's ExitWindowsEx needs the shutdown privilege).
#pragma once

namespace winsim {

// Whether the process enabled SeShutdownPrivilege in its token.
bool ShutdownPrivilegeEnabled();

}  // namespace winsim
