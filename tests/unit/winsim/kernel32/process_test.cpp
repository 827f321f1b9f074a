// CreateProcessA on the simulated machine: what is started, what is refused.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>

#include "core/handles.h"
#include "sim_machine.h"

namespace {

struct CreateRow {
  const char* what;
  const char* app;
  DWORD error;
};

TEST(CreateProcess, RefusalsTable) {
  SimMachine machine;
  std::filesystem::create_directories(machine.dir() + "/drive_c/pkg");
  std::ofstream(machine.dir() + "/drive_c/pkg/notes.exe") << "This is not a program\r\n";
  std::ofstream(machine.dir() + "/drive_c/pkg/empty.exe") << "winsim-program: \r\n";
  std::ofstream(machine.dir() + "/drive_c/pkg/escape.exe") << "winsim-program: ../winsim\r\n";
  const CreateRow rows[] = {
      {"missing file", "C:\\pkg\\missing.exe", ERROR_FILE_NOT_FOUND},
      {"missing folder", "C:\\nowhere\\missing.exe", ERROR_PATH_NOT_FOUND},
      {"relative name in the current folder (C:\\)", "notes.exe", ERROR_FILE_NOT_FOUND},
      {"a file that is no stub", "C:\\pkg\\notes.exe", ERROR_BAD_EXE_FORMAT},
      {"a stub without a program", "C:\\PKG\\EMPTY.EXE", ERROR_BAD_EXE_FORMAT},
      {"a stub naming a path", "c:\\pkg\\escape.exe", ERROR_BAD_EXE_FORMAT},
  };
  for (const auto& row : rows) {
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    memset(&pi, 0, sizeof pi);
    char cmd[64];
    lstrcpynA(cmd, "x DelAllDriver", sizeof cmd);
    size_t handles = winsim::Handles::Count();
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CreateProcessA(row.app, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) << row.what;
    EXPECT_EQ(row.error, GetLastError()) << row.what;
    EXPECT_EQ(nullptr, pi.hProcess) << row.what;
    EXPECT_EQ(handles, winsim::Handles::Count()) << row.what;
  }
}

TEST(CreateProcess, WaitAndExitCodeRefuseOtherHandles) {
  SimMachine machine;
  SetLastError(0xdeadbeef);
  EXPECT_EQ((DWORD)WAIT_FAILED, WaitForSingleObject((HANDLE)(uintptr_t)0x1234, INFINITE));
  EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
  DWORD code = 7;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetExitCodeProcess((HANDLE)(uintptr_t)0x1234, &code));
  EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
  EXPECT_EQ(7u, code);
}

TEST(WinExec, UnknownCommandIsFileNotFound) {
  SimMachine machine;
  EXPECT_EQ((UINT)ERROR_FILE_NOT_FOUND, WinExec("net stop nothing", SW_HIDE));
  EXPECT_EQ((UINT)ERROR_FILE_NOT_FOUND, WinExec(nullptr, SW_HIDE));
}

}  // namespace
