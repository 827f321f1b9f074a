// WINSPOOL's enumerations and the driver directory: EnumPrintersA,
// EnumPrinterDriversA, EnumMonitorsA, EnumPortsA, GetPrinterDriverDirectoryA.
#include <cstddef>
#include <cstring>

#include "core/journal.h"
#include "winspool/spooler_records.h"
#include "winspool/spooler_store.h"
#include "windows.h"
#include "winspool.h"

using winsim::ApiCall;
using winsim::Json;
using winsim::RegKey;
using namespace winsim::spooler;

namespace {

// How the spooler fills the fields it does not read as they stand from the
// entry's key.
FieldValue EntryName(const SpoolerEntry& e, const char*) { return Text(e.name); }

// A printer's name as it was added; a key without one goes by its own name.
FieldValue PrinterName(const SpoolerEntry& e, const char*) {
  std::string name = StringValue(e.key, "Name");
  return Text(name.empty() ? e.name : name);
}

FieldValue PrinterDescription(const SpoolerEntry& e, const char*) {
  return Text(PrinterName(e, nullptr).text + "," + StringValue(e.key, "Printer Driver") + "," +
              StringValue(e.key, "Location"));
}

// PRINTER_INFO_1's Flags for a local printer.
FieldValue PrinterIcon(const SpoolerEntry&, const char*) { return Number(0x00800000 /* PRINTER_ENUM_ICON8 */); }

FieldValue DriverVersion(const SpoolerEntry& e, const char* regValue) {
  return Number(DwordValue(e.key, regValue, e.version));
}

FieldValue EnvironmentName(const SpoolerEntry& e, const char*) { return Text(e.env->name); }

// File names of a driver as the spooler reports them: full paths into the
// version folder.
std::string Full(const SpoolerEntry& e, const std::string& file) {
  return file.empty() ? "" : VersionDirectory(*e.env, e.version) + "\\" + file;
}

FieldValue DriverFile(const SpoolerEntry& e, const char* regValue) {
  return Text(Full(e, StringValue(e.key, regValue)));
}

FieldValue DriverFiles(const SpoolerEntry& e, const char* regValue) {
  std::vector<std::string> files;
  for (const auto& f : MultiStringValue(e.key, regValue)) files.push_back(Full(e, f));
  return List(files);
}

// Monitors run in the spooler's own process.
FieldValue SpoolerEnvironment(const SpoolerEntry&, const char*) { return Text(NativeEnvironment().name); }

// Every port this machine has belongs to the "Local Port" monitor.
FieldValue PortMonitor(const SpoolerEntry& e, const char*) { return Text(e.port->monitor); }
FieldValue PortDescription(const SpoolerEntry& e, const char*) { return Text(e.port->description); }
FieldValue WritePort(const SpoolerEntry&, const char*) { return Number(PORT_TYPE_WRITE); }

const std::vector<RecordLevel> kPrinterLevels = {
    {1,
     sizeof(PRINTER_INFO_1A),
     {
         {nullptr, offsetof(PRINTER_INFO_1A, Flags), kNumber, nullptr, PrinterIcon},
         {nullptr, offsetof(PRINTER_INFO_1A, pDescription), kString, nullptr, PrinterDescription},
         {"pName", offsetof(PRINTER_INFO_1A, pName), kString, nullptr, PrinterName},
         {nullptr, offsetof(PRINTER_INFO_1A, pComment), kString, "Description", nullptr},
     }},
    {2,
     sizeof(PRINTER_INFO_2A),
     {
         // Local printers have no server name.
         {"pServerName", offsetof(PRINTER_INFO_2A, pServerName), kNull, nullptr, nullptr},
         {"pPrinterName", offsetof(PRINTER_INFO_2A, pPrinterName), kString, nullptr, PrinterName},
         {"pShareName", offsetof(PRINTER_INFO_2A, pShareName), kString, "Share Name", nullptr},
         {"pPortName", offsetof(PRINTER_INFO_2A, pPortName), kString, "Port", nullptr},
         {"pDriverName", offsetof(PRINTER_INFO_2A, pDriverName), kString, "Printer Driver", nullptr},
         {"pComment", offsetof(PRINTER_INFO_2A, pComment), kString, "Description", nullptr},
         {"pLocation", offsetof(PRINTER_INFO_2A, pLocation), kString, "Location", nullptr},
         {"pSepFile", offsetof(PRINTER_INFO_2A, pSepFile), kString, "Separator File", nullptr},
         {"pPrintProcessor", offsetof(PRINTER_INFO_2A, pPrintProcessor), kString, "Print Processor", nullptr},
         {"pDatatype", offsetof(PRINTER_INFO_2A, pDatatype), kString, "Datatype", nullptr},
         {"pParameters", offsetof(PRINTER_INFO_2A, pParameters), kString, "Parameters", nullptr},
         {"Attributes", offsetof(PRINTER_INFO_2A, Attributes), kNumber, "Attributes", nullptr},
         {"Priority", offsetof(PRINTER_INFO_2A, Priority), kNumber, "Priority", nullptr},
         {"DefaultPriority", offsetof(PRINTER_INFO_2A, DefaultPriority), kNumber, "Default Priority", nullptr},
         {"StartTime", offsetof(PRINTER_INFO_2A, StartTime), kNumber, "StartTime", nullptr},
         {"UntilTime", offsetof(PRINTER_INFO_2A, UntilTime), kNumber, "UntilTime", nullptr},
         {"Status", offsetof(PRINTER_INFO_2A, Status), kNumber, "Status", nullptr},
     }},
    {4,
     sizeof(PRINTER_INFO_4A),
     {
         {"pPrinterName", offsetof(PRINTER_INFO_4A, pPrinterName), kString, nullptr, PrinterName},
         {"pServerName", offsetof(PRINTER_INFO_4A, pServerName), kNull, nullptr, nullptr},
         {"Attributes", offsetof(PRINTER_INFO_4A, Attributes), kNumber, "Attributes", nullptr},
     }},
};

const std::vector<RecordLevel> kDriverLevels = {
    {1,
     sizeof(DRIVER_INFO_1A),
     {
         {"pName", offsetof(DRIVER_INFO_1A, pName), kString, nullptr, EntryName},
     }},
    {2,
     sizeof(DRIVER_INFO_2A),
     {
         {"cVersion", offsetof(DRIVER_INFO_2A, cVersion), kNumber, "Version", DriverVersion},
         {"pName", offsetof(DRIVER_INFO_2A, pName), kString, nullptr, EntryName},
         {"pEnvironment", offsetof(DRIVER_INFO_2A, pEnvironment), kString, nullptr, EnvironmentName},
         {"pDriverPath", offsetof(DRIVER_INFO_2A, pDriverPath), kOptString, "Driver", DriverFile},
         {"pDataFile", offsetof(DRIVER_INFO_2A, pDataFile), kOptString, "Data File", DriverFile},
         {"pConfigFile", offsetof(DRIVER_INFO_2A, pConfigFile), kOptString, "Configuration File", DriverFile},
     }},
    {3,
     sizeof(DRIVER_INFO_3A),
     {
         {"cVersion", offsetof(DRIVER_INFO_3A, cVersion), kNumber, "Version", DriverVersion},
         {"pName", offsetof(DRIVER_INFO_3A, pName), kString, nullptr, EntryName},
         {"pEnvironment", offsetof(DRIVER_INFO_3A, pEnvironment), kString, nullptr, EnvironmentName},
         {"pDriverPath", offsetof(DRIVER_INFO_3A, pDriverPath), kOptString, "Driver", DriverFile},
         {"pDataFile", offsetof(DRIVER_INFO_3A, pDataFile), kOptString, "Data File", DriverFile},
         {"pConfigFile", offsetof(DRIVER_INFO_3A, pConfigFile), kOptString, "Configuration File", DriverFile},
         {"pHelpFile", offsetof(DRIVER_INFO_3A, pHelpFile), kOptString, "Help File", DriverFile},
         {"pDependentFiles", offsetof(DRIVER_INFO_3A, pDependentFiles), kMultiString, "Dependent Files", DriverFiles},
         {"pMonitorName", offsetof(DRIVER_INFO_3A, pMonitorName), kOptString, "Monitor", nullptr},
         {"pDefaultDataType", offsetof(DRIVER_INFO_3A, pDefaultDataType), kOptString, "Datatype", nullptr},
     }},
    {4,
     sizeof(DRIVER_INFO_4A),
     {
         {"cVersion", offsetof(DRIVER_INFO_4A, cVersion), kNumber, "Version", DriverVersion},
         {"pName", offsetof(DRIVER_INFO_4A, pName), kString, nullptr, EntryName},
         {"pEnvironment", offsetof(DRIVER_INFO_4A, pEnvironment), kString, nullptr, EnvironmentName},
         {"pDriverPath", offsetof(DRIVER_INFO_4A, pDriverPath), kOptString, "Driver", DriverFile},
         {"pDataFile", offsetof(DRIVER_INFO_4A, pDataFile), kOptString, "Data File", DriverFile},
         {"pConfigFile", offsetof(DRIVER_INFO_4A, pConfigFile), kOptString, "Configuration File", DriverFile},
         {"pHelpFile", offsetof(DRIVER_INFO_4A, pHelpFile), kOptString, "Help File", DriverFile},
         {"pDependentFiles", offsetof(DRIVER_INFO_4A, pDependentFiles), kMultiString, "Dependent Files", DriverFiles},
         {"pMonitorName", offsetof(DRIVER_INFO_4A, pMonitorName), kOptString, "Monitor", nullptr},
         {"pDefaultDataType", offsetof(DRIVER_INFO_4A, pDefaultDataType), kOptString, "Datatype", nullptr},
         {"pszzPreviousNames", offsetof(DRIVER_INFO_4A, pszzPreviousNames), kMultiString, "Previous Names", nullptr},
     }},
};

const std::vector<RecordLevel> kMonitorLevels = {
    {1,
     sizeof(MONITOR_INFO_1A),
     {
         {"pName", offsetof(MONITOR_INFO_1A, pName), kString, nullptr, EntryName},
     }},
    {2,
     sizeof(MONITOR_INFO_2A),
     {
         {"pName", offsetof(MONITOR_INFO_2A, pName), kString, nullptr, EntryName},
         {"pEnvironment", offsetof(MONITOR_INFO_2A, pEnvironment), kString, nullptr, SpoolerEnvironment},
         {"pDLLName", offsetof(MONITOR_INFO_2A, pDLLName), kString, "Driver", nullptr},
     }},
};

const std::vector<RecordLevel> kPortLevels = {
    {1,
     sizeof(PORT_INFO_1A),
     {
         {"pPortName", offsetof(PORT_INFO_1A, pName), kString, nullptr, EntryName},
     }},
    {2,
     sizeof(PORT_INFO_2A),
     {
         {"pPortName", offsetof(PORT_INFO_2A, pPortName), kString, nullptr, EntryName},
         {"pMonitorName", offsetof(PORT_INFO_2A, pMonitorName), kString, nullptr, PortMonitor},
         {nullptr, offsetof(PORT_INFO_2A, pDescription), kString, nullptr, PortDescription},
         {nullptr, offsetof(PORT_INFO_2A, fPortType), kNumber, nullptr, WritePort},
     }},
};

// Entries of keys that go by their own names.
std::vector<SpoolerEntry> KeyEntries(const std::vector<RegKey*>& keys) {
  std::vector<SpoolerEntry> entries;
  entries.reserve(keys.size());
  for (RegKey* k : keys) entries.push_back(SpoolerEntry{k, k->name()});
  return entries;
}

}  // namespace

