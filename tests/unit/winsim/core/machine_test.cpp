// A fresh machine of every kind: the keys its registry, spooler and set-up
// service seed, and the key security of NT.
#include <gtest/gtest.h>
#include <windows.h>

#include "core/registry_tree.h"
#include "sim_machine.h"

using winsim::Registry;
using winsim::RegKey;

namespace {

struct SeedRow {
  const char* os;
  bool nt;
  bool wow64;
};

const SeedRow kSeeds[] = {
    {"95", false, false}, {"98", false, false},  {"me", false, false},   {"nt4", true, false}, {"2000", true, false},
    {"xp", true, false},  {"2003", true, false}, {"vista", true, false}, {"7", true, false},   {"7-x64", true, true},
};

TEST(FreshMachine, EveryKindOfWindowsHasItsKeys) {
  ASSERT_EQ(winsim::KnownOsKinds().size(), sizeof kSeeds / sizeof kSeeds[0]);
  for (const auto& row : kSeeds) {
    SimMachine machine(row.os);
    Registry& reg = Registry::Get();
    for (const char* path :
         {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", "HKLM\\SOFTWARE\\Classes",
          "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors",
          "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers", "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USB",
          "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USBPRINT", "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\Root",
          "HKLM\\SYSTEM\\Setup", "HKU\\.DEFAULT", "HKCU\\Software"})
      EXPECT_NE(nullptr, reg.Find(path)) << row.os << " " << path;
    RegKey* nt = reg.Find("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
    EXPECT_EQ(row.nt, nt != nullptr) << row.os;
    if (nt) {
      for (const char* value : {"ProductName", "CurrentVersion", "CurrentBuildNumber", "CSDVersion"})
        EXPECT_NE(nullptr, nt->Value(value)) << row.os << " " << value;
    }
    RegKey* x86 = reg.Find("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86");
    EXPECT_EQ(row.nt, x86 != nullptr) << row.os;
    if (x86) {
      EXPECT_EQ(std::string("w32x86", 7),
                std::string(x86->Value("Directory")->data.begin(), x86->Value("Directory")->data.end()));
    }
    EXPECT_EQ(row.wow64,
              reg.Find("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64") != nullptr)
        << row.os;
    EXPECT_EQ(row.wow64,
              reg.Find("HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall") != nullptr)
        << row.os;
    // NT protects its keys; 9x has no key security at all.
    EXPECT_EQ(row.nt, !reg.Find("HKLM")->dacl().empty()) << row.os;
    RegKey* enumKey = reg.Find("HKLM\\SYSTEM\\CurrentControlSet\\Enum");
    EXPECT_EQ(row.nt, enumKey->daclProtected()) << row.os;
  }
}

// The keys every installation of its family has, as a program opens them:
// through the predefined keys, and on 64-bit Windows in the 32-bit view.
TEST(FreshMachine, TheWellKnownKeysAreThere) {
  struct Row {
    HKEY root;
    const char* rootName;
    const char* subKey;
    bool ntOnly;
  } rows[] = {
      {HKEY_CLASSES_ROOT, "HKCR", "CLSID", false},
      {HKEY_CLASSES_ROOT, "HKCR", "Interface", false},
      {HKEY_CLASSES_ROOT, "HKCR", "TypeLib", false},
      {HKEY_CURRENT_CONFIG, "HKCC", "Software", false},
      {HKEY_CURRENT_CONFIG, "HKCC", "System", false},
      {HKEY_LOCAL_MACHINE, "HKLM", "HARDWARE\\DESCRIPTION\\System", false},
      {HKEY_LOCAL_MACHINE, "HKLM", "HARDWARE\\DEVICEMAP", true},
      {HKEY_LOCAL_MACHINE, "HKLM", "SAM\\SAM", true},
      {HKEY_LOCAL_MACHINE, "HKLM", "SECURITY", true},
      {HKEY_LOCAL_MACHINE, "HKLM", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", false},
      {HKEY_LOCAL_MACHINE, "HKLM", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", false},
      {HKEY_LOCAL_MACHINE, "HKLM", "SYSTEM\\CurrentControlSet\\Control", false},
      {HKEY_LOCAL_MACHINE, "HKLM", "SYSTEM\\CurrentControlSet\\Services", false},
      {HKEY_CURRENT_USER, "HKCU", "Control Panel", false},
      {HKEY_CURRENT_USER, "HKCU", "Environment", true},
      {HKEY_CURRENT_USER, "HKCU", "Software\\Microsoft\\Windows\\CurrentVersion", false},
      {HKEY_USERS, "HKU", ".DEFAULT\\Control Panel", false},
  };
  for (const auto& kind : kSeeds) {
    SimMachine machine(kind.os);
    for (const auto& row : rows) {
      SCOPED_TRACE(::testing::Message() << kind.os << " " << row.rootName << "\\" << row.subKey);
      HKEY h = nullptr;
      LONG result = RegOpenKeyExA(row.root, row.subKey, 0, READ_CONTROL, &h);
      EXPECT_EQ(row.ntOnly && !kind.nt ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS, result);
      if (result == ERROR_SUCCESS) RegCloseKey(h);
    }
    if (!kind.nt) continue;
    // The accounts and the security policy are SYSTEM's: an administrator
    // may read and change their security, nothing more.
    for (const char* secret : {"SAM\\SAM", "SECURITY"}) {
      SCOPED_TRACE(::testing::Message() << kind.os << " HKLM\\" << secret);
      HKEY h = nullptr;
      EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_LOCAL_MACHINE, secret, 0, KEY_READ, &h));
      EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, secret, 0, READ_CONTROL | WRITE_DAC, &h));
      RegCloseKey(h);
    }
  }
}

}  // namespace
