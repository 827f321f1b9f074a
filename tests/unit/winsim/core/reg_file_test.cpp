// REGEDIT4 text: values and DACLs survive registry.reg's write, a process
// exit and a read back byte for byte; a file that does not parse names its
// line and is never overwritten; .reg import merges and deletes as regedit
// does.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

#include "core/registry_tree.h"
#include "sim_machine.h"

using winsim::Registry;
using winsim::RegKey;

namespace {

// The bytes of a string literal, embedded zeros included, without the zero
// the compiler adds at its end.
template <size_t N>
std::vector<uint8_t> LiteralBytes(const char (&text)[N]) {
  return std::vector<uint8_t>(text, text + N - 1);
}

void WriteHostFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

struct ValueRow {
  const char* what;
  const char* name;
  DWORD type;
  std::vector<uint8_t> data;
};

std::vector<ValueRow> OddValues() {
  std::vector<uint8_t> longBinary;
  for (int i = 0; i < 300; ++i) longBinary.push_back((uint8_t)(i * 7));
  return {
      {"clean REG_SZ", "Clean", REG_SZ, LiteralBytes("C:\\Path \"quoted\"\0")},
      {"empty REG_SZ with its zero", "EmptyText", REG_SZ, {0}},
      {"REG_SZ of no bytes at all", "NoBytes", REG_SZ, {}},
      {"REG_SZ without its zero", "Unterminated", REG_SZ, LiteralBytes("abc")},
      {"REG_SZ with an embedded zero", "Embedded", REG_SZ, LiteralBytes("a\0b\0")},
      {"REG_SZ with CR LF", "Lines", REG_SZ, LiteralBytes("one\r\ntwo\0")},
      {"REG_SZ with two zeros", "TwoZeros", REG_SZ, LiteralBytes("x\0\0")},
      {"Windows-1252 text", "Caf\xe9", REG_SZ, LiteralBytes("na\xefve \x80\x9f\xff\0")},
      {"REG_DWORD", "Count", REG_DWORD, {4, 3, 2, 1}},
      {"REG_DWORD of three bytes", "ShortDword", REG_DWORD, {1, 2, 3}},
      {"REG_BINARY empty", "NoData", REG_BINARY, {}},
      {"long REG_BINARY", "Blob", REG_BINARY, longBinary},
      {"REG_MULTI_SZ", "HardwareID", REG_MULTI_SZ, LiteralBytes("USB\\Vid_7A3C&Pid_0008\0USB\\X\0\0")},
      {"REG_EXPAND_SZ", "Expand", REG_EXPAND_SZ, LiteralBytes("%SystemRoot%\\x\0")},
      {"REG_QWORD", "Big", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"REG_NONE", "Nothing", REG_NONE, {9}},
      {"type 0x12345", "Odd type", 0x12345, {1}},
      {"default value", "", REG_SZ, LiteralBytes("default\0")},
      {"name with quote and backslash", "a\"b\\c", REG_SZ, LiteralBytes("v\0")},
      {"name with CR LF", "two\r\nlines", REG_DWORD, {1, 0, 0, 0}},
  };
}

TEST(RegistryFile, EveryValueSurvivesAProcessExitByteForByte) {
  SimMachine machine("xp");
  std::vector<ValueRow> rows = OddValues();
  RegKey* key = Registry::Get().Create("HKLM\\SOFTWARE\\Odd Values");
  for (const auto& row : rows) key->SetValue(row.name, row.type, row.data.data(), row.data.size());
  machine.Restart();
  std::string first = machine.ReadFile("registry.reg");
  key = Registry::Get().Find("HKEY_LOCAL_MACHINE\\SOFTWARE\\Odd Values");
  ASSERT_NE(nullptr, key);
  ASSERT_EQ(rows.size(), key->values().size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const winsim::RegValue& v = key->values()[i];
    EXPECT_EQ(rows[i].name, v.name) << rows[i].what;
    EXPECT_EQ(rows[i].type, v.type) << rows[i].what;
    EXPECT_EQ(rows[i].data, v.data) << rows[i].what;
  }
  // A second exit writes exactly the same file.
  machine.Restart();
  EXPECT_EQ(first, machine.ReadFile("registry.reg"));
}

TEST(RegistryFile, WritesValuesAsRegeditDoes) {
  SimMachine machine("xp");
  RegKey* key = Registry::Get().Create("HKLM\\SOFTWARE\\Vendor");
  key->SetString("Name", "C:\\dir \"x\"");
  key->SetDword("Count", 0x1234);
  std::vector<uint8_t> blob(40, 0xab);
  key->SetValue("Blob", REG_BINARY, blob.data(), blob.size());
  key->SetValue("Raw", REG_SZ, "ab", 2);
  machine.Restart();
  std::string text = machine.ReadFile("registry.reg");
  EXPECT_EQ(0u, text.find("REGEDIT4\r\n\r\n"));
  EXPECT_NE(std::string::npos,
            text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\r\n"
                      "\"Name\"=\"C:\\\\dir \\\"x\\\"\"\r\n"
                      "\"Count\"=dword:00001234\r\n"
                      "\"Blob\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\r\n"
                      "  ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab\r\n"
                      "\"Raw\"=hex(1):61,62\r\n\r\n"))
      << text;
}

