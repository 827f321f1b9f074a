// Makes the Win32 calls the installer and the uninstaller rely on, each with
// cases that succeed and cases that fail, and prints one tab-separated line
// a case:
//   case-id  return value  last error  resulting state
// The last error is read after the call with 0xDEADBEEF set before it ("-":
// the call left it alone). It is shown for calls that failed, and for
// success only where Windows documents a value (CreateFileA's
// ERROR_ALREADY_EXISTS); otherwise, and for functions that return their
// error, the column holds ".". What legitimately differs between machines is
// normalised: paths are lowercased, handles print as null or non-null, the
// number of an OEM INF copy is left out, a file's state is whether it is
// there unless the case is about its attributes.
//
// The probe works on objects of its own only (C:\ConformanceProbe, the keys
// SOFTWARE\ConformanceProbe of HKLM and HKCU, a driver, printer and monitor
// named "Conformance Probe ...", one USB device node) and takes them away at
// the end. It expects C:\cprobemon.dll, a print monitor module of the
// machine's own architecture, put there by the caller.
#include <ctype.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>
#include <accctrl.h>
#include <aclapi.h>
#include <setupapi.h>
#include <shlwapi.h>
#include <winspool.h>

namespace {

const DWORD kSentinel = 0xDEADBEEF;
// The error column of a call that succeeded and documents no last error.
const DWORD kNotShown = 0xFFFFFFFE;
const char kDir[] = "C:\\ConformanceProbe";
const char kKey[] = "SOFTWARE\\ConformanceProbe";
const char kEnvironment[] = "Windows x64";
const char kDriver[] = "Conformance Probe Driver";
const char kPrinter[] = "Conformance Probe Printer";
const char kMonitor[] = "Conformance Probe Monitor";
const char kMonitorModule[] = "cprobemon.dll";
const char kHardwareId[] = "USB\\VID_0B0B&PID_7202";
const char kDeviceId[] = "USB\\VID_0B0B&PID_7202\\CPROBE1";

// A driver INF: what SetupCopyOEMInfA takes into the INF folder.
const char kDriverInf[] =
    "[Version]\r\n"
    "Signature=\"$Windows NT$\"\r\n"
    "Class=Printer\r\n"
    "ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}\r\n"
    "Provider=%Probe%\r\n"
    "DriverVer=01/01/2020,1.0.0.0\r\n"
    "\r\n"
    "[Manufacturer]\r\n"
    "%Probe%=Probe,NTamd64\r\n"
    "\r\n"
    "[Probe.NTamd64]\r\n"
    "\"Conformance Probe Driver\" = PROBE_INSTALL,USBPRINT\\ConformanceProbe7202\r\n"
    "\r\n"
    "[PROBE_INSTALL]\r\n"
    "CopyFiles=@cprobedrv.dll\r\n"
    "\r\n"
    "[Strings]\r\n"
    "Probe=\"Conformance Probe\"\r\n";
// An INF of no device class: a plain set-up script.
const char kPlainInf[] =
    "[Version]\r\n"
    "Signature=\"$Windows NT$\"\r\n"
    "\r\n"
    "[DefaultInstall]\r\n"
    "AddReg=Probe.AddReg\r\n"
    "\r\n"
    "[Probe.AddReg]\r\n"
    "HKCU,Software\\ConformanceProbe,Installed,0x10001,1\r\n";

int g_nCases = 0;

// The line of one case; ret is already text.
void Report(const char* pszId, const char* pszRet, DWORD dwError, const char* pszState) {
  char szError[16];
  if (dwError == kSentinel)
    lstrcpynA(szError, "-", sizeof szError);
  else if (dwError == kNotShown)
    lstrcpynA(szError, ".", sizeof szError);
  else
    snprintf(szError, sizeof szError, "%u", (unsigned)dwError);
  printf("%s\t%s\t%s\t%s\n", pszId, pszRet, szError, pszState ? pszState : "");
  ++g_nCases;
}

void ReportBool(const char* pszId, BOOL bResult, DWORD dwError, const char* pszState) {
  Report(pszId, bResult ? "1" : "0", bResult ? kNotShown : dwError, pszState);
}

// A number: a length (0 on failure, with the last error), or a status that
// is the error itself (bStatus: the last error is not shown).
void ReportNumber(const char* pszId, long nResult, DWORD dwError, const char* pszState, BOOL bStatus = TRUE) {
  char szRet[24];
  snprintf(szRet, sizeof szRet, "%ld", nResult);
  Report(pszId, szRet, bStatus || nResult != 0 ? kNotShown : dwError, pszState);
}

void ReportHandle(const char* pszId, HANDLE hResult, DWORD dwError, const char* pszState,
                  BOOL bErrorOnSuccess = FALSE) {
  BOOL bValid = hResult != NULL && hResult != INVALID_HANDLE_VALUE;
  Report(pszId,
         hResult == NULL                   ? "null"
         : hResult == INVALID_HANDLE_VALUE ? "invalid"
                                           : "handle",
         bValid && !bErrorOnSuccess ? kNotShown : dwError, pszState);
}

// Windows' folder is "C:\Windows" on one machine, "C:\windows" on another.
void Lower(char* psz) {
  for (; *psz; ++psz) *psz = (char)tolower((unsigned char)*psz);
}

// "oem12.inf" becomes "oem#.inf": the number depends on what the INF
// folder already holds.
void HideOemNumber(char* psz) {
  Lower(psz);
  char* p = strstr(psz, "oem");
  if (!p || !isdigit((unsigned char)p[3])) return;
  char* pEnd = p + 3;
  while (isdigit((unsigned char)*pEnd)) ++pEnd;
  p[3] = '#';
  memmove(p + 4, pEnd, strlen(pEnd) + 1);
}

void PathOf(char* pszPath, size_t cch, const char* pszName) { snprintf(pszPath, cch, "%s\\%s", kDir, pszName); }

// "attr=0x20" or "missing:<error>".
void AttributeState(const char* pszPath, char* pszState, size_t cch) {
  SetLastError(kSentinel);
  DWORD dwAttributes = GetFileAttributesA(pszPath);
  if (dwAttributes == INVALID_FILE_ATTRIBUTES)
    snprintf(pszState, cch, "missing:%u", (unsigned)GetLastError());
  else
    snprintf(pszState, cch, "attr=0x%x", (unsigned)dwAttributes);
}

// "file", "file,ro" (read-only), "folder" or "missing:<error>".
void PresenceState(const char* pszPath, char* pszState, size_t cch) {
  SetLastError(kSentinel);
  DWORD dwAttributes = GetFileAttributesA(pszPath);
  if (dwAttributes == INVALID_FILE_ATTRIBUTES)
    snprintf(pszState, cch, "missing:%u", (unsigned)GetLastError());
  else
    snprintf(pszState, cch, "%s%s", dwAttributes & FILE_ATTRIBUTE_DIRECTORY ? "folder" : "file",
             dwAttributes & FILE_ATTRIBUTE_READONLY ? ",ro" : "");
}

// The size of a file, or -1.
long SizeOf(const char* pszPath) {
  HANDLE hFile = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, NULL);
  if (hFile == INVALID_HANDLE_VALUE) return -1;
  DWORD dwSize = GetFileSize(hFile, NULL);
  CloseHandle(hFile);
  return (long)dwSize;
}

