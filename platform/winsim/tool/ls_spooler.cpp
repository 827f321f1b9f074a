// winsim ls DIR printers|drivers|monitors|devices: what the spooler and the
// plug-and-play manager of the machine hold, one a line, fields by tabs.
//   printers  name, driver, port
//   drivers   environment, version, name, driver module
//   monitors  name, module
//   devices   instance id, present|absent, first hardware id
#include <cstdio>

#include "setupapi/device_store.h"
#include "ls_lister.h"
#include "winspool/spooler_store.h"

namespace winsim {

static int ListPrinters(const Args& args) {
  if (!args.empty()) return ToolError("usage: winsim ls DIR printers");
  for (RegKey* p : spooler::Printers())
    printf("%s\t%s\t%s\n", p->name().c_str(), spooler::StringValue(p, "Printer Driver").c_str(),
           spooler::StringValue(p, "Port").c_str());
  return 0;
}

static int ListDrivers(const Args& args) {
  if (!args.empty()) return ToolError("usage: winsim ls DIR drivers");
  for (const char* name : {"Windows NT x86", "Windows x64", "Windows IA64", "Windows 4.0"}) {
    const spooler::Environment* env = spooler::FindEnvironment(name);
    for (const auto& d : spooler::Drivers(*env))
      printf("%s\t%u\t%s\t%s\n", env->name, d.first, d.second->name().c_str(),
             spooler::StringValue(d.second, "Driver").c_str());
  }
  return 0;
}

static int ListMonitors(const Args& args) {
  if (!args.empty()) return ToolError("usage: winsim ls DIR monitors");
  if (RegKey* monitors = Registry::Get().Find(spooler::kMonitorsKey))
    for (const auto& m : monitors->children())
      printf("%s\t%s\n", m->name().c_str(), spooler::StringValue(m.get(), "Driver").c_str());
  return 0;
}

static int ListDevices(const Args& args) {
  if (!args.empty()) return ToolError("usage: winsim ls DIR devices");
  for (const auto& n : devices::Nodes("")) {
    std::vector<std::string> ids = spooler::MultiStringValue(n.key, "HardwareID");
    printf("%s\t%s\t%s\n", n.instanceId.c_str(), devices::IsPresent(n.key) ? "present" : "absent",
           ids.empty() ? "" : ids[0].c_str());
  }
  return 0;
}

static LsLister g_printers("printers", "", ListPrinters);
static LsLister g_drivers("drivers", "", ListDrivers);
static LsLister g_monitors("monitors", "", ListMonitors);
static LsLister g_devices("devices", "", ListDevices);

}  // namespace winsim
