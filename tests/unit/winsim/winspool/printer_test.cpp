// Printers on the simulated spooler: AddPrinterA, OpenPrinterA,
// ClosePrinter and DeletePrinter.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include "core/machine.h"
#include "core/registry_tree.h"
#include "journal_query.h"
#include "sim_machine.h"
#include "spooler_fixture.h"

using namespace spooler_fixture;

namespace {

::testing::AssertionResult InstallDriverIn(const char* env = "Windows NT x86") {
  TestDriver d;
  d.name = kDriver;
  d.environment = env;
  if (!d.StageAndAdd()) return ::testing::AssertionFailure() << "error " << GetLastError();
  return ::testing::AssertionSuccess();
}

struct AddRow {
  const char* what;
  const char* name;
  const char* driver;
  const char* port;
  const char* processor;
  const char* datatype;
  DWORD error;  // 0: the printer is added
};

const AddRow kAddRows[] = {
    {"COM port", "Label", kDriver, "COM1:", "WinPrint", "RAW", 0},
    {"LPT port, names in other case", "Label", "velkora kvl-m720", "lpt2:", "winprint", "raw", 0},
    {"name of an existing printer", "Existing", kDriver, "COM1:", "WinPrint", "RAW", ERROR_PRINTER_ALREADY_EXISTS},
    {"same name in other case", "EXISTING", kDriver, "COM1:", "WinPrint", "RAW", ERROR_PRINTER_ALREADY_EXISTS},
    {"unknown driver", "Label", "VELKORA KVL-M721", "COM1:", "WinPrint", "RAW", ERROR_UNKNOWN_PRINTER_DRIVER},
    {"unknown port", "Label", kDriver, "COM9:", "WinPrint", "RAW", ERROR_UNKNOWN_PORT},
    {"no port", "Label", kDriver, nullptr, "WinPrint", "RAW", ERROR_UNKNOWN_PORT},
    {"USB is no port of its own", "Label", kDriver, "USB", "WinPrint", "RAW", ERROR_UNKNOWN_PORT},
    {"empty name", "", kDriver, "COM1:", "WinPrint", "RAW", ERROR_INVALID_PRINTER_NAME},
    {"backslash in the name", "A\\B", kDriver, "COM1:", "WinPrint", "RAW", ERROR_INVALID_PRINTER_NAME},
    {"comma in the name", "A,B", kDriver, "COM1:", "WinPrint", "RAW", ERROR_INVALID_PRINTER_NAME},
    {"unknown print processor", "Label", kDriver, "COM1:", "LabelPrint", "RAW", ERROR_UNKNOWN_PRINTPROCESSOR},
    {"unknown data type", "Label", kDriver, "COM1:", "WinPrint", "ZPL", ERROR_INVALID_DATATYPE},
};

TEST(AddPrinterA, Table) {
  for (const auto& r : kAddRows) {
    SCOPED_TRACE(r.what);
    SimMachine machine("xp");
    ASSERT_TRUE(InstallDriverIn());
    ASSERT_TRUE(AddPrinterAndClose("Existing", kDriver));
    PRINTER_INFO_2A pi;
    memset(&pi, 0, sizeof pi);
    pi.pPrinterName = (LPSTR)r.name;
    pi.pPortName = (LPSTR)r.port;
    pi.pDriverName = (LPSTR)r.driver;
    pi.pPrintProcessor = (LPSTR)r.processor;
    pi.pDatatype = (LPSTR)r.datatype;
    pi.Attributes = 0xA00;
    pi.Priority = 1;
    pi.Status = PRINTER_STATUS_OFFLINE;
    SetLastError(0xdeadbeef);
    HANDLE h = AddPrinterA(nullptr, 2, (LPBYTE)&pi);
    if (r.error) {
      EXPECT_EQ(nullptr, h) << r.what;
      EXPECT_EQ(r.error, GetLastError()) << r.what;
      continue;
    }
    ASSERT_NE(nullptr, h) << r.what << " error " << GetLastError();
    EXPECT_TRUE(ClosePrinter(h)) << r.what;
    winsim::RegKey* key = PrinterKey(r.name);
    ASSERT_NE(nullptr, key) << r.what;
    // The printer refers to the installed driver by its own spelling.
    const winsim::RegValue* driver = key->Value("Printer Driver");
    ASSERT_NE(nullptr, driver) << r.what;
    EXPECT_STREQ(kDriver, (const char*)driver->data.data()) << r.what;
  }
}

TEST(AddPrinterA, SixtyFourBitPrintersNeedTheNativeDriver) {
  SimMachine machine("7-x64");
  ASSERT_TRUE(InstallDriverIn("Windows NT x86"));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(nullptr, AddTestPrinter("Label", kDriver));
  EXPECT_EQ((DWORD)ERROR_UNKNOWN_PRINTER_DRIVER, GetLastError());
  ASSERT_TRUE(InstallDriverIn("Windows x64"));
  HANDLE h = AddTestPrinter("Label", kDriver);
  EXPECT_NE(nullptr, h);
  ClosePrinter(h);
}

TEST(AddPrinterA, RefusesOtherLevelsAndUsers) {
  SimMachine machine("xp");
  ASSERT_TRUE(InstallDriverIn());
  PRINTER_INFO_2A pi;
  memset(&pi, 0, sizeof pi);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(nullptr, AddPrinterA(nullptr, 1, (LPBYTE)&pi));
  EXPECT_EQ((DWORD)ERROR_INVALID_LEVEL, GetLastError());
  ASSERT_TRUE(machine.SetIni("user", "admin", "0"));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(nullptr, AddTestPrinter("Label", kDriver));
  EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
}

TEST(OpenPrinterA, WithAndWithoutDefaults) {
  SimMachine machine("xp");
  ASSERT_TRUE(InstallDriverIn());
  ASSERT_TRUE(AddPrinterAndClose(kDriver, kDriver));
  PRINTER_DEFAULTSA all = {(LPSTR) "raw", nullptr, PRINTER_ALL_ACCESS};
  PRINTER_DEFAULTSA badType = {(LPSTR) "ZPL", nullptr, PRINTER_ACCESS_USE};
  PRINTER_DEFAULTSA server = {nullptr, nullptr, SERVER_ALL_ACCESS};
  PRINTER_DEFAULTSA everything = {nullptr, nullptr, 0xFFFFFFFF};
  struct Row {
    const char* what;
    const char* name;
    PRINTER_DEFAULTSA* defaults;
    DWORD error;
  } rows[] = {
      {"no defaults", kDriver, nullptr, 0},
      {"all access, data type raw", kDriver, &all, 0},
      {"name in other case", "velkora kvl-m720", nullptr, 0},
      {"the print server", nullptr, nullptr, 0},
      {"the print server with all its rights", nullptr, &server, 0},
      {"the print server with every right there is", nullptr, &everything, ERROR_ACCESS_DENIED},
      {"a printer with every right there is", kDriver, &everything, ERROR_ACCESS_DENIED},
      {"the empty name, which is no printer", "", nullptr, ERROR_INVALID_PRINTER_NAME},
      {"a printer that is not there", "VELKORA KVL-M720(#1)", nullptr, ERROR_INVALID_PRINTER_NAME},
      {"unknown data type", kDriver, &badType, ERROR_INVALID_DATATYPE},
  };
  for (const auto& r : rows) {
    HANDLE h = (HANDLE)0xdeadbeef;
    SetLastError(0xdeadbeef);
    BOOL ok = OpenPrinterA((LPSTR)r.name, &h, r.defaults);
    EXPECT_EQ(r.error == 0, ok != FALSE) << r.what;
    if (!ok) {
      EXPECT_EQ(r.error, GetLastError()) << r.what;
      continue;
    }
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(ClosePrinter(h)) << r.what;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ClosePrinter(h)) << r.what << ": closed twice";
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError()) << r.what;
  }
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(OpenPrinterA((LPSTR)kDriver, nullptr, nullptr));
  EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
}

