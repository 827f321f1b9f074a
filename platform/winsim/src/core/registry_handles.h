// Registry handles of a process and the key operations that ADVAPI32 and
// SHLWAPI share: predefined root keys, WOW64 redirection, opening, creating
// and deleting keys with the access checks Windows makes.
#pragma once

#include <string>

#include "core/registry_tree.h"
#include "windows.h"

namespace winsim {

// What a registry handle stands for.
struct OpenKey {
  RegKey* key = nullptr;
  // The key's path as the program named it, before WOW64 redirection; the
  // base of paths opened relative to the handle.
  std::string logical;
  // The registry view the handle was opened in on 64-bit Windows
  // (KEY_WOW64_32KEY or KEY_WOW64_64KEY), or 0: the program's own, as for
  // the predefined keys. Keys opened, created or deleted relative to the
  // handle without a view flag are in the same view, as from Windows 7 on.
  REGSAM view = 0;
  ACCESS_MASK access = 0;
  bool predefined = false;
  bool classesRoot = false;  // HKEY_CLASSES_ROOT itself
};

// ERROR_SUCCESS, ERROR_INVALID_HANDLE (null, closed or not a key) or
// ERROR_KEY_DELETED.
LONG ResolveKey(HKEY hKey, OpenKey* out);
bool IsPredefinedKey(HKEY hKey);
// Closes a handle; ERROR_SUCCESS for a predefined one.
LONG CloseKey(HKEY hKey);

// Where a 32-bit process's path lies on 64-bit Windows (HKLM\SOFTWARE goes
// to HKLM\SOFTWARE\Wow6432Node but for the keys Windows 7 shares, the
// COM class keys of HKLM\SOFTWARE\Classes and HKCU\Software\Classes go to
// their Classes\Wow6432Node); `sam` may select a view with KEY_WOW64_64KEY or
// KEY_WOW64_32KEY. Unchanged on a 32-bit machine.
std::string RedirectPath(const std::string& logical, REGSAM sam);

// The view a call relative to the parent works in: the 32-bit view below a
// handle whose key lies in it (at or below a Wow6432Node key), whatever the
// flag, as on Windows 7; else the view flag of `sam`, else the parent's view.
REGSAM ViewBelow(const OpenKey& parent, REGSAM sam);

// The logical path of subKey below the parent, or an error:
// ERROR_BAD_PATHNAME for a subkey that starts with a backslash. Below a
// handle in the 32-bit view a first name Wow6432Node is a key of that name
// below the handle's own key.
LONG SubKeyPath(const OpenKey& parent, const char* subKey, std::string* logical);

// Opens the key at a logical path with the access asked for, checked
// against its DACL. A new handle in *result, in the view of `sam`.
LONG OpenKeyAt(const std::string& logical, REGSAM sam, HKEY* result);
// Creates what is missing of the path (each new key needs
// KEY_CREATE_SUB_KEY on its parent's DACL, and below a volatile key must be
// volatile itself: ERROR_CHILD_MUST_BE_VOLATILE) and opens it. `options`
// REG_OPTION_VOLATILE makes every key it creates volatile.
LONG CreateKeyAt(const std::string& logical, REGSAM sam, DWORD options, HKEY* result, DWORD* disposition);
// Deletes the key at the path, seen in `view`: DELETE on its DACL; a key
// with subkeys is refused on NT (ERROR_ACCESS_DENIED) and deleted with them
// on 9x.
LONG DeleteKeyAt(const std::string& logical, REGSAM view);

}  // namespace winsim
