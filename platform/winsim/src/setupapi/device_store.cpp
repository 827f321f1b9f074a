#include "setupapi/device_store.h"

#include <filesystem>

#include "core/filesystem.h"
#include "core/machine.h"

namespace winsim {
namespace devices {

const char kEnumKey[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum";

namespace {

// The set-up service keeps its state in the registry and on drive C:, which
// their own subsystems load and save; it only seeds a fresh machine: the
// buses below Enum that every Windows here has, with no device on them, and
// the hidden folder of the INF files, where OEM INF copies go.
class SetupSubsystem : public Subsystem {
 public:
  SetupSubsystem() : Subsystem(40) {}
  void Load(Machine&) override {}
  void Save(Machine&) override {}
  void Unload() override {}

  void Seed(Machine& m) override {
    RegKey* enumKey = Registry::Get().Create(kEnumKey);
    for (const char* bus : {"USB", "USBPRINT", "Root"}) enumKey->CreateChild(bus);
    // Windows ships its INF folder hidden.
    std::error_code ec;
    const std::string inf = FileSystem::HostPath(m.os().windir + "\\inf");
    std::filesystem::create_directories(inf, ec);
    FileSystem::SetAttributes(inf, FILE_ATTRIBUTE_HIDDEN);
  }
};

SetupSubsystem g_setup;

}  // namespace

bool IsPresent(const RegKey* instance) { return instance->Child("Control") != nullptr; }

bool AddNode(const std::string& instanceId, const std::vector<std::string>& hardwareIds, bool present) {
  size_t first = instanceId.find('\\');
  size_t last = instanceId.rfind('\\');
  if (first == std::string::npos || first == 0 || last == first || last + 1 == instanceId.size() ||
      instanceId.find('\\', first + 1) != last)
    return false;
  Registry& reg = Registry::Get();
  std::string path = std::string(kEnumKey) + "\\" + instanceId;
  reg.Delete(path);
  RegKey* key = reg.Create(path);
  key->SetMultiString("HardwareID", hardwareIds);
  key->SetString("DeviceDesc", "USB Printing Support");
  key->SetDword("ConfigFlags", 0);
  if (present) key->CreateChild("Control")->SetString("ActiveService", "usbprint");
  return true;
}

std::vector<Node> Nodes(const std::string& enumerator) {
  std::vector<Node> nodes;
  RegKey* root = Registry::Get().Find(kEnumKey);
  if (!root) return nodes;
  std::vector<RegKey*> enumerators;
  if (enumerator.empty()) {
    for (const auto& e : root->children()) enumerators.push_back(e.get());
  } else if (RegKey* e = root->Child(enumerator)) {
    enumerators.push_back(e);
  }
  for (RegKey* e : enumerators)
    for (const auto& device : e->children())
      for (const auto& instance : device->children())
        nodes.push_back(Node{e->name() + "\\" + device->name() + "\\" + instance->name(), instance.get()});
  return nodes;
}

}  // namespace devices
}  // namespace winsim
