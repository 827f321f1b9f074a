// The program's own resources: the compiled .res that the build embeds in
// the program (winsim_res_data), read as Windows reads a module's resource
// section.
#pragma once

#include <string>
#include <vector>

#include "windows.h"

namespace winsim {

// A type or name of a resource: a number, or an upper-case text.
struct ResId {
  bool isNumber = true;
  WORD number = 0;
  std::string text;

  // From the LPCSTR of the Win32 calls: MAKEINTRESOURCE, "#123" or a name.
  static ResId From(LPCSTR p);
  bool operator==(const ResId& o) const {
    return isNumber == o.isNumber && (isNumber ? number == o.number : text == o.text);
  }
  // 128 or "NAME" for the journal.
  std::string ToString() const;
};

struct ResourceEntry {
  ResId type;
  ResId name;
  WORD language = 0;
  const unsigned char* data = nullptr;
  DWORD size = 0;
};

class Resources {
 public:
  // The module handle of the program (its image base).
  static HMODULE ProgramModule() { return (HMODULE)(uintptr_t)0x00400000; }
  // Null stands for the program, as in FindResourceA.
  static bool IsProgram(HMODULE h) { return !h || h == ProgramModule(); }

  static const std::vector<ResourceEntry>& All();
  // Looks a resource up as FindResourceA does (language neutral, then
  // English (United States), then any); 0 and the error number when absent.
  static const ResourceEntry* Find(const ResId& type, const ResId& name, DWORD* error);
  // The entry whose data holds `p` (dialog templates passed indirectly).
  static const ResourceEntry* Containing(const void* p);
  static bool IsEntry(const void* p);
  // String `id` of the string table (UTF-16 converted to code page 1252),
  // empty when the block has no such string; false with the error of
  // FindResource when the block is missing.
  static bool String(UINT id, std::string* text, DWORD* error);

  // Tests: use the bytes of a .res file as the program's resources; an
  // empty vector goes back to the embedded ones.
  static void UseForTests(const std::vector<unsigned char>& bytes);
  // Parses .res bytes; false when they are not a well-formed .res.
  static bool Parse(const unsigned char* data, size_t size, std::vector<ResourceEntry>* out);
};

// UTF-16 text of resources to the ANSI code page 1252.
std::string Utf16ToAnsi(const unsigned char* p, size_t chars);

}  // namespace winsim
