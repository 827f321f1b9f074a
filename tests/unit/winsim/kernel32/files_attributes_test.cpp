// Attributes of files and folders: what SetFileAttributesA keeps, that they
// survive the end of the process, and what copies and new files get.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>

#include "core/filesystem.h"
#include "sim_files.h"
#include "sim_machine.h"

namespace {

struct AttributeRow {
  const char* what;
  DWORD set;
  DWORD file;    // what a file reads back
  DWORD folder;  // what a folder reads back
};

const DWORD R = FILE_ATTRIBUTE_READONLY, H = FILE_ATTRIBUTE_HIDDEN, S = FILE_ATTRIBUTE_SYSTEM,
            A = FILE_ATTRIBUTE_ARCHIVE, D = FILE_ATTRIBUTE_DIRECTORY, N = FILE_ATTRIBUTE_NORMAL;

const AttributeRow kAttributeRows[] = {
    {"normal", N, N, D},
    {"zero", 0, N, D},
    {"read-only", R, R, D | R},
    {"hidden", H, H, D | H},
    {"system", S, S, D | S},
    {"archive", A, A, D | A},
    {"hidden system", H | S, H | S, D | H | S},
    {"all four", R | H | S | A, R | H | S | A, D | R | H | S | A},
    {"directory bit ignored", D | R, R, D | R},
    {"temporary not kept", FILE_ATTRIBUTE_TEMPORARY | A, A, D | A},
};

TEST(FileAttributes, RoundTripAcrossProcessEnd) {
  SimMachine machine("xp");
  ASSERT_TRUE(MakeDir("C:\\A"));
  int i = 0;
  for (const auto& row : kAttributeRows) {
    SCOPED_TRACE(row.what);
    std::string file = "C:\\A\\f" + std::to_string(i), dir = "C:\\A\\d" + std::to_string(i);
    ++i;
    ASSERT_TRUE(MakeFile(file.c_str(), "x"));
    ASSERT_TRUE(MakeDir(dir.c_str()));
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(SetFileAttributesA(file.c_str(), row.set)) << row.what;
    EXPECT_TRUE(SetFileAttributesA(dir.c_str(), row.set)) << row.what;
    EXPECT_EQ(row.file, GetFileAttributesA(file.c_str())) << row.what;
    EXPECT_EQ(row.folder, GetFileAttributesA(dir.c_str())) << row.what;
  }
  machine.Restart();
  i = 0;
  for (const auto& row : kAttributeRows) {
    std::string file = "C:\\A\\f" + std::to_string(i), dir = "C:\\A\\d" + std::to_string(i);
    ++i;
    EXPECT_EQ(row.file, GetFileAttributesA(file.c_str())) << row.what << " after restart";
    EXPECT_EQ(row.folder, GetFileAttributesA(dir.c_str())) << row.what << " after restart";
  }
}

TEST(FileAttributes, NewFilesCopiesAndHostFiles) {
  SimMachine machine("xp");
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, GetFileAttributesA("C:\\"));
  EXPECT_EQ(D, GetFileAttributesA("C:\\WINDOWS"));
  // New files are marked for backup; CreateFileA takes the attributes asked for.
  ASSERT_TRUE(MakeFile("C:\\new.txt"));
  EXPECT_EQ(A, GetFileAttributesA("C:\\new.txt"));
  HANDLE h = CreateFileA("C:\\hid.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, H | R, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  DWORD n = 0;
  EXPECT_TRUE(WriteFile(h, "abc", 3, &n, nullptr));  // the creating handle may write
  CloseHandle(h);
  EXPECT_EQ(H | R | A, GetFileAttributesA("C:\\hid.txt"));
  // A copy takes the source's attributes and is marked for backup.
  ASSERT_TRUE(SetFileAttributesA("C:\\hid.txt", H | R));
  EXPECT_TRUE(CopyFileA("C:\\hid.txt", "C:\\copy.txt", TRUE));
  EXPECT_EQ(H | R | A, GetFileAttributesA("C:\\copy.txt"));
  EXPECT_EQ("abc", FileText("C:\\copy.txt"));
  // A write marks a file for backup again.
  ASSERT_TRUE(SetFileAttributesA("C:\\new.txt", N));
  ASSERT_TRUE(MakeFile("C:\\new.txt", "changed"));
  EXPECT_EQ(A, GetFileAttributesA("C:\\new.txt"));
  // Files and folders the host made read as Windows makes them.
  std::string host = HostOf("C:\\");
  std::ofstream(host + "/hostfile.txt") << "x";
  std::filesystem::create_directory(host + "/hostdir");
  EXPECT_EQ(A, GetFileAttributesA("C:\\HostFile.txt"));
  EXPECT_EQ(D, GetFileAttributesA("C:\\hostdir"));
}

}  // namespace
