// CFileFind over the simulated drive C:: the entry current after each
// FindNextFile, the last entry reported with FALSE, paths, dots and masks.
#include <gtest/gtest.h>

#include <afxwin.h>

#include <string>
#include <vector>

#include "sim_files.h"
#include "sim_machine.h"

namespace {

class FileFindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeDir("C:\\Tree"));
    ASSERT_TRUE(MakeDir("C:\\Tree\\Sub"));
    ASSERT_TRUE(MakeFile("C:\\Tree\\b.dll", "b"));
    ASSERT_TRUE(MakeFile("C:\\Tree\\a.txt", "a", FILE_ATTRIBUTE_READONLY));
  }

  SimMachine m_machine{"xp"};
};

struct Entry {
  std::string name;
  std::string path;
  bool more;
  bool dots;
  bool directory;
  bool readOnly;
  bool operator==(const Entry& o) const {
    return name == o.name && path == o.path && more == o.more && dots == o.dots && directory == o.directory &&
           readOnly == o.readOnly;
  }
};

std::ostream& operator<<(std::ostream& os, const Entry& e) {
  return os << "{" << e.name << ", " << e.path << ", more " << e.more << ", dots " << e.dots << ", dir " << e.directory
            << ", ro " << e.readOnly << "}";
}

std::vector<Entry> Walk(LPCSTR pattern) {
  std::vector<Entry> out;
  CFileFind finder;
  if (!finder.FindFile(pattern)) return out;
  BOOL more = TRUE;
  while (more) {
    more = finder.FindNextFile();
    out.push_back({(LPCSTR)finder.GetFileName(), (LPCSTR)finder.GetFilePath(), more != FALSE, finder.IsDots() != FALSE,
                   finder.IsDirectory() != FALSE, finder.MatchesMask(FILE_ATTRIBUTE_READONLY) != FALSE});
  }
  finder.Close();
  return out;
}

TEST_F(FileFindTest, EveryEntryWithTheLastOneReportedAsLast) {
  std::vector<Entry> expected = {
      {".", "C:\\Tree\\.", true, true, true, false},          {"..", "C:\\Tree\\..", true, true, true, false},
      {"a.txt", "C:\\Tree\\a.txt", true, false, false, true}, {"b.dll", "C:\\Tree\\b.dll", true, false, false, false},
      {"Sub", "C:\\Tree\\Sub", false, false, true, false},
  };
  EXPECT_EQ(expected, Walk("C:\\Tree\\*.*"));
}

TEST_F(FileFindTest, RootIsTheDirectoryOfThePattern) {
  CFileFind finder;
  ASSERT_TRUE(finder.FindFile("C:\\Tree\\*.dll"));
  EXPECT_STREQ("C:\\Tree", finder.GetRoot());
  // Nothing is current before the first FindNextFile.
  EXPECT_TRUE(finder.GetFileName().IsEmpty());
  EXPECT_FALSE(finder.IsDirectory());
  EXPECT_FALSE(finder.FindNextFile());  // the only match is also the last
  EXPECT_STREQ("C:\\Tree\\b.dll", finder.GetFilePath());
  // Past the end nothing changes and nothing breaks.
  EXPECT_FALSE(finder.FindNextFile());
}

TEST_F(FileFindTest, NoMatchAndMissingDirectory) {
  CFileFind finder;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(finder.FindFile("C:\\Tree\\*.none"));
  EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
  EXPECT_FALSE(finder.FindNextFile());
  EXPECT_TRUE(finder.GetFilePath().IsEmpty());

  SetLastError(0xdeadbeef);
  EXPECT_FALSE(finder.FindFile("C:\\Missing\\*.*"));
  EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());

  std::string tooLong = "C:\\" + std::string(300, 'x') + "\\*.*";
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(finder.FindFile(tooLong.c_str()));
  EXPECT_EQ((DWORD)ERROR_FILENAME_EXCED_RANGE, GetLastError());
}

TEST_F(FileFindTest, ANewSearchClosesTheOldOne) {
  CFileFind finder;
  ASSERT_TRUE(finder.FindFile("C:\\Tree\\*.*"));
  finder.FindNextFile();
  ASSERT_TRUE(finder.FindFile("C:\\Tree\\Sub\\*.*"));
  EXPECT_TRUE(finder.FindNextFile());
  EXPECT_STREQ("C:\\Tree\\Sub\\.", finder.GetFilePath());
  EXPECT_FALSE(finder.FindNextFile());
  EXPECT_STREQ("..", finder.GetFileName());
}

TEST_F(FileFindTest, RelativePatternGetsAFullRoot) {
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\Tree"));
  CFileFind finder;
  ASSERT_TRUE(finder.FindFile("Sub"));
  EXPECT_FALSE(finder.FindNextFile());
  EXPECT_STREQ("C:\\Tree\\Sub", finder.GetFilePath());
  ASSERT_TRUE(finder.FindFile());  // "*.*" in the current directory
  EXPECT_STREQ("C:\\Tree", finder.GetRoot());
}

}  // namespace
