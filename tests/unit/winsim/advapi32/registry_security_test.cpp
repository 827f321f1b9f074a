// Key DACLs through GetSecurityInfo, SetEntriesInAclA and SetSecurityInfo,
// and SHDeleteKeyA on the device keys before and after a grant.
#include <aclapi.h>
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

#include "core/key_security.h"
#include "core/registry_tree.h"
#include "sim_machine.h"

using winsim::RegAce;
using winsim::Registry;

namespace {

const char kDeviceSubkey[] = "SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\VELKORA_KVL-M720";

void SeedDeviceKeys() {
  winsim::RegKey* dev = Registry::Get().Create(std::string("HKLM\\") + kDeviceSubkey);
  dev->CreateChild("6&1a2b3c4d&0&USB001")->CreateChild("Device Parameters")->SetString("PortName", "USB001");
  dev->CreateChild("6&1a2b3c4d&0&USB002");
}

// A grant of full control to Everyone, inherited by the subkeys, as the
// programs make it; `access` is what the key is opened with.
DWORD GrantEveryoneFullControl(const char* subKey, REGSAM access = READ_CONTROL | WRITE_DAC | KEY_ENUMERATE_SUB_KEYS) {
  HKEY key = nullptr;
  LONG e = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, access, &key);
  if (e) return (DWORD)e;
  PACL oldDacl = nullptr, newDacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  DWORD r = GetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, &oldDacl, nullptr, &sd);
  if (r == ERROR_SUCCESS) {
    EXPLICIT_ACCESS_A ea;
    BuildExplicitAccessWithNameA(&ea, (LPSTR) "Everyone", KEY_ALL_ACCESS, GRANT_ACCESS, CONTAINER_INHERIT_ACE);
    r = SetEntriesInAclA(1, &ea, oldDacl, &newDacl);
    if (r == ERROR_SUCCESS)
      r = SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, newDacl, nullptr);
  }
  EXPECT_EQ(nullptr, LocalFree(newDacl));
  EXPECT_EQ(nullptr, LocalFree(sd));
  RegCloseKey(key);
  return r;
}

TEST(SHDeleteKeyA, DeviceKeysGoOnlyAfterTheGrant) {
  for (const char* os : {"2000", "xp", "vista", "7", "7-x64"}) {
    SimMachine machine(os);
    SeedDeviceKeys();
    SetLastError(0xdeadbeef);
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, SHDeleteKeyA(HKEY_LOCAL_MACHINE, kDeviceSubkey)) << os;
    EXPECT_NE(nullptr, Registry::Get().Find(std::string("HKLM\\") + kDeviceSubkey)) << os;

    EXPECT_EQ((DWORD)ERROR_SUCCESS, GrantEveryoneFullControl(kDeviceSubkey)) << os;
    // The grant reaches the subkeys through inheritance, not by a visit.
    winsim::RegKey* params =
        Registry::Get().Find(std::string("HKLM\\") + kDeviceSubkey + "\\6&1a2b3c4d&0&USB001\\Device Parameters");
    ASSERT_NE(nullptr, params) << os;
    EXPECT_EQ("Everyone", params->dacl()[0].trustee) << os;
    EXPECT_EQ((DWORD)(INHERITED_ACE | CONTAINER_INHERIT_ACE), params->dacl()[0].inheritance) << os;

    EXPECT_EQ((DWORD)ERROR_SUCCESS, SHDeleteKeyA(HKEY_LOCAL_MACHINE, kDeviceSubkey)) << os;
    EXPECT_EQ(nullptr, Registry::Get().Find(std::string("HKLM\\") + kDeviceSubkey)) << os;
    EXPECT_NE(nullptr, Registry::Get().Find("HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USBPRINT")) << os;
    EXPECT_EQ(0xdeadbeefu, GetLastError()) << os;
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, SHDeleteKeyA(HKEY_LOCAL_MACHINE, kDeviceSubkey)) << os;
  }
}

