// Directory searches: the patterns, the order NTFS reports names in, the
// "." and ".." entries, and the error numbers.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "sim_files.h"
#include "sim_machine.h"

namespace {

class FindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeDir("C:\\F"));
    for (const char* name : {"b.txt", "A.TXT", "readme", "_x", "c.tar.gz", "zz.t", "a.txt.bak"}) {
      std::string path = std::string("C:\\F\\") + name;
      ASSERT_TRUE(MakeFile(path.c_str(), name));
    }
    ASSERT_TRUE(MakeDir("C:\\F\\Sub"));
  }

  // All names a search reports, in order; "!<error>" when it fails.
  static std::vector<std::string> Search(const char* pattern, bool withDots = true) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    SetLastError(0xdeadbeef);
    HANDLE h = FindFirstFileA(pattern, &data);
    if (h == INVALID_HANDLE_VALUE) return {"!" + std::to_string(GetLastError())};
    do {
      std::string n = data.cFileName;
      if (withDots || (n != "." && n != "..")) names.push_back(n);
    } while (FindNextFileA(h, &data));
    if (GetLastError() != ERROR_NO_MORE_FILES) names.push_back("!end " + std::to_string(GetLastError()));
    EXPECT_TRUE(FindClose(h));
    return names;
  }

  SimMachine m_machine{"xp"};
};

using Names = std::vector<std::string>;

TEST_F(FindTest, OrderIsUpperCasedNameOrderWithDotsFirst) {
  EXPECT_EQ((Names{".", "..", "A.TXT", "a.txt.bak", "b.txt", "c.tar.gz", "readme", "Sub", "zz.t", "_x"}),
            Search("C:\\F\\*"));
}

TEST_F(FindTest, PatternTable) {
  struct Row {
    const char* pattern;
    Names names;  // without "." and ".."
  } rows[] = {
      {"C:\\F\\*.*", {"A.TXT", "a.txt.bak", "b.txt", "c.tar.gz", "readme", "Sub", "zz.t", "_x"}},
      {"C:\\F\\*.txt", {"A.TXT", "b.txt"}},
      {"c:/f/*.TXT", {"A.TXT", "b.txt"}},
      {"C:\\F\\?.txt", {"A.TXT", "b.txt"}},
      {"C:\\F\\*.", {"readme", "Sub", "_x"}},
      {"C:\\F\\readme.*", {"readme"}},
      {"C:\\F\\*.gz", {"c.tar.gz"}},
      {"C:\\F\\c.*", {"c.tar.gz"}},
      {"C:\\F\\*.t", {"zz.t"}},
      {"C:\\F\\??.t", {"zz.t"}},
      {"C:\\F\\z?.?", {"zz.t"}},
      {"C:\\F\\*txt*", {"A.TXT", "a.txt.bak", "b.txt"}},
      {"C:\\F\\README", {"readme"}},
      {"C:\\F\\sub", {"Sub"}},
      {"C:\\F\\b.txt.", {"b.txt"}},
      {"C:\\F\\q*", {"!2"}},
      {"C:\\F\\nope\\*", {"!3"}},
      {"C:\\F\\readme\\*", {"!3"}},
      {"C:\\F\\", {"!2"}},
      {"C:\\", {"!2"}},
      {"C:\\nope\\", {"!3"}},
      {"C:\\F\\a|*", {"!123"}},
      {"C:\\F*\\x", {"!123"}},
      {"", {"!3"}},
  };
  for (const auto& row : rows) EXPECT_EQ(row.names, Search(row.pattern, false)) << row.pattern;
}

TEST_F(FindTest, RootHasNoDotEntriesAndEmptyFoldersHaveThem) {
  Names root = Search("C:\\*");
  ASSERT_FALSE(root.empty());
  EXPECT_NE(".", root[0]);
  EXPECT_EQ((Names{"F", "Program Files", "WINDOWS"}), Search("C:\\*", false));
  ASSERT_TRUE(MakeDir("C:\\F\\Sub\\Empty"));
  EXPECT_EQ((Names{".", ".."}), Search("C:\\F\\Sub\\Empty\\*.*"));
}

TEST_F(FindTest, ReportsWhatEachEntryIs) {
  ASSERT_TRUE(SetFileAttributesA("C:\\F\\b.txt", FILE_ATTRIBUTE_READONLY));
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA("C:\\F\\B.TXT", &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_STREQ("b.txt", data.cFileName);
  EXPECT_EQ((DWORD)FILE_ATTRIBUTE_READONLY, data.dwFileAttributes);
  EXPECT_EQ(5u, data.nFileSizeLow);
  EXPECT_EQ(0u, data.nFileSizeHigh);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(FindNextFileA(h, &data));
  EXPECT_EQ((DWORD)ERROR_NO_MORE_FILES, GetLastError());
  EXPECT_TRUE(FindClose(h));
  h = FindFirstFileA("C:\\F\\Sub", &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_EQ((DWORD)FILE_ATTRIBUTE_DIRECTORY, data.dwFileAttributes);
  FindClose(h);
}

// A search goes on from the last name it reported: entries removed ahead of
// it drop out, entries created ahead of it show up.
TEST_F(FindTest, SearchSeesChangesAheadOfIt) {
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA("C:\\F\\*", &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  Names seen{data.cFileName};
  for (int i = 0; i < 3 && FindNextFileA(h, &data); ++i) seen.push_back(data.cFileName);
  EXPECT_EQ((Names{".", "..", "A.TXT", "a.txt.bak"}), seen);
  ASSERT_TRUE(DeleteFileA("C:\\F\\A.TXT"));
  ASSERT_TRUE(DeleteFileA("C:\\F\\c.tar.gz"));
  ASSERT_TRUE(MakeFile("C:\\F\\d.txt"));
  ASSERT_TRUE(MakeFile("C:\\F\\a.aaa"));
  while (FindNextFileA(h, &data)) seen.push_back(data.cFileName);
  EXPECT_EQ((Names{".", "..", "A.TXT", "a.txt.bak", "b.txt", "d.txt", "readme", "Sub", "zz.t", "_x"}), seen);
  FindClose(h);
}

}  // namespace
