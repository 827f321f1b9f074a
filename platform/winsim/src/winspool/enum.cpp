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

// A caller's buffer in the journal: null, or what the call left in it.
Json BufferJson(const void* p) { return p ? Json::Array() : Json(); }
// An output number before the call has set it.
Json OutJson(const void* p) { return p ? Json(0u) : Json(); }

// The checks every enumeration makes before it looks at anything.
bool CheckEnumArgs(LPBYTE buffer, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
  if (!pcbNeeded || !pcReturned) {
    SetLastError(RPC_X_NULL_REF_POINTER);
    return false;
  }
  if (!buffer && cbBuf) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return false;
  }
  return true;
}

Record PrinterRecord(const RegKey* key, DWORD level) {
  std::string name = StringValue(key, "Name");
  if (name.empty()) name = key->name();
  Record r;
  if (level == 1) {
    r.numbers = {{offsetof(PRINTER_INFO_1A, Flags), 0x00800000 /* PRINTER_ENUM_ICON8 */}};
    std::string description = name + "," + StringValue(key, "Printer Driver") + "," + StringValue(key, "Location");
    r.strings = {Str(offsetof(PRINTER_INFO_1A, pDescription), description),
                 Str(offsetof(PRINTER_INFO_1A, pName), name),
                 Str(offsetof(PRINTER_INFO_1A, pComment), StringValue(key, "Description"))};
    r.journal = Json::Object().Set("pName", name);
    return r;
  }
  if (level == 4) {
    DWORD attributes = DwordValue(key, "Attributes");
    r.numbers = {{offsetof(PRINTER_INFO_4A, Attributes), attributes}};
    r.strings = {Str(offsetof(PRINTER_INFO_4A, pPrinterName), name)};
    r.journal = Json::Object().Set("pPrinterName", name).Set("pServerName", Json()).Set("Attributes", attributes);
    return r;
  }
  struct Field {
    size_t offset;
    const char* field;
    const char* value;
  };
  static const Field kStrings[] = {
      {offsetof(PRINTER_INFO_2A, pShareName), "pShareName", "Share Name"},
      {offsetof(PRINTER_INFO_2A, pPortName), "pPortName", "Port"},
      {offsetof(PRINTER_INFO_2A, pDriverName), "pDriverName", "Printer Driver"},
      {offsetof(PRINTER_INFO_2A, pComment), "pComment", "Description"},
      {offsetof(PRINTER_INFO_2A, pLocation), "pLocation", "Location"},
      {offsetof(PRINTER_INFO_2A, pSepFile), "pSepFile", "Separator File"},
      {offsetof(PRINTER_INFO_2A, pPrintProcessor), "pPrintProcessor", "Print Processor"},
      {offsetof(PRINTER_INFO_2A, pDatatype), "pDatatype", "Datatype"},
      {offsetof(PRINTER_INFO_2A, pParameters), "pParameters", "Parameters"},
  };
  static const Field kNumbers[] = {
      {offsetof(PRINTER_INFO_2A, Attributes), "Attributes", "Attributes"},
      {offsetof(PRINTER_INFO_2A, Priority), "Priority", "Priority"},
      {offsetof(PRINTER_INFO_2A, DefaultPriority), "DefaultPriority", "Default Priority"},
      {offsetof(PRINTER_INFO_2A, StartTime), "StartTime", "StartTime"},
      {offsetof(PRINTER_INFO_2A, UntilTime), "UntilTime", "UntilTime"},
      {offsetof(PRINTER_INFO_2A, Status), "Status", "Status"},
  };
  // The journal's copy is made only when there is a journal to write.
  bool journal = winsim::Journal::enabled();
  // Local printers have no server name.
  if (journal) r.journal = Json::Object().Set("pServerName", Json()).Set("pPrinterName", name);
  r.strings.reserve(1 + sizeof kStrings / sizeof kStrings[0]);
  r.strings.push_back(Str(offsetof(PRINTER_INFO_2A, pPrinterName), name));
  for (const auto& f : kStrings) {
    r.strings.push_back(Str(f.offset, StringValue(key, f.value)));
    if (journal) r.journal.Set(f.field, r.strings.back().text);
  }
  for (const auto& f : kNumbers) {
    DWORD v = DwordValue(key, f.value);
    r.numbers.emplace_back(f.offset, v);
    if (journal) r.journal.Set(f.field, v);
  }
  return r;
}

