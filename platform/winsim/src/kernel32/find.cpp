// Directory searches: FindFirstFileA, FindNextFileA, FindClose.
//
// The pattern is turned into the file system's expression as Windows does
// ("*.*" is "*"; '?' is DOS_QM '>'; a '.' before '?' or '*' is DOS_DOT '"';
// a '*' before a '.' is DOS_STAR '<') and matched with the NTFS rules,
// without regard to case. Like NTFS, a search goes on from the last name it
// reported, in upper-cased name order, so names created or deleted during a
// search show up or drop out as they would on Windows.
#include <cstring>
#include <memory>
#include <vector>

#include "core/filesystem.h"
#include "core/handles.h"
#include "core/journal.h"
#include "windows.h"
#include "core/windows_path.h"

using winsim::ApiCall;
using winsim::DirEntry;
using winsim::FileSystem;
using winsim::HandleJson;
using winsim::Json;

namespace {

const char kDosStar = '<', kDosQm = '>', kDosDot = '"';

struct FindObject : winsim::KernelObject {
  const char* type() const override { return "Find"; }
  std::string name() const override { return FileSystem::WindowsPathOf(dirHost) + "\\" + expression; }
  std::string dirHost;
  std::shared_ptr<const winsim::HostFolder> dir;  // the folder, held open while the search runs
  std::string expression;
  bool wildcards = false;
  bool root = false;
  int phase = 0;          // 0: ".", 1: "..", 2: names (root: names only)
  std::string lastName;   // the last name reported in phase 2
  std::string lastUpper;  // and upper-cased
  // The folder's names as last read, and how far the search has gone in
  // them: each entry is read once, when it is reported, so a walk over a
  // large folder stays linear.
  std::vector<FileSystem::Name> listing;
  size_t position = 0;
  bool listed = false;
  uint64_t lookups = 0;  // FileSystem::MissingNameLookups() when it was read
};

std::string Expression(std::string mask, bool* wildcards) {
  // Trailing dots and spaces go as from any name; a '*' they followed still
  // counts as followed by a dot.
  bool droppedDot = false;
  while (!mask.empty() && (mask.back() == '.' || mask.back() == ' ')) {
    droppedDot |= mask.back() == '.';
    mask.pop_back();
  }
  *wildcards = mask.find_first_of("*?") != std::string::npos;
  if (!*wildcards) return mask;
  if (mask == "*.*") return "*";
  std::string e;
  for (size_t i = 0; i < mask.size(); ++i) {
    char c = mask[i];
    char next = i + 1 < mask.size() ? mask[i + 1] : (droppedDot ? '.' : '\0');
    if (c == '?')
      e += kDosQm;
    else if (c == '.' && (next == '?' || next == '*'))
      e += kDosDot;
    else if (c == '*' && next == '.')
      e += kDosStar;
    else
      e += c;
  }
  return e;
}

bool Match(const std::string& e, size_t p, const std::string& n, size_t i) {
  while (p < e.size()) {
    char c = e[p];
    if (c == '*') {
      for (size_t k = i; k <= n.size(); ++k)
        if (Match(e, p + 1, n, k)) return true;
      return false;
    }
    if (c == kDosStar) {
      // Any characters up to (not past) the last dot of the name.
      size_t lastDot = n.find_last_of('.');
      size_t limit = lastDot == std::string::npos || lastDot < i ? n.size() : lastDot;
      for (size_t k = i; k <= limit; ++k)
        if (Match(e, p + 1, n, k)) return true;
      return false;
    }
    if (c == kDosQm) {
      // One character; at a dot or the end, the run of '>' matches nothing.
      if (i < n.size() && n[i] != '.') {
        ++i;
        ++p;
      } else {
        while (p < e.size() && e[p] == kDosQm) ++p;
      }
      continue;
    }
    if (c == kDosDot) {
      // A dot, or nothing at the end of the name.
      if (i < n.size() && n[i] == '.')
        ++i;
      else if (i != n.size())
        return false;
      ++p;
      continue;
    }
    if (c == '?') {
      if (i >= n.size()) return false;
      ++i;
      ++p;
      continue;
    }
    if (i >= n.size() || toupper((unsigned char)c) != toupper((unsigned char)n[i])) return false;
    ++i;
    ++p;
  }
  return i == n.size();
}

bool Matches(const FindObject& f, const std::string& name) {
  if (!f.wildcards) return winsim::EqualNoCase(f.expression, name);
  return Match(f.expression, 0, name, 0);
}

void Fill(LPWIN32_FIND_DATAA data, const DirEntry& entry) {
  memset(data, 0, sizeof *data);
  data->dwFileAttributes = entry.attributes;
  FILETIME t;
  t.dwLowDateTime = (DWORD)entry.writeTime;
  t.dwHighDateTime = (DWORD)(entry.writeTime >> 32);
  data->ftCreationTime = t;
  data->ftLastAccessTime = t;
  data->ftLastWriteTime = t;
  data->nFileSizeHigh = (DWORD)(entry.size >> 32);
  data->nFileSizeLow = (DWORD)entry.size;
  snprintf(data->cFileName, sizeof data->cFileName, "%s", entry.name.c_str());
}

Json FindDataJson(const WIN32_FIND_DATAA& d) {
  return Json::Object()
      .Set("dwFileAttributes", d.dwFileAttributes)
      .Set("nFileSizeHigh", d.nFileSizeHigh)
      .Set("nFileSizeLow", d.nFileSizeLow)
      .Set("cFileName", Json::Bounded(d.cFileName, sizeof d.cFileName));
}

// The next entry of the search, or false at its end.
bool Next(FindObject& f, DirEntry* out) {
  while (f.phase < 2) {
    int phase = f.phase++;
    const char* name = phase == 0 ? "." : "..";
    if (f.root || !Matches(f, name)) continue;
    std::string host = phase == 0 ? f.dirHost : f.dirHost.substr(0, f.dirHost.find_last_of('/'));
    if (!FileSystem::Stat(host, out)) continue;
    out->name = name;
    out->size = 0;
    return true;
  }
  auto after = [&f](const FileSystem::Name& n) {
    return f.lastName.empty() || FileSystem::NameKeyLess(f.lastUpper, f.lastName, n.upper, n.name);
  };
  for (;;) {
    // Names may have been created since the folder was read: read it again.
    if (!f.listed || f.lookups != FileSystem::MissingNameLookups()) {
      f.listing = FileSystem::Names(*f.dir);
      f.position = 0;
      f.listed = true;
      f.lookups = FileSystem::MissingNameLookups();
    }
    while (f.position < f.listing.size()) {
      const FileSystem::Name& n = f.listing[f.position++];
      if (!after(n) || !Matches(f, n.name)) continue;
      // A name deleted since the folder was read drops out; one still there
      // is reported as it is now.
      DirEntry now;
      if (!FileSystem::Stat(*f.dir, f.dirHost, n.name, &now)) continue;
      f.lastName = n.name;
      f.lastUpper = n.upper;
      *out = now;
      return true;
    }
    // At the end of what was read, the folder is read again: names other
    // processes created since then that sort after the last one reported
    // still come.
    std::vector<FileSystem::Name> again = FileSystem::Names(*f.dir);
    bool more = false;
    for (const FileSystem::Name& n : again)
      if (after(n) && Matches(f, n.name)) more = true;
    if (!more) return false;
    f.listing = std::move(again);
    f.position = 0;
  }
}

}  // namespace

