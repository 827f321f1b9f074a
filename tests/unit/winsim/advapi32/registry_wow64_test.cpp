// Where a 32-bit program's keys land on 64-bit Windows 7, and that nothing
// moves on 32-bit Windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "core/registry_tree.h"
#include "sim_machine.h"

using winsim::Registry;

namespace {

struct RedirectRow {
  HKEY root;
  const char* subKey;
  REGSAM view;
  const char* lands;  // the key created, as the registry holds it
};

const RedirectRow kRedirectRows[] = {
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VELKORA_LABEL_PRINTER", 0, "HKLM\\SOFTWARE\\Wow6432Node\\VELKORA_LABEL_PRINTER"},
    {HKEY_LOCAL_MACHINE, "Software\\Vendor", KEY_WOW64_32KEY, "HKLM\\SOFTWARE\\Wow6432Node\\Vendor"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", KEY_WOW64_64KEY, "HKLM\\SOFTWARE\\Vendor"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VELKORA_KVL-M720", 0,
     "HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VELKORA_KVL-M720"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\Vendor", 0, "HKLM\\SOFTWARE\\Wow6432Node\\Vendor"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Vendor", 0,
     "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Vendor"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\x.exe", 0,
     "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\x.exe"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Policies\\Vendor", 0, "HKLM\\SOFTWARE\\Policies\\Vendor"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.lbl", 0, "HKLM\\SOFTWARE\\Classes\\.lbl"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\CLSID\\{1}", 0, "HKLM\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{1}"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\CLSID\\{2}", KEY_WOW64_64KEY, "HKLM\\SOFTWARE\\Classes\\CLSID\\{2}"},
    {HKEY_CLASSES_ROOT, "Interface\\{3}", 0, "HKLM\\SOFTWARE\\Classes\\Wow6432Node\\Interface\\{3}"},
    {HKEY_CLASSES_ROOT, "lblfile", 0, "HKLM\\SOFTWARE\\Classes\\lblfile"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P", 0,
     "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P"},
    {HKEY_CURRENT_USER, "Software\\Vendor", 0, "HKCU\\Software\\Vendor"},
    {HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{4}", 0, "HKCU\\Software\\Classes\\Wow6432Node\\CLSID\\{4}"},
    {HKEY_CURRENT_USER, "Software\\Classes\\.lbl", 0, "HKCU\\Software\\Classes\\.lbl"},
};

TEST(Wow64Registry, KeysOfA32BitProgramOn64BitWindows7) {
  for (const auto& row : kRedirectRows) {
    SCOPED_TRACE(::testing::Message() << row.subKey << " view " << row.view);
    SimMachine machine("7-x64");
    HKEY h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(row.root, row.subKey, 0, nullptr, 0, KEY_ALL_ACCESS | row.view, nullptr, &h, nullptr))
        << row.subKey;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(h, "Mark", 0, REG_SZ, (const BYTE*)"1", 2));
    RegCloseKey(h);
    winsim::RegKey* key = Registry::Get().Find(row.lands);
    ASSERT_NE(nullptr, key) << row.subKey << " should land in " << row.lands;
    EXPECT_NE(nullptr, key->Value("Mark")) << row.subKey;
    // Opened the same way, it is found again.
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(row.root, row.subKey, 0, KEY_READ | row.view, &h)) << row.subKey;
    RegCloseKey(h);
  }
}

TEST(Wow64Registry, RelativeOpensFollowTheWholePath) {
  SimMachine machine("7-x64");
  HKEY software = nullptr, key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &software));
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(software, "Vendor", &key));
  RegCloseKey(key);
  EXPECT_NE(nullptr, Registry::Get().Find("HKLM\\SOFTWARE\\Wow6432Node\\Vendor"));
  // A shared key below a redirected handle is still the shared one.
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(software, "Microsoft\\Windows NT\\CurrentVersion\\Print\\P", &key));
  RegCloseKey(key);
  EXPECT_NE(nullptr, Registry::Get().Find("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\P"));
  RegCloseKey(software);
  // Deleting goes the same way as writing.
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor"));
  EXPECT_EQ(nullptr, Registry::Get().Find("HKLM\\SOFTWARE\\Wow6432Node\\Vendor"));
}

