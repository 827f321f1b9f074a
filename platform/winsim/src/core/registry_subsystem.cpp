// The registry's part of the machine: registry.reg, read when the machine
// opens and written back atomically when it closes, and the keys of a fresh
// machine that belong to no simulated service. The spooler and the set-up
// service seed their own keys (winspool/spooler_store.cpp,
// setupapi/device_store.cpp).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/machine.h"
#include "core/registry_tree.h"

namespace winsim {

namespace {

RegAce Ace(const char* trustee, ACCESS_MASK mask) { return RegAce{trustee, mask, false, CONTAINER_INHERIT_ACE}; }

struct ProductName {
  const char* os;
  const char* name;
};

const ProductName kProductNames[] = {
    {"95", "Microsoft Windows 95"},
    {"98", "Microsoft Windows 98"},
    {"me", "Microsoft Windows ME"},
    {"nt4", "Microsoft Windows NT"},
    {"2000", "Microsoft Windows 2000"},
    {"xp", "Microsoft Windows XP"},
    {"2003", "Microsoft Windows Server 2003"},
    {"vista", "Windows Vista (TM) Business"},
    {"7", "Windows 7 Professional"},
    {"7-x64", "Windows 7 Professional"},
};

class RegistrySubsystem : public Subsystem {
 public:
  RegistrySubsystem() : Subsystem(10) {}

  void Load(Machine& m) override {
    Registry::Unload();
    std::string path = m.PathOf("registry.reg");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw MachineError(path + ": cannot be read");
    std::stringstream text;
    text << in.rdbuf();
    Registry::Load(text.str(), path);
  }

  void Save(Machine& m) override {
    if (!Registry::Loaded()) return;
    namespace fs = std::filesystem;
    std::string path = m.PathOf("registry.reg");
    std::string tmp = path + ".tmp";
    std::string text = Registry::Get().Export();
    {
      std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
      out.write(text.data(), (std::streamsize)text.size());
      out.flush();
      if (!out) {
        fprintf(stderr, "winsim: cannot write %s\n", tmp.c_str());
        return;
      }
    }
    std::error_code ec;
    fs::rename(tmp, path, ec);
    if (ec) fprintf(stderr, "winsim: cannot replace %s: %s\n", path.c_str(), ec.message().c_str());
  }

  void Unload() override { Registry::Unload(); }

  void EndSession(bool shutdown) override;