TEST(ClosePrinter, TheHandleGoesEvenWhenTheCallFails) {
  SimMachine machine("xp");
  HANDLE h = nullptr;
  ASSERT_TRUE(OpenPrinterA(nullptr, &h, nullptr));
  ASSERT_GT(WinExec("net stop spooler", SW_HIDE), 31u);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ClosePrinter(h));
  EXPECT_EQ((DWORD)RPC_S_SERVER_UNAVAILABLE, GetLastError());
  ASSERT_GT(WinExec("net start spooler", SW_HIDE), 31u);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ClosePrinter(h));
  EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
}

TEST(DeletePrinter, RemovesThePrinterKeyWithItsSubkeys) {
  SimMachine machine("xp");
  ASSERT_TRUE(InstallDriverIn());
  ASSERT_TRUE(AddPrinterAndClose(kDriver, kDriver));
  winsim::Registry::Get().Create(std::string(kPrinters) + kDriver + "\\VersionData")->SetDword("MajorVersion", 4);
  ASSERT_TRUE(AddPrinterAndClose("Other", kDriver));

  // Opened for use only, a printer cannot be deleted.
  HANDLE h = nullptr;
  ASSERT_TRUE(OpenPrinterA((LPSTR)kDriver, &h, nullptr));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeletePrinter(h));
  EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
  ClosePrinter(h);

  PRINTER_DEFAULTSA all = {(LPSTR) "raw", nullptr, PRINTER_ALL_ACCESS};
  ASSERT_TRUE(OpenPrinterA((LPSTR)kDriver, &h, &all));
  SetLastError(0xdeadbeef);
  EXPECT_TRUE(DeletePrinter(h));
  EXPECT_EQ(nullptr, PrinterKey(kDriver));
  EXPECT_NE(nullptr, PrinterKey("Other"));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeletePrinter(h));
  EXPECT_EQ((DWORD)ERROR_PRINTER_DELETED, GetLastError());
  EXPECT_TRUE(ClosePrinter(h));
  machine.Restart();
  EXPECT_EQ(nullptr, PrinterKey(kDriver));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeletePrinter(h));
  EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
  // With its printer gone the driver can go.
  PRINTER_DEFAULTSA defaults = {(LPSTR) "raw", nullptr, PRINTER_ALL_ACCESS};
  ASSERT_TRUE(OpenPrinterA((LPSTR) "Other", &h, &defaults));
  EXPECT_TRUE(DeletePrinter(h));
  ClosePrinter(h);
  EXPECT_TRUE(DeletePrinterDriverExA(nullptr, (LPSTR) "Windows NT x86", (LPSTR)kDriver, DPD_DELETE_ALL_FILES, 3));
}

