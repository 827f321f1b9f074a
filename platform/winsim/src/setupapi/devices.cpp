// SETUPAPI's device information sets: SetupDiGetClassDevsA,
// SetupDiEnumDeviceInfo, SetupDiGetDeviceRegistryPropertyA,
// SetupDiGetDeviceInstanceIdA, SetupDiRemoveDevice,
// SetupDiDestroyDeviceInfoList.
#include <cstdio>
#include <cstring>
#include <memory>

#include "setupapi/device_store.h"
#include "core/handles.h"
#include "core/journal.h"
#include "core/machine.h"
#include "setupapi.h"
#include "windows.h"

using winsim::ApiCall;
using winsim::HandleJson;
using winsim::Json;
using winsim::Registry;
using winsim::RegKey;

namespace {

struct Element {
  std::string instanceId;
  RegKey* key;  // deleted keys stay readable until the process ends
  GUID classGuid;
  bool removed;
  std::string path;     // where the node lies, to find it again after a reload
  unsigned generation;  // of the registry tree `key` belongs to
};

// The element's node key; found again by its path when the registry was
// read anew (a child process ran), null when the node is gone.
RegKey* KeyOf(Element* e) {
  Registry& reg = Registry::Get();
  if (e->generation != reg.generation()) {
    e->key = reg.Find(e->path);
    e->generation = reg.generation();
  }
  return e->key;
}

struct DeviceInfoSet {
  std::vector<Element> elements;
};

winsim::HandleTable<DeviceInfoSet>& Sets() {
  static winsim::HandleTable<DeviceInfoSet> table(0x00C80010, 8);
  return table;
}

DeviceInfoSet* Lookup(HDEVINFO h) { return Sets().Get(h); }

std::string GuidText(const GUID& g) {
  char text[40];
  snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", (unsigned)g.Data1, g.Data2, g.Data3,
           g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

bool ParseGuid(const std::string& text, GUID* g) {
  unsigned d1, d2, d3, b[8];
  memset(g, 0, sizeof *g);
  if (sscanf(text.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &d1, &d2, &d3, &b[0], &b[1], &b[2], &b[3], &b[4],
             &b[5], &b[6], &b[7]) != 11)
    return false;
  g->Data1 = d1;
  g->Data2 = (USHORT)d2;
  g->Data3 = (USHORT)d3;
  for (int i = 0; i < 8; ++i) g->Data4[i] = (UCHAR)b[i];
  return true;
}

std::string StringOf(const winsim::RegValue* v) {
  if (!v) return "";
  std::string s(v->data.begin(), v->data.end());
  size_t end = s.find('\0');
  return end == std::string::npos ? s : s.substr(0, end);
}

// The element a caller's SP_DEVINFO_DATA names in a set; sets the error
// when there is none.
Element* ElementOf(HDEVINFO set, PSP_DEVINFO_DATA data) {
  DeviceInfoSet* s = Lookup(set);
  if (!s) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (!data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (data->cbSize != sizeof(SP_DEVINFO_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return nullptr;
  }
  // Reserved carries the element's place in its set, as SetupDiEnumDeviceInfo left it.
  if (data->Reserved == 0 || data->Reserved > s->elements.size()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return &s->elements[data->Reserved - 1];
}

Json DevInfoJson(PSP_DEVINFO_DATA d) {
  if (!d) return Json();
  return Json::Object().Set("cbSize", d->cbSize).Set("ClassGuid", GuidText(d->ClassGuid)).Set("DevInst", d->DevInst);
}

struct Property {
  DWORD id;
  const char* value;
};

const Property kProperties[] = {
    {SPDRP_DEVICEDESC, "DeviceDesc"},
    {SPDRP_HARDWAREID, "HardwareID"},
    {SPDRP_COMPATIBLEIDS, "CompatibleIDs"},
    {SPDRP_SERVICE, "Service"},
    {SPDRP_CLASS, "Class"},
    {SPDRP_CLASSGUID, "ClassGUID"},
    {SPDRP_DRIVER, "Driver"},
    {SPDRP_MFG, "Mfg"},
    {SPDRP_FRIENDLYNAME, "FriendlyName"},
};

}  // namespace

extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR Enumerator, HWND hwndParent, DWORD Flags) {
  ApiCall call("SetupDiGetClassDevsA",
               {ClassGuid ? Json(GuidText(*ClassGuid)) : Json(), Enumerator, HandleJson(hwndParent), Flags});
  if (call.Fault()) return call.Ret((HDEVINFO)INVALID_HANDLE_VALUE);
  if (Flags & DIGCF_DEVICEINTERFACE) {
    // Device interfaces are not kept by this machine.
    return call.Fail(ERROR_INVALID_FLAGS, (HDEVINFO)INVALID_HANDLE_VALUE);
  }
  if (!ClassGuid && !(Flags & DIGCF_ALLCLASSES))
    return call.Fail(ERROR_INVALID_PARAMETER, (HDEVINFO)INVALID_HANDLE_VALUE);
  std::string enumerator = Enumerator ? Enumerator : "";
  RegKey* root = Registry::Get().Find(winsim::devices::kEnumKey);
  if (!enumerator.empty() && (!root || !root->Child(enumerator) || enumerator.find('\\') != std::string::npos))
    return call.Fail(ERROR_INVALID_DATA, (HDEVINFO)INVALID_HANDLE_VALUE);
  std::unique_ptr<DeviceInfoSet> set(new DeviceInfoSet());
  for (const auto& node : winsim::devices::Nodes(enumerator)) {
    if ((Flags & DIGCF_PRESENT) && !winsim::devices::IsPresent(node.key)) continue;
    GUID guid;
    ParseGuid(StringOf(node.key->Value("ClassGUID")), &guid);
    if (!(Flags & DIGCF_ALLCLASSES) && ClassGuid && !IsEqualGUID(guid, *ClassGuid)) continue;
    set->elements.push_back(
        Element{node.instanceId, node.key, guid, false, node.key->Path(), Registry::Get().generation()});
  }
  HDEVINFO h = Sets().Insert(std::move(set));
  SetLastError(ERROR_SUCCESS);
  return call.Ret(h);
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex, PSP_DEVINFO_DATA DeviceInfoData) {
  ApiCall call("SetupDiEnumDeviceInfo", {HandleJson(DeviceInfoSet), MemberIndex, DevInfoJson(DeviceInfoData)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  struct DeviceInfoSet* s = Lookup(DeviceInfoSet);
  if (!s) return call.Fail(ERROR_INVALID_HANDLE);
  if (!DeviceInfoData) return call.Fail(ERROR_INVALID_PARAMETER);
  if (DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) return call.Fail(ERROR_INVALID_USER_BUFFER);
  if (MemberIndex >= s->elements.size()) return call.Fail(ERROR_NO_MORE_ITEMS);
  const Element& e = s->elements[MemberIndex];
  DeviceInfoData->ClassGuid = e.classGuid;
  DeviceInfoData->DevInst = MemberIndex + 1;
  DeviceInfoData->Reserved = MemberIndex + 1;
  call.SetArg(2, DevInfoJson(DeviceInfoData));
  SetLastError(ERROR_SUCCESS);
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                              PDWORD PropertyRegDataType, PBYTE PropertyBuffer,
                                              DWORD PropertyBufferSize, PDWORD RequiredSize) {
  ApiCall call(
      "SetupDiGetDeviceRegistryPropertyA",
      {HandleJson(DeviceInfoSet), DevInfoJson(DeviceInfoData), Property, PropertyRegDataType ? Json(0u) : Json(),
       PropertyBuffer ? Json("") : Json(), PropertyBufferSize, RequiredSize ? Json(0u) : Json()});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  Element* e = ElementOf(DeviceInfoSet, DeviceInfoData);
  if (!e) return call.Ret((BOOL)FALSE);
  RegKey* key = KeyOf(e);
  if (e->removed || !key || key->deleted()) return call.Fail(ERROR_NO_SUCH_DEVINST);
  const char* valueName = nullptr;
  for (const auto& p : kProperties)
    if (p.id == Property) valueName = p.value;
  if (!valueName) return call.Fail(ERROR_INVALID_REG_PROPERTY);
  if (!PropertyBuffer && PropertyBufferSize) return call.Fail(ERROR_INVALID_PARAMETER);
  const winsim::RegValue* v = key->Value(valueName);
  if (!v) return call.Fail(ERROR_INVALID_DATA);
  DWORD size = (DWORD)v->data.size();
  if (RequiredSize) {
    *RequiredSize = size;
    call.SetArg(6, Json(size));
  }
  if (PropertyRegDataType) {
    *PropertyRegDataType = v->type;
    call.SetArg(3, Json(v->type));
  }
  if (size > PropertyBufferSize) return call.Fail(ERROR_INSUFFICIENT_BUFFER);
  memcpy(PropertyBuffer, v->data.data(), size);
  // The first string of the property, as a caller comparing it sees it.
  call.SetArg(4, Json(StringOf(v)));
  SetLastError(ERROR_SUCCESS);
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI SetupDiGetDeviceInstanceIdA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, PSTR DeviceInstanceId,
                                        DWORD DeviceInstanceIdSize, PDWORD RequiredSize) {
  ApiCall call("SetupDiGetDeviceInstanceIdA",
               {HandleJson(DeviceInfoSet), DevInfoJson(DeviceInfoData), DeviceInstanceId ? Json("") : Json(),
                DeviceInstanceIdSize, RequiredSize ? Json(0u) : Json()});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  Element* e = ElementOf(DeviceInfoSet, DeviceInfoData);
  if (!e) return call.Ret((BOOL)FALSE);
  DWORD size = (DWORD)e->instanceId.size() + 1;
  if (RequiredSize) {
    *RequiredSize = size;
    call.SetArg(4, Json(size));
  }
  if (!DeviceInstanceId || DeviceInstanceIdSize < size) return call.Fail(ERROR_INSUFFICIENT_BUFFER);
  memcpy(DeviceInstanceId, e->instanceId.c_str(), size);
  call.SetArg(2, Json(e->instanceId));
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI SetupDiRemoveDevice(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData) {
  ApiCall call("SetupDiRemoveDevice", {HandleJson(DeviceInfoSet), DevInfoJson(DeviceInfoData)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  Element* e = ElementOf(DeviceInfoSet, DeviceInfoData);
  if (!e) return call.Ret((BOOL)FALSE);
  if (!winsim::Machine::Current().userIsAdmin()) return call.Fail(ERROR_ACCESS_DENIED);
  RegKey* key = KeyOf(e);
  if (e->removed || !key || key->deleted()) return call.Fail(ERROR_NO_SUCH_DEVINST);
  // The node goes, and its device key with it when no other instance is left.
  // The element stays in the set, so the caller's index walk goes on.
  RegKey* device = key->parent();
  std::string instance = key->name();
  device->DeleteChild(instance);
  if (device->children().empty()) {
    std::string name = device->name();
    device->parent()->DeleteChild(name);
  }
  e->removed = true;
  SetLastError(ERROR_SUCCESS);
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
  ApiCall call("SetupDiDestroyDeviceInfoList", {HandleJson(DeviceInfoSet)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!Sets().Remove(DeviceInfoSet)) return call.Fail(ERROR_INVALID_HANDLE);
  SetLastError(ERROR_SUCCESS);
  return call.Ret((BOOL)TRUE);
}

}  // extern "C"
