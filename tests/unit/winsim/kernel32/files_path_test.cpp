// Windows path rules of drive C:: letter case, separators, relative names,
// "." and "..", trailing dots and spaces, ill-formed names, other drives and
// lengths; GetFullPathNameA and the size protocol of the directory queries.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/filesystem.h"
#include "sim_files.h"
#include "sim_machine.h"

using winsim::FileSystem;
using winsim::ResolvedPath;

namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The host's "read-only": its owner may no longer write.
void ClearOwnerWrite(const std::string& path) {
  std::filesystem::permissions(path, std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
}

struct ResolveRow {
  std::string path;
  DWORD error;  // 0: resolves
  bool exists;
  bool parentExists;
  const char* host;     // expected end of the host path, or null
  const char* windows;  // expected full Windows path, or null
};

class PathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeDir("C:\\Data"));
    ASSERT_TRUE(MakeDir("C:\\Data\\Sub"));
    ASSERT_TRUE(MakeFile("C:\\Data\\File.txt", "x"));
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Data"));
  }
  SimMachine m_machine{"xp"};
};

TEST_F(PathTest, ResolveTable) {
  const ResolveRow rows[] = {
      {"C:\\Data\\File.txt", 0, true, true, "/drive_c/Data/File.txt", "C:\\Data\\File.txt"},
      {"c:\\DATA\\file.TXT", 0, true, true, "/drive_c/Data/File.txt", "C:\\DATA\\file.TXT"},
      {"C:/Data/File.txt", 0, true, true, "/drive_c/Data/File.txt", "C:\\Data\\File.txt"},
      {"C:\\\\Data\\\\\\File.txt", 0, true, true, "/drive_c/Data/File.txt", "C:\\Data\\File.txt"},
      {"File.txt", 0, true, true, "/drive_c/Data/File.txt", "C:\\Data\\File.txt"},
      {"Sub\\..\\File.txt", 0, true, true, "/drive_c/Data/File.txt", "C:\\Data\\File.txt"},
      {".\\Sub\\.\\..\\File.txt", 0, true, true, "/drive_c/Data/File.txt", "C:\\Data\\File.txt"},
      {"\\Data\\File.txt", 0, true, true, "/drive_c/Data/File.txt", "C:\\Data\\File.txt"},
      {"C:File.txt", 0, true, true, "/drive_c/Data/File.txt", "C:\\Data\\File.txt"},
      {"..\\..\\..\\Data\\File.txt", 0, true, true, "/drive_c/Data/File.txt", "C:\\Data\\File.txt"},
      {"File.txt. . ", 0, true, true, "/drive_c/Data/File.txt", "C:\\Data\\File.txt"},
      {"..\\Data.\\File.txt", 0, true, true, "/drive_c/Data/File.txt", "C:\\Data\\File.txt"},
      {"..\\Data..\\File.txt", 0, false, false, nullptr, "C:\\Data.\\File.txt"},
      {"..\\Data \\File.txt", 0, false, false, nullptr, nullptr},
      {"sub\\", 0, true, true, "/drive_c/Data/Sub", "C:\\Data\\sub\\"},
      {"C:\\Data\\New.txt", 0, false, true, "/drive_c/Data/New.txt", nullptr},
      {"c:\\data\\NewDir\\", 0, false, true, "/drive_c/Data/NewDir", nullptr},
      {"C:\\Data\\Missing\\New.txt", 0, false, false, "/drive_c/Data/Missing/New.txt", nullptr},
      {"C:\\Data\\File.txt\\x", 0, false, false, nullptr, nullptr},
      {"C:\\", 0, true, true, "/drive_c", "C:\\"},
      {"C:", 0, true, true, "/drive_c/Data", "C:\\Data"},
      {"\\\\?\\C:\\Data\\File.txt", 0, true, true, "/drive_c/Data/File.txt", nullptr},
      {"D:\\Data\\File.txt", ERROR_PATH_NOT_FOUND, false, false, nullptr, nullptr},
      {"d:File.txt", ERROR_PATH_NOT_FOUND, false, false, nullptr, nullptr},
      {"\\\\server\\share\\File.txt", ERROR_BAD_NETPATH, false, false, nullptr, nullptr},
      {"", ERROR_PATH_NOT_FOUND, false, false, nullptr, nullptr},
      {"C:\\Da|ta\\File.txt", ERROR_INVALID_NAME, false, false, nullptr, nullptr},
      {"C:\\Data\\a?b", ERROR_INVALID_NAME, false, false, nullptr, nullptr},
      {"C:\\Data\\a*", ERROR_INVALID_NAME, false, false, nullptr, nullptr},
      {"C:\\Data\\a:b", ERROR_INVALID_NAME, false, false, nullptr, nullptr},
      {"C:\\Data\\<x>", ERROR_INVALID_NAME, false, false, nullptr, nullptr},
      {"C:\\Data\\\"x\"", ERROR_INVALID_NAME, false, false, nullptr, nullptr},
      {"C:\\Data\\a\tb", ERROR_INVALID_NAME, false, false, nullptr, nullptr},
      {"C:\\" + std::string(300, 'a'), ERROR_FILENAME_EXCED_RANGE, false, false, nullptr, nullptr},
      // Short enough as given, too long once it is a full path.
      {std::string(255, 'a'), ERROR_PATH_NOT_FOUND, false, false, nullptr, nullptr},
      {"C:\\Data\\" + std::string(250, 'a'), 0, false, true, nullptr, nullptr},
  };
  for (const auto& row : rows) {
    ResolvedPath r;
    DWORD error = 0xdeadbeef;
    bool ok = FileSystem::ResolveEx(row.path.c_str(), FileSystem::kRedirect, &r, &error);
    std::string name = row.path.size() > 40 ? row.path.substr(0, 40) + "..." : row.path;
    if (row.error) {
      EXPECT_FALSE(ok) << name;
      EXPECT_EQ(row.error, error) << name;
      continue;
    }
    ASSERT_TRUE(ok) << name << " error " << error;
    EXPECT_EQ(row.exists, r.exists) << name;
    EXPECT_EQ(row.parentExists, r.parentExists) << name;
    if (row.host) {
      EXPECT_TRUE(EndsWith(r.host, row.host)) << name << ": " << r.host;
    }
    if (row.windows) {
      EXPECT_EQ(row.windows, r.windows) << name;
    }
  }
}

