// ADVAPI32's registry functions on the simulated machine: the rights each
// call needs, the size dance of RegQueryValueExA, deletion on NT and 9x,
// handles of deleted keys and RegConnectRegistryA.
#include <aclapi.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <functional>

#include "core/faults.h"
#include "core/registry_tree.h"
#include "journal_query.h"
#include "sim_machine.h"

using winsim::Registry;

namespace {

const char kTestKey[] = "SOFTWARE\\VELKORA_TEST";

HKEY OpenTestKey(REGSAM sam) {
  HKEY h = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, sam, &h));
  return h;
}

void SeedTestKey() {
  winsim::RegKey* key = Registry::Get().Create(std::string("HKLM\\") + kTestKey);
  key->SetString("Name", "value");
  key->CreateChild("Sub");
}

struct RightRow {
  const char* call;
  ACCESS_MASK right;
  std::function<LONG(HKEY)> run;
};

std::vector<RightRow> RightRows() {
  return {
      {"RegQueryValueExA", KEY_QUERY_VALUE,
       [](HKEY h) {
         DWORD size = 0;
         return RegQueryValueExA(h, "Name", nullptr, nullptr, nullptr, &size);
       }},
      {"RegEnumValueA", KEY_QUERY_VALUE,
       [](HKEY h) {
         char name[32];
         DWORD size = sizeof name;
         return RegEnumValueA(h, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
       }},
      {"RegQueryInfoKeyA", KEY_QUERY_VALUE,
       [](HKEY h) {
         DWORD subkeys = 0;
         return RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr);
       }},
      {"RegSetValueExA", KEY_SET_VALUE,
       [](HKEY h) { return RegSetValueExA(h, "New", 0, REG_SZ, (const BYTE*)"x", 2); }},
      {"RegDeleteValueA", KEY_SET_VALUE, [](HKEY h) { return RegDeleteValueA(h, "Name"); }},
      {"RegEnumKeyExA", KEY_ENUMERATE_SUB_KEYS,
       [](HKEY h) {
         char name[32];
         DWORD size = sizeof name;
         return RegEnumKeyExA(h, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
       }},
      {"RegEnumKeyA", KEY_ENUMERATE_SUB_KEYS,
       [](HKEY h) {
         char name[32];
         return RegEnumKeyA(h, 0, name, sizeof name);
       }},
      {"GetSecurityInfo", READ_CONTROL,
       [](HKEY h) {
         PACL dacl = nullptr;
         PSECURITY_DESCRIPTOR sd = nullptr;
         LONG e = (LONG)GetSecurityInfo(h, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                                        &sd);
         LocalFree(sd);
         return e;
       }},
      {"SetSecurityInfo", WRITE_DAC,
       [](HKEY h) {
         PACL acl = nullptr;
         EXPLICIT_ACCESS_A ea;
         BuildExplicitAccessWithNameA(&ea, (LPSTR) "Everyone", KEY_READ, GRANT_ACCESS, 0);
         EXPECT_EQ((DWORD)ERROR_SUCCESS, SetEntriesInAclA(1, &ea, nullptr, &acl));
         LONG e = (LONG)SetSecurityInfo(h, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, acl, nullptr);
         LocalFree(acl);
         return e;
       }},
  };
}

TEST(RegistryAccess, EachCallNeedsItsRightOnTheHandle) {
  for (const auto& row : RightRows()) {
    SimMachine machine("xp");
    SeedTestKey();
    HKEY without = OpenTestKey(KEY_ALL_ACCESS & ~row.right);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(ERROR_ACCESS_DENIED, row.run(without)) << row.call << " without the right";
    EXPECT_EQ(0xdeadbeefu, GetLastError()) << row.call;
    HKEY with = OpenTestKey(row.right);
    EXPECT_EQ(ERROR_SUCCESS, row.run(with)) << row.call << " with only that right";
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(without));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(with));
  }
}