extern "C" {

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
  ApiCall call("FindFirstFileA", {lpFileName, HandleJson(lpFindFileData)});
  if (call.Fault()) return call.Ret(INVALID_HANDLE_VALUE);
  auto fail = [&](DWORD error) { return call.Fail(error, INVALID_HANDLE_VALUE); };
  if (!lpFileName || !*lpFileName) return fail(ERROR_PATH_NOT_FOUND);
  if (strlen(lpFileName) > MAX_PATH) return fail(ERROR_FILENAME_EXCED_RANGE);
  winsim::WindowsPath path;
  DWORD error = 0;
  if (!winsim::ParseWindowsPath(lpFileName, FileSystem::CurrentDirectory(), &path, &error)) return fail(error);
  // The last component is the pattern; "dir\" has an empty one.
  std::string mask;
  if (!path.trailing && !path.parts.empty()) {
    mask = path.lastRaw;
    path.parts.pop_back();
  }
  path.trailing = false;
  winsim::ResolvedPath dir;
  if (!winsim::ResolveWindowsPath(path, FileSystem::kRedirect, &dir, &error)) return fail(error);
  if (!dir.exists || !(FileSystem::Attributes(dir.host) & FILE_ATTRIBUTE_DIRECTORY)) return fail(ERROR_PATH_NOT_FOUND);
  if (winsim::HasInvalidNameChar(mask, true)) return fail(ERROR_INVALID_NAME);
  if (mask.empty()) return fail(ERROR_FILE_NOT_FOUND);

  std::unique_ptr<FindObject> find(new FindObject());
  find->dirHost = dir.host;
  find->dir = FileSystem::OpenFolder(dir);
  if (!find->dir) return fail(ERROR_PATH_NOT_FOUND);
  find->root = dir.isRoot;
  find->expression = Expression(mask, &find->wildcards);
  DirEntry entry;
  if (!Next(*find, &entry)) return fail(ERROR_FILE_NOT_FOUND);
  if (!lpFindFileData) return fail(ERROR_NOACCESS);
  Fill(lpFindFileData, entry);
  call.SetArg(1, FindDataJson(*lpFindFileData));
  return call.Ret(winsim::Handles::Insert(std::move(find)));
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
  ApiCall call("FindNextFileA", {HandleJson(hFindFile), HandleJson(lpFindFileData)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  FindObject* find = winsim::Handles::GetAs<FindObject>(hFindFile);
  if (!find) return call.Fail(ERROR_INVALID_HANDLE);
  DirEntry entry;
  if (!Next(*find, &entry)) return call.Fail(ERROR_NO_MORE_FILES);
  if (!lpFindFileData) return call.Fail(ERROR_NOACCESS);
  Fill(lpFindFileData, entry);
  call.SetArg(1, FindDataJson(*lpFindFileData));
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
  ApiCall call("FindClose", {HandleJson(hFindFile)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!winsim::Handles::GetAs<FindObject>(hFindFile)) return call.Fail(ERROR_INVALID_HANDLE);
  winsim::Handles::Remove(hFindFile);
  return call.Ret((BOOL)TRUE);
}

}  // extern "C"
