// WINSPOOL's printers: AddPrinterA, OpenPrinterA, ClosePrinter, DeletePrinter.
#include <cstring>
#include <memory>

#include "core/handles.h"
#include "core/journal.h"
#include "winspool/spooler_store.h"
#include "windows.h"
#include "winspool.h"

using winsim::ApiCall;
using winsim::HandleJson;
using winsim::Json;
using winsim::Registry;
using winsim::RegKey;
using namespace winsim::spooler;

namespace {

// An open printer (or the print server, for a null name) of this process.
// It belongs to the printer object it was opened on, not to the name: once
// that printer is deleted the handle reaches no printer, even when a later
// one has the same name.
struct PrinterHandle {
  std::string name;  // "" for the server
  ACCESS_MASK access;
  RegKey* key;          // the printer's key in the registry as it was read then
  unsigned generation;  // of that reading (Registry::generation)
  DWORD changeId;       // the printer's ChangeID, to know it again after a reload
};

winsim::HandleTable<PrinterHandle>& PrinterHandles() {
  static winsim::HandleTable<PrinterHandle> table(0x00B40008, 8, [](const PrinterHandle& p) {
    return winsim::HandleTable<PrinterHandle>::Description{"Printer", p.name.empty() ? "print server" : p.name};
  });
  return table;
}

HANDLE NewHandle(RegKey* printer, ACCESS_MASK access) {
  std::string name = printer ? printer->name() : "";
  DWORD changeId = printer ? DwordValue(printer, kChangeId) : 0;
  return PrinterHandles().Insert(
      std::make_unique<PrinterHandle>(PrinterHandle{name, access, printer, Registry::Get().generation(), changeId}));
}

// The printer of a handle, or null when it was deleted. Within one reading
// of the registry a deleted key stays marked as such; after the machine was
// read back (a child process ran) the key of that name is the same printer
// only when its ChangeID is the one the handle saw.
RegKey* PrinterOf(PrinterHandle& h) {
  if (h.generation != Registry::Get().generation()) {
    RegKey* key = FindPrinter(h.name);
    h.key = key && DwordValue(key, kChangeId) == h.changeId ? key : nullptr;
    h.generation = Registry::Get().generation();
  }
  if (!h.key || h.key->deleted() || !IsPrinter(h.key)) h.key = nullptr;
  return h.key;
}

bool EmptyText(LPCSTR s) { return !s || !*s; }

Json PrinterInfo2Json(const PRINTER_INFO_2A* p) {
  if (!p) return Json();
  return Json::Object()
      .Set("pServerName", p->pServerName)
      .Set("pPrinterName", p->pPrinterName)
      .Set("pShareName", p->pShareName)
      .Set("pPortName", p->pPortName)
      .Set("pDriverName", p->pDriverName)
      .Set("pComment", p->pComment)
      .Set("pLocation", p->pLocation)
      .Set("pDevMode", HandleJson(p->pDevMode))
      .Set("pSepFile", p->pSepFile)
      .Set("pPrintProcessor", p->pPrintProcessor)
      .Set("pDatatype", p->pDatatype)
      .Set("pParameters", p->pParameters)
      .Set("pSecurityDescriptor", HandleJson(p->pSecurityDescriptor))
      .Set("Attributes", p->Attributes)
      .Set("Priority", p->Priority)
      .Set("DefaultPriority", p->DefaultPriority)
      .Set("StartTime", p->StartTime)
      .Set("UntilTime", p->UntilTime)
      .Set("Status", p->Status)
      .Set("cJobs", p->cJobs)
      .Set("AveragePPM", p->AveragePPM);
}

// Printer names may not hold the characters that separate server, printer
// and port names.
bool ValidPrinterName(LPCSTR name) { return !EmptyText(name) && !strpbrk(name, "\\,") && strlen(name) < 221; }

bool PortsExist(LPCSTR ports) {
  if (EmptyText(ports)) return false;
  std::string list = ports;
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t end = list.find(',', pos);
    if (end == std::string::npos) end = list.size();
    if (!PortExists(list.substr(pos, end - pos))) return false;
    pos = end + 1;
  }
  return true;
}