TEST(RegistryAccess, OpeningChecksTheKeysDacl) {
  SimMachine machine("xp");
  SeedTestKey();
  winsim::RegKey* key = Registry::Get().Find(std::string("HKLM\\") + kTestKey);
  key->SetExplicitDacl({{"Everyone", KEY_SET_VALUE, true, CONTAINER_INHERIT_ACE},
                        {"Everyone", KEY_ALL_ACCESS, false, CONTAINER_INHERIT_ACE}},
                       true);
  struct {
    REGSAM sam;
    LONG expected;
  } rows[] = {
      {KEY_READ, ERROR_SUCCESS},
      {KEY_SET_VALUE, ERROR_ACCESS_DENIED},
      {KEY_WRITE, ERROR_ACCESS_DENIED},
      {GENERIC_READ, ERROR_SUCCESS},
      {GENERIC_WRITE, ERROR_ACCESS_DENIED},
      {MAXIMUM_ALLOWED, ERROR_SUCCESS},
      {KEY_READ | DELETE, ERROR_SUCCESS},
      {0, ERROR_SUCCESS},
  };
  for (const auto& row : rows) {
    HKEY h = (HKEY)(uintptr_t)0x1234;
    EXPECT_EQ(row.expected, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, row.sam, &h)) << std::hex << row.sam;
    if (row.expected == ERROR_SUCCESS)
      RegCloseKey(h);
    else
      EXPECT_EQ(nullptr, h) << std::hex << row.sam;
  }
  // MAXIMUM_ALLOWED leaves out what the deny entry takes away.
  HKEY h = OpenTestKey(MAXIMUM_ALLOWED);
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(h, "x", 0, REG_SZ, (const BYTE*)"", 1));
  DWORD size = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(h, "Name", nullptr, nullptr, nullptr, &size));
  RegCloseKey(h);
  // RegOpenKeyA asks for MAXIMUM_ALLOWED too and gets the same.
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_LOCAL_MACHINE, kTestKey, &h));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(h, "x", 0, REG_SZ, (const BYTE*)"", 1));
  RegCloseKey(h);
}

TEST(RegistryAccess, CreatingNeedsCreateSubKeyOnTheParentsDaclNotOnTheHandle) {
  SimMachine machine("xp");
  SeedTestKey();
  // Every Windows ignores the access of the handle the key is created under.
  HKEY parent = OpenTestKey(KEY_QUERY_VALUE);
  HKEY child = nullptr;
  DWORD disposition = 0;
  EXPECT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(parent, "Child", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &child, &disposition));
  EXPECT_EQ((DWORD)REG_CREATED_NEW_KEY, disposition);
  RegCloseKey(child);
  EXPECT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(parent, "Child", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &child, &disposition));
  EXPECT_EQ((DWORD)REG_OPENED_EXISTING_KEY, disposition);
  RegCloseKey(child);
  // A DACL without KEY_CREATE_SUB_KEY refuses a new key below, whatever the handle.
  Registry::Get()
      .Find(std::string("HKLM\\") + kTestKey)
      ->SetExplicitDacl({{"Everyone", KEY_ALL_ACCESS & ~KEY_CREATE_SUB_KEY, false, 0}}, true);
  HKEY full = nullptr;
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\VELKORA_TEST\\Other\\Deeper", &full));
  EXPECT_EQ(nullptr, Registry::Get().Find("HKLM\\SOFTWARE\\VELKORA_TEST\\Other"));
  RegCloseKey(parent);
}

TEST(RegistryAccess, AUserWhoIsNoAdministratorReadsTheMachineKeysOnly) {
  SimMachine machine("xp");
  ASSERT_TRUE(machine.SetIni("user", "admin", "0"));
  HKEY h = nullptr;
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegCreateKeyA(HKEY_LOCAL_MACHINE, kTestKey, &h));
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &h));
  RegCloseKey(h);
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_WRITE, &h));
  EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Vendor", &h));
  RegCloseKey(h);
}

TEST(RegistryAccess, NinetyFiveFamilyIgnoresTheAccessAskedFor) {
  SimMachine machine("98");
  SeedTestKey();
  HKEY h = OpenTestKey(KEY_QUERY_VALUE);
  EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(h, "x", 0, REG_SZ, (const BYTE*)"1", 2));
  RegCloseKey(h);
}