TEST_F(PathTest, NewNamesKeepTheirCase) {
  ASSERT_TRUE(MakeDir("c:\\data\\MixedCase"));
  ASSERT_TRUE(MakeFile("C:\\DATA\\mixedcase\\ReadMe.TXT", "hi"));
  auto entries = FileSystem::List(HostOf("C:\\Data"));
  bool found = false;
  for (const auto& e : entries) found |= e.name == "MixedCase";
  EXPECT_TRUE(found);
  EXPECT_TRUE(EndsWith(HostOf("C:\\data\\mixedcase\\readme.txt"), "/drive_c/Data/MixedCase/ReadMe.TXT"));
  EXPECT_EQ("hi", FileText("c:\\Data\\MIXEDCASE\\readme.txt"));

  // The host changes the folders behind the program's back: a folder spelled
  // exactly as asked wins over the one found in another case, and the other
  // is found again once it is gone.
  const std::string root = HostOf("C:\\");
  std::filesystem::create_directories(root + "/data/mixedcase");
  std::ofstream(root + "/data/mixedcase/readme.txt") << "exact";
  EXPECT_TRUE(EndsWith(HostOf("C:\\data\\mixedcase\\readme.txt"), "/drive_c/data/mixedcase/readme.txt"));
  EXPECT_EQ("exact", FileText("C:\\data\\mixedcase\\readme.txt"));
  std::filesystem::remove_all(root + "/data");
  EXPECT_EQ("hi", FileText("C:\\data\\mixedcase\\readme.txt"));
  // A folder on the way moved off and another put in its place.
  EXPECT_EQ("hi", FileText("C:\\Data\\mixedcase\\readme.txt"));
  std::filesystem::rename(root + "/Data", root + "/Gone");
  std::filesystem::create_directories(root + "/Data/mixedCASE");
  std::ofstream(root + "/Data/mixedCASE/readme.txt") << "again";
  EXPECT_TRUE(EndsWith(HostOf("C:\\Data\\mixedcase\\readme.txt"), "/drive_c/Data/mixedCASE/readme.txt"));
  EXPECT_EQ("again", FileText("C:\\Data\\mixedcase\\readme.txt"));
  // A folder below one spelled otherwise is kept open, its names looked up
  // in it; deleted on the host and made again, the new one is used.
  ASSERT_TRUE(MakeDir("C:\\DATA\\mixedCASE\\Deep"));
  ASSERT_TRUE(MakeFile("C:\\DATA\\mixedCASE\\Deep\\old.txt", "old"));
  EXPECT_EQ("old", FileText("C:\\DATA\\mixedCASE\\Deep\\old.txt"));
  std::filesystem::remove_all(root + "/Data/mixedCASE/Deep");
  std::filesystem::create_directories(root + "/Data/mixedCASE/Deep");
  std::ofstream(root + "/Data/mixedCASE/Deep/new.txt") << "new";
  EXPECT_EQ("new", FileText("C:\\DATA\\mixedCASE\\Deep\\new.txt"));
  EXPECT_TRUE(DeleteFileA("C:\\DATA\\mixedCASE\\Deep\\new.txt"));
  EXPECT_FALSE(std::filesystem::exists(root + "/Data/mixedCASE/Deep/new.txt"));
  // The same folder, now empty, replaced by another moved onto it.
  std::filesystem::create_directories(root + "/Data/mixedCASE/Other");
  std::ofstream(root + "/Data/mixedCASE/Other/moved.txt") << "moved";
  std::filesystem::rename(root + "/Data/mixedCASE/Other", root + "/Data/mixedCASE/Deep");
  EXPECT_EQ("moved", FileText("C:\\DATA\\mixedCASE\\Deep\\moved.txt"));
  // A name read in the kept folder (by a search, then or not by a query),
  // then changed on the host: the program sees it as it is now.
  const std::string deep = root + "/Data/mixedCASE/Deep";
  const std::string link = root + "/Data/link.txt";
  const char kFile[] = "C:\\DATA\\mixedCASE\\Deep\\moved.txt";
  namespace fs = std::filesystem;
  struct HostChange {
    const char* what;
    bool queried;     // GetFileAttributesA read it after the search
    bool secondName;  // the file has a second name, link.txt in C:\Data
    void (*change)(const std::string& deep);
    DWORD attributes;  // GetFileAttributesA afterwards
    DWORD error;       // its error when missing, else DeleteFileA's (0: deleted)
  };
  const HostChange changes[] = {
      {"made read-only", true, false, [](const std::string& d) { ClearOwnerWrite(d + "/moved.txt"); },
       FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, ERROR_ACCESS_DENIED},
      {"made read-only after a search", false, false, [](const std::string& d) { ClearOwnerWrite(d + "/moved.txt"); },
       FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, ERROR_ACCESS_DENIED},
      {"made hidden", true, false,
       [](const std::string& d) { fs::permissions(d + "/moved.txt", fs::perms::sticky_bit, fs::perm_options::add); },
       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE, 0},
      {"deleted", true, false, [](const std::string& d) { fs::remove(d + "/moved.txt"); }, INVALID_FILE_ATTRIBUTES,
       ERROR_FILE_NOT_FOUND},
      {"deleted after a search", false, false, [](const std::string& d) { fs::remove(d + "/moved.txt"); },
       INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND},
      {"renamed away", true, false, [](const std::string& d) { fs::rename(d + "/moved.txt", d + "/away.txt"); },
       INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND},
      {"replaced by a folder", true, false,
       [](const std::string& d) {
         fs::remove(d + "/moved.txt");
         fs::create_directory(d + "/moved.txt");
       },
       FILE_ATTRIBUTE_DIRECTORY, ERROR_ACCESS_DENIED},
      {"replaced by a read-only file moved onto it", true, false,
       [](const std::string& d) {
         std::ofstream(d + "/other.txt") << "other";
         ClearOwnerWrite(d + "/other.txt");
         fs::rename(d + "/other.txt", d + "/moved.txt");
       },
       FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, ERROR_ACCESS_DENIED},
      // The program's own deletion of another name before the change.
      {"made read-only after the program deleted another file", true, false,
       [](const std::string& d) {
         std::ofstream(d + "/other.txt") << "other";
         EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesA("C:\\DATA\\mixedCASE\\Deep\\other.txt"));
         EXPECT_TRUE(DeleteFileA("C:\\DATA\\mixedCASE\\Deep\\other.txt"));
         EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\DATA\\mixedCASE\\Deep\\other.txt"));
         ClearOwnerWrite(d + "/moved.txt");
       },
       FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, ERROR_ACCESS_DENIED},
      {"made read-only through its other name", true, true,
       [](const std::string& d) { ClearOwnerWrite(d + "/../../link.txt"); },
       FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, ERROR_ACCESS_DENIED},
  };
  for (const HostChange& row : changes) {
    // The folder stays (and stays kept); only its names are made anew.
    fs::remove_all(deep + "/moved.txt");
    fs::remove(deep + "/away.txt");
    fs::remove(link);
    std::ofstream(deep + "/moved.txt") << "moved";
    if (row.secondName) fs::create_hard_link(deep + "/moved.txt", link);
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(kFile, &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find) << row.what;
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, data.dwFileAttributes) << row.what;
    FindClose(find);
    if (row.queried) {
      EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesA(kFile)) << row.what;
    }
    row.change(deep);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(row.attributes, GetFileAttributesA(kFile)) << row.what;
    if (row.attributes == INVALID_FILE_ATTRIBUTES) {
      EXPECT_EQ(row.error, GetLastError()) << row.what;
      continue;
    }
    EXPECT_EQ(row.error == 0, DeleteFileA(kFile) != FALSE) << row.what;
    if (row.error) {
      EXPECT_EQ(row.error, GetLastError()) << row.what;
    }
    EXPECT_EQ(row.error == 0, !fs::exists(deep + "/moved.txt")) << row.what;
    EXPECT_EQ(row.error == 0, GetFileAttributesA(kFile) == INVALID_FILE_ATTRIBUTES) << row.what;
  }
  fs::remove(link);
  fs::remove_all(deep);
  fs::create_directories(deep);
  std::ofstream(deep + "/moved.txt") << "moved";
  EXPECT_EQ("moved", FileText("C:\\DATA\\mixedCASE\\Deep\\moved.txt"));
  // The folders kept open are closed with the machine (the first call of
  // a process opens its journal).
  auto openFds = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
  m_machine.Restart();
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\"));
  auto before = openFds();
  EXPECT_EQ("moved", FileText("C:\\DATA\\mixedCASE\\Deep\\moved.txt"));
  EXPECT_EQ(before + 1, openFds());
  m_machine.Restart();
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\"));
  EXPECT_EQ(before, openFds());
}