TEST(SetSecurityInfo, AHandleOpenedWithoutWriteDacCannotChangeTheDacl) {
  // READ_CONTROL | KEY_ENUMERATE_SUB_KEYS reads the DACL but cannot write it.
  SimMachine machine("xp");
  SeedDeviceKeys();
  EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GrantEveryoneFullControl(kDeviceSubkey, READ_CONTROL | KEY_ENUMERATE_SUB_KEYS));
  EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, SHDeleteKeyA(HKEY_LOCAL_MACHINE, kDeviceSubkey));
}

TEST(SHDeleteKeyA, DeletesWholeTreesOn9xWithoutSecurity) {
  SimMachine machine("98");
  SeedDeviceKeys();
  EXPECT_EQ((DWORD)ERROR_SUCCESS, SHDeleteKeyA(HKEY_LOCAL_MACHINE, kDeviceSubkey));
  EXPECT_EQ(nullptr, Registry::Get().Find(std::string("HKLM\\") + kDeviceSubkey));
}

TEST(SetEntriesInAclA, TrusteeNames) {
  struct {
    const char* name;
    DWORD expected;
    const char* trustee;
  } rows[] = {
      {"Everyone", ERROR_SUCCESS, "Everyone"},
      {"everyone", ERROR_SUCCESS, "Everyone"},
      {"Administrators", ERROR_SUCCESS, "Administrators"},
      {"BUILTIN\\Administrators", ERROR_SUCCESS, "Administrators"},
      {"SYSTEM", ERROR_SUCCESS, "SYSTEM"},
      {"NT AUTHORITY\\SYSTEM", ERROR_SUCCESS, "SYSTEM"},
      {"Users", ERROR_SUCCESS, "Users"},
      {"CREATOR OWNER", ERROR_SUCCESS, "CREATOR OWNER"},
      {"Power Users", ERROR_SUCCESS, "Power Users"},
      {"Authenticated Users", ERROR_SUCCESS, "Authenticated Users"},
      {"User", ERROR_SUCCESS, "User"},
      {"WINSIM\\User", ERROR_SUCCESS, "User"},
      {"CURRENT_USER", ERROR_SUCCESS, "User"},
      {"Guest", ERROR_NONE_MAPPED, nullptr},
      {"Every one", ERROR_NONE_MAPPED, nullptr},
      {"BUILTIN\\SYSTEM", ERROR_NONE_MAPPED, nullptr},
      {"", ERROR_NONE_MAPPED, nullptr},
  };
  SimMachine machine("xp");
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string("trustee '") + row.name + "'");
    EXPLICIT_ACCESS_A ea;
    BuildExplicitAccessWithNameA(&ea, (LPSTR)row.name, KEY_READ, GRANT_ACCESS, 0);
    EXPECT_EQ(TRUSTEE_IS_NAME, ea.Trustee.TrusteeForm);
    EXPECT_EQ(TRUSTEE_IS_UNKNOWN, ea.Trustee.TrusteeType);
    EXPECT_EQ(NO_MULTIPLE_TRUSTEE, ea.Trustee.MultipleTrusteeOperation);
    PACL acl = (PACL)(uintptr_t)0x1234;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(row.expected, SetEntriesInAclA(1, &ea, nullptr, &acl)) << row.name;
    if (row.expected != ERROR_SUCCESS) {
      EXPECT_EQ(nullptr, acl) << row.name;
      continue;
    }
    std::vector<RegAce> aces;
    ASSERT_EQ(0u, winsim::DecodeAcl(acl, &aces)) << row.name;
    ASSERT_EQ(1u, aces.size()) << row.name;
    EXPECT_EQ(row.trustee, aces[0].trustee) << row.name;
    EXPECT_EQ(nullptr, LocalFree(acl));
  }
}

