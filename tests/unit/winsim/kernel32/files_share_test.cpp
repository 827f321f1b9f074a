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

// Execute access is checked as read access: it needs FILE_SHARE_READ from
// the handles open, and a handle open for execute lets in only those that
// share reads. Every share mode of the first handle, both ways round.
TEST_F(ShareTest, ExecuteCountsAsRead) {
  const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const struct {
    const char* name;
    DWORD access;
  } kExecute[] = {{"FILE_EXECUTE", FILE_EXECUTE}, {"GENERIC_EXECUTE", GENERIC_EXECUTE}};
  for (const auto& x : kExecute) {
    for (DWORD share = 0; share <= kShareAll; ++share) {
      for (bool executeFirst : {false, true}) {
        SCOPED_TRACE(::testing::Message()
                     << (executeFirst ? x.name : "GENERIC_READ") << " sharing " << share << ", then "
                     << (executeFirst ? "GENERIC_READ" : x.name) << " sharing everything");
        HANDLE first = Open(executeFirst ? x.access : GENERIC_READ, share);
        ASSERT_NE(INVALID_HANDLE_VALUE, first);
        SetLastError(0xdeadbeef);
        HANDLE second = Open(executeFirst ? GENERIC_READ : x.access, kShareAll);
        bool opens = (share & FILE_SHARE_READ) != 0;
        EXPECT_EQ(opens, second != INVALID_HANDLE_VALUE);
        if (second != INVALID_HANDLE_VALUE)
          CloseHandle(second);
        else
          EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
        CloseHandle(first);
      }
    }
  }
  // A handle for execute must itself share what the others hold.
  const DWORD R = GENERIC_READ, W = GENERIC_WRITE, SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE;
  struct Row {
    const char* what;
    DWORD access1, share1, access2, share2;
    bool opens;
  } rows[] = {
      {"execute that will not share the reader's reads", R, kShareAll, FILE_EXECUTE, SW, false},
      {"execute after an exclusive writer", W, 0, FILE_EXECUTE, kShareAll, false},
      {"execute that shares the writer's writes", W, SR | SW, FILE_EXECUTE, SR | SW, true},
      {"writer after an executor sharing reads only", FILE_EXECUTE, SR, W, kShareAll, false},
      {"executor after an executor, neither sharing writes", GENERIC_EXECUTE, SR, FILE_EXECUTE, SR, true},
      {"executor that shares nothing after an executor", FILE_EXECUTE, kShareAll, GENERIC_EXECUTE, 0, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    HANDLE first = Open(row.access1, row.share1);
    ASSERT_NE(INVALID_HANDLE_VALUE, first);
    SetLastError(0xdeadbeef);
    HANDLE second = Open(row.access2, row.share2);
    EXPECT_EQ(row.opens, second != INVALID_HANDLE_VALUE);
    if (second != INVALID_HANDLE_VALUE)
      CloseHandle(second);
    else
      EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    CloseHandle(first);
  }
}

// CopyFileA opens the source for reading and shares reads and writes (and,
// from Vista on, deletion); it opens the destination for writing and shares
// reads and writes, but not deletion. Windows 9x shares nothing of the
// destination.
TEST(CopyFileSharing, WhatAnOpenHandleLetsThrough) {
  const DWORD R = GENERIC_READ, W = GENERIC_WRITE, SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE, SD = FILE_SHARE_DELETE;
  struct Row {
    const char* what;
    const char* os;
    bool openSource;  // else the destination
    DWORD access, share;
    bool copies;
  } rows[] = {
      {"source open for reading and writing, sharing reads", "xp", true, R | W, SR, true},
      {"source open for reading and writing, sharing reads", "7", true, R | W, SR, true},
      {"source open for reading and writing, sharing reads", "98", true, R | W, SR, true},
      {"source open for reading, sharing writes only", "xp", true, R, SW, false},
      {"source open for reading, sharing writes only", "7", true, R, SW, false},
      {"source open for deletion, sharing reads", "xp", true, DELETE, SR, false},
      {"source open for deletion, sharing reads", "7", true, DELETE, SR, true},
      {"source open for writing, sharing reads and writes", "7", true, W, SR | SW, true},
      {"destination open for reading, sharing reads and writes", "xp", false, R, SR | SW, true},
      {"destination open for reading, sharing reads and writes", "vista", false, R, SR | SW, true},
      {"destination open for reading, sharing reads and writes", "98", false, R, SR | SW, false},
      {"destination open for reading and writing, sharing writes", "xp", false, R | W, SW, true},
      {"destination open for reading and writing, sharing writes", "98", false, R | W, SW, false},
      {"destination open for reading, sharing reads", "xp", false, R, SR, false},
      {"destination open for writing, sharing reads", "xp", false, W, SR, false},
      {"destination open for writing, sharing reads", "7", false, W, SR, false},
      {"destination open for deletion, sharing everything", "xp", false, DELETE, SR | SW | SD, false},
      {"destination open for deletion, sharing everything", "7", false, DELETE, SR | SW | SD, false},
      {"destination open for reading, sharing everything", "7", false, R, SR | SW | SD, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.what << " on " << row.os);
    SimMachine machine(row.os);
    ASSERT_TRUE(MakeDir("C:\\S"));
    ASSERT_TRUE(MakeFile("C:\\S\\from.dll", "new module"));
    ASSERT_TRUE(MakeFile("C:\\S\\to.dll", "old"));
    HANDLE h = CreateFileA(row.openSource ? "C:\\S\\from.dll" : "C:\\S\\to.dll", row.access, row.share, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(row.copies, CopyFileA("C:\\S\\from.dll", "C:\\S\\to.dll", FALSE) != FALSE);
    if (!row.copies) {
      EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    }
    CloseHandle(h);
    EXPECT_EQ(row.copies ? "new module" : "old", FileText("C:\\S\\to.dll"));
    EXPECT_EQ("new module", FileText("C:\\S\\from.dll"));
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
  // A copy onto a file open for reading that shares reads and writes
  // replaces its content: the copy neither deletes nor renames it.
  ASSERT_TRUE(MakeFile("C:\\S\\g.dll", "other"));
  SetLastError(0xdeadbeef);
  EXPECT_TRUE(CopyFileA("C:\\S\\g.dll", "C:\\S\\f.dll", FALSE));
  EXPECT_EQ("other", FileText("C:\\S\\f.dll"));
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
