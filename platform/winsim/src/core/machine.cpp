#include "core/machine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "core/handles.h"
#include "core/journal.h"

namespace winsim {

namespace {

OsInfo Os(unsigned platform, unsigned major, unsigned minor, unsigned build, const char* csd, bool wow64,
          bool hasIsWow64Process, const char* windir) {
  OsInfo o;
  o.platform = platform;
  o.major = major;
  o.minor = minor;
  o.build = build;
  o.csd = csd;
  o.wow64 = wow64;
  o.hasIsWow64Process = hasIsWow64Process;
  o.windir = windir;
  return o;
}

std::vector<Subsystem*>& Subsystems() {
  static std::vector<Subsystem*> list;
  return list;
}

std::unique_ptr<Machine>& Instance() {
  static std::unique_ptr<Machine> machine;
  return machine;
}

void MakeDirs(const std::string& path) {
  std::string cur;
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    cur = path.substr(0, pos);
    if (!cur.empty()) mkdir(cur.c_str(), 0755);
  }
}

// The host path below drive_c of a C:\ path, with '/' separators.
std::string DrivePath(const std::string& dir, const std::string& winPath) {
  std::string rest = winPath.size() > 3 ? winPath.substr(3) : "";
  std::replace(rest.begin(), rest.end(), '\\', '/');
  return dir + "/drive_c/" + rest;
}

}  // namespace

const std::vector<OsKind>& KnownOsKinds() {
  // IsWow64Process came with XP SP2 and Server 2003 SP1; the XP and 2003
  // machines here carry those service packs.
  static const std::vector<OsKind> kinds = {
      {"95", "Windows 95", Os(1, 4, 0, 950, "", false, false, "C:\\WINDOWS")},
      {"98", "Windows 98", Os(1, 4, 10, 1998, "", false, false, "C:\\WINDOWS")},
      {"me", "Windows Me", Os(1, 4, 90, 3000, "", false, false, "C:\\WINDOWS")},
      {"nt4", "Windows NT 4.0", Os(2, 4, 0, 1381, "Service Pack 6", false, false, "C:\\WINNT")},
      {"2000", "Windows 2000", Os(2, 5, 0, 2195, "Service Pack 4", false, false, "C:\\WINNT")},
      {"xp", "Windows XP", Os(2, 5, 1, 2600, "Service Pack 3", false, true, "C:\\WINDOWS")},
      {"2003", "Windows Server 2003", Os(2, 5, 2, 3790, "Service Pack 2", false, true, "C:\\WINDOWS")},
      {"vista", "Windows Vista", Os(2, 6, 0, 6002, "Service Pack 2", false, true, "C:\\Windows")},
      {"7", "Windows 7", Os(2, 6, 1, 7601, "Service Pack 1", false, true, "C:\\Windows")},
      {"7-x64", "Windows 7 x64", Os(2, 6, 1, 7601, "Service Pack 1", true, true, "C:\\Windows")},
  };
  return kinds;
}

const OsKind* FindOsKind(const std::string& name) {
  for (const auto& k : KnownOsKinds())
    if (name == k.name) return &k;
  return nullptr;
}

std::string KnownOsNames() {
  std::string s;
  for (const auto& k : KnownOsKinds()) {
    if (!s.empty()) s += ", ";
    s += k.name;
  }
  return s;
}

Subsystem::Subsystem(int order) : m_order(order) {
  auto& list = Subsystems();
  list.push_back(this);
  std::stable_sort(list.begin(), list.end(), [](Subsystem* a, Subsystem* b) { return a->order() < b->order(); });
}