TEST_F(PathTest, HostPathNeedsAnAbsolutePathOnC) {
  EXPECT_TRUE(EndsWith(HostOf("c:\\data\\file.txt"), "/drive_c/Data/File.txt"));
  EXPECT_EQ("", HostOf("File.txt"));
  EXPECT_EQ("", HostOf("D:\\Data"));
}

struct FullPathRow {
  const char* name;
  const char* full;
  const char* filePart;  // null: none
};

TEST_F(PathTest, GetFullPathNameTable) {
  const FullPathRow rows[] = {
      {"x.txt", "C:\\Data\\x.txt", "x.txt"},
      {"..\\x", "C:\\x", "x"},
      {"c:/a//b/./c.", "C:\\a\\b\\c", "c"},
      {"C:\\a\\b\\", "C:\\a\\b\\", nullptr},
      {"\\x", "C:\\x", "x"},
      {"D:\\a\\..\\b", "D:\\b", "b"},
      {"d:x", "D:\\x", "x"},
      {"C:\\a\\..\\..\\..", "C:\\", nullptr},
      {"nosuch\\a?b", "C:\\Data\\nosuch\\a?b", "a?b"},
  };
  for (const auto& row : rows) {
    char buffer[MAX_PATH];
    LPSTR part = (LPSTR)0x1;
    SetLastError(0xdeadbeef);
    DWORD n = GetFullPathNameA(row.name, sizeof buffer, buffer, &part);
    EXPECT_EQ(strlen(row.full), n) << row.name;
    EXPECT_STREQ(row.full, buffer) << row.name;
    if (row.filePart) {
      EXPECT_STREQ(row.filePart, part) << row.name;
    } else {
      EXPECT_EQ(nullptr, part) << row.name;
    }
  }
  SetLastError(0xdeadbeef);
  EXPECT_EQ(0u, GetFullPathNameA("", MAX_PATH, nullptr, nullptr));
  EXPECT_EQ((DWORD)ERROR_INVALID_NAME, GetLastError());
}

