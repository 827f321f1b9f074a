// Version information, modules, time and the WOW64 question.
#include <strings.h>

#include <cstring>

#include "core/handles.h"
#include "core/journal.h"
#include "core/machine.h"
#include "setupapi.h"
#include "windows.h"

using winsim::ApiCall;
using winsim::HandleJson;
using winsim::Json;
using winsim::Machine;

namespace {

// Module handles are the image bases the modules load at.
const HMODULE kExeModule = (HMODULE)(uintptr_t)0x00400000;

struct ModuleEntry {
  const char* name;
  uintptr_t base;
};

const ModuleEntry kModules[] = {
    {"kernel32", 0x7C800000}, {"user32", 0x7E410000},       {"advapi32", 0x77DD0000}, {"gdi32", 0x77F10000},
    {"shlwapi", 0x77F60000},  {"winspool.drv", 0x73000000}, {"setupapi", 0x77920000}, {"comctl32", 0x5D090000},
    {"msvcrt", 0x77C10000},   {"ntdll", 0x7C900000},
};

// "kernel32", "KERNEL32.DLL" and "kernel32.dll" name the same module; a
// name with another extension does not.
const ModuleEntry* FindModule(const char* name) {
  std::string n = name;
  size_t slash = n.find_last_of("\\/");
  if (slash != std::string::npos) n = n.substr(slash + 1);
  for (const auto& m : kModules) {
    size_t len = strlen(m.name);
    if (strcasecmp(n.c_str(), m.name) == 0) return &m;
    if (!strchr(m.name, '.') && n.size() == len + 4 && strncasecmp(n.c_str(), m.name, len) == 0 &&
        strcasecmp(n.c_str() + len, ".dll") == 0)
      return &m;
  }
  return nullptr;
}

const ModuleEntry* ModuleByHandle(HMODULE h) {
  for (const auto& m : kModules)
    if ((uintptr_t)h == m.base) return &m;
  return nullptr;
}

// The functions programs look up with GetProcAddress instead of importing
// them, each with the machine setting that says whether the module exports
// it. Names are compared case-sensitively, as the loader does.
struct RuntimeExport {
  const char* module;
  const char* name;
  FARPROC proc;
  bool winsim::OsInfo::*present;
};

const RuntimeExport kRuntimeExports[] = {
    {"kernel32", "IsWow64Process", (FARPROC)(void*)&IsWow64Process, &winsim::OsInfo::hasIsWow64Process},
    {"setupapi", "SetupUninstallOEMInfA", (FARPROC)(void*)&SetupUninstallOEMInfA,
     &winsim::OsInfo::hasSetupUninstallOEMInf},
};

}  // namespace

extern "C" {

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
  ApiCall call("GetVersionExA", {HandleJson(lpVersionInformation)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!lpVersionInformation) return call.Fail(ERROR_NOACCESS);
  // The record is 148 bytes; the extended one (156) is accepted as well.
  DWORD size = lpVersionInformation->dwOSVersionInfoSize;
  if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOA) + 8) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    call.SetArg(0, Json::Object().Set("dwOSVersionInfoSize", size));
    return call.Ret((BOOL)FALSE);
  }
  const winsim::OsInfo& os = Machine::Current().os();
  lpVersionInformation->dwMajorVersion = os.major;
  lpVersionInformation->dwMinorVersion = os.minor;
  // On the 9x family the high word of the build number repeats the version.
  lpVersionInformation->dwBuildNumber = os.IsNT() ? os.build : ((os.major << 24) | (os.minor << 16) | os.build);
  lpVersionInformation->dwPlatformId = os.platform;
  memset(lpVersionInformation->szCSDVersion, 0, sizeof lpVersionInformation->szCSDVersion);
  strncpy(lpVersionInformation->szCSDVersion, os.csd.c_str(), sizeof lpVersionInformation->szCSDVersion - 1);
  call.SetArg(0, Json::Object()
                     .Set("dwOSVersionInfoSize", size)
                     .Set("dwMajorVersion", os.major)
                     .Set("dwMinorVersion", os.minor)
                     .Set("dwBuildNumber", lpVersionInformation->dwBuildNumber)
                     .Set("dwPlatformId", os.platform)
                     .Set("szCSDVersion", os.csd));
  return call.Ret((BOOL)TRUE);
}

