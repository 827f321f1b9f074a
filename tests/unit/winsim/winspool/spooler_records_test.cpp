// What every enumeration does around its records: the argument checks, the
// two-call size protocol at every level, the records laid out one behind the
// other with their strings after them, the size of the wide records, and
// the journal line.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "core/registry_tree.h"
#include "sim_machine.h"
#include "spooler_fixture.h"

using namespace spooler_fixture;

namespace {

typedef BOOL (*EnumFunction)(DWORD level, LPBYTE buffer, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned);

BOOL LocalPrinters(DWORD level, LPBYTE buffer, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
  return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, buffer, cbBuf, pcbNeeded, pcReturned);
}
BOOL PrinterDrivers(DWORD level, LPBYTE buffer, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
  return EnumPrinterDriversA(nullptr, nullptr, level, buffer, cbBuf, pcbNeeded, pcReturned);
}
BOOL CallEnumMonitors(DWORD level, LPBYTE buffer, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
  return EnumMonitorsA(nullptr, level, buffer, cbBuf, pcbNeeded, pcReturned);
}
BOOL CallEnumPorts(DWORD level, LPBYTE buffer, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
  return EnumPortsA(nullptr, level, buffer, cbBuf, pcbNeeded, pcReturned);
}

// Two of everything: drivers, printers, monitors and ports, in that order.
void SeedTwoOfEach() {
  for (const char* name : {kDriver, kOtherDriver}) {
    TestDriver d;
    d.name = name;
    ASSERT_TRUE(d.StageAndAdd()) << name;
  }
  ASSERT_TRUE(AddPrinterAndClose("Label one", kDriver, "COM1:"));
  ASSERT_TRUE(AddPrinterAndClose("Label two", kOtherDriver, "LPT1:"));
  winsim::Registry& reg = winsim::Registry::Get();
  const std::string monitors = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
  reg.Delete(monitors);
  reg.Create(monitors + "\\Local Port")->SetString("Driver", "localspl.dll");
  reg.Create(monitors + "\\Label Port")->SetString("Driver", "lblmon.dll");
  const std::string ports = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
  reg.Delete(ports);
  winsim::RegKey* key = reg.Create(ports);
  key->SetString("COM1:", "9600,n,8,1");
  key->SetString("LPT1:", "");
}

struct LevelRow {
  const char* what;
  EnumFunction function;
  DWORD level;
  size_t recordSize;
  size_t nameOffset;  // of the record's name
  const char* names[2];
};

const LevelRow kLevelRows[] = {
    {"printers 1",
     LocalPrinters,
     1,
     sizeof(PRINTER_INFO_1A),
     offsetof(PRINTER_INFO_1A, pName),
     {"Label one", "Label two"}},
    {"printers 2",
     LocalPrinters,
     2,
     sizeof(PRINTER_INFO_2A),
     offsetof(PRINTER_INFO_2A, pPrinterName),
     {"Label one", "Label two"}},
    {"printers 4",
     LocalPrinters,
     4,
     sizeof(PRINTER_INFO_4A),
     offsetof(PRINTER_INFO_4A, pPrinterName),
     {"Label one", "Label two"}},
    {"drivers 1", PrinterDrivers, 1, sizeof(DRIVER_INFO_1A), offsetof(DRIVER_INFO_1A, pName), {kDriver, kOtherDriver}},
    {"drivers 2", PrinterDrivers, 2, sizeof(DRIVER_INFO_2A), offsetof(DRIVER_INFO_2A, pName), {kDriver, kOtherDriver}},
    {"drivers 3", PrinterDrivers, 3, sizeof(DRIVER_INFO_3A), offsetof(DRIVER_INFO_3A, pName), {kDriver, kOtherDriver}},
    {"drivers 4", PrinterDrivers, 4, sizeof(DRIVER_INFO_4A), offsetof(DRIVER_INFO_4A, pName), {kDriver, kOtherDriver}},
    {"monitors 1",
     CallEnumMonitors,
     1,
     sizeof(MONITOR_INFO_1A),
     offsetof(MONITOR_INFO_1A, pName),
     {"Local Port", "Label Port"}},
    {"monitors 2",
     CallEnumMonitors,
     2,
     sizeof(MONITOR_INFO_2A),
     offsetof(MONITOR_INFO_2A, pName),
     {"Local Port", "Label Port"}},
    {"ports 1", CallEnumPorts, 1, sizeof(PORT_INFO_1A), offsetof(PORT_INFO_1A, pName), {"COM1:", "LPT1:"}},
    {"ports 2", CallEnumPorts, 2, sizeof(PORT_INFO_2A), offsetof(PORT_INFO_2A, pPortName), {"COM1:", "LPT1:"}},
};

