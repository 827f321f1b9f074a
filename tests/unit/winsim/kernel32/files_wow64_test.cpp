// The 32-bit program's view of the system directory on 64-bit Windows, and
// junctions.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "core/filesystem.h"
#include "sim_files.h"
#include "sim_machine.h"

using winsim::FileSystem;
using winsim::ResolvedPath;

namespace {

std::string Below(const std::string& host) {
  size_t at = host.find("/drive_c/");
  return at == std::string::npos ? host : host.substr(at + 9);
}

std::string ProgramView(const char* path) {
  ResolvedPath r;
  DWORD error = 0;
  if (!FileSystem::ResolveEx(path, FileSystem::kRedirect, &r, &error)) return "!" + std::to_string(error);
  return Below(r.host);
}

struct ViewRow {
  const char* path;
  const char* x64;     // on Windows 7 x64
  const char* x64Off;  // the same with redirection switched off
};

TEST(Wow64Redirection, Windows7x64Table) {
  SimMachine machine("7-x64");
  const ViewRow rows[] = {
      {"C:\\Windows\\System32\\foo.dll", "Windows/SysWOW64/foo.dll", "Windows/system32/foo.dll"},
      {"c:\\windows\\system32", "Windows/SysWOW64", "Windows/system32"},
      {"C:\\Windows\\system32\\drivers\\foo.sys", "Windows/SysWOW64/drivers/foo.sys",
       "Windows/system32/drivers/foo.sys"},
      {"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\a.dll", "Windows/system32/spool/drivers/x64/3/a.dll",
       "Windows/system32/spool/drivers/x64/3/a.dll"},
      {"C:\\Windows\\System32\\SPOOL", "Windows/system32/spool", "Windows/system32/spool"},
      {"C:\\Windows\\System32\\catroot\\x", "Windows/system32/catroot/x", "Windows/system32/catroot/x"},
      {"C:\\Windows\\System32\\catroot2\\x", "Windows/system32/catroot2/x", "Windows/system32/catroot2/x"},
      {"C:\\Windows\\System32\\LogFiles\\x", "Windows/system32/LogFiles/x", "Windows/system32/LogFiles/x"},
      {"C:\\Windows\\System32\\DriverStore\\x", "Windows/system32/DriverStore/x", "Windows/system32/DriverStore/x"},
      {"C:\\Windows\\System32\\drivers\\etc\\hosts", "Windows/system32/drivers/etc/hosts",
       "Windows/system32/drivers/etc/hosts"},
      {"C:\\Windows\\System32\\catrootX\\x", "Windows/SysWOW64/catrootX/x", "Windows/system32/catrootX/x"},
      {"C:\\Windows\\Sysnative\\foo.dll", "Windows/system32/foo.dll", "Windows/Sysnative/foo.dll"},
      {"C:\\Windows\\Sysnative\\spool", "Windows/system32/spool", "Windows/Sysnative/spool"},
      {"C:\\Windows\\regedit.exe", "Windows/SysWOW64/regedit.exe", "Windows/regedit.exe"},
      {"C:\\Windows\\lastgood\\system32\\x", "Windows/lastgood/SysWOW64/x", "Windows/lastgood/system32/x"},
      {"C:\\Windows\\foo.dll", "Windows/foo.dll", "Windows/foo.dll"},
      {"C:\\Windows\\SysWOW64\\x", "Windows/SysWOW64/x", "Windows/SysWOW64/x"},
      {"C:\\Program Files\\x", "Program Files/x", "Program Files/x"},
  };
  for (const auto& row : rows) EXPECT_EQ(row.x64, ProgramView(row.path)) << row.path;
  PVOID old = (PVOID)0x55;
  SetLastError(0xdeadbeef);
  ASSERT_TRUE(Wow64DisableWow64FsRedirection(&old));
  EXPECT_EQ(nullptr, old);
  for (const auto& row : rows) EXPECT_EQ(row.x64Off, ProgramView(row.path)) << row.path << " (off)";
  // A nested disable hands back "off"; reverting to it keeps it off.
  PVOID nested = nullptr;
  ASSERT_TRUE(Wow64DisableWow64FsRedirection(&nested));
  ASSERT_TRUE(Wow64RevertWow64FsRedirection(nested));
  EXPECT_EQ("Windows/system32/foo.dll", ProgramView("C:\\Windows\\System32\\foo.dll"));
  ASSERT_TRUE(Wow64RevertWow64FsRedirection(old));
  for (const auto& row : rows) EXPECT_EQ(row.x64, ProgramView(row.path)) << row.path << " (reverted)";
  // The machine's own services never see the program's view.
  EXPECT_EQ("Windows/system32/foo.dll", Below(HostOf("C:\\Windows\\System32\\foo.dll")));
}

TEST(Wow64Redirection, FilesLandWhereTheViewSays) {
  SimMachine machine("7-x64");
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  EXPECT_STREQ("C:\\Windows\\system32", system);
  ASSERT_TRUE(MakeFile("C:\\mon.dll", "monitor"));
  std::string target = std::string(system) + "\\mon.dll";
  EXPECT_TRUE(CopyFileA("C:\\mon.dll", target.c_str(), FALSE));
  EXPECT_TRUE(std::filesystem::exists(HostOf("C:\\Windows\\SysWOW64\\mon.dll")));
  EXPECT_FALSE(std::filesystem::exists(HostOf("C:\\Windows\\system32\\mon.dll")));
  EXPECT_TRUE(CopyFileA("C:\\mon.dll", "C:\\Windows\\Sysnative\\mon64.dll", FALSE));
  EXPECT_TRUE(std::filesystem::exists(HostOf("C:\\Windows\\system32\\mon64.dll")));
  EXPECT_FALSE(Exists("C:\\Windows\\System32\\mon64.dll"));  // the 32-bit view does not see it
  EXPECT_TRUE(CopyFileA("C:\\mon.dll", "C:\\Windows\\System32\\spool\\drivers\\x64\\mon.dll", FALSE));
  EXPECT_TRUE(std::filesystem::exists(HostOf("C:\\Windows\\system32\\spool\\drivers\\x64\\mon.dll")));
}

TEST(Wow64Redirection, OlderAndThirtyTwoBitWindows) {
  {
    // Windows 7, 32-bit: no redirection and no Sysnative.
    SimMachine machine("7");
    EXPECT_EQ("Windows/system32/foo.dll", ProgramView("C:\\Windows\\System32\\foo.dll"));
    EXPECT_EQ("Windows/Sysnative/foo.dll", ProgramView("C:\\Windows\\Sysnative\\foo.dll"));
    PVOID old = nullptr;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(Wow64RevertWow64FsRedirection(old));
    EXPECT_EQ((DWORD)ERROR_INVALID_FUNCTION, GetLastError());
  }
  {
    // 64-bit XP: the driver store is redirected and there is no Sysnative.
    SimMachine machine("xp");
    ASSERT_TRUE(machine.SetIni("os", "wow64", "1"));
    EXPECT_EQ("WINDOWS/SysWOW64/DriverStore/x", ProgramView("C:\\WINDOWS\\system32\\DriverStore\\x"));
    EXPECT_EQ("WINDOWS/system32/spool/x", ProgramView("C:\\WINDOWS\\system32\\spool\\x"));
    EXPECT_EQ("WINDOWS/Sysnative/x", ProgramView("C:\\WINDOWS\\Sysnative\\x"));
  }
}

TEST(Junctions, RemovingOneLeavesItsTarget) {
  SimMachine machine("7");
  ASSERT_TRUE(MakeDir("C:\\Target"));
  ASSERT_TRUE(MakeFile("C:\\Target\\keep.txt", "keep"));
  ASSERT_TRUE(MakeFile("C:\\file.txt", "f"));
  std::filesystem::create_directory_symlink(HostOf("C:\\Target"), HostOf("C:\\") + "/Link");
  std::filesystem::create_symlink(HostOf("C:\\file.txt"), HostOf("C:\\") + "/FileLink");
  const DWORD junction = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  EXPECT_EQ(junction, GetFileAttributesA("C:\\link"));
  EXPECT_EQ((DWORD)FILE_ATTRIBUTE_REPARSE_POINT, GetFileAttributesA("C:\\filelink"));
  EXPECT_EQ("keep", FileText("C:\\Link\\keep.txt"));  // names go through it
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA("C:\\Lin*", &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_EQ(junction, data.dwFileAttributes);
  FindClose(h);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeleteFileA("C:\\Link"));
  EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(RemoveDirectoryA("C:\\FileLink"));
  EXPECT_EQ((DWORD)ERROR_DIRECTORY, GetLastError());
  // The junction goes although its target is not empty; the target stays.
  EXPECT_TRUE(RemoveDirectoryA("C:\\Link"));
  EXPECT_FALSE(Exists("C:\\Link"));
  EXPECT_EQ("keep", FileText("C:\\Target\\keep.txt"));
  EXPECT_TRUE(DeleteFileA("C:\\FileLink"));
  EXPECT_EQ("f", FileText("C:\\file.txt"));
}

}  // namespace
