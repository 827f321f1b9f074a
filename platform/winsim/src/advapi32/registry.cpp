// The registry functions of ADVAPI32. Registry functions return their error
// instead of setting the last error. A handle carries the access it was
// opened with, and each call asks for the right Windows asks for: reading
// values KEY_QUERY_VALUE, writing them KEY_SET_VALUE, enumerating subkeys
// KEY_ENUMERATE_SUB_KEYS. Opening and creating keys relative to a handle
// does not depend on the handle's access but on the DACLs of the keys met,
// as on every Windows.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/journal.h"
#include "core/key_security.h"
#include "core/machine.h"
#include "core/registry_handles.h"
#include "windows.h"

using winsim::ApiCall;
using winsim::HandleJson;
using winsim::Json;
using winsim::OpenKey;

namespace {

bool IsNT() { return winsim::Machine::Current().os().IsNT(); }

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Value data for the journal: text for strings, a number for a DWORD, hex
// digits for anything else.
Json DataJson(DWORD type, const BYTE* data, DWORD size) {
  if (!data) return Json();
  if (type == REG_SZ || type == REG_EXPAND_SZ) return Json::Bounded((const char*)data, size);
  if (type == REG_MULTI_SZ) {
    Json strings = Json::Array();
    DWORD pos = 0;
    while (pos < size && data[pos]) {
      DWORD end = pos;
      while (end < size && data[end]) ++end;
      strings.Add(std::string((const char*)data + pos, end - pos));
      pos = end + 1;
    }
    return strings;
  }
  if (type == REG_DWORD && size == 4)
    return Json((unsigned long long)(data[0] | (data[1] << 8) | (data[2] << 16) | ((DWORD)data[3] << 24)));
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (DWORD i = 0; i < size; ++i) {
    hex += kHex[data[i] >> 4];
    hex += kHex[data[i] & 15];
  }
  return Json(hex);
}

Json OptionalDword(const DWORD* p) { return p ? Json((unsigned long long)*p) : Json(); }

// Subkey names in the order NT enumerates them: sorted without regard to
// letter case.
std::vector<const winsim::RegKey*> SortedChildren(const winsim::RegKey& key) {
  std::vector<const winsim::RegKey*> children;
  for (const auto& c : key.children()) children.push_back(c.get());
  std::stable_sort(children.begin(), children.end(), [](const winsim::RegKey* a, const winsim::RegKey* b) {
    return winsim::FoldedKeyName(a->name()) < winsim::FoldedKeyName(b->name());
  });
  return children;
}

LONG OpenSubKey(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, PHKEY phkResult) {
  if ((samDesired & KEY_WOW64_RES) == KEY_WOW64_RES && IsNT()) return ERROR_INVALID_PARAMETER;
  OpenKey parent;
  if (LONG e = winsim::ResolveKey(hKey, &parent)) {
    if (e != ERROR_INVALID_HANDLE) *phkResult = nullptr;
    return e;
  }
  *phkResult = nullptr;
  // Windows 9x ignores the access asked for.
  if (!IsNT()) samDesired = MAXIMUM_ALLOWED;
  REGSAM view = winsim::ViewBelow(parent, samDesired);
  std::string logical;
  if (LONG e = winsim::SubKeyPath(parent, lpSubKey, &logical)) return e;
  return winsim::OpenKeyAt(logical, (samDesired & ~KEY_WOW64_RES) | view, phkResult);
}

LONG CreateSubKey(HKEY hKey, LPCSTR lpSubKey, DWORD options, REGSAM samDesired, PHKEY phkResult,
                  LPDWORD lpdwDisposition) {
  if (!IsNT()) {
    samDesired = MAXIMUM_ALLOWED;
    options &= ~REG_OPTION_VOLATILE;                // 9x makes every key a lasting one
    if (lpSubKey && *lpSubKey == '\\') ++lpSubKey;  // 9x skips one leading backslash
  } else if ((samDesired & KEY_WOW64_RES) == KEY_WOW64_RES) {
    return ERROR_INVALID_PARAMETER;
  }
  OpenKey parent;
  if (LONG e = winsim::ResolveKey(hKey, &parent)) return e;
  REGSAM view = winsim::ViewBelow(parent, samDesired);
  std::string logical;
  if (LONG e = winsim::SubKeyPath(parent, lpSubKey, &logical)) return e;
  return winsim::CreateKeyAt(logical, (samDesired & ~KEY_WOW64_RES) | view, options, phkResult, lpdwDisposition);
}

LONG EnumKey(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPSTR lpClass, LPDWORD lpcchClass,
             PFILETIME lpftLastWriteTime) {
  if (!lpName || !lpcchName) return ERROR_INVALID_PARAMETER;
  OpenKey k;
  if (LONG e = winsim::ResolveKey(hKey, &k)) return e;
  if (!(k.access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
  std::vector<const winsim::RegKey*> children = SortedChildren(*k.key);
  if (dwIndex >= children.size()) return ERROR_NO_MORE_ITEMS;
  const std::string& name = children[dwIndex]->name();
  if (lpftLastWriteTime) memset(lpftLastWriteTime, 0, sizeof *lpftLastWriteTime);
  if (name.size() >= *lpcchName || (lpClass && lpcchClass && *lpcchClass == 0)) return ERROR_MORE_DATA;
  memcpy(lpName, name.c_str(), name.size() + 1);
  *lpcchName = (DWORD)name.size();
  if (lpcchClass) {
    *lpcchClass = 0;
    if (lpClass) lpClass[0] = 0;
  }
  return ERROR_SUCCESS;
}

}  // namespace

extern "C" {

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
  ApiCall call("RegOpenKeyExA", {HandleJson(hKey), lpSubKey, ulOptions, samDesired, HandleJson(phkResult)});
  if (unsigned e = call.Fault()) return call.Ret((LONG)e);
  // A predefined key with no subkey is handed back as it is.
  if (phkResult && (!lpSubKey || !*lpSubKey) && winsim::IsPredefinedKey(hKey)) {
    *phkResult = hKey;
    call.SetArg(4, HandleJson(*phkResult));
    return call.Ret((LONG)ERROR_SUCCESS);
  }
  if (!phkResult) return call.Ret((LONG)ERROR_INVALID_PARAMETER);
  LONG e = OpenSubKey(hKey, lpSubKey, samDesired, phkResult);
  if (e == ERROR_SUCCESS) call.SetArg(4, HandleJson(*phkResult));
  return call.Ret(e);
}

LONG WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  ApiCall call("RegOpenKeyA", {HandleJson(hKey), lpSubKey, HandleJson(phkResult)});
  if (unsigned e = call.Fault()) return call.Ret((LONG)e);
  if (!phkResult) return call.Ret((LONG)ERROR_INVALID_PARAMETER);
  if (!lpSubKey || !*lpSubKey) {
    *phkResult = hKey;
    call.SetArg(2, HandleJson(*phkResult));
    return call.Ret((LONG)ERROR_SUCCESS);
  }
  LONG e = OpenSubKey(hKey, lpSubKey, MAXIMUM_ALLOWED, phkResult);
  if (e == ERROR_SUCCESS) call.SetArg(2, HandleJson(*phkResult));
  return call.Ret(e);
}

LONG WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  ApiCall call("RegCreateKeyA", {HandleJson(hKey), lpSubKey, HandleJson(phkResult)});
  if (unsigned e = call.Fault()) return call.Ret((LONG)e);
  if (!phkResult) return call.Ret((LONG)ERROR_INVALID_PARAMETER);
  if (!lpSubKey && winsim::IsPredefinedKey(hKey)) {
    *phkResult = hKey;
    call.SetArg(2, HandleJson(*phkResult));
    return call.Ret((LONG)ERROR_SUCCESS);
  }
  LONG e = CreateSubKey(hKey, lpSubKey, REG_OPTION_NON_VOLATILE, MAXIMUM_ALLOWED, phkResult, nullptr);
  if (e == ERROR_SUCCESS) call.SetArg(2, HandleJson(*phkResult));
  return call.Ret(e);
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                            REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
  ApiCall call("RegCreateKeyExA",
               {HandleJson(hKey), lpSubKey, Reserved, lpClass, dwOptions, samDesired, HandleJson(lpSecurityAttributes),
                HandleJson(phkResult), HandleJson(lpdwDisposition)});
  if (unsigned e = call.Fault()) return call.Ret((LONG)e);
  if (!phkResult) return call.Ret((LONG)ERROR_BADKEY);
  if (Reserved) return call.Ret((LONG)ERROR_INVALID_PARAMETER);
  LONG e = CreateSubKey(hKey, lpSubKey, dwOptions, samDesired, phkResult, lpdwDisposition);
  if (e == ERROR_SUCCESS) {
    call.SetArg(7, HandleJson(*phkResult));
    call.SetArg(8, OptionalDword(lpdwDisposition));
  }
  return call.Ret(e);
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData) {
  ApiCall call("RegQueryValueExA", {HandleJson(hKey), lpValueName, HandleJson(lpReserved), HandleJson(lpType),
                                    HandleJson(lpData), OptionalDword(lpcbData)});
  if (unsigned e = call.Fault()) return call.Ret((LONG)e);
  if ((lpData && !lpcbData) || lpReserved) return call.Ret((LONG)ERROR_INVALID_PARAMETER);
  OpenKey k;
  if (LONG e = winsim::ResolveKey(hKey, &k)) return call.Ret(e);
  DWORD room = lpcbData ? *lpcbData : 0;
  if (!lpData && lpcbData) *lpcbData = 0;
  if (lpType) *lpType = REG_NONE;
  if (!(k.access & KEY_QUERY_VALUE)) return call.Ret((LONG)ERROR_ACCESS_DENIED);
  const winsim::RegValue* v = k.key->Value(lpValueName ? lpValueName : "");
  if (!v) return call.Ret((LONG)ERROR_FILE_NOT_FOUND);
  DWORD size = (DWORD)v->data.size();
  LONG result = ERROR_SUCCESS;
  if (lpData) {
    // A short buffer is left untouched. A string stored without its zero
    // gets one after the data when there is room, as NT does; the size
    // returned stays the stored size.
    if (size > room) {
      result = ERROR_MORE_DATA;
    } else {
      if (size) memcpy(lpData, v->data.data(), size);
      if (IsStringType(v->type) && size && size < room && lpData[size - 1]) lpData[size] = 0;
    }
  }
  if (lpType) *lpType = v->type;
  if (lpcbData) *lpcbData = size;
  call.SetArg(3, OptionalDword(lpType));
  if (result == ERROR_SUCCESS) call.SetArg(4, DataJson(v->type, lpData, size));
  call.SetArg(5, OptionalDword(lpcbData));
  return call.Ret(result);
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                           DWORD cbData) {
  ApiCall call("RegSetValueExA",
               {HandleJson(hKey), lpValueName, Reserved, dwType, DataJson(dwType, lpData, cbData), cbData});
  if (unsigned e = call.Fault()) return call.Ret((LONG)e);
  if (!IsNT()) {
    // Windows 9x takes a REG_SZ up to its zero, whatever the size says.
    if (dwType == REG_SZ) {
      if (!lpData) return call.Ret((LONG)ERROR_INVALID_PARAMETER);
      cbData = (DWORD)strlen((const char*)lpData) + 1;
    }
  } else {
    if (!lpData && cbData) return call.Ret((LONG)ERROR_NOACCESS);
    // NT counts a terminating zero the caller forgot to count.
    if (cbData && IsStringType(dwType) && lpData[cbData - 1] && !lpData[cbData]) ++cbData;
  }
  OpenKey k;
  if (LONG e = winsim::ResolveKey(hKey, &k)) return call.Ret(e);
  if (!(k.access & KEY_SET_VALUE)) return call.Ret((LONG)ERROR_ACCESS_DENIED);
  k.key->SetValue(lpValueName ? lpValueName : "", dwType, lpData, cbData);
  return call.Ret((LONG)ERROR_SUCCESS);
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  ApiCall call("RegDeleteValueA", {HandleJson(hKey), lpValueName});
  if (unsigned e = call.Fault()) return call.Ret((LONG)e);
  OpenKey k;
  if (LONG e = winsim::ResolveKey(hKey, &k)) return call.Ret(e);
  if (!(k.access & KEY_SET_VALUE)) return call.Ret((LONG)ERROR_ACCESS_DENIED);
  if (!k.key->DeleteValue(lpValueName ? lpValueName : "")) return call.Ret((LONG)ERROR_FILE_NOT_FOUND);
  return call.Ret((LONG)ERROR_SUCCESS);
}

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  ApiCall call("RegDeleteKeyA", {HandleJson(hKey), lpSubKey});
  if (unsigned e = call.Fault()) return call.Ret((LONG)e);
  if (!lpSubKey) return call.Ret((LONG)ERROR_INVALID_PARAMETER);
  OpenKey parent;
  if (LONG e = winsim::ResolveKey(hKey, &parent)) return call.Ret(e);
  REGSAM view = winsim::ViewBelow(parent, 0);
  std::string logical;
  if (LONG e = winsim::SubKeyPath(parent, lpSubKey, &logical)) return call.Ret(e);
  return call.Ret(winsim::DeleteKeyAt(logical, view));
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved, LPSTR lpClass,
                          LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
  ApiCall call("RegEnumKeyExA",
               {HandleJson(hKey), dwIndex, HandleJson(lpName), OptionalDword(lpcchName), HandleJson(lpReserved),
                HandleJson(lpClass), OptionalDword(lpcchClass), HandleJson(lpftLastWriteTime)});
  if (unsigned e = call.Fault()) return call.Ret((LONG)e);
  if (lpReserved) return call.Ret((LONG)ERROR_INVALID_PARAMETER);
  LONG e = EnumKey(hKey, dwIndex, lpName, lpcchName, lpClass, lpcchClass, lpftLastWriteTime);
  if (e == ERROR_SUCCESS) {
    call.SetArg(2, Json(lpName));
    call.SetArg(3, OptionalDword(lpcchName));
  }
  return call.Ret(e);
}

