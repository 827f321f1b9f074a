// The text of a Windows path taken apart as the system's path parser does
// before any file system sees it. Used by the drive and by the KERNEL32 file
// functions that need the pieces (the search pattern of FindFirstFileA).
#pragma once

#include <string>
#include <vector>

#include "windows.h"

namespace winsim {

struct WindowsPath {
  char drive = 'C';
  std::vector<std::string> parts;  // below the root, "." and ".." folded
  bool trailing = false;           // ended in a separator
  bool literal = false;            // given as \\?\C:\..., taken as it stands
  std::string lastRaw;             // the last component before its trailing dots and spaces went

  std::string Text() const;  // "C:\a\b" (with the trailing '\' when given)
};

// Forms the full path of `text` against the current directory `cwd` (a
// full path itself). Fails with ERROR_INVALID_NAME for an empty text and
// ERROR_BAD_NETPATH for a UNC name.
bool ParseWindowsPath(const std::string& text, const std::string& cwd, WindowsPath* out, DWORD* error);

bool IsPathSeparator(char c);
// The components between separators, empty ones dropped.
std::vector<std::string> SplitPathParts(const std::string& text);

// "." or "..".
bool IsDots(const std::string& name);

// Whether a component holds a character Windows refuses in names.
bool HasInvalidNameChar(const std::string& name, bool allowWildcards);

bool EqualNoCase(const std::string& a, const std::string& b);
std::string UpperName(const std::string& name);

}  // namespace winsim
