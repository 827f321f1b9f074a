// The simulated Windows machine: a directory with machine.ini, registry.reg,
// drive_c/ and journal.jsonl. One machine is open per process; the programs
// open the one named by WINSIM_MACHINE on their first Win32 call, tests open
// one explicitly.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/ini.h"

namespace winsim {

// A machine whose files cannot be used (bad machine.ini, a registry.reg that
// does not parse). Its message names the file and line.
struct MachineError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct OsInfo {
  unsigned platform = 2;  // VER_PLATFORM_WIN32_NT
  unsigned major = 5;
  unsigned minor = 1;
  unsigned build = 2600;
  std::string csd;
  bool wow64 = false;
  bool hasIsWow64Process = true;
  bool hasSetupUninstallOEMInf = true;  // SETUPAPI of XP and later
  std::string windir = "C:\\WINDOWS";

  bool IsNT() const { return platform == 2; }
  // The system directory the programs see: System32 on NT, SYSTEM on 9x.
  std::string SystemDir() const { return windir + (IsNT() ? "\\system32" : "\\SYSTEM"); }
};

// A known kind of Windows for `winsim new`.
struct OsKind {
  const char* name;
  const char* description;
  OsInfo info;
};
const std::vector<OsKind>& KnownOsKinds();
const OsKind* FindOsKind(const std::string& name);
std::string KnownOsNames();  // "95, 98, me, ..." for messages

// Parts of the machine that keep state (registry, files, spooler, windows)
// register here, so that opening, saving and reloading reach all of them.
class Subsystem {
 public:
  explicit Subsystem(int order);
  virtual ~Subsystem();
  virtual void Load(class Machine& m) = 0;  // may throw MachineError
  virtual void Save(class Machine& m) = 0;
  virtual void Unload() = 0;
  // The process ends (Machine::Close): per-process state such as handles
  // and enabled privileges goes with it. Not called by ReloadAll.
  virtual void EndProcess() {}
  // The process asked Windows to log the user off, or to shut down or
  // restart, and now ends; what does not outlive that goes before the
  // machine is written back.
  virtual void EndSession(bool /*shutdown*/) {}
  // Fills a freshly created machine with what Windows of its kind has.
  virtual void Seed(class Machine&) {}
  int order() const { return m_order; }

 private:
  int m_order;
};

// Per-process state (windows, timers, handles of a kind, enabled
// privileges) that nothing saves and that ends with the process.
class ProcessState : public Subsystem {
 public:
  ProcessState(int order, void (*reset)()) : Subsystem(order), m_reset(reset) {}
  void Load(Machine&) override {}
  void Save(Machine&) override {}
  void Unload() override {}
  void EndProcess() override { m_reset(); }

 private:
  void (*m_reset)();
};

class Machine {
 public:
  // The open machine; opens WINSIM_MACHINE on first use, and ends the
  // process with a message when there is none.
  static Machine& Current();
  static bool IsOpen();
  static void Open(const std::string& dir);  // throws MachineError
  static void Close(bool save = true);
  // Write everything back (before a child process runs) and read it again
  // (after it ended), as the parent of a simulated process does.
  static void SaveAll();
  static void ReloadAll();
  // Create a fresh machine of a known kind (throws MachineError).
  static void Create(const std::string& dir, const std::string& osName);

  const std::string& dir() const { return m_dir; }
  std::string PathOf(const std::string& file) const { return m_dir + "/" + file; }
  IniFile& ini() { return m_ini; }
  const OsInfo& os() const { return m_os; }

  // The user: an administrator holding the shutdown privilege unless
  // machine.ini says otherwise.
  bool userIsAdmin() const { return m_admin; }
  bool userHasShutdownPrivilege() const { return m_shutdownPrivilege; }

  // Virtual time in milliseconds; Sleep advances it.
  uint64_t Now() const { return m_clock; }
  void Advance(uint64_t ms);
  bool realtime() const { return m_realtime; }

  unsigned pid() const { return m_pid; }
  unsigned NextPid();
  // ExitWindowsEx: the session ends when this process ends.
  void MarkRestarted(unsigned flags);
  bool restarted() const;

 private:
  Machine() = default;
  void LoadIni();
  void SaveIni();

  std::string m_dir;
  IniFile m_ini;
  OsInfo m_os;
  bool m_admin = true;
  bool m_shutdownPrivilege = true;
  bool m_realtime = false;
  uint64_t m_clock = 0;
  unsigned m_pid = 0;
  long m_sessionEnd = -1;  // the EWX_ flags asked for by this process, or -1
};

}  // namespace winsim
