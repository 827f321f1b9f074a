// machine.ini is text a person edits: a rewrite keeps comments and blank
// lines where they were, changes values in place and adds new keys and
// sections below what is there.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/ini.h"
#include "sim_machine.h"

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(IniFile, SaveKeepsCommentsAndBlankLinesInPlace) {
  std::string dir = MakeTempDir();
  std::string path = dir + "/machine.ini";
  {
    std::ofstream out(path, std::ios::binary);
    out << "; written by hand\r\n"
           "\n"
           "[os]\n"
           "# Windows XP SP2\n"
           "name = xp\n"
           "  ; indented comment\n"
           "major=5\n"
           "\n"
           "; admin=0 runs the programs as a plain user\n"
           "[user]\n"
           "admin=1\n"
           "\n"
           "\n"
           "[state]\n"
           "; nothing yet\n";
  }
  winsim::IniFile ini;
  std::string error;
  ASSERT_TRUE(ini.Load(path, &error)) << error;
  EXPECT_EQ("xp", ini.Get("OS", "Name"));
  EXPECT_EQ("1", ini.Get("user", "admin"));
  ini.SetInt("os", "major", 6);
  ini.Set("user", "shutdown_privilege", "0");
  ini.Set("state", "clock", "10");
  ini.Set("script", "file", "");
  ASSERT_TRUE(ini.Save(path));
  EXPECT_EQ(
      "; written by hand\n"
      "\n"
      "[os]\n"
      "# Windows XP SP2\n"
      "name=xp\n"
      "  ; indented comment\n"
      "major=6\n"
      "\n"
      "; admin=0 runs the programs as a plain user\n"
      "[user]\n"
      "admin=1\n"
      "shutdown_privilege=0\n"
      "\n"
      "\n"
      "[state]\n"
      "clock=10\n"
      "; nothing yet\n"
      "\n"
      "[script]\n"
      "file=\n",
      ReadText(path));
  RemoveTree(dir);
}

TEST(IniFile, NewSectionsAreSetOffByOneBlankLineThatLoadingKeeps) {
  std::string dir = MakeTempDir();
  std::string path = dir + "/machine.ini";
  winsim::IniFile ini;
  ini.Set("os", "name", "xp");
  ini.SetInt("os", "major", 5);
  ini.SetInt("user", "admin", 1);
  ini.Set("os", "csd", "Service Pack 2");
  ASSERT_TRUE(ini.Save(path));
  const std::string written =
      "[os]\n"
      "name=xp\n"
      "major=5\n"
      "csd=Service Pack 2\n"
      "\n"
      "[user]\n"
      "admin=1\n";
  EXPECT_EQ(written, ReadText(path));
  // Read back and written again, the file stays as it is.
  winsim::IniFile again;
  std::string error;
  ASSERT_TRUE(again.Load(path, &error)) << error;
  ASSERT_TRUE(again.Save(path));
  EXPECT_EQ(written, ReadText(path));
  RemoveTree(dir);
}

}  // namespace