// The installed driver of that name, as the spooler spells it; "" for none.
std::string InstalledDriver(LPCSTR name) {
  if (EmptyText(name)) return "";
  for (const auto& d : Drivers(NativeEnvironment()))
    if (SameName(d.second->name(), name)) return d.second->name();
  return "";
}

// Rights that change the printer or the server need an administrator.
const ACCESS_MASK kAdminRights =
    PRINTER_ACCESS_ADMINISTER | SERVER_ACCESS_ADMINISTER | DELETE | WRITE_DAC | WRITE_OWNER;

// The rights asked of the server or of a printer, generic ones mapped to the
// object's own. Their security descriptors grant no more than the object's
// full access, so anything beyond (ACCESS_SYSTEM_SECURITY, SYNCHRONIZE,
// rights the object does not define) is refused; MAXIMUM_ALLOWED asks for
// whatever is granted.
bool MapPrinterAccess(ACCESS_MASK desired, bool server, ACCESS_MASK* access) {
  const ACCESS_MASK all = server ? SERVER_ALL_ACCESS : PRINTER_ALL_ACCESS;
  const ACCESS_MASK read = READ_CONTROL | (server ? SERVER_ACCESS_ENUMERATE : PRINTER_ACCESS_USE);
  const ACCESS_MASK write =
      READ_CONTROL | (server ? SERVER_ACCESS_ADMINISTER | SERVER_ACCESS_ENUMERATE : PRINTER_ACCESS_USE);
  ACCESS_MASK mapped = desired & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED);
  if (desired & (GENERIC_READ | GENERIC_EXECUTE)) mapped |= read;
  if (desired & GENERIC_WRITE) mapped |= write;
  if (desired & GENERIC_ALL) mapped |= all;
  if (mapped & ~all) return false;
  if (desired & MAXIMUM_ALLOWED) mapped |= CallerIsAdmin() ? all : read;
  *access = mapped;
  return true;
}

}  // namespace

