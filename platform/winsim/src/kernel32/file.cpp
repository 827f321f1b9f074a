// Files: attributes, copying, moving, deleting, and open files with
// CreateFileA, ReadFile, WriteFile and GetFileSize.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "kernel32/file_ops.h"
#include "core/filesystem.h"
#include "core/journal.h"
#include "core/machine.h"
#include "core/open_files.h"
#include "windows.h"

using winsim::ApiCall;
using winsim::FileSystem;
using winsim::HandleJson;
using winsim::Json;
using winsim::ResolvedPath;

namespace {

const DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

}  // namespace

using winsim::CopyWork;
using winsim::DeleteWork;
using winsim::Lookup;
using winsim::Missing;

extern "C" {

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  ApiCall call("GetFileAttributesA", {lpFileName});
  if (call.Fault()) return call.Ret(INVALID_FILE_ATTRIBUTES);
  DWORD attributes = 0;
  if (DWORD e = winsim::QueryAttributes(lpFileName, &attributes)) return call.Fail(e, INVALID_FILE_ATTRIBUTES);
  return call.Ret(attributes);
}

BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
  ApiCall call("SetFileAttributesA", {lpFileName, dwFileAttributes});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  ResolvedPath r;
  DWORD attributes = 0;
  if (DWORD e = Lookup(lpFileName, FileSystem::kRedirect, &r, &attributes)) return call.Fail(e);
  // Only the four attributes a program may set are taken; DIRECTORY and the
  // others are the file system's own.
  DWORD wanted = (dwFileAttributes & kKeptAttributes) | (attributes & FILE_ATTRIBUTE_DIRECTORY);
  if (!FileSystem::SetAttributes(r, wanted)) return call.Fail(ERROR_ACCESS_DENIED);
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  ApiCall call("CopyFileA", {lpExistingFileName, lpNewFileName, bFailIfExists});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (DWORD e = CopyWork(lpExistingFileName, lpNewFileName, bFailIfExists)) return call.Fail(e);
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
  ApiCall call("MoveFileExA", {lpExistingFileName, lpNewFileName, dwFlags});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (DWORD e = winsim::MoveFileWork(lpExistingFileName, lpNewFileName, dwFlags)) return call.Fail(e);
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) {
  ApiCall call("MoveFileA", {lpExistingFileName, lpNewFileName});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (DWORD e = winsim::MoveFileWork(lpExistingFileName, lpNewFileName, MOVEFILE_COPY_ALLOWED)) return call.Fail(e);
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  ApiCall call("DeleteFileA", {lpFileName});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (DWORD e = DeleteWork(lpFileName)) return call.Fail(e);
  return call.Ret((BOOL)TRUE);
}

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
  ApiCall call("CreateFileA", {lpFileName, dwDesiredAccess, dwShareMode, HandleJson(lpSecurityAttributes),
                               dwCreationDisposition, dwFlagsAndAttributes, HandleJson(hTemplateFile)});
  if (call.Fault()) return call.Ret(INVALID_HANDLE_VALUE);
  auto fail = [&](DWORD error) { return call.Fail(error, INVALID_HANDLE_VALUE); };
  if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING)
    return fail(ERROR_INVALID_PARAMETER);
  DWORD rights = winsim::RightsOf(dwDesiredAccess);
  if (dwCreationDisposition == TRUNCATE_EXISTING && !(rights & winsim::kRightWrite))
    return fail(ERROR_INVALID_PARAMETER);
  ResolvedPath r;
  DWORD error = 0;
  if (!FileSystem::ResolveEx(lpFileName, FileSystem::kRedirect, &r, &error)) return fail(error);

  std::unique_ptr<winsim::FileObject> file(new winsim::FileObject());
  file->rights = rights;
  file->share = dwShareMode;
  bool existed = r.exists;
  bool create = dwCreationDisposition != OPEN_EXISTING && dwCreationDisposition != TRUNCATE_EXISTING;
  if (r.exists) {
    DWORD attributes = FileSystem::Attributes(r.host);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      // Folders open only for their handle (backup semantics), never as files.
      if (dwCreationDisposition == CREATE_NEW) return fail(ERROR_FILE_EXISTS);
      if (!(dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) || dwCreationDisposition == CREATE_ALWAYS ||
          dwCreationDisposition == TRUNCATE_EXISTING)
        return fail(ERROR_ACCESS_DENIED);
      file->directory = true;
    } else {
      if (r.trailingSeparator) return fail(ERROR_INVALID_NAME);
      if (dwCreationDisposition == CREATE_NEW) return fail(ERROR_FILE_EXISTS);
      bool truncate = dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING;
      if ((attributes & FILE_ATTRIBUTE_READONLY) && ((rights & winsim::kRightWrite) || truncate))
        return fail(ERROR_ACCESS_DENIED);
      DWORD hs = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
      if (dwCreationDisposition == CREATE_ALWAYS && ((attributes & hs) & ~(dwFlagsAndAttributes & hs)))
        return fail(ERROR_ACCESS_DENIED);
      if (DWORD s = winsim::CheckSharing(r.host, rights, dwShareMode)) return fail(s);
      int mode = (rights & winsim::kRightWrite) || truncate ? O_RDWR : O_RDONLY;
      file->fd = open(r.host.c_str(), mode | O_CLOEXEC | (truncate ? O_TRUNC : 0));
      if (file->fd < 0) return fail(ERROR_ACCESS_DENIED);
      if (dwCreationDisposition == CREATE_ALWAYS)
        FileSystem::SetAttributes(
            r.host, (dwFlagsAndAttributes & kKeptAttributes) | (attributes & hs) | FILE_ATTRIBUTE_ARCHIVE);
    }
  } else {
    if (!create) return fail(Missing(r));
    if (!r.parentExists) return fail(ERROR_PATH_NOT_FOUND);
    if (r.trailingSeparator) return fail(ERROR_INVALID_NAME);
    file->fd = open(r.host.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (file->fd < 0) return fail(ERROR_ACCESS_DENIED);
    FileSystem::SetAttributes(r.host, (dwFlagsAndAttributes & kKeptAttributes) | FILE_ATTRIBUTE_ARCHIVE);
  }
  struct stat st;
  if (stat(r.host.c_str(), &st) == 0) {
    file->dev = st.st_dev;
    file->ino = st.st_ino;
  }
  file->host = r.host;
  HANDLE h = winsim::Handles::Insert(std::move(file));
  // Opening an existing file where creating was allowed says so.
  SetLastError(existed && (dwCreationDisposition == OPEN_ALWAYS || dwCreationDisposition == CREATE_ALWAYS)
                   ? ERROR_ALREADY_EXISTS
                   : ERROR_SUCCESS);
  return call.Ret(h);
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPVOID lpOverlapped) {
  ApiCall call("ReadFile", {HandleJson(hFile), HandleJson(lpBuffer), nNumberOfBytesToRead,
                            HandleJson(lpNumberOfBytesRead), HandleJson(lpOverlapped)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  winsim::FileObject* f = winsim::Handles::GetAs<winsim::FileObject>(hFile);
  if (!f) return call.Fail(ERROR_INVALID_HANDLE);
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
  if (f->directory) return call.Fail(ERROR_INVALID_FUNCTION);
  if (!(f->rights & winsim::kRightRead)) return call.Fail(ERROR_ACCESS_DENIED);
  if (!lpNumberOfBytesRead || (nNumberOfBytesToRead && !lpBuffer)) return call.Fail(ERROR_NOACCESS);
  ssize_t n = nNumberOfBytesToRead ? pread(f->fd, lpBuffer, nNumberOfBytesToRead, (off_t)f->position) : 0;
  if (n < 0) return call.Fail(ERROR_ACCESS_DENIED);
  f->position += (uint64_t)n;
  *lpNumberOfBytesRead = (DWORD)n;
  call.SetArg(3, Json((unsigned long long)n));
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                      LPVOID lpOverlapped) {
  ApiCall call("WriteFile", {HandleJson(hFile), HandleJson(lpBuffer), nNumberOfBytesToWrite,
                             HandleJson(lpNumberOfBytesWritten), HandleJson(lpOverlapped)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  winsim::FileObject* f = winsim::Handles::GetAs<winsim::FileObject>(hFile);
  if (!f) return call.Fail(ERROR_INVALID_HANDLE);
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
  if (f->directory) return call.Fail(ERROR_INVALID_FUNCTION);
  if (!(f->rights & winsim::kRightWrite)) return call.Fail(ERROR_ACCESS_DENIED);
  if (!lpNumberOfBytesWritten) return call.Fail(ERROR_NOACCESS);
  if (nNumberOfBytesToWrite && !lpBuffer) return call.Fail(ERROR_INVALID_USER_BUFFER);
  ssize_t n = nNumberOfBytesToWrite ? pwrite(f->fd, lpBuffer, nNumberOfBytesToWrite, (off_t)f->position) : 0;
  if (n < 0) return call.Fail(errno == ENOSPC ? 112 /* ERROR_DISK_FULL */ : ERROR_ACCESS_DENIED);
  f->position += (uint64_t)n;
  *lpNumberOfBytesWritten = (DWORD)n;
  // A file that changes is marked for the next backup.
  if (n > 0) {
    DWORD a = FileSystem::Attributes(f->host);
    if (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_ARCHIVE))
      FileSystem::SetAttributes(f->host, (a & kKeptAttributes) | FILE_ATTRIBUTE_ARCHIVE);
  }
  call.SetArg(3, Json((unsigned long long)n));
  return call.Ret((BOOL)TRUE);
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  ApiCall call("GetFileSize", {HandleJson(hFile), HandleJson(lpFileSizeHigh)});
  if (call.Fault()) return call.Ret(INVALID_FILE_SIZE);
  winsim::FileObject* f = winsim::Handles::GetAs<winsim::FileObject>(hFile);
  if (!f) return call.Fail(ERROR_INVALID_HANDLE, INVALID_FILE_SIZE);
  uint64_t size = 0;
  struct stat st;
  if (!f->directory && fstat(f->fd, &st) == 0) size = (uint64_t)st.st_size;
  if (lpFileSizeHigh) {
    *lpFileSizeHigh = (DWORD)(size >> 32);
    call.SetArg(1, Json((unsigned long long)*lpFileSizeHigh));
  }
  // A size whose low part looks like the failure value is told apart by
  // the last error.
  if ((DWORD)size == INVALID_FILE_SIZE) SetLastError(ERROR_SUCCESS);
  return call.Ret((DWORD)size);
}

}  // extern "C"
