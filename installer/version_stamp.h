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

class VersionStamp {
 public:
  virtual ~VersionStamp() {}

  // Stores the version under the stamp key of the printer named after the
  // driver, creating the key (also when no printer of that name exists
  // yet). FALSE when the key can be neither created nor opened.
  BOOL Write(PackageVersion version);
};
