// Logging off, shutting down and restarting Windows.
#include "advapi32/token.h"
#include "core/journal.h"
#include "core/machine.h"
#include "windows.h"

using winsim::ApiCall;
using winsim::Json;
using winsim::Machine;

extern "C" BOOL WINAPI ExitWindowsEx(UINT uFlags, DWORD dwReason) {
  ApiCall call("ExitWindowsEx", {uFlags, dwReason});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  Machine& m = Machine::Current();
  // On NT a shutdown or restart needs the shutdown privilege enabled in the
  // caller's token; logging off does not.
  if (m.os().IsNT() && (uFlags & (EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF)) && !winsim::ShutdownPrivilegeEnabled())
    return call.Fail(ERROR_PRIVILEGE_NOT_HELD);
  m.MarkRestarted(uFlags);
  winsim::Journal::Ui("restart", Json::Object().Set("flags", uFlags));
  return call.Ret((BOOL)TRUE);
}
