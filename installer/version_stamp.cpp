#include "version_stamp.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <winspool.h>

#include "resource.h"

namespace {

void SetDwordValue(HKEY hKey, LPCSTR lpszName, DWORD dwValue) {
  RegSetValueExA(hKey, lpszName, 0, REG_DWORD, (const BYTE*)&dwValue, sizeof dwValue);
}

// The second part of a two-call enumeration: the records in a buffer of
// the size the first call asked for, or NULL with *pcReturned 0. A first
// call that asks for nothing means there is nothing to list.
template <class Enumerate>
BYTE* EnumerateAll(DWORD cbNeeded, DWORD* pcReturned, Enumerate enumerate) {
  *pcReturned = 0;
  if (cbNeeded == 0) return NULL;
  BYTE* pBuffer = (BYTE*)malloc(cbNeeded);
  if (pBuffer && enumerate(pBuffer, cbNeeded, &cbNeeded, pcReturned)) return pBuffer;
  free(pBuffer);
  *pcReturned = 0;
  return NULL;
}

BOOL PrinterUsesDriver(LPCSTR lpszDriver) {
  DWORD cbNeeded = 0, cReturned = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &cbNeeded, &cReturned);
  BYTE* pBuffer = EnumerateAll(cbNeeded, &cReturned, [](BYTE* p, DWORD cb, DWORD* pcb, DWORD* pc) {
    return EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, p, cb, pcb, pc);
  });
  BOOL bFound = FALSE;
  const PRINTER_INFO_2A* pInfo = (const PRINTER_INFO_2A*)pBuffer;
  for (DWORD i = 0; i < cReturned && !bFound; ++i)
    bFound = pInfo[i].pDriverName && strcmp(pInfo[i].pDriverName, lpszDriver) == 0;
  free(pBuffer);
  return bFound;
}

BOOL DriverInstalled(LPCSTR lpszDriver, LPCSTR lpszEnvironment) {
  LPSTR lpszEnv = (LPSTR)lpszEnvironment;
  DWORD cbNeeded = 0, cReturned = 0;
  EnumPrinterDriversA(NULL, lpszEnv, 4, NULL, 0, &cbNeeded, &cReturned);
  BYTE* pBuffer = EnumerateAll(cbNeeded, &cReturned, [lpszEnv](BYTE* p, DWORD cb, DWORD* pcb, DWORD* pc) {
    return EnumPrinterDriversA(NULL, lpszEnv, 4, p, cb, pcb, pc);
  });
  BOOL bFound = FALSE;
  const DRIVER_INFO_4A* pInfo = (const DRIVER_INFO_4A*)pBuffer;
  for (DWORD i = 0; i < cReturned && !bFound; ++i) bFound = pInfo[i].pName && strcmp(pInfo[i].pName, lpszDriver) == 0;
  free(pBuffer);
  return bFound;
}

// A part of the stamp: 0 when the value is missing or does not fit.
DWORD StampPart(HKEY hKey, LPCSTR lpszName) {
  DWORD dwValue = 0;
  DWORD cbData = sizeof dwValue;
  if (RegQueryValueExA(hKey, lpszName, NULL, NULL, (LPBYTE)&dwValue, &cbData) != ERROR_SUCCESS) dwValue = 0;
  return dwValue;
}

int ComparePart(DWORD dwInstalled, DWORD dwPackage) {
  if (dwInstalled < dwPackage) return kStampOlder;
  if (dwInstalled > dwPackage) return kStampNewer;
  return kStampSame;
}

}  // namespace

int VersionStamp::CompareInstalled(CString strDriverName, PackageVersion version, LPCSTR lpszEnvironment) {
  if (!PrinterUsesDriver(strDriverName))
    return DriverInstalled(strDriverName, lpszEnvironment) ? kStampOlder : kNotInstalled;

  // The stamp of the printer named after the driver, whichever printer
  // uses the driver.
  CString strKey;
  strKey.LoadString(IDS_VERSION_STAMP_KEY);
  HKEY hKey = NULL;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, strKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS) return kStampOlder;
  const DWORD installed[] = {StampPart(hKey, "MajorVersion"), StampPart(hKey, "MinorVersion"),
                             StampPart(hKey, "BuildVersion"), StampPart(hKey, "ExtraVersion")};
  RegCloseKey(hKey);
  const DWORD package[] = {version.major, version.minor, version.build, version.extra};
  for (int i = 0; i < 4; ++i) {
    int result = ComparePart(installed[i], package[i]);
    if (result != kStampSame) return result;
  }
  return kStampSame;
}

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