TEST(SetEntriesInAclA, AccessModes) {
  const DWORD CI = CONTAINER_INHERIT_ACE;
  const std::vector<RegAce> old = {
      {"Everyone", KEY_READ, false, CI},
      {"Users", KEY_READ, false, 0},
      {"Administrators", KEY_ALL_ACCESS, false, INHERITED_ACE | CI},
  };
  struct {
    const char* what;
    const char* trustee;
    ACCESS_MODE mode;
    DWORD rights;
    DWORD inheritance;
    std::vector<RegAce> expected;
  } rows[] = {
      {"grant merges into the entry with the same inheritance",
       "Everyone",
       GRANT_ACCESS,
       KEY_WRITE,
       CI,
       {{"Everyone", KEY_READ | KEY_WRITE, false, CI}, old[1], old[2]}},
      {"grant with other inheritance adds an entry",
       "Everyone",
       GRANT_ACCESS,
       KEY_WRITE,
       0,
       {old[0], old[1], {"Everyone", KEY_WRITE, false, 0}, old[2]}},
      {"grant to a new trustee adds an entry",
       "SYSTEM",
       GRANT_ACCESS,
       KEY_ALL_ACCESS,
       CI,
       {old[0], old[1], {"SYSTEM", KEY_ALL_ACCESS, false, CI}, old[2]}},
      {"set replaces the trustee's allow entries",
       "Everyone",
       SET_ACCESS,
       KEY_WRITE,
       0,
       {old[1], {"Everyone", KEY_WRITE, false, 0}, old[2]}},
      {"deny goes in front", "Users", DENY_ACCESS, DELETE, 0, {{"Users", DELETE, true, 0}, old[0], old[1], old[2]}},
      {"revoke removes the trustee's entries", "Users", REVOKE_ACCESS, 0, 0, {old[0], old[2]}},
      {"inherited entries are not the trustee's own", "Administrators", REVOKE_ACCESS, 0, 0, old},
      {"not used changes nothing", "Everyone", NOT_USED_ACCESS, KEY_ALL_ACCESS, 0, old},
  };
  SimMachine machine("xp");
  std::vector<uint8_t> oldAcl = winsim::EncodeAcl(old);
  for (const auto& row : rows) {
    EXPLICIT_ACCESS_A ea;
    BuildExplicitAccessWithNameA(&ea, (LPSTR)row.trustee, row.rights, row.mode, row.inheritance);
    PACL acl = nullptr;
    ASSERT_EQ((DWORD)ERROR_SUCCESS, SetEntriesInAclA(1, &ea, (PACL)oldAcl.data(), &acl)) << row.what;
    std::vector<RegAce> aces;
    ASSERT_EQ(0u, winsim::DecodeAcl(acl, &aces)) << row.what;
    ASSERT_EQ(row.expected.size(), aces.size()) << row.what;
    for (size_t i = 0; i < aces.size(); ++i) {
      EXPECT_EQ(row.expected[i].trustee, aces[i].trustee) << row.what << " #" << i;
      EXPECT_EQ(row.expected[i].mask, aces[i].mask) << row.what << " #" << i;
      EXPECT_EQ(row.expected[i].deny, aces[i].deny) << row.what << " #" << i;
      EXPECT_EQ(row.expected[i].inheritance, aces[i].inheritance) << row.what << " #" << i;
    }
    LocalFree(acl);
  }
}

TEST(SetEntriesInAclA, BadInput) {
  SimMachine machine("xp");
  EXPLICIT_ACCESS_A ea;
  BuildExplicitAccessWithNameA(&ea, (LPSTR) "Everyone", KEY_READ, GRANT_ACCESS, 0);
  PACL acl = nullptr;
  EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, SetEntriesInAclA(1, &ea, nullptr, nullptr));
  EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, SetEntriesInAclA(1, nullptr, nullptr, &acl));
  ea.grfAccessMode = (ACCESS_MODE)42;
  EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, SetEntriesInAclA(1, &ea, nullptr, &acl));
  BYTE broken[8] = {9, 0, 8, 0, 0, 0, 0, 0};
  ea.grfAccessMode = GRANT_ACCESS;
  EXPECT_EQ((DWORD)ERROR_INVALID_ACL, SetEntriesInAclA(1, &ea, (PACL)broken, &acl));
  EXPECT_EQ((DWORD)ERROR_SUCCESS, SetEntriesInAclA(0, nullptr, nullptr, &acl));
  EXPECT_EQ(nullptr, acl);
}

TEST(KeySecurity, NinetyFiveFamilyHasNone) {
  SimMachine machine("98");
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key));
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  EXPECT_EQ((DWORD)ERROR_CALL_NOT_IMPLEMENTED,
            GetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr, &sd));
  EXPLICIT_ACCESS_A ea;
  BuildExplicitAccessWithNameA(&ea, (LPSTR) "Everyone", KEY_READ, GRANT_ACCESS, 0);
  PACL acl = nullptr;
  EXPECT_EQ((DWORD)ERROR_CALL_NOT_IMPLEMENTED, SetEntriesInAclA(1, &ea, nullptr, &acl));
  RegCloseKey(key);
}