// From Windows 7 on a handle keeps the view it was opened in: what is
// opened, created or deleted relative to it without a view flag stays in
// that view, and a 32-bit handle's own Wow6432Node is not its child.
TEST(Wow64Registry, AHandleKeepsItsView) {
  SimMachine machine("7-x64");
  Registry& reg = Registry::Get();
  reg.Create("HKLM\\SOFTWARE\\Wow6432Node\\Vendor32");
  HKEY native = nullptr, sub = nullptr, again = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", 0, nullptr, 0,
                                           KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &native, nullptr));
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(native, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr));
  EXPECT_NE(nullptr, reg.Find("HKLM\\SOFTWARE\\Vendor\\Sub"));
  EXPECT_EQ(nullptr, reg.Find("HKLM\\SOFTWARE\\Wow6432Node\\Vendor"));
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(native, "Sub", 0, KEY_READ, &again));
  RegCloseKey(again);
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(sub, "Deeper", &again));
  RegCloseKey(again);
  EXPECT_NE(nullptr, reg.Find("HKLM\\SOFTWARE\\Vendor\\Sub\\Deeper"));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(sub, "Deeper"));
  EXPECT_EQ(nullptr, reg.Find("HKLM\\SOFTWARE\\Vendor\\Sub\\Deeper"));
  // The empty name deletes the key the handle stands for.
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(sub, ""));
  EXPECT_EQ(nullptr, reg.Find("HKLM\\SOFTWARE\\Vendor\\Sub"));
  EXPECT_NE(nullptr, reg.Find("HKLM\\SOFTWARE\\Vendor"));
  RegCloseKey(sub);
  // A view flag still chooses.
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ | KEY_WOW64_64KEY, &again));
  HKEY found = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(again, "Vendor32", 0, KEY_READ | KEY_WOW64_32KEY, &found));
  RegCloseKey(found);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(again, "Vendor32", 0, KEY_READ, &found));
  RegCloseKey(again);
  RegCloseKey(native);

  HKEY software32 = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &software32));
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(software32, "Vendor32", 0, KEY_READ, &found));
  RegCloseKey(found);
  found = (HKEY)(uintptr_t)0x1234;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(software32, "Wow6432Node\\Vendor32", 0, KEY_READ, &found));
  EXPECT_EQ(nullptr, found);
  RegCloseKey(software32);
  // Named from above, the node is the 32-bit view itself.
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\Vendor32", 0, KEY_READ, &found));
  RegCloseKey(found);
}

// Relative to a handle, a view flag chooses only where the path crosses a
// redirected key from above. A handle that already lies in the 32-bit view
// (HKLM\SOFTWARE opened by a 32-bit program is SOFTWARE\Wow6432Node) keeps
// what lies below it whatever the flag, and a Wow6432Node named below it is
// an ordinary key of that name, as on 64-bit Windows 7.
struct RelativeRow {
  const char* what;
  const char* base;  // opened below HKEY_LOCAL_MACHINE
  REGSAM baseView;
  bool create;
  const char* subKey;
  REGSAM sam;
  LONG error;
  DWORD mark;         // the Mark value the key holds, 0 for none
  const char* lands;  // the key reached, as the registry holds it
};

const char k64[] = "HKLM\\SOFTWARE\\Wine\\Winetest";
const char k32[] = "HKLM\\SOFTWARE\\Wow6432Node\\Wine\\Winetest";
const char kDoubleWowNode[] = "HKLM\\SOFTWARE\\Wow6432Node\\Wow6432Node\\Wine\\Winetest";

