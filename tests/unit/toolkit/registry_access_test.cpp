// GrantRegistryAccess and DeleteRegistryTree on the registry of a simulated
// NT machine: the permission and key-path grammar, the entry merged into
// the key's DACL, and the printer's device key removed after the grant.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "allocation_faults.h"
#include "core/handles.h"
#include "core/registry_tree.h"
#include "journal_query.h"
#include "registry_access.h"
#include "sim_machine.h"

namespace {

const char kVendorKeyPath[] = "HKLM\\SOFTWARE\\VELKORA_LABEL_PRINTER";
const char kDeviceKeyPath[] = "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\VELKORA_KVL-M720";
const char kEveryoneFull[] = "/PG:Everyone:Fc";

// The explicit entry for the trustee that a grant, set or deny merged in.
const winsim::RegAce* ExplicitEntry(const char* path, const std::string& trustee) {
  winsim::RegKey* key = winsim::Registry::Get().Find(path);
  if (!key) return nullptr;
  for (const auto& ace : key->dacl())
    if (ace.trustee == trustee && !(ace.inheritance & INHERITED_ACE)) return &ace;
  return nullptr;
}

TEST(ParseAccessRights, CodesMasksAndStatus) {
  struct Row {
    std::string rights;
    long status;
    DWORD mask;
  };
  const Row rows[] = {
      {"", 0, 0},
      {"Fc", 0, 0xF003F},
      {"fC", 0, KEY_ALL_ACCESS},
      {"FcRd", 0, KEY_ALL_ACCESS},
      {"RdWr", 0, 0x2003F},
      {"rDwR", 0, 0x2003F},
      {"Wr", 0, 0x20026},
      {"Rd", 0, 0x20019},
      {"F", ERROR_INVALID_PARAMETER, 0},
      {"FcR", ERROR_INVALID_PARAMETER, 0},
      {"Xx", ERROR_INVALID_PARAMETER, 0},
      {"FcXxRd", ERROR_INVALID_PARAMETER, KEY_ALL_ACCESS},
      {"Fc:Rd", ERROR_INVALID_PARAMETER, 0},
      {std::string(510, 'x').replace(0, 2, "Rd"), ERROR_INVALID_PARAMETER, KEY_READ},
      {std::string(512, 'x').replace(0, 2, "Rd"), ERROR_INVALID_PARAMETER, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.rights.substr(0, 12) + " (" + std::to_string(r.rights.size()) + " characters)");
    DWORD mask = 0xdeadbeef;
    EXPECT_EQ(r.status, ParseAccessRights(r.rights.c_str(), &mask));
    EXPECT_EQ(r.mask, mask);
  }
}

TEST(GrantRegistryAccess, SpecificationAndPathGrammar) {
  struct Row {
    std::string path;
    std::string spec;
    long status;
    DWORD mask;  // of the explicit entry for Everyone; 0: none expected
    bool deny;
    bool registryCall;  // whether any registry call was made
  };
  const std::string vendor = kVendorKeyPath;
  const Row rows[] = {
      {vendor, kEveryoneFull, 0, 0xF003F, false, true},
      {"hklm\\SOFTWARE\\VELKORA_LABEL_PRINTER", kEveryoneFull, 0, KEY_ALL_ACCESS, false, true},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\VELKORA_LABEL_PRINTER", kEveryoneFull, 0, KEY_ALL_ACCESS, false, true},
      {"\\\\WINSIM\\HKLM\\SOFTWARE\\VELKORA_LABEL_PRINTER", kEveryoneFull, 0, KEY_ALL_ACCESS, false, true},
      {vendor, "/pg:Everyone:rdWR", 0, 0x2003F, false, true},
      {vendor, "::/PG::Everyone:FcRd", 0, KEY_ALL_ACCESS, false, true},
      {vendor, "/PG:Everyone:FcXx", 0, KEY_ALL_ACCESS, false, true},
      {vendor, "/PS:Everyone:Rd", 0, 0x20019, false, true},
      {vendor, "/PD:Everyone:Wr", 0, 0x20026, true, true},
      // A switch that is not /P changes nothing, though the key is opened.
      {vendor, "/XG:Everyone:Fc", 0, 0, false, true},
      // Refused before any registry call: the permission text first.
      {vendor, "", ERROR_INVALID_PARAMETER, 0, false, false},
      {vendor, ":::", ERROR_INVALID_PARAMETER, 0, false, false},
      {vendor, "/PG", ERROR_INVALID_PARAMETER, 0, false, false},
      {vendor, "/PG:Everyone", ERROR_INVALID_PARAMETER, 0, false, false},
      {vendor, "/PG:Everyone:", ERROR_INVALID_PARAMETER, 0, false, false},
      {"", "/PX:Everyone:Fc", ERROR_INVALID_PARAMETER, 0, false, false},
      {vendor, "/P:Everyone:Fc", ERROR_INVALID_PARAMETER, 0, false, false},
      {vendor, "/PG:Everyone:" + std::string(512, 'F'), ERROR_INVALID_PARAMETER, 0, false, false},
      // Then the path.
      {"", kEveryoneFull, ERROR_INVALID_PARAMETER, 0, false, false},
      {"\\\\\\", kEveryoneFull, ERROR_INVALID_PARAMETER, 0, false, false},
      {"HKXX\\SOFTWARE", kEveryoneFull, ERROR_INVALID_PARAMETER, 0, false, false},
      {"\\\\WINSIM\\HKCU\\Software", kEveryoneFull, ERROR_INVALID_PARAMETER, 0, false, false},
      {"\\\\WINSIM\\HKCR\\CLSID", kEveryoneFull, ERROR_INVALID_PARAMETER, 0, false, false},
      {"HKLM\\" + std::string(507, 'K'), kEveryoneFull, ERROR_INVALID_PARAMETER, 0, false, false},
      // The system's own refusals, passed on.
      {"\\\\ELSEWHERE\\HKLM\\SOFTWARE", kEveryoneFull, ERROR_BAD_NETPATH, 0, false, true},
      {"HKLM\\SOFTWARE\\NoSuchVendor", kEveryoneFull, ERROR_FILE_NOT_FOUND, 0, false, true},
      // Every root by either name: looked for, so the key's absence is the answer.
      {"HKU\\NoSuchUser", kEveryoneFull, ERROR_FILE_NOT_FOUND, 0, false, true},
      {"HKEY_USERS\\NoSuchUser", kEveryoneFull, ERROR_FILE_NOT_FOUND, 0, false, true},
      {"HKCR\\NoSuchClass", kEveryoneFull, ERROR_FILE_NOT_FOUND, 0, false, true},
      {"HKEY_CLASSES_ROOT\\NoSuchClass", kEveryoneFull, ERROR_FILE_NOT_FOUND, 0, false, true},
      {"HKCU\\NoSuchVendor", kEveryoneFull, ERROR_FILE_NOT_FOUND, 0, false, true},
      {"HKEY_CURRENT_USER\\NoSuchVendor", kEveryoneFull, ERROR_FILE_NOT_FOUND, 0, false, true},
      {"\\\\WINSIM\\HKLM\\SOFTWARE\\NoSuchVendor", kEveryoneFull, ERROR_FILE_NOT_FOUND, 0, false, true},
      {vendor, "/PG:Nobody:Fc", ERROR_NONE_MAPPED, 0, false, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.path.substr(0, 60) + " " + r.spec.substr(0, 30));
    SimMachine machine("vista");
    winsim::Registry::Get().Create(kVendorKeyPath);
    std::string spec = r.spec;
    EXPECT_EQ(r.status, GrantRegistryAccess(r.path.c_str(), spec.c_str()));
    EXPECT_EQ(r.spec, spec);
    const winsim::RegAce* ace = ExplicitEntry(kVendorKeyPath, "Everyone");
    if (r.mask) {
      ASSERT_NE(nullptr, ace);
      EXPECT_EQ(r.mask, ace->mask);
      EXPECT_EQ(r.deny, ace->deny);
      EXPECT_EQ((DWORD)CONTAINER_INHERIT_ACE, ace->inheritance);
    } else {
      EXPECT_EQ(nullptr, ace);
    }
    JournalQuery journal(machine);
    bool called =
        journal.Called("RegOpenKeyExA") || journal.Called("RegConnectRegistryA") || journal.Called("GetSecurityInfo");
    EXPECT_EQ(r.registryCall, called) << journal;
    // Every key opened, the remote root after a failed open included, is closed.
    EXPECT_EQ(0u, winsim::Handles::Count()) << journal;
  }
}

// Rights of odd length or unknown codes give an entry of no rights, which is
// applied all the same; without memory for the rights' work copy nothing is
// applied: a set entry of no rights would take the trustee's access away.
TEST(GrantRegistryAccess, WhatIsAppliedWhenTheRightsDoNotParse) {
  SimMachine machine("xp");
  winsim::Registry::Get().Create(kVendorKeyPath);
  for (const char* spec : {"/PG:Everyone:FcR", "/PG:Everyone:Xx"}) {
    SCOPED_TRACE(spec);
    size_t before = JournalQuery(machine).Calls("SetEntriesInAclA").size();
    EXPECT_EQ(0, GrantRegistryAccess(kVendorKeyPath, spec));
    JournalLines entries = JournalQuery(machine).Calls("SetEntriesInAclA");
    ASSERT_EQ(before + 1, entries.size());
    EXPECT_EQ(0, entries.back()["args"][1][0]["grfAccessPermissions"]) << entries.back();
    EXPECT_EQ("Everyone", entries.back()["args"][1][0]["Trustee"]["ptstrName"]) << entries.back();
  }
  ASSERT_EQ(0, GrantRegistryAccess(kVendorKeyPath, "/PG:Everyone:Rd"));
  {
    // The first allocation copies the access string, the second its rights.
    FailAllocation failing(FailAllocation::kMalloc, 2);
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, GrantRegistryAccess(kVendorKeyPath, "/PS:Everyone:Fc"));
    EXPECT_TRUE(failing.failed());
  }
  const winsim::RegAce* ace = ExplicitEntry(kVendorKeyPath, "Everyone");
  ASSERT_NE(nullptr, ace);
  EXPECT_EQ((DWORD)KEY_READ, ace->mask);
  {
    FailAllocation failing(FailAllocation::kMalloc, 1);
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, GrantRegistryAccess(kVendorKeyPath, "/PS:Everyone:Fc"));
  }
  EXPECT_EQ((DWORD)KEY_READ, ExplicitEntry(kVendorKeyPath, "Everyone")->mask);
  // The path's two work buffers: either one missing opens nothing.
  for (int nth : {1, 2}) {
    SCOPED_TRACE(nth);
    FailAllocation failing(FailAllocation::kMalloc, nth);
    HKEY key = (HKEY)1;
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, OpenRegistryPath(kVendorKeyPath, &key));
    EXPECT_TRUE(failing.failed());
    EXPECT_EQ(nullptr, key);
  }
}

