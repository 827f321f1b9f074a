// The program's resources: FindResourceA and its errors, LoadStringA with
// its buffer protocol, icons and cursors.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>

#include "core/resources.h"
#include "sim_machine.h"

namespace {

class ResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ifstream in(PROBE_RES, std::ios::binary);
    ASSERT_TRUE(in) << PROBE_RES;
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    winsim::Resources::UseForTests(bytes);
  }
  void TearDown() override { winsim::Resources::UseForTests({}); }
  SimMachine machine;
};

struct ResourceFindRow {
  const char* what;
  HMODULE module;
  LPCSTR name;
  LPCSTR type;
  bool found;
  DWORD error;
};

TEST_F(ResourcesTest, FindResourceTable) {
  HMODULE exe = GetModuleHandleA(nullptr);
  const ResourceFindRow rows[] = {
      {"dialog 101 of the program", exe, MAKEINTRESOURCE(101), RT_DIALOG, true, 0xdeadbeef},
      {"null module is the program", nullptr, MAKEINTRESOURCE(102), RT_DIALOG, true, 0xdeadbeef},
      {"\"#102\" names the number", exe, "#102", RT_DIALOG, true, 0xdeadbeef},
      {"icon group 128", exe, MAKEINTRESOURCE(128), RT_GROUP_ICON, true, 0xdeadbeef},
      {"missing name", exe, MAKEINTRESOURCE(999), RT_DIALOG, false, ERROR_RESOURCE_NAME_NOT_FOUND},
      {"missing type", exe, MAKEINTRESOURCE(130), "BIN", false, ERROR_RESOURCE_TYPE_NOT_FOUND},
      {"a system module has none", GetModuleHandleA("user32"), MAKEINTRESOURCE(101), RT_DIALOG, false,
       ERROR_RESOURCE_DATA_NOT_FOUND},
  };
  for (const auto& row : rows) {
    SetLastError(0xdeadbeef);
    HRSRC r = FindResourceA(row.module, row.name, row.type);
    EXPECT_EQ(row.found, r != nullptr) << row.what;
    EXPECT_EQ(row.error, GetLastError()) << row.what;
    if (r) {
      HGLOBAL g = LoadResource(row.module, r);
      ASSERT_NE(nullptr, g) << row.what;
      EXPECT_EQ((LPVOID)g, LockResource(g)) << row.what;
      EXPECT_GT(SizeofResource(row.module, r), 0u) << row.what;
    }
  }
}

TEST_F(ResourcesTest, SizeofAndLoadRefuseForeignHandles) {
  SetLastError(0xdeadbeef);
  EXPECT_EQ(0u, SizeofResource(nullptr, (HRSRC)&machine));
  EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
  SetLastError(0xdeadbeef);
  EXPECT_EQ(nullptr, LoadResource(nullptr, (HRSRC)&machine));
  EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
}

struct StringRow {
  const char* what;
  UINT id;
  int size;
  int ret;
  const char* text;
  DWORD error;
};

TEST_F(ResourcesTest, LoadStringBufferProtocol) {
  const StringRow rows[] = {
      {"whole string", 2, 64, 20, "Hello from the probe", 0xdeadbeef},
      {"truncated to size - 1 and terminated", 2, 6, 5, "Hello", 0xdeadbeef},
      {"size 1 holds the terminator only", 2, 1, 0, "", 0xdeadbeef},
      {"last of a block", 15, 64, 23, "last of the first block", 0xdeadbeef},
      {"second block", 17, 64, 12, "second block", 0xdeadbeef},
      {"empty string in an existing block", 3, 64, 0, "", 0xdeadbeef},
      {"string of an empty definition", 18, 64, 0, "", 0xdeadbeef},
      {"block that does not exist", 200, 64, 0, "", ERROR_RESOURCE_NAME_NOT_FOUND},
  };
  for (const auto& row : rows) {
    char buf[64];
    memset(buf, 'x', sizeof buf);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(row.ret, LoadStringA(GetModuleHandleA(nullptr), row.id, buf, row.size)) << row.what;
    EXPECT_STREQ(row.text, buf) << row.what;
    EXPECT_EQ(row.error, GetLastError()) << row.what;
  }
}

TEST_F(ResourcesTest, LoadStringZeroSizeLeavesBufferAlone) {
  char buf[4] = {'a', 'b', 'c', 0};
  SetLastError(0xdeadbeef);
  EXPECT_EQ(-1, LoadStringA(nullptr, 2, buf, 0));
  EXPECT_STREQ("abc", buf);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(0, LoadStringA(nullptr, 2, nullptr, 10));
  EXPECT_EQ((DWORD)ERROR_NOACCESS, GetLastError());
}

TEST_F(ResourcesTest, IconsAndCursors) {
  SetLastError(0xdeadbeef);
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(128));
  ASSERT_NE(nullptr, icon);
  EXPECT_EQ(icon, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(128))) << "icons are shared";
  SetLastError(0xdeadbeef);
  EXPECT_EQ(nullptr, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(129)));
  EXPECT_EQ((DWORD)ERROR_RESOURCE_NAME_NOT_FOUND, GetLastError());
  EXPECT_NE(nullptr, LoadIconA(nullptr, IDI_APPLICATION));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(nullptr, LoadIconA(nullptr, MAKEINTRESOURCE(128)));
  EXPECT_EQ((DWORD)ERROR_RESOURCE_NAME_NOT_FOUND, GetLastError());
  HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  ASSERT_NE(nullptr, wait);
  ASSERT_NE(wait, arrow);
  SetCursor(arrow);
  EXPECT_EQ(arrow, SetCursor(wait));
  EXPECT_EQ(wait, SetCursor(arrow));
}

}  // namespace
