// The error numbers of the file and directory functions, one row per case,
// and what the successful calls leave on drive C:.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

#include "core/filesystem.h"
#include "journal_query.h"
#include "sim_files.h"
#include "sim_machine.h"
#include <shlwapi.h>

namespace {

struct ErrorRow {
  const char* what;
  std::function<BOOL()> call;
  DWORD error;
};

class FileErrors : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeDir("C:\\T"));
    ASSERT_TRUE(MakeFile("C:\\T\\file.txt", "file"));
    ASSERT_TRUE(MakeFile("C:\\T\\ro.txt", "read-only", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFile("C:\\T\\hidden.txt", "hidden", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(MakeDir("C:\\T\\full"));
    ASSERT_TRUE(MakeFile("C:\\T\\full\\x.txt"));
    ASSERT_TRUE(MakeDir("C:\\T\\rodir"));
    ASSERT_TRUE(SetFileAttributesA("C:\\T\\rodir", FILE_ATTRIBUTE_READONLY));
  }
  SimMachine m_machine{"xp"};
};

TEST_F(FileErrors, FailingCallsTable) {
  auto attributes = [](const char* p) {
    return [p] { return (BOOL)(GetFileAttributesA(p) != INVALID_FILE_ATTRIBUTES); };
  };
  auto open = [](const char* p, DWORD access, DWORD disposition, DWORD flags = 0) {
    return [=] {
      HANDLE h = CreateFileA(p, access, 0, nullptr, disposition, flags, nullptr);
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
      return (BOOL)(h != INVALID_HANDLE_VALUE);
    };
  };
  const ErrorRow rows[] = {
      {"DeleteFileA read-only", [] { return DeleteFileA("C:\\T\\ro.txt"); }, ERROR_ACCESS_DENIED},
      {"DeleteFileA folder", [] { return DeleteFileA("C:\\T\\full"); }, ERROR_ACCESS_DENIED},
      {"DeleteFileA missing", [] { return DeleteFileA("C:\\T\\none.txt"); }, ERROR_FILE_NOT_FOUND},
      {"DeleteFileA missing path", [] { return DeleteFileA("C:\\T\\none\\x.txt"); }, ERROR_PATH_NOT_FOUND},
      {"DeleteFileA file with '\\'", [] { return DeleteFileA("C:\\T\\file.txt\\"); }, ERROR_INVALID_NAME},
      {"DeleteFileA null", [] { return DeleteFileA(nullptr); }, ERROR_PATH_NOT_FOUND},
      {"RemoveDirectoryA not empty", [] { return RemoveDirectoryA("C:\\T\\full"); }, ERROR_DIR_NOT_EMPTY},
      {"RemoveDirectoryA read-only", [] { return RemoveDirectoryA("C:\\T\\rodir"); }, ERROR_ACCESS_DENIED},
      {"RemoveDirectoryA file", [] { return RemoveDirectoryA("C:\\T\\file.txt"); }, ERROR_DIRECTORY},
      {"RemoveDirectoryA missing", [] { return RemoveDirectoryA("C:\\T\\none"); }, ERROR_FILE_NOT_FOUND},
      {"RemoveDirectoryA missing path", [] { return RemoveDirectoryA("C:\\T\\none\\x"); }, ERROR_PATH_NOT_FOUND},
      {"RemoveDirectoryA root", [] { return RemoveDirectoryA("C:\\"); }, ERROR_ACCESS_DENIED},
      {"RemoveDirectoryA wildcard", [] { return RemoveDirectoryA("C:\\T\\ful*"); }, ERROR_INVALID_NAME},
      {"CreateDirectoryA existing", [] { return CreateDirectoryA("C:\\T\\full", nullptr); }, ERROR_ALREADY_EXISTS},
      {"CreateDirectoryA existing other case", [] { return CreateDirectoryA("c:\\t\\FULL\\", nullptr); },
       ERROR_ALREADY_EXISTS},
      {"CreateDirectoryA on a file", [] { return CreateDirectoryA("C:\\T\\file.txt", nullptr); }, ERROR_ALREADY_EXISTS},
      {"CreateDirectoryA root", [] { return CreateDirectoryA("C:\\", nullptr); }, ERROR_ALREADY_EXISTS},
      {"CreateDirectoryA missing parent", [] { return CreateDirectoryA("C:\\T\\a\\b", nullptr); },
       ERROR_PATH_NOT_FOUND},
      {"CreateDirectoryA other drive", [] { return CreateDirectoryA("Q:\\T", nullptr); }, ERROR_PATH_NOT_FOUND},
      {"CreateDirectoryA '?'", [] { return CreateDirectoryA("C:\\T\\a?", nullptr); }, ERROR_INVALID_NAME},
      {"CopyFileA fail-if-exists", [] { return CopyFileA("C:\\T\\file.txt", "C:\\T\\ro.txt", TRUE); },
       ERROR_FILE_EXISTS},
      {"CopyFileA onto read-only", [] { return CopyFileA("C:\\T\\file.txt", "C:\\T\\ro.txt", FALSE); },
       ERROR_ACCESS_DENIED},
      {"CopyFileA onto hidden", [] { return CopyFileA("C:\\T\\file.txt", "C:\\T\\hidden.txt", FALSE); },
       ERROR_ACCESS_DENIED},
      {"CopyFileA onto a folder", [] { return CopyFileA("C:\\T\\file.txt", "C:\\T\\full", FALSE); },
       ERROR_ACCESS_DENIED},
      {"CopyFileA onto itself", [] { return CopyFileA("C:\\T\\file.txt", "c:\\t\\FILE.TXT", FALSE); },
       ERROR_SHARING_VIOLATION},
      {"CopyFileA missing source", [] { return CopyFileA("C:\\T\\none.txt", "C:\\T\\n.txt", FALSE); },
       ERROR_FILE_NOT_FOUND},
      {"CopyFileA missing source path", [] { return CopyFileA("C:\\X\\none.txt", "C:\\T\\n.txt", FALSE); },
       ERROR_PATH_NOT_FOUND},
      {"CopyFileA folder source", [] { return CopyFileA("C:\\T\\full", "C:\\T\\n.txt", FALSE); }, ERROR_ACCESS_DENIED},
      {"CopyFileA missing target path", [] { return CopyFileA("C:\\T\\file.txt", "C:\\T\\no\\n.txt", FALSE); },
       ERROR_PATH_NOT_FOUND},
      {"SetFileAttributesA missing", [] { return SetFileAttributesA("C:\\T\\none.txt", 0); }, ERROR_FILE_NOT_FOUND},
      {"SetFileAttributesA missing path", [] { return SetFileAttributesA("C:\\T\\no\\x", 0); }, ERROR_PATH_NOT_FOUND},
      {"GetFileAttributesA missing", attributes("C:\\T\\none.txt"), ERROR_FILE_NOT_FOUND},
      {"GetFileAttributesA missing path", attributes("C:\\T\\no\\x.txt"), ERROR_PATH_NOT_FOUND},
      {"GetFileAttributesA below a file", attributes("C:\\T\\file.txt\\x"), ERROR_PATH_NOT_FOUND},
      {"GetFileAttributesA other drive", attributes("Z:\\x"), ERROR_PATH_NOT_FOUND},
      {"GetFileAttributesA too long",
       attributes("C:\\T\\aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
                  "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
                  "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
                  "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
                  "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"),
       ERROR_FILENAME_EXCED_RANGE},
      {"MoveFileA onto existing", [] { return MoveFileA("C:\\T\\file.txt", "C:\\T\\ro.txt"); }, ERROR_ALREADY_EXISTS},
      {"MoveFileA missing", [] { return MoveFileA("C:\\T\\none.txt", "C:\\T\\n.txt"); }, ERROR_FILE_NOT_FOUND},
      {"MoveFileA missing target path", [] { return MoveFileA("C:\\T\\file.txt", "C:\\N\\n.txt"); },
       ERROR_PATH_NOT_FOUND},
      {"MoveFileExA replace read-only",
       [] { return MoveFileExA("C:\\T\\file.txt", "C:\\T\\ro.txt", MOVEFILE_REPLACE_EXISTING); }, ERROR_ACCESS_DENIED},
      {"MoveFileExA replace folder",
       [] { return MoveFileExA("C:\\T\\file.txt", "C:\\T\\full", MOVEFILE_REPLACE_EXISTING); }, ERROR_ACCESS_DENIED},
      {"CreateFileA CREATE_NEW existing", open("C:\\T\\file.txt", GENERIC_WRITE, CREATE_NEW), ERROR_FILE_EXISTS},
      {"CreateFileA OPEN_EXISTING missing", open("C:\\T\\none.txt", GENERIC_READ, OPEN_EXISTING), ERROR_FILE_NOT_FOUND},
      {"CreateFileA missing path", open("C:\\T\\no\\x.txt", GENERIC_WRITE, CREATE_ALWAYS), ERROR_PATH_NOT_FOUND},
      {"CreateFileA read-only for writing", open("C:\\T\\ro.txt", GENERIC_WRITE, OPEN_EXISTING), ERROR_ACCESS_DENIED},
      {"CreateFileA CREATE_ALWAYS on hidden", open("C:\\T\\hidden.txt", GENERIC_WRITE, CREATE_ALWAYS),
       ERROR_ACCESS_DENIED},
      {"CreateFileA folder", open("C:\\T\\full", GENERIC_READ, OPEN_EXISTING), ERROR_ACCESS_DENIED},
      {"CreateFileA bad disposition", open("C:\\T\\file.txt", GENERIC_READ, 0), ERROR_INVALID_PARAMETER},
      {"FindNextFileA bad handle",
       [] {
         WIN32_FIND_DATAA d;
         return FindNextFileA((HANDLE)(uintptr_t)0x1234, &d);
       },
       ERROR_INVALID_HANDLE},
      {"FindClose bad handle", [] { return FindClose((HANDLE)(uintptr_t)0x1234); }, ERROR_INVALID_HANDLE},
      {"Wow64DisableWow64FsRedirection on 32-bit",
       [] {
         PVOID old = nullptr;
         return Wow64DisableWow64FsRedirection(&old);
       },
       ERROR_INVALID_FUNCTION},
  };
  for (const auto& row : rows) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(row.call()) << row.what;
    EXPECT_EQ(row.error, GetLastError()) << row.what;
  }
  // None of them changed anything.
  EXPECT_EQ("file", FileText("C:\\T\\file.txt"));
  EXPECT_EQ("read-only", FileText("C:\\T\\ro.txt"));
  EXPECT_EQ("hidden", FileText("C:\\T\\hidden.txt"));
  EXPECT_TRUE(Exists("C:\\T\\full\\x.txt"));
  EXPECT_TRUE(Exists("C:\\T\\rodir"));
  EXPECT_FALSE(Exists("C:\\T\\n.txt"));
}