  void Seed(Machine& m) override;
};

RegistrySubsystem g_registry;

// HKLM\HARDWARE, which NT builds anew at every start and keeps in memory
// only: its keys are volatile there.
void SeedHardware(Registry& reg, const OsInfo& os) {
  const char* const keys[] = {"HKLM\\HARDWARE\\DESCRIPTION\\System", "HKLM\\HARDWARE\\DEVICEMAP",
                              "HKLM\\HARDWARE\\RESOURCEMAP"};
  for (const char* path : keys) {
    if (!os.IsNT() && path != keys[0]) continue;
    std::string sofar = "HKLM";
    for (const std::string& name : SplitKeyPath(path).names) {
      sofar += "\\" + name;
      reg.Create(sofar)->SetVolatile(os.IsNT());
    }
  }
}

void RegistrySubsystem::EndSession(bool shutdown) {
  if (!Registry::Loaded()) return;
  Registry& reg = Registry::Get();
  reg.EndSession(shutdown);
  if (shutdown) SeedHardware(reg, Machine::Current().os());
}

// The registry a fresh Windows of the machine's kind has, as far as the
// programs use it and no simulated service owns it.
//
// Key security on NT: HKEY_LOCAL_MACHINE and HKEY_USERS grant Administrators
// and SYSTEM KEY_ALL_ACCESS and Users KEY_READ, inherited by every subkey.
// HKLM\SYSTEM\CurrentControlSet\Enum does not inherit: SYSTEM has
// KEY_ALL_ACCESS, Administrators only READ_CONTROL | WRITE_DAC | KEY_READ and
// Everyone KEY_READ, so an administrator can read the device keys and change
// their DACL but deletes them only after granting himself the right. The
// user owns HKEY_CURRENT_USER. HKLM\SAM and HKLM\SECURITY are SYSTEM's:
// Administrators may only read and change their DACL. Windows 9x has no key
// security at all.
void RegistrySubsystem::Seed(Machine& m) {
  const OsInfo& os = m.os();
  Registry& reg = Registry::Get();
  std::string osName = m.ini().Get("os", "name", "");
  if (os.IsNT()) {
    std::vector<RegAce> machine = {Ace("Administrators", KEY_ALL_ACCESS), Ace("SYSTEM", KEY_ALL_ACCESS),
                                   Ace("Users", KEY_READ)};
    reg.Find("HKEY_LOCAL_MACHINE")->SetExplicitDacl(machine, true);
    reg.Find("HKEY_USERS")->SetExplicitDacl(machine, true);
    reg.Find("HKEY_CURRENT_USER")
        ->SetExplicitDacl(
            {Ace("User", KEY_ALL_ACCESS), Ace("Administrators", KEY_ALL_ACCESS), Ace("SYSTEM", KEY_ALL_ACCESS)}, true);
  }

  const char* product = "Microsoft Windows";
  for (const auto& p : kProductNames)
    if (osName == p.os) product = p.name;

  std::vector<std::string> views = {"HKLM\\SOFTWARE"};
  if (os.wow64) views.push_back("HKLM\\SOFTWARE\\Wow6432Node");
  for (const auto& software : views) {
    bool wow = software != "HKLM\\SOFTWARE";
    RegKey* cv = reg.Create(software + "\\Microsoft\\Windows\\CurrentVersion");
    cv->SetString("ProgramFilesDir", wow ? "C:\\Program Files (x86)" : "C:\\Program Files");
    cv->SetString("CommonFilesDir", wow ? "C:\\Program Files (x86)\\Common Files" : "C:\\Program Files\\Common Files");
    if (!os.IsNT()) {
      char version[32];
      snprintf(version, sizeof version, "%u.%02u.%u", os.major, os.minor, os.build);
      cv->SetString("ProductName", product);
      cv->SetString("VersionNumber", version);
      cv->SetString("SystemRoot", os.windir);
    }
    reg.Create(software + "\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    reg.Create(software + "\\Microsoft\\Windows\\CurrentVersion\\Run");
    reg.Create(software + "\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
    if (os.IsNT()) {
      char version[16], build[16];
      snprintf(version, sizeof version, "%u.%u", os.major, os.minor);
      snprintf(build, sizeof build, "%u", os.build);
      RegKey* nt = reg.Create(software + "\\Microsoft\\Windows NT\\CurrentVersion");
      nt->SetString("ProductName", product);
      nt->SetString("CurrentVersion", version);
      nt->SetString("CurrentBuildNumber", build);
      if (!os.csd.empty()) nt->SetString("CSDVersion", os.csd);
      nt->SetString("SystemRoot", os.windir);
    }
  }
  // The keys every Windows of the family has, as far as no service owns them.
  for (const char* key : {"CLSID", "Interface", "TypeLib"}) reg.Create(std::string("HKLM\\SOFTWARE\\Classes\\") + key);
  if (os.wow64)
    for (const char* key : {"CLSID", "Interface"})
      reg.Create(std::string("HKLM\\SOFTWARE\\Classes\\Wow6432Node\\") + key);
  SeedHardware(reg, os);
  for (const char* key : {"HKLM\\SYSTEM\\CurrentControlSet\\Control", "HKLM\\SYSTEM\\CurrentControlSet\\Services",
                          "HKCC\\Software", "HKCC\\System", "HKCU\\Control Panel",
                          "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion", "HKU\\.DEFAULT\\Control Panel"})
    reg.Create(key);
  if (os.IsNT()) {
    reg.Create("HKCU\\Environment");
    std::vector<RegAce> system = {Ace("SYSTEM", KEY_ALL_ACCESS), Ace("Administrators", READ_CONTROL | WRITE_DAC)};
    reg.Create("HKLM\\SAM\\SAM");
    reg.Find("HKLM\\SAM")->SetExplicitDacl(system, true);
    reg.Create("HKLM\\SECURITY")->SetExplicitDacl(system, true);
  }

  // The plug-and-play manager's tree; the set-up service adds its buses.
  RegKey* enumKey = reg.Create("HKLM\\SYSTEM\\CurrentControlSet\\Enum");
  if (os.IsNT())
    enumKey->SetExplicitDacl({Ace("SYSTEM", KEY_ALL_ACCESS), Ace("Administrators", READ_CONTROL | WRITE_DAC | KEY_READ),
                              Ace("Everyone", KEY_READ)},
                             true);
  reg.Create("HKLM\\SYSTEM\\Setup");
  reg.Create("HKLM\\SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current");
  reg.Create("HKU\\.DEFAULT");
  reg.Create("HKCU\\Software");
}

}  // namespace

}  // namespace winsim