BOOL WriteText(const char* pszPath, const char* pszText) {
  HANDLE hFile = CreateFileA(pszPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (hFile == INVALID_HANDLE_VALUE) return FALSE;
  DWORD cbWritten = 0;
  BOOL bOk = WriteFile(hFile, pszText, (DWORD)strlen(pszText), &cbWritten, NULL);
  CloseHandle(hFile);
  return bOk;
}

// ---------------------------------------------------------------- files

void CreateFileCase(const char* pszId, const char* pszName, DWORD dwAccess, DWORD dwShare, DWORD dwDisposition,
                    DWORD dwFlags = FILE_ATTRIBUTE_NORMAL) {
  char szPath[MAX_PATH];
  PathOf(szPath, sizeof szPath, pszName);
  SetLastError(kSentinel);
  HANDLE hFile = CreateFileA(szPath, dwAccess, dwShare, NULL, dwDisposition, dwFlags, NULL);
  DWORD dwError = GetLastError();
  char szState[64];
  if (hFile != INVALID_HANDLE_VALUE) {
    snprintf(szState, sizeof szState, "size=%ld", (long)GetFileSize(hFile, NULL));
    CloseHandle(hFile);
  } else {
    PresenceState(szPath, szState, sizeof szState);
  }
  ReportHandle(pszId, hFile, dwError, szState, dwDisposition == CREATE_ALWAYS || dwDisposition == OPEN_ALWAYS);
}

// A second open of a file while a first handle is held.
void ShareCase(const char* pszId, DWORD dwFirstAccess, DWORD dwFirstShare, DWORD dwAccess, DWORD dwShare) {
  char szPath[MAX_PATH];
  PathOf(szPath, sizeof szPath, "a.txt");
  HANDLE hFirst = CreateFileA(szPath, dwFirstAccess, dwFirstShare, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  SetLastError(kSentinel);
  HANDLE hSecond = CreateFileA(szPath, dwAccess, dwShare, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  DWORD dwError = GetLastError();
  if (hSecond != INVALID_HANDLE_VALUE) CloseHandle(hSecond);
  if (hFirst != INVALID_HANDLE_VALUE) CloseHandle(hFirst);
  ReportHandle(pszId, hSecond, dwError, hFirst != INVALID_HANDLE_VALUE ? "first=open" : "first=failed");
}

void AttributeCase(const char* pszId, const char* pszName) {
  char szPath[MAX_PATH];
  PathOf(szPath, sizeof szPath, pszName);
  SetLastError(kSentinel);
  DWORD dwAttributes = GetFileAttributesA(szPath);
  DWORD dwError = GetLastError();
  char szRet[16];
  snprintf(szRet, sizeof szRet, "0x%x", (unsigned)dwAttributes);
  Report(pszId, szRet, dwAttributes == INVALID_FILE_ATTRIBUTES ? dwError : kNotShown, "");
}

void SetAttributeCase(const char* pszId, const char* pszName, DWORD dwAttributes) {
  char szPath[MAX_PATH];
  PathOf(szPath, sizeof szPath, pszName);
  SetLastError(kSentinel);
  BOOL bOk = SetFileAttributesA(szPath, dwAttributes);
  DWORD dwError = GetLastError();
  char szState[64];
  AttributeState(szPath, szState, sizeof szState);
  ReportBool(pszId, bOk, dwError, szState);
}

void CopyCase(const char* pszId, const char* pszFrom, const char* pszTo, BOOL bFailIfExists) {
  char szFrom[MAX_PATH], szTo[MAX_PATH];
  PathOf(szFrom, sizeof szFrom, pszFrom);
  PathOf(szTo, sizeof szTo, pszTo);
  SetLastError(kSentinel);
  BOOL bOk = CopyFileA(szFrom, szTo, bFailIfExists);
  DWORD dwError = GetLastError();
  char szAttr[48], szState[96];
  PresenceState(szTo, szAttr, sizeof szAttr);
  snprintf(szState, sizeof szState, "%s size=%ld", szAttr, SizeOf(szTo));
  ReportBool(pszId, bOk, dwError, szState);
}

void DeleteCase(const char* pszId, const char* pszName) {
  char szPath[MAX_PATH];
  PathOf(szPath, sizeof szPath, pszName);
  SetLastError(kSentinel);
  BOOL bOk = DeleteFileA(szPath);
  DWORD dwError = GetLastError();
  char szState[64];
  PresenceState(szPath, szState, sizeof szState);
  ReportBool(pszId, bOk, dwError, szState);
}

void MoveCase(const char* pszId, const char* pszFrom, const char* pszTo, DWORD dwFlags) {
  char szFrom[MAX_PATH], szTo[MAX_PATH];
  PathOf(szFrom, sizeof szFrom, pszFrom);
  PathOf(szTo, sizeof szTo, pszTo);
  SetLastError(kSentinel);
  BOOL bOk = MoveFileExA(szFrom, szTo, dwFlags);
  DWORD dwError = GetLastError();
  char szFromState[48], szToState[48], szState[128];
  PresenceState(szFrom, szFromState, sizeof szFromState);
  PresenceState(szTo, szToState, sizeof szToState);
  snprintf(szState, sizeof szState, "from:%s to:%s size=%ld", szFromState, szToState, SizeOf(szTo));
  ReportBool(pszId, bOk, dwError, szState);
}

void CreateDirectoryCase(const char* pszId, const char* pszPath) {
  SetLastError(kSentinel);
  BOOL bOk = CreateDirectoryA(pszPath, NULL);
  DWORD dwError = GetLastError();
  char szState[64];
  PresenceState(pszPath, szState, sizeof szState);
  ReportBool(pszId, bOk, dwError, szState);
}

void RemoveDirectoryCase(const char* pszId, const char* pszName) {
  char szPath[MAX_PATH];
  PathOf(szPath, sizeof szPath, pszName);
  SetLastError(kSentinel);
  BOOL bOk = RemoveDirectoryA(szPath);
  DWORD dwError = GetLastError();
  char szState[64];
  PresenceState(szPath, szState, sizeof szState);
  ReportBool(pszId, bOk, dwError, szState);
}

// FindFirstFileA, then FindNextFileA to the end: the names found.
void FindCase(const char* pszId, const char* pszPattern) {
  char szPath[MAX_PATH];
  PathOf(szPath, sizeof szPath, pszPattern);
  WIN32_FIND_DATAA data;
  SetLastError(kSentinel);
  HANDLE hFind = FindFirstFileA(szPath, &data);
  DWORD dwError = GetLastError();
  char szState[256] = "";
  if (hFind != INVALID_HANDLE_VALUE) {
    int n = 0;
    do {
      size_t len = strlen(szState);
      snprintf(szState + len, sizeof szState - len, "%s%s", n++ ? "," : "", data.cFileName);
    } while (FindNextFileA(hFind, &data));
    size_t len = strlen(szState);
    snprintf(szState + len, sizeof szState - len, " end:%u", (unsigned)GetLastError());
    FindClose(hFind);
  }
  Lower(szState);
  ReportHandle(pszId, hFind, dwError, szState);
}

void FolderCases() {
  char szBuffer[MAX_PATH];
  SetLastError(kSentinel);
  UINT cch = GetWindowsDirectoryA(szBuffer, sizeof szBuffer);
  DWORD dwError = GetLastError();
  Lower(szBuffer);
  ReportNumber("windir.get", (long)cch, dwError, szBuffer, FALSE);
  SetLastError(kSentinel);
  cch = GetWindowsDirectoryA(szBuffer, 3);
  ReportNumber("windir.small", (long)cch, GetLastError(), "", FALSE);
  SetLastError(kSentinel);
  cch = GetSystemDirectoryA(szBuffer, sizeof szBuffer);
  dwError = GetLastError();
  Lower(szBuffer);
  ReportNumber("sysdir.get", (long)cch, dwError, szBuffer, FALSE);
  SetLastError(kSentinel);
  cch = GetSystemDirectoryA(szBuffer, 3);
  ReportNumber("sysdir.small", (long)cch, GetLastError(), "", FALSE);
}

void FileCases() {
  CreateDirectoryCase("dir.create", kDir);
  CreateDirectoryCase("dir.create.exists", kDir);
  CreateDirectoryCase("dir.create.no_parent", "C:\\ConformanceProbe\\missing\\sub");
  CreateDirectoryCase("dir.create.sub", "C:\\ConformanceProbe\\sub");

  CreateFileCase("createfile.new", "a.txt", GENERIC_WRITE, 0, CREATE_NEW);
  CreateFileCase("createfile.new.exists", "a.txt", GENERIC_WRITE, 0, CREATE_NEW);
  CreateFileCase("createfile.always.exists", "a.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
  CreateFileCase("createfile.open_always.new", "b.txt", GENERIC_WRITE, 0, OPEN_ALWAYS);
  CreateFileCase("createfile.open_always.exists", "b.txt", GENERIC_WRITE, 0, OPEN_ALWAYS);
  CreateFileCase("createfile.open_existing.missing", "none.txt", GENERIC_READ, 0, OPEN_EXISTING);
  CreateFileCase("createfile.open_existing.no_folder", "missing\\none.txt", GENERIC_READ, 0, OPEN_EXISTING);
  CreateFileCase("createfile.truncate.missing", "none.txt", GENERIC_WRITE, 0, TRUNCATE_EXISTING);
  CreateFileCase("createfile.new.on_folder", "sub", GENERIC_WRITE, 0, CREATE_NEW);
  CreateFileCase("createfile.open.folder", "sub", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  CreateFileCase("createfile.open.folder_backup", "sub", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                 FILE_FLAG_BACKUP_SEMANTICS);
  char szPath[MAX_PATH];
  PathOf(szPath, sizeof szPath, "a.txt");
  WriteText(szPath, "conformance");

  ShareCase("share.read_then_write", GENERIC_READ, FILE_SHARE_READ, GENERIC_WRITE, FILE_SHARE_READ);
  ShareCase("share.read_then_read", GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ);
  ShareCase("share.read_then_exclusive", GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, 0);
  ShareCase("share.exclusive_then_read", GENERIC_READ, 0, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ShareCase("share.write_then_read_shared", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, GENERIC_READ,
            FILE_SHARE_READ);

  AttributeCase("attr.get.file", "a.txt");
  AttributeCase("attr.get.folder", "sub");
  AttributeCase("attr.get.missing", "none.txt");
  AttributeCase("attr.get.no_folder", "missing\\none.txt");
  SetAttributeCase("attr.set.readonly", "b.txt", FILE_ATTRIBUTE_READONLY);
  SetAttributeCase("attr.set.hidden_system", "b.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  SetAttributeCase("attr.set.normal", "b.txt", FILE_ATTRIBUTE_NORMAL);
  SetAttributeCase("attr.set.archive", "b.txt", FILE_ATTRIBUTE_ARCHIVE);
  SetAttributeCase("attr.set.missing", "none.txt", FILE_ATTRIBUTE_NORMAL);
  SetAttributeCase("attr.set.folder_readonly", "sub", FILE_ATTRIBUTE_READONLY);
  SetAttributeCase("attr.set.folder_plain", "sub", FILE_ATTRIBUTE_NORMAL);

  CopyCase("copy.new", "a.txt", "c.txt", FALSE);
  CopyCase("copy.fail_if_exists", "a.txt", "c.txt", TRUE);
  CopyCase("copy.overwrite", "b.txt", "c.txt", FALSE);
  PathOf(szPath, sizeof szPath, "c.txt");
  SetFileAttributesA(szPath, FILE_ATTRIBUTE_READONLY);
  CopyCase("copy.over_readonly", "a.txt", "c.txt", FALSE);
  CopyCase("copy.missing_source", "none.txt", "d.txt", FALSE);
  CopyCase("copy.no_target_folder", "a.txt", "missing\\d.txt", FALSE);
  PathOf(szPath, sizeof szPath, "r.txt");
  WriteText(szPath, "read-only");
  SetFileAttributesA(szPath, FILE_ATTRIBUTE_READONLY);
  CopyCase("copy.readonly_source", "r.txt", "d.txt", FALSE);
  SetFileAttributesA(szPath, FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(szPath);
  {
    PathOf(szPath, sizeof szPath, "a.txt");
    HANDLE hHeld = CreateFileA(szPath, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    CopyCase("copy.source_locked", "a.txt", "e.txt", FALSE);
    if (hHeld != INVALID_HANDLE_VALUE) CloseHandle(hHeld);
  }

  DeleteCase("delete.readonly", "c.txt");
  PathOf(szPath, sizeof szPath, "c.txt");
  SetFileAttributesA(szPath, FILE_ATTRIBUTE_NORMAL);
  DeleteCase("delete.file", "c.txt");
  DeleteCase("delete.missing", "c.txt");
  DeleteCase("delete.no_folder", "missing\\c.txt");
  DeleteCase("delete.folder", "sub");
  {
    PathOf(szPath, sizeof szPath, "b.txt");
    HANDLE hHeld = CreateFileA(szPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    DeleteCase("delete.open_file", "b.txt");
    if (hHeld != INVALID_HANDLE_VALUE) CloseHandle(hHeld);
  }

  MoveCase("move.rename", "b.txt", "f.txt", 0);
  MoveCase("move.target_exists", "a.txt", "f.txt", 0);
  MoveCase("move.replace", "a.txt", "f.txt", MOVEFILE_REPLACE_EXISTING);
  MoveCase("move.missing", "a.txt", "g.txt", 0);
  MoveCase("move.folder", "sub", "sub2", 0);
  MoveCase("move.into_missing_folder", "f.txt", "missing\\f.txt", 0);
  {
    // A read-only target, taken away afterwards whatever happened.
    char szSource[MAX_PATH], szTarget[MAX_PATH];
    PathOf(szSource, sizeof szSource, "m1.txt");
    PathOf(szTarget, sizeof szTarget, "m2.txt");
    WriteText(szSource, "source");
    WriteText(szTarget, "target");
    SetFileAttributesA(szTarget, FILE_ATTRIBUTE_READONLY);
    MoveCase("move.replace_readonly", "m1.txt", "m2.txt", MOVEFILE_REPLACE_EXISTING);
    SetFileAttributesA(szTarget, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(szSource);
    DeleteFileA(szTarget);
  }

  FindCase("find.missing", "none.txt");
  FindCase("find.no_folder", "missing\\*");
  FindCase("find.pattern_none", "*.xyz");
  FindCase("find.all", "*");

  PathOf(szPath, sizeof szPath, "sub2\\x.txt");
  WriteText(szPath, "x");
  RemoveDirectoryCase("rmdir.not_empty", "sub2");
  RemoveDirectoryCase("rmdir.missing", "none");
  RemoveDirectoryCase("rmdir.file", "d.txt");
  DeleteFileA(szPath);
  RemoveDirectoryCase("rmdir.empty", "sub2");
  FolderCases();
}

// ---------------------------------------------------------------- registry

void DispositionCase(const char* pszId, HKEY hRoot, const char* pszSubKey, REGSAM samFlags) {
  HKEY hKey = NULL;
  DWORD dwDisposition = 0;
  SetLastError(kSentinel);
  LONG status = RegCreateKeyExA(hRoot, pszSubKey, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | samFlags, NULL,
                                &hKey, &dwDisposition);
  DWORD dwError = GetLastError();
  char szState[32];
  snprintf(szState, sizeof szState, "disposition=%u", (unsigned)dwDisposition);
  if (hKey) RegCloseKey(hKey);
  ReportNumber(pszId, status, dwError, szState);
}

void OpenKeyCase(const char* pszId, HKEY hRoot, const char* pszSubKey, REGSAM sam) {
  HKEY hKey = NULL;
  SetLastError(kSentinel);
  LONG status = RegOpenKeyExA(hRoot, pszSubKey, 0, sam, &hKey);
  DWORD dwError = GetLastError();
  if (hKey) RegCloseKey(hKey);
  ReportNumber(pszId, status, dwError, hKey ? "key=open" : "key=null");
}

void SetValueCase(const char* pszId, HKEY hKey, const char* pszName, DWORD dwType, const void* pData, DWORD cb) {
  SetLastError(kSentinel);
  LONG status = RegSetValueExA(hKey, pszName, 0, dwType, (const BYTE*)pData, cb);
  ReportNumber(pszId, status, GetLastError(), "");
}

// RegQueryValueExA with a buffer of cbBuffer bytes (none when 0 and
// bNullData): the type, the size reported and, when read, the data in hex.
void QueryValueCase(const char* pszId, HKEY hKey, const char* pszName, DWORD cbBuffer, BOOL bNullData = FALSE) {
  BYTE data[64];
  memset(data, 0xCC, sizeof data);
  DWORD dwType = 0xFFFF;
  DWORD cb = cbBuffer;
  SetLastError(kSentinel);
  LONG status = RegQueryValueExA(hKey, pszName, NULL, &dwType, bNullData ? NULL : data, &cb);
  DWORD dwError = GetLastError();
  char szState[256];
  int n = snprintf(szState, sizeof szState, "type=%u size=%u data=", (unsigned)dwType, (unsigned)cb);
  // What lies in the buffer: the value, or what the call left there.
  for (DWORD i = 0; !bNullData && i < cbBuffer && i < 24 && n > 0 && n < (int)sizeof szState - 3; ++i)
    n += snprintf(szState + n, sizeof szState - n, "%02x", data[i]);
  ReportNumber(pszId, status, dwError, szState);
}

void EnumKeyCases(HKEY hKey) {
  char szNames[256] = "";
  DWORD dwIndex = 0;
  LONG status;
  DWORD dwError;
  for (;; ++dwIndex) {
    char szName[64];
    DWORD cch = sizeof szName;
    SetLastError(kSentinel);
    status = RegEnumKeyExA(hKey, dwIndex, szName, &cch, NULL, NULL, NULL, NULL);
    dwError = GetLastError();
    if (status != ERROR_SUCCESS) break;
    size_t len = strlen(szNames);
    snprintf(szNames + len, sizeof szNames - len, "%s%s:%u", dwIndex ? "," : "", szName, (unsigned)cch);
  }
  ReportNumber("reg.enumkey.all", status, dwError, szNames);
  // "Old" and its terminating zero need four characters.
  char szSmall[3];
  DWORD cch = sizeof szSmall;
  SetLastError(kSentinel);
  status = RegEnumKeyExA(hKey, 1, szSmall, &cch, NULL, NULL, NULL, NULL);
  dwError = GetLastError();
  char szState[32];
  snprintf(szState, sizeof szState, "cch=%u", (unsigned)cch);
  ReportNumber("reg.enumkey.small", status, dwError, szState);
}

void QueryInfoCase(const char* pszId, HKEY hKey) {
  DWORD cSubKeys = 0, cchMaxSubKey = 0, cValues = 0, cchMaxValueName = 0, cbMaxValue = 0;
  SetLastError(kSentinel);
  LONG status = RegQueryInfoKeyA(hKey, NULL, NULL, NULL, &cSubKeys, &cchMaxSubKey, NULL, &cValues, &cchMaxValueName,
                                 &cbMaxValue, NULL, NULL);
  DWORD dwError = GetLastError();
  char szState[128];
  snprintf(szState, sizeof szState, "subkeys=%u maxsubkey=%u values=%u maxname=%u maxdata=%u", (unsigned)cSubKeys,
           (unsigned)cchMaxSubKey, (unsigned)cValues, (unsigned)cchMaxValueName, (unsigned)cbMaxValue);
  ReportNumber(pszId, status, dwError, szState);
}

void DeleteKeyCase(const char* pszId, HKEY hRoot, const char* pszSubKey) {
  SetLastError(kSentinel);
  LONG status = RegDeleteKeyA(hRoot, pszSubKey);
  DWORD dwError = GetLastError();
  HKEY hKey = NULL;
  LONG opened = RegOpenKeyExA(hRoot, pszSubKey, 0, KEY_READ, &hKey);
  if (hKey) RegCloseKey(hKey);
  ReportNumber(pszId, status, dwError, opened == ERROR_SUCCESS ? "key=present" : "key=gone");
}

void ShDeleteKeyCase(const char* pszId, HKEY hRoot, const char* pszSubKey) {
  SetLastError(kSentinel);
  DWORD status = SHDeleteKeyA(hRoot, pszSubKey);
  DWORD dwError = GetLastError();
  HKEY hKey = NULL;
  LONG opened = RegOpenKeyExA(hRoot, pszSubKey, 0, KEY_READ, &hKey);
  if (hKey) RegCloseKey(hKey);
  ReportNumber(pszId, (long)status, dwError, opened == ERROR_SUCCESS ? "key=present" : "key=gone");
}

void RegistryCases() {
  DispositionCase("reg.create.new", HKEY_LOCAL_MACHINE, kKey, 0);
  DispositionCase("reg.create.existing", HKEY_LOCAL_MACHINE, kKey, 0);
  DispositionCase("reg.create.nested", HKEY_LOCAL_MACHINE, "SOFTWARE\\ConformanceProbe\\A\\B\\C", 0);
  DispositionCase("reg.create.leading_backslash", HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ConformanceProbe\\Lead", 0);
  {
    HKEY hKey = NULL;
    SetLastError(kSentinel);
    LONG status = RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ConformanceProbe\\Old", &hKey);
    DWORD dwError = GetLastError();
    ReportNumber("reg.createkey.old_style", status, dwError, hKey ? "key=open" : "key=null");
    if (hKey) RegCloseKey(hKey);
  }
  OpenKeyCase("reg.open.existing", HKEY_LOCAL_MACHINE, kKey, KEY_READ);
  OpenKeyCase("reg.open.missing", HKEY_LOCAL_MACHINE, "SOFTWARE\\ConformanceProbe\\Missing", KEY_READ);
  OpenKeyCase("reg.open.empty_name", HKEY_LOCAL_MACHINE, "", KEY_READ);
  {
    HKEY hKey = NULL;
    SetLastError(kSentinel);
    LONG status = RegOpenKeyA(HKEY_LOCAL_MACHINE, kKey, &hKey);
    DWORD dwError = GetLastError();
    ReportNumber("reg.openkey.old_style", status, dwError, hKey ? "key=open" : "key=null");
    if (hKey) RegCloseKey(hKey);
    // The toolkit's registry paths may name a machine; none names this one.
    HKEY hRoot = NULL;
    SetLastError(kSentinel);
    status = RegConnectRegistryA(NULL, HKEY_LOCAL_MACHINE, &hRoot);
    dwError = GetLastError();
    ReportNumber("reg.connect.local", status, dwError, hRoot ? "key=open" : "key=null");
    if (hRoot) RegCloseKey(hRoot);
  }

  // The two views of HKLM\SOFTWARE, and HKCU\Software that both share.
  DispositionCase("reg.create.view64", HKEY_LOCAL_MACHINE, "SOFTWARE\\ConformanceProbe64", KEY_WOW64_64KEY);
  OpenKeyCase("reg.open.view64_from32", HKEY_LOCAL_MACHINE, "SOFTWARE\\ConformanceProbe64", KEY_READ | KEY_WOW64_32KEY);
  OpenKeyCase("reg.open.view64_from64", HKEY_LOCAL_MACHINE, "SOFTWARE\\ConformanceProbe64", KEY_READ | KEY_WOW64_64KEY);
  DispositionCase("reg.create.view32", HKEY_LOCAL_MACHINE, "SOFTWARE\\ConformanceProbe32", KEY_WOW64_32KEY);
  OpenKeyCase("reg.open.view32_from64", HKEY_LOCAL_MACHINE, "SOFTWARE\\ConformanceProbe32", KEY_READ | KEY_WOW64_64KEY);
  OpenKeyCase("reg.open.view32_from32", HKEY_LOCAL_MACHINE, "SOFTWARE\\ConformanceProbe32", KEY_READ | KEY_WOW64_32KEY);
  DispositionCase("reg.create.user_view32", HKEY_CURRENT_USER, "Software\\ConformanceProbe", KEY_WOW64_32KEY);
  OpenKeyCase("reg.open.user_view64", HKEY_CURRENT_USER, "Software\\ConformanceProbe", KEY_READ | KEY_WOW64_64KEY);

  HKEY hKey = NULL;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &hKey);
  const char szText[] = "hello";
  SetValueCase("reg.set.sz", hKey, "Text", REG_SZ, szText, sizeof szText);
  QueryValueCase("reg.query.sz", hKey, "Text", 64);
  QueryValueCase("reg.query.sz_small", hKey, "Text", 3);
  QueryValueCase("reg.query.sz_size_only", hKey, "Text", 0, TRUE);
  SetValueCase("reg.set.sz_unterminated", hKey, "Bare", REG_SZ, szText, 5);
  QueryValueCase("reg.query.sz_unterminated", hKey, "Bare", 64);
  DWORD dwValue = 0x12345678;
  SetValueCase("reg.set.dword", hKey, "Number", REG_DWORD, &dwValue, sizeof dwValue);
  QueryValueCase("reg.query.dword", hKey, "Number", 64);
  QueryValueCase("reg.query.dword_small", hKey, "Number", 2);
  SetValueCase("reg.set.dword_short", hKey, "Short", REG_DWORD, &dwValue, 2);
  const char szzMulti[] = "one\0two\0";
  SetValueCase("reg.set.multi_sz", hKey, "Multi", REG_MULTI_SZ, szzMulti, sizeof szzMulti);
  QueryValueCase("reg.query.multi_sz", hKey, "Multi", 64);
  SetValueCase("reg.set.default", hKey, NULL, REG_SZ, szText, sizeof szText);
  QueryValueCase("reg.query.default", hKey, "", 64);
  QueryValueCase("reg.query.missing", hKey, "Missing", 64);
  {
    HKEY hRead = NULL;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &hRead);
    SetValueCase("reg.set.read_only_handle", hRead, "Denied", REG_SZ, szText, sizeof szText);
    if (hRead) RegCloseKey(hRead);
  }
  SetLastError(kSentinel);
  LONG status = RegDeleteValueA(hKey, "Missing");
  ReportNumber("reg.deletevalue.missing", status, GetLastError(), "");
  SetLastError(kSentinel);
  status = RegDeleteValueA(hKey, "Short");
  DWORD dwError = GetLastError();
  ReportNumber(
      "reg.deletevalue.existing", status, dwError,
      RegQueryValueExA(hKey, "Short", NULL, NULL, NULL, NULL) == ERROR_SUCCESS ? "value=present" : "value=gone");
  EnumKeyCases(hKey);
  QueryInfoCase("reg.queryinfo", hKey);
  RegCloseKey(hKey);

  DeleteKeyCase("reg.deletekey.with_subkeys", HKEY_LOCAL_MACHINE, "SOFTWARE\\ConformanceProbe\\A");
  DeleteKeyCase("reg.deletekey.leaf", HKEY_LOCAL_MACHINE, "SOFTWARE\\ConformanceProbe\\A\\B\\C");
  DeleteKeyCase("reg.deletekey.missing", HKEY_LOCAL_MACHINE, "SOFTWARE\\ConformanceProbe\\A\\B\\C");
  ShDeleteKeyCase("shdeletekey.tree", HKEY_LOCAL_MACHINE, "SOFTWARE\\ConformanceProbe\\A");
  ShDeleteKeyCase("shdeletekey.missing", HKEY_LOCAL_MACHINE, "SOFTWARE\\ConformanceProbe\\A");
}

// ---------------------------------------------------------------- security

// SetEntriesInAclA with one entry for pszTrustee on the DACL of the probe's
// key, then SetSecurityInfo with the result, as the toolkit grants access.
void AclCase(const char* pszId, const char* pszTrustee, ACCESS_MODE mode) {
  HKEY hKey = NULL;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, READ_CONTROL | WRITE_DAC, &hKey);
  PACL pOldDacl = NULL;
  PSECURITY_DESCRIPTOR pSecurity = NULL;
  LONG status = hKey ? (LONG)GetSecurityInfo(hKey, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL, &pOldDacl,
                                             NULL, &pSecurity)
                     : ERROR_FILE_NOT_FOUND;
  EXPLICIT_ACCESS_A entry;
  memset(&entry, 0, sizeof entry);
  char szTrustee[64];
  lstrcpynA(szTrustee, pszTrustee, sizeof szTrustee);
  BuildExplicitAccessWithNameA(&entry, szTrustee, KEY_ALL_ACCESS, mode, CONTAINER_INHERIT_ACE);
  PACL pNewDacl = NULL;
  SetLastError(kSentinel);
  DWORD dwStatus = SetEntriesInAclA(1, &entry, pOldDacl, &pNewDacl);
  DWORD dwError = GetLastError();
  char szState[64];
  snprintf(szState, sizeof szState, "get=%ld acl=%s", (long)status, pNewDacl ? "non-null" : "null");
  char szId[64];
  snprintf(szId, sizeof szId, "%s.entries", pszId);
  ReportNumber(szId, (long)dwStatus, dwError, szState);
  if (pNewDacl) {
    SetLastError(kSentinel);
    dwStatus = SetSecurityInfo(hKey, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL, pNewDacl, NULL);
    dwError = GetLastError();
    snprintf(szId, sizeof szId, "%s.set", pszId);
    ReportNumber(szId, (long)dwStatus, dwError, "");
    LocalFree(pNewDacl);
  }
  if (pSecurity) LocalFree(pSecurity);
  if (hKey) RegCloseKey(hKey);
}

void SecurityCases() {
  AclCase("acl.everyone_grant", "Everyone", GRANT_ACCESS);
  AclCase("acl.unknown_trustee", "NoSuchTrustee_Probe", GRANT_ACCESS);
  AclCase("acl.administrators_set", "Administrators", SET_ACCESS);
  AclCase("acl.everyone_revoke", "Everyone", REVOKE_ACCESS);

  // Without WRITE_DAC the DACL stays; without READ_CONTROL it is not read.
  HKEY hKey = NULL;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &hKey);
  PACL pDacl = NULL;
  PSECURITY_DESCRIPTOR pSecurity = NULL;
  GetSecurityInfo(hKey, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL, &pDacl, NULL, &pSecurity);
  SetLastError(kSentinel);
  DWORD dwStatus = SetSecurityInfo(hKey, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL, pDacl, NULL);
  ReportNumber("acl.set.without_write_dac", (long)dwStatus, GetLastError(), pDacl ? "acl=non-null" : "acl=null");
  if (pSecurity) LocalFree(pSecurity);
  if (hKey) RegCloseKey(hKey);
  hKey = NULL;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &hKey);
  pDacl = NULL;
  pSecurity = NULL;
  SetLastError(kSentinel);
  dwStatus = GetSecurityInfo(hKey, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL, &pDacl, NULL, &pSecurity);
  ReportNumber("acl.get.without_read_control", (long)dwStatus, GetLastError(), pDacl ? "acl=non-null" : "acl=null");
  if (pSecurity) LocalFree(pSecurity);
  if (hKey) RegCloseKey(hKey);
}

// ---------------------------------------------------------------- spooler

// A list call asked for its size first: FALSE with 122 and a size.
template <typename Fill>
void SizeQueryCase(const char* pszId, Fill fill) {
  DWORD cbNeeded = 0, cReturned = 0;
  SetLastError(kSentinel);
  BOOL bOk = fill((BYTE*)NULL, 0, &cbNeeded, &cReturned);
  DWORD dwError = GetLastError();
  char szState[48];
  snprintf(szState, sizeof szState, "needed=%s returned=%u", cbNeeded ? "non-zero" : "0", (unsigned)cReturned);
  ReportBool(pszId, bOk, dwError, szState);
}

// Whether the full list holds an entry named pszName (the name at offset
// offName of each record of cbRecord bytes).
template <typename Fill>
void ListHasCase(const char* pszId, size_t cbRecord, size_t offName, const char* pszName, Fill fill) {
  DWORD cbNeeded = 0, cReturned = 0;
  fill((BYTE*)NULL, 0, &cbNeeded, &cReturned);
  static BYTE buffer[65536];
  SetLastError(kSentinel);
  BOOL bOk = cbNeeded <= sizeof buffer && fill(buffer, cbNeeded, &cbNeeded, &cReturned);
  DWORD dwError = GetLastError();
  BOOL bFound = FALSE;
  for (DWORD i = 0; bOk && i < cReturned; ++i) {
    const char* pszEntry = *(char**)(buffer + i * cbRecord + offName);
    if (pszEntry && lstrcmpiA(pszEntry, pszName) == 0) bFound = TRUE;
  }
  char szState[96];
  snprintf(szState, sizeof szState, "%s=%s", pszName, bFound ? "listed" : "absent");
  ReportBool(pszId, bOk, dwError, szState);
}

void DriverDirectoryCases(char* pszDirectory, size_t cch) {
  char szEnvironment[32];
  lstrcpynA(szEnvironment, kEnvironment, sizeof szEnvironment);
  DWORD cbNeeded = 0;
  SetLastError(kSentinel);
  BOOL bOk = GetPrinterDriverDirectoryA(NULL, szEnvironment, 1, (LPBYTE)pszDirectory, (DWORD)cch, &cbNeeded);
  DWORD dwError = GetLastError();
  char szState[MAX_PATH + 32];
  snprintf(szState, sizeof szState, "%s needed=%u", bOk ? pszDirectory : "", (unsigned)cbNeeded);
  Lower(szState);
  ReportBool("driverdir.x64", bOk, dwError, szState);
  char szSmall[8];
  SetLastError(kSentinel);
  bOk = GetPrinterDriverDirectoryA(NULL, szEnvironment, 1, (LPBYTE)szSmall, sizeof szSmall, &cbNeeded);
  dwError = GetLastError();
  snprintf(szState, sizeof szState, "needed=%u", (unsigned)cbNeeded);
  ReportBool("driverdir.small", bOk, dwError, szState);
  char szBad[] = "Windows 3.1";
  char szBuffer[MAX_PATH];
  SetLastError(kSentinel);
  bOk = GetPrinterDriverDirectoryA(NULL, szBad, 1, (LPBYTE)szBuffer, sizeof szBuffer, &cbNeeded);
  ReportBool("driverdir.bad_environment", bOk, GetLastError(), "");
  SetLastError(kSentinel);
  bOk = GetPrinterDriverDirectoryA(NULL, szEnvironment, 2, (LPBYTE)szBuffer, sizeof szBuffer, &cbNeeded);
  ReportBool("driverdir.level2", bOk, GetLastError(), "");
}

void AddDriverCase(const char* pszId, DWORD dwLevel, const char* pszEnvironment, const char* pszDriverFile,
                   const char* pszMonitor = NULL) {
  DRIVER_INFO_3A driver;
  memset(&driver, 0, sizeof driver);
  driver.cVersion = 3;
  driver.pName = (LPSTR)kDriver;
  driver.pEnvironment = (LPSTR)pszEnvironment;
  driver.pDriverPath = (LPSTR)pszDriverFile;
  driver.pDataFile = (LPSTR) "cprobe.ppd";
  driver.pConfigFile = (LPSTR) "cprobeui.dll";
  driver.pMonitorName = (LPSTR)pszMonitor;
  driver.pDefaultDataType = (LPSTR) "RAW";
  SetLastError(kSentinel);
  BOOL bOk = AddPrinterDriverA(NULL, dwLevel, (LPBYTE)&driver);
  ReportBool(pszId, bOk, GetLastError(), "");
}

HANDLE AddPrinterCase(const char* pszId, const char* pszName, const char* pszDriver, const char* pszPort,
                      const char* pszProcessor, DWORD dwLevel = 2) {
  PRINTER_INFO_2A info;
  memset(&info, 0, sizeof info);
  info.pPrinterName = (LPSTR)pszName;
  info.pPortName = (LPSTR)pszPort;
  info.pDriverName = (LPSTR)pszDriver;
  info.pPrintProcessor = (LPSTR)pszProcessor;
  info.pDatatype = (LPSTR) "RAW";
  info.Priority = 1;
  SetLastError(kSentinel);
  HANDLE hPrinter = AddPrinterA(NULL, dwLevel, (LPBYTE)&info);
  ReportHandle(pszId, hPrinter, GetLastError(), "");
  return hPrinter;
}

void OpenPrinterCase(const char* pszId, const char* pszName, DWORD dwAccess) {
  char szName[64];
  if (pszName) lstrcpynA(szName, pszName, sizeof szName);
  PRINTER_DEFAULTSA defaults;
  memset(&defaults, 0, sizeof defaults);
  defaults.DesiredAccess = dwAccess;
  HANDLE hPrinter = NULL;
  SetLastError(kSentinel);
  BOOL bOk = OpenPrinterA(pszName ? szName : NULL, &hPrinter, dwAccess ? &defaults : NULL);
  DWORD dwError = GetLastError();
  ReportBool(pszId, bOk, dwError, hPrinter ? "handle=non-null" : "handle=null");
  if (bOk) ClosePrinter(hPrinter);
}

void DeleteDriverCase(const char* pszId, const char* pszEnvironment, const char* pszName, DWORD dwFlags,
                      DWORD dwVersion = 0) {
  char szEnvironment[32], szName[64];
  lstrcpynA(szEnvironment, pszEnvironment, sizeof szEnvironment);
  lstrcpynA(szName, pszName, sizeof szName);
  SetLastError(kSentinel);
  BOOL bOk = DeletePrinterDriverExA(NULL, szEnvironment, szName, dwFlags, dwVersion);
  ReportBool(pszId, bOk, GetLastError(), "");
}

void AddMonitorCase(const char* pszId, DWORD dwLevel, const char* pszName, const char* pszEnvironment,
                    const char* pszModule) {
  MONITOR_INFO_2A monitor;
  memset(&monitor, 0, sizeof monitor);
  monitor.pName = (LPSTR)pszName;
  monitor.pEnvironment = (LPSTR)pszEnvironment;
  monitor.pDLLName = (LPSTR)pszModule;
  SetLastError(kSentinel);
  BOOL bOk = AddMonitorA(NULL, dwLevel, (LPBYTE)&monitor);
  ReportBool(pszId, bOk, GetLastError(), "");
}

void SpoolerCases() {
  char szDirectory[MAX_PATH];
  DriverDirectoryCases(szDirectory, sizeof szDirectory);
  const char* kFiles[] = {"cprobedrv.dll", "cprobe.ppd", "cprobeui.dll"};
  for (const char* pszFile : kFiles) {
    char szPath[2 * MAX_PATH];
    snprintf(szPath, sizeof szPath, "%s\\%s", szDirectory, pszFile);
    WriteText(szPath, "conformance probe driver file");
  }

  // The monitor module goes to the Windows folder, where the spooler looks.
  char szWindows[MAX_PATH], szModule[2 * MAX_PATH], szNotDll[2 * MAX_PATH];
  GetWindowsDirectoryA(szWindows, sizeof szWindows);
  snprintf(szModule, sizeof szModule, "%s\\%s", szWindows, kMonitorModule);
  snprintf(szNotDll, sizeof szNotDll, "%s\\cprobetxt.dll", szWindows);
  CopyFileA("C:\\cprobemon.dll", szModule, FALSE);
  WriteText(szNotDll, "not a module");
  char szEnvironment[32];
  lstrcpynA(szEnvironment, kEnvironment, sizeof szEnvironment);
  AddMonitorCase("addmonitor.new", 2, kMonitor, kEnvironment, kMonitorModule);
  AddMonitorCase("addmonitor.again", 2, kMonitor, kEnvironment, kMonitorModule);
  AddMonitorCase("addmonitor.missing_module", 2, "Conformance Probe Missing", kEnvironment, "cprobenone.dll");
  AddMonitorCase("addmonitor.not_a_module", 2, "Conformance Probe Text", kEnvironment, "cprobetxt.dll");
  AddMonitorCase("addmonitor.level1", 1, "Conformance Probe Level", kEnvironment, kMonitorModule);
  AddMonitorCase("addmonitor.bad_environment", 2, "Conformance Probe Env", "Windows 3.1", kMonitorModule);
  ListHasCase("enummonitors.has_probe", sizeof(MONITOR_INFO_2A), offsetof(MONITOR_INFO_2A, pName), kMonitor,
              [](BYTE* p, DWORD cb, DWORD* pcb, DWORD* pc) { return EnumMonitorsA(NULL, 2, p, cb, pcb, pc); });
  SizeQueryCase("enummonitors.size",
                [](BYTE* p, DWORD cb, DWORD* pcb, DWORD* pc) { return EnumMonitorsA(NULL, 2, p, cb, pcb, pc); });
  SizeQueryCase("enummonitors.level3",
                [](BYTE* p, DWORD cb, DWORD* pcb, DWORD* pc) { return EnumMonitorsA(NULL, 3, p, cb, pcb, pc); });

  AddDriverCase("adddriver.new", 3, kEnvironment, "cprobedrv.dll");
  AddDriverCase("adddriver.again", 3, kEnvironment, "cprobedrv.dll");
  AddDriverCase("adddriver.missing_file", 3, kEnvironment, "cprobenone.dll");
  AddDriverCase("adddriver.bad_environment", 3, "Windows 3.1", "cprobedrv.dll");
  AddDriverCase("adddriver.level7", 7, kEnvironment, "cprobedrv.dll");
  AddDriverCase("adddriver.unknown_monitor", 3, kEnvironment, "cprobedrv.dll", "No Such Monitor");
  ListHasCase("enumdrivers.has_probe", sizeof(DRIVER_INFO_2A), offsetof(DRIVER_INFO_2A, pName), kDriver,
              [&](BYTE* p, DWORD cb, DWORD* pcb, DWORD* pc) {
                return EnumPrinterDriversA(NULL, szEnvironment, 2, p, cb, pcb, pc);
              });
  SizeQueryCase("enumdrivers.size", [&](BYTE* p, DWORD cb, DWORD* pcb, DWORD* pc) {
    return EnumPrinterDriversA(NULL, szEnvironment, 2, p, cb, pcb, pc);
  });
  SizeQueryCase("enumdrivers.bad_environment", [](BYTE* p, DWORD cb, DWORD* pcb, DWORD* pc) {
    char szBad[] = "Windows 3.1";
    return EnumPrinterDriversA(NULL, szBad, 2, p, cb, pcb, pc);
  });

  HANDLE hPrinter = AddPrinterCase("addprinter.new", kPrinter, kDriver, "COM1:", "WinPrint");
  if (hPrinter) ClosePrinter(hPrinter);
  AddPrinterCase("addprinter.duplicate", kPrinter, kDriver, "COM1:", "WinPrint");
  AddPrinterCase("addprinter.unknown_driver", "Conformance Probe 2", "No Such Driver", "COM1:", "WinPrint");
  AddPrinterCase("addprinter.unknown_port", "Conformance Probe 3", kDriver, "NOSUCHPORT:", "WinPrint");
  AddPrinterCase("addprinter.unknown_processor", "Conformance Probe 4", kDriver, "COM1:", "NoSuchProcessor");
  AddPrinterCase("addprinter.level1", "Conformance Probe 5", kDriver, "COM1:", "WinPrint", 1);
  ListHasCase("enumprinters.has_probe", sizeof(PRINTER_INFO_2A), offsetof(PRINTER_INFO_2A, pPrinterName), kPrinter,
              [](BYTE* p, DWORD cb, DWORD* pcb, DWORD* pc) {
                return EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, p, cb, pcb, pc);
              });
  SizeQueryCase("enumprinters.size", [](BYTE* p, DWORD cb, DWORD* pcb, DWORD* pc) {
    return EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, p, cb, pcb, pc);
  });

  OpenPrinterCase("openprinter.null", NULL, 0);
  OpenPrinterCase("openprinter.empty", "", 0);
  OpenPrinterCase("openprinter.unknown", "No Such Printer", 0);
  OpenPrinterCase("openprinter.probe", kPrinter, 0);
  OpenPrinterCase("openprinter.probe_all_access", kPrinter, PRINTER_ALL_ACCESS);

  DeleteDriverCase("deletedriver.in_use", kEnvironment, kDriver, 0);
  {
    PRINTER_DEFAULTSA defaults;
    memset(&defaults, 0, sizeof defaults);
    defaults.DesiredAccess = PRINTER_ALL_ACCESS;
    HANDLE hDelete = NULL;
    char szName[64];
    lstrcpynA(szName, kPrinter, sizeof szName);
    OpenPrinterA(szName, &hDelete, &defaults);
    SetLastError(kSentinel);
    BOOL bOk = DeletePrinter(hDelete);
    DWORD dwError = GetLastError();
    if (hDelete) ClosePrinter(hDelete);
    HANDLE hAgain = NULL;
    BOOL bStill = OpenPrinterA(szName, &hAgain, NULL);
    if (bStill) ClosePrinter(hAgain);
    ReportBool("deleteprinter.all_access", bOk, dwError, bStill ? "printer=present" : "printer=gone");
  }
  DeleteDriverCase("deletedriver.bad_environment", "Windows 3.1", kDriver, 0);
  DeleteDriverCase("deletedriver.unknown", kEnvironment, "No Such Driver", 0);
  DeleteDriverCase("deletedriver.unused_files", kEnvironment, kDriver, DPD_DELETE_UNUSED_FILES);
  DeleteDriverCase("deletedriver.gone", kEnvironment, kDriver, 0);
  char szVersion3[2 * MAX_PATH];
  snprintf(szVersion3, sizeof szVersion3, "%s\\3\\cprobedrv.dll", szDirectory);
  {
    char szState[64];
    PresenceState(szVersion3, szState, sizeof szState);
    Report("deletedriver.files_left", "-", kSentinel, szState);
  }
  // The driver once more, taken away as the uninstaller does: every file,
  // version 3 (which counts only with DPD_DELETE_SPECIFIC_VERSION).
  AddDriverCase("adddriver.after_delete", 3, kEnvironment, "cprobedrv.dll");
  DeleteDriverCase("deletedriver.specific_version2", kEnvironment, kDriver, DPD_DELETE_SPECIFIC_VERSION, 2);
  DeleteDriverCase("deletedriver.all_files", kEnvironment, kDriver, DPD_DELETE_ALL_FILES, 3);
  {
    char szState[64];
    PresenceState(szVersion3, szState, sizeof szState);
    Report("deletedriver.all_files_left", "-", kSentinel, szState);
  }

  SetLastError(kSentinel);
  BOOL bOk = DeleteMonitorA(NULL, szEnvironment, (LPSTR)kMonitor);
  ReportBool("deletemonitor.probe", bOk, GetLastError(), "");
  SetLastError(kSentinel);
  bOk = DeleteMonitorA(NULL, szEnvironment, (LPSTR)kMonitor);
  ReportBool("deletemonitor.gone", bOk, GetLastError(), "");

  for (const char* pszFile : kFiles) {
    char szPath[2 * MAX_PATH];
    snprintf(szPath, sizeof szPath, "%s\\%s", szDirectory, pszFile);
    DeleteFileA(szPath);
  }
  DeleteFileA(szModule);
  DeleteFileA(szNotDll);
}

// ---------------------------------------------------------------- set-up

void CopyOemInfCase(const char* pszId, const char* pszSource, DWORD dwStyle, char* pszOemName = NULL) {
  char szName[MAX_PATH] = "";
  DWORD cbRequired = 0;
  SetLastError(kSentinel);
  BOOL bOk = SetupCopyOEMInfA(pszSource, NULL, SPOST_PATH, dwStyle, szName, sizeof szName, &cbRequired, NULL);
  DWORD dwError = GetLastError();
  char szState[MAX_PATH + 48];
  BOOL bRequiredFits = szName[0] && cbRequired == strlen(szName) + 1;
  // What a failed call leaves in the buffer is not defined.
  snprintf(szState, sizeof szState, "name=%s required=%s", bOk || dwError == ERROR_FILE_EXISTS ? szName : "",
           bRequiredFits ? "length+1"
           : cbRequired  ? "other"
                         : "0");
  HideOemNumber(szState);
  ReportBool(pszId, bOk, dwError, szState);
  if (pszOemName && bOk) lstrcpynA(pszOemName, szName, MAX_PATH);
}

void UninstallOemInfCase(const char* pszId, const char* pszName, DWORD dwFlags) {
  SetLastError(kSentinel);
  BOOL bOk = SetupUninstallOEMInfA(pszName, dwFlags, NULL);
  ReportBool(pszId, bOk, GetLastError(), "");
}

// The devices of the USB enumerator with the probe's hardware id.
void ClassDevicesCase(const char* pszId, const char* pszEnumerator, DWORD dwFlags, BOOL bRemove) {
  SetLastError(kSentinel);
  HDEVINFO hDevInfo = SetupDiGetClassDevsA(NULL, pszEnumerator, NULL, dwFlags);
  DWORD dwError = GetLastError();
  char szState[96] = "";
  if (hDevInfo != INVALID_HANDLE_VALUE) {
    int nProbe = 0, nRemoved = 0;
    DWORD dwEndError = 0;
    SP_DEVINFO_DATA devInfo;
    for (DWORD i = 0;; ++i) {
      devInfo.cbSize = sizeof devInfo;
      if (!SetupDiEnumDeviceInfo(hDevInfo, i, &devInfo)) {
        dwEndError = GetLastError();
        break;
      }
      BYTE property[256];
      memset(property, 0, sizeof property);
      DWORD dwType = 0;
      if (!SetupDiGetDeviceRegistryPropertyA(hDevInfo, &devInfo, SPDRP_HARDWAREID, &dwType, property,
                                             sizeof property - 2, NULL))
        continue;
      if (lstrcmpiA((const char*)property, kHardwareId) != 0) continue;
      ++nProbe;
      if (bRemove && SetupDiRemoveDevice(hDevInfo, &devInfo)) ++nRemoved;
    }
    snprintf(szState, sizeof szState, "probe_devices=%d removed=%d end=%u", nProbe, nRemoved, (unsigned)dwEndError);
    SetupDiDestroyDeviceInfoList(hDevInfo);
  }
  ReportHandle(pszId, hDevInfo, dwError, szState);
}

// A device node of the probe's own under the USB enumerator.
void RegisterDeviceCases() {
  GUID classGuid = {0x4d36e979, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
  SetLastError(kSentinel);
  HDEVINFO hDevInfo = SetupDiCreateDeviceInfoList(&classGuid, NULL);
  ReportHandle("device.createlist", hDevInfo, GetLastError(), "");
  if (hDevInfo == INVALID_HANDLE_VALUE) return;
  SP_DEVINFO_DATA devInfo;
  memset(&devInfo, 0, sizeof devInfo);
  devInfo.cbSize = sizeof devInfo;
  SetLastError(kSentinel);
  BOOL bOk = SetupDiCreateDeviceInfoA(hDevInfo, kDeviceId, &classGuid, NULL, NULL, 0, &devInfo);
  ReportBool("device.create", bOk, GetLastError(), "");
  SP_DEVINFO_DATA duplicate;
  memset(&duplicate, 0, sizeof duplicate);
  duplicate.cbSize = sizeof duplicate;
  SetLastError(kSentinel);
  BOOL bDuplicate = SetupDiCreateDeviceInfoA(hDevInfo, kDeviceId, &classGuid, NULL, NULL, 0, &duplicate);
  ReportBool("device.create.duplicate", bDuplicate, GetLastError(), "");
  SP_DEVINFO_DATA badSize;
  memset(&badSize, 0, sizeof badSize);
  badSize.cbSize = 1;
  SetLastError(kSentinel);
  BOOL bBad =
      SetupDiCreateDeviceInfoA(hDevInfo, "USB\\VID_0B0B&PID_7202\\CPROBE2", &classGuid, NULL, NULL, 0, &badSize);
  ReportBool("device.create.bad_size", bBad, GetLastError(), "");
  // A hardware id list: the id and the list's own end.
  char szzIds[64];
  memset(szzIds, 0, sizeof szzIds);
  lstrcpynA(szzIds, kHardwareId, sizeof szzIds - 1);
  DWORD cbIds = (DWORD)strlen(kHardwareId) + 2;
  SetLastError(kSentinel);
  bOk = SetupDiSetDeviceRegistryPropertyA(hDevInfo, &devInfo, SPDRP_HARDWAREID, (const BYTE*)szzIds, cbIds);
  ReportBool("device.set_hardware_id", bOk, GetLastError(), "");
  SetLastError(kSentinel);
  bOk = SetupDiRegisterDeviceInfo(hDevInfo, &devInfo, 0, NULL, NULL, NULL);
  ReportBool("device.register", bOk, GetLastError(), "");

  BYTE property[8];
  DWORD dwType = 0, cbRequired = 0;
  SetLastError(kSentinel);
  bOk = SetupDiGetDeviceRegistryPropertyA(hDevInfo, &devInfo, SPDRP_HARDWAREID, &dwType, property, sizeof property,
                                          &cbRequired);
  char szState[48];
  snprintf(szState, sizeof szState, "type=%u required=%u", (unsigned)dwType, (unsigned)cbRequired);
  ReportBool("device.get_hardware_id.small", bOk, GetLastError(), szState);
  SetLastError(kSentinel);
  bOk = SetupDiGetDeviceRegistryPropertyA(hDevInfo, &devInfo, SPDRP_SERVICE, &dwType, property, sizeof property,
                                          &cbRequired);
  ReportBool("device.get_service.unset", bOk, GetLastError(), "");
  SetupDiDestroyDeviceInfoList(hDevInfo);
}

void SetupCases() {
  char szInf[MAX_PATH], szPlain[MAX_PATH], szOemName[MAX_PATH] = "";
  PathOf(szInf, sizeof szInf, "cprobe.inf");
  PathOf(szPlain, sizeof szPlain, "cprobeplain.inf");
  WriteText(szInf, kDriverInf);
  WriteText(szPlain, kPlainInf);
  CopyOemInfCase("setupcopyoeminf.full_path", szInf, 0, szOemName);
  CopyOemInfCase("setupcopyoeminf.again", szInf, 0);
  CopyOemInfCase("setupcopyoeminf.no_overwrite", szInf, SP_COPY_NOOVERWRITE);
  CopyOemInfCase("setupcopyoeminf.missing", "C:\\ConformanceProbe\\none.inf", 0);
  CopyOemInfCase("setupcopyoeminf.empty", "", 0);
  CopyOemInfCase("setupcopyoeminf.not_driver", szPlain, 0);
  SetCurrentDirectoryA(kDir);
  CopyOemInfCase("setupcopyoeminf.relative", "cprobe.inf", 0);
  SetCurrentDirectoryA("C:\\");

  const char* pszOemFile = strrchr(szOemName, '\\');
  pszOemFile = pszOemFile ? pszOemFile + 1 : "oem999.inf";
  UninstallOemInfCase("setupuninstalloeminf.copied", pszOemFile, 0);
  UninstallOemInfCase("setupuninstalloeminf.again", pszOemFile, 0);
  UninstallOemInfCase("setupuninstalloeminf.not_oem", "cprobe.inf", SUOI_FORCEDELETE);
  UninstallOemInfCase("setupuninstalloeminf.full_path", szOemName[0] ? szOemName : szInf, SUOI_FORCEDELETE);

  ClassDevicesCase("classdevs.usb.before", "USB", DIGCF_ALLCLASSES, FALSE);
  RegisterDeviceCases();
  ClassDevicesCase("classdevs.usb.after", "USB", DIGCF_ALLCLASSES, FALSE);
  ClassDevicesCase("classdevs.usb.present", "USB", DIGCF_ALLCLASSES | DIGCF_PRESENT, FALSE);
  ClassDevicesCase("classdevs.usb.remove", "USB", DIGCF_ALLCLASSES, TRUE);
  ClassDevicesCase("classdevs.usb.removed", "USB", DIGCF_ALLCLASSES, FALSE);
  ClassDevicesCase("classdevs.unknown_enumerator", "NOSUCHBUS", DIGCF_ALLCLASSES, FALSE);
  ClassDevicesCase("classdevs.no_class", NULL, 0, FALSE);
  {
    HDEVINFO hDevInfo = SetupDiGetClassDevsA(NULL, "USB", NULL, DIGCF_ALLCLASSES);
    SP_DEVINFO_DATA devInfo;
    devInfo.cbSize = 4;
    SetLastError(kSentinel);
    BOOL bOk = SetupDiEnumDeviceInfo(hDevInfo, 0, &devInfo);
    ReportBool("enumdeviceinfo.bad_size", bOk, GetLastError(), "");
    devInfo.cbSize = sizeof devInfo;
    SetLastError(kSentinel);
    bOk = SetupDiEnumDeviceInfo(hDevInfo, 100000, &devInfo);
    ReportBool("enumdeviceinfo.past_end", bOk, GetLastError(), "");
    SetupDiDestroyDeviceInfoList(hDevInfo);
  }
  SetLastError(kSentinel);
  BOOL bOk = SetupDiDestroyDeviceInfoList(INVALID_HANDLE_VALUE);
  ReportBool("destroydeviceinfolist.invalid", bOk, GetLastError(), "");
  DeleteFileA(szInf);
  DeleteFileA(szPlain);
}

void VersionCases() {
  OSVERSIONINFOA version;
  memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  SetLastError(kSentinel);
  BOOL bOk = GetVersionExA(&version);
  DWORD dwError = GetLastError();
  char szState[48];
  snprintf(szState, sizeof szState, "%u.%u platform=%u", (unsigned)version.dwMajorVersion,
           (unsigned)version.dwMinorVersion, (unsigned)version.dwPlatformId);
  ReportBool("version.get", bOk, dwError, szState);
  version.dwOSVersionInfoSize = 20;
  SetLastError(kSentinel);
  bOk = GetVersionExA(&version);
  ReportBool("version.bad_size", bOk, GetLastError(), "");
}

// Whatever a failed case left behind.
void CleanUp() {
  SHDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
  HKEY hSoftware = NULL;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &hSoftware) == ERROR_SUCCESS) {
    SHDeleteKeyA(hSoftware, "ConformanceProbe64");
    SHDeleteKeyA(hSoftware, "ConformanceProbe32");
    RegCloseKey(hSoftware);
  }
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &hSoftware) == ERROR_SUCCESS) {
    SHDeleteKeyA(hSoftware, "ConformanceProbe64");
    SHDeleteKeyA(hSoftware, "ConformanceProbe32");
    RegCloseKey(hSoftware);
  }
  SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\ConformanceProbe");
  // Printers a spooler may have added although it should have refused them.
  const char* kPrinters[] = {kPrinter, "Conformance Probe 2", "Conformance Probe 3", "Conformance Probe 4",
                             "Conformance Probe 5"};
  for (const char* pszPrinter : kPrinters) {
    char szName[64];
    lstrcpynA(szName, pszPrinter, sizeof szName);
    PRINTER_DEFAULTSA defaults;
    memset(&defaults, 0, sizeof defaults);
    defaults.DesiredAccess = PRINTER_ALL_ACCESS;
    HANDLE hPrinter = NULL;
    if (!OpenPrinterA(szName, &hPrinter, &defaults)) continue;
    DeletePrinter(hPrinter);
    ClosePrinter(hPrinter);
  }
  char szEnvironment[32], szDriver[64];
  lstrcpynA(szEnvironment, kEnvironment, sizeof szEnvironment);
  lstrcpynA(szDriver, kDriver, sizeof szDriver);
  DeletePrinterDriverExA(NULL, szEnvironment, szDriver, 0, 0);
  const char* kNames[] = {"a.txt", "b.txt", "c.txt",  "d.txt",  "e.txt",      "f.txt",
                          "g.txt", "r.txt", "m1.txt", "m2.txt", "sub2\\x.txt"};
  for (const char* pszName : kNames) {
    char szPath[MAX_PATH];
    PathOf(szPath, sizeof szPath, pszName);
    SetFileAttributesA(szPath, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(szPath);
  }
  const char* kFolders[] = {"sub2", "sub"};
  for (const char* pszName : kFolders) {
    char szPath[MAX_PATH];
    PathOf(szPath, sizeof szPath, pszName);
    SetFileAttributesA(szPath, FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(szPath);
  }
  RemoveDirectoryA(kDir);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  SetCurrentDirectoryA("C:\\");
  FileCases();
  RegistryCases();
  SecurityCases();
  SpoolerCases();
  SetupCases();
  VersionCases();
  CleanUp();
  fflush(stdout);
  fprintf(stderr, "%d cases\n", g_nCases);
  return 0;
}
