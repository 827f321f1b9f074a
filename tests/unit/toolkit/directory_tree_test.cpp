// DeleteDirectoryTree on drive C: of the simulated machine.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "core/filesystem.h"
#include "directory_tree.h"
#include "journal_query.h"
#include "sim_machine.h"
#include "spooler_fixture.h"

using spooler_fixture::FileExists;
using spooler_fixture::WriteFile;

namespace {

const char kTree[] = "C:\\WINDOWS\\system32\\spool\\DRIVERS\\W32X86\\velkora_kvl_m7207188";

std::string Host(const std::string& windowsPath) { return winsim::FileSystem::HostPath(windowsPath); }

// The tree: files and folders, some read-only, two levels deep.
::testing::AssertionResult MakeTree(const std::string& root) {
  for (const char* dir : {"", "\\sub", "\\sub\\deeper", "\\empty"})
    if (!CreateDirectoryA((root + dir).c_str(), nullptr))
      return ::testing::AssertionFailure() << "CreateDirectoryA " << root + dir;
  for (const char* f : {"\\a.dll", "\\b.dat", "\\sub\\c.dll", "\\sub\\deeper\\d.hlp"}) WriteFile(root + f, f);
  for (const char* ro : {"\\a.dll", "\\sub\\c.dll", "\\sub\\deeper\\d.hlp", "\\sub\\deeper", "\\empty", ""})
    if (!SetFileAttributesA((root + ro).c_str(), FILE_ATTRIBUTE_READONLY))
      return ::testing::AssertionFailure() << "SetFileAttributesA " << ro;
  return ::testing::AssertionSuccess();
}

struct TreeRow {
  const char* what;
  bool populate;
  const char* suffix;   // appended to the path given
  const char* pattern;  // the search's pattern after the path: one backslash before *.*
};

const TreeRow kTrees[] = {
    {"empty directory", false, "", "\\*.*"},
    {"empty directory, trailing backslash", false, "\\", "\\*.*"},
    {"read-only tree", true, "", "\\*.*"},
    {"read-only tree, trailing backslash", true, "\\", "\\*.*"},
    {"read-only tree, forward slash", true, "/", "/\\*.*"},
};

TEST(DeleteDirectoryTree, RemovesEverythingWithOrWithoutTrailingBackslash) {
  for (const auto& r : kTrees) {
    SimMachine machine("xp");
    if (r.populate)
      ASSERT_TRUE(MakeTree(kTree)) << r.what;
    else
      ASSERT_TRUE(CreateDirectoryA(kTree, nullptr)) << r.what;
    WriteFile(std::string(kTree) + "_sibling.txt", "stays");
    DeleteDirectoryTree(CString(kTree) + r.suffix);
    JournalLines finds = JournalQuery(machine).Calls("FindFirstFileA");
    ASSERT_FALSE(finds.empty()) << r.what;
    EXPECT_EQ(std::string(kTree) + r.pattern, finds.front()["args"][0]) << r.what;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(kTree)) << r.what;
    EXPECT_TRUE(FileExists(std::string(kTree) + "_sibling.txt")) << r.what;
    EXPECT_TRUE(FileExists("C:\\WINDOWS\\system32\\spool\\DRIVERS\\W32X86\\3")) << r.what;
  }
}

TEST(DeleteDirectoryTree, AFileHeldOpenStaysWithItsDirectories) {
  SimMachine machine("xp");
  ASSERT_TRUE(MakeTree(kTree));
  std::string held = std::string(kTree) + "\\sub\\deeper\\d.hlp";
  SetFileAttributesA(held.c_str(), FILE_ATTRIBUTE_NORMAL);
  HANDLE h = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  DeleteDirectoryTree(kTree);
  EXPECT_TRUE(FileExists(held));
  EXPECT_TRUE(FileExists(std::string(kTree) + "\\sub\\deeper"));
  EXPECT_TRUE(FileExists(kTree));
  for (const char* gone : {"\\a.dll", "\\b.dat", "\\sub\\c.dll", "\\empty"})
    EXPECT_FALSE(FileExists(std::string(kTree) + gone)) << gone;
  CloseHandle(h);
  // Once the file is closed, the next run takes the rest.
  DeleteDirectoryTree(kTree);
  EXPECT_FALSE(FileExists(kTree));
}

TEST(DeleteDirectoryTree, RemovesJunctionsNotWhatTheyPointTo) {
  SimMachine machine("7");
  const char* outside = "C:\\Users\\Public\\Documents";
  WriteFile(std::string(outside) + "\\keep.txt", "keep");
  ASSERT_TRUE(SetFileAttributesA((std::string(outside) + "\\keep.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  const char* tree = "C:\\Windows\\system32\\spool\\DRIVERS\\W32X86\\velkora_kvl_m7207188";
  ASSERT_TRUE(MakeTree(tree));
  std::filesystem::create_directory_symlink(Host(outside), Host(std::string(tree) + "\\sub\\junction"));
  std::filesystem::create_symlink(Host(std::string(outside) + "\\keep.txt"), Host(std::string(tree) + "\\link.txt"));
  ASSERT_NE(0u, GetFileAttributesA((std::string(tree) + "\\sub\\junction").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);

  DeleteDirectoryTree(tree);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(tree));
  EXPECT_TRUE(FileExists(std::string(outside) + "\\keep.txt"));
  EXPECT_EQ((DWORD)FILE_ATTRIBUTE_READONLY,
            GetFileAttributesA((std::string(outside) + "\\keep.txt").c_str()) & FILE_ATTRIBUTE_READONLY)
      << "the target's attributes are untouched";

  // The path itself a junction: the link goes, the target stays whole.
  std::filesystem::create_directory_symlink(Host(outside), Host(tree));
  DeleteDirectoryTree(tree);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(tree));
  EXPECT_TRUE(FileExists(std::string(outside) + "\\keep.txt"));
}

TEST(DeleteDirectoryTree, NothingForAMissingPathAnEmptyOneOrARoot) {
  SimMachine machine("xp");
  WriteFile("C:\\top.txt", "stays");
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\WINDOWS"));
  for (const char* path : {"", "\\", "C:", "C:\\", "c:/", "C:\\no\\such\\folder"}) {
    DeleteDirectoryTree(path);
    EXPECT_TRUE(FileExists("C:\\top.txt")) << path;
    EXPECT_TRUE(FileExists("C:\\WINDOWS\\system32")) << path;
  }
}

}  // namespace
