// Directories: the Windows, system and temporary folders, the current
// directory, full path names, creating and removing folders, and WOW64
// file system redirection.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/filesystem.h"
#include "core/journal.h"
#include "core/machine.h"
#include "core/open_files.h"
#include "windows.h"

using winsim::ApiCall;
using winsim::FileSystem;
using winsim::HandleJson;
using winsim::Json;
using winsim::Machine;
using winsim::ResolvedPath;

namespace {

// The size protocol of the directory queries: the length without the zero
// when the text fits, else the size needed with it (buffer untouched).
DWORD CopyOut(ApiCall& call, size_t argIndex, const std::string& text, LPSTR buffer, DWORD size) {
  if (buffer && size > text.size()) {
    memcpy(buffer, text.c_str(), text.size() + 1);
    call.SetArg(argIndex, Json(text));
    return (DWORD)text.size();
  }
  return (DWORD)text.size() + 1;
}

bool IsDirectory(const std::string& host) {
  struct stat st;
  return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool IsEmptyDirectory(const std::string& host) { return winsim::FileSystem::List(host).empty(); }

}  // namespace

extern "C" {

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  ApiCall call("GetWindowsDirectoryA", {HandleJson(lpBuffer), uSize});
  if (call.Fault()) return call.Ret((UINT)0);
  return call.Ret((UINT)CopyOut(call, 0, Machine::Current().os().windir, lpBuffer, uSize));
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
  ApiCall call("GetSystemDirectoryA", {HandleJson(lpBuffer), uSize});
  if (call.Fault()) return call.Ret((UINT)0);
  // A 32-bit program is told System32 on 64-bit Windows too; redirection
  // takes it to SysWOW64 when it uses the name.
  return call.Ret((UINT)CopyOut(call, 0, Machine::Current().os().SystemDir(), lpBuffer, uSize));
}

UINT WINAPI GetSystemWow64DirectoryA(LPSTR lpBuffer, UINT uSize) {
  ApiCall call("GetSystemWow64DirectoryA", {HandleJson(lpBuffer), uSize});
  if (call.Fault()) return call.Ret((UINT)0);
  const winsim::OsInfo& os = Machine::Current().os();
  if (!os.wow64) return call.Fail(ERROR_CALL_NOT_IMPLEMENTED, (UINT)0);
  return call.Ret((UINT)CopyOut(call, 0, os.windir + "\\SysWOW64", lpBuffer, uSize));
}

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  ApiCall call("GetCurrentDirectoryA", {nBufferLength, HandleJson(lpBuffer)});
  if (call.Fault()) return call.Ret((DWORD)0);
  return call.Ret(CopyOut(call, 1, FileSystem::CurrentDirectory(), lpBuffer, nBufferLength));
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) {
  ApiCall call("SetCurrentDirectoryA", {lpPathName});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  ResolvedPath r;
  DWORD error = 0;
  if (!FileSystem::ResolveEx(lpPathName, FileSystem::kRedirect, &r, &error)) return call.Fail(error);
  if (!r.exists) return call.Fail(r.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
  if (!IsDirectory(r.host)) return call.Fail(ERROR_DIRECTORY);
  FileSystem::SetCurrentDirectory(lpPathName);
  return call.Ret((BOOL)TRUE);
}

DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
  ApiCall call("GetTempPathA", {nBufferLength, HandleJson(lpBuffer)});
  if (call.Fault()) return call.Ret((DWORD)0);
  return call.Ret(CopyOut(call, 1, Machine::Current().os().windir + "\\Temp\\", lpBuffer, nBufferLength));
}