LONG WINAPI RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
  ApiCall call("RegEnumKeyA", {HandleJson(hKey), dwIndex, HandleJson(lpName), cchName});
  if (unsigned e = call.Fault()) return call.Ret((LONG)e);
  DWORD size = cchName;
  LONG e = EnumKey(hKey, dwIndex, lpName, &size, nullptr, nullptr, nullptr);
  if (e == ERROR_SUCCESS) call.SetArg(2, Json(lpName));
  return call.Ret(e);
}

LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                          LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  ApiCall call("RegEnumValueA",
               {HandleJson(hKey), dwIndex, HandleJson(lpValueName), OptionalDword(lpcchValueName),
                HandleJson(lpReserved), HandleJson(lpType), HandleJson(lpData), OptionalDword(lpcbData)});
  if (unsigned e = call.Fault()) return call.Ret((LONG)e);
  if ((lpData && !lpcbData) || lpReserved || !lpValueName || !lpcchValueName)
    return call.Ret((LONG)ERROR_INVALID_PARAMETER);
  OpenKey k;
  if (LONG e = winsim::ResolveKey(hKey, &k)) return call.Ret(e);
  if (!(k.access & KEY_QUERY_VALUE)) return call.Ret((LONG)ERROR_ACCESS_DENIED);
  if (dwIndex >= k.key->values().size()) return call.Ret((LONG)ERROR_NO_MORE_ITEMS);
  const winsim::RegValue& v = k.key->values()[dwIndex];
  DWORD size = (DWORD)v.data.size();
  LONG result = ERROR_SUCCESS;
  if (lpData) {
    if (size > *lpcbData) {
      result = ERROR_MORE_DATA;
    } else {
      if (size) memcpy(lpData, v.data.data(), size);
      if (IsStringType(v.type) && size && size < *lpcbData && lpData[size - 1]) lpData[size] = 0;
    }
  }
  if (result == ERROR_SUCCESS) {
    if (v.name.size() >= *lpcchValueName) {
      result = ERROR_MORE_DATA;
      if (*lpcchValueName) {
        memcpy(lpValueName, v.name.data(), *lpcchValueName - 1);
        lpValueName[*lpcchValueName - 1] = 0;
      }
    } else {
      memcpy(lpValueName, v.name.c_str(), v.name.size() + 1);
      *lpcchValueName = (DWORD)v.name.size();
    }
  }
  if (lpType) *lpType = v.type;
  if (lpcbData) *lpcbData = size;
  if (result == ERROR_SUCCESS) {
    call.SetArg(2, Json(lpValueName));
    call.SetArg(3, OptionalDword(lpcchValueName));
    call.SetArg(6, DataJson(v.type, lpData, size));
  }
  call.SetArg(5, OptionalDword(lpType));
  call.SetArg(7, OptionalDword(lpcbData));
  return call.Ret(result);
}

LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                             LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                             LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                             PFILETIME lpftLastWriteTime) {
  ApiCall call("RegQueryInfoKeyA",
               {HandleJson(hKey), HandleJson(lpClass), OptionalDword(lpcchClass), HandleJson(lpReserved),
                HandleJson(lpcSubKeys), HandleJson(lpcbMaxSubKeyLen), HandleJson(lpcbMaxClassLen),
                HandleJson(lpcValues), HandleJson(lpcbMaxValueNameLen), HandleJson(lpcbMaxValueLen),
                HandleJson(lpcbSecurityDescriptor), HandleJson(lpftLastWriteTime)});
  if (unsigned e = call.Fault()) return call.Ret((LONG)e);
  if (lpClass && !lpcchClass && IsNT()) return call.Ret((LONG)ERROR_INVALID_PARAMETER);
  OpenKey k;
  if (LONG e = winsim::ResolveKey(hKey, &k)) return call.Ret(e);
  if (!(k.access & KEY_QUERY_VALUE)) return call.Ret((LONG)ERROR_ACCESS_DENIED);
  const winsim::RegKey& key = *k.key;
  DWORD maxSubKey = 0, maxValueName = 0, maxValue = 0;
  for (const auto& c : key.children()) maxSubKey = std::max(maxSubKey, (DWORD)c->name().size());
  for (const auto& v : key.values()) {
    maxValueName = std::max(maxValueName, (DWORD)v.name.size());
    // NT stores string data as UTF-16: two bytes for each ANSI character.
    DWORD stored = (DWORD)v.data.size() * (IsNT() && IsStringType(v.type) ? 2 : 1);
    maxValue = std::max(maxValue, stored);
  }
  if (lpcchClass) {
    if (lpClass && *lpcchClass) lpClass[0] = 0;
    *lpcchClass = 0;
  }
  if (lpcSubKeys) *lpcSubKeys = (DWORD)key.children().size();
  if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSubKey;
  if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
  if (lpcValues) *lpcValues = (DWORD)key.values().size();
  if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxValueName;
  if (lpcbMaxValueLen) *lpcbMaxValueLen = maxValue;
  if (lpcbSecurityDescriptor)
    *lpcbSecurityDescriptor =
        IsNT() ? (DWORD)winsim::BuildSecurityDescriptor(
                     key, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION)
                     .bytes.size()
               : 0;
  if (lpftLastWriteTime) memset(lpftLastWriteTime, 0, sizeof *lpftLastWriteTime);
  call.SetArg(4, OptionalDword(lpcSubKeys));
  call.SetArg(7, OptionalDword(lpcValues));
  return call.Ret((LONG)ERROR_SUCCESS);
}