extern "C" {

HANDLE WINAPI AddPrinterA(LPSTR pName, DWORD Level, LPBYTE pPrinter) {
  ApiCall call("AddPrinterA", {pName, Level, Level == 2 ? PrinterInfo2Json((const PRINTER_INFO_2A*)pPrinter) : Json()});
  if (call.Fault()) return call.Ret((HANDLE) nullptr);
  if (!SpoolerRunning()) return call.Ret((HANDLE) nullptr);
  if (Level != 2) return call.Fail(ERROR_INVALID_LEVEL, (HANDLE) nullptr);
  const PRINTER_INFO_2A* pi = (const PRINTER_INFO_2A*)pPrinter;
  if (!pi) return call.Fail(ERROR_INVALID_PARAMETER, (HANDLE) nullptr);
  if (!CallerIsAdmin()) return call.Fail(ERROR_ACCESS_DENIED, (HANDLE) nullptr);
  if (!ValidPrinterName(pi->pPrinterName)) return call.Fail(ERROR_INVALID_PRINTER_NAME, (HANDLE) nullptr);
  if (FindPrinter(pi->pPrinterName)) return call.Fail(ERROR_PRINTER_ALREADY_EXISTS, (HANDLE) nullptr);
  // The printer refers to the installed driver: it reports the driver's own
  // spelling, whatever letter case the caller used.
  std::string driver = InstalledDriver(pi->pDriverName);
  if (driver.empty()) return call.Fail(ERROR_UNKNOWN_PRINTER_DRIVER, (HANDLE) nullptr);
  if (!PortsExist(pi->pPortName)) return call.Fail(ERROR_UNKNOWN_PORT, (HANDLE) nullptr);
  if (EmptyText(pi->pPrintProcessor) || !PrintProcessorExists(NativeEnvironment(), pi->pPrintProcessor))
    return call.Fail(ERROR_UNKNOWN_PRINTPROCESSOR, (HANDLE) nullptr);
  if (!EmptyText(pi->pDatatype) && !DatatypeSupported(pi->pDatatype))
    return call.Fail(ERROR_INVALID_DATATYPE, (HANDLE) nullptr);
  RegKey* key = Registry::Get().Create(std::string(kPrintersKey) + "\\" + pi->pPrinterName);
  auto str = [](LPCSTR s) { return std::string(s ? s : ""); };
  key->SetString("Name", pi->pPrinterName);
  key->SetString("Share Name", str(pi->pShareName));
  key->SetString("Port", pi->pPortName);
  key->SetString("Printer Driver", driver);
  key->SetString("Description", str(pi->pComment));
  key->SetString("Location", str(pi->pLocation));
  key->SetString("Separator File", str(pi->pSepFile));
  key->SetString("Print Processor", pi->pPrintProcessor);
  key->SetString("Datatype", EmptyText(pi->pDatatype) ? "RAW" : pi->pDatatype);
  key->SetString("Parameters", str(pi->pParameters));
  key->SetDword("Attributes", pi->Attributes);
  key->SetDword("Priority", pi->Priority);
  key->SetDword("Default Priority", pi->DefaultPriority);
  key->SetDword("StartTime", pi->StartTime);
  key->SetDword("UntilTime", pi->UntilTime);
  key->SetDword("Status", pi->Status);
  key->SetDword(kChangeId, NewChangeId());
  key->CreateChild("PrinterDriverData");
  SetLastError(ERROR_SUCCESS);
  return call.Ret(NewHandle(key, PRINTER_ALL_ACCESS));
}

BOOL WINAPI OpenPrinterA(LPSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA pDefault) {
  Json defaults;
  if (pDefault)
    defaults = Json::Object()
                   .Set("pDatatype", pDefault->pDatatype)
                   .Set("pDevMode", HandleJson(pDefault->pDevMode))
                   .Set("DesiredAccess", pDefault->DesiredAccess);
  ApiCall call("OpenPrinterA", {pPrinterName, phPrinter ? Json(0u) : Json(), defaults});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!SpoolerRunning()) return call.Ret((BOOL)FALSE);
  if (!phPrinter) return call.Fail(ERROR_INVALID_PARAMETER);
  // Only a null name is the print server; the empty name is no printer.
  bool server = !pPrinterName;
  RegKey* key = server ? nullptr : FindPrinter(pPrinterName);
  if (!server && !key) return call.Fail(ERROR_INVALID_PRINTER_NAME);
  ACCESS_MASK access = server ? SERVER_ACCESS_ENUMERATE : PRINTER_ACCESS_USE;
  if (pDefault) {
    if (!EmptyText(pDefault->pDatatype) && !DatatypeSupported(pDefault->pDatatype))
      return call.Fail(ERROR_INVALID_DATATYPE);
    if (pDefault->DesiredAccess && !MapPrinterAccess(pDefault->DesiredAccess, server, &access))
      return call.Fail(ERROR_ACCESS_DENIED);
  }
  if ((access & kAdminRights) && !CallerIsAdmin()) return call.Fail(ERROR_ACCESS_DENIED);
  *phPrinter = NewHandle(key, access);
  call.SetArg(1, HandleJson(*phPrinter));
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI ClosePrinter(HANDLE hPrinter) {
  ApiCall call("ClosePrinter", {HandleJson(hPrinter)});
  // The handle is gone afterwards, whether the call succeeds or fails.
  bool held = PrinterHandles().Remove(hPrinter);
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!SpoolerRunning()) return call.Ret((BOOL)FALSE);
  if (!held) return call.Fail(ERROR_INVALID_HANDLE);
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI DeletePrinter(HANDLE hPrinter) {
  ApiCall call("DeletePrinter", {HandleJson(hPrinter)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!SpoolerRunning()) return call.Ret((BOOL)FALSE);
  PrinterHandle* h = PrinterHandles().Get(hPrinter);
  if (!h || h->name.empty()) return call.Fail(ERROR_INVALID_HANDLE);
  if (!(h->access & DELETE)) return call.Fail(ERROR_ACCESS_DENIED);
  RegKey* key = PrinterOf(*h);
  if (!key) return call.Fail(ERROR_PRINTER_DELETED);
  key->parent()->DeleteChild(key->name());
  return call.Ret((BOOL)TRUE);
}

}  // extern "C"