DWORD WINAPI GetVersion(void) {
  ApiCall call("GetVersion", {});
  const winsim::OsInfo& os = Machine::Current().os();
  DWORD v = os.major | (os.minor << 8);
  if (os.IsNT())
    v |= (os.build & 0x7FFF) << 16;
  else
    v |= 0x80000000u;
  return call.Ret(v);
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  ApiCall call("GetModuleHandleA", {lpModuleName});
  if (call.Fault()) return call.Ret((HMODULE) nullptr);
  if (!lpModuleName) return call.Ret(kExeModule);
  const ModuleEntry* m = FindModule(lpModuleName);
  if (!m) return call.Fail(ERROR_MOD_NOT_FOUND, (HMODULE) nullptr);
  return call.Ret((HMODULE)m->base);
}

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  ApiCall call("LoadLibraryA", {lpLibFileName});
  if (call.Fault()) return call.Ret((HMODULE) nullptr);
  const ModuleEntry* m = lpLibFileName ? FindModule(lpLibFileName) : nullptr;
  if (!m) return call.Fail(ERROR_MOD_NOT_FOUND, (HMODULE) nullptr);
  return call.Ret((HMODULE)m->base);
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  ApiCall call("FreeLibrary", {HandleJson(hLibModule)});
  if (!ModuleByHandle(hLibModule)) return call.Fail(ERROR_MOD_NOT_FOUND);
  return call.Ret((BOOL)TRUE);
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  ApiCall call("GetProcAddress", {HandleJson(hModule), lpProcName});
  if (call.Fault()) return call.Ret((FARPROC) nullptr);
  const ModuleEntry* m = ModuleByHandle(hModule);
  if (!m) return call.Fail(ERROR_MOD_NOT_FOUND, (FARPROC) nullptr);
  if (!IS_INTRESOURCE(lpProcName)) {
    for (const RuntimeExport& e : kRuntimeExports)
      if (strcmp(m->name, e.module) == 0 && strcmp(lpProcName, e.name) == 0 && Machine::Current().os().*e.present)
        return call.Ret(e.proc);
  }
  return call.Fail(ERROR_PROC_NOT_FOUND, (FARPROC) nullptr);
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  ApiCall call("GetModuleFileNameA", {HandleJson(hModule), HandleJson(lpFilename), nSize});
  std::string name;
  if (!hModule || hModule == kExeModule) {
    const char* exe = getenv("WINSIM_EXE");
    name = exe && *exe ? exe : "C:\\program.exe";
  } else if (const ModuleEntry* m = ModuleByHandle(hModule)) {
    name = Machine::Current().os().SystemDir() + "\\" + m->name + (strchr(m->name, '.') ? "" : ".dll");
  } else {
    return call.Fail(ERROR_MOD_NOT_FOUND, (DWORD)0);
  }
  if (!lpFilename || nSize == 0) return call.Fail(ERROR_INSUFFICIENT_BUFFER, (DWORD)0);
  // A short buffer gets the truncated, terminated name (XP and later).
  DWORD n = (DWORD)name.size() < nSize ? (DWORD)name.size() : nSize - 1;
  memcpy(lpFilename, name.data(), n);
  lpFilename[n] = 0;
  if (n < name.size()) SetLastError(ERROR_INSUFFICIENT_BUFFER);
  call.SetArg(1, Json(lpFilename));
  return call.Ret(n < name.size() ? nSize : n);
}

void WINAPI Sleep(DWORD dwMilliseconds) {
  ApiCall call("Sleep", {dwMilliseconds});
  Machine::Current().Advance(dwMilliseconds == INFINITE ? 0 : dwMilliseconds);
  call.RetVoid();
}

DWORD WINAPI GetTickCount(void) { return (DWORD)(Machine::Current().Now() + 3600000); }

void WINAPI GetSystemTime(LPSYSTEMTIME st) {
  // A fixed date, moved on by the virtual clock.
  uint64_t ms = Machine::Current().Now();
  memset(st, 0, sizeof *st);
  st->wYear = 2010;
  st->wMonth = 6;
  st->wDay = 1;
  st->wDayOfWeek = 2;
  st->wHour = (WORD)(9 + (ms / 3600000) % 15);
  st->wMinute = (WORD)((ms / 60000) % 60);
  st->wSecond = (WORD)((ms / 1000) % 60);
  st->wMilliseconds = (WORD)(ms % 1000);
}

void WINAPI GetLocalTime(LPSYSTEMTIME st) { GetSystemTime(st); }

HANDLE WINAPI GetCurrentProcess(void) { return winsim::CurrentProcessPseudoHandle(); }

DWORD WINAPI GetCurrentProcessId(void) { return Machine::Current().pid(); }

HANDLE WINAPI GetCurrentThread(void) { return winsim::CurrentThreadPseudoHandle(); }

BOOL WINAPI IsWow64Process(HANDLE hProcess, PBOOL Wow64Process) {
  ApiCall call("IsWow64Process", {HandleJson(hProcess), HandleJson(Wow64Process)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  const winsim::OsInfo& os = Machine::Current().os();
  if (!os.hasIsWow64Process) return call.Fail(ERROR_CALL_NOT_IMPLEMENTED);
  if (hProcess != winsim::CurrentProcessPseudoHandle() && !winsim::Handles::Get(hProcess))
    return call.Fail(ERROR_INVALID_HANDLE);
  if (!Wow64Process) return call.Fail(ERROR_NOACCESS);
  *Wow64Process = os.wow64 ? TRUE : FALSE;
  call.SetArg(1, Json((long long)*Wow64Process));
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
  ApiCall call("CloseHandle", {HandleJson(hObject)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (hObject == winsim::CurrentProcessPseudoHandle() || hObject == winsim::CurrentThreadPseudoHandle())
    return call.Ret((BOOL)TRUE);
  if (!winsim::Handles::Remove(hObject)) return call.Fail(ERROR_INVALID_HANDLE);
  return call.Ret((BOOL)TRUE);
}

}  // extern "C"
