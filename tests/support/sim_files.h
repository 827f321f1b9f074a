// Seeds folders and files of drive C: through the simulated KERNEL32, and
// reads them back, for tests of code that works on files.
#pragma once

#include <windows.h>

#include <string>

#include "core/filesystem.h"

inline bool MakeDir(const char* path) { return CreateDirectoryA(path, nullptr) != FALSE; }

// Creates or replaces a file with the text and the attributes.
inline bool MakeFile(const char* path, const std::string& text = "", DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(h, text.data(), (DWORD)text.size(), &written, nullptr);
  CloseHandle(h);
  if (!ok || written != text.size()) return false;
  return attributes == FILE_ATTRIBUTE_NORMAL || SetFileAttributesA(path, attributes);
}

// The whole text of a file, or "<missing>".
inline std::string FileText(const char* path) {
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<missing>";
  std::string text;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n) text.append(buffer, n);
  CloseHandle(h);
  return text;
}

inline bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// The host path of a Windows path, as the machine's own services see it.
inline std::string HostOf(const std::string& path) { return winsim::FileSystem::HostPath(path); }
