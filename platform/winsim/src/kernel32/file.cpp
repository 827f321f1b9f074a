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

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
const DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

DWORD Missing(const ResolvedPath& r) { return r.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND; }

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string LastName(const std::string& path, char sep) {
  size_t at = path.find_last_of(sep);
  return at == std::string::npos ? path : path.substr(at + 1);
}

std::string ParentOf(const std::string& host) { return host.substr(0, host.find_last_of('/')); }

// Looks a name up for a file operation: 0 and the attributes of an existing
// entry, or the error a missing or ill-formed one gives.
DWORD Lookup(LPCSTR path, unsigned flags, ResolvedPath* r, DWORD* attributes) {
  DWORD error = 0;
  if (!FileSystem::ResolveEx(path, flags, r, &error)) return error;
  if (!r->exists) return Missing(*r);
  *attributes = FileSystem::Attributes(r->host);
  // "name\" names a folder; for a file the name is ill-formed.
  if (r->trailingSeparator && !(*attributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_INVALID_NAME;
  return 0;
}

DWORD CopyContent(const std::string& from, const std::string& to) {
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return ERROR_ACCESS_DENIED;
  int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    close(in);
    return ERROR_ACCESS_DENIED;
  }
  char buffer[65536];
  DWORD error = 0;
  for (;;) {
    ssize_t n = read(in, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0 || write(out, buffer, (size_t)n) != n) {
      error = errno == ENOSPC ? 112 /* ERROR_DISK_FULL */ : ERROR_ACCESS_DENIED;
      break;
    }
  }
  // A copy keeps the time the source was last written.
  struct stat st;
  if (!error && fstat(in, &st) == 0) {
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(out, times);
  }
  close(in);
  close(out);
  return error;
}

DWORD CopyWork(LPCSTR existing, LPCSTR target, BOOL failIfExists) {
  ResolvedPath src, dst;
  DWORD srcAttributes = 0, dstAttributes = 0;
  if (DWORD e = Lookup(existing, FileSystem::kRedirect | FileSystem::kLongText, &src, &srcAttributes)) return e;
  if (srcAttributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_ACCESS_DENIED;
  if (DWORD e = winsim::CheckSharing(src.host, winsim::kRightRead, FILE_SHARE_READ | FILE_SHARE_DELETE)) return e;
  DWORD e = Lookup(target, FileSystem::kRedirect | FileSystem::kLongText, &dst, &dstAttributes);
  if (e && dst.exists) return e;
  if (!dst.exists) {
    if (dst.host.empty()) return e;
    if (!dst.parentExists) return ERROR_PATH_NOT_FOUND;
    if (dst.trailingSeparator) return ERROR_INVALID_NAME;
  } else {
    if (failIfExists) return ERROR_FILE_EXISTS;
    if (dstAttributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_ACCESS_DENIED;
    if (SameFile(src.host, dst.host)) return ERROR_SHARING_VIOLATION;
    if (dstAttributes & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
    // Overwriting a hidden or system file needs the same attributes.
    DWORD hs = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if ((dstAttributes & hs) & ~(srcAttributes & hs)) return ERROR_ACCESS_DENIED;
    if (DWORD s = winsim::CheckSharing(dst.host, winsim::kRightWrite, 0)) return s;
  }
  if (DWORD c = CopyContent(src.host, dst.host)) return c;
  FileSystem::SetAttributes(dst.host, (srcAttributes & kKeptAttributes) | FILE_ATTRIBUTE_ARCHIVE);
  return 0;
}

DWORD DeleteWork(LPCSTR path) {
  ResolvedPath r;
  DWORD attributes = 0;
  if (DWORD e = Lookup(path, FileSystem::kRedirect, &r, &attributes)) return e;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_ACCESS_DENIED;
  if (DWORD e = winsim::CheckSharing(r.host, winsim::kRightDelete, kShareAll)) return e;
  if (attributes & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
  if (unlink(r.host.c_str()) != 0) return ERROR_ACCESS_DENIED;
  return 0;
}

}  // namespace

namespace winsim {

DWORD QueryAttributes(LPCSTR path, DWORD* attributes) {
  ResolvedPath r;
  return Lookup(path, FileSystem::kRedirect, &r, attributes);
}

DWORD MoveFileWork(LPCSTR existing, LPCSTR target, DWORD flags) {
  // Moves at the next start need the session manager, which the simulated
  // machine does not have.
  if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) return ERROR_NOT_SUPPORTED;
  ResolvedPath src, dst;
  DWORD srcAttributes = 0, dstAttributes = 0;
  if (DWORD e = Lookup(existing, FileSystem::kRedirect, &src, &srcAttributes)) return e;
  if (!target) return ERROR_INVALID_PARAMETER;
  DWORD e = Lookup(target, FileSystem::kRedirect | FileSystem::kLongText, &dst, &dstAttributes);
  if (e && dst.exists) return e;
  if (!dst.exists) {
    if (dst.host.empty()) return e;
    if (!dst.parentExists) return ERROR_PATH_NOT_FOUND;
  }
  bool srcIsDir = (srcAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(srcAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  std::string newHost = dst.host;
  if (dst.exists && SameFile(src.host, dst.host) && !src.isRoot) {
    // The same file under another spelling: only the letter case changes.
    newHost = ParentOf(dst.host) + "/" + LastName(dst.windows, '\\');
  } else if (dst.exists) {
    if (!(flags & MOVEFILE_REPLACE_EXISTING)) return ERROR_ALREADY_EXISTS;
    if (srcIsDir || (dstAttributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_ACCESS_DENIED;
    if (dstAttributes & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
    if (DWORD s = CheckSharing(dst.host, kRightDelete, kShareAll)) return s;
  }
  if (src.isRoot) return ERROR_ACCESS_DENIED;
  if (DWORD s = CheckSharing(src.host, kRightDelete, kShareAll)) return s;
  if (srcIsDir) {
    ResolvedPath cwd;
    DWORD ignored = 0;
    if (FileSystem::ResolveEx(FileSystem::CurrentDirectory().c_str(), FileSystem::kRedirect, &cwd, &ignored) &&
        cwd.exists) {
      if (SameFile(cwd.host, src.host)) return ERROR_SHARING_VIOLATION;
      if (cwd.host.compare(0, src.host.size() + 1, src.host + "/") == 0) return ERROR_ACCESS_DENIED;
    }
    // Files open below a folder pin its name.
    if (AnyOpenBelow(src.host)) return ERROR_ACCESS_DENIED;
    if (newHost.compare(0, src.host.size() + 1, src.host + "/") == 0) return ERROR_SHARING_VIOLATION;
  }
  // Not ::rename: the C run-time's rename of the programs is ours.
  if (renameat(AT_FDCWD, src.host.c_str(), AT_FDCWD, newHost.c_str()) != 0) return ERROR_ACCESS_DENIED;
  return 0;
}

}  // namespace winsim

extern "C" {

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  ApiCall call("GetFileAttributesA", {lpFileName});
  if (call.Fault()) return call.Ret(INVALID_FILE_ATTRIBUTES);
  DWORD attributes = 0;
  if (DWORD e = winsim::QueryAttributes(lpFileName, &attributes)) {
    SetLastError(e);
    return call.Ret(INVALID_FILE_ATTRIBUTES);
  }
  return call.Ret(attributes);
}

BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
  ApiCall call("SetFileAttributesA", {lpFileName, dwFileAttributes});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  ResolvedPath r;
  DWORD attributes = 0;
  if (DWORD e = Lookup(lpFileName, FileSystem::kRedirect, &r, &attributes)) {
    SetLastError(e);
    return call.Ret((BOOL)FALSE);
  }
  // Only the four attributes a program may set are taken; DIRECTORY and the
  // others are the file system's own.
  DWORD wanted = (dwFileAttributes & kKeptAttributes) | (attributes & FILE_ATTRIBUTE_DIRECTORY);
  if (!FileSystem::SetAttributes(r.host, wanted)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return call.Ret((BOOL)FALSE);
  }
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  ApiCall call("CopyFileA", {lpExistingFileName, lpNewFileName, bFailIfExists});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (DWORD e = CopyWork(lpExistingFileName, lpNewFileName, bFailIfExists)) {
    SetLastError(e);
    return call.Ret((BOOL)FALSE);
  }
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
  ApiCall call("MoveFileExA", {lpExistingFileName, lpNewFileName, dwFlags});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (DWORD e = winsim::MoveFileWork(lpExistingFileName, lpNewFileName, dwFlags)) {
    SetLastError(e);
    return call.Ret((BOOL)FALSE);
  }
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) {
  ApiCall call("MoveFileA", {lpExistingFileName, lpNewFileName});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (DWORD e = winsim::MoveFileWork(lpExistingFileName, lpNewFileName, MOVEFILE_COPY_ALLOWED)) {
    SetLastError(e);
    return call.Ret((BOOL)FALSE);
  }
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  ApiCall call("DeleteFileA", {lpFileName});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (DWORD e = DeleteWork(lpFileName)) {
    SetLastError(e);
    return call.Ret((BOOL)FALSE);
  }
  return call.Ret((BOOL)TRUE);
}

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
  ApiCall call("CreateFileA", {lpFileName, dwDesiredAccess, dwShareMode, HandleJson(lpSecurityAttributes),
                               dwCreationDisposition, dwFlagsAndAttributes, HandleJson(hTemplateFile)});
  if (call.Fault()) return call.Ret(INVALID_HANDLE_VALUE);
  auto fail = [&](DWORD error) {
    SetLastError(error);
    return call.Ret(INVALID_HANDLE_VALUE);
  };
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
        FileSystem::SetAttributes(r.host, (dwFlagsAndAttributes & kKeptAttributes) | (attributes & hs) |
                                              FILE_ATTRIBUTE_ARCHIVE);
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
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return call.Ret((BOOL)FALSE);
  }
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
  if (f->directory) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return call.Ret((BOOL)FALSE);
  }
  if (!(f->rights & winsim::kRightRead)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return call.Ret((BOOL)FALSE);
  }
  if (!lpNumberOfBytesRead || (nNumberOfBytesToRead && !lpBuffer)) {
    SetLastError(ERROR_NOACCESS);
    return call.Ret((BOOL)FALSE);
  }
  ssize_t n = nNumberOfBytesToRead ? pread(f->fd, lpBuffer, nNumberOfBytesToRead, (off_t)f->position) : 0;
  if (n < 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return call.Ret((BOOL)FALSE);
  }
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
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return call.Ret((BOOL)FALSE);
  }
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
  if (f->directory) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return call.Ret((BOOL)FALSE);
  }
  if (!(f->rights & winsim::kRightWrite)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return call.Ret((BOOL)FALSE);
  }
  if (!lpNumberOfBytesWritten) {
    SetLastError(ERROR_NOACCESS);
    return call.Ret((BOOL)FALSE);
  }
  if (nNumberOfBytesToWrite && !lpBuffer) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return call.Ret((BOOL)FALSE);
  }
  ssize_t n = nNumberOfBytesToWrite ? pwrite(f->fd, lpBuffer, nNumberOfBytesToWrite, (off_t)f->position) : 0;
  if (n < 0) {
    SetLastError(errno == ENOSPC ? 112 /* ERROR_DISK_FULL */ : ERROR_ACCESS_DENIED);
    return call.Ret((BOOL)FALSE);
  }
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
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return call.Ret(INVALID_FILE_SIZE);
  }
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