TEST(Enumerations, TwoCallsAtEveryLevel) {
  SimMachine machine("xp");
  SeedTwoOfEach();
  for (const auto& r : kLevelRows) {
    SCOPED_TRACE(r.what);
    DWORD needed = 0xdeadbeef, returned = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(r.function(r.level, nullptr, 0, &needed, &returned));
    ASSERT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
    EXPECT_EQ(0u, returned);
    ASSERT_GT(needed, 2 * r.recordSize);

    std::vector<BYTE> buf(needed, 0xcc);
    DWORD needed2 = 0, returned2 = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(r.function(r.level, buf.data(), needed - 1, &needed2, &returned2));
    EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
    EXPECT_EQ(needed, needed2);
    EXPECT_EQ(0u, returned2);
    EXPECT_EQ(std::vector<BYTE>(needed - 1, 0), std::vector<BYTE>(buf.begin(), buf.end() - 1));

    SetLastError(0xdeadbeef);
    ASSERT_TRUE(r.function(r.level, buf.data(), needed, &needed2, &returned2));
    EXPECT_EQ(0xdeadbeefu, GetLastError());
    EXPECT_EQ(needed, needed2);
    ASSERT_EQ(2u, returned2);
    const BYTE* strings = buf.data() + 2 * r.recordSize;
    for (int i = 0; i < 2; ++i) {
      LPSTR name = nullptr;
      memcpy(&name, buf.data() + i * r.recordSize + r.nameOffset, sizeof name);
      ASSERT_NE(nullptr, name) << i;
      EXPECT_STREQ(r.names[i], name) << i;
      EXPECT_GE((const BYTE*)name, strings) << i;
      EXPECT_LT((const BYTE*)name, buf.data() + needed) << i;
    }
  }
}

TEST(Enumerations, RefuseBadArguments) {
  SimMachine machine("xp");
  DWORD needed = 0, returned = 0;
  BYTE buf[16];
  struct Row {
    const char* what;
    EnumFunction function;
    DWORD level;
    LPBYTE buffer;
    DWORD cb;
    LPDWORD pNeeded, pReturned;
    DWORD error;
  } rows[] = {
      {"drivers, size without buffer", PrinterDrivers, 1, nullptr, 16, &needed, &returned, ERROR_INVALID_USER_BUFFER},
      {"monitors, size without buffer", CallEnumMonitors, 1, nullptr, 16, &needed, &returned,
       ERROR_INVALID_USER_BUFFER},
      {"ports, size without buffer", CallEnumPorts, 1, nullptr, 16, &needed, &returned, ERROR_INVALID_USER_BUFFER},
      {"drivers, no needed", PrinterDrivers, 1, buf, sizeof buf, nullptr, &returned, RPC_X_NULL_REF_POINTER},
      {"monitors, no returned", CallEnumMonitors, 1, buf, sizeof buf, &needed, nullptr, RPC_X_NULL_REF_POINTER},
      {"ports, no needed", CallEnumPorts, 1, buf, sizeof buf, nullptr, &returned, RPC_X_NULL_REF_POINTER},
      {"drivers level 7", PrinterDrivers, 7, buf, sizeof buf, &needed, &returned, ERROR_INVALID_LEVEL},
      {"monitors level 3", CallEnumMonitors, 3, buf, sizeof buf, &needed, &returned, ERROR_INVALID_LEVEL},
      {"ports level 3", CallEnumPorts, 3, buf, sizeof buf, &needed, &returned, ERROR_INVALID_LEVEL},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(r.function(r.level, r.buffer, r.cb, r.pNeeded, r.pReturned));
    EXPECT_EQ(r.error, GetLastError());
  }
}

