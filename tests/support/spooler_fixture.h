// Seeds exactly the spooler state a test needs: driver files staged in the
// driver directory, monitors, drivers and printers.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/filesystem.h"
#include "core/registry_tree.h"

namespace spooler_fixture {

// The printer driver the package installs, and one of Windows' own beside it.
const char kDriver[] = "VELKORA KVL-M720";
const char kOtherDriver[] = "Generic / Text Only";
// Where the spooler keeps its printers and its monitors, as registry paths
// one appends a name to.
const char kPrinters[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
const char kMonitors[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\";

// Takes away what Windows Vista and 7 ship with beyond the "Local Port"
// monitor: the printers, the drivers of every environment and the other
// monitors, so that a test sees only the spooler state it seeds.
inline void RemoveShippedPrinting() {
  winsim::Registry& reg = winsim::Registry::Get();
  const std::string print = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print";
  std::vector<std::string> keys;
  for (const char* parent : {"\\Printers", "\\Monitors"})
    if (winsim::RegKey* k = reg.Find(print + parent))
      for (const auto& c : k->children())
        if (c->name() != "Local Port") keys.push_back(c->Path());
  if (winsim::RegKey* envs = reg.Find(print + "\\Environments"))
    for (const auto& e : envs->children())
      if (winsim::RegKey* drivers = e->Child("Drivers"))
        for (const auto& v : drivers->children())
          for (const auto& d : v->children()) keys.push_back(d->Path());
  for (const auto& k : keys) reg.Delete(k);
}

// The bytes of the build's real language monitor, 32- or 64-bit: AddMonitorA
// reads the module it registers as the loader would.
inline std::string MonitorModule(bool x64) {
  std::ifstream in(x64 ? KVL_PACKAGE_DIR "/driver64/qpaNLM64.dll" : KVL_PACKAGE_DIR "/driver2k/qpaNLMNT.dll",
                   std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Writes a small file at a Windows path of the machine, making its folders.
inline void WriteFile(const std::string& windowsPath, const std::string& content) {
  std::string host = winsim::FileSystem::HostPath(windowsPath);
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(host).parent_path(), ec);
  FILE* f = fopen(host.c_str(), "wb");
  if (!f) return;
  fwrite(content.data(), 1, content.size(), f);
  fclose(f);
}

inline bool FileExists(const std::string& windowsPath) {
  return winsim::FileSystem::Attributes(winsim::FileSystem::HostPath(windowsPath)) != INVALID_FILE_ATTRIBUTES;
}

inline std::string DriverDirectory(const char* env = nullptr) {
  char dir[MAX_PATH] = "";
  DWORD needed = 0;
  GetPrinterDriverDirectoryA(nullptr, (LPSTR)env, 1, (LPBYTE)dir, sizeof dir, &needed);
  return dir;
}

// A driver description with its files; Stage() puts them in the driver
// directory, Add() installs the driver from there.
struct TestDriver {
  std::string name;
  std::string environment = "Windows NT x86";
  std::string driverPath = "TSTdrv.dll";
  std::string dataFile = "TST.dat";
  std::string configFile = "TSTui.dll";
  std::string helpFile = "TST.hlp";
  std::vector<std::string> dependentFiles = {"TSTres1.dll", "TSTres2.dll"};
  std::string monitor;

  std::vector<std::string> Files() const {
    std::vector<std::string> f = {driverPath, dataFile, configFile, helpFile};
    f.insert(f.end(), dependentFiles.begin(), dependentFiles.end());
    return f;
  }
  void Stage() const {
    std::string dir = DriverDirectory(environment.c_str());
    for (const auto& f : Files()) WriteFile(dir + "\\" + f, name + ": " + f);
  }
  BOOL Add() const {
    std::string deps;
    for (const auto& d : dependentFiles) deps.append(d).push_back('\0');
    deps.push_back('\0');
    DRIVER_INFO_3A di;
    memset(&di, 0, sizeof di);
    di.cVersion = 3;
    di.pName = (LPSTR)name.c_str();
    di.pEnvironment = (LPSTR)environment.c_str();
    di.pDriverPath = (LPSTR)driverPath.c_str();
    di.pDataFile = (LPSTR)dataFile.c_str();
    di.pConfigFile = (LPSTR)configFile.c_str();
    di.pHelpFile = (LPSTR)helpFile.c_str();
    di.pDependentFiles = (LPSTR)deps.data();
    di.pMonitorName = monitor.empty() ? nullptr : (LPSTR)monitor.c_str();
    di.pDefaultDataType = (LPSTR) "RAW";
    return AddPrinterDriverA(nullptr, 3, (LPBYTE)&di);
  }
  BOOL StageAndAdd() const {
    Stage();
    return Add();
  }
};

// The printer's key, or null.
inline winsim::RegKey* PrinterKey(const std::string& name) { return winsim::Registry::Get().Find(kPrinters + name); }

// AddPrinterA level 2 as the installer fills it; returns the handle.
inline HANDLE AddTestPrinter(const char* name, const char* driver, const char* port = "LPT1:") {
  PRINTER_INFO_2A pi;
  memset(&pi, 0, sizeof pi);
  pi.pPrinterName = (LPSTR)name;
  pi.pPortName = (LPSTR)port;
  pi.pDriverName = (LPSTR)driver;
  pi.pPrintProcessor = (LPSTR) "WinPrint";
  pi.pDatatype = (LPSTR) "RAW";
  pi.Attributes = PRINTER_ATTRIBUTE_DO_COMPLETE_FIRST | PRINTER_ATTRIBUTE_ENABLE_BIDI;
  pi.Priority = 1;
  pi.Status = PRINTER_STATUS_OFFLINE;
  return AddPrinterA(nullptr, 2, (LPBYTE)&pi);
}

inline bool AddPrinterAndClose(const char* name, const char* driver, const char* port = "LPT1:") {
  HANDLE h = AddTestPrinter(name, driver, port);
  if (!h) return false;
  ClosePrinter(h);
  return true;
}

// The two-call enumeration, as the programs make it.
inline std::vector<PRINTER_INFO_2A> EnumLocalPrinters(std::vector<BYTE>* storage) {
  DWORD needed = 0, returned = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned);
  storage->assign(needed, 0);
  std::vector<PRINTER_INFO_2A> list;
  if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, storage->data(), needed, &needed, &returned)) return list;
  const PRINTER_INFO_2A* p = (const PRINTER_INFO_2A*)storage->data();
  list.assign(p, p + returned);
  return list;
}

}  // namespace spooler_fixture
