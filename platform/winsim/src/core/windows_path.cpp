// The system's path parser: a Windows path taken apart into its drive and
// components against the current directory, before any file system sees it.
#include "core/windows_path.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace winsim {

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

std::vector<std::string> SplitPathParts(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && !IsPathSeparator(text[i])) continue;
    if (i > start) parts.emplace_back(text, start, i - start);
    start = i + 1;
  }
  return parts;
}

bool IsDots(const std::string& name) {
  return !name.empty() && name.size() <= 2 && name[0] == '.' && name.back() == '.';
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (toupper((unsigned char)a[i]) != toupper((unsigned char)b[i])) return false;
  return true;
}

std::string UpperName(const std::string& name) {
  std::string u = name;
  for (char& c : u) c = (char)toupper((unsigned char)c);
  return u;
}

bool HasInvalidNameChar(const std::string& name, bool allowWildcards) {
  for (unsigned char c : name) {
    if (c < 32 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|') return true;
    if (!allowWildcards && (c == '*' || c == '?')) return true;
  }
  return false;
}

std::string WindowsPath::Text() const {
  std::string t;
  t += drive;
  t += ":\\";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) t += '\\';
    t += parts[i];
  }
  if (trailing && !parts.empty()) t += '\\';
  return t;
}

bool ParseWindowsPath(const std::string& text, const std::string& cwd, WindowsPath* out, DWORD* error) {
  *out = WindowsPath();
  if (text.empty()) {
    *error = ERROR_INVALID_NAME;
    return false;
  }
  std::string t = text;
  std::replace(t.begin(), t.end(), '/', '\\');

  // \\?\C:\... is handed to the file system as it stands.
  if (t.compare(0, 4, "\\\\?\\") == 0) {
    std::string rest = t.substr(4);
    if (rest.size() < 3 || !isalpha((unsigned char)rest[0]) || rest[1] != ':' || rest[2] != '\\') {
      *error = ERROR_PATH_NOT_FOUND;
      return false;
    }
    out->literal = true;
    out->drive = (char)toupper((unsigned char)rest[0]);
    out->parts = SplitPathParts(rest.substr(3));
    out->trailing = rest.size() > 3 && rest.back() == '\\';
    out->lastRaw = out->parts.empty() ? "" : out->parts.back();
    return true;
  }
  if (t.compare(0, 2, "\\\\") == 0) {
    *error = ERROR_BAD_NETPATH;  // no network in the simulated machine
    return false;
  }

  char cwdDrive = cwd.empty() ? 'C' : (char)toupper((unsigned char)cwd[0]);
  std::string rest;
  bool relative = true;  // to the current directory
  if (t.size() >= 2 && isalpha((unsigned char)t[0]) && t[1] == ':') {
    out->drive = (char)toupper((unsigned char)t[0]);
    rest = t.substr(2);
    // "C:name" is relative to the current directory of that drive; a drive
    // that is not current has its root as current directory.
    relative = !(!rest.empty() && rest[0] == '\\') && out->drive == cwdDrive;
  } else if (t[0] == '\\') {
    out->drive = cwdDrive;
    relative = false;
    rest = t;
  } else {
    out->drive = cwdDrive;
    rest = t;
  }

  std::vector<std::string> tokens = SplitPathParts(rest);
  if (relative && cwd.size() > 2) out->parts = SplitPathParts(cwd.substr(2));
  out->trailing = !rest.empty() && rest.back() == '\\' && !tokens.empty();
  for (size_t i = 0; i < tokens.size(); ++i) {
    std::string& tok = tokens[i];
    bool last = i + 1 == tokens.size();
    if (tok.size() == 1 && tok[0] == '.') {
      if (last) {
        out->trailing = false;
        out->lastRaw = out->parts.empty() ? "" : out->parts.back();
      }
      continue;
    }
    if (IsDots(tok)) {
      if (!out->parts.empty()) out->parts.pop_back();
      if (last) {
        out->trailing = false;
        out->lastRaw = out->parts.empty() ? "" : out->parts.back();
      }
      continue;
    }
    if (last) out->lastRaw = tok;
    if (!last || out->trailing) {
      // A component followed by a separator loses one trailing dot.
      if (tok.back() == '.') tok.pop_back();
    } else {
      // The last one loses all its trailing dots and spaces.
      while (!tok.empty() && (tok.back() == '.' || tok.back() == ' ')) tok.pop_back();
      if (tok.empty()) {
        out->trailing = true;
        continue;
      }
    }
    out->parts.push_back(std::move(tok));
  }
  if (tokens.empty() && out->lastRaw.empty() && !out->parts.empty()) out->lastRaw = out->parts.back();
  return true;
}

}  // namespace winsim
