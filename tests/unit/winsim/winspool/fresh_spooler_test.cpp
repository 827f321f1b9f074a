// The spooler of a fresh machine, as the Win32 calls show it: XP has the
// Local Port monitor, its ports and nothing else; Vista and 7 also the
// XPS Document Writer and Fax printers with their drivers (in the spooler's
// own environment), ports and monitors; the shipped drivers' files lie where
// their records say and go with DeletePrinterDriverExA.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim_machine.h"
#include "spooler_fixture.h"

using namespace spooler_fixture;

namespace {

// The two-call enumeration of any of the Enum* calls: the records as text.
template <typename Call, typename Render>
std::vector<std::string> Enumerate(Call call, Render render, size_t recordSize) {
  DWORD needed = 0, returned = 0;
  call(nullptr, 0, &needed, &returned);
  std::vector<BYTE> buf(needed + 1);
  std::vector<std::string> list;
  SetLastError(0xdeadbeef);
  if (!call(buf.data(), needed, &needed, &returned)) {
    list.push_back("failed with " + std::to_string(GetLastError()));
    return list;
  }
  for (DWORD i = 0; i < returned; ++i) list.push_back(render(buf.data() + i * recordSize));
  return list;
}

std::string Text(LPCSTR s) { return s ? s : "(null)"; }

std::vector<std::string> Printers() {
  return Enumerate([](LPBYTE b, DWORD cb, LPDWORD n,
                      LPDWORD r) { return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, b, cb, n, r); },
                   [](const BYTE* p) {
                     const PRINTER_INFO_2A* pi = (const PRINTER_INFO_2A*)p;
                     return Text(pi->pPrinterName) + "|" + Text(pi->pDriverName) + "|" + Text(pi->pPortName) + "|" +
                            Text(pi->pPrintProcessor) + "|" + Text(pi->pDatatype) + "|" +
                            std::to_string(pi->Attributes);
                   },
                   sizeof(PRINTER_INFO_2A));
}

// Level 3 records; the files as bare names when they lie in `dir`, and
// every file the record names must exist.
std::vector<std::string> Drivers(const char* env, const std::string& dir) {
  return Enumerate([env](LPBYTE b, DWORD cb, LPDWORD n,
                         LPDWORD r) { return EnumPrinterDriversA(nullptr, (LPSTR)env, 3, b, cb, n, r); },
                   [&dir](const BYTE* p) {
                     const DRIVER_INFO_3A* di = (const DRIVER_INFO_3A*)p;
                     auto file = [&dir](LPCSTR path) {
                       if (!path) return std::string("(null)");
                       std::string s = path;
                       if (s.compare(0, dir.size() + 1, dir + "\\") != 0) return "elsewhere: " + s;
                       if (!FileExists(s)) return "missing: " + s;
                       return s.substr(dir.size() + 1);
                     };
                     std::string text = Text(di->pName) + "|" + std::to_string(di->cVersion) + "|" +
                                        Text(di->pEnvironment) + "|" + file(di->pDriverPath) + "|" +
                                        file(di->pDataFile) + "|" + file(di->pConfigFile) + "|" + file(di->pHelpFile) +
                                        "|";
                     for (LPCSTR d = di->pDependentFiles; d && *d; d += strlen(d) + 1) text += file(d) + ",";
                     return text + "|" + Text(di->pMonitorName) + "|" + Text(di->pDefaultDataType);
                   },
                   sizeof(DRIVER_INFO_3A));
}

std::vector<std::string> PortNames() {
  return Enumerate([](LPBYTE b, DWORD cb, LPDWORD n, LPDWORD r) { return EnumPortsA(nullptr, 2, b, cb, n, r); },
                   [](const BYTE* p) {
                     const PORT_INFO_2A* pi = (const PORT_INFO_2A*)p;
                     return Text(pi->pPortName) + "|" + Text(pi->pMonitorName) + "|" + Text(pi->pDescription) + "|" +
                            std::to_string(pi->fPortType);
                   },
                   sizeof(PORT_INFO_2A));
}

std::vector<std::string> MonitorNames() {
  return Enumerate([](LPBYTE b, DWORD cb, LPDWORD n, LPDWORD r) { return EnumMonitorsA(nullptr, 2, b, cb, n, r); },
                   [](const BYTE* p) {
                     const MONITOR_INFO_2A* mi = (const MONITOR_INFO_2A*)p;
                     return Text(mi->pName) + "|" + Text(mi->pEnvironment) + "|" + Text(mi->pDLLName);
                   },
                   sizeof(MONITOR_INFO_2A));
}

const std::vector<std::string> kLocalPorts = {
    "COM1:|Local Port|Local Port|1", "COM2:|Local Port|Local Port|1", "COM3:|Local Port|Local Port|1",
    "COM4:|Local Port|Local Port|1", "LPT1:|Local Port|Local Port|1", "LPT2:|Local Port|Local Port|1",
    "LPT3:|Local Port|Local Port|1", "FILE:|Local Port|Local Port|1",
};

std::vector<std::string> Plus(std::vector<std::string> list, const std::vector<std::string>& more) {
  list.insert(list.end(), more.begin(), more.end());
  return list;
}

// PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_DO_COMPLETE_FIRST, and
// PRINTER_ATTRIBUTE_FAX (0x4000) for the fax printer.
const std::vector<std::string> kShippedPrinters = {
    "Fax|Microsoft Shared Fax Driver|SHRFAX:|winprint|RAW|16960",
    "Microsoft XPS Document Writer|Microsoft XPS Document Writer|XPSPort:|winprint|RAW|576",
};

