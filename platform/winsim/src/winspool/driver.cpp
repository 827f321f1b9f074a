// WINSPOOL's monitor and driver installation: AddMonitorA, DeleteMonitorA,
// AddPrinterDriverA, DeletePrinterDriverExA.
#include <strings.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <set>

#include "core/filesystem.h"
#include "core/journal.h"
#include "core/machine.h"
#include "core/pe_image.h"
#include "winspool/spooler_store.h"
#include "windows.h"
#include "winspool.h"

using winsim::ApiCall;
using winsim::FileSystem;
using winsim::Json;
using winsim::Machine;
using winsim::Registry;
using winsim::RegKey;
using namespace winsim::spooler;

namespace {

bool Empty(LPCSTR s) { return !s || !*s; }

std::vector<std::string> SplitMulti(LPCSTR multi) {
  std::vector<std::string> list;
  for (LPCSTR p = multi; p && *p; p += strlen(p) + 1) list.push_back(p);
  return list;
}

Json MultiJson(LPCSTR multi) {
  if (!multi) return Json();
  Json list = Json::Array();
  for (const auto& s : SplitMulti(multi)) list.Add(s);
  return list;
}

Json DriverInfoJson(DWORD level, LPBYTE p) {
  if (!p) return Json();
  const DRIVER_INFO_3A* d = (const DRIVER_INFO_3A*)p;
  Json j = Json::Object()
               .Set("cVersion", d->cVersion)
               .Set("pName", d->pName)
               .Set("pEnvironment", d->pEnvironment)
               .Set("pDriverPath", d->pDriverPath)
               .Set("pDataFile", d->pDataFile)
               .Set("pConfigFile", d->pConfigFile);
  if (level >= 3)
    j.Set("pHelpFile", d->pHelpFile)
        .Set("pDependentFiles", MultiJson(d->pDependentFiles))
        .Set("pMonitorName", d->pMonitorName)
        .Set("pDefaultDataType", d->pDefaultDataType);
  if (level >= 4) j.Set("pszzPreviousNames", MultiJson(((const DRIVER_INFO_4A*)p)->pszzPreviousNames));
  return j;
}

// The spooler loads a new monitor's module into its own process and calls
// its entry point before it records the monitor: 0 when that would work,
// else the loader's error. The module is looked for in the spooler's own
// system directory (the native one, also under WOW64), then in the Windows
// directory. Windows 2000 and later call InitializePrintMonitor2, NT 4.0
// the older InitializePrintMonitor. The 9x spooler is not modelled this far:
// there the file only has to be there.
DWORD LoadMonitorModule(const std::string& dll) {
  const winsim::OsInfo& os = Machine::Current().os();
  std::string path;
  if (dll.find_first_of("\\/") != std::string::npos) {
    path = dll;
  } else {
    for (const std::string& folder : {os.SystemDir(), os.windir}) {
      if (FileExists(folder + "\\" + dll)) {
        path = folder + "\\" + dll;
        break;
      }
    }
  }
  if (path.empty() || !FileExists(path)) return ERROR_MOD_NOT_FOUND;
  if (!os.IsNT()) return 0;
  const char* entry = os.major >= 5 ? "InitializePrintMonitor2" : "InitializePrintMonitor";
  return winsim::CheckModuleEntry(FileSystem::HostPath(path), os.wow64 ? winsim::kMachineAmd64 : winsim::kMachineI386,
                                  entry);
}

// A driver file named in a DRIVER_INFO: a bare name is taken from the
// driver directory of the environment, a path as it stands.
std::string SourceOf(const Environment& env, const std::string& file) {
  if (file.find_first_of("\\/") != std::string::npos) return file;
  return DriverDirectory(env) + "\\" + file;
}

void MakeHostDirs(const std::string& hostDir) {
  std::error_code ec;
  std::filesystem::create_directories(hostDir, ec);
}

// Every file a driver key names, by bare name.
std::vector<std::string> FilesOf(const RegKey* key) {
  std::vector<std::string> files;
  for (const char* v : {"Driver", "Data File", "Configuration File", "Help File"}) {
    std::string f = StringValue(key, v);
    if (!f.empty()) files.push_back(f);
  }
  for (const auto& f : MultiStringValue(key, "Dependent Files")) files.push_back(f);
  return files;
}

struct NoCase {
  bool operator()(const std::string& a, const std::string& b) const { return strcasecmp(a.c_str(), b.c_str()) < 0; }
};

bool PrinterUsesDriver(const std::string& driver) {
  for (RegKey* p : Printers())
    if (SameName(StringValue(p, "Printer Driver"), driver)) return true;
  return false;
}

}  // namespace