TEST(RegQueryValueExA, SizeDance) {
  SimMachine machine("xp");
  const char path[] = "C:\\WINDOWS\\inf\\oem3.inf";
  winsim::RegKey* key = Registry::Get().Create(std::string("HKLM\\") + kTestKey);
  key->SetString("OemFileName", path);
  key->SetValue("Raw", REG_SZ, "abc", 3);
  key->SetDword("Count", 7);
  HKEY h = OpenTestKey(KEY_READ);

  DWORD type = 0, size = 0;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(h, "OemFileName", nullptr, &type, nullptr, &size));
  EXPECT_EQ((DWORD)REG_SZ, type);
  EXPECT_EQ((DWORD)sizeof path, size);
  EXPECT_EQ(0xdeadbeefu, GetLastError());

  BYTE buf[64];
  memset(buf, 0xbd, sizeof buf);
  size = sizeof path - 1;
  EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(h, "OemFileName", nullptr, &type, buf, &size));
  EXPECT_EQ((DWORD)sizeof path, size) << "the size needed";
  EXPECT_EQ(0xbd, buf[0]) << "a short buffer stays untouched";

  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(h, "OemFileName", nullptr, &type, buf, &size));
  EXPECT_STREQ(path, (const char*)buf);
  EXPECT_EQ(0xbd, buf[sizeof path]);

  // Stored without its zero: the size is the stored size. With room NT puts
  // a zero after the data; without room nothing is written past it.
  memset(buf, 0xbd, sizeof buf);
  size = sizeof buf;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(h, "Raw", nullptr, &type, buf, &size));
  EXPECT_EQ(3u, size);
  EXPECT_EQ(0, memcmp(buf, "abc", 3));
  EXPECT_EQ(0, buf[3]);
  memset(buf, 0xbd, sizeof buf);
  size = 3;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(h, "Raw", nullptr, &type, buf, &size));
  EXPECT_EQ(3u, size);
  EXPECT_EQ(0xbd, buf[3]);

  DWORD count = 0;
  size = sizeof count;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(h, "Count", nullptr, &type, (BYTE*)&count, &size));
  EXPECT_EQ((DWORD)REG_DWORD, type);
  EXPECT_EQ(7u, count);

  DWORD reserved = 0;
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExA(h, "Count", nullptr, &type, buf, nullptr));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExA(h, "Count", &reserved, &type, nullptr, &size));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(h, "Missing", nullptr, &type, nullptr, &size));
  RegCloseKey(h);
}

TEST(RegSetValueExA, StringLengthsAsEachFamilyTakesThem) {
  struct {
    const char* os;
    const char* data;
    DWORD count;
    size_t stored;
  } rows[] = {
      {"xp", "abc", 4, 4},   // counted with its zero
      {"xp", "abc", 3, 4},   // NT counts the zero the caller forgot
      {"xp", "abcd", 3, 3},  // no zero after the count: stored as given
      {"xp", "", 0, 0},      // nothing at all
      {"98", "abc", 1, 4},   // 9x takes the text up to its zero
  };
  for (const auto& row : rows) {
    SimMachine machine(row.os);
    SeedTestKey();
    HKEY h = OpenTestKey(KEY_ALL_ACCESS);
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(h, "S", 0, REG_SZ, (const BYTE*)row.data, row.count)) << row.os;
    EXPECT_EQ(row.stored, Registry::Get().Find(std::string("HKLM\\") + kTestKey)->Value("S")->data.size())
        << row.os << " '" << row.data << "' " << row.count;
    RegCloseKey(h);
  }
  SimMachine machine("xp");
  SeedTestKey();
  HKEY h = OpenTestKey(KEY_ALL_ACCESS);
  EXPECT_EQ(ERROR_NOACCESS, RegSetValueExA(h, "S", 0, REG_BINARY, nullptr, 4));
  RegCloseKey(h);
}

// NT keeps string data as UTF-16, so the largest value counts two bytes a
// character of a string; 9x keeps the ANSI bytes.
TEST(RegQueryInfoKeyA, LargestValueAsTheRegistryStoresIt) {
  struct Row {
    const char* what;
    const char* os;
    DWORD type;
    std::string data;
    DWORD largest;
  } rows[] = {
      {"a string", "xp", REG_SZ, std::string("data", 5), 10},
      {"a string on Windows 7", "7", REG_SZ, std::string("data", 5), 10},
      {"an expandable string", "xp", REG_EXPAND_SZ, std::string("%WINDIR%", 9), 18},
      {"a multi-string", "2000", REG_MULTI_SZ, std::string("a\0bc\0", 6), 12},
      {"binary data is counted as it is", "xp", REG_BINARY, std::string("data", 5), 7},
      {"a string on 9x", "98", REG_SZ, std::string("data", 5), 7},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.what << " on " << row.os);
    SimMachine machine(row.os);
    winsim::RegKey* key = Registry::Get().Create(std::string("HKLM\\") + kTestKey);
    key->SetValue("Other", REG_BINARY, "1234567", 7);
    key->SetValue("Value", row.type, row.data.data(), row.data.size());
    HKEY h = OpenTestKey(KEY_READ);
    DWORD values = 0, longestName = 0, largest = 0xdeadbeef;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                                              &longestName, &largest, nullptr, nullptr));
    EXPECT_EQ(2u, values);
    EXPECT_EQ(5u, longestName);
    EXPECT_EQ(row.largest, largest);
    RegCloseKey(h);
  }
}

