// The registry of the simulated machine: a tree of keys with values and a
// DACL each. ADVAPI32's registry functions, the spooler and the device set-up
// service keep their state here, where Windows keeps it. The tree is read
// from the machine's registry.reg when it opens and written back when it
// closes (registry_subsystem.cpp); reg_file.h reads and writes the text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "windows.h"

namespace winsim {

struct RegValue {
  std::string name;  // "" is the key's default value
  DWORD type = REG_NONE;
  std::vector<uint8_t> data;
};

// One access-control entry. Trustees are kept by name: "Everyone",
// "Administrators", "SYSTEM", "Users", "CREATOR OWNER".
struct RegAce {
  std::string trustee;
  ACCESS_MASK mask = 0;
  bool deny = false;
  DWORD inheritance = 0;  // OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE ...
};

class RegKey {
 public:
  RegKey(std::string name, RegKey* parent);

  const std::string& name() const { return m_name; }
  RegKey* parent() const { return m_parent; }
  // Full path from the root, e.g. "HKEY_LOCAL_MACHINE\SYSTEM\Setup".
  std::string Path() const;

  // Subkeys, compared without regard to letter case; kept in the order of
  // creation.
  RegKey* Child(std::string_view name) const;
  // Creates the subkey (with the DACL it inherits) or returns the existing one.
  RegKey* CreateChild(std::string_view name);
  // Creates the keys of a path below this one ("A\B"), as Registry::Create
  // does below a root; nullptr when a name in it is empty.
  RegKey* CreatePath(std::string_view below);
  // Removes the subkey with everything below it; false when there is none.
  bool DeleteChild(const std::string& name);
  const std::vector<std::unique_ptr<RegKey>>& children() const { return m_children; }

  const RegValue* Value(const std::string& name) const;
  void SetValue(const std::string& name, DWORD type, const void* data, size_t size);
  void SetString(const std::string& name, const std::string& text, DWORD type = REG_SZ);
  void SetDword(const std::string& name, DWORD value);
  void SetMultiString(const std::string& name, const std::vector<std::string>& strings);
  bool DeleteValue(const std::string& name);
  const std::vector<RegValue>& values() const { return m_values; }

  std::vector<RegAce>& dacl() { return m_dacl; }
  const std::vector<RegAce>& dacl() const { return m_dacl; }
  // A protected DACL inherits nothing from the parent key; a null DACL
  // (as opposed to an empty one) grants everyone everything.
  bool daclProtected() const { return m_daclProtected; }
  void SetDaclProtected(bool p) { m_daclProtected = p; }
  bool nullDacl() const { return m_nullDacl; }
  void SetNullDacl(bool n) { m_nullDacl = n; }
  // Replaces the entries the key holds itself (those without INHERITED_ACE)
  // and recomputes what it and every key below it inherit.
  void SetExplicitDacl(const std::vector<RegAce>& entries, bool isProtected);
  // Recomputes the inherited entries of this key and of every key below it
  // from their parents.
  void RefreshInheritance();

  // Bumped by every change below this key, so that open handles notice a
  // deleted key (ERROR_KEY_DELETED).
  bool deleted() const { return m_deleted; }
  void MarkDeleted();

  // A volatile key (REG_OPTION_VOLATILE) lasts until Windows shuts down;
  // every key below it is volatile too.
  bool isVolatile() const { return m_volatile; }
  void SetVolatile(bool v) { m_volatile = v; }
  // Deletes every volatile key below this one.
  void DeleteVolatileKeys();

 private:
  std::string m_name;
  RegKey* m_parent;
  std::vector<std::unique_ptr<RegKey>> m_children;
  std::vector<RegValue> m_values;
  std::vector<RegAce> m_dacl;
  bool m_daclProtected = false;
  bool m_nullDacl = false;
  bool m_deleted = false;
  bool m_volatile = false;
};

struct RegFileEdit;

class Registry {
 public:
  // The registry of the open machine.
  static Registry& Get();

  // Root keys: "HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_USER",
  // "HKEY_CLASSES_ROOT" (a view of HKLM\SOFTWARE\Classes on NT), "HKEY_CURRENT_CONFIG".
  RegKey* Root(HKEY predefined);
  // A path with its root spelled out or abbreviated (HKLM, HKCU, HKCR, HKU),
  // read as it stands: no WOW64 redirection.
  RegKey* Find(const std::string& path);
  RegKey* Create(const std::string& path);
  bool Delete(const std::string& path);  // with every subkey

  // REGEDIT4 text of the whole registry (or of one key and what lies below
  // it), and the reverse. Parse errors throw MachineError naming the line;
  // a text with an error changes nothing.
  std::string Export(const RegKey* from = nullptr) const;
  // The same text into *text, whose buffer serves the next export again.
  void Export(std::string* text, const RegKey* from = nullptr) const;
  void Import(const std::string& text, const std::string& sourceName);

  // Changes whenever the tree is read anew (a reload after a child process),
  // so that open handles look their key up again by path.
  unsigned generation() const;

  // What is lost when the session ends: every volatile key when Windows
  // shuts down or restarts; only the user's (HKEY_CURRENT_USER) when the
  // user logs off and the hive is unloaded.
  void EndSession(bool shutdown);

  // The tree as the machine keeps it. Load replaces every key with those of
  // the machine's registry.reg text; a MachineError naming the line leaves
  // the tree empty. Unload drops every key and needs no open machine. Only
  // a loaded tree is written back.
  static void Load(const std::string& text, const std::string& sourceName);
  // The same from the edits of a text already read (ParseRegFile).
  static void Load(const std::vector<RegFileEdit>& edits);
  static void Unload();
  static bool Loaded();
};

// A key path as the registry reads it: its root key (0 HKEY_LOCAL_MACHINE,
// 1 HKEY_USERS, 2 HKEY_CURRENT_USER, -1 unknown), spelled out or abbreviated
// (HKLM, HKU, HKCU, HKCR, HKCC), and the names below it. HKEY_CLASSES_ROOT
// and HKEY_CURRENT_CONFIG are keys below HKEY_LOCAL_MACHINE. One trailing
// backslash is allowed; any other empty name sets emptyName.
struct KeyPath {
  int root = -1;
  std::vector<std::string> names;
  bool emptyName = false;
};
KeyPath SplitKeyPath(const std::string& path);
// The root of the path as SplitKeyPath reads it, and whether it has an empty
// name, without copying the names.
int KeyPathRoot(std::string_view path, bool* emptyName);

// Key and value names compare as Windows compares them: without regard to
// letter case (code page 1252).
bool SameKeyName(const std::string& a, const std::string& b);
// The name in the letter case Windows compares in, for sorting as NT sorts
// subkeys.
std::string FoldedKeyName(const std::string& name);

}  // namespace winsim