struct SizeRow {
  const char* what;
  DWORD (*query)(DWORD size, LPSTR buffer);
  const char* expected;
};

DWORD CallGetWindowsDirectory(DWORD n, LPSTR b) { return GetWindowsDirectoryA(b, n); }
DWORD SystemDir(DWORD n, LPSTR b) { return GetSystemDirectoryA(b, n); }
DWORD CurrentDir(DWORD n, LPSTR b) { return GetCurrentDirectoryA(n, b); }
DWORD TempPath(DWORD n, LPSTR b) { return GetTempPathA(n, b); }
DWORD FullPath(DWORD n, LPSTR b) { return GetFullPathNameA("Sub", n, b, nullptr); }

// Too short a buffer gets the size needed with the zero and stays as it was;
// one that fits gets the text, and the length without the zero comes back.
TEST_F(PathTest, BufferSizeProtocol) {
  const SizeRow rows[] = {
      {"GetWindowsDirectoryA", CallGetWindowsDirectory, "C:\\WINDOWS"},
      {"GetSystemDirectoryA", SystemDir, "C:\\WINDOWS\\system32"},
      {"GetCurrentDirectoryA", CurrentDir, "C:\\Data"},
      {"GetTempPathA", TempPath, "C:\\WINDOWS\\Temp\\"},
      {"GetFullPathNameA", FullPath, "C:\\Data\\Sub"},
  };
  for (const auto& row : rows) {
    DWORD need = row.query(0, nullptr);
    EXPECT_EQ(strlen(row.expected) + 1, need) << row.what;
    char buffer[MAX_PATH] = "foo";
    EXPECT_EQ(need, row.query(need - 1, buffer)) << row.what;
    EXPECT_STREQ("foo", buffer) << row.what;
    EXPECT_EQ(need - 1, row.query(need, buffer)) << row.what;
    EXPECT_STREQ(row.expected, buffer) << row.what;
  }
}

