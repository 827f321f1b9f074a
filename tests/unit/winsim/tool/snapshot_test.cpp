// winsim snapshot and winsim diff: every kind of change a set-up can leave
// on a machine comes out as its own line, in key and path order, and a
// snapshot that cannot be used stops the tool.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <functional>

#include "core/registry_tree.h"
#include "sim_files.h"
#include "sim_machine.h"
#include "tool_run.h"

namespace {

using winsim::Registry;

const char kVendor[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor";

winsim::RegKey* VendorKey(const std::string& below = "") {
  return Registry::Get().Create(std::string(kVendor) + (below.empty() ? "" : "\\" + below));
}

std::vector<uint8_t> FilledBytes(size_t count, uint8_t last) {
  std::vector<uint8_t> bytes(count, 0x61);
  bytes.back() = last;
  return bytes;
}

// "61,61,...,LAST": the bytes above as a .reg file writes them.
std::string HexText(size_t count, const char* last) {
  std::string text;
  for (size_t i = 0; i + 1 < count; ++i) text += "61,";
  return text + last;
}

struct Change {
  const char* what;
  std::function<bool()> seed;    // before the snapshot
  std::function<bool()> change;  // after it
  std::vector<std::string> lines;
};

bool Nothing() { return true; }

TEST(WinsimSnapshot, DiffNamesEveryChangeOnItsOwnLine) {
  SimMachine machine("xp");
  const std::string v = kVendor;
  const std::string vendorValue = "~ value " + v + " ";
  // In the order of the lines they give.
  const Change changes[] = {
      {"default value changed",
       [] { return VendorKey()->SetString("", "a"), true; },
       [] { return VendorKey()->SetString("", "b"), true; },
       {vendorValue + "@=\"a\" -> \"b\""}},
      {"binary value changed in its last byte, wrapped in registry.reg",
       [] {
         auto b = FilledBytes(40, 0x62);
         return VendorKey()->SetValue("Bin", REG_BINARY, b.data(), b.size()), true;
       },
       [] {
         auto b = FilledBytes(40, 0x63);
         return VendorKey()->SetValue("Bin", REG_BINARY, b.data(), b.size()), true;
       },
       {vendorValue + "\"Bin\"=hex:" + HexText(40, "62") + " -> hex:" + HexText(40, "63")}},
      {"number changed",
       [] { return VendorKey()->SetDword("Count", 1), true; },
       [] { return VendorKey()->SetDword("count", 2), true; },
       {vendorValue + "\"Count\"=dword:00000001 -> dword:00000002"}},
      {"value removed",
       [] { return VendorKey()->SetString("Gone", "bye"), true; },
       [] { return VendorKey()->DeleteValue("Gone"); },
       {"- value " + v + " \"Gone\"=\"bye\""}},
      {"value written again with the same data",
       [] { return VendorKey()->SetString("Keep", "same"), true; },
       [] { return VendorKey()->SetString("KEEP", "same"), true; },
       {}},
      {"value added",
       Nothing,
       [] { return VendorKey()->SetDword("New", 10), true; },
       {"+ value " + v + " \"New\"=dword:0000000a"}},
      {"value added with quotes in its name",
       Nothing,
       [] { return VendorKey()->SetString("say \"hi\"", "x"), true; },
       {"+ value " + v + " \"say \\\"hi\\\"\"=\"x\""}},
      {"type changed, same text",
       [] { return VendorKey()->SetString("Type", "1"), true; },
       [] { return VendorKey()->SetString("Type", "1", REG_EXPAND_SZ), true; },
       {vendorValue + "\"Type\"=\"1\" -> hex(2):31,00"}},
      {"key security changed",
       [] { return VendorKey("Locked") != nullptr; },
       [] {
         VendorKey("Locked")->SetExplicitDacl({{"Everyone", KEY_READ, false, CONTAINER_INHERIT_ACE}}, false);
         return true;
       },
       {"~ dacl " + v + "\\Locked inherited -> Everyone=20019/2"}},
      {"key added with its own security, a value and a subkey",
       Nothing,
       [] {
         VendorKey("New")->SetExplicitDacl({{"Administrators", KEY_ALL_ACCESS, false, CONTAINER_INHERIT_ACE}}, true);
         VendorKey("New")->SetString("", "d");
         return VendorKey("New\\Sub") != nullptr;
       },
       {"+ key " + v + "\\New", "+ dacl " + v + "\\New protected: Administrators=F003F/2",
        "+ value " + v + "\\New @=\"d\"", "+ key " + v + "\\New\\Sub"}},
      {"key removed with a value and a subkey",
       [] {
         VendorKey("Old")->SetDword("Left", 7);
         return VendorKey("Old\\Deeper") != nullptr;
       },
       [] { return Registry::Get().Delete(std::string(kVendor) + "\\Old"); },
       {"- key " + v + "\\Old", "- value " + v + "\\Old \"Left\"=dword:00000007", "- key " + v + "\\Old\\Deeper"}},
      {"key added whose name goes on from the removed one's",
       Nothing,
       [] { return VendorKey("Old-2") != nullptr; },
       {"+ key " + v + "\\Old-2"}},
      {"key made again in other letter case with the same value",
       [] { return VendorKey("Recase")->SetString("v", "1"), true; },
       [] {
         Registry::Get().Delete(std::string(kVendor) + "\\Recase");
         return VendorKey("RECASE")->SetString("V", "1"), true;
       },
       {}},
      {"file added",
       Nothing,
       [] { return MakeFile("C:\\Pkg\\added.txt", "hello"); },
       {"+ file C:\\Pkg\\added.txt size 5 attributes A"}},
      {"file made read-only",
       [] { return MakeFile("C:\\Pkg\\attr.txt", "x"); },
       [] { return SetFileAttributesA("C:\\Pkg\\ATTR.TXT", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE) != 0; },
       {"~ file C:\\Pkg\\attr.txt attributes A -> RA"}},
      {"file of the same size, other bytes",
       [] { return MakeFile("C:\\Pkg\\bytes.txt", "abc"); },
       [] { return MakeFile("C:\\Pkg\\bytes.txt", "abd"); },
       {"~ file C:\\Pkg\\bytes.txt content"}},
      {"file removed",
       [] { return MakeFile("C:\\Pkg\\gone.txt", "gone", FILE_ATTRIBUTE_HIDDEN); },
       [] { return DeleteFileA("C:\\Pkg\\gone.txt") != 0; },
       {"- file C:\\Pkg\\gone.txt size 4 attributes H"}},
      {"file grown",
       [] { return MakeFile("C:\\Pkg\\grow.txt", "abc"); },
       [] { return MakeFile("C:\\Pkg\\grow.txt", "abcdef"); },
       {"~ file C:\\Pkg\\grow.txt size 3 -> 6"}},
      {"folder added with a file",
       Nothing,
       [] { return MakeDir("C:\\Pkg\\NewDir") && MakeFile("C:\\Pkg\\NewDir\\in.txt", "in"); },
       {"+ folder C:\\Pkg\\NewDir attributes D", "+ file C:\\Pkg\\NewDir\\in.txt size 2 attributes A"}},
      {"folder removed with a file",
       [] { return MakeDir("C:\\Pkg\\OldDir") && MakeFile("C:\\Pkg\\OldDir\\inner.txt", "old"); },
       [] { return DeleteFileA("C:\\Pkg\\OldDir\\inner.txt") && RemoveDirectoryA("C:\\Pkg\\OldDir"); },
       {"- folder C:\\Pkg\\OldDir attributes D", "- file C:\\Pkg\\OldDir\\inner.txt size 3 attributes A"}},
      {"file added whose name goes on from the removed folder's",
       Nothing,
       [] { return MakeFile("C:\\Pkg\\OldDir.log", ""); },
       {"+ file C:\\Pkg\\OldDir.log size 0 attributes A"}},
      {"file written again with the same bytes",
       [] { return MakeFile("C:\\Pkg\\same.txt", "same"); },
       [] { return MakeFile("C:\\Pkg\\same.txt", "same"); },
       {}},
      {"folder hidden",
       [] { return MakeDir("C:\\Pkg\\Shown"); },
       [] { return SetFileAttributesA("C:\\Pkg\\Shown", FILE_ATTRIBUTE_HIDDEN) != 0; },
       {"~ folder C:\\Pkg\\Shown attributes D -> HD"}},
  };

  ASSERT_TRUE(MakeDir("C:\\Pkg"));
  for (const Change& c : changes) ASSERT_TRUE(c.seed()) << c.what;
  machine.Restart();
  ToolResult r = RunTool("winsim", {"snapshot", machine.dir()});
  ASSERT_EQ(0, r.status) << r.err;
  EXPECT_EQ(0u, r.out.find("saved snapshot 'base' (")) << r.out;
  // Nothing changed yet, and the snapshot itself is no part of drive C:.
  r = RunTool("winsim", {"diff", machine.dir(), "--exit-code"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("", r.out);

  for (const Change& c : changes) ASSERT_TRUE(c.change()) << c.what;
  machine.Restart();
  r = RunTool("winsim", {"diff", machine.dir()});
  EXPECT_EQ(0, r.status) << r.err;
  std::string expected;
  for (const Change& c : changes) {
    SCOPED_TRACE(c.what);
    for (const std::string& line : c.lines) {
      EXPECT_NE(std::string::npos, r.out.find(line + "\n")) << line;
      expected += line + "\n";
    }
  }
  EXPECT_EQ(expected, r.out);

  r = RunTool("winsim", {"diff", machine.dir(), "base", "--exit-code"});
  EXPECT_EQ(1, r.status);
  EXPECT_EQ(expected, r.out);
  // A second snapshot by name leaves the first as it was.
  r = RunTool("winsim", {"snapshot", machine.dir(), "after"});
  ASSERT_EQ(0, r.status) << r.err;
  r = RunTool("winsim", {"diff", machine.dir(), "after", "--exit-code"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("", r.out);
  r = RunTool("winsim", {"diff", machine.dir()});
  EXPECT_EQ(expected, r.out);
}

TEST(WinsimSnapshot, RefusesWhatItCannotCompare) {
  SimMachine machine("xp");
  const std::string dir = machine.dir();
  ASSERT_EQ(0, RunTool("winsim", {"snapshot", dir, "good"}).status);
  ASSERT_EQ(0, RunTool("winsim", {"snapshot", dir, "broken"}).status);
  std::ofstream(dir + "/snapshots/broken/files.txt", std::ios::trunc) << "10\t0\t-\tC:\\Fine\nnonsense\n";

  struct Row {
    std::vector<std::string> args;
    std::string error;
  } rows[] = {
      {{"diff", dir}, "diff: no snapshot 'base' of " + dir},
      {{"diff", dir, "other", "--exit-code"}, "diff: no snapshot 'other'"},
      {{"diff", dir, "broken"}, "/snapshots/broken/files.txt:2: not an entry of drive C:"},
      {{"diff", dir, "../good"}, "'../good' is not a snapshot name"},
      {{"snapshot", dir, ".hidden"}, "'.hidden' is not a snapshot name"},
      {{"diff", dir, "good", "--quiet"}, "unknown option '--quiet'"},
      {{"diff", dir + "/nowhere", "good"}, "diff: "},
      {{"snapshot", dir + "/nowhere"}, "snapshot: "},
      {{"diff", dir, "good", "more"}, "usage: winsim diff DIR [NAME] [--exit-code]"},
      {{"snapshot"}, "usage: winsim snapshot DIR [NAME]"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.error);
    ToolResult r = RunTool("winsim", row.args);
    EXPECT_EQ(2, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_NE(std::string::npos, r.err.find(row.error)) << r.err;
  }
  EXPECT_FALSE(Exists("C:\\snapshots"));
}

}  // namespace
