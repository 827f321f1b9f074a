// The process token and its privileges.
#include <strings.h>

#include <cstring>

#include "advapi32/token.h"

#include "core/handles.h"
#include "core/journal.h"
#include "core/machine.h"
#include "windows.h"

using winsim::ApiCall;
using winsim::HandleJson;
using winsim::Json;
using winsim::Machine;

namespace {

const DWORD kShutdownLuid = 19;  // SE_SHUTDOWN_PRIVILEGE

struct PrivilegeName {
  const char* name;
  DWORD luid;
};

const PrivilegeName kPrivileges[] = {
    {"SeCreateTokenPrivilege", 2},
    {"SeAssignPrimaryTokenPrivilege", 3},
    {"SeLockMemoryPrivilege", 4},
    {"SeIncreaseQuotaPrivilege", 5},
    {"SeTcbPrivilege", 7},
    {"SeSecurityPrivilege", 8},
    {"SeTakeOwnershipPrivilege", 9},
    {"SeLoadDriverPrivilege", 10},
    {"SeSystemtimePrivilege", 12},
    {"SeBackupPrivilege", 17},
    {"SeRestorePrivilege", 18},
    {"SeShutdownPrivilege", kShutdownLuid},
    {"SeDebugPrivilege", 20},
    {"SeChangeNotifyPrivilege", 23},
    {"SeRemoteShutdownPrivilege", 24},
};

struct Token : winsim::KernelObject {
  DWORD access = 0;
  const char* type() const override { return "Token"; }
};

// Privileges are enabled in the process's one token, whichever handle did it.
bool g_shutdownEnabled = false;

// The privilege is the process's, not the machine's.
winsim::ProcessState g_tokenState(90, [] { g_shutdownEnabled = false; });

bool LocalName(LPCSTR name) {
  if (!name || !*name) return true;
  const char* n = name[0] == '\\' && name[1] == '\\' ? name + 2 : name;
  const char* host = getenv("WINSIM_COMPUTERNAME");
  return strcasecmp(n, host && *host ? host : "WINSIM") == 0 || strcasecmp(n, "localhost") == 0 || strcmp(n, ".") == 0;
}

}  // namespace

namespace winsim {
bool ShutdownPrivilegeEnabled() { return g_shutdownEnabled; }
}  // namespace winsim

extern "C" {

BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle) {
  ApiCall call("OpenProcessToken", {HandleJson(ProcessHandle), DesiredAccess, HandleJson(TokenHandle)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!Machine::Current().os().IsNT()) return call.Fail(ERROR_CALL_NOT_IMPLEMENTED);
  if (ProcessHandle != winsim::CurrentProcessPseudoHandle() && !winsim::Handles::Get(ProcessHandle))
    return call.Fail(ERROR_INVALID_HANDLE);
  if (!TokenHandle) return call.Fail(ERROR_NOACCESS);
  std::unique_ptr<Token> token(new Token());
  token->access = DesiredAccess;
  *TokenHandle = winsim::Handles::Insert(std::move(token));
  call.SetArg(2, HandleJson(*TokenHandle));
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid) {
  ApiCall call("LookupPrivilegeValueA", {lpSystemName, lpName, HandleJson(lpLuid)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!Machine::Current().os().IsNT()) return call.Fail(ERROR_CALL_NOT_IMPLEMENTED);
  if (!LocalName(lpSystemName)) return call.Fail(RPC_S_SERVER_UNAVAILABLE);
  for (const auto& p : kPrivileges) {
    if (lpName && strcasecmp(lpName, p.name) == 0) {
      lpLuid->LowPart = p.luid;
      lpLuid->HighPart = 0;
      call.SetArg(2, Json::Object().Set("LowPart", p.luid).Set("HighPart", 0));
      return call.Ret((BOOL)TRUE);
    }
  }
  return call.Fail(ERROR_NO_SUCH_PRIVILEGE);
}

BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges, PTOKEN_PRIVILEGES NewState,
                                  DWORD BufferLength, PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength) {
  Json state = Json();
  if (NewState) {
    Json privs = Json::Array();
    for (DWORD i = 0; i < NewState->PrivilegeCount && i < 64; ++i)
      privs.Add(Json::Object()
                    .Set("Luid", Json::Object()
                                     .Set("LowPart", NewState->Privileges[i].Luid.LowPart)
                                     .Set("HighPart", NewState->Privileges[i].Luid.HighPart))
                    .Set("Attributes", NewState->Privileges[i].Attributes));
    state = Json::Object().Set("PrivilegeCount", NewState->PrivilegeCount).Set("Privileges", privs);
  }
  ApiCall call("AdjustTokenPrivileges", {HandleJson(TokenHandle), DisableAllPrivileges, state, BufferLength,
                                         HandleJson(PreviousState), HandleJson(ReturnLength)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!Machine::Current().os().IsNT()) return call.Fail(ERROR_CALL_NOT_IMPLEMENTED);
  Token* token = winsim::Handles::GetAs<Token>(TokenHandle);
  if (!token) return call.Fail(ERROR_INVALID_HANDLE);
  if (!(token->access & TOKEN_ADJUST_PRIVILEGES) || (PreviousState && !(token->access & TOKEN_QUERY)))
    return call.Fail(ERROR_ACCESS_DENIED);
  if (DisableAllPrivileges) {
    g_shutdownEnabled = false;
    SetLastError(ERROR_SUCCESS);
    return call.Ret((BOOL)TRUE);
  }
  if (!NewState) return call.Fail(ERROR_INVALID_PARAMETER);
  if (PreviousState && BufferLength < sizeof(TOKEN_PRIVILEGES)) {
    if (ReturnLength) *ReturnLength = sizeof(TOKEN_PRIVILEGES);
    return call.Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  // Privileges the user does not hold are left alone; the call still
  // succeeds and says so through ERROR_NOT_ALL_ASSIGNED.
  bool allAssigned = true;
  bool previous = g_shutdownEnabled;
  for (DWORD i = 0; i < NewState->PrivilegeCount; ++i) {
    const LUID_AND_ATTRIBUTES& p = NewState->Privileges[i];
    bool held = p.Luid.HighPart == 0 && p.Luid.LowPart == kShutdownLuid ? Machine::Current().userHasShutdownPrivilege()
                                                                        : Machine::Current().userIsAdmin();
    if (!held) {
      allAssigned = false;
      continue;
    }
    if (p.Luid.HighPart == 0 && p.Luid.LowPart == kShutdownLuid)
      g_shutdownEnabled = (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
  }
  if (PreviousState) {
    PreviousState->PrivilegeCount = 1;
    PreviousState->Privileges[0].Luid.LowPart = kShutdownLuid;
    PreviousState->Privileges[0].Luid.HighPart = 0;
    PreviousState->Privileges[0].Attributes = previous ? SE_PRIVILEGE_ENABLED : 0;
    if (ReturnLength) *ReturnLength = sizeof(TOKEN_PRIVILEGES);
  }
  SetLastError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
  return call.Ret((BOOL)TRUE);
}

}  // extern "C"
