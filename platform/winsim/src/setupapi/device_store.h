// Device nodes as the plug-and-play manager keeps them:
// HKLM\SYSTEM\CurrentControlSet\Enum\<enumerator>\<device id>\<instance>,
// with HardwareID (a multi-string), CompatibleIDs, DeviceDesc, Class,
// ClassGUID, Driver and Mfg values. A device that is connected now has the
// instance's "Control" subkey, which Windows creates while the device is
// started and removes when it goes; a node without it is a device that was
// connected once and is not now.
#pragma once

#include <string>
#include <vector>

#include "core/registry_tree.h"

namespace winsim {
namespace devices {

extern const char kEnumKey[];  // HKLM\SYSTEM\CurrentControlSet\Enum

bool IsPresent(const RegKey* instance);

// Adds (or replaces) the node `instanceId` ("USB\VID_7A3C&PID_0008\5&1A2B3C&0&1")
// with its hardware ids; false for an id that is not enumerator\device\instance.
bool AddNode(const std::string& instanceId, const std::vector<std::string>& hardwareIds, bool present);

// Every node below an enumerator ("USB"), or below all of them for "".
struct Node {
  std::string instanceId;
  RegKey* key;
};
std::vector<Node> Nodes(const std::string& enumerator);

}  // namespace devices
}  // namespace winsim