std::vector<std::string> ShippedDrivers(const char* env) {
  std::string e = env;
  return {
      "Microsoft Shared Fax Driver|3|" + e +
          "|FXSDRV.DLL|FXSUI.DLL|FXSUI.DLL|(null)|FXSWZRD.DLL,FXSTIFF.DLL,FXSRES.DLL,FXSAPI.DLL,|(null)|(null)",
      "Microsoft XPS Document Writer|3|" + e +
          "|mxdwdrv.dll|mxdwdui.gpd|unidrvui.dll|unidrv.hlp|mxdwdui.dll,mxdwdui.ini,unidrv.dll,unires.dll,"
          "stdnames.gpd,stddtype.gdl,stdschem.gdl,stdschmx.gdl,xpssvcs.dll,|(null)|(null)",
  };
}

std::vector<std::string> ShippedMonitors(const char* env) {
  std::string e = env;
  return {"Local Port|" + e + "|localspl.dll", "Microsoft Shared Fax Monitor|" + e + "|FXSMON.DLL",
          "Standard TCP/IP Port|" + e + "|tcpmon.dll", "USB Monitor|" + e + "|usbmon.dll",
          "WSD Port|" + e + "|WSDMon.dll"};
}

const std::vector<std::string> kShippedPorts =
    Plus(kLocalPorts, {"XPSPort:|Local Port|Local Port|1", "SHRFAX:|Microsoft Shared Fax Monitor|Fax Monitor Port|1"});

struct FreshRow {
  const char* os;
  const char* nativeEnv;  // the spooler's own
  const char* nativeDir;  // its version folder
  std::vector<std::string> printers;
  std::vector<std::string> nativeDrivers;
  // What a null environment lists: the 32-bit caller's own, also on 64-bit
  // Windows, whose 32-bit environment comes without drivers.
  const char* callerDir;
  std::vector<std::string> callerDrivers;
  std::vector<std::string> ports;
  std::vector<std::string> monitors;
};

std::vector<FreshRow> FreshRows() {
  const char* xpX86 = "C:\\WINDOWS\\system32\\spool\\DRIVERS\\W32X86\\3";
  const char* x86 = "C:\\Windows\\system32\\spool\\DRIVERS\\W32X86\\3";
  const char* x64 = "C:\\Windows\\system32\\spool\\DRIVERS\\x64\\3";
  return {
      {"xp", "Windows NT x86", xpX86, {}, {}, xpX86, {}, kLocalPorts, {"Local Port|Windows NT x86|localspl.dll"}},
      {"vista", "Windows NT x86", x86, kShippedPrinters, ShippedDrivers("Windows NT x86"), x86,
       ShippedDrivers("Windows NT x86"), kShippedPorts, ShippedMonitors("Windows NT x86")},
      {"7", "Windows NT x86", x86, kShippedPrinters, ShippedDrivers("Windows NT x86"), x86,
       ShippedDrivers("Windows NT x86"), kShippedPorts, ShippedMonitors("Windows NT x86")},
      {"7-x64",
       "Windows x64",
       x64,
       kShippedPrinters,
       ShippedDrivers("Windows x64"),
       x86,
       {},
       kShippedPorts,
       ShippedMonitors("Windows x64")},
  };
}

TEST(FreshSpooler, ListsWhatEachKindOfWindowsShipsWith) {
  for (const auto& row : FreshRows()) {
    SCOPED_TRACE(row.os);
    SimMachine machine(row.os);
    EXPECT_EQ(row.printers, Printers());
    EXPECT_EQ(row.nativeDrivers, Drivers(row.nativeEnv, row.nativeDir));
    EXPECT_EQ(row.callerDrivers, Drivers(nullptr, row.callerDir));
    EXPECT_EQ(row.ports, PortNames());
    EXPECT_EQ(row.monitors, MonitorNames());
  }
}

TEST(FreshSpooler, ShippedDriverGoesWithItsFilesOnceItsPrinterIsGone) {
  SimMachine machine("7-x64");
  const std::string folder = "C:\\Windows\\system32\\spool\\DRIVERS\\x64\\3";
  const std::string dir = folder + "\\";
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeletePrinterDriverExA(nullptr, (LPSTR) "Windows x64", (LPSTR) "Microsoft Shared Fax Driver",
                                      DPD_DELETE_ALL_FILES, 0));
  EXPECT_EQ((DWORD)ERROR_PRINTER_DRIVER_IN_USE, GetLastError());

  HANDLE printer = nullptr;
  PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  ASSERT_TRUE(OpenPrinterA((LPSTR) "Fax", &printer, &defaults));
  ASSERT_TRUE(DeletePrinter(printer));
  ClosePrinter(printer);
  SetLastError(0xdeadbeef);
  ASSERT_TRUE(DeletePrinterDriverExA(nullptr, (LPSTR) "Windows x64", (LPSTR) "Microsoft Shared Fax Driver",
                                     DPD_DELETE_ALL_FILES, 0))
      << GetLastError();
  for (const char* f : {"FXSDRV.DLL", "FXSUI.DLL", "FXSWZRD.DLL", "FXSTIFF.DLL", "FXSRES.DLL", "FXSAPI.DLL"})
    EXPECT_FALSE(FileExists(dir + f)) << f;
  EXPECT_TRUE(FileExists(dir + "mxdwdrv.dll"));
  EXPECT_EQ(std::vector<std::string>{ShippedDrivers("Windows x64")[1]}, Drivers("Windows x64", folder));
}

}  // namespace
