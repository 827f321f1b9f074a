// What a finished installation leaves for Windows: the uninstall entry, the
// vendor key on Vista and later and the uninstaller copied into the product
// folder, each read back through the program's own view of the registry and
// drive C:.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/registry_tree.h"
#include "install_engine.h"
#include "sim_files.h"
#include "sim_machine.h"
#include "sim_resources.h"
#include "windows_kind.h"

namespace {

const char kUninstallSubkey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VELKORA_KVL-M720";

// A value as the program reads it: its type and bytes, or type REG_NONE.
struct StoredValue {
  DWORD type = REG_NONE;
  std::string data;
};

StoredValue Read(const char* key, const char* name) {
  StoredValue v;
  HKEY h = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return v;
  char buffer[512];
  DWORD size = sizeof buffer;
  if (RegQueryValueExA(h, name, nullptr, &v.type, (LPBYTE)buffer, &size) == ERROR_SUCCESS)
    v.data.assign(buffer, size);
  else
    v.type = REG_NONE;
  RegCloseKey(h);
  return v;
}

std::string Sz(const std::string& text) { return text + std::string(1, '\0'); }

std::string WindowsDirectory() {
  char dir[MAX_PATH];
  GetWindowsDirectoryA(dir, sizeof dir);
  return dir;
}

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(UseResourceFile("installer.res")); }
  void TearDown() override { DropResourceFile(); }
};

TEST_F(RegistrationTest, EntryVendorKeyAndUninstallerOnEveryKind) {
  struct Row {
    const char* os;
    int kind;
    bool vendorKey;
    const char* installed;  // which of the two package files ends up installed
  };
  const Row rows[] = {
      {"2000", kWindows2000, false, "for 2000 to 2003"},
      {"xp", kWindowsXP, false, "for 2000 to 2003"},
      {"2003", kWindows2003, false, "for 2000 to 2003"},
      {"vista", kWindowsVista, true, "for Vista on"},
      {"7", kWindows7, true, "for Vista on"},
      {"7-x64", kWindows64, true, "for Vista on"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.os);
    SimMachine machine(r.os);
    ASSERT_TRUE(MakeDir("C:\\pkg"));
    ASSERT_TRUE(MakeFile("C:\\pkg\\KVLM720_Uninstaller.exe", "for 2000 to 2003"));
    ASSERT_TRUE(MakeFile("C:\\pkg\\KVLM720_Uninstaller_vista.exe", "for Vista on"));
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\pkg"));

    InstallEngine engine;
    engine.m_nWindowsKind = r.kind;
    engine.RegisterUninstall("C:\\WINDOWS\\inf\\oem3.inf");

    std::string target = WindowsDirectory() + "\\KVL-M720\\KVLM720_Uninstaller.exe";
    StoredValue name = Read(kUninstallSubkey, "DisplayName");
    EXPECT_EQ((DWORD)REG_SZ, name.type);
    EXPECT_EQ(Sz("VELKORA KVL-M720  Windows Driver V4.6.64"), name.data);
    StoredValue command = Read(kUninstallSubkey, "UninstallString");
    EXPECT_EQ((DWORD)REG_SZ, command.type);
    EXPECT_EQ(Sz(target), command.data);
    EXPECT_EQ(Sz("C:\\WINDOWS\\inf\\oem3.inf"), Read(kUninstallSubkey, "OemFileName").data);
    EXPECT_EQ(r.installed, FileText(target.c_str()));

    HKEY vendor = nullptr;
    LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\VELKORA_LABEL_PRINTER", 0, KEY_READ, &vendor);
    EXPECT_EQ(r.vendorKey, opened == ERROR_SUCCESS);
    if (vendor) RegCloseKey(vendor);
    if (r.vendorKey) {
      // The 32-bit program's view of the key: on 64-bit Windows it lies
      // under Wow6432Node.
      const char* stored = r.kind == kWindows64 ? "HKLM\\SOFTWARE\\Wow6432Node\\VELKORA_LABEL_PRINTER"
                                                : "HKLM\\SOFTWARE\\VELKORA_LABEL_PRINTER";
      winsim::RegKey* key = winsim::Registry::Get().Find(stored);
      ASSERT_NE(nullptr, key);
      bool everyone = false;
      for (const auto& ace : key->dacl())
        everyone |= ace.trustee == "Everyone" && !ace.deny && ace.mask == KEY_ALL_ACCESS &&
                    ace.inheritance == CONTAINER_INHERIT_ACE;
      EXPECT_TRUE(everyone);
    }
  }
}

TEST_F(RegistrationTest, ASecondInstallationOverwritesEverything) {
  SimMachine machine("xp");
  ASSERT_TRUE(MakeDir("C:\\pkg"));
  ASSERT_TRUE(MakeFile("C:\\pkg\\KVLM720_Uninstaller.exe", "first"));
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\pkg"));
  InstallEngine engine;
  engine.m_nWindowsKind = kWindowsXP;
  engine.RegisterUninstall("C:\\WINDOWS\\inf\\oem3.inf");
  ASSERT_TRUE(MakeFile("C:\\pkg\\KVLM720_Uninstaller.exe", "second"));
  // A copy that produced no name is stored as the empty string.
  engine.RegisterUninstall("");
  EXPECT_EQ(Sz(""), Read(kUninstallSubkey, "OemFileName").data);
  EXPECT_EQ("second", FileText((WindowsDirectory() + "\\KVL-M720\\KVLM720_Uninstaller.exe").c_str()));
}

}  // namespace