LONG WINAPI RegCloseKey(HKEY hKey) {
  ApiCall call("RegCloseKey", {HandleJson(hKey)});
  if (unsigned e = call.Fault()) return call.Ret((LONG)e);
  return call.Ret(winsim::CloseKey(hKey));
}

LONG WINAPI RegFlushKey(HKEY hKey) {
  ApiCall call("RegFlushKey", {HandleJson(hKey)});
  if (unsigned e = call.Fault()) return call.Ret((LONG)e);
  OpenKey k;
  return call.Ret(winsim::ResolveKey(hKey, &k));
}

LONG WINAPI RegConnectRegistryA(LPCSTR lpMachineName, HKEY hKey, PHKEY phkResult) {
  ApiCall call("RegConnectRegistryA", {lpMachineName, HandleJson(hKey), HandleJson(phkResult)});
  if (unsigned e = call.Fault()) return call.Ret((LONG)e);
  if (!phkResult) return call.Ret((LONG)ERROR_INVALID_PARAMETER);
  // Only these two roots exist on another machine.
  uint32_t root = (uint32_t)(uintptr_t)hKey;
  if (root != (uint32_t)(uintptr_t)HKEY_LOCAL_MACHINE && root != (uint32_t)(uintptr_t)HKEY_USERS)
    return call.Ret((LONG)ERROR_INVALID_PARAMETER);
  if (lpMachineName && *lpMachineName) {
    const char* name = lpMachineName[0] == '\\' && lpMachineName[1] == '\\' ? lpMachineName + 2 : lpMachineName;
    const char* host = getenv("WINSIM_COMPUTERNAME");
    if (!winsim::SameKeyName(name, host && *host ? host : "WINSIM")) {
      // The simulated machine is alone on its network.
      return call.Ret((LONG)ERROR_BAD_NETPATH);
    }
  }
  // A connection is a key handle of its own on the machine's root key, not
  // the predefined key: the program closes it with RegCloseKey, and one it
  // never closes is left open like any other key handle.
  LONG e = OpenSubKey(hKey, nullptr, MAXIMUM_ALLOWED, phkResult);
  call.SetArg(2, HandleJson(*phkResult));
  return call.Ret(e);
}

}  // extern "C"
