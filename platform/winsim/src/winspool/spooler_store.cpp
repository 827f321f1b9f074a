#include "winspool/spooler_store.h"

#include <strings.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <filesystem>

#include "core/filesystem.h"
#include "core/journal.h"
#include "core/machine.h"
#include "core/system_commands.h"
#include "winspool.h"

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

// ---- the spooler of a fresh machine ----
//
// What a fresh installation's spooler holds:
//  - Windows 95, 98 and Me: the Printers and Monitors keys and the
//    "Windows 4.0" environment; their ports live in WIN.INI.
//  - every NT: the "Local Port" monitor with COM1: to COM4:, LPT1: to LPT3:
//    and FILE:, and in each environment of the machine ("Windows NT x86",
//    and "Windows x64" on 64-bit Windows) the print processor winprint. NT
//    4.0, 2000, XP and Server 2003 have no printer and no driver: the XPS
//    Document Writer came with Vista (XP and 2003 get it only with the .NET
//    Framework 3.0), the fax printer with the optional fax component.
//  - Vista and 7 also: XPSPort:, a port of "Local Port"; the monitors
//    Standard TCP/IP Port, USB Monitor, WSD Port and Microsoft Shared Fax
//    Monitor, which keeps the port SHRFAX:; the drivers Microsoft XPS
//    Document Writer and Microsoft Shared Fax Driver (version 3) in the
//    spooler's own environment only, so that 64-bit Windows 7 has them for
//    "Windows x64" and none for "Windows NT x86"; and the printers
//    "Microsoft XPS Document Writer" on XPSPort: and "Fax" on SHRFAX:.

const char* const kLocalPorts[][2] = {
    {"COM1:", "9600,n,8,1"}, {"COM2:", "9600,n,8,1"}, {"COM3:", "9600,n,8,1"}, {"COM4:", "9600,n,8,1"},
    {"LPT1:", ""},           {"LPT2:", ""},           {"LPT3:", ""},           {"FILE:", ""},
};

// Monitors, drivers and printers in the order the registry lists them.
struct SeedMonitor {
  const char* name;
  const char* dll;
  const char* port;         // the one port it keeps, or null
  const char* description;  // of that port
};

const SeedMonitor kVistaMonitors[] = {
    {"Microsoft Shared Fax Monitor", "FXSMON.DLL", "SHRFAX:", "Fax Monitor Port"},
    {"Standard TCP/IP Port", "tcpmon.dll", nullptr, nullptr},
    {"USB Monitor", "usbmon.dll", nullptr, nullptr},
    {"WSD Port", "WSDMon.dll", nullptr, nullptr},
};

struct SeedDriver {
  const char* name;
  const char* driver;
  const char* data;
  const char* config;
  const char* help;
  std::vector<std::string> dependent;
};

const SeedDriver kVistaDrivers[] = {
    {"Microsoft Shared Fax Driver",
     "FXSDRV.DLL",
     "FXSUI.DLL",
     "FXSUI.DLL",
     "",
     {"FXSWZRD.DLL", "FXSTIFF.DLL", "FXSRES.DLL", "FXSAPI.DLL"}},
    {"Microsoft XPS Document Writer",
     "mxdwdrv.dll",
     "mxdwdui.gpd",
     "unidrvui.dll",
     "unidrv.hlp",
     {"mxdwdui.dll", "mxdwdui.ini", "unidrv.dll", "unires.dll", "stdnames.gpd", "stddtype.gdl", "stdschem.gdl",
      "stdschmx.gdl", "xpssvcs.dll"}},
};

// Fax printers carry PRINTER_ATTRIBUTE_FAX.
const DWORD kFaxPrinter = 0x00004000;

struct SeedPrinter {
  const char* name;
  const char* driver;
  const char* port;
  DWORD attributes;
};

const SeedPrinter kVistaPrinters[] = {
    {"Fax", "Microsoft Shared Fax Driver",
     "SHRFAX:", PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_DO_COMPLETE_FIRST | kFaxPrinter},
    {"Microsoft XPS Document Writer", "Microsoft XPS Document Writer",
     "XPSPort:", PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_DO_COMPLETE_FIRST},
};

// A fresh installation spells its driver folders and the environments'
// Directory values in lower case ("w32x86"); the spooler reports them as
// DRIVERS\W32X86, which names the same folder.
std::string LowerCase(const char* s) {
  std::string lower = s;
  for (auto& c : lower) c = (char)tolower((unsigned char)c);
  return lower;
}

void MakeHostFolders(const std::string& windowsPath) {
  std::error_code ec;
  std::filesystem::create_directories(FileSystem::HostPath(windowsPath), ec);
}

void SeedEnvironment(Registry& reg, const OsInfo& os, const Environment& env) {
  std::string envKey = std::string(kPrintKey) + "\\Environments\\" + env.name;
  reg.Create(envKey)->SetString("Directory", LowerCase(env.directory));
  reg.Create(DriversKeyPath(env, env.version));
  reg.Create(envKey + "\\Print Processors\\winprint")->SetString("Driver", "winprint.dll");
  MakeHostFolders(os.SystemDir() + "\\spool\\drivers\\" + LowerCase(env.directory) + "\\" +
                  std::to_string(env.version));
}