DWORD WINAPI GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer, LPSTR* lpFilePart) {
  ApiCall call("GetFullPathNameA", {lpFileName, nBufferLength, HandleJson(lpBuffer), HandleJson(lpFilePart)});
  if (call.Fault()) return call.Ret((DWORD)0);
  if (!lpFileName || !*lpFileName) return call.Fail(ERROR_INVALID_NAME, (DWORD)0);
  if (strlen(lpFileName) > MAX_PATH) return call.Fail(ERROR_FILENAME_EXCED_RANGE, (DWORD)0);
  std::string full;
  DWORD error = 0;
  if (!FileSystem::FullPathName(lpFileName, &full, &error)) return call.Fail(error, (DWORD)0);
  DWORD n = CopyOut(call, 2, full, lpBuffer, nBufferLength);
  if (lpFilePart && n == full.size()) {
    size_t slash = full.find_last_of('\\');
    *lpFilePart = slash == std::string::npos || slash + 1 == full.size() ? nullptr : lpBuffer + slash + 1;
    call.SetArg(3, *lpFilePart ? Json(*lpFilePart) : Json());
  }
  return call.Ret(n);
}

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
  ApiCall call("CreateDirectoryA", {lpPathName, HandleJson(lpSecurityAttributes)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  ResolvedPath r;
  DWORD error = 0;
  if (!FileSystem::ResolveEx(lpPathName, FileSystem::kRedirect, &r, &error)) return call.Fail(error);
  // A folder must leave room for an 8.3 name below it.
  if (r.windows.size() > MAX_PATH - 12) return call.Fail(ERROR_FILENAME_EXCED_RANGE);
  if (r.exists) return call.Fail(ERROR_ALREADY_EXISTS);
  if (!r.parentExists) return call.Fail(ERROR_PATH_NOT_FOUND);
  if (mkdir(r.host.c_str(), 0755) != 0) return call.Fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : ERROR_ACCESS_DENIED);
  FileSystem::SetAttributes(r.host, FILE_ATTRIBUTE_DIRECTORY);
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
  ApiCall call("RemoveDirectoryA", {lpPathName});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  ResolvedPath r;
  DWORD error = 0;
  if (!FileSystem::ResolveEx(lpPathName, FileSystem::kRedirect, &r, &error)) return call.Fail(error);
  if (r.isRoot) return call.Fail(ERROR_ACCESS_DENIED);
  if (!r.exists) return call.Fail(r.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
  DWORD attributes = r.attributes != INVALID_FILE_ATTRIBUTES ? r.attributes : FileSystem::Attributes(r.host);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return call.Fail(ERROR_DIRECTORY);
  // A junction goes by itself; what it points at is never touched.
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    if (unlinkat(r.AtFd(), r.AtName(), 0) != 0) return call.Fail(ERROR_ACCESS_DENIED);
    return call.Ret((BOOL)TRUE);
  }
  // The process holds its current directory open without delete sharing.
  ResolvedPath cwd;
  if (FileSystem::ResolveEx(FileSystem::CurrentDirectory().c_str(), FileSystem::kRedirect, &cwd, &error) &&
      cwd.exists && SameFile(cwd.host, r.host)) {
    return call.Fail(ERROR_SHARING_VIOLATION);
  }
  if (DWORD e =
          winsim::CheckSharing(r.host, winsim::kRightDelete, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) {
    return call.Fail(e);
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) return call.Fail(ERROR_ACCESS_DENIED);
  if (!IsEmptyDirectory(r.host)) return call.Fail(ERROR_DIR_NOT_EMPTY);
  if (unlinkat(r.AtFd(), r.AtName(), AT_REMOVEDIR) != 0)
    return call.Fail(errno == ENOTEMPTY || errno == EEXIST ? ERROR_DIR_NOT_EMPTY : ERROR_ACCESS_DENIED);
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI Wow64DisableWow64FsRedirection(PVOID* OldValue) {
  ApiCall call("Wow64DisableWow64FsRedirection", {HandleJson(OldValue)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!Machine::Current().os().wow64) return call.Fail(ERROR_INVALID_FUNCTION);
  if (!OldValue) return call.Fail(ERROR_NOACCESS);
  *OldValue = (PVOID)(uintptr_t)(FileSystem::RedirectionEnabled() ? 0 : 1);
  FileSystem::SetRedirectionEnabled(false);
  call.SetArg(0, Json((unsigned long long)(uintptr_t)*OldValue));
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI Wow64RevertWow64FsRedirection(PVOID OldValue) {
  ApiCall call("Wow64RevertWow64FsRedirection", {Json((unsigned long long)(uintptr_t)OldValue)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!Machine::Current().os().wow64) return call.Fail(ERROR_INVALID_FUNCTION);
  FileSystem::SetRedirectionEnabled(OldValue == nullptr);
  return call.Ret((BOOL)TRUE);
}

}  // extern "C"
