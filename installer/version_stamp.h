// The version stamp: the package version kept beside the printer's own
// registry key, which a later run of the installer compares with its own.
#pragma once

#include <afxwin.h>

// The four parts of a driver package version, e.g. 4.6.64.0.
struct PackageVersion {
  DWORD major;
  DWORD minor;
  DWORD build;
  DWORD extra;
};

// The version of the package this installer carries.
const PackageVersion kPackageVersion = {4, 6, 64, 0};

// What CompareInstalled found.
enum {
  kStampOlder = 0,    // older than the package, or not to be determined
  kStampNewer = 1,    // newer than the package
  kNotInstalled = 2,  // neither a printer of the driver nor the driver
  kStampSame = 3,     // the package's own version
};

class VersionStamp {
 public:
  virtual ~VersionStamp() {}

  // Compares the stamp of the installed driver with the version. The stamp
  // is read only when a local printer uses the driver (its name compared
  // exactly); with no such printer an installed driver counts as older.
  // lpszEnvironment is the environment the package installs the driver
  // for: a 32-bit program on 64-bit Windows would otherwise look only at
  // its own, "Windows NT x86", and never find the 64-bit driver.
  int CompareInstalled(CString strDriverName, PackageVersion version, LPCSTR lpszEnvironment);

  // Stores the version under the stamp key of the printer named after the
  // driver, creating the key (also when no printer of that name exists
  // yet). FALSE when the key can be neither created nor opened.
  BOOL Write(PackageVersion version);
};
