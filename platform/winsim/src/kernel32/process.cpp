// Processes of the simulated machine. An .exe inside the machine is a stub,
// one line "winsim-program: NAME", that names a program of the build; the
// host program runs as the child process on the same machine, with the
// machine written out before and read back after it, so that parent and
// child see each other's changes as on Windows. The machine runs one
// process at a time: the child runs to its end inside CreateProcessA.
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "core/filesystem.h"
#include "core/handles.h"
#include "core/journal.h"
#include "core/machine.h"
#include "core/process.h"
#include "core/process_launch.h"
#include "core/system_commands.h"

namespace winsim {

namespace {

struct ProcessObject : KernelObject {
  const char* type() const override { return "process"; }
  std::string name() const override { return "process " + std::to_string(pid); }
  DWORD pid = 0;
  DWORD exitCode = STILL_ACTIVE;
};

struct ThreadObject : KernelObject {
  const char* type() const override { return "thread"; }
  DWORD exitCode = STILL_ACTIVE;
};

}  // namespace

}  // namespace winsim

using winsim::ApiCall;
using winsim::HandleJson;
using winsim::Handles;
using winsim::Json;

namespace {

Json StartupJson(const STARTUPINFOA* si) {
  if (!si) return Json();
  return Json::Object().Set("cb", si->cb).Set("dwFlags", si->dwFlags).Set("wShowWindow", (unsigned)si->wShowWindow);
}

}  // namespace

extern "C" {

LPSTR WINAPI GetCommandLineA(void) { return (LPSTR)winsim::CommandLine(); }

void WINAPI ExitProcess(UINT uExitCode) {
  {
    winsim::ApiCall call("ExitProcess", {uExitCode});
    call.RetVoid();
  }
  winsim::EndProcess((int)uExitCode);
}

BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES lpProcessAttributes,
                           LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles, DWORD dwCreationFlags,
                           LPVOID lpEnvironment, LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation) {
  ApiCall call("CreateProcessA",
               {lpApplicationName, lpCommandLine, HandleJson(lpProcessAttributes), HandleJson(lpThreadAttributes),
                bInheritHandles, dwCreationFlags, HandleJson(lpEnvironment), lpCurrentDirectory,
                StartupJson(lpStartupInfo), HandleJson(lpProcessInformation)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!lpStartupInfo || !lpProcessInformation || (!lpApplicationName && !lpCommandLine))
    return call.Fail(!lpApplicationName && !lpCommandLine ? ERROR_INVALID_PARAMETER : ERROR_NOACCESS);
  std::string full, host;
  DWORD error;
  if (lpApplicationName) {
    // The application name is taken as it stands: relative to the current
    // folder, no search, no extension added.
    error = winsim::FullPath(lpApplicationName, &full) ? winsim::HostFile(full, &host) : ERROR_INVALID_NAME;
  } else {
    error = winsim::FindExecutable(winsim::FirstWord(lpCommandLine), &full, &host);
  }
  std::string program;
  if (!error) error = winsim::StubProgram(host, &program);
  std::string cwd = winsim::CurrentDirectory();
  if (!error && lpCurrentDirectory) {
    std::string dir;
    if (!winsim::FullPath(lpCurrentDirectory, &dir))
      error = ERROR_DIRECTORY;
    else
      cwd = dir;
  }
  if (error) return call.Fail(error);
  if (!winsim::HostProgramBuilt(program, full)) return call.Fail(ERROR_FILE_NOT_FOUND);
  std::string commandLine = lpCommandLine ? lpCommandLine : lpApplicationName;
  // The child takes the next process id of the machine.
  DWORD pid = (DWORD)winsim::Machine::Current().ini().GetInt("state", "next_pid", 1000);
  auto process = std::make_unique<winsim::ProcessObject>();
  process->pid = pid;
  winsim::ProcessObject* p = process.get();
  auto thread = std::make_unique<winsim::ThreadObject>();
  winsim::ThreadObject* t = thread.get();
  lpProcessInformation->hProcess = Handles::Insert(std::move(process));
  lpProcessInformation->hThread = Handles::Insert(std::move(thread));
  lpProcessInformation->dwProcessId = pid;
  lpProcessInformation->dwThreadId = pid + 4;
  call.SetArg(9, Json::Object()
                     .Set("hProcess", HandleJson(lpProcessInformation->hProcess))
                     .Set("hThread", HandleJson(lpProcessInformation->hThread))
                     .Set("dwProcessId", pid)
                     .Set("dwThreadId", pid + 4));
  call.Extra("program", program);
  HANDLE hp = lpProcessInformation->hProcess, ht = lpProcessInformation->hThread;
  call.Ret((BOOL)TRUE);
  DWORD exitCode = 0;
  error = winsim::RunChild(program, full, commandLine, cwd, &exitCode);
  if (error) {
    Handles::Remove(hp);
    Handles::Remove(ht);
    memset(lpProcessInformation, 0, sizeof *lpProcessInformation);
    SetLastError(error);
    return FALSE;
  }
  // The objects survive the reload: handles belong to the process.
  if (Handles::Get(hp) == p) p->exitCode = exitCode;
  if (Handles::Get(ht) == t) t->exitCode = exitCode;
  return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  ApiCall call("WaitForSingleObject", {HandleJson(hHandle), dwMilliseconds});
  if (call.Fault()) return call.Ret((DWORD)WAIT_FAILED);
  winsim::KernelObject* o = Handles::Get(hHandle);
  if (!dynamic_cast<winsim::ProcessObject*>(o) && !dynamic_cast<winsim::ThreadObject*>(o)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return call.Ret((DWORD)WAIT_FAILED);
  }
  // The child has ended already (it ran inside CreateProcessA).
  return call.Ret((DWORD)WAIT_OBJECT_0);
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
  ApiCall call("GetExitCodeProcess", {HandleJson(hProcess), HandleJson(lpExitCode)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  winsim::ProcessObject* p = Handles::GetAs<winsim::ProcessObject>(hProcess);
  if (!p || !lpExitCode) return call.Fail(p ? ERROR_NOACCESS : ERROR_INVALID_HANDLE);
  *lpExitCode = p->exitCode;
  call.SetArg(1, Json(p->exitCode));
  return call.Ret((BOOL)TRUE);
}

UINT WINAPI WinExec(LPCSTR lpCmdLine, UINT uCmdShow) {
  ApiCall call("WinExec", {lpCmdLine, uCmdShow});
  if (DWORD e = call.Fault()) return call.Ret((UINT)(e < 32 ? e : 0));
  if (!lpCmdLine) return call.Ret((UINT)ERROR_FILE_NOT_FOUND);
  if (winsim::SystemCommand run = winsim::FindSystemCommand(lpCmdLine)) return call.Ret(run(lpCmdLine));
  // A program of the machine runs as with CreateProcess.
  std::string full, host, program;
  DWORD error = winsim::FindExecutable(winsim::FirstWord(lpCmdLine), &full, &host);
  if (!error) error = winsim::StubProgram(host, &program);
  if (error == ERROR_BAD_EXE_FORMAT) return call.Ret((UINT)ERROR_BAD_FORMAT);
  if (error) return call.Ret((UINT)error);
  if (!winsim::HostProgramBuilt(program, full)) return call.Ret((UINT)ERROR_FILE_NOT_FOUND);
  call.Ret((UINT)33);
  DWORD exitCode = 0;
  error = winsim::RunChild(program, full, lpCmdLine, winsim::CurrentDirectory(), &exitCode);
  return error ? (UINT)error : 33;
}

}  // extern "C"
