// What the print spooler keeps, where Windows keeps it: monitors, drivers and
// printers under HKLM\SYSTEM\CurrentControlSet\Control\Print, the local ports
// under HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Ports, driver files
// in the driver directory of each environment and its version folder. The
// spooler keeps nothing else but the next printer ChangeID (in machine.ini),
// so what one process does the next one sees.
#pragma once

#include <string>
#include <vector>

#include "core/registry_tree.h"
#include "windows.h"

namespace winsim {
namespace spooler {

extern const char kPrintKey[];     // ...\Control\Print
extern const char kPrintersKey[];  // ...\Control\Print\Printers
extern const char kMonitorsKey[];  // ...\Control\Print\Monitors
extern const char kPortsKey[];     // local ports of the "Local Port" monitor

struct Environment {
  const char* name;       // "Windows NT x86"
  const char* directory;  // driver directory below spool\DRIVERS
  DWORD version;          // driver version of this environment
};

// A known environment by name (letter case ignored), or null.
const Environment* FindEnvironment(const char* name);
// What a null or empty environment means: the calling program's own. Our
// programs are 32-bit, so on every NT machine that is "Windows NT x86",
// also under WOW64.
const Environment& CallerEnvironment();
// The environment of the spooler itself: "Windows x64" on 64-bit Windows.
const Environment& NativeEnvironment();
// Resolves an environment argument; null with ERROR_INVALID_ENVIRONMENT set
// for an unknown name.
const Environment* ResolveEnvironment(const char* name);
// Every environment the spooler knows, in the order it lists them.
std::vector<const Environment*> KnownEnvironments();
// "all" (any letter case), which the spooler of Windows 2000 and later takes
// in enumerations for the drivers of every environment.
bool AllEnvironmentsAsked(const char* name);

// The driver directory of an environment ("C:\WINDOWS\system32\spool\DRIVERS\W32X86")
// and its version folder ("...\W32X86\3").
std::string DriverDirectory(const Environment& env);
std::string VersionDirectory(const Environment& env, DWORD version);

// Registry keys; Find* return null when absent.
std::string DriversKeyPath(const Environment& env, DWORD version);
RegKey* FindDriver(const Environment& env, DWORD version, const std::string& name);
// Every installed driver of an environment, all versions: (version, key).
std::vector<std::pair<DWORD, RegKey*>> Drivers(const Environment& env);
RegKey* PrintersKey();
// A key under Printers is a printer when it names its driver and its port
// ("Printer Driver" and "Port", both non-empty strings). The spooler keeps
// its printers itself: any other key there, such as one an installer made
// only to hold a subkey of its own, is no printer to anything that lists,
// opens, adds or deletes printers.
bool IsPrinter(const RegKey* key);
// The printers in the order they were added.
std::vector<RegKey*> Printers();
// The printer of that name (letter case ignored), or null.
RegKey* FindPrinter(const std::string& name);
// A printer's "ChangeID": Windows sets it to a new value whenever the
// printer's information changes. Nothing changes a printer here once it is
// made, so it also tells a printer from a later one of the same name. The
// next value is kept in machine.ini, so that no printer any later process
// makes has the value of an earlier one.
extern const char kChangeId[];
DWORD NewChangeId();
RegKey* FindMonitor(const std::string& name);
bool PortExists(const std::string& port);

// A port and the monitor that keeps it, as EnumPorts lists them: the ports
// of "Local Port" (kPortsKey), then those other monitors keep below their
// key, Monitors\<monitor>\Ports\<port>, described by the port's
// "Description" value or else by the monitor's name.
struct Port {
  std::string name;
  std::string monitor;
  std::string description;
};
std::vector<Port> Ports();
bool PrintProcessorExists(const Environment& env, const std::string& name);
bool DatatypeSupported(const std::string& datatype);

// Values as the spooler reads them: "" or {} when absent.
std::string StringValue(const RegKey* key, const std::string& name);
DWORD DwordValue(const RegKey* key, const std::string& name, DWORD def = 0);
std::vector<std::string> MultiStringValue(const RegKey* key, const std::string& name);

// Windows names compare without regard to letter case.
bool SameName(const std::string& a, const std::string& b);
// A Windows path on drive C: as the host sees it (no WOW64 redirection:
// the spooler is a native process).
bool FileExists(const std::string& windowsPath);
std::string FileNameOf(const std::string& windowsPath);

// Spooler operations change the machine: they need an administrator.
bool CallerIsAdmin();
// False, with RPC_S_SERVER_UNAVAILABLE set, while the service is stopped
// ("net stop spooler").
bool SpoolerRunning();

}  // namespace spooler
}  // namespace winsim