TEST_F(FileErrors, CurrentDirectoryCannotBeRemoved) {
  ASSERT_TRUE(MakeDir("C:\\T\\cwd"));
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\T\\cwd"));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(RemoveDirectoryA("C:\\T\\cwd"));
  EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
  ASSERT_TRUE(SetCurrentDirectoryA(".."));
  EXPECT_TRUE(RemoveDirectoryA("C:\\T\\cwd"));
  EXPECT_FALSE(Exists("C:\\T\\cwd"));
}

TEST_F(FileErrors, SuccessfulCalls) {
  // Removing an empty folder, after clearing its read-only attribute.
  ASSERT_TRUE(SetFileAttributesA("C:\\T\\rodir", FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(RemoveDirectoryA("c:\\t\\RODIR\\"));
  EXPECT_FALSE(Exists("C:\\T\\rodir"));
  // Deleting a read-only file once the attribute is gone.
  ASSERT_TRUE(SetFileAttributesA("C:\\T\\ro.txt", FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(DeleteFileA("C:\\T\\RO.TXT"));
  EXPECT_FALSE(Exists("C:\\T\\ro.txt"));
  // Overwriting with fail-if-exists FALSE replaces the content.
  ASSERT_TRUE(MakeFile("C:\\T\\old.txt", "old old old"));
  EXPECT_TRUE(CopyFileA("C:\\T\\file.txt", "C:\\T\\old.txt", FALSE));
  EXPECT_EQ("file", FileText("C:\\T\\old.txt"));
  // A move renames within the drive and across folders.
  EXPECT_TRUE(MoveFileA("C:\\T\\old.txt", "C:\\T\\full\\moved.txt"));
  EXPECT_FALSE(Exists("C:\\T\\old.txt"));
  EXPECT_EQ("file", FileText("C:\\T\\full\\moved.txt"));
  EXPECT_TRUE(MoveFileExA("C:\\T\\full\\moved.txt", "C:\\T\\file.txt", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ("file", FileText("C:\\T\\file.txt"));
  // Opening an existing file where creating was allowed says so.
  SetLastError(0xdeadbeef);
  HANDLE h = CreateFileA("C:\\T\\file.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_EQ((DWORD)ERROR_ALREADY_EXISTS, GetLastError());
  DWORD high = 0xdeadbeef;
  EXPECT_EQ(4u, GetFileSize(h, &high));
  EXPECT_EQ(0u, high);
  DWORD written = 0xdeadbeef;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(WriteFile(h, "x", 1, &written, nullptr));
  EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_TRUE(CloseHandle(h));
  SetLastError(0xdeadbeef);
  h = CreateFileA("C:\\T\\new.txt", GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_EQ((DWORD)ERROR_SUCCESS, GetLastError());
  EXPECT_TRUE(CloseHandle(h));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
}

TEST_F(FileErrors, ReadAndWriteThroughHandles) {
  HANDLE h = CreateFileA("C:\\T\\data.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  DWORD n = 0;
  EXPECT_TRUE(WriteFile(h, "hello world", 11, &n, nullptr));
  EXPECT_EQ(11u, n);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(WriteFile(h, nullptr, 10, &n, nullptr));
  EXPECT_EQ((DWORD)ERROR_INVALID_USER_BUFFER, GetLastError());
  char buffer[16] = {};
  EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &n, nullptr));
  EXPECT_EQ(0u, n);  // at the end
  EXPECT_EQ(11u, GetFileSize(h, nullptr));
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_EQ("hello world", FileText("C:\\T\\data.bin"));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ReadFile((HANDLE)(uintptr_t)0x1234, buffer, 1, &n, nullptr));
  EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
  SetLastError(0xdeadbeef);
  EXPECT_EQ(INVALID_FILE_SIZE, GetFileSize((HANDLE)(uintptr_t)0x1234, nullptr));
  EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
  // CREATE_ALWAYS empties an existing file and says it existed.
  SetLastError(0xdeadbeef);
  h = CreateFileA("C:\\T\\data.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_EQ((DWORD)ERROR_ALREADY_EXISTS, GetLastError());
  EXPECT_EQ(0u, GetFileSize(h, nullptr));
  CloseHandle(h);
}

TEST(ShlwapiPath, FileExistsForFilesAndFolders) {
  SimMachine machine("xp");
  ASSERT_TRUE(MakeFile("C:\\x.txt"));
  struct Row {
    const char* path;
    BOOL exists;
    DWORD error;  // the last error when it does not exist
  } rows[] = {
      {"C:\\x.txt", TRUE, 0xdeadbeef},
      {"c:\\X.TXT", TRUE, 0xdeadbeef},
      {"C:\\WINDOWS", TRUE, 0xdeadbeef},
      {"C:\\y.txt", FALSE, ERROR_FILE_NOT_FOUND},
      {"C:\\no\\y.txt", FALSE, ERROR_PATH_NOT_FOUND},
  };
  for (const auto& row : rows) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(row.exists, PathFileExistsA(row.path)) << row.path;
    EXPECT_EQ(row.error, GetLastError()) << row.path;
  }
  EXPECT_FALSE(PathFileExistsA(nullptr));
}

}  // namespace

namespace {

// Output parameters are recorded after the call; the search data as an
// object keyed by field names.
TEST(FileJournal, OutputsAreRecorded) {
  SimMachine machine("xp");
  char buffer[MAX_PATH];
  GetWindowsDirectoryA(buffer, sizeof buffer);
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA("C:\\WIND*", &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  FindClose(h);
  SetLastError(0xdeadbeef);
  DeleteFileA("C:\\none.txt");
  JournalQuery journal(machine);
  EXPECT_EQ(1u, journal.Calls("GetWindowsDirectoryA").Where("/args", {"C:\\WINDOWS", 260}).size()) << journal;
  JournalLines finds = journal.Calls("FindFirstFileA");
  ASSERT_EQ(1u, finds.size()) << journal;
  EXPECT_EQ(
      nlohmann::json({{"dwFileAttributes", 16}, {"nFileSizeHigh", 0}, {"nFileSizeLow", 0}, {"cFileName", "WINDOWS"}}),
      finds[0]["args"][1]);
  EXPECT_EQ(1u, journal.Calls("DeleteFileA").Where("/args", {"C:\\none.txt"}).With({{"ret", 0}, {"err", 2}}).size())
      << journal;
}

}  // namespace
