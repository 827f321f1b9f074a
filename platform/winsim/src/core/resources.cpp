// Resources of the program: the .res records (RESOURCEHEADER, 32-bit
// aligned) read into a table, and the KERNEL32/USER32 calls on it.
#include "core/resources.h"

#include <cctype>
#include <cstring>

#include "core/journal.h"

// The build embeds the program's .res under these names; programs without
// resources (and the unit tests) leave them undefined.
extern "C" const unsigned char winsim_res_data[] __attribute__((weak));
extern "C" const unsigned long winsim_res_size __attribute__((weak));

namespace winsim {

namespace {

struct ResourceState {
  bool loaded = false;
  std::vector<unsigned char> testBytes;
  bool useTestBytes = false;
  std::vector<ResourceEntry> entries;
};

ResourceState& RState() {
  static ResourceState s;
  return s;
}

WORD Word(const unsigned char* p) { return (WORD)(p[0] | (p[1] << 8)); }
DWORD Dword(const unsigned char* p) {
  return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24);
}

// A type or name field of a RESOURCEHEADER: 0xFFFF and an ordinal, or a
// zero-terminated UTF-16 text. Advances `pos`; false past `end`.
bool ReadId(const unsigned char* base, size_t end, size_t* pos, ResId* id) {
  if (*pos + 2 > end) return false;
  if (Word(base + *pos) == 0xFFFF) {
    if (*pos + 4 > end) return false;
    id->isNumber = true;
    id->number = Word(base + *pos + 2);
    *pos += 4;
    return true;
  }
  id->isNumber = false;
  size_t start = *pos;
  while (true) {
    if (*pos + 2 > end) return false;
    WORD c = Word(base + *pos);
    *pos += 2;
    if (!c) break;
  }
  std::string text = Utf16ToAnsi(base + start, (*pos - start) / 2 - 1);
  for (auto& ch : text) ch = (char)toupper((unsigned char)ch);
  id->text = text;
  return true;
}

// Windows-1252 for the code points 0x80..0x9F of that page.
const WORD k1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                            0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                            0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char ToAnsi(WORD c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return (char)c;
  for (int i = 0; i < 32; ++i)
    if (k1252High[i] == c) return (char)(0x80 + i);
  return '?';
}

void EnsureResourcesLoaded() {
  ResourceState& s = RState();
  if (s.loaded) return;
  s.loaded = true;
  s.entries.clear();
  if (s.useTestBytes)
    Resources::Parse(s.testBytes.data(), s.testBytes.size(), &s.entries);
  else if (&winsim_res_size && &winsim_res_data)
    Resources::Parse(winsim_res_data, winsim_res_size, &s.entries);
}

}  // namespace

std::string Utf16ToAnsi(const unsigned char* p, size_t chars) {
  std::string s;
  s.reserve(chars);
  for (size_t i = 0; i < chars; ++i) s += ToAnsi(Word(p + 2 * i));
  return s;
}

ResId ResId::From(LPCSTR p) {
  ResId id;
  if (IS_INTRESOURCE(p)) {
    id.number = (WORD)(uintptr_t)p;
    return id;
  }
  // "#123" names the number 123, as FindResource reads it.
  if (p[0] == '#' && p[1]) {
    char* end = nullptr;
    unsigned long n = strtoul(p + 1, &end, 10);
    if (!*end && n <= 0xFFFF) {
      id.number = (WORD)n;
      return id;
    }
  }
  id.isNumber = false;
  for (const char* c = p; *c; ++c) id.text += (char)toupper((unsigned char)*c);
  return id;
}

std::string ResId::ToString() const { return isNumber ? std::to_string(number) : text; }

bool Resources::Parse(const unsigned char* data, size_t size, std::vector<ResourceEntry>* out) {
  size_t pos = 0;
  while (pos + 8 <= size) {
    DWORD dataSize = Dword(data + pos);
    DWORD headerSize = Dword(data + pos + 4);
    if (headerSize < 8 || pos + headerSize > size || dataSize > size - pos - headerSize) return false;
    size_t headerEnd = pos + headerSize;
    size_t p = pos + 8;
    ResourceEntry e;
    if (!ReadId(data, headerEnd, &p, &e.type) || !ReadId(data, headerEnd, &p, &e.name)) return false;
    p = (p + 3) & ~(size_t)3;
    // DataVersion, MemoryFlags, LanguageId, Version, Characteristics.
    if (p + 16 > headerEnd) return false;
    e.language = Word(data + p + 6);
    e.data = data + headerEnd;
    e.size = dataSize;
    // The leading empty record marks a 32-bit .res file.
    if (!(e.type.isNumber && e.type.number == 0 && dataSize == 0)) out->push_back(e);
    pos = (headerEnd + dataSize + 3) & ~(size_t)3;
  }
  return true;
}

const std::vector<ResourceEntry>& Resources::All() {
  EnsureResourcesLoaded();
  return RState().entries;
}

void Resources::UseForTests(const std::vector<unsigned char>& bytes) {
  ResourceState& s = RState();
  s.testBytes = bytes;
  s.useTestBytes = !bytes.empty();
  s.loaded = false;
}

const ResourceEntry* Resources::Find(const ResId& type, const ResId& name, DWORD* error) {
  const ResourceEntry* found = nullptr;
  bool typeSeen = false;
  // Language neutral, then the user's language (English, United States).
  static const WORD kOrder[] = {MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                                MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)};
  int best = 99;
  for (const auto& e : All()) {
    if (!(e.type == type)) continue;
    typeSeen = true;
    if (!(e.name == name)) continue;
    int rank = 2;
    for (int i = 0; i < 2; ++i)
      if (e.language == kOrder[i]) rank = i;
    if (rank < best) {
      best = rank;
      found = &e;
    }
  }
  if (!found && error) *error = typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND;
  return found;
}

const ResourceEntry* Resources::Containing(const void* p) {
  const unsigned char* c = (const unsigned char*)p;
  for (const auto& e : All())
    if (c >= e.data && c < e.data + e.size) return &e;
  return nullptr;
}

bool Resources::IsEntry(const void* p) {
  for (const auto& e : All())
    if (&e == p) return true;
  return false;
}

bool Resources::String(UINT id, std::string* text, DWORD* error) {
  ResId type, block;
  type.number = 6;  // RT_STRING
  block.number = (WORD)((id >> 4) + 1);
  text->clear();
  const ResourceEntry* e = Find(type, block, error);
  if (!e) return false;
  size_t pos = 0;
  for (UINT i = 0; i <= (id & 15); ++i) {
    // A block cut short holds empty strings from there on.
    if (pos + 2 > e->size) return true;
    WORD len = Word(e->data + pos);
    if (pos + 2 + 2 * (size_t)len > e->size) return true;
    if (i == (id & 15)) {
      *text = Utf16ToAnsi(e->data + pos + 2, len);
      return true;
    }
    pos += 2 + 2 * (size_t)len;
  }
  return true;
}

}  // namespace winsim
