// The work behind the KERNEL32 file functions: lookups, copying, moving and
// deleting, shared with the C run-time's rename and SHLWAPI's path helpers.
#include "kernel32/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/filesystem.h"
#include "core/machine.h"
#include "core/open_files.h"

namespace winsim {

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
const DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

}  // namespace

DWORD Missing(const ResolvedPath& r) { return r.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND; }

namespace {

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string LastName(const std::string& path, char sep) {
  size_t at = path.find_last_of(sep);
  return at == std::string::npos ? path : path.substr(at + 1);
}

std::string ParentOf(const std::string& host) { return host.substr(0, host.find_last_of('/')); }

}  // namespace

// Looks a name up for a file operation: 0 and the attributes of an existing
// entry, or the error a missing or ill-formed one gives.
DWORD Lookup(LPCSTR path, unsigned flags, ResolvedPath* r, DWORD* attributes) {
  DWORD error = 0;
  if (!FileSystem::ResolveEx(path, flags, r, &error)) return error;
  if (!r->exists) return Missing(*r);
  *attributes = r->attributes != INVALID_FILE_ATTRIBUTES ? r->attributes : FileSystem::Attributes(r->host);
  // "name\" names a folder; for a file the name is ill-formed.
  if (r->trailingSeparator && !(*attributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_INVALID_NAME;
  return 0;
}

namespace {

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

}  // namespace

DWORD CopyWork(LPCSTR existing, LPCSTR target, BOOL failIfExists) {
  ResolvedPath src, dst;
  DWORD srcAttributes = 0, dstAttributes = 0;
  if (DWORD e = Lookup(existing, FileSystem::kRedirect | FileSystem::kLongText, &src, &srcAttributes)) return e;
  if (srcAttributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_ACCESS_DENIED;
  // The source is opened for reading, sharing reads and writes; Vista and
  // later share its deletion as well. The destination is opened for
  // writing, sharing reads and writes (on NT) but never its deletion.
  const OsInfo& os = Machine::Current().os();
  DWORD sourceShare = FILE_SHARE_READ | FILE_SHARE_WRITE | (os.IsNT() && os.major >= 6 ? FILE_SHARE_DELETE : 0);
  DWORD targetShare = os.IsNT() ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
  if (DWORD e = winsim::CheckSharing(src.host, winsim::kRightRead, sourceShare)) return e;
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
    if (DWORD s = winsim::CheckSharing(dst.host, winsim::kRightWrite, targetShare)) return s;
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
  if (unlinkat(r.AtFd(), r.AtName(), 0) != 0) return ERROR_ACCESS_DENIED;
  FileSystem::Deleted(r);
  return 0;
}

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