extern "C" {

BOOL WINAPI AddMonitorA(LPSTR pName, DWORD Level, LPBYTE pMonitorInfo) {
  Json info;
  if (pMonitorInfo && Level == 2) {
    const MONITOR_INFO_2A* m = (const MONITOR_INFO_2A*)pMonitorInfo;
    info = Json::Object().Set("pName", m->pName).Set("pEnvironment", m->pEnvironment).Set("pDLLName", m->pDLLName);
  }
  ApiCall call("AddMonitorA", {pName, Level, info});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!SpoolerRunning()) return call.Ret((BOOL)FALSE);
  if (Level != 2) return call.Fail(ERROR_INVALID_LEVEL);
  const MONITOR_INFO_2A* mi = (const MONITOR_INFO_2A*)pMonitorInfo;
  // Without a record NT's client side gives up before it asks the spooler,
  // and sets no error; 9x says the caller may not.
  if (!mi) {
    if (Machine::Current().os().IsNT()) return call.Ret((BOOL)FALSE);
    return call.Fail(ERROR_PRIVILEGE_NOT_HELD);
  }
  if (Empty(mi->pName) || strchr(mi->pName, '\\')) return call.Fail(ERROR_INVALID_PARAMETER);
  // The spooler loads the monitor into its own process: only a module of
  // its own architecture will do.
  const Environment* env = FindEnvironment(mi->pEnvironment);
  if (!env || env != &NativeEnvironment()) return call.Fail(ERROR_INVALID_ENVIRONMENT);
  if (Empty(mi->pDLLName)) return call.Fail(ERROR_INVALID_PARAMETER);
  if (!CallerIsAdmin()) return call.Fail(ERROR_ACCESS_DENIED);
  if (FindMonitor(mi->pName)) return call.Fail(ERROR_PRINT_MONITOR_ALREADY_INSTALLED);
  if (DWORD error = LoadMonitorModule(mi->pDLLName)) return call.Fail(error);
  Registry::Get().Create(std::string(kMonitorsKey) + "\\" + mi->pName)->SetString("Driver", mi->pDLLName);
  SetLastError(ERROR_SUCCESS);
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI DeleteMonitorA(LPSTR pName, LPSTR pEnvironment, LPSTR pMonitorName) {
  ApiCall call("DeleteMonitorA", {pName, pEnvironment, pMonitorName});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!SpoolerRunning()) return call.Ret((BOOL)FALSE);
  if (!ResolveEnvironment(pEnvironment)) return call.Ret((BOOL)FALSE);
  if (Empty(pMonitorName)) return call.Fail(ERROR_INVALID_PARAMETER);
  if (!CallerIsAdmin()) return call.Fail(ERROR_ACCESS_DENIED);
  RegKey* monitor = FindMonitor(pMonitorName);
  if (!monitor) return call.Fail(ERROR_UNKNOWN_PRINT_MONITOR);
  std::string name = monitor->name();
  monitor->parent()->DeleteChild(name);
  SetLastError(ERROR_SUCCESS);
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI AddPrinterDriverA(LPSTR pName, DWORD Level, LPBYTE pDriverInfo) {
  ApiCall call("AddPrinterDriverA", {pName, Level, DriverInfoJson(Level >= 2 && Level <= 4 ? Level : 0, pDriverInfo)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!SpoolerRunning()) return call.Ret((BOOL)FALSE);
  if (Level < 2 || Level > 4) return call.Fail(ERROR_INVALID_LEVEL);
  const DRIVER_INFO_3A* di = (const DRIVER_INFO_3A*)pDriverInfo;
  if (!di || Empty(di->pName) || strchr(di->pName, '\\') || Empty(di->pDriverPath) || Empty(di->pDataFile) ||
      Empty(di->pConfigFile)) {
    return call.Fail(ERROR_INVALID_PARAMETER);
  }
  const Environment* env = ResolveEnvironment(di->pEnvironment);
  if (!env) return call.Ret((BOOL)FALSE);
  // NT drivers are of version 2 (kernel mode) or 3 (user mode), each in its
  // own folder; Windows 4.0 drivers of version 0.
  bool nt = env->version == 3;
  if (nt ? (di->cVersion != 2 && di->cVersion != 3) : di->cVersion != 0) return call.Fail(ERROR_INVALID_PARAMETER);
  if (!CallerIsAdmin()) return call.Fail(ERROR_ACCESS_DENIED);
  bool level3 = Level >= 3;
  if (level3 && !Empty(di->pMonitorName) && !FindMonitor(di->pMonitorName))
    return call.Fail(ERROR_UNKNOWN_PRINT_MONITOR);
  std::vector<std::string> files = {di->pDriverPath, di->pDataFile, di->pConfigFile};
  if (level3 && !Empty(di->pHelpFile)) files.push_back(di->pHelpFile);
  std::vector<std::string> dependent = level3 ? SplitMulti(di->pDependentFiles) : std::vector<std::string>();
  files.insert(files.end(), dependent.begin(), dependent.end());
  // Every file is looked for before anything is copied: a missing one
  // leaves the machine as it was.
  for (const auto& f : files) {
    if (!FileExists(SourceOf(*env, f))) return call.Fail(ERROR_FILE_NOT_FOUND);
  }
  std::string target = VersionDirectory(*env, di->cVersion);
  MakeHostDirs(FileSystem::HostPath(target));
  for (const auto& f : files) {
    std::string to = FileSystem::HostPath(target + "\\" + FileNameOf(f));
    std::error_code ec;
    std::filesystem::copy_file(FileSystem::HostPath(SourceOf(*env, f)), to,
                               std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) return call.Fail(ERROR_ACCESS_DENIED);
  }
  // A driver of that name is replaced, all its values with it.
  Registry& reg = Registry::Get();
  std::string keyPath = DriversKeyPath(*env, di->cVersion) + "\\" + di->pName;
  reg.Delete(keyPath);
  RegKey* key = reg.Create(keyPath);
  key->SetString("Driver", FileNameOf(di->pDriverPath));
  key->SetString("Data File", FileNameOf(di->pDataFile));
  key->SetString("Configuration File", FileNameOf(di->pConfigFile));
  key->SetString("Help File", level3 && di->pHelpFile ? FileNameOf(di->pHelpFile) : "");
  std::vector<std::string> bare;
  for (const auto& d : dependent) bare.push_back(FileNameOf(d));
  key->SetMultiString("Dependent Files", bare);
  key->SetString("Monitor", level3 && di->pMonitorName ? di->pMonitorName : "");
  key->SetString("Datatype", level3 && di->pDefaultDataType ? di->pDefaultDataType : "");
  std::vector<std::string> previous;
  if (Level == 4) previous = SplitMulti(((const DRIVER_INFO_4A*)di)->pszzPreviousNames);
  key->SetMultiString("Previous Names", previous);
  key->SetDword("Version", di->cVersion);
  SetLastError(ERROR_SUCCESS);
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI DeletePrinterDriverExA(LPSTR pName, LPSTR pEnvironment, LPSTR pDriverName, DWORD dwDeleteFlag,
                                   DWORD dwVersionFlag) {
  ApiCall call("DeletePrinterDriverExA", {pName, pEnvironment, pDriverName, dwDeleteFlag, dwVersionFlag});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!SpoolerRunning()) return call.Ret((BOOL)FALSE);
  const Environment* env = ResolveEnvironment(pEnvironment);
  if (!env) return call.Ret((BOOL)FALSE);
  if (Empty(pDriverName)) return call.Fail(ERROR_INVALID_PARAMETER);
  if (!CallerIsAdmin()) return call.Fail(ERROR_ACCESS_DENIED);
  // The versions to delete: the one named, or every one the driver has.
  std::vector<std::pair<DWORD, RegKey*>> targets;
  std::vector<std::pair<DWORD, RegKey*>> others;
  for (const auto& d : Drivers(*env)) {
    bool named = SameName(d.second->name(), pDriverName) &&
                 (!(dwDeleteFlag & DPD_DELETE_SPECIFIC_VERSION) || d.first == dwVersionFlag);
    (named ? targets : others).push_back(d);
  }
  if (targets.empty()) return call.Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
  // Printers run on the drivers of the spooler's own environment.
  if (env == &NativeEnvironment() && PrinterUsesDriver(pDriverName)) return call.Fail(ERROR_PRINTER_DRIVER_IN_USE);
  // Files another driver of the same version folder still needs.
  std::vector<std::pair<std::string, std::string>> removeFiles;  // host path, bare name
  for (const auto& t : targets) {
    std::set<std::string, NoCase> shared;
    for (const auto& o : others)
      if (o.first == t.first)
        for (const auto& f : FilesOf(o.second)) shared.insert(f);
    for (const auto& f : FilesOf(t.second)) {
      bool isShared = shared.count(f) != 0;
      if (isShared && (dwDeleteFlag & DPD_DELETE_ALL_FILES)) return call.Fail(ERROR_PRINTER_DRIVER_IN_USE);
      if (!isShared && (dwDeleteFlag & (DPD_DELETE_ALL_FILES | DPD_DELETE_UNUSED_FILES)))
        removeFiles.emplace_back(FileSystem::HostPath(VersionDirectory(*env, t.first) + "\\" + f), f);
    }
  }
  for (const auto& t : targets) {
    std::string name = t.second->name();
    t.second->parent()->DeleteChild(name);
  }
  for (const auto& f : removeFiles) std::remove(f.first.c_str());
  SetLastError(ERROR_SUCCESS);
  return call.Ret((BOOL)TRUE);
}

}  // extern "C"
