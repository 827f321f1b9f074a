// Drive C: of the simulated machine, kept in drive_c/ of the machine folder.
// Windows paths are looked up case-insensitively, component by component,
// as Windows does; new names keep the letter case they were given.
//
// File attributes live in the host file's mode bits, so that they survive
// process exits, copies with `cp -a` and archives:
//   FILE_ATTRIBUTE_READONLY  files: owner write bit clear; folders: set-user-id bit
//   FILE_ATTRIBUTE_HIDDEN    sticky bit
//   FILE_ATTRIBUTE_SYSTEM    set-group-id bit
//   FILE_ATTRIBUTE_ARCHIVE   "others may execute" bit clear
// so that a file the host made (0644) reads as ARCHIVE and a folder (0755) as
// a plain directory. A host symbolic link below drive_c is a junction (or a
// file symbolic link): FILE_ATTRIBUTE_REPARSE_POINT, with DIRECTORY unless it
// points at a file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "windows.h"

struct stat;

namespace winsim {

// A host folder held open: by a kept look-up (see ResolveFolder), so that
// names in it are looked up, changed and removed relative to it, one name
// each, rather than along the whole host path; and by a directory search.
// Closed with its last holder.
class HostFolder {
 public:
  explicit HostFolder(int fd);
  ~HostFolder();
  HostFolder(const HostFolder&) = delete;
  HostFolder& operator=(const HostFolder&) = delete;
  int fd() const { return m_fd; }
  // The folder's device and inode (0 when they could not be read): while it
  // is held open, no other folder has them.
  uint64_t dev() const { return m_dev; }
  uint64_t ino() const { return m_ino; }

 private:
  int m_fd;
  uint64_t m_dev = 0;
  uint64_t m_ino = 0;
};

struct ResolvedPath {
  std::string host;     // the host path below drive_c (may not exist)
  std::string windows;  // the full Windows path after redirection, "C:\..."
  bool exists = false;
  bool parentExists = false;
  bool trailingSeparator = false;  // the path ended in '\': it names a folder
  bool isRoot = false;             // C:\ itself
  // What FileSystem::Attributes gives for `host`, when the look-up already
  // read it; INVALID_FILE_ATTRIBUTES when it did not.
  DWORD attributes = INVALID_FILE_ATTRIBUTES;
  // The host mode (st_mode) that lstat gave with `attributes`; 0 when not read.
  unsigned mode = 0;
  // The folder of a name found in a kept folder (see ResolveFolder) and the
  // name as the host spells it; null otherwise.
  std::shared_ptr<const HostFolder> folder;
  std::string name;
  // The directory and name for the *at system calls: the folder and the
  // name, else the working directory and the whole host path.
  int AtFd() const;
  const char* AtName() const { return folder ? name.c_str() : host.c_str(); }
};

// One entry of a folder as a directory search reports it.
struct DirEntry {
  std::string name;
  DWORD attributes = 0;
  uint64_t size = 0;
  uint64_t writeTime = 0;  // FILETIME ticks
};

class FileSystem {
 public:
  enum ResolveFlags : unsigned {
    kRedirect = 1,  // apply the WOW64 view of a 32-bit program
    // The name reaches the system through a growing buffer (the second name
    // of CopyFileA and MoveFileA): no MAX_PATH limit on the text as given.
    kLongText = 2,
  };

  // Resolves a Windows path of the running program: relative paths against
  // its current directory, "." and ".." folded, '/' taken as '\'. With
  // `redirect`, a 32-bit program's view on 64-bit Windows applies (the
  // system directory goes to SysWOW64 but for the folders Windows exempts).
  // False, with the Windows error number, for a path that is not on C: or
  // not well formed.
  static bool Resolve(const std::string& windowsPath, bool redirect, ResolvedPath* out, DWORD* error);
  static bool ResolveEx(const char* windowsPath, unsigned flags, ResolvedPath* out, DWORD* error);
  // The same for callers inside the machine (spooler, set-up service): no
  // redirection, absolute paths only; "" for a path that is not on C:.
  static std::string HostPath(const std::string& windowsPath);
  // The other way: "C:\..." for a host path on drive C: as the host spells
  // it, the host path itself for any other.
  static std::string WindowsPathOf(const std::string& host);

  // The full Windows path of a name as GetFullPathNameA forms it: text only,
  // nothing is looked up and no drive is refused. False with
  // ERROR_INVALID_NAME for an empty name.
  static bool FullPathName(const std::string& path, std::string* full, DWORD* error);

  // The current directory of the process, "C:\..." (no trailing backslash
  // except for the root).
  static std::string CurrentDirectory();
  static void SetCurrentDirectory(const std::string& windowsPath);

  // WOW64 file system redirection of the running 32-bit program (on by
  // default; only meaningful on a 64-bit machine).
  static bool RedirectionEnabled();
  static void SetRedirectionEnabled(bool enabled);

  // How many resolutions met a name that does not exist: every file or
  // folder the programs create begins with one. A directory search reads
  // its folder again only when this moved, so a walk that deletes as it
  // goes reads each folder once.
  static uint64_t MissingNameLookups();

  // File attributes kept with the host file (FILE_ATTRIBUTE_*), or
  // INVALID_FILE_ATTRIBUTES when it does not exist.
  static DWORD Attributes(const std::string& hostPath);
  // The same from what lstat gave for the path.
  static DWORD AttributesOf(const std::string& hostPath, const struct stat& st);
  // `mode`: the entry's st_mode when the caller just read it (0: read it).
  static bool SetAttributes(const std::string& hostPath, DWORD attributes, unsigned mode = 0);
  // The same for a path just resolved (its mode read, the entry changed
  // relative to its folder where one is held).
  static bool SetAttributes(const ResolvedPath& r, DWORD attributes);

  // The entries of a host folder ("." and ".." not included) in the order
  // NTFS reports them: by name, compared after upper-casing.
  static std::vector<DirEntry> List(const std::string& hostDir);
  static bool NameLess(const std::string& a, const std::string& b);
  // The same order with the upper-cased names at hand.
  static bool NameKeyLess(const std::string& upperA, const std::string& a, const std::string& upperB,
                          const std::string& b);
  // Only the names, in that order, without reading each entry.
  struct Name {
    std::string upper;
    std::string name;
  };
  static std::vector<Name> Names(const std::string& hostDir);
  // The same read through an open folder.
  static std::vector<Name> Names(const HostFolder& dir);
  // One entry (name as on disk) for a host path.
  static bool Stat(const std::string& hostPath, DirEntry* entry);
  // One entry of an open folder: `name` looked up in it alone.
  static bool Stat(const HostFolder& dir, const std::string& hostDir, const std::string& name, DirEntry* entry);
  // Opens the folder a path names for reading its names (a search holds it
  // while it runs, as a search handle of Windows holds its folder); null
  // when it cannot be opened.
  static std::shared_ptr<const HostFolder> OpenFolder(const ResolvedPath& dir);
  // Tells the kept folders that this process just removed the file `r`
  // names (found in a kept folder just before): its event, which the
  // removal queued, need not be read.
  static void Deleted(const ResolvedPath& r);
};

struct WindowsPath;
// Checks and looks up parsed parts on drive C: (see FileSystem::ResolveEx).
bool ResolveWindowsPath(const WindowsPath& path, unsigned flags, ResolvedPath* out, DWORD* error);

}  // namespace winsim