TEST(RegistryFile, KeyNamesKeepTheirCaseAndMatchWithoutIt) {
  SimMachine machine("xp");
  Registry::Get().Create("HKLM\\SOFTWARE\\MixedCase\\Sub\xe9");
  machine.Restart();
  RegKey* key = Registry::Get().Find("hklm\\software\\MIXEDCASE\\SUB\xc9");
  ASSERT_NE(nullptr, key);
  EXPECT_EQ("HKEY_LOCAL_MACHINE\\SOFTWARE\\MixedCase\\Sub\xe9", key->Path());
}

TEST(RegistryFile, DaclsSurviveAndInheritanceFollowsTheParents) {
  SimMachine machine("xp");
  RegKey* key = Registry::Get().Create("HKLM\\SOFTWARE\\Granted\\Child");
  RegKey* granted = key->parent();
  granted->SetExplicitDacl(
      {{"Everyone", KEY_ALL_ACCESS, false, CONTAINER_INHERIT_ACE}, {"Power Users", DELETE, true, 0}}, false);
  machine.Restart();
  granted = Registry::Get().Find("HKLM\\SOFTWARE\\Granted");
  ASSERT_NE(nullptr, granted);
  std::string text = machine.ReadFile("registry.reg");
  EXPECT_NE(std::string::npos, text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Granted]\r\n"
                                         ";dacl: Everyone=F003F/2, deny Power Users=10000/0\r\n"));
  // Its own two entries, then the three of HKLM.
  ASSERT_EQ(5u, granted->dacl().size());
  EXPECT_EQ((DWORD)INHERITED_ACE | CONTAINER_INHERIT_ACE, granted->dacl()[2].inheritance);
  // The child holds nothing of its own: Everyone and HKLM's three entries.
  RegKey* child = granted->Child("Child");
  ASSERT_EQ(4u, child->dacl().size());
  EXPECT_EQ("Everyone", child->dacl()[0].trustee);
  EXPECT_EQ((DWORD)(INHERITED_ACE | CONTAINER_INHERIT_ACE), child->dacl()[0].inheritance);
}

struct BadFileRow {
  const char* what;
  const char* text;
  int line;
};

