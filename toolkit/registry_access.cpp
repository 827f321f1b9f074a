#include "registry_access.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <shlwapi.h>

namespace {

const int kBufferSize = 512;
const char kEveryoneFullControl[] = "/PG:Everyone:Fc";
// Plug and play keeps the printer's device here; both programs remove it.
const char kUsbPrintDeviceKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\VELKORA_KVL-M720";
// READ_CONTROL | KEY_ENUMERATE_SUB_KEYS, and WRITE_DAC, without which
// SetSecurityInfo refuses the handle with ERROR_ACCESS_DENIED.
const REGSAM kKeyAccess = READ_CONTROL | WRITE_DAC | KEY_ENUMERATE_SUB_KEYS;

struct RightsCode {
  const char* code;
  DWORD mask;
};

// Write is KEY_WRITE with KEY_CREATE_LINK (0x20026), as the products'
// registry grants have always given it.
const RightsCode kRightsCodes[] = {
    {"Fc", KEY_ALL_ACCESS},
    {"Rd", KEY_READ},
    {"Wr", KEY_WRITE | KEY_CREATE_LINK},
};

struct RootName {
  const char* name;
  HKEY root;
};

const RootName kRootNames[] = {
    {"HKLM", HKEY_LOCAL_MACHINE}, {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKU", HKEY_USERS},          {"HKEY_USERS", HKEY_USERS},
    {"HKCR", HKEY_CLASSES_ROOT},  {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKCU", HKEY_CURRENT_USER},  {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
};

// The next field of a specification: a run of ':' before it counts as one
// separator. The field is cut off at its ':' and *ppszNext points after it
// (or at the end). NULL when no field is left.
char* NextField(char** ppszNext) {
  char* p = *ppszNext;
  while (*p == ':') ++p;
  if (!*p) {
    *ppszNext = p;
    return NULL;
  }
  char* pszField = p;
  while (*p && *p != ':') ++p;
  if (*p) *p++ = 0;
  *ppszNext = p;
  return pszField;
}

char Upper(char c) { return (char)toupper((unsigned char)c); }

// The mode a switch picks from its second and third characters.
bool AccessModeOf(const char* pszSwitch, ACCESS_MODE* pMode) {
  if (Upper(pszSwitch[1]) != 'P') {
    *pMode = NOT_USED_ACCESS;
    return true;
  }
  switch (Upper(pszSwitch[2])) {
    case 'D':
      *pMode = DENY_ACCESS;
      return true;
    case 'G':
      *pMode = GRANT_ACCESS;
      return true;
    case 'R':
      *pMode = REVOKE_ACCESS;
      return true;
    case 'S':
      *pMode = SET_ACCESS;
      return true;
    default:
      return false;
  }
}

// The element of a key path at p, after the run of backslashes before it;
// its length in *pcch.
const char* PathElement(const char* p, int* pcch) {
  while (*p == '\\') ++p;
  const char* pEnd = p;
  while (*pEnd && *pEnd != '\\') ++pEnd;
  *pcch = (int)(pEnd - p);
  return p;
}

bool RootOf(const char* pszName, int cch, HKEY* phRoot) {
  for (const RootName& r : kRootNames) {
    if ((int)strlen(r.name) == cch && _strnicmp(r.name, pszName, cch) == 0) {
      *phRoot = r.root;
      return true;
    }
  }
  return false;
}

}  // namespace

long ParseAccessRights(const char* pszRights, DWORD* pdwMask) {
  *pdwMask = 0;
  if (!pszRights || lstrlenA(pszRights) >= kBufferSize) return ERROR_INVALID_PARAMETER;
  char* pszCopy = (char*)malloc(kBufferSize);
  if (!pszCopy) return ERROR_NOT_ENOUGH_MEMORY;
  lstrcpynA(pszCopy, pszRights, kBufferSize);

  long status = ERROR_SUCCESS;
  if (lstrlenA(pszCopy) % 2 != 0) {
    status = ERROR_INVALID_PARAMETER;
  } else {
    DWORD dwMask = 0;
    // Two characters at a time; a double-byte character counts as one.
    const char* p = pszCopy;
    while (*p) {
      const char* pSecond = CharNextA(p);
      const char* pNext = *pSecond ? CharNextA(pSecond) : pSecond;
      bool bKnown = false;
      if (pNext - p == 2) {
        for (const RightsCode& r : kRightsCodes) {
          if (_strnicmp(p, r.code, 2) == 0) {
            dwMask |= r.mask;
            bKnown = true;
          }
        }
      }
      if (!bKnown) status = ERROR_INVALID_PARAMETER;
      p = pNext;
    }
    *pdwMask = dwMask;
  }
  free(pszCopy);
  return status;
}

long OpenRegistryPath(const char* pszPath, HKEY* phKey) {
  *phKey = NULL;
  // A path that does not fit the buffers is refused whole, never cut.
  if (!pszPath || lstrlenA(pszPath) >= kBufferSize) return ERROR_INVALID_PARAMETER;
  char* pszCopy = (char*)malloc(kBufferSize);
  char* pszMachine = (char*)malloc(kBufferSize);
  if (!pszCopy || !pszMachine) {
    free(pszCopy);
    free(pszMachine);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  lstrcpynA(pszCopy, pszPath, kBufferSize);
  pszMachine[0] = 0;

  const char* p = pszCopy;
  int cch = 0;
  if (p[0] == '\\' && p[1] == '\\') {
    const char* pszName = p + 2;
    const char* pEnd = pszName;
    while (*pEnd && *pEnd != '\\') ++pEnd;
    snprintf(pszMachine, kBufferSize, "\\\\%.*s", (int)(pEnd - pszName), pszName);
    p = pEnd;
  }
  const char* pszRoot = PathElement(p, &cch);
  HKEY hRoot = NULL;
  long status = ERROR_SUCCESS;
  if (cch == 0 || !RootOf(pszRoot, cch, &hRoot)) {
    status = ERROR_INVALID_PARAMETER;
  } else if (pszMachine[0] && (hRoot == HKEY_CURRENT_USER || hRoot == HKEY_CLASSES_ROOT)) {
    // Another machine offers only HKEY_LOCAL_MACHINE and HKEY_USERS.
    status = ERROR_INVALID_PARAMETER;
  } else {
    if (pszMachine[0]) {
      HKEY hRemote = NULL;
      status = RegConnectRegistryA(pszMachine, hRoot, &hRemote);
      if (status == ERROR_SUCCESS) hRoot = hRemote;
    }
    if (status == ERROR_SUCCESS) {
      // The sub-key is everything after the one backslash that ends the root.
      const char* pszSubKey = pszRoot + cch;
      if (*pszSubKey) ++pszSubKey;
      if (*pszSubKey) {
        HKEY hKey = NULL;
        status = RegOpenKeyExA(hRoot, pszSubKey, 0, kKeyAccess, &hKey);
        RegCloseKey(hRoot);
        if (status == ERROR_SUCCESS) *phKey = hKey;
      } else {
        *phKey = hRoot;
      }
    }
  }
  free(pszCopy);
  free(pszMachine);
  return status;
}

long ApplyAccessEntry(HKEY hKey, EXPLICIT_ACCESS_A* pEntry) {
  PACL pOldDacl = NULL;
  PSECURITY_DESCRIPTOR pSecurity = NULL;
  long status =
      GetSecurityInfo(hKey, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL, &pOldDacl, NULL, &pSecurity);
  if (status != ERROR_SUCCESS) return status;
  PACL pNewDacl = NULL;
  status = SetEntriesInAclA(1, pEntry, pOldDacl, &pNewDacl);
  if (status == ERROR_SUCCESS)
    status = SetSecurityInfo(hKey, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL, pNewDacl, NULL);
  if (pNewDacl) LocalFree(pNewDacl);
  if (pSecurity) LocalFree(pSecurity);
  return status;
}

long GrantRegistryAccess(const char* pszPath, const char* pszPermissions) {
  if (!pszPath || !pszPermissions) return ERROR_INVALID_PARAMETER;
  // The fields are cut out of a private copy; the caller's text stays.
  char* pszCopy = (char*)malloc(lstrlenA(pszPermissions) + 1);
  if (!pszCopy) return ERROR_NOT_ENOUGH_MEMORY;
  lstrcpynA(pszCopy, pszPermissions, lstrlenA(pszPermissions) + 1);

  long status = ERROR_SUCCESS;
  char* pszNext = pszCopy;
  ACCESS_MODE mode = NOT_USED_ACCESS;
  DWORD dwMask = 0;
  const char* pszSwitch = NextField(&pszNext);
  char* pszTrustee = NULL;
  if (!pszSwitch || !AccessModeOf(pszSwitch, &mode)) {
    status = ERROR_INVALID_PARAMETER;
  } else if (!(pszTrustee = NextField(&pszNext))) {
    status = ERROR_INVALID_PARAMETER;
  } else if (mode == GRANT_ACCESS || mode == SET_ACCESS || mode == DENY_ACCESS) {
    // The rights are all that follows the trustee's ':', further ':' included.
    if (!*pszNext || lstrlenA(pszNext) >= kBufferSize) status = ERROR_INVALID_PARAMETER;
    // Unknown codes and an odd length give no rights and the entry goes on;
    // without memory for the work copy nothing is applied.
    else if (ParseAccessRights(pszNext, &dwMask) == ERROR_NOT_ENOUGH_MEMORY)
      status = ERROR_NOT_ENOUGH_MEMORY;
  }

  HKEY hKey = NULL;
  if (status == ERROR_SUCCESS) status = OpenRegistryPath(pszPath, &hKey);
  if (status == ERROR_SUCCESS) {
    EXPLICIT_ACCESS_A entry;
    memset(&entry, 0, sizeof entry);
    BuildExplicitAccessWithNameA(&entry, pszTrustee, dwMask, mode, CONTAINER_INHERIT_ACE);
    status = ApplyAccessEntry(hKey, &entry);
    RegCloseKey(hKey);
  }
  free(pszCopy);
  return status;
}

long GrantRegistryAccess(const char* pszPath) { return GrantRegistryAccess(pszPath, kEveryoneFullControl); }

void DeleteRegistryTree(const char* pszPath) {
  GrantRegistryAccess(pszPath, kEveryoneFullControl);
  SHDeleteKeyA(HKEY_LOCAL_MACHINE, kUsbPrintDeviceKey);
}
