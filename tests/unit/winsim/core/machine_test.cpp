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

}  // namespace