TEST(GetSecurityInfo, HandsOutALocalAllocDescriptorHoldingTheDacl) {
  SimMachine machine("xp");
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Enum", 0, READ_CONTROL, &key));
  PACL dacl = nullptr;
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  ASSERT_EQ((DWORD)ERROR_SUCCESS,
            GetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION, &owner,
                            nullptr, &dacl, nullptr, &sd));
  ASSERT_NE(nullptr, sd);
  EXPECT_TRUE((BYTE*)dacl > (BYTE*)sd && (BYTE*)owner > (BYTE*)sd);
  EXPECT_STREQ("Administrators", winsim::SidTrustee(owner, 68));
  std::vector<RegAce> aces;
  ASSERT_EQ(0u, winsim::DecodeAcl(dacl, &aces));
  ASSERT_EQ(3u, aces.size());
  EXPECT_EQ("SYSTEM", aces[0].trustee);
  EXPECT_EQ((ACCESS_MASK)(READ_CONTROL | WRITE_DAC | KEY_READ), aces[1].mask);
  EXPECT_EQ(nullptr, LocalFree(sd));
  EXPECT_EQ(sd, LocalFree(sd)) << "freed once only";
  // The descriptor is where the parts live: without it the call refuses.
  EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                                            nullptr, &dacl, nullptr, nullptr));
  EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER,
            GetSecurityInfo(key, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr, &sd));
  RegCloseKey(key);
}

TEST(SetSecurityInfo, PassesInheritableEntriesToExistingSubkeys) {
  SimMachine machine("xp");
  winsim::RegKey* top = Registry::Get().Create("HKLM\\SOFTWARE\\Top");
  winsim::RegKey* open = top->CreateChild("Open")->CreateChild("Deep");
  winsim::RegKey* shut = top->CreateChild("Shut");
  shut->SetExplicitDacl({{"SYSTEM", KEY_ALL_ACCESS, false, CONTAINER_INHERIT_ACE}}, true);
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Top", 0, WRITE_DAC, &key));
  std::vector<uint8_t> acl = winsim::EncodeAcl({{"Power Users", KEY_READ, false, CONTAINER_INHERIT_ACE}});
  ASSERT_EQ((DWORD)ERROR_SUCCESS, SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                                  (PACL)acl.data(), nullptr));
  // Top: its own entry, then what HKLM passes on.
  ASSERT_EQ(4u, top->dacl().size());
  EXPECT_EQ("Power Users", top->dacl()[0].trustee);
  ASSERT_EQ(4u, open->dacl().size());
  EXPECT_EQ("Power Users", open->dacl()[0].trustee);
  EXPECT_EQ((DWORD)(INHERITED_ACE | CONTAINER_INHERIT_ACE), open->dacl()[0].inheritance);
  // A protected key keeps its own DACL.
  ASSERT_EQ(1u, shut->dacl().size());
  EXPECT_EQ("SYSTEM", shut->dacl()[0].trustee);

  BYTE broken[8] = {2, 0, 4, 0, 1, 0, 0, 0};
  EXPECT_EQ((DWORD)ERROR_INVALID_ACL,
            SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, (PACL)broken, nullptr));
  RegCloseKey(key);
  // Without WRITE_DAC on the handle the DACL stays.
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Top", 0, READ_CONTROL, &key));
  EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                                        nullptr, (PACL)acl.data(), nullptr));
  RegCloseKey(key);
}

TEST(SetSecurityInfo, ANullDaclLetsEveryoneIn) {
  SimMachine machine("xp");
  ASSERT_TRUE(machine.SetIni("user", "admin", "0"));
  Registry::Get().Create("HKLM\\SOFTWARE\\Open");
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Open", 0, KEY_SET_VALUE, &key));
  Registry::Get().Find("HKLM\\SOFTWARE\\Open")->SetNullDacl(true);
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Open", 0, KEY_SET_VALUE, &key));
  RegCloseKey(key);
}

}  // namespace
