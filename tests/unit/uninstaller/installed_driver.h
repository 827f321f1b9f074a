// What an installation of the driver leaves on a simulated machine, seeded
// directly: the driver with the package's file names in the environment of
// the machine, printers that use it, the OEM INF copy named under the
// uninstall key, the vendor key, the language monitor's key, the USB print
// enumeration key, a USB device node of the printer, the folder the driver
// leaves in the driver directory, and the uninstaller's own program file.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>
#include <setupapi.h>

#include <string>
#include <vector>

#include "core/registry_tree.h"
#include "setupapi/device_store.h"
#include "sim_files.h"
#include "spooler_fixture.h"
#include "windows_kind.h"

namespace installed_driver {

using spooler_fixture::kDriver;
// Keys under HKEY_LOCAL_MACHINE as the 32-bit program names them; on 64-bit
// Windows the SOFTWARE ones lie in its WOW64 view.
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VELKORA_KVL-M720";
const char kUsbPrintKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\VELKORA_KVL-M720";
const char kVendorKey[] = "SOFTWARE\\VELKORA_LABEL_PRINTER";
const char kMonitorKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Advanced Language Monitor";
const char kNode[] = "USB\\VID_7A3C&PID_0008\\5&1";
const char kOtherNode[] = "USB\\VID_046D&PID_C52B\\6&1";

// Whether the key under HKEY_LOCAL_MACHINE exists for the program.
inline bool KeyExists(const std::string& subkey) {
  HKEY hKey = NULL;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS) return false;
  RegCloseKey(hKey);
  return true;
}

// Creates the key as the program would and sets the text as a value; a
// null name sets nothing.
inline bool SetProgramValue(const char* subkey, const char* name, const std::string& text) {
  HKEY hKey = NULL;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hKey, NULL) != ERROR_SUCCESS)
    return false;
  LONG result = ERROR_SUCCESS;
  if (name) result = RegSetValueExA(hKey, name, 0, REG_SZ, (const BYTE*)text.c_str(), (DWORD)text.size() + 1);
  RegCloseKey(hKey);
  return result == ERROR_SUCCESS;
}

inline bool NodeExists(const char* instance) {
  return winsim::Registry::Get().Find(std::string(winsim::devices::kEnumKey) + "\\" + instance) != nullptr;
}

inline std::string WindowsDir() {
  char dir[MAX_PATH] = "";
  GetWindowsDirectoryA(dir, sizeof dir);
  return dir;
}

// The driver as the package has it for the environment.
inline spooler_fixture::TestDriver PackageDriver(bool x64) {
  spooler_fixture::TestDriver d;
  d.name = kDriver;
  d.environment = x64 ? "Windows x64" : "Windows NT x86";
  d.driverPath = x64 ? "QVRdrv56.dll" : "QVRdrv50.dll";
  d.configFile = x64 ? "QVRui56.dll" : "QVRui50.dll";
  d.dataFile = "NDRM7202.dat";
  d.helpFile = "PRNGUIDE.chm";
  d.dependentFiles = {"NDRM7202.BA0", "NDRM7202.PP0"};
  return d;
}

struct Installation {
  bool x64 = false;
  std::string environment;
  std::string driverDir;  // the spooler's driver directory of that environment
  std::string oemInf;     // full path of the INF copy
  std::string folder;     // the folder the driver leaves in the driver directory
  std::string program;    // the uninstaller's program file
};

// Seeds an installation with the printers given, in this order.
inline ::testing::AssertionResult Seed(const std::vector<std::string>& printers, Installation* out) {
  spooler_fixture::RemoveShippedPrinting();
  out->x64 = IsWow64() != 0;
  spooler_fixture::TestDriver driver = PackageDriver(out->x64);
  out->environment = driver.environment;
  if (!driver.StageAndAdd()) return ::testing::AssertionFailure() << "driver " << GetLastError();
  out->driverDir = spooler_fixture::DriverDirectory(driver.environment.c_str());
  for (const auto& p : printers)
    if (!spooler_fixture::AddPrinterAndClose(p.c_str(), kDriver))
      return ::testing::AssertionFailure() << "printer " << p << ": " << GetLastError();

  if (!Exists("C:\\pkg")) MakeDir("C:\\pkg");
  if (!MakeFile("C:\\pkg\\velkora.inf", "[Version]\r\nClass=Printer\r\n\r\n[Manufacturer]\r\nVELKORA=VELKORA\r\n"))
    return ::testing::AssertionFailure() << "velkora.inf";
  char oem[MAX_PATH] = "";
  if (!SetupCopyOEMInfA("C:\\pkg\\velkora.inf", NULL, SPOST_PATH, 0, oem, sizeof oem, NULL, NULL))
    return ::testing::AssertionFailure() << "SetupCopyOEMInfA " << GetLastError();
  out->oemInf = oem;

  if (!SetProgramValue(kUninstallKey, "OemFileName", out->oemInf) ||
      !SetProgramValue(kUninstallKey, "DisplayName", "VELKORA KVL-M720  Windows Driver V4.6.64") ||
      !SetProgramValue(kVendorKey, NULL, "") ||
      !SetProgramValue(kMonitorKey, "Driver", out->x64 ? "qpaNLM64.dll" : "qpaNLMNT.dll"))
    return ::testing::AssertionFailure() << "keys";
  // Below Enum only the system writes.
  winsim::Registry::Get().Create(std::string("HKLM\\") + kUsbPrintKey + "\\1&2");
  if (!winsim::devices::AddNode(kNode, {"USB\\Vid_7A3C&Pid_0008&Rev_0100"}, false) ||
      !winsim::devices::AddNode(kOtherNode, {"USB\\Vid_046D&Pid_C52B"}, true))
    return ::testing::AssertionFailure() << "device nodes";

  out->folder = out->driverDir + "\\velkora_kvl_m7207188";
  if (!MakeDir(out->folder.c_str()) || !MakeDir((out->folder + "\\sub").c_str()) ||
      !MakeFile((out->folder + "\\sub\\kept.bin").c_str(), "x", FILE_ATTRIBUTE_READONLY))
    return ::testing::AssertionFailure() << "folder " << out->folder;

  std::string productDir = WindowsDir() + "\\KVL-M720";
  out->program = productDir + "\\KVLM720_Uninstaller.exe";
  if (!MakeDir(productDir.c_str()) || !MakeFile(out->program.c_str(), "winsim-program: KVLM720_Uninstaller\r\n"))
    return ::testing::AssertionFailure() << "program";
  return ::testing::AssertionSuccess();
}

// Whether the spooler lists the driver in the environment.
inline bool DriverInstalled(const std::string& environment) {
  std::vector<BYTE> buffer(65536);
  DWORD needed = 0, count = 0;
  if (!EnumPrinterDriversA(nullptr, (LPSTR)environment.c_str(), 1, buffer.data(), (DWORD)buffer.size(), &needed,
                           &count))
    return false;
  const DRIVER_INFO_1A* drivers = (const DRIVER_INFO_1A*)buffer.data();
  for (DWORD i = 0; i < count; ++i)
    if (std::string(drivers[i].pName) == kDriver) return true;
  return false;
}

// The names of the local printers, in the spooler's order.
inline std::vector<std::string> PrinterNames() {
  std::vector<BYTE> storage;
  std::vector<std::string> names;
  for (const auto& p : spooler_fixture::EnumLocalPrinters(&storage)) names.push_back(p.pPrinterName);
  return names;
}

}  // namespace installed_driver
