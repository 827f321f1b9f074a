#include "winspool/spooler_store.h"

#include <strings.h>
#include <sys/stat.h>

#include "core/filesystem.h"
#include "core/journal.h"
#include "core/machine.h"
#include "core/system_commands.h"

namespace winsim {
namespace spooler {

const char kPrintKey[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print";
const char kPrintersKey[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
const char kMonitorsKey[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
const char kPortsKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

namespace {

// Every environment the spooler of an NT machine knows: a print server keeps
// drivers for clients of other architectures too.
const Environment kEnvironments[] = {
    {"Windows NT x86", "W32X86", 3},
    {"Windows x64", "x64", 3},
    {"Windows IA64", "IA64", 3},
    {"Windows 4.0", "WIN40", 0},
};

const Environment& Named(const char* name) { return *FindEnvironment(name); }

// Data types the print processor "WinPrint" handles.
const char* const kDatatypes[] = {
    "RAW", "RAW [FF appended]", "RAW [FF auto]", "NT EMF 1.003", "NT EMF 1.006", "NT EMF 1.007", "NT EMF 1.008", "TEXT",
};

// The ports and monitor every Windows has from the start.
const char* const kLocalPorts[][2] = {
    {"COM1:", "9600,n,8,1"}, {"COM2:", "9600,n,8,1"}, {"COM3:", "9600,n,8,1"}, {"COM4:", "9600,n,8,1"},
    {"LPT1:", ""},           {"LPT2:", ""},           {"LPT3:", ""},           {"FILE:", ""},
};

// "net stop spooler" and "net start spooler": the service's state is kept in
// machine.ini, so a stopped spooler stays stopped for the next process, as
// the service does until someone starts it. WinExec answers that net.exe
// started, whatever it then does.
UINT SetSpoolerRunning(bool running) {
  Machine& m = Machine::Current();
  m.ini().SetInt("services", "spooler", running ? 1 : 0);
  Journal::Write(Json::Object().Set("service", "Spooler").Set("state", running ? "running" : "stopped"));
  return 33;
}

UINT NetStopSpooler(const std::string&) { return SetSpoolerRunning(false); }
UINT NetStartSpooler(const std::string&) { return SetSpoolerRunning(true); }

class SpoolerSubsystem : public Subsystem {
 public:
  SpoolerSubsystem() : Subsystem(30) {
    RegisterSystemCommand("net stop spooler", NetStopSpooler);
    RegisterSystemCommand("net start spooler", NetStartSpooler);
  }
  // The spooler's state lives in the registry and on drive C:, which their
  // own subsystems load and save.
  void Load(Machine&) override {}
  void Save(Machine&) override {}
  void Unload() override {}

  void Seed(Machine& m) override {
    Registry& reg = Registry::Get();
    reg.Create(kPrintersKey);
    // Windows 9x keeps its ports in WIN.INI and its spooler differently;
    // the programs only list printers there.
    if (!m.os().IsNT()) return;
    RegKey* ports = reg.Create(kPortsKey);
    for (const auto& p : kLocalPorts) ports->SetString(p[0], p[1]);
    reg.Create(std::string(kMonitorsKey) + "\\Local Port")->SetString("Driver", "localspl.dll");
    std::vector<const Environment*> envs = {&Named("Windows NT x86")};
    if (m.os().wow64) envs.push_back(&Named("Windows x64"));
    for (const Environment* env : envs) {
      RegKey* key = reg.Create(std::string(kPrintKey) + "\\Environments\\" + env->name);
      if (!key->Value("Directory")) key->SetString("Directory", env->directory);
      reg.Create(DriversKeyPath(*env, env->version));
      reg.Create(std::string(kPrintKey) + "\\Environments\\" + env->name + "\\Print Processors\\winprint")
          ->SetString("Driver", "winprint.dll");
      std::string host = FileSystem::HostPath(VersionDirectory(*env, env->version));
      std::string cur;
      for (size_t pos = 0; pos != std::string::npos;) {
        pos = host.find('/', pos + 1);
        cur = host.substr(0, pos);
        if (!cur.empty()) mkdir(cur.c_str(), 0755);
      }
    }
  }
};

SpoolerSubsystem g_spooler;

}  // namespace

const Environment* FindEnvironment(const char* name) {
  if (!name) return nullptr;
  for (const auto& e : kEnvironments)
    if (strcasecmp(e.name, name) == 0) return &e;
  return nullptr;
}

const Environment& CallerEnvironment() {
  return Named(Machine::Current().os().IsNT() ? "Windows NT x86" : "Windows 4.0");
}

const Environment& NativeEnvironment() {
  const OsInfo& os = Machine::Current().os();
  if (!os.IsNT()) return Named("Windows 4.0");
  return Named(os.wow64 ? "Windows x64" : "Windows NT x86");
}

const Environment* ResolveEnvironment(const char* name) {
  if (!name || !*name) return &CallerEnvironment();
  const Environment* env = FindEnvironment(name);
  if (!env) SetLastError(ERROR_INVALID_ENVIRONMENT);
  return env;
}

std::string DriverDirectory(const Environment& env) {
  const OsInfo& os = Machine::Current().os();
  // Windows 9x keeps its printer drivers in the system directory itself.
  if (!os.IsNT()) return os.SystemDir();
  return os.SystemDir() + "\\spool\\DRIVERS\\" + env.directory;
}

std::string VersionDirectory(const Environment& env, DWORD version) {
  if (!Machine::Current().os().IsNT()) return DriverDirectory(env);
  return DriverDirectory(env) + "\\" + std::to_string(version);
}

std::string DriversKeyPath(const Environment& env, DWORD version) {
  return std::string(kPrintKey) + "\\Environments\\" + env.name + "\\Drivers\\Version-" + std::to_string(version);
}

RegKey* FindDriver(const Environment& env, DWORD version, const std::string& name) {
  if (name.empty() || name.find('\\') != std::string::npos) return nullptr;
  RegKey* drivers = Registry::Get().Find(DriversKeyPath(env, version));
  return drivers ? drivers->Child(name) : nullptr;
}

std::vector<std::pair<DWORD, RegKey*>> Drivers(const Environment& env) {
  std::vector<std::pair<DWORD, RegKey*>> list;
  RegKey* drivers = Registry::Get().Find(std::string(kPrintKey) + "\\Environments\\" + env.name + "\\Drivers");
  if (!drivers) return list;
  for (const auto& v : drivers->children()) {
    const std::string& n = v->name();
    if (n.size() < 9 || strncasecmp(n.c_str(), "Version-", 8) != 0) continue;
    DWORD version = (DWORD)strtoul(n.c_str() + 8, nullptr, 10);
    for (const auto& d : v->children()) list.emplace_back(version, d.get());
  }
  return list;
}

RegKey* PrintersKey() { return Registry::Get().Find(kPrintersKey); }

bool IsPrinter(const RegKey* key) {
  return !StringValue(key, "Printer Driver").empty() && !StringValue(key, "Port").empty();
}

std::vector<RegKey*> Printers() {
  std::vector<RegKey*> list;
  if (RegKey* printers = PrintersKey())
    for (const auto& p : printers->children())
      if (IsPrinter(p.get())) list.push_back(p.get());
  return list;
}

RegKey* FindPrinter(const std::string& name) {
  if (name.empty() || name.find('\\') != std::string::npos) return nullptr;
  RegKey* printers = PrintersKey();
  RegKey* key = printers ? printers->Child(name) : nullptr;
  return IsPrinter(key) ? key : nullptr;
}

RegKey* FindMonitor(const std::string& name) {
  if (name.empty() || name.find('\\') != std::string::npos) return nullptr;
  RegKey* monitors = Registry::Get().Find(kMonitorsKey);
  return monitors ? monitors->Child(name) : nullptr;
}

bool PortExists(const std::string& port) {
  RegKey* ports = Registry::Get().Find(kPortsKey);
  if (!ports) return false;
  for (const auto& v : ports->values())
    if (SameName(v.name, port)) return true;
  return false;
}

bool PrintProcessorExists(const Environment& env, const std::string& name) {
  if (name.empty() || name.find('\\') != std::string::npos) return false;
  return Registry::Get().Find(std::string(kPrintKey) + "\\Environments\\" + env.name + "\\Print Processors\\" +
                              name) != nullptr;
}

bool DatatypeSupported(const std::string& datatype) {
  for (const char* d : kDatatypes)
    if (SameName(d, datatype)) return true;
  return false;
}

std::string StringValue(const RegKey* key, const std::string& name) {
  const RegValue* v = key ? key->Value(name) : nullptr;
  if (!v || (v->type != REG_SZ && v->type != REG_EXPAND_SZ)) return "";
  std::string s(v->data.begin(), v->data.end());
  size_t end = s.find('\0');
  return end == std::string::npos ? s : s.substr(0, end);
}

DWORD DwordValue(const RegKey* key, const std::string& name, DWORD def) {
  const RegValue* v = key ? key->Value(name) : nullptr;
  if (!v || v->type != REG_DWORD || v->data.size() < 4) return def;
  return (DWORD)v->data[0] | ((DWORD)v->data[1] << 8) | ((DWORD)v->data[2] << 16) | ((DWORD)v->data[3] << 24);
}

std::vector<std::string> MultiStringValue(const RegKey* key, const std::string& name) {
  std::vector<std::string> list;
  const RegValue* v = key ? key->Value(name) : nullptr;
  if (!v || v->type != REG_MULTI_SZ) return list;
  std::string cur;
  for (uint8_t c : v->data) {
    if (c) {
      cur += (char)c;
    } else {
      if (cur.empty()) break;
      list.push_back(cur);
      cur.clear();
    }
  }
  if (!cur.empty()) list.push_back(cur);
  return list;
}

bool SameName(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

bool FileExists(const std::string& windowsPath) {
  struct stat st;
  return stat(FileSystem::HostPath(windowsPath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string FileNameOf(const std::string& windowsPath) {
  size_t slash = windowsPath.find_last_of("\\/");
  return slash == std::string::npos ? windowsPath : windowsPath.substr(slash + 1);
}

bool CallerIsAdmin() { return Machine::Current().userIsAdmin(); }

bool SpoolerRunning() {
  if (Machine::Current().ini().GetInt("services", "spooler", 1)) return true;
  SetLastError(RPC_S_SERVER_UNAVAILABLE);
  return false;
}

}  // namespace spooler
}  // namespace winsim