// A driver as AddPrinterDriverA leaves it, with a small file wherever the
// driver says one lies.
void SeedDriverOf(Registry& reg, const Environment& env, const SeedDriver& d) {
  RegKey* key = reg.Create(DriversKeyPath(env, env.version) + "\\" + d.name);
  key->SetString("Driver", d.driver);
  key->SetString("Data File", d.data);
  key->SetString("Configuration File", d.config);
  key->SetString("Help File", d.help);
  key->SetMultiString("Dependent Files", d.dependent);
  key->SetString("Monitor", "");
  key->SetString("Datatype", "");
  key->SetMultiString("Previous Names", {});
  key->SetDword("Version", env.version);
  std::vector<std::string> files = {d.driver, d.data, d.config, d.help};
  files.insert(files.end(), d.dependent.begin(), d.dependent.end());
  for (const auto& f : files) {
    if (f.empty()) continue;
    std::string host = FileSystem::HostPath(VersionDirectory(env, env.version) + "\\" + f);
    if (FILE* out = fopen(host.c_str(), "wb")) {
      fprintf(out, "%s placeholder: %s\r\n", d.name, f.c_str());
      fclose(out);
    }
  }
}

// A printer as AddPrinterA leaves it.
void SeedPrinterOf(Registry& reg, const SeedPrinter& p) {
  RegKey* key = reg.Create(std::string(kPrintersKey) + "\\" + p.name);
  key->SetString("Name", p.name);
  key->SetString("Share Name", "");
  key->SetString("Port", p.port);
  key->SetString("Printer Driver", p.driver);
  key->SetString("Description", "");
  key->SetString("Location", "");
  key->SetString("Separator File", "");
  key->SetString("Print Processor", "winprint");
  key->SetString("Datatype", "RAW");
  key->SetString("Parameters", "");
  key->SetDword("Attributes", p.attributes);
  key->SetDword("Priority", 1);
  key->SetDword("Default Priority", 0);
  key->SetDword("StartTime", 0);
  key->SetDword("UntilTime", 0);
  key->SetDword("Status", 0);
  key->SetDword(kChangeId, NewChangeId());
  key->CreateChild("PrinterDriverData");
}

void SeedSpooler(const OsInfo& os) {
  Registry& reg = Registry::Get();
  reg.Create(kPrintersKey);
  reg.Create(kMonitorsKey);
  if (!os.IsNT()) {
    reg.Create(std::string(kPrintKey) + "\\Environments\\Windows 4.0");
    return;
  }
  std::string spool = os.SystemDir() + "\\spool";
  MakeHostFolders(spool + "\\PRINTERS");
  MakeHostFolders(spool + "\\prtprocs\\w32x86");
  std::vector<const Environment*> envs = {&Named("Windows NT x86")};
  if (os.wow64) envs.push_back(&Named("Windows x64"));
  for (const Environment* env : envs) SeedEnvironment(reg, os, *env);

  RegKey* ports = reg.Create(kPortsKey);
  for (const auto& p : kLocalPorts) ports->SetString(p[0], p[1]);
  reg.Create(std::string(kMonitorsKey) + "\\Local Port")->SetString("Driver", "localspl.dll");
  if (os.major < 6) return;

  ports->SetString("XPSPort:", "");
  for (const auto& m : kVistaMonitors) {
    RegKey* key = reg.Create(std::string(kMonitorsKey) + "\\" + m.name);
    key->SetString("Driver", m.dll);
    if (m.port) key->CreateChild("Ports")->CreateChild(m.port)->SetString("Description", m.description);
  }
  const Environment& native = Named(os.wow64 ? "Windows x64" : "Windows NT x86");
  for (const auto& d : kVistaDrivers) SeedDriverOf(reg, native, d);
  for (const auto& p : kVistaPrinters) SeedPrinterOf(reg, p);
}

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

  void Seed(Machine& m) override { SeedSpooler(m.os()); }
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

std::vector<const Environment*> KnownEnvironments() {
  std::vector<const Environment*> list;
  for (const auto& e : kEnvironments) list.push_back(&e);
  return list;
}

bool AllEnvironmentsAsked(const char* name) {
  const OsInfo& os = Machine::Current().os();
  return name && strcasecmp(name, "all") == 0 && os.IsNT() && os.major >= 5;
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

const char kChangeId[] = "ChangeID";

DWORD NewChangeId() {
  IniFile& ini = Machine::Current().ini();
  long next = ini.GetInt("spooler", "next_change_id", 1);
  ini.SetInt("spooler", "next_change_id", next + 1);
  return (DWORD)next;
}

RegKey* FindMonitor(const std::string& name) {
  if (name.empty() || name.find('\\') != std::string::npos) return nullptr;
  RegKey* monitors = Registry::Get().Find(kMonitorsKey);
  return monitors ? monitors->Child(name) : nullptr;
}

bool PortExists(const std::string& port) {
  for (const auto& p : Ports())
    if (SameName(p.name, port)) return true;
  return false;
}

std::vector<Port> Ports() {
  std::vector<Port> list;
  Registry& reg = Registry::Get();
  if (RegKey* local = reg.Find(kPortsKey))
    for (const auto& v : local->values()) list.push_back(Port{v.name, "Local Port", "Local Port"});
  if (RegKey* monitors = reg.Find(kMonitorsKey)) {
    for (const auto& m : monitors->children()) {
      RegKey* ports = m->Child("Ports");
      if (!ports) continue;
      for (const auto& p : ports->children()) {
        std::string description = StringValue(p.get(), "Description");
        list.push_back(Port{p->name(), m->name(), description.empty() ? m->name() : description});
      }
    }
  }
  return list;
}

bool PrintProcessorExists(const Environment& env, const std::string& name) {
  if (name.empty() || name.find('\\') != std::string::npos) return false;
  return Registry::Get().Find(std::string(kPrintKey) + "\\Environments\\" + env.name + "\\Print Processors\\" + name) !=
         nullptr;
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
