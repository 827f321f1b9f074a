// The one driver package the installer carries: the driver's file names for
// 32-bit and 64-bit Windows, the driver and language monitor records handed
// to the spooler, and the printer's plug-and-play identity.
#pragma once

#include <afxwin.h>

enum {
  kFileTableSize = 25,       // names copied into and deleted from the driver directory
  kDependentFileCount = 22,  // of those, the ones declared to the spooler
  kDescriptionFieldSize = 32,
};

// A driver description record: five fixed text fields, zero-filled behind
// the text.
struct DriverDescription {
  char szName[kDescriptionFieldSize];
  char szDriverPath[kDescriptionFieldSize];
  char szDataFile[kDescriptionFieldSize];
  char szConfigFile[kDescriptionFieldSize];
  char szHelpFile[kDescriptionFieldSize];
};

// The language monitor: its name and its module for each architecture.
struct MonitorDescription {
  char szName[kDescriptionFieldSize];
  char szDllX86[kDescriptionFieldSize];
  char szDllX64[kDescriptionFieldSize];
};

// File tables, built at program start: resource modules of twenty
// languages, the two printer data files, three more language modules.
extern CString g_filesX86[kFileTableSize];
extern CString g_filesX64[kFileTableSize];

// Entries 0 to 21 of the file tables as multi-strings (each name
// zero-terminated, one more zero at the end): the driver's dependent files.
extern const char g_dependentFilesX86[];
extern const char g_dependentFilesX64[];
extern const size_t g_dependentFilesX86Size;  // bytes, both zeros at the end included
extern const size_t g_dependentFilesX64Size;

extern const DriverDescription g_driverX86;
extern const DriverDescription g_driverX64;
extern const MonitorDescription g_monitorInfo;

// Plug-and-play identity and leftovers of earlier installations.
extern const char g_szHardwareId[];   // USB device nodes of the printer
extern const char g_szLeftoverDir[];  // folder inside the printer driver directory
extern const char g_szInfFile[];      // the package's INF, in the package sub-directory
extern const char g_szStaleInf[];     // below the Windows directory
extern const char g_szStalePnf[];

// Everything that differs between the two architectures, in one place.
struct PackageFileSet {
  const char* pszEnvironment;  // spooler environment
  const char* pszSubDir;       // package sub-directory, with its backslash
  const DriverDescription* pDriver;
  const char* pszMonitorDll;
  BOOL bMonitorInWindowsDir;  // else the system directory
  CString* pFiles;            // kFileTableSize names
  const char* pszDependentFiles;
  // String table entries of the names that file copies and deletions use.
  UINT nConfigModuleId;
  UINT nDriverModuleId;
  UINT nMonitorModuleId;
};

extern const PackageFileSet g_setX86;
extern const PackageFileSet g_setX64;

// TRUE exactly for the 64-bit set: WindowsKind 2010, which is what every
// 64-bit Windows classifies as.
BOOL UsesX64Set(int nWindowsKind);
const PackageFileSet& FileSetFor(int nWindowsKind);