// A volatile key lives as long as Windows runs: every process sees it, the
// next start of Windows does not. Below it only volatile keys may be made.
TEST(RegCreateKeyExA, VolatileKeysLastUntilWindowsRestarts) {
  SimMachine machine("xp");
  Registry& reg = Registry::Get();
  reg.Create(std::string("HKLM\\") + kTestKey);
  HKEY vol = nullptr, h = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\VELKORA_TEST\\Session", 0, nullptr,
                                           REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &vol, &disposition));
  EXPECT_EQ((DWORD)REG_CREATED_NEW_KEY, disposition);
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(vol, "State", 0, REG_SZ, (const BYTE*)"busy", 5));

  struct Row {
    const char* what;
    HKEY parent;
    const char* subKey;
    DWORD options;
    LONG result;
    const char* created;  // null: nothing new
  } rows[] = {
      {"a lasting key below a volatile one", vol, "Lasting", REG_OPTION_NON_VOLATILE, ERROR_CHILD_MUST_BE_VOLATILE,
       nullptr},
      {"a lasting key two below a volatile one", HKEY_LOCAL_MACHINE, "SOFTWARE\\VELKORA_TEST\\Session\\A\\B",
       REG_OPTION_NON_VOLATILE, ERROR_CHILD_MUST_BE_VOLATILE, nullptr},
      {"a volatile key below a volatile one", vol, "Step", REG_OPTION_VOLATILE, ERROR_SUCCESS,
       "HKLM\\SOFTWARE\\VELKORA_TEST\\Session\\Step"},
      {"the volatile key opened as lasting", HKEY_LOCAL_MACHINE, "SOFTWARE\\VELKORA_TEST\\Session",
       REG_OPTION_NON_VOLATILE, ERROR_SUCCESS, nullptr},
      {"a lasting key beside it", HKEY_LOCAL_MACHINE, "SOFTWARE\\VELKORA_TEST\\Kept", REG_OPTION_NON_VOLATILE,
       ERROR_SUCCESS, "HKLM\\SOFTWARE\\VELKORA_TEST\\Kept"},
      {"volatile keys below a lasting one, every new one volatile", HKEY_LOCAL_MACHINE,
       "SOFTWARE\\VELKORA_TEST\\Kept\\Run\\Now", REG_OPTION_VOLATILE, ERROR_SUCCESS,
       "HKLM\\SOFTWARE\\VELKORA_TEST\\Kept\\Run\\Now"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    h = (HKEY)(uintptr_t)0x1234;
    EXPECT_EQ(row.result,
              RegCreateKeyExA(row.parent, row.subKey, 0, nullptr, row.options, KEY_ALL_ACCESS, nullptr, &h, nullptr));
    if (row.result == ERROR_SUCCESS) RegCloseKey(h);
    if (row.created) {
      EXPECT_NE(nullptr, reg.Find(row.created));
    }
  }
  EXPECT_EQ(nullptr, reg.Find("HKLM\\SOFTWARE\\VELKORA_TEST\\Session\\Lasting"));
  EXPECT_EQ(nullptr, reg.Find("HKLM\\SOFTWARE\\VELKORA_TEST\\Session\\A"));
  RegCloseKey(vol);

  // A child process and the next process see it, with its value.
  winsim::Machine::SaveAll();
  winsim::Machine::ReloadAll();
  EXPECT_NE(nullptr, Registry::Get().Find("HKLM\\SOFTWARE\\VELKORA_TEST\\Session\\Step"));
  machine.Restart();
  winsim::RegKey* session = Registry::Get().Find("HKLM\\SOFTWARE\\VELKORA_TEST\\Session");
  ASSERT_NE(nullptr, session);
  EXPECT_NE(nullptr, session->Value("State"));
  EXPECT_EQ(ERROR_CHILD_MUST_BE_VOLATILE, RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\VELKORA_TEST\\Session\\X", &h));

  // Logging off leaves the machine's keys; a restart of Windows takes them.
  EXPECT_TRUE(ExitWindowsEx(EWX_LOGOFF, 0));
  machine.Restart();
  EXPECT_NE(nullptr, Registry::Get().Find("HKLM\\SOFTWARE\\VELKORA_TEST\\Session"));
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
  TOKEN_PRIVILEGES tp = {};
  tp.PrivilegeCount = 1;
  ASSERT_TRUE(LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &tp.Privileges[0].Luid));
  tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr));
  CloseHandle(token);
  EXPECT_TRUE(ExitWindowsEx(EWX_REBOOT, 0));
  machine.Restart();
  EXPECT_EQ(nullptr, Registry::Get().Find("HKLM\\SOFTWARE\\VELKORA_TEST\\Session"));
  EXPECT_EQ(nullptr, Registry::Get().Find("HKLM\\SOFTWARE\\VELKORA_TEST\\Kept\\Run"));
  EXPECT_NE(nullptr, Registry::Get().Find("HKLM\\SOFTWARE\\VELKORA_TEST\\Kept"));
  EXPECT_NE(nullptr, Registry::Get().Find("HKLM\\SOFTWARE\\VELKORA_TEST"));
  EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\VELKORA_TEST\\Session\\X", &h));
  RegCloseKey(h);
  // HKLM\HARDWARE is volatile, and built anew at the start.
  EXPECT_NE(nullptr, Registry::Get().Find("HKLM\\HARDWARE\\DESCRIPTION\\System"));
  EXPECT_EQ(ERROR_CHILD_MUST_BE_VOLATILE, RegCreateKeyA(HKEY_LOCAL_MACHINE, "HARDWARE\\Vendor", &h));
}