// Bytes of a string or a list of strings, with their zeros.
size_t StringBytes(LPCSTR s) { return s ? strlen(s) + 1 : 0; }
size_t ListBytes(LPCSTR list) {
  if (!list) return 0;
  size_t n = 0;
  for (LPCSTR p = list; *p; p += strlen(p) + 1) n += strlen(p) + 1;
  return n + 1;
}

TEST(Enumerations, SizeIsThatOfTheWideRecords) {
  SimMachine machine("xp");
  TestDriver d;
  d.name = kDriver;
  ASSERT_TRUE(d.StageAndAdd());
  DWORD needed = 0, returned = 0;
  PrinterDrivers(3, nullptr, 0, &needed, &returned);
  std::vector<BYTE> buf(needed);
  ASSERT_TRUE(PrinterDrivers(3, buf.data(), needed, &needed, &returned));
  ASSERT_EQ(1u, returned);
  const DRIVER_INFO_3A* di = (const DRIVER_INFO_3A*)buf.data();
  ASSERT_NE(nullptr, di->pDependentFiles);
  EXPECT_EQ(nullptr, di->pMonitorName);
  size_t chars = StringBytes(di->pName) + StringBytes(di->pEnvironment) + StringBytes(di->pDriverPath) +
                 StringBytes(di->pDataFile) + StringBytes(di->pConfigFile) + StringBytes(di->pHelpFile) +
                 ListBytes(di->pDependentFiles) + StringBytes(di->pMonitorName) + StringBytes(di->pDefaultDataType);
  // Every character, zeros included, takes two bytes in the wide record.
  EXPECT_EQ(sizeof(DRIVER_INFO_3A) + 2 * chars, needed);
}

TEST(Enumerations, JournalShowsTheRecordsByFieldNames) {
  SimMachine machine("xp");
  TestDriver d;
  d.name = kDriver;
  ASSERT_TRUE(d.StageAndAdd());
  ASSERT_TRUE(AddPrinterAndClose("Label", kDriver, "COM2:"));
  DWORD needed = 0, returned = 0;
  LocalPrinters(2, nullptr, 0, &needed, &returned);
  std::vector<BYTE> buf(needed);
  ASSERT_TRUE(LocalPrinters(2, buf.data(), needed, &needed, &returned));
  std::string n = std::to_string(needed);
  std::string journal = machine.ReadFile("journal.jsonl");
  EXPECT_NE(std::string::npos, journal.find("\"call\": \"EnumPrintersA\", \"args\": [2, null, 2, null, 0, " + n +
                                            ", 0], \"ret\": 0, "
                                            "\"err\": 122}"))
      << journal;
  EXPECT_NE(std::string::npos,
            journal.find("\"call\": \"EnumPrintersA\", \"args\": [2, null, 2, [{\"pServerName\": null, "
                         "\"pPrinterName\": \"Label\", \"pShareName\": \"\", \"pPortName\": \"COM2:\", "
                         "\"pDriverName\": \"VELKORA KVL-M720\", \"pComment\": \"\", \"pLocation\": \"\", "
                         "\"pSepFile\": \"\", \"pPrintProcessor\": \"WinPrint\", \"pDatatype\": \"RAW\", "
                         "\"pParameters\": \"\", \"Attributes\": 2560, \"Priority\": 1, \"DefaultPriority\": 0, "
                         "\"StartTime\": 0, \"UntilTime\": 0, \"Status\": 128}], " +
                         n + ", " + n + ", 1], \"ret\": 1"))
      << journal;
}

}  // namespace