const BadFileRow kBadFiles[] = {
    {"no header", "[HKEY_LOCAL_MACHINE]\r\n", 1},
    {"other header", "Windows Registry Editor Version 5.00\r\n", 1},
    {"unknown root", "REGEDIT4\r\n\r\n[HKEY_NOWHERE\\X]\r\n", 3},
    {"unclosed header", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\X\r\n", 3},
    {"empty key name", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\\\X]\r\n", 3},
    {"value before a key", "REGEDIT4\r\n\"a\"=\"b\"\r\n", 2},
    {"unclosed string", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE]\r\n\"a\"=\"b\r\n", 3},
    {"unknown escape", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE]\r\n\"a\"=\"b\\t\"\r\n", 3},
    {"bad dword", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE]\r\n\"a\"=dword:123456789\r\n", 3},
    {"bad hex byte", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE]\r\n\r\n\"a\"=hex:01,zz\r\n", 4},
    {"hex continued past the end", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE]\r\n\"a\"=hex:01,\\\r\n", 3},
    {"unknown data", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE]\r\n\"a\"=word:1\r\n", 3},
    {"garbage line", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE]\r\nhello\r\n", 3},
    {"unknown trustee", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE]\r\n;dacl: Nobody=1/0\r\n", 3},
    {"dacl after values", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE]\r\n@=\"x\"\r\n;dacl: Everyone=1/0\r\n", 4},
    {"malformed dacl entry", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE]\r\n;dacl: Everyone=1\r\n", 3},
    {"volatile mark after values", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\X]\r\n@=\"x\"\r\n;volatile\r\n", 4},
    {"volatile mark before a key", "REGEDIT4\r\n;volatile\r\n[HKEY_LOCAL_MACHINE\\X]\r\n", 2},
};

TEST(RegistryFile, ParseErrorsNameTheLineAndLeaveTheFileAlone) {
  SimMachine machine("xp");
  std::string path = machine.Path("registry.reg");
  winsim::Machine::Close(true);
  for (const auto& row : kBadFiles) {
    WriteHostFile(path, row.text);
    try {
      winsim::Machine::Open(machine.dir());
      ADD_FAILURE() << row.what << ": the machine opened";
      winsim::Machine::Close(false);
    } catch (const winsim::MachineError& e) {
      std::string expected = path + ":" + std::to_string(row.line) + ": ";
      EXPECT_EQ(0u, std::string(e.what()).find(expected)) << row.what << ": " << e.what();
    }
    EXPECT_FALSE(winsim::Machine::IsOpen()) << row.what;
    EXPECT_EQ(row.text, machine.ReadFile("registry.reg")) << row.what;
  }
  // Put a good registry back for the fixture.
  WriteHostFile(path, "REGEDIT4\r\n\r\n");
  winsim::Machine::Open(machine.dir());
}

TEST(RegistryImport, MergesAndDeletesAsRegeditDoes) {
  SimMachine machine("xp");
  Registry& reg = Registry::Get();
  reg.Create("HKLM\\SOFTWARE\\Old\\Sub")->SetString("x", "1");
  reg.Create("HKLM\\SOFTWARE\\Keep")->SetString("gone", "1");
  reg.Import(
      "REGEDIT4\r\n\r\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Keep]\r\n"
      "\"gone\"=-\r\n"
      "\"new\"=hex(7):41,00,\\\r\n"
      "    00\r\n"
      "[HKEY_CLASSES_ROOT\\.lbl]\r\n"
      "@=\"LabelFile\"\r\n",
      "test.reg");
  EXPECT_EQ(nullptr, reg.Find("HKLM\\SOFTWARE\\Old"));
  RegKey* keep = reg.Find("HKLM\\SOFTWARE\\Keep");
  ASSERT_NE(nullptr, keep);
  EXPECT_EQ(nullptr, keep->Value("gone"));
  ASSERT_NE(nullptr, keep->Value("new"));
  EXPECT_EQ((std::vector<uint8_t>{0x41, 0, 0}), keep->Value("new")->data);
  ASSERT_NE(nullptr, reg.Find("HKLM\\SOFTWARE\\Classes\\.lbl"));
}

TEST(RegistryImport, AFileWithAnErrorChangesNothing) {
  SimMachine machine("xp");
  Registry& reg = Registry::Get();
  std::string before = reg.Export();
  EXPECT_THROW(reg.Import("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]\r\n\"a\"=bad\r\n", "x.reg"),
               winsim::MachineError);
  EXPECT_EQ(before, reg.Export());
}

}  // namespace