TEST(RegCreateKeyExA, VolatileKeysOfTheUserGoWhenTheUserLogsOff) {
  SimMachine machine("2000");
  HKEY h = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Session", 0, nullptr, REG_OPTION_VOLATILE,
                                           KEY_ALL_ACCESS, nullptr, &h, nullptr));
  RegCloseKey(h);
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Session", 0, nullptr, REG_OPTION_VOLATILE,
                                           KEY_ALL_ACCESS, nullptr, &h, nullptr));
  RegCloseKey(h);
  EXPECT_TRUE(ExitWindowsEx(EWX_LOGOFF, 0));
  machine.Restart();
  EXPECT_EQ(nullptr, Registry::Get().Find("HKCU\\Software\\Session"));
  EXPECT_NE(nullptr, Registry::Get().Find("HKCU\\Software"));
  EXPECT_NE(nullptr, Registry::Get().Find("HKLM\\SOFTWARE\\Session"));
}

TEST(RegCreateKeyExA, NinetyFiveFamilyMakesEveryKeyLasting) {
  SimMachine machine("98");
  HKEY h = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Session", 0, nullptr, REG_OPTION_VOLATILE,
                                           KEY_ALL_ACCESS, nullptr, &h, nullptr));
  RegCloseKey(h);
  EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Session\\Lasting", &h));
  RegCloseKey(h);
  EXPECT_TRUE(ExitWindowsEx(EWX_REBOOT, 0));
  machine.Restart();
  EXPECT_NE(nullptr, Registry::Get().Find("HKLM\\SOFTWARE\\Session\\Lasting"));
}

TEST(RegDeleteKeyA, KeyWithSubkeysOnNtAndOn9x) {
  struct {
    const char* os;
    const char* subKey;
    LONG expected;
    bool gone;
  } rows[] = {
      {"xp", "SOFTWARE\\VELKORA_TEST", ERROR_ACCESS_DENIED, false},
      {"7", "SOFTWARE\\VELKORA_TEST", ERROR_ACCESS_DENIED, false},
      {"xp", "SOFTWARE\\VELKORA_TEST\\Sub", ERROR_SUCCESS, true},
      {"98", "SOFTWARE\\VELKORA_TEST", ERROR_SUCCESS, true},
      {"xp", "SOFTWARE\\Missing", ERROR_FILE_NOT_FOUND, true},
      {"xp", "", ERROR_ACCESS_DENIED, false},
  };
  for (const auto& row : rows) {
    SimMachine machine(row.os);
    SeedTestKey();
    EXPECT_EQ(row.expected, RegDeleteKeyA(HKEY_LOCAL_MACHINE, row.subKey)) << row.os << " " << row.subKey;
    if (*row.subKey) {
      EXPECT_EQ(row.gone, Registry::Get().Find(std::string("HKLM\\") + row.subKey) == nullptr)
          << row.os << " " << row.subKey;
    }
  }
  SimMachine machine("xp");
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyA(HKEY_LOCAL_MACHINE, nullptr));
}