// File names of a driver as the spooler reports them: full paths into the
// version folder.
std::string Full(const std::string& dir, const std::string& file) { return file.empty() ? "" : dir + "\\" + file; }

Record DriverRecord(const Environment& env, DWORD version, const RegKey* key, DWORD level) {
  Record r;
  std::string name = key->name();
  if (level == 1) {
    r.strings = {Str(offsetof(DRIVER_INFO_1A, pName), name)};
    r.journal = Json::Object().Set("pName", name);
    return r;
  }
  std::string dir = VersionDirectory(env, version);
  std::string driver = Full(dir, StringValue(key, "Driver"));
  std::string data = Full(dir, StringValue(key, "Data File"));
  std::string config = Full(dir, StringValue(key, "Configuration File"));
  r.numbers = {{offsetof(DRIVER_INFO_4A, cVersion), DwordValue(key, "Version", version)}};
  // DRIVER_INFO_2, 3 and 4 begin alike.
  r.strings = {Str(offsetof(DRIVER_INFO_4A, pName), name), Str(offsetof(DRIVER_INFO_4A, pEnvironment), env.name),
               OptStr(offsetof(DRIVER_INFO_4A, pDriverPath), driver),
               OptStr(offsetof(DRIVER_INFO_4A, pDataFile), data),
               OptStr(offsetof(DRIVER_INFO_4A, pConfigFile), config)};
  r.journal = Json::Object()
                  .Set("cVersion", DwordValue(key, "Version", version))
                  .Set("pName", name)
                  .Set("pEnvironment", env.name)
                  .Set("pDriverPath", driver)
                  .Set("pDataFile", data)
                  .Set("pConfigFile", config);
  if (level == 2) return r;
  std::string help = Full(dir, StringValue(key, "Help File"));
  std::vector<std::string> dependent;
  for (const auto& f : MultiStringValue(key, "Dependent Files")) dependent.push_back(Full(dir, f));
  std::string monitor = StringValue(key, "Monitor");
  std::string datatype = StringValue(key, "Datatype");
  r.strings.push_back(OptStr(offsetof(DRIVER_INFO_4A, pHelpFile), help));
  r.strings.push_back(Multi(offsetof(DRIVER_INFO_4A, pDependentFiles), dependent));
  r.strings.push_back(OptStr(offsetof(DRIVER_INFO_4A, pMonitorName), monitor));
  r.strings.push_back(OptStr(offsetof(DRIVER_INFO_4A, pDefaultDataType), datatype));
  Json deps = Json::Array();
  for (const auto& d : dependent) deps.Add(d);
  r.journal.Set("pHelpFile", help).Set("pDependentFiles", deps).Set("pMonitorName", monitor).Set(
      "pDefaultDataType", datatype);
  if (level == 3) return r;
  std::vector<std::string> previous = MultiStringValue(key, "Previous Names");
  r.strings.push_back(Multi(offsetof(DRIVER_INFO_4A, pszzPreviousNames), previous));
  Json prev = Json::Array();
  for (const auto& p : previous) prev.Add(p);
  r.journal.Set("pszzPreviousNames", prev);
  return r;
}

size_t DriverRecordSize(DWORD level) {
  switch (level) {
    case 1: return sizeof(DRIVER_INFO_1A);
    case 2: return sizeof(DRIVER_INFO_2A);
    case 3: return sizeof(DRIVER_INFO_3A);
    case 4: return sizeof(DRIVER_INFO_4A);
  }
  return 0;
}

}  // namespace

