// FormatMessageA with the system's message table: the English texts the
// programs show in their error boxes.
#include <gtest/gtest.h>
#include <windows.h>

#include "sim_machine.h"

namespace {

struct MessageRow {
  DWORD id;
  const char* text;
};

const MessageRow kMessages[] = {
    {0, "The operation completed successfully.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough storage is available to process this command.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n"},
    {234, "More data is available.\r\n"},
    {259, "No more data is available.\r\n"},
    {1332, "No mapping between account names and security IDs was done.\r\n"},
    {1722, "The RPC server is unavailable.\r\n"},
    {1797, "The printer driver is unknown.\r\n"},
    {1798, "The print processor is unknown.\r\n"},
    {3006, "The specified print monitor has already been installed.\r\n"},
};

const DWORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

TEST(FormatMessageA, SystemTextsAllocated) {
  SimMachine machine("xp");
  for (const auto& row : kMessages) {
    LPSTR text = nullptr;
    SetLastError(0xdeadbeef);
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, row.id, kEnglish,
                             (LPSTR)&text, 0, nullptr);
    ASSERT_EQ(strlen(row.text), n) << "error " << row.id;
    EXPECT_STREQ(row.text, text) << "error " << row.id;
    EXPECT_EQ(nullptr, LocalFree(text)) << "error " << row.id;
  }
}

TEST(FormatMessageA, IntoTheCallersBuffer) {
  SimMachine machine("xp");
  char buf[64];
  EXPECT_EQ(19u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 5, 0, buf, sizeof buf, nullptr));
  EXPECT_STREQ("Access is denied.\r\n", buf);
  // One byte short of the text and its zero.
  SetLastError(0xdeadbeef);
  EXPECT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 5, 0, buf, 19, nullptr));
  EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
}

TEST(FormatMessageA, UnknownNumbersAndLanguagesFail) {
  SimMachine machine("xp");
  struct Row {
    DWORD id;
    DWORD lang;
    DWORD error;
  } rows[] = {
      {0x12345, kEnglish, ERROR_MR_MID_NOT_FOUND},
      {99999, 0, ERROR_MR_MID_NOT_FOUND},
      {5, MAKELANGID(0x07, 0x01), ERROR_RESOURCE_LANG_NOT_FOUND},  // German
  };
  for (const auto& row : rows) {
    LPSTR text = (LPSTR)0x1;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, row.id, row.lang,
                                 (LPSTR)&text, 0, nullptr))
        << row.id;
    EXPECT_EQ(row.error, GetLastError()) << row.id;
    EXPECT_EQ((LPSTR)0x1, text) << "the output pointer is left alone on failure, " << row.id;
  }
}

TEST(LocalFree, RejectsWhatItDidNotAllocate) {
  SimMachine machine("xp");
  int onStack = 0;
  SetLastError(0xdeadbeef);
  EXPECT_EQ((HLOCAL)&onStack, LocalFree(&onStack));
  EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
  HLOCAL block = LocalAlloc(LPTR, 16);
  ASSERT_NE(nullptr, block);
  EXPECT_EQ(nullptr, LocalFree(block));
  // Freed twice: the second call fails as for any unknown block.
  EXPECT_EQ(block, LocalFree(block));
  EXPECT_EQ(nullptr, LocalFree(nullptr));
}

}  // namespace
