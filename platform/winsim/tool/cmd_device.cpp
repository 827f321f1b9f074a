// winsim device DIR add HWID [HWID...] [--absent] [--instance ID]: a device
// node as plug and play leaves it when a device was connected, for example
//   winsim device m add "USB\Vid_7A3C&Pid_0008&Rev_0100"
// gives USB\VID_7A3C&PID_0008\<serial> with the hardware ids
// "USB\Vid_7A3C&Pid_0008&Rev_0100" and "USB\Vid_7A3C&Pid_0008", connected
// unless --absent says it is not now.
#include <cctype>
#include <cstdio>

#include "command.h"
#include "setupapi/device_store.h"
#include "core/machine.h"

namespace winsim {

static std::string Upper(std::string s) {
  for (char& c : s) c = (char)toupper((unsigned char)c);
  return s;
}

// USB\Vid_7A3C&Pid_0008&Rev_0100 -> USB, VID_7A3C&PID_0008
static bool DeviceIdOf(const std::string& hwid, std::string* enumerator, std::string* device) {
  size_t slash = hwid.find('\\');
  if (slash == std::string::npos || slash == 0 || slash + 1 == hwid.size()) return false;
  *enumerator = Upper(hwid.substr(0, slash));
  *device = Upper(hwid.substr(slash + 1));
  size_t rev = device->find("&REV_");
  if (rev != std::string::npos) device->resize(rev);
  return device->find('\\') == std::string::npos;
}

static int RunDevice(const Args& args) {
  const char* usage = "usage: winsim device DIR add HWID [HWID...] [--absent] [--instance ID]";
  if (args.size() < 3 || args[1] != "add") return ToolError(usage);
  std::vector<std::string> ids;
  std::string instance;
  bool present = true;
  for (size_t i = 2; i < args.size(); ++i) {
    if (args[i] == "--absent")
      present = false;
    else if (args[i] == "--instance" && i + 1 < args.size())
      instance = args[++i];
    else if (args[i].rfind("--", 0) == 0)
      return ToolError(usage);
    else
      ids.push_back(args[i]);
  }
  std::string enumerator, device;
  if (ids.empty() || !DeviceIdOf(ids[0], &enumerator, &device))
    return ToolError("device: '" + (ids.empty() ? std::string() : ids[0]) +
                     "' is not a hardware id like USB\\Vid_7A3C&Pid_0008");
  // Windows lists the id without its revision after the one with it.
  size_t rev = Upper(ids[0]).find("&REV_");
  if (ids.size() == 1 && rev != std::string::npos) ids.push_back(ids[0].substr(0, rev));
  try {
    Machine::Open(args[0]);
  } catch (const MachineError& e) {
    return ToolError(std::string("device: ") + e.what());
  }
  if (instance.empty()) {
    // A serial-less device gets an instance id made up by the USB hub driver.
    RegKey* existing = Registry::Get().Find(std::string(devices::kEnumKey) + "\\" + enumerator + "\\" + device);
    size_t n = existing ? existing->children().size() : 0;
    char serial[32];
    snprintf(serial, sizeof serial, "5&2A1B3C4D&0&%zu", n + 1);
    instance = enumerator + "\\" + device + "\\" + serial;
  }
  if (!devices::AddNode(instance, ids, present)) {
    Machine::Close(false);
    return ToolError("device: '" + instance + "' is not an instance id like USB\\VID_7A3C&PID_0008\\5&1");
  }
  Machine::Close(true);
  printf("%s\n", instance.c_str());
  return 0;
}

static ToolCommand g_device("device", "DIR add HWID [HWID...] [--absent] [--instance ID]", RunDevice);

}  // namespace winsim