TEST(RegDeleteKeyA, NeedsDeleteOnTheSubkeysDacl) {
  SimMachine machine("xp");
  SeedTestKey();
  winsim::RegKey* sub = Registry::Get().Find(std::string("HKLM\\") + kTestKey + "\\Sub");
  sub->SetExplicitDacl({{"Everyone", KEY_ALL_ACCESS & ~DELETE, false, 0}}, true);
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\VELKORA_TEST\\Sub"));
  sub->SetExplicitDacl({{"Everyone", DELETE, false, 0}}, true);
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\VELKORA_TEST\\Sub"));
}

TEST(RegistryHandles, NullAndEmptySubkeys) {
  SimMachine machine("xp");
  SeedTestKey();
  HKEY h = (HKEY)(uintptr_t)0x1234;
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, nullptr, &h));
  EXPECT_EQ(HKEY_CURRENT_USER, h);
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, "", &h));
  EXPECT_EQ(HKEY_CURRENT_USER, h);
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "", 0, KEY_READ, &h));
  EXPECT_EQ(HKEY_LOCAL_MACHINE, h);
  EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, nullptr, &h));
  EXPECT_EQ(HKEY_LOCAL_MACHINE, h);

  HKEY key = OpenTestKey(KEY_READ);
  HKEY again = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(key, "", 0, KEY_READ, &again));
  EXPECT_NE(key, again);
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(again));
  EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(key, "", &again));
  EXPECT_NE(key, again);
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(again));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key)) << "closed twice";

  h = (HKEY)(uintptr_t)0x1234;
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExA(nullptr, "x", 0, KEY_READ, &h));
  EXPECT_EQ((HKEY)(uintptr_t)0x1234, h) << "left alone for a bad handle";
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, nullptr));
  EXPECT_EQ(ERROR_BADKEY, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "x", 0, nullptr, 0, KEY_READ, nullptr, nullptr, nullptr));
  // A leading backslash is a bad name, but below HKEY_CLASSES_ROOT.
  EXPECT_EQ(ERROR_BAD_PATHNAME, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\SOFTWARE", 0, KEY_READ, &h));
  EXPECT_EQ(ERROR_BAD_PATHNAME, RegCreateKeyA(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\New", &h));
  Registry::Get().Create("HKLM\\SOFTWARE\\Classes\\.lbl");
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, "\\.lbl", 0, KEY_READ, &h));
  RegCloseKey(h);
  // Trailing backslashes are fine.
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\VELKORA_TEST\\\\", 0, KEY_READ, &h));
  RegCloseKey(h);
}

TEST(RegistryHandles, AHandleToADeletedKey) {
  SimMachine machine("xp");
  SeedTestKey();
  HKEY sub = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\VELKORA_TEST\\Sub", 0, KEY_ALL_ACCESS, &sub));
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\VELKORA_TEST\\Sub"));
  DWORD size = 0;
  HKEY h = nullptr;
  EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExA(sub, "x", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExA(sub, "x", 0, REG_SZ, (const BYTE*)"", 1));
  EXPECT_EQ(ERROR_KEY_DELETED, RegCreateKeyA(sub, "Below", &h));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(sub));
}

TEST(RegistryHandles, SurviveAChildProcessRewritingTheRegistry) {
  SimMachine machine("xp");
  SeedTestKey();
  HKEY h = OpenTestKey(KEY_ALL_ACCESS);
  winsim::Machine::SaveAll();
  winsim::Machine::ReloadAll();
  DWORD size = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(h, "Name", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(6u, size);
  // The child deleted the key meanwhile.
  winsim::Machine::SaveAll();
  std::string text = machine.ReadFile("registry.reg") + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\VELKORA_TEST]\r\n";
  std::ofstream(machine.Path("registry.reg"), std::ios::binary | std::ios::trunc) << text;
  winsim::Machine::ReloadAll();
  EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExA(h, "Name", nullptr, nullptr, nullptr, &size));
  RegCloseKey(h);
}