const RelativeRow kRelativeRows[] = {
    {"32-bit handle, no flag", "Software", 0, false, "Wine\\Winetest", 0, 0, 32, k32},
    {"32-bit handle, 64-bit flag", "Software", 0, false, "Wine\\Winetest", KEY_WOW64_64KEY, 0, 32, k32},
    {"32-bit handle, 32-bit flag", "Software", 0, false, "Wine\\Winetest", KEY_WOW64_32KEY, 0, 32, k32},
    {"32-bit handle, create, 64-bit flag", "Software", 0, true, "Wine\\Winetest", KEY_WOW64_64KEY, 0, 32, k32},
    {"deeper 32-bit handle, 64-bit flag", "Software\\Wine", 0, false, "Winetest", KEY_WOW64_64KEY, 0, 32, k32},
    {"named node, 64-bit flag", "Software\\Wow6432Node\\Wine", KEY_WOW64_64KEY, false, "Winetest", KEY_WOW64_64KEY, 0,
     32, k32},
    {"create Wow6432Node below, no flag", "Software", 0, true, "Wow6432Node\\Wine\\Winetest", 0, 0, 0, kDoubleWowNode},
    {"create Wow6432Node below, 64-bit flag", "Software", 0, true, "Wow6432Node\\Wine\\Winetest", KEY_WOW64_64KEY, 0, 0,
     kDoubleWowNode},
    {"create Wow6432Node below, 32-bit flag", "Software", 0, true, "Wow6432Node\\Wine\\Winetest", KEY_WOW64_32KEY, 0, 0,
     kDoubleWowNode},
    {"32-bit flag handle, create Wow6432Node below", "Software", KEY_WOW64_32KEY, true, "Wow6432Node\\Wine\\Winetest",
     0, 0, 0, kDoubleWowNode},
    {"open Wow6432Node below, 64-bit flag", "Software", 0, false, "Wow6432Node\\Wine\\Winetest", KEY_WOW64_64KEY,
     ERROR_FILE_NOT_FOUND, 0, nullptr},
    {"open Wow6432Node below, 32-bit flag", "Software", 0, false, "Wow6432Node\\Wine\\Winetest", KEY_WOW64_32KEY,
     ERROR_FILE_NOT_FOUND, 0, nullptr},
    {"64-bit handle keeps its view", "Software", KEY_WOW64_64KEY, false, "Wine\\Winetest", 0, 0, 64, k64},
    {"64-bit handle, 32-bit flag", "Software", KEY_WOW64_64KEY, false, "Wine\\Winetest", KEY_WOW64_32KEY, 0, 32, k32},
    {"64-bit handle, create, 32-bit flag", "Software", KEY_WOW64_64KEY, true, "Wine\\Winetest", KEY_WOW64_32KEY, 0, 32,
     k32},
};

TEST(Wow64Registry, RelativePathsBelowA32BitHandleStayBelowIt) {
  for (const auto& row : kRelativeRows) {
    SCOPED_TRACE(row.what);
    SimMachine machine("7-x64");
    Registry& reg = Registry::Get();
    reg.Create(k64)->SetDword("Mark", 64);
    reg.Create(k32)->SetDword("Mark", 32);
    HKEY base = nullptr, h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, row.base, 0, KEY_ALL_ACCESS | row.baseView, &base));
    LONG e = row.create
                 ? RegCreateKeyExA(base, row.subKey, 0, nullptr, 0, KEY_ALL_ACCESS | row.sam, nullptr, &h, nullptr)
                 : RegOpenKeyExA(base, row.subKey, 0, KEY_ALL_ACCESS | row.sam, &h);
    RegCloseKey(base);
    ASSERT_EQ(row.error, e);
    if (e != ERROR_SUCCESS) {
      EXPECT_EQ(nullptr, reg.Find(kDoubleWowNode));
      continue;
    }
    DWORD mark = 0, size = sizeof mark;
    RegQueryValueExA(h, "Mark", nullptr, nullptr, (BYTE*)&mark, &size);
    EXPECT_EQ(row.mark, mark);
    // The handle stands for that key: deleting it by the empty name takes
    // that one and leaves the other view alone.
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(h, ""));
    RegCloseKey(h);
    EXPECT_EQ(nullptr, reg.Find(row.lands));
    for (const char* other : {k64, k32}) {
      if (strcmp(other, row.lands) != 0) {
        EXPECT_NE(nullptr, reg.Find(other)) << other;
      }
    }
  }
}

TEST(Wow64Registry, BothViewFlagsAreRefused) {
  SimMachine machine("7-x64");
  HKEY h = nullptr;
  EXPECT_EQ(ERROR_INVALID_PARAMETER,
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ | KEY_WOW64_32KEY | KEY_WOW64_64KEY, &h));
  EXPECT_EQ(ERROR_INVALID_PARAMETER,
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", 0, nullptr, 0,
                            KEY_READ | KEY_WOW64_32KEY | KEY_WOW64_64KEY, nullptr, &h, nullptr));
}

TEST(Wow64Registry, NothingMovesOn32BitWindows) {
  for (const char* os : {"xp", "7"}) {
    SimMachine machine(os);
    for (REGSAM view : {(REGSAM)0, (REGSAM)KEY_WOW64_32KEY, (REGSAM)KEY_WOW64_64KEY}) {
      SCOPED_TRACE(::testing::Message() << os << " view " << view);
      HKEY h = nullptr;
      ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", 0, nullptr, 0,
                                               KEY_ALL_ACCESS | view, nullptr, &h, nullptr));
      RegCloseKey(h);
      EXPECT_NE(nullptr, Registry::Get().Find("HKLM\\SOFTWARE\\Vendor")) << os << " " << view;
      EXPECT_EQ(nullptr, Registry::Get().Find("HKLM\\SOFTWARE\\Wow6432Node")) << os << " " << view;
    }
  }
}

}  // namespace