TEST(SystemWow64Directory, OnlyOn64BitWindows) {
  {
    SimMachine machine("7");
    char buffer[MAX_PATH] = "foo";
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0u, GetSystemWow64DirectoryA(buffer, sizeof buffer));
    EXPECT_EQ((DWORD)ERROR_CALL_NOT_IMPLEMENTED, GetLastError());
  }
  {
    SimMachine machine("7-x64");
    char buffer[MAX_PATH] = "foo";
    EXPECT_EQ(strlen("C:\\Windows\\SysWOW64"), GetSystemWow64DirectoryA(buffer, sizeof buffer));
    EXPECT_STREQ("C:\\Windows\\SysWOW64", buffer);
    EXPECT_STREQ("C:\\Windows\\system32", (GetSystemDirectoryA(buffer, sizeof buffer), buffer));
  }
}

TEST(CurrentDirectory, StartsAtWinsimCwdOrTheWindowsDirectory) {
  {
    SimMachine machine("xp");
    char buffer[MAX_PATH];
    GetCurrentDirectoryA(sizeof buffer, buffer);
    EXPECT_STREQ("C:\\WINDOWS", buffer);
    ASSERT_TRUE(MakeDir("C:\\Package"));
  }
  {
    SimMachine machine("xp");
    ASSERT_TRUE(MakeDir("C:\\Package"));
    setenv("WINSIM_CWD", "c:\\package\\", 1);
    machine.Restart();
    char buffer[MAX_PATH];
    GetCurrentDirectoryA(sizeof buffer, buffer);
    EXPECT_STREQ("C:\\package", buffer);
    setenv("WINSIM_CWD", "C:\\NoSuchFolder", 1);
    machine.Restart();
    GetCurrentDirectoryA(sizeof buffer, buffer);
    EXPECT_STREQ("C:\\WINDOWS", buffer);
    unsetenv("WINSIM_CWD");
  }
}

TEST_F(PathTest, SetCurrentDirectoryErrors) {
  struct Row {
    const char* path;
    DWORD error;
  } rows[] = {
      {"\\some_dummy_dir", ERROR_FILE_NOT_FOUND}, {"\\some_dummy\\subdir", ERROR_PATH_NOT_FOUND},
      {"C:\\Data\\File.txt", ERROR_DIRECTORY},    {"E:\\", ERROR_PATH_NOT_FOUND},
      {"C:\\Data\\a|b", ERROR_INVALID_NAME},
  };
  for (const auto& row : rows) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetCurrentDirectoryA(row.path)) << row.path;
    EXPECT_EQ(row.error, GetLastError()) << row.path;
  }
  char buffer[MAX_PATH];
  GetCurrentDirectoryA(sizeof buffer, buffer);
  EXPECT_STREQ("C:\\Data", buffer);
  EXPECT_TRUE(SetCurrentDirectoryA("sub\\..\\SUB\\"));
  GetCurrentDirectoryA(sizeof buffer, buffer);
  EXPECT_STREQ("C:\\Data\\SUB", buffer);
}

}  // namespace
