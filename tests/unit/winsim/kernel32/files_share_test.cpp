// Share modes: what an open handle keeps others from doing.
#include <gtest/gtest.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>

#include "sim_files.h"
#include "sim_machine.h"

namespace {

class ShareTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeDir("C:\\S"));
    ASSERT_TRUE(MakeFile("C:\\S\\f.dll", "module"));
  }
  static HANDLE Open(DWORD access, DWORD share) {
    return CreateFileA("C:\\S\\f.dll", access, share, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  SimMachine m_machine{"xp"};
};

TEST_F(ShareTest, SecondOpenTable) {
  const DWORD R = GENERIC_READ, W = GENERIC_WRITE, SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE, SD = FILE_SHARE_DELETE;
  struct Row {
    const char* what;
    DWORD access1, share1, access2, share2;
    bool opens;
  } rows[] = {
      {"two readers sharing reads", R, SR, R, SR, true},
      {"writer after reader sharing reads only", R, SR, W, SR, false},
      {"reader that will not share the writer's writes", W, SR, R, SR, false},
      {"reader sharing the writer's writes", W, SR, R, SR | SW, true},
      {"reader after an exclusive reader", R, 0, R, SR | SW | SD, false},
      {"exclusive open after a reader", R, SR | SW | SD, R, 0, false},
      {"attributes-only handle blocks nothing", 0, 0, R | W, 0, true},
      {"attributes-only open passes anything", R | W, 0, 0, 0, true},
      {"two writers sharing everything", W, SR | SW, W, SR | SW, true},
  };
  for (const auto& row : rows) {
    HANDLE first = Open(row.access1, row.share1);
    ASSERT_NE(INVALID_HANDLE_VALUE, first) << row.what;
    SetLastError(0xdeadbeef);
    HANDLE second = Open(row.access2, row.share2);
    EXPECT_EQ(row.opens, second != INVALID_HANDLE_VALUE) << row.what;
    if (second != INVALID_HANDLE_VALUE)
      CloseHandle(second);
    else
      EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError()) << row.what;
    CloseHandle(first);
  }
}

TEST_F(ShareTest, OpenFileWithoutDeleteSharingPinsItsName) {
  HANDLE h = Open(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeleteFileA("C:\\S\\f.dll"));
  EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(MoveFileA("C:\\S\\f.dll", "C:\\S\\f.dll.old"));
  EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
  errno = 0;
  EXPECT_EQ(-1, rename("C:\\S\\f.dll", "C:\\S\\f.dll.old"));
  EXPECT_EQ(EACCES, errno);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CopyFileA("C:\\WINDOWS\\..\\S\\f.dll", "c:\\s\\F.DLL", FALSE));
  EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
  // The folder keeps the file, so it is not empty.
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(RemoveDirectoryA("C:\\S"));
  EXPECT_EQ((DWORD)ERROR_DIR_NOT_EMPTY, GetLastError());
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(MoveFileA("C:\\S", "C:\\S2"));
  EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_EQ("module", FileText("C:\\S\\f.dll"));
  // A copy onto a file open for reading only fails as well.
  ASSERT_TRUE(MakeFile("C:\\S\\g.dll", "other"));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CopyFileA("C:\\S\\g.dll", "C:\\S\\f.dll", FALSE));
  EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_TRUE(MoveFileA("C:\\S\\f.dll", "C:\\S\\f.dll.old"));
  EXPECT_TRUE(DeleteFileA("C:\\S\\f.dll.old"));
}

TEST_F(ShareTest, DeleteSharingLetsTheNameGo) {
  HANDLE h = Open(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_TRUE(MoveFileA("C:\\S\\f.dll", "C:\\S\\f.old"));
  EXPECT_TRUE(DeleteFileA("C:\\S\\f.old"));
  char buffer[16] = {};
  DWORD n = 0;
  EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &n, nullptr));
  EXPECT_EQ(6u, n);
  CloseHandle(h);
}

}  // namespace
