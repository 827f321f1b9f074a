#include "core/registry_handles.h"

#include "core/handles.h"
#include "core/key_security.h"
#include "core/machine.h"

namespace winsim {

namespace {

struct KeyHandle : KernelObject {
  const char* type() const override { return "Key"; }
  std::string name() const override { return logical; }
  RegKey* key = nullptr;
  std::string physical;  // where the key lies, to find it again after a reload
  std::string logical;
  REGSAM view = 0;
  unsigned generation = 0;
  ACCESS_MASK access = 0;
};

struct PredefinedKey {
  uint32_t value;
  const char* logical;
};

const PredefinedKey kPredefined[] = {
    {0x80000000u, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes"},
    {0x80000001u, "HKEY_CURRENT_USER"},
    {0x80000002u, "HKEY_LOCAL_MACHINE"},
    {0x80000003u, "HKEY_USERS"},
    {0x80000005u, "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current"},
};

// Keys below HKLM\SOFTWARE that 32-bit and 64-bit programs share on
// Windows 7 (Classes has its own rule).
const char* const kSharedSoftwareKeys[] = {
    "Clients",
    "Microsoft\\COM3",
    "Microsoft\\Cryptography\\Calais\\Current",
    "Microsoft\\Cryptography\\Calais\\Readers",
    "Microsoft\\Cryptography\\Services",
    "Microsoft\\CTF\\SystemShared",
    "Microsoft\\CTF\\TIP",
    "Microsoft\\DFS",
    "Microsoft\\Driver Signing",
    "Microsoft\\EnterpriseCertificates",
    "Microsoft\\EventSystem",
    "Microsoft\\MSMQ",
    "Microsoft\\Non-Driver Signing",
    "Microsoft\\Notepad\\DefaultFonts",
    "Microsoft\\OLE",
    "Microsoft\\RAS",
    "Microsoft\\RPC",
    "Microsoft\\SOFTWARE\\Microsoft\\Shared Tools\\MSInfo",
    "Microsoft\\SystemCertificates",
    "Microsoft\\TermServLicensing",
    "Microsoft\\Transaction Server",
    "Microsoft\\Windows\\CurrentVersion\\App Paths",
    "Microsoft\\Windows\\CurrentVersion\\Control Panel\\Cursors\\Schemes",
    "Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers",
    "Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons",
    "Microsoft\\Windows\\CurrentVersion\\Explorer\\KindMap",
    "Microsoft\\Windows\\CurrentVersion\\Group Policy",
    "Microsoft\\Windows\\CurrentVersion\\Policies",
    "Microsoft\\Windows\\CurrentVersion\\PreviewHandlers",
    "Microsoft\\Windows\\CurrentVersion\\Setup",
    "Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations",
    "Microsoft\\Windows NT\\CurrentVersion\\Console",
    "Microsoft\\Windows NT\\CurrentVersion\\FontDpi",
    "Microsoft\\Windows NT\\CurrentVersion\\FontLink",
    "Microsoft\\Windows NT\\CurrentVersion\\FontMapper",
    "Microsoft\\Windows NT\\CurrentVersion\\Fonts",
    "Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes",
    "Microsoft\\Windows NT\\CurrentVersion\\Gre_Initialize",
    "Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options",
    "Microsoft\\Windows NT\\CurrentVersion\\LanguagePack",
    "Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
    "Microsoft\\Windows NT\\CurrentVersion\\Perflib",
    "Microsoft\\Windows NT\\CurrentVersion\\Ports",
    "Microsoft\\Windows NT\\CurrentVersion\\Print",
    "Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
    "Microsoft\\Windows NT\\CurrentVersion\\Time Zones",
    "Policies",
    "RegisteredApplications",
};

// The COM keys below a Classes key that have a 32-bit view of their own.
const char* const kRedirectedClassesKeys[] = {"CLSID", "DirectShow", "Interface", "Media Type", "MediaFoundation"};

std::vector<std::string> Split(const std::string& path) {
  std::vector<std::string> names;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t end = path.find('\\', pos);
    if (end == std::string::npos) end = path.size();
    if (end > pos) names.push_back(path.substr(pos, end - pos));
    pos = end + 1;
  }
  return names;
}

std::string Join(const std::vector<std::string>& names) {
  std::string path;
  for (const auto& n : names) path += (path.empty() ? "" : "\\") + n;
  return path;
}

// True when names[from...] begins with the names of `prefix`.
bool StartsWith(const std::vector<std::string>& names, size_t from, const char* prefix) {
  std::vector<std::string> p = Split(prefix);
  if (names.size() - from < p.size()) return false;
  for (size_t i = 0; i < p.size(); ++i)
    if (!SameKeyName(names[from + i], p[i])) return false;
  return true;
}

void RedirectClasses(std::vector<std::string>& names, size_t at) {
  if (names.size() <= at) return;
  for (const char* k : kRedirectedClassesKeys) {
    if (SameKeyName(names[at], k)) {
      names.insert(names.begin() + at, "Wow6432Node");
      return;
    }
  }
}

HKEY NewHandle(RegKey* key, const std::string& logical, REGSAM view, ACCESS_MASK access) {
  std::unique_ptr<KeyHandle> h(new KeyHandle());
  h->key = key;
  h->physical = key->Path();
  h->logical = logical;
  h->view = view & KEY_WOW64_RES;
  h->generation = Registry::Get().generation();
  h->access = access;
  return (HKEY)Handles::Insert(std::move(h));
}

}  // namespace

bool IsPredefinedKey(HKEY hKey) {
  uint32_t v = (uint32_t)(uintptr_t)hKey;
  return v >= 0x80000000u && v <= 0x80000006u;
}

LONG ResolveKey(HKEY hKey, OpenKey* out) {
  *out = OpenKey();
  if (!hKey) return ERROR_INVALID_HANDLE;
  if (IsPredefinedKey(hKey)) {
    uint32_t v = (uint32_t)(uintptr_t)hKey;
    for (const auto& p : kPredefined) {
      if (p.value != v) continue;
      Registry& reg = Registry::Get();
      out->key = reg.Root(hKey);
      out->logical = p.logical;
      out->predefined = true;
      out->classesRoot = v == 0x80000000u;
      // The process opens its predefined keys with MAXIMUM_ALLOWED.
      if (!out->key || !CheckKeyAccess(*out->key, MAXIMUM_ALLOWED, &out->access)) out->access = 0;
      return out->key ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    }
    return ERROR_INVALID_HANDLE;
  }
  KeyHandle* h = Handles::GetAs<KeyHandle>((HANDLE)hKey);
  if (!h) return ERROR_INVALID_HANDLE;
  Registry& reg = Registry::Get();
  if (h->generation != reg.generation()) {
    // The tree was read anew (a child process ran): find the key again.
    h->key = reg.Find(h->physical);
    h->generation = reg.generation();
  }
  if (!h->key || h->key->deleted()) return ERROR_KEY_DELETED;
  out->key = h->key;
  out->logical = h->logical;
  out->view = h->view;
  out->access = h->access;
  return ERROR_SUCCESS;
}

LONG CloseKey(HKEY hKey) {
  if (!hKey) return ERROR_INVALID_HANDLE;
  if (IsPredefinedKey(hKey)) return ERROR_SUCCESS;
  if (!Handles::GetAs<KeyHandle>((HANDLE)hKey)) return ERROR_INVALID_HANDLE;
  Handles::Remove((HANDLE)hKey);
  return ERROR_SUCCESS;
}

std::string RedirectPath(const std::string& logical, REGSAM sam) {
  if (!Machine::Current().os().wow64 || (sam & KEY_WOW64_64KEY)) return logical;
  std::vector<std::string> names = Split(logical);
  if (names.size() >= 2 && names[0] == "HKEY_LOCAL_MACHINE" && SameKeyName(names[1], "SOFTWARE")) {
    if (names.size() > 2 && SameKeyName(names[2], "Wow6432Node")) return logical;
    if (names.size() > 2 && SameKeyName(names[2], "Classes")) {
      if (names.size() > 3 && SameKeyName(names[3], "Wow6432Node")) return logical;
      RedirectClasses(names, 3);
      return Join(names);
    }
    for (const char* shared : kSharedSoftwareKeys)
      if (StartsWith(names, 2, shared)) return logical;
    names.insert(names.begin() + 2, "Wow6432Node");
    return Join(names);
  }
  if (names.size() >= 3 && names[0] == "HKEY_CURRENT_USER" && SameKeyName(names[1], "Software") &&
      SameKeyName(names[2], "Classes")) {
    if (names.size() > 3 && SameKeyName(names[3], "Wow6432Node")) return logical;
    RedirectClasses(names, 3);
    return Join(names);
  }
  return logical;
}

namespace {

// True when the handle's key lies in the 32-bit view of 64-bit Windows:
// at or below a Wow6432Node key.
bool In32BitView(const OpenKey& k) {
  if (k.predefined || !k.key || !Machine::Current().os().wow64) return false;
  for (const RegKey* key = k.key; key; key = key->parent())
    if (SameKeyName(key->name(), "Wow6432Node")) return true;
  return false;
}

}  // namespace

REGSAM ViewBelow(const OpenKey& parent, REGSAM sam) {
  // A view flag chooses only where a path crosses a redirected key from
  // above; below a handle that is already in the 32-bit view every path
  // stays in it (Windows 7).
  if (In32BitView(parent)) return KEY_WOW64_32KEY;
  return (sam & KEY_WOW64_RES) ? (sam & KEY_WOW64_RES) : parent.view;
}

LONG SubKeyPath(const OpenKey& parent, const char* subKey, std::string* logical) {
  *logical = parent.logical;
  if (!subKey || !*subKey) return ERROR_SUCCESS;
  if (*subKey == '\\') {
    // NT takes one leading backslash below HKEY_CLASSES_ROOT; elsewhere the
    // name is bad.
    if (!(parent.classesRoot && KeySecurityEnabled())) return ERROR_BAD_PATHNAME;
    ++subKey;
  }
  std::vector<std::string> names = Split(subKey);
  // Below a handle in the 32-bit view (HKLM\SOFTWARE opened by a 32-bit
  // program is the Wow6432Node key itself) Wow6432Node is an ordinary name,
  // looked up below the handle's own key, whatever the view flag.
  if (In32BitView(parent) && !names.empty() && SameKeyName(names[0], "Wow6432Node")) *logical = parent.key->Path();
  for (const auto& name : names) *logical += "\\" + name;
  return ERROR_SUCCESS;
}

LONG OpenKeyAt(const std::string& logical, REGSAM sam, HKEY* result) {
  RegKey* key = Registry::Get().Find(RedirectPath(logical, sam));
  if (!key) return ERROR_FILE_NOT_FOUND;
  ACCESS_MASK granted = 0;
  if (!CheckKeyAccess(*key, sam, &granted)) return ERROR_ACCESS_DENIED;
  *result = NewHandle(key, logical, sam, granted);
  return ERROR_SUCCESS;
}

LONG CreateKeyAt(const std::string& logical, REGSAM sam, DWORD options, HKEY* result, DWORD* disposition) {
  std::vector<std::string> names = Split(RedirectPath(logical, sam));
  RegKey* key = Registry::Get().Find(names[0]);
  if (!key) return ERROR_INVALID_HANDLE;
  bool isVolatile = (options & REG_OPTION_VOLATILE) != 0;
  bool created = false;
  for (size_t i = 1; i < names.size(); ++i) {
    RegKey* child = key->Child(names[i]);
    if (!child) {
      ACCESS_MASK unused = 0;
      if (!CheckKeyAccess(*key, KEY_CREATE_SUB_KEY, &unused)) return ERROR_ACCESS_DENIED;
      if (key->isVolatile() && !isVolatile) return ERROR_CHILD_MUST_BE_VOLATILE;
      child = key->CreateChild(names[i]);
      child->SetVolatile(isVolatile);
      created = true;
    }
    key = child;
  }
  ACCESS_MASK granted = 0;
  if (!CheckKeyAccess(*key, sam, &granted)) return ERROR_ACCESS_DENIED;
  *result = NewHandle(key, logical, sam, granted);
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LONG DeleteKeyAt(const std::string& logical, REGSAM view) {
  RegKey* key = Registry::Get().Find(RedirectPath(logical, view));
  if (!key) return ERROR_FILE_NOT_FOUND;
  if (!key->parent()) return ERROR_ACCESS_DENIED;
  if (KeySecurityEnabled()) {
    ACCESS_MASK unused = 0;
    if (!CheckKeyAccess(*key, DELETE, &unused)) return ERROR_ACCESS_DENIED;
    if (!key->children().empty()) return ERROR_ACCESS_DENIED;
  }
  key->parent()->DeleteChild(key->name());
  return ERROR_SUCCESS;
}

}  // namespace winsim