extern "C" {

BOOL WINAPI EnumPrintersA(DWORD Flags, LPSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf, LPDWORD pcbNeeded,
                          LPDWORD pcReturned) {
  ApiCall call("EnumPrintersA", {Flags, Name, Level, BufferJson(pPrinterEnum), cbBuf, OutJson(pcbNeeded),
                                 OutJson(pcReturned)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!SpoolerRunning()) return call.Ret((BOOL)FALSE);
  if (!CheckEnumArgs(pPrinterEnum, cbBuf, pcbNeeded, pcReturned)) return call.Ret((BOOL)FALSE);
  size_t recordSize = Level == 1 ? sizeof(PRINTER_INFO_1A)
                      : Level == 2 ? sizeof(PRINTER_INFO_2A)
                      : Level == 4 ? sizeof(PRINTER_INFO_4A)
                                   : 0;
  if (!recordSize) {
    SetLastError(ERROR_INVALID_LEVEL);
    return call.Ret((BOOL)FALSE);
  }
  std::vector<Record> records;
  // Local printers only; connections to other machines this machine has none.
  if (Flags & (PRINTER_ENUM_LOCAL | PRINTER_ENUM_NAME)) {
    for (RegKey* p : Printers()) records.push_back(PrinterRecord(p, Level));
  } else if (!(Flags & (PRINTER_ENUM_CONNECTIONS | PRINTER_ENUM_DEFAULT))) {
    SetLastError(ERROR_INVALID_FLAGS);
    return call.Ret((BOOL)FALSE);
  }
  BOOL ok = PackRecords(records, recordSize, pPrinterEnum, cbBuf, pcbNeeded, pcReturned);
  call.SetArg(3, pPrinterEnum ? RecordsJson(records, ok) : Json());
  call.SetArg(5, Json(*pcbNeeded));
  call.SetArg(6, Json(*pcReturned));
  return call.Ret(ok);
}

BOOL WINAPI EnumPrinterDriversA(LPSTR pName, LPSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo, DWORD cbBuf,
                                LPDWORD pcbNeeded, LPDWORD pcReturned) {
  ApiCall call("EnumPrinterDriversA", {pName, pEnvironment, Level, BufferJson(pDriverInfo), cbBuf,
                                       OutJson(pcbNeeded), OutJson(pcReturned)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!SpoolerRunning()) return call.Ret((BOOL)FALSE);
  if (!CheckEnumArgs(pDriverInfo, cbBuf, pcbNeeded, pcReturned)) return call.Ret((BOOL)FALSE);
  size_t recordSize = DriverRecordSize(Level);
  if (!recordSize) {
    SetLastError(ERROR_INVALID_LEVEL);
    return call.Ret((BOOL)FALSE);
  }
  const Environment* env = ResolveEnvironment(pEnvironment);
  if (!env) return call.Ret((BOOL)FALSE);
  std::vector<Record> records;
  for (const auto& d : Drivers(*env)) records.push_back(DriverRecord(*env, d.first, d.second, Level));
  BOOL ok = PackRecords(records, recordSize, pDriverInfo, cbBuf, pcbNeeded, pcReturned);
  call.SetArg(3, pDriverInfo ? RecordsJson(records, ok) : Json());
  call.SetArg(5, Json(*pcbNeeded));
  call.SetArg(6, Json(*pcReturned));
  return call.Ret(ok);
}

BOOL WINAPI EnumMonitorsA(LPSTR pName, DWORD Level, LPBYTE pMonitor, DWORD cbBuf, LPDWORD pcbNeeded,
                          LPDWORD pcReturned) {
  ApiCall call("EnumMonitorsA",
               {pName, Level, BufferJson(pMonitor), cbBuf, OutJson(pcbNeeded), OutJson(pcReturned)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!SpoolerRunning()) return call.Ret((BOOL)FALSE);
  if (!CheckEnumArgs(pMonitor, cbBuf, pcbNeeded, pcReturned)) return call.Ret((BOOL)FALSE);
  if (Level != 1 && Level != 2) {
    SetLastError(ERROR_INVALID_LEVEL);
    return call.Ret((BOOL)FALSE);
  }
  std::vector<Record> records;
  if (RegKey* monitors = winsim::Registry::Get().Find(kMonitorsKey)) {
    for (const auto& m : monitors->children()) {
      Record r;
      r.strings.push_back(Str(offsetof(MONITOR_INFO_2A, pName), m->name()));
      r.journal = Json::Object().Set("pName", m->name());
      if (Level == 2) {
        std::string dll = StringValue(m.get(), "Driver");
        r.strings.push_back(Str(offsetof(MONITOR_INFO_2A, pEnvironment), NativeEnvironment().name));
        r.strings.push_back(Str(offsetof(MONITOR_INFO_2A, pDLLName), dll));
        r.journal.Set("pEnvironment", NativeEnvironment().name).Set("pDLLName", dll);
      }
      records.push_back(r);
    }
  }
  BOOL ok = PackRecords(records, Level == 1 ? sizeof(MONITOR_INFO_1A) : sizeof(MONITOR_INFO_2A), pMonitor, cbBuf,
                        pcbNeeded, pcReturned);
  call.SetArg(2, pMonitor ? RecordsJson(records, ok) : Json());
  call.SetArg(4, Json(*pcbNeeded));
  call.SetArg(5, Json(*pcReturned));
  return call.Ret(ok);
}

BOOL WINAPI EnumPortsA(LPSTR pName, DWORD Level, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
  ApiCall call("EnumPortsA", {pName, Level, BufferJson(pPorts), cbBuf, OutJson(pcbNeeded), OutJson(pcReturned)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!SpoolerRunning()) return call.Ret((BOOL)FALSE);
  if (!CheckEnumArgs(pPorts, cbBuf, pcbNeeded, pcReturned)) return call.Ret((BOOL)FALSE);
  if (Level != 1 && Level != 2) {
    SetLastError(ERROR_INVALID_LEVEL);
    return call.Ret((BOOL)FALSE);
  }
  std::vector<Record> records;
  if (RegKey* ports = winsim::Registry::Get().Find(kPortsKey)) {
    for (const auto& v : ports->values()) {
      Record r;
      r.strings.push_back(Str(offsetof(PORT_INFO_2A, pPortName), v.name));
      r.journal = Json::Object().Set("pPortName", v.name);
      if (Level == 2) {
        r.strings.push_back(Str(offsetof(PORT_INFO_2A, pMonitorName), "Local Port"));
        r.strings.push_back(Str(offsetof(PORT_INFO_2A, pDescription), "Local Port"));
        r.numbers.emplace_back(offsetof(PORT_INFO_2A, fPortType), PORT_TYPE_WRITE);
        r.journal.Set("pMonitorName", "Local Port");
      }
      records.push_back(r);
    }
  }
  BOOL ok = PackRecords(records, Level == 1 ? sizeof(PORT_INFO_1A) : sizeof(PORT_INFO_2A), pPorts, cbBuf, pcbNeeded,
                        pcReturned);
  call.SetArg(2, pPorts ? RecordsJson(records, ok) : Json());
  call.SetArg(4, Json(*pcbNeeded));
  call.SetArg(5, Json(*pcReturned));
  return call.Ret(ok);
}

BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level, LPBYTE pDriverDirectory,
                                       DWORD cbBuf, LPDWORD pcbNeeded) {
  ApiCall call("GetPrinterDriverDirectoryA",
               {pName, pEnvironment, Level, BufferJson(pDriverDirectory), cbBuf, OutJson(pcbNeeded)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!SpoolerRunning()) return call.Ret((BOOL)FALSE);
  if (Level != 1) {
    SetLastError(ERROR_INVALID_LEVEL);
    return call.Ret((BOOL)FALSE);
  }
  const Environment* env = ResolveEnvironment(pEnvironment);
  if (!env) return call.Ret((BOOL)FALSE);
  if (!pcbNeeded) {
    SetLastError(RPC_X_NULL_REF_POINTER);
    return call.Ret((BOOL)FALSE);
  }
  std::string dir = DriverDirectory(*env);
  *pcbNeeded = (DWORD)dir.size() + 1;
  call.SetArg(5, Json(*pcbNeeded));
  if (!pDriverDirectory || cbBuf < *pcbNeeded) {
    SetLastError(pDriverDirectory || !cbBuf ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_USER_BUFFER);
    return call.Ret((BOOL)FALSE);
  }
  memcpy(pDriverDirectory, dir.c_str(), dir.size() + 1);
  call.SetArg(3, Json(dir));
  return call.Ret((BOOL)TRUE);
}

}  // extern "C"