extern "C" {

BOOL WINAPI EnumPrintersA(DWORD Flags, LPSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf, LPDWORD pcbNeeded,
                          LPDWORD pcReturned) {
  Enumeration e("EnumPrintersA", kPrinterLevels, {Level, pPrinterEnum, cbBuf, pcbNeeded, pcReturned}, Flags, Name);
  if (!e.Start()) return e.Fail();
  std::vector<SpoolerEntry> printers;
  // Local printers only; connections to other machines this machine has none.
  if (Flags & (PRINTER_ENUM_LOCAL | PRINTER_ENUM_NAME)) {
    printers = KeyEntries(Printers());
  } else if (!(Flags & (PRINTER_ENUM_CONNECTIONS | PRINTER_ENUM_DEFAULT))) {
    SetLastError(ERROR_INVALID_FLAGS);
    return e.Fail();
  }
  return e.Finish(printers);
}

BOOL WINAPI EnumPrinterDriversA(LPSTR pName, LPSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo, DWORD cbBuf,
                                LPDWORD pcbNeeded, LPDWORD pcReturned) {
  Enumeration e("EnumPrinterDriversA", kDriverLevels, {Level, pDriverInfo, cbBuf, pcbNeeded, pcReturned}, pName,
                pEnvironment);
  if (!e.Start()) return e.Fail();
  std::vector<const Environment*> envs;
  if (AllEnvironmentsAsked(pEnvironment)) {
    envs = KnownEnvironments();
  } else {
    const Environment* env = ResolveEnvironment(pEnvironment);
    if (!env) return e.Fail();
    envs.push_back(env);
  }
  std::vector<SpoolerEntry> drivers;
  for (const Environment* env : envs)
    for (const auto& d : Drivers(*env)) drivers.push_back(SpoolerEntry{d.second, d.second->name(), env, d.first});
  return e.Finish(drivers);
}

BOOL WINAPI EnumMonitorsA(LPSTR pName, DWORD Level, LPBYTE pMonitor, DWORD cbBuf, LPDWORD pcbNeeded,
                          LPDWORD pcReturned) {
  Enumeration e("EnumMonitorsA", kMonitorLevels, {Level, pMonitor, cbBuf, pcbNeeded, pcReturned}, pName);
  if (!e.Start()) return e.Fail();
  std::vector<RegKey*> monitors;
  if (RegKey* key = winsim::Registry::Get().Find(kMonitorsKey))
    for (const auto& m : key->children()) monitors.push_back(m.get());
  return e.Finish(KeyEntries(monitors));
}

BOOL WINAPI EnumPortsA(LPSTR pName, DWORD Level, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
  Enumeration e("EnumPortsA", kPortLevels, {Level, pPorts, cbBuf, pcbNeeded, pcReturned}, pName);
  if (!e.Start()) return e.Fail();
  std::vector<Port> all = Ports();
  std::vector<SpoolerEntry> ports;
  for (const auto& p : all) {
    SpoolerEntry entry{nullptr, p.name};
    entry.port = &p;
    ports.push_back(entry);
  }
  return e.Finish(ports);
}

BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level, LPBYTE pDriverDirectory,
                                       DWORD cbBuf, LPDWORD pcbNeeded) {
  ApiCall call("GetPrinterDriverDirectoryA",
               {pName, pEnvironment, Level, BufferJson(pDriverDirectory), cbBuf, OutJson(pcbNeeded)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!SpoolerRunning()) return call.Ret((BOOL)FALSE);
  if (Level != 1) return call.Fail(ERROR_INVALID_LEVEL);
  const Environment* env = ResolveEnvironment(pEnvironment);
  if (!env) return call.Ret((BOOL)FALSE);
  if (!pcbNeeded) return call.Fail(RPC_X_NULL_REF_POINTER);
  std::string dir = DriverDirectory(*env);
  *pcbNeeded = (DWORD)dir.size() + 1;
  call.SetArg(5, Json(*pcbNeeded));
  if (!pDriverDirectory || cbBuf < *pcbNeeded)
    return call.Fail(pDriverDirectory || !cbBuf ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_USER_BUFFER);
  memcpy(pDriverDirectory, dir.c_str(), dir.size() + 1);
  call.SetArg(3, Json(dir));
  return call.Ret((BOOL)TRUE);
}

}  // extern "C"
