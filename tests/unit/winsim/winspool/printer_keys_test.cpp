// Which keys under Print\Printers are printers: only those that name their
// driver and port. Every other key (an installer's version stamp kept there
// before plug and play made the printer) is no printer to listing, opening,
// adding, deleting or the driver's in-use check.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <string>

#include "core/registry_tree.h"
#include "sim_machine.h"
#include "spooler_fixture.h"
#include "tool_run.h"

using namespace spooler_fixture;

namespace {

// Never added as a printer: only the test's key is there.
const char kStray[] = "VELKORA KVL-M720";
// Added as a printer, then its key replaced by the test's key while a handle
// to it is still open.
const char kReplaced[] = "Label";

struct KeyRow {
  const char* what;
  bool versionSubkey;  // a "VersionData" subkey with MajorVersion 4
  const char* driver;  // "Printer Driver", null for none
  const char* port;    // "Port", null for none
  bool printer;
};

const KeyRow kKeyRows[] = {
    {"version-stamp subkey only", true, nullptr, nullptr, false},
    {"empty key", false, nullptr, nullptr, false},
    {"driver without port", true, kOtherDriver, nullptr, false},
    {"port without driver", true, nullptr, "COM2:", false},
    {"empty driver and port", true, "", "", false},
    {"driver and port", true, kOtherDriver, "COM2:", true},
};

void MakeKey(const KeyRow& r, const char* name) {
  winsim::RegKey* key = winsim::Registry::Get().Create(kPrinters + std::string(name));
  if (r.versionSubkey) key->CreateChild("VersionData")->SetDword("MajorVersion", 4);
  if (r.driver) key->SetString("Printer Driver", r.driver);
  if (r.port) key->SetString("Port", r.port);
}

DWORD CountPrinters(DWORD level) {
  DWORD needed = 0, returned = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, nullptr, 0, &needed, &returned);
  std::vector<BYTE> buf(needed);
  if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, buf.data(), needed, &needed, &returned)) return 0xdeadbeef;
  return returned;
}

TEST(PrinterKeys, OnlyKeysWithDriverAndPortArePrinters) {
  for (const auto& r : kKeyRows) {
    SCOPED_TRACE(r.what);
    SimMachine machine("xp");
    TestDriver ours;
    ours.name = kDriver;
    ASSERT_TRUE(ours.StageAndAdd());
    TestDriver other;
    other.name = kOtherDriver;
    ASSERT_TRUE(other.StageAndAdd());

    MakeKey(r, kStray);
    machine.Restart();
    std::string listed = r.printer ? std::string(kStray) + "\t" + kOtherDriver + "\tCOM2:\n" : "";
    EXPECT_EQ(listed, RunTool("winsim", {"ls", machine.dir(), "printers"}).out);

    HANDLE replaced = AddTestPrinter(kReplaced, kDriver);
    ASSERT_NE(nullptr, replaced);
    ASSERT_TRUE(winsim::Registry::Get().Delete(kPrinters + std::string(kReplaced)));
    MakeKey(r, kReplaced);

    DWORD count = r.printer ? 2 : 0;
    for (DWORD level : {1u, 2u, 4u}) EXPECT_EQ(count, CountPrinters(level)) << "level " << level;

    HANDLE h = nullptr;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(r.printer, OpenPrinterA((LPSTR)kStray, &h, nullptr) != FALSE);
    if (r.printer) {
      EXPECT_TRUE(ClosePrinter(h));
    } else {
      EXPECT_EQ((DWORD)ERROR_INVALID_PRINTER_NAME, GetLastError());
    }

    SetLastError(0xdeadbeef);
    EXPECT_EQ(!r.printer, DeletePrinterDriverExA(nullptr, nullptr, (LPSTR)kOtherDriver, 0, 0) != FALSE);
    if (r.printer) {
      EXPECT_EQ((DWORD)ERROR_PRINTER_DRIVER_IN_USE, GetLastError());
    }

    // The handle's printer is gone; whatever key now has its name, printer
    // or not, is another object and stays.
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeletePrinter(replaced));
    EXPECT_EQ((DWORD)ERROR_PRINTER_DELETED, GetLastError());
    EXPECT_NE(nullptr, PrinterKey(kReplaced));
    EXPECT_TRUE(ClosePrinter(replaced));

    // Adding the printer keeps what the key already holds.
    SetLastError(0xdeadbeef);
    HANDLE added = AddTestPrinter(kStray, kDriver, "LPT2:");
    if (r.printer) {
      EXPECT_EQ(nullptr, added);
      EXPECT_EQ((DWORD)ERROR_PRINTER_ALREADY_EXISTS, GetLastError());
      continue;
    }
    ASSERT_NE(nullptr, added) << GetLastError();
    ClosePrinter(added);
    std::vector<BYTE> storage;
    std::vector<PRINTER_INFO_2A> printers = EnumLocalPrinters(&storage);
    ASSERT_EQ(1u, printers.size());
    EXPECT_STREQ(kStray, printers[0].pPrinterName);
    EXPECT_STREQ(kDriver, printers[0].pDriverName);
    EXPECT_STREQ("LPT2:", printers[0].pPortName);
    if (r.versionSubkey) {
      winsim::RegKey* stamp = PrinterKey(std::string(kStray) + "\\VersionData");
      ASSERT_NE(nullptr, stamp);
      const winsim::RegValue* major = stamp->Value("MajorVersion");
      ASSERT_NE(nullptr, major);
      EXPECT_EQ(4, major->data.at(0));
    }
  }
}

}  // namespace
