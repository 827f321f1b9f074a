// rename of the C run-time as the programs get it: Windows paths and MSVCRT
// semantics (an existing new name is an error, not replaced).
#include <gtest/gtest.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>

#include "sim_files.h"
#include "sim_machine.h"

namespace {

class RenameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeDir("C:\\R"));
    ASSERT_TRUE(MakeDir("C:\\R\\3"));
    ASSERT_TRUE(MakeFile("C:\\R\\3\\QVRdrv50.dll", "current"));
    ASSERT_TRUE(MakeFile("C:\\R\\3\\QVRdrv50.dll.old", "older"));
    ASSERT_TRUE(MakeFile("C:\\R\\ro.dll", "ro", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\R"));
  }
  SimMachine m_machine{"xp"};
};

TEST_F(RenameTest, FailureTable) {
  struct Row {
    const char* from;
    const char* to;
    int error;
  } rows[] = {
      {"C:\\R\\3\\QVRdrv50.dll", "C:\\R\\3\\QVRdrv50.dll.old", EACCES},
      {"3\\qvrdrv50.DLL", "3\\QVRDRV50.DLL.OLD", EACCES},
      {"C:\\R\\3\\QVRdrv50.dll", "C:\\R\\ro.dll", EACCES},
      {"C:\\R\\3\\none.dll", "C:\\R\\3\\x.dll", ENOENT},
      {"C:\\R\\none\\x.dll", "C:\\R\\3\\x.dll", ENOENT},
      {"C:\\R\\3\\QVRdrv50.dll", "C:\\R\\none\\x.dll", ENOENT},
      {"C:\\R\\3\\QVRdrv50.dll", "C:\\R\\3\\x|y.dll", EINVAL},
      {"C:\\R\\3\\QVRdrv50.dll", "C:\\R\\3", EACCES},
  };
  for (const auto& row : rows) {
    errno = 0;
    EXPECT_EQ(-1, rename(row.from, row.to)) << row.from << " -> " << row.to;
    EXPECT_EQ(row.error, errno) << row.from << " -> " << row.to;
  }
  EXPECT_EQ("current", FileText("C:\\R\\3\\QVRdrv50.dll"));
  EXPECT_EQ("older", FileText("C:\\R\\3\\QVRdrv50.dll.old"));
}

// Setting an in-use module aside: the old backup goes first, then the
// module takes the backup's name.
TEST_F(RenameTest, ModuleSetAsideAfterOldBackupIsDeleted) {
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\R\\3\\QVRdrv50.dll.old"));
  ASSERT_TRUE(DeleteFileA("C:\\R\\3\\QVRdrv50.dll.old"));
  errno = 0;
  EXPECT_EQ(0, rename("C:\\R\\3\\QVRdrv50.dll", "C:\\R\\3\\QVRdrv50.dll.old"));
  EXPECT_EQ("current", FileText("C:\\R\\3\\QVRdrv50.dll.old"));
  EXPECT_FALSE(Exists("C:\\R\\3\\QVRdrv50.dll"));
}

TEST_F(RenameTest, WhatMayBeRenamed) {
  // A read-only file may be renamed and stays read-only.
  EXPECT_EQ(0, rename("ro.dll", "3\\ro2.dll"));
  EXPECT_EQ((DWORD)FILE_ATTRIBUTE_READONLY, GetFileAttributesA("C:\\R\\3\\ro2.dll"));
  // Only the letter case changes.
  EXPECT_EQ(0, rename("C:\\R\\3\\QVRdrv50.dll", "C:\\R\\3\\QVRDRV50.DLL"));
  bool upper = false;
  for (const auto& e : winsim::FileSystem::List(HostOf("C:\\R\\3"))) upper |= e.name == "QVRDRV50.DLL";
  EXPECT_TRUE(upper);
  // A folder is renamed with what it holds.
  EXPECT_EQ(0, rename("C:\\R\\3", "C:\\R\\Three"));
  EXPECT_EQ("older", FileText("C:\\R\\Three\\QVRdrv50.dll.old"));
}

}  // namespace