TEST(GrantRegistryAccess, SubKeysInheritTheEntryAndRevokeTakesItAway) {
  SimMachine machine("7");
  winsim::Registry::Get().Create(std::string(kVendorKeyPath) + "\\Settings");
  ASSERT_EQ(0, GrantRegistryAccess(kVendorKeyPath));
  ASSERT_NE(nullptr, ExplicitEntry(kVendorKeyPath, "Everyone"));
  bool inherited = false;
  for (const auto& ace : winsim::Registry::Get().Find(std::string(kVendorKeyPath) + "\\Settings")->dacl())
    inherited |= ace.trustee == "Everyone" && ace.mask == KEY_ALL_ACCESS && (ace.inheritance & INHERITED_ACE);
  EXPECT_TRUE(inherited);

  // A revoke needs no rights field.
  EXPECT_EQ(0, GrantRegistryAccess(kVendorKeyPath, "/PR:Everyone"));
  EXPECT_EQ(nullptr, ExplicitEntry(kVendorKeyPath, "Everyone"));
}

TEST(GrantRegistryAccess, RootsAloneAndRepeatedCalls) {
  SimMachine machine("xp");
  winsim::Registry::Get().Create(kVendorKeyPath);
  winsim::Registry::Get().Create("HKLM\\SOFTWARE\\Other");
  for (const char* path : {"HKU", "HKU\\"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(0, GrantRegistryAccess(path, "/PG:Users:Rd"));
    EXPECT_NE(nullptr, ExplicitEntry("HKU", "Users"));
  }
  // The same text serves every call: nothing of it is used up.
  const char* spec = kEveryoneFull;
  EXPECT_EQ(0, GrantRegistryAccess(kVendorKeyPath, spec));
  EXPECT_EQ(0, GrantRegistryAccess("HKLM\\SOFTWARE\\Other", spec));
  EXPECT_NE(nullptr, ExplicitEntry(kVendorKeyPath, "Everyone"));
  EXPECT_NE(nullptr, ExplicitEntry("HKLM\\SOFTWARE\\Other", "Everyone"));
  // Two backslashes leave one on the sub-key, which the registry refuses.
  EXPECT_NE(0, GrantRegistryAccess("HKLM\\\\SOFTWARE\\Other", spec));
}

TEST(DeleteRegistryTree, TheDeviceKeyGoesOnlyAfterTheGrant) {
  for (const char* os : {"2000", "xp", "7-x64"}) {
    SCOPED_TRACE(os);
    SimMachine machine(os);
    winsim::Registry& reg = winsim::Registry::Get();
    reg.Create(std::string(kDeviceKeyPath) + "\\1&2A3B&0&USB001\\Device Parameters")->SetDword("Port", 1);
    // Administrators may not delete device keys until they grant themselves
    // the right: a path that names no key grants nothing.
    DeleteRegistryTree("");
    EXPECT_NE(nullptr, reg.Find(kDeviceKeyPath));
    JournalQuery journal(machine);
    JournalLines deletes = journal.Calls("SHDeleteKeyA");
    ASSERT_EQ(1u, deletes.size()) << journal;
    EXPECT_EQ(
        nlohmann::json::parse("[2147483650, \"SYSTEM\\\\CurrentControlSet\\\\Enum\\\\USBPRINT\\\\VELKORA_KVL-M720\"]"),
        deletes[0]["args"]);
    DeleteRegistryTree(kDeviceKeyPath);
    EXPECT_EQ(nullptr, reg.Find(kDeviceKeyPath));
    EXPECT_NE(nullptr, reg.Find("HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USBPRINT"));
  }
}

}  // namespace
