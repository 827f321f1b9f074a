#include "version_stamp.h"

#include "resource.h"

namespace {

void SetDwordValue(HKEY hKey, LPCSTR lpszName, DWORD dwValue) {
  RegSetValueExA(hKey, lpszName, 0, REG_DWORD, (const BYTE*)&dwValue, sizeof dwValue);
}

}  // namespace

BOOL VersionStamp::Write(PackageVersion version) {
  CString strKey;
  strKey.LoadString(IDS_VERSION_STAMP_KEY);
  HKEY hKey = NULL;
  if (RegCreateKeyA(HKEY_LOCAL_MACHINE, strKey, &hKey) != ERROR_SUCCESS) return FALSE;
  SetDwordValue(hKey, "MajorVersion", version.major);
  SetDwordValue(hKey, "MinorVersion", version.minor);
  SetDwordValue(hKey, "BuildVersion", version.build);
  SetDwordValue(hKey, "ExtraVersion", version.extra);
  RegCloseKey(hKey);
  return TRUE;
}