// A handle belongs to the printer it was opened on, also after the machine
// was read back (a child process ran): a later printer of the same name is
// another printer, which the old handle never reaches.
TEST(DeletePrinter, AHandleBelongsToItsPrinterNotToItsName) {
  SimMachine machine("xp");
  ASSERT_TRUE(InstallDriverIn());
  ASSERT_TRUE(AddPrinterAndClose("Label", kDriver));
  PRINTER_DEFAULTSA all = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE old = nullptr, gone = nullptr, same = nullptr;
  ASSERT_TRUE(OpenPrinterA((LPSTR) "Label", &old, &all));
  ASSERT_TRUE(OpenPrinterA((LPSTR) "Label", &gone, &all));
  for (bool reload : {false, true}) {
    SCOPED_TRACE(reload ? "after a reload" : "in one process");
    if (reload) {
      winsim::Machine::SaveAll();
      winsim::Machine::ReloadAll();
    }
    ASSERT_TRUE(DeletePrinter(gone));
    ASSERT_TRUE(ClosePrinter(gone));
    ASSERT_TRUE(AddPrinterAndClose("Label", kDriver, "COM2:"));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeletePrinter(old));
    EXPECT_EQ((DWORD)ERROR_PRINTER_DELETED, GetLastError());
    EXPECT_NE(nullptr, PrinterKey("Label"));
    ASSERT_TRUE(OpenPrinterA((LPSTR) "Label", &gone, &all));
  }
  // The printer of a handle is still its own after a reload.
  ASSERT_TRUE(OpenPrinterA((LPSTR) "Label", &same, &all));
  winsim::Machine::SaveAll();
  winsim::Machine::ReloadAll();
  EXPECT_TRUE(DeletePrinter(same));
  EXPECT_EQ(nullptr, PrinterKey("Label"));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeletePrinter(gone));
  EXPECT_EQ((DWORD)ERROR_PRINTER_DELETED, GetLastError());
  for (HANDLE h : {old, gone, same}) EXPECT_TRUE(ClosePrinter(h));
}

TEST(AddPrinterA, JournalRecordsTheRecordByFieldNames) {
  SimMachine machine("xp");
  ASSERT_TRUE(InstallDriverIn());
  ASSERT_TRUE(AddPrinterAndClose("Label", kDriver, "COM2:"));
  JournalQuery journal(machine);
  JournalLines adds = journal.Calls("AddPrinterA").Where("/args/0", nullptr).Where("/args/1", 2);
  ASSERT_EQ(1u, adds.size()) << journal;
  EXPECT_TRUE(HasFields(adds[0]["args"][2], {{"pServerName", nullptr},
                                             {"pPrinterName", "Label"},
                                             {"pShareName", nullptr},
                                             {"pPortName", "COM2:"},
                                             {"pDriverName", "VELKORA KVL-M720"}}))
      << adds[0];
}

}  // namespace
