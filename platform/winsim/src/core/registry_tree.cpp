// The registry tree: keys with their values and DACLs, below the three root
// keys HKEY_LOCAL_MACHINE, HKEY_USERS and HKEY_CURRENT_USER.
#include "core/registry_tree.h"

#include <algorithm>
#include <string_view>

#include "core/key_security.h"
#include "core/machine.h"
#include "core/reg_file.h"

namespace winsim {

namespace {

// Letter case as Windows folds it for key and value names in code page 1252.
unsigned char FoldCase(unsigned char c) {
  if (c >= 'a' && c <= 'z') return (unsigned char)(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return (unsigned char)(c - 0x20);
  switch (c) {
    case 0x9A:
      return 0x8A;
    case 0x9C:
      return 0x8C;
    case 0x9E:
      return 0x8E;
    case 0xFF:
      return 0x9F;
    default:
      return c;
  }
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldCase((unsigned char)a[i]) != FoldCase((unsigned char)b[i])) return false;
  return true;
}

struct Store {
  std::unique_ptr<RegKey> roots[3];  // HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_USER
  // Deleted keys stay alive until the tree is unloaded, so that a handle
  // still pointing at one can say ERROR_KEY_DELETED.
  std::vector<std::unique_ptr<RegKey>> graveyard;
  unsigned generation = 1;
  bool loaded = false;
};

Store& S() {
  static Store s;
  return s;
}

const char* const kRootNames[3] = {"HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_USER"};

void MakeRoots() {
  Store& s = S();
  for (int i = 0; i < 3; ++i)
    if (!s.roots[i]) s.roots[i].reset(new RegKey(kRootNames[i], nullptr));
}

struct RootAlias {
  const char* longName;
  const char* shortName;
  int root;
  const char* below;
};

const RootAlias kRootAliases[] = {
    {"HKEY_LOCAL_MACHINE", "HKLM", 0, ""},
    {"HKEY_USERS", "HKU", 1, ""},
    {"HKEY_CURRENT_USER", "HKCU", 2, ""},
    {"HKEY_CLASSES_ROOT", "HKCR", 0, "SOFTWARE\\Classes"},
    {"HKEY_CURRENT_CONFIG", "HKCC", 0, "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current"},
};

// Calls each(name) for the names of a path below its root, in order, as
// views of the path. A single trailing backslash is tolerated; any other
// empty name makes it return false, after the names around it.
template <typename Each>
bool EachName(std::string_view path, Each&& each) {
  if (path.empty()) return true;
  bool ok = true;
  size_t pos = 0;
  while (true) {
    size_t end = path.find('\\', pos);
    std::string_view name = path.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    if (name.empty()) {
      if (end != std::string_view::npos || pos == 0) ok = false;
    } else {
      each(name);
    }
    if (end == std::string_view::npos) break;
    pos = end + 1;
  }
  return ok;
}

// A path split at its root: the root key (-1 unknown), the names an
// abbreviated root such as HKCR stands for, and the rest of the path.
struct PathStart {
  int root = -1;
  std::string_view below;
  std::string_view rest;
};

PathStart StartOf(std::string_view path) {
  PathStart r;
  size_t slash = path.find('\\');
  std::string_view rootName = path.substr(0, slash);
  for (const auto& a : kRootAliases) {
    if (SameName(rootName, a.longName) || SameName(rootName, a.shortName)) {
      r.root = a.root;
      r.below = a.below;
      break;
    }
  }
  if (slash != std::string_view::npos) r.rest = path.substr(slash + 1);
  return r;
}

// Calls each(name) for every name of the path below its root key; false
// when a name is empty (see EachName). Looking a key up by its path this way
// copies no name: Find and Create run for every registry call and every
// line of a .reg file.
template <typename Each>
bool EachKeyName(const PathStart& start, Each&& each) {
  EachName(start.below, each);
  return EachName(start.rest, each);
}

bool HasEmptyName(const PathStart& start) {
  return !EachKeyName(start, [](std::string_view) {});
}

}  // namespace

int KeyPathRoot(std::string_view path, bool* emptyName) {
  PathStart start = StartOf(path);
  *emptyName = start.root >= 0 && HasEmptyName(start);
  return start.root;
}

KeyPath SplitKeyPath(const std::string& path) {
  KeyPath r;
  PathStart start = StartOf(path);
  r.root = start.root;
  if (r.root < 0) return r;
  r.emptyName = !EachKeyName(start, [&](std::string_view name) { r.names.emplace_back(name); });
  return r;
}

RegKey::RegKey(std::string name, RegKey* parent) : m_name(std::move(name)), m_parent(parent) {}

std::string RegKey::Path() const { return m_parent ? m_parent->Path() + "\\" + m_name : m_name; }

RegKey* RegKey::Child(std::string_view name) const {
  for (const auto& c : m_children)
    if (SameName(c->m_name, name)) return c.get();
  return nullptr;
}

RegKey* RegKey::CreateChild(std::string_view name) {
  if (RegKey* existing = Child(name)) return existing;
  m_children.emplace_back(new RegKey(std::string(name), this));
  RegKey* child = m_children.back().get();
  child->RefreshInheritance();
  return child;
}

RegKey* RegKey::CreatePath(std::string_view below) {
  if (!EachName(below, [](std::string_view) {})) return nullptr;
  RegKey* key = this;
  EachName(below, [&](std::string_view name) { key = key->CreateChild(name); });
  return key;
}

bool RegKey::DeleteChild(const std::string& name) {
  for (auto it = m_children.begin(); it != m_children.end(); ++it) {
    if (SameName((*it)->m_name, name)) {
      (*it)->MarkDeleted();
      S().graveyard.push_back(std::move(*it));
      m_children.erase(it);
      return true;
    }
  }
  return false;
}

const RegValue* RegKey::Value(const std::string& name) const {
  for (const auto& v : m_values)
    if (SameName(v.name, name)) return &v;
  return nullptr;
}

void RegKey::SetValue(const std::string& name, DWORD type, const void* data, size_t size) {
  const uint8_t* bytes = (const uint8_t*)data;
  for (auto& v : m_values) {
    if (SameName(v.name, name)) {
      // An existing value keeps the letter case of its name.
      v.type = type;
      v.data.assign(bytes, bytes + size);
      return;
    }
  }
  m_values.push_back(RegValue{name, type, std::vector<uint8_t>(bytes, bytes + size)});
}

void RegKey::SetString(const std::string& name, const std::string& text, DWORD type) {
  std::vector<uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  SetValue(name, type, data.data(), data.size());
}

void RegKey::SetDword(const std::string& name, DWORD value) {
  uint8_t data[4] = {(uint8_t)value, (uint8_t)(value >> 8), (uint8_t)(value >> 16), (uint8_t)(value >> 24)};
  SetValue(name, REG_DWORD, data, sizeof data);
}

void RegKey::SetMultiString(const std::string& name, const std::vector<std::string>& strings) {
  std::vector<uint8_t> data;
  for (const auto& s : strings) {
    data.insert(data.end(), s.begin(), s.end());
    data.push_back(0);
  }
  data.push_back(0);
  SetValue(name, REG_MULTI_SZ, data.data(), data.size());
}

bool RegKey::DeleteValue(const std::string& name) {
  for (auto it = m_values.begin(); it != m_values.end(); ++it) {
    if (SameName(it->name, name)) {
      m_values.erase(it);
      return true;
    }
  }
  return false;
}

void RegKey::DeleteVolatileKeys() {
  std::vector<std::string> gone;
  for (const auto& c : m_children) {
    if (c->m_volatile)
      gone.push_back(c->m_name);
    else
      c->DeleteVolatileKeys();
  }
  for (const auto& name : gone) DeleteChild(name);
}

void RegKey::MarkDeleted() {
  m_deleted = true;
  for (auto& c : m_children) c->MarkDeleted();
}

void RegKey::SetExplicitDacl(const std::vector<RegAce>& entries, bool isProtected) {
  m_daclProtected = isProtected;
  m_dacl.clear();
  for (const auto& ace : entries)
    if (!(ace.inheritance & INHERITED_ACE)) m_dacl.push_back(ace);
  RefreshInheritance();
}

void RegKey::RefreshInheritance() {
  m_dacl.erase(std::remove_if(m_dacl.begin(), m_dacl.end(),
                              [](const RegAce& a) { return (a.inheritance & INHERITED_ACE) != 0; }),
               m_dacl.end());
  if (m_parent && !m_daclProtected && !m_nullDacl && !m_parent->m_nullDacl) {
    m_dacl.reserve(m_dacl.size() + m_parent->m_dacl.size());
    for (const auto& ace : m_parent->m_dacl) {
      RegAce inherited;
      if (InheritedAce(ace, &inherited)) m_dacl.push_back(inherited);
    }
  }
  for (auto& c : m_children) c->RefreshInheritance();
}

bool SameKeyName(const std::string& a, const std::string& b) { return SameName(a, b); }

std::string FoldedKeyName(const std::string& name) {
  std::string folded = name;
  for (auto& c : folded) c = (char)FoldCase((unsigned char)c);
  return folded;
}

Registry& Registry::Get() {
  static Registry registry;
  Machine::Current();  // a program's first use opens its machine
  if (!S().roots[0]) MakeRoots();
  return registry;
}

unsigned Registry::generation() const { return S().generation; }

void Registry::EndSession(bool shutdown) {
  Store& s = S();
  for (int i = 0; i < 3; ++i)
    if (s.roots[i] && (shutdown || i == 2)) s.roots[i]->DeleteVolatileKeys();
}

RegKey* Registry::Root(HKEY predefined) {
  switch ((uint32_t)(uintptr_t)predefined) {
    case 0x80000000u:
      return Create("HKEY_CLASSES_ROOT");
    case 0x80000001u:
      return S().roots[2].get();
    case 0x80000002u:
      return S().roots[0].get();
    case 0x80000003u:
      return S().roots[1].get();
    case 0x80000005u:
      return Create("HKEY_CURRENT_CONFIG");
    default:
      return nullptr;
  }
}

RegKey* Registry::Find(const std::string& path) {
  PathStart start = StartOf(path);
  if (start.root < 0 || HasEmptyName(start)) return nullptr;
  RegKey* key = S().roots[start.root].get();
  EachKeyName(start, [&](std::string_view name) {
    if (key) key = key->Child(name);
  });
  return key;
}

RegKey* Registry::Create(const std::string& path) {
  PathStart start = StartOf(path);
  if (start.root < 0 || HasEmptyName(start)) return nullptr;
  RegKey* key = S().roots[start.root].get();
  EachKeyName(start, [&](std::string_view name) { key = key->CreateChild(name); });
  return key;
}

bool Registry::Delete(const std::string& path) {
  // A root key is not deleted; any other key is taken from its parent.
  RegKey* key = Find(path);
  return key && key->parent() && key->parent()->DeleteChild(key->name());
}

std::string Registry::Export(const RegKey* from) const {
  // The text grows by the size of the last one written in one go rather
  // than by doubling: a registry is exported whole again and again.
  static size_t lastSize = 0;
  std::string text;
  text.reserve(lastSize);
  Export(&text, from);
  lastSize = text.size();
  return text;
}

void Registry::Export(std::string* text, const RegKey* from) const {
  std::vector<const RegKey*> keys;
  keys.reserve(3);
  if (from) {
    keys.push_back(from);
  } else {
    for (const auto& root : S().roots)
      if (root) keys.push_back(root.get());
  }
  RegFileText(keys, text);
}

void Registry::Import(const std::string& text, const std::string& sourceName) {
  // Everything is read before anything changes, so a file with an error
  // leaves the registry as it was.
  std::vector<RegFileEdit> edits = ParseRegFile(text, sourceName);
  ApplyRegFile(edits, *this);
}

void Registry::Load(const std::string& text, const std::string& sourceName) {
  Unload();
  Load(ParseRegFile(text, sourceName));
}

void Registry::Load(const std::vector<RegFileEdit>& edits) {
  Unload();
  MakeRoots();
  Store& s = S();
  s.loaded = true;
  ++s.generation;
  // What each key inherits is right as the edits go: a key takes its
  // parent's entries when it is created, and a DACL line passes the key's
  // new entries on to every key below it.
  ApplyRegFile(edits, Get());
}

void Registry::Unload() {
  Store& s = S();
  for (auto& root : s.roots) root.reset();
  s.graveyard.clear();
  s.loaded = false;
  ++s.generation;
}

bool Registry::Loaded() { return S().loaded; }

}  // namespace winsim