Subsystem::~Subsystem() {
  auto& list = Subsystems();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

Machine& Machine::Current() {
  if (!Instance()) {
    const char* dir = getenv("WINSIM_MACHINE");
    if (!dir || !*dir) {
      fprintf(stderr, "winsim: no machine: set WINSIM_MACHINE to a machine directory (see `winsim new`)\n");
      _exit(98);
    }
    try {
      Open(dir);
    } catch (const MachineError& e) {
      fprintf(stderr, "winsim: %s\n", e.what());
      _exit(98);
    }
  }
  return *Instance();
}

bool Machine::IsOpen() { return Instance() != nullptr; }

void Machine::Open(const std::string& dir) {
  if (Instance()) Close(true);
  std::unique_ptr<Machine> m(new Machine());
  m->m_dir = dir;
  while (m->m_dir.size() > 1 && m->m_dir.back() == '/') m->m_dir.pop_back();
  m->LoadIni();
  m->m_pid = m->NextPid();
  const char* rt = getenv("WINSIM_REALTIME");
  m->m_realtime = rt && strcmp(rt, "1") == 0;
  Instance() = std::move(m);
  try {
    for (Subsystem* s : Subsystems()) s->Load(*Instance());
  } catch (...) {
    // A machine that cannot be read is never written back.
    for (Subsystem* s : Subsystems()) s->Unload();
    Instance().reset();
    throw;
  }
  Journal::Open(*Instance());
}

void Machine::Close(bool save) {
  if (!Instance()) return;
  ReportOpenHandles();
  if (save && Instance()->m_sessionEnd >= 0) {
    const unsigned kShutdown = 0x1 | 0x2 | 0x8;  // EWX_SHUTDOWN, EWX_REBOOT, EWX_POWEROFF
    for (Subsystem* s : Subsystems()) s->EndSession((Instance()->m_sessionEnd & kShutdown) != 0);
  }
  if (save) SaveAll();
  Journal::Close();
  for (Subsystem* s : Subsystems()) s->EndProcess();
  for (Subsystem* s : Subsystems()) s->Unload();
  Instance().reset();
}

void Machine::SaveAll() {
  Machine* m = Instance().get();
  if (!m) return;
  for (Subsystem* s : Subsystems()) s->Save(*m);
  m->SaveIni();
  Journal::Flush();
}

void Machine::ReloadAll() {
  Machine* m = Instance().get();
  if (!m) return;
  uint64_t clock = m->m_clock;
  m->LoadIni();
  m->m_clock = std::max(clock, m->m_clock);
  for (Subsystem* s : Subsystems()) s->Unload();
  for (Subsystem* s : Subsystems()) s->Load(*m);
}

void Machine::LoadIni() {
  std::string error;
  IniFile ini;
  if (!ini.Load(PathOf("machine.ini"), &error)) throw MachineError(error);
  OsInfo os;
  os.platform = (unsigned)ini.GetInt("os", "platform", 2);
  os.major = (unsigned)ini.GetInt("os", "major", 5);
  os.minor = (unsigned)ini.GetInt("os", "minor", 1);
  os.build = (unsigned)ini.GetInt("os", "build", 2600);
  os.csd = ini.Get("os", "csd", "");
  os.wow64 = ini.GetInt("os", "wow64", 0) != 0;
  bool ntXpOrLater = os.platform == 2 && (os.major > 5 || (os.major == 5 && os.minor >= 1));
  os.hasIsWow64Process = ini.GetInt("os", "iswow64process", (ntXpOrLater || os.wow64) ? 1 : 0) != 0;
  os.hasSetupUninstallOEMInf = ini.GetInt("os", "setupuninstalloeminf", ntXpOrLater ? 1 : 0) != 0;
  os.windir = ini.Get("os", "windir", "C:\\WINDOWS");
  if (os.windir.size() < 3 || (os.windir[0] != 'C' && os.windir[0] != 'c') || os.windir[1] != ':' ||
      os.windir[2] != '\\')
    throw MachineError(PathOf("machine.ini") + ": windir must be a folder on drive C:, not '" + os.windir + "'");
  while (os.windir.size() > 3 && os.windir.back() == '\\') os.windir.pop_back();
  m_os = os;
  m_admin = ini.GetInt("user", "admin", 1) != 0;
  m_shutdownPrivilege = ini.GetInt("user", "shutdown_privilege", 1) != 0;
  m_clock = (uint64_t)ini.GetInt("state", "clock", 0);
  m_ini = ini;
}

void Machine::SaveIni() {
  m_ini.Set("state", "clock", std::to_string(m_clock));
  if (!m_ini.Save(PathOf("machine.ini")))
    fprintf(stderr, "winsim: cannot write %s: %s\n", PathOf("machine.ini").c_str(), strerror(errno));
}

void Machine::Advance(uint64_t ms) {
  m_clock += ms;
  if (m_realtime && ms) {
    struct timespec ts = {(time_t)(ms / 1000), (long)(ms % 1000) * 1000000L};
    nanosleep(&ts, nullptr);
  }
}

unsigned Machine::NextPid() {
  long next = m_ini.GetInt("state", "next_pid", 1000);
  m_ini.SetInt("state", "next_pid", next + 4);
  // Written at once, so that a child started later gets its own number.
  m_ini.Save(PathOf("machine.ini"));
  return (unsigned)next;
}

void Machine::MarkRestarted(unsigned flags) {
  m_ini.SetInt("state", "restarted", (long)flags | 0x10000);
  m_sessionEnd = (long)flags;
}

bool Machine::restarted() const { return m_ini.GetInt("state", "restarted", 0) != 0; }

void Machine::Create(const std::string& dir, const std::string& osName) {
  const OsKind* kind = FindOsKind(osName);
  if (!kind) throw MachineError("unknown --os '" + osName + "'; known: " + KnownOsNames());
  struct stat st;
  if (stat((dir + "/machine.ini").c_str(), &st) == 0) throw MachineError(dir + ": a machine exists there already");
  MakeDirs(dir);
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) throw MachineError(dir + ": cannot create the folder");

  const OsInfo& os = kind->info;
  IniFile ini;
  ini.Set("os", "name", kind->name);
  ini.SetInt("os", "platform", os.platform);
  ini.SetInt("os", "major", os.major);
  ini.SetInt("os", "minor", os.minor);
  ini.SetInt("os", "build", os.build);
  ini.Set("os", "csd", os.csd);
  ini.SetInt("os", "wow64", os.wow64 ? 1 : 0);
  ini.Set("os", "windir", os.windir);
  ini.SetInt("user", "admin", 1);
  ini.SetInt("user", "shutdown_privilege", 1);
  ini.SetInt("state", "clock", 0);
  ini.SetInt("state", "next_pid", 1000);
  if (!ini.Save(dir + "/machine.ini")) throw MachineError(dir + "/machine.ini: cannot be written");

  // The folders every fresh Windows of this kind has; the spooler and the
  // set-up service make their own when they seed the machine.
  std::vector<std::string> folders = {os.windir, os.SystemDir(), os.windir + "\\Temp", "C:\\Program Files"};
  if (os.IsNT()) {
    folders.push_back(os.SystemDir() + "\\drivers\\etc");
    if (os.wow64) {
      folders.push_back(os.windir + "\\SysWOW64");
      folders.push_back("C:\\Program Files (x86)");
    }
  } else {
    folders.push_back(os.SystemDir() + "\\COLOR");
  }
  for (const auto& f : folders) MakeDirs(DrivePath(dir, f));

  // An empty registry; each subsystem seeds what Windows has of its own.
  FILE* reg = fopen((dir + "/registry.reg").c_str(), "wb");
  if (!reg) throw MachineError(dir + "/registry.reg: cannot be written");
  fputs("REGEDIT4\r\n\r\n", reg);
  fclose(reg);

  Open(dir);
  for (Subsystem* s : Subsystems()) s->Seed(*Instance());
  Close(true);
}

}  // namespace winsim