TEST(RegistryHandles, EnumerationIsSortedAsNtSortsIt) {
  SimMachine machine("xp");
  winsim::RegKey* key = Registry::Get().Create(std::string("HKLM\\") + kTestKey);
  for (const char* name : {"zeta", "Alpha", "beta"}) key->CreateChild(name);
  HKEY h = OpenTestKey(KEY_READ);
  const char* expected[] = {"Alpha", "beta", "zeta"};
  for (DWORD i = 0; i < 3; ++i) {
    SCOPED_TRACE(::testing::Message() << "subkey " << i);
    char name[16];
    DWORD size = sizeof name;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyExA(h, i, name, &size, nullptr, nullptr, nullptr, nullptr)) << i;
    EXPECT_STREQ(expected[i], name);
    EXPECT_EQ(strlen(expected[i]), size);
  }
  char small[5];
  DWORD size = sizeof small;
  EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExA(h, 0, small, &size, nullptr, nullptr, nullptr, nullptr));
  size = 16;
  char name[16];
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExA(h, 3, name, &size, nullptr, nullptr, nullptr, nullptr));
  RegCloseKey(h);
}

struct ConnectRow {
  const char* machine;
  HKEY root;
  LONG expected;
};

TEST(RegConnectRegistryA, LocalNamesOnly) {
  const ConnectRow rows[] = {
      {nullptr, HKEY_LOCAL_MACHINE, ERROR_SUCCESS},
      {"", HKEY_LOCAL_MACHINE, ERROR_SUCCESS},
      {"\\\\WINSIM", HKEY_LOCAL_MACHINE, ERROR_SUCCESS},
      {"WINSIM", HKEY_USERS, ERROR_SUCCESS},
      {"\\\\winsim", HKEY_USERS, ERROR_SUCCESS},
      {"\\\\OTHERPC", HKEY_LOCAL_MACHINE, ERROR_BAD_NETPATH},
      {"\\\\WINSIMX", HKEY_LOCAL_MACHINE, ERROR_BAD_NETPATH},
      {"\\\\WINSIM", HKEY_CURRENT_USER, ERROR_INVALID_PARAMETER},
      {"\\\\WINSIM", HKEY_CLASSES_ROOT, ERROR_INVALID_PARAMETER},
      {nullptr, HKEY_CURRENT_USER, ERROR_INVALID_PARAMETER},
  };
  SimMachine machine("xp");
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << (row.machine ? row.machine : "(null)") << " root " << row.root);
    HKEY h = nullptr;
    EXPECT_EQ(row.expected, RegConnectRegistryA(row.machine, row.root, &h)) << (row.machine ? row.machine : "(null)");
    if (row.expected == ERROR_SUCCESS) {
      // A handle of its own, not the predefined key.
      EXPECT_NE(row.root, h);
      HKEY sub = nullptr;
      EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(h, row.root == HKEY_USERS ? ".DEFAULT" : "SOFTWARE", 0, KEY_READ, &sub));
      RegCloseKey(sub);
      EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(h));
    }
  }
  setenv("WINSIM_COMPUTERNAME", "LABPC", 1);
  HKEY h = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegConnectRegistryA("\\\\LABPC", HKEY_LOCAL_MACHINE, &h));
  EXPECT_EQ(ERROR_BAD_NETPATH, RegConnectRegistryA("\\\\WINSIM", HKEY_LOCAL_MACHINE, &h));
  unsetenv("WINSIM_COMPUTERNAME");
  // A connection never closed is a key handle left open when the process ends.
  machine.Restart();
  JournalLines left = JournalQuery(machine).LeftOpen();
  ASSERT_EQ(1u, left.size()) << JournalQuery(machine);
  EXPECT_EQ("Key", left[0]["left-open"]);
  EXPECT_EQ("HKEY_LOCAL_MACHINE", left[0]["name"]);
}

TEST(RegistryFaults, InjectedErrorsAreReturned) {
  SimMachine machine("xp");
  SeedTestKey();
  winsim::Faults::Set("RegOpenKeyExA#2:5,RegSetValueExA:1013");
  HKEY h = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_ALL_ACCESS, &h));
  RegCloseKey(h);
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_ALL_ACCESS, &h));
  h = OpenTestKey(KEY_ALL_ACCESS);
  EXPECT_EQ(ERROR_CANTWRITE, RegSetValueExA(h, "x", 0, REG_SZ, (const BYTE*)"", 1));
  RegCloseKey(h);
}

}  // namespace
