#include "package_description.h"

#include "resource.h"
#include "windows_kind.h"

CString g_filesX86[kFileTableSize] = {
    "QVRENG50.DLL", "QVRSLO50.DLL", "QVRCRO50.DLL", "QVRGER50.DLL", "QVRFRA50.DLL", "QVRSPA50.DLL", "QVRITA50.DLL",
    "QVRFIN50.DLL", "QVRDUT50.DLL", "QVRPOR50.DLL", "QVRPOL50.DLL", "QVRHUN50.DLL", "QVRRUS50.DLL", "QVRTUR50.DLL",
    "QVRSWE50.DLL", "QVRCHI50.DLL", "QVRSCH50.DLL", "QVRTAI50.DLL", "QVRKOR50.DLL", "QVRJAP50.DLL", "NDRM7202.BA0",
    "NDRM7202.PP0", "QVRCZE50.DLL", "QVRLIT50.DLL", "QVRUKR50.DLL",
};

CString g_filesX64[kFileTableSize] = {
    "QVRENG56.DLL", "QVRSLO56.DLL", "QVRCRO56.DLL", "QVRGER56.DLL", "QVRFRA56.DLL", "QVRSPA56.DLL", "QVRITA56.DLL",
    "QVRFIN56.DLL", "QVRDUT56.DLL", "QVRPOR56.DLL", "QVRPOL56.DLL", "QVRHUN56.DLL", "QVRRUS56.DLL", "QVRTUR56.DLL",
    "QVRSWE56.DLL", "QVRCHI56.DLL", "QVRSCH56.DLL", "QVRTAI56.DLL", "QVRKOR56.DLL", "QVRJAP56.DLL", "NDRM7202.BA0",
    "NDRM7202.PP0", "QVRCZE56.DLL", "QVRLIT56.DLL", "QVRUKR56.DLL",
};

// The literal's own terminating zero ends the list.
const char g_dependentFilesX86[] =
    "QVRENG50.DLL\0QVRSLO50.DLL\0QVRCRO50.DLL\0QVRGER50.DLL\0QVRFRA50.DLL\0"
    "QVRSPA50.DLL\0QVRITA50.DLL\0QVRFIN50.DLL\0QVRDUT50.DLL\0QVRPOR50.DLL\0"
    "QVRPOL50.DLL\0QVRHUN50.DLL\0QVRRUS50.DLL\0QVRTUR50.DLL\0QVRSWE50.DLL\0"
    "QVRCHI50.DLL\0QVRSCH50.DLL\0QVRTAI50.DLL\0QVRKOR50.DLL\0QVRJAP50.DLL\0"
    "NDRM7202.BA0\0NDRM7202.PP0\0";

const char g_dependentFilesX64[] =
    "QVRENG56.DLL\0QVRSLO56.DLL\0QVRCRO56.DLL\0QVRGER56.DLL\0QVRFRA56.DLL\0"
    "QVRSPA56.DLL\0QVRITA56.DLL\0QVRFIN56.DLL\0QVRDUT56.DLL\0QVRPOR56.DLL\0"
    "QVRPOL56.DLL\0QVRHUN56.DLL\0QVRRUS56.DLL\0QVRTUR56.DLL\0QVRSWE56.DLL\0"
    "QVRCHI56.DLL\0QVRSCH56.DLL\0QVRTAI56.DLL\0QVRKOR56.DLL\0QVRJAP56.DLL\0"
    "NDRM7202.BA0\0NDRM7202.PP0\0";

const size_t g_dependentFilesX86Size = sizeof g_dependentFilesX86;
const size_t g_dependentFilesX64Size = sizeof g_dependentFilesX64;

const DriverDescription g_driverX86 = {
    "VELKORA KVL-M720", "QVRdrv50.dll", "NDRM7202.dat", "QVRui50.dll", "PRNGUIDE.CHM",
};

const DriverDescription g_driverX64 = {
    "VELKORA KVL-M720", "QVRdrv56.dll", "NDRM7202.dat", "QVRui56.dll", "PRNGUIDE.CHM",
};

const MonitorDescription g_monitorInfo = {
    "Advanced Language Monitor",
    "qpaNLMNT.dll",
    "qpaNLM64.dll",
};

const char g_szHardwareId[] = "USB\\Vid_7A3C&Pid_0008";
const char g_szLeftoverDir[] = "velkora_kvl_m7207188";
const char g_szInfFile[] = "velkora.inf";
const char g_szStaleInf[] = "\\INF\\dravonixvelkora.inf";
const char g_szStalePnf[] = "\\INF\\dravonixvelkora.pnf";

const PackageFileSet g_setX86 = {
    "Windows NT x86", "driver2k\\",        &g_driverX86,          g_monitorInfo.szDllX86, FALSE,
    g_filesX86,       g_dependentFilesX86, IDS_CONFIG_MODULE_X86, IDS_DRIVER_MODULE_X86,  IDS_MONITOR_MODULE_X86,
};

const PackageFileSet g_setX64 = {
    "Windows x64", "driver64\\",        &g_driverX64,          g_monitorInfo.szDllX64, TRUE,
    g_filesX64,    g_dependentFilesX64, IDS_CONFIG_MODULE_X64, IDS_DRIVER_MODULE_X64,  IDS_MONITOR_MODULE_X64,
};

BOOL UsesX64Set(int nWindowsKind) { return nWindowsKind == kWindows64; }

const PackageFileSet& FileSetFor(int nWindowsKind) { return UsesX64Set(nWindowsKind) ? g_setX64 : g_setX86; }
