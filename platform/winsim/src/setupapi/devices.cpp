// SETUPAPI's device information sets: SetupDiGetClassDevsA,
// SetupDiEnumDeviceInfo, SetupDiGetDeviceRegistryPropertyA,
// SetupDiGetDeviceInstanceIdA, SetupDiRemoveDevice,
// SetupDiDestroyDeviceInfoList, and new nodes: SetupDiCreateDeviceInfoList,
// SetupDiCreateDeviceInfoA, SetupDiSetDeviceRegistryPropertyA,
// SetupDiRegisterDeviceInfo.
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
  // Made by SetupDiCreateDeviceInfoA and not yet registered: the node goes
  // with the set unless SetupDiRegisterDeviceInfo makes it a device.
  bool phantom = false;
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
  bool hasClass = false;  // a set made for one class takes elements of that class only
  GUID classGuid = {};
};

winsim::HandleTable<DeviceInfoSet>& Sets() {
  static winsim::HandleTable<DeviceInfoSet> table(0x00C80010, 8, [](const DeviceInfoSet& set) {
    return winsim::HandleTable<DeviceInfoSet>::Description{"DeviceInfoSet",
                                                           std::to_string(set.elements.size()) + " elements"};
  });
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

// An instance key goes, and its device key with it when no other instance
// is left.
void DeleteNode(RegKey* key) {
  RegKey* device = key->parent();
  std::string instance = key->name();
  device->DeleteChild(instance);
  if (device->children().empty()) {
    std::string name = device->name();
    device->parent()->DeleteChild(name);
  }
}

// Fills the caller's record of element `index` of a set.
void Describe(const Element& e, size_t index, PSP_DEVINFO_DATA data) {
  data->ClassGuid = e.classGuid;
  data->DevInst = (DWORD)index + 1;
  data->Reserved = index + 1;
}

// "enumerator\device\instance", each part non-empty.
bool IsInstanceId(const std::string& id) {
  size_t first = id.find('\\');
  size_t last = id.rfind('\\');
  return first != std::string::npos && first != 0 && last != first && last + 1 != id.size() &&
         id.find('\\', first + 1) == last;
}

struct Property {
  DWORD id;
  const char* value;
};

// What a caller may set, with the type the value is kept as.
struct WritableProperty {
  DWORD id;
  const char* value;
  DWORD type;
};

const WritableProperty kWritableProperties[] = {
    {SPDRP_DEVICEDESC, "DeviceDesc", REG_SZ},
    {SPDRP_HARDWAREID, "HardwareID", REG_MULTI_SZ},
    {SPDRP_COMPATIBLEIDS, "CompatibleIDs", REG_MULTI_SZ},
    {SPDRP_FRIENDLYNAME, "FriendlyName", REG_SZ},
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
  Describe(s->elements[MemberIndex], MemberIndex, DeviceInfoData);
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
  // The element stays in the set, so the caller's index walk goes on.
  DeleteNode(key);
  e->removed = true;
  SetLastError(ERROR_SUCCESS);
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
  ApiCall call("SetupDiDestroyDeviceInfoList", {HandleJson(DeviceInfoSet)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  struct DeviceInfoSet* s = Lookup(DeviceInfoSet);
  if (!s) return call.Fail(ERROR_INVALID_HANDLE);
  // Elements created and never registered leave no node behind.
  for (Element& e : s->elements) {
    if (!e.phantom || e.removed) continue;
    RegKey* key = KeyOf(&e);
    if (key && !key->deleted()) DeleteNode(key);
  }
  Sets().Remove(DeviceInfoSet);
  SetLastError(ERROR_SUCCESS);
  return call.Ret((BOOL)TRUE);
}

HDEVINFO WINAPI SetupDiCreateDeviceInfoList(const GUID* ClassGuid, HWND hwndParent) {
  ApiCall call("SetupDiCreateDeviceInfoList",
               {ClassGuid ? Json(GuidText(*ClassGuid)) : Json(), HandleJson(hwndParent)});
  if (call.Fault()) return call.Ret((HDEVINFO)INVALID_HANDLE_VALUE);
  std::unique_ptr<struct DeviceInfoSet> set(new struct DeviceInfoSet());
  if (ClassGuid) {
    set->hasClass = true;
    set->classGuid = *ClassGuid;
  }
  HDEVINFO h = Sets().Insert(std::move(set));
  SetLastError(ERROR_SUCCESS);
  return call.Ret(h);
}

BOOL WINAPI SetupDiCreateDeviceInfoA(HDEVINFO DeviceInfoSet, PCSTR DeviceName, const GUID* ClassGuid,
                                     PCSTR DeviceDescription, HWND hwndParent, DWORD CreationFlags,
                                     PSP_DEVINFO_DATA DeviceInfoData) {
  ApiCall call("SetupDiCreateDeviceInfoA",
               {HandleJson(DeviceInfoSet), DeviceName, ClassGuid ? Json(GuidText(*ClassGuid)) : Json(),
                DeviceDescription, HandleJson(hwndParent), CreationFlags, DevInfoJson(DeviceInfoData)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  struct DeviceInfoSet* s = Lookup(DeviceInfoSet);
  if (!s) return call.Fail(ERROR_INVALID_HANDLE);
  if (CreationFlags & ~(DWORD)(DICD_GENERATE_ID | DICD_INHERIT_CLASSDRVS)) return call.Fail(ERROR_INVALID_FLAGS);
  if (!ClassGuid) return call.Fail(ERROR_INVALID_PARAMETER);
  if (s->hasClass && !IsEqualGUID(s->classGuid, *ClassGuid)) return call.Fail(ERROR_CLASS_MISMATCH);
  std::string name = DeviceName ? DeviceName : "";
  Registry& reg = Registry::Get();
  std::string instanceId;
  if (CreationFlags & DICD_GENERATE_ID) {
    // A root-enumerated device: ROOT\<name>\0000, the first number free.
    if (name.empty() || name.find('\\') != std::string::npos) return call.Fail(ERROR_INVALID_DEVINST_NAME);
    for (unsigned n = 0; n <= 9999 && instanceId.empty(); ++n) {
      char number[8];
      snprintf(number, sizeof number, "%04u", n);
      std::string candidate = "ROOT\\" + name + "\\" + number;
      if (!reg.Find(std::string(winsim::devices::kEnumKey) + "\\" + candidate)) instanceId = candidate;
    }
    if (instanceId.empty()) return call.Fail(ERROR_DEVINST_ALREADY_EXISTS);
  } else {
    if (!IsInstanceId(name)) return call.Fail(ERROR_INVALID_DEVINST_NAME);
    instanceId = name;
  }
  if (!winsim::Machine::Current().userIsAdmin()) return call.Fail(ERROR_ACCESS_DENIED);
  std::string path = std::string(winsim::devices::kEnumKey) + "\\" + instanceId;
  if (reg.Find(path)) return call.Fail(ERROR_DEVINST_ALREADY_EXISTS);
  // The node exists from now on, not yet a device: it goes with the set
  // unless it is registered.
  RegKey* key = reg.Create(path);
  static const GUID kNull = {};
  if (!IsEqualGUID(*ClassGuid, kNull)) key->SetString("ClassGUID", GuidText(*ClassGuid));
  if (DeviceDescription) key->SetString("DeviceDesc", DeviceDescription);
  Element e{instanceId, key, *ClassGuid, false, key->Path(), reg.generation()};
  e.phantom = true;
  s->elements.push_back(e);
  // A record the function cannot fill leaves the element in the set.
  if (DeviceInfoData) {
    if (DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) return call.Fail(ERROR_INVALID_USER_BUFFER);
    Describe(s->elements.back(), s->elements.size() - 1, DeviceInfoData);
    call.SetArg(6, DevInfoJson(DeviceInfoData));
  }
  SetLastError(ERROR_SUCCESS);
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI SetupDiSetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                              const BYTE* PropertyBuffer, DWORD PropertyBufferSize) {
  ApiCall call("SetupDiSetDeviceRegistryPropertyA",
               {HandleJson(DeviceInfoSet), DevInfoJson(DeviceInfoData), Property,
                PropertyBuffer ? Json(std::string((const char*)PropertyBuffer,
                                                  strnlen((const char*)PropertyBuffer, PropertyBufferSize)))
                               : Json(),
                PropertyBufferSize});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  Element* e = ElementOf(DeviceInfoSet, DeviceInfoData);
  if (!e) return call.Ret((BOOL)FALSE);
  RegKey* key = KeyOf(e);
  if (e->removed || !key || key->deleted()) return call.Fail(ERROR_NO_SUCH_DEVINST);
  const WritableProperty* property = nullptr;
  for (const auto& p : kWritableProperties)
    if (p.id == Property) property = &p;
  if (!property) return call.Fail(ERROR_INVALID_REG_PROPERTY);
  if (!PropertyBuffer && PropertyBufferSize) return call.Fail(ERROR_INVALID_PARAMETER);
  if (!PropertyBuffer)
    key->DeleteValue(property->value);  // no data: the property is cleared
  else
    key->SetValue(property->value, property->type, PropertyBuffer, PropertyBufferSize);
  SetLastError(ERROR_SUCCESS);
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI SetupDiRegisterDeviceInfo(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Flags,
                                      PSP_DETSIG_CMPPROC CompareProc, PVOID CompareContext,
                                      PSP_DEVINFO_DATA DupDeviceInfoData) {
  ApiCall call("SetupDiRegisterDeviceInfo",
               {HandleJson(DeviceInfoSet), DevInfoJson(DeviceInfoData), Flags, CompareProc ? Json("proc") : Json(),
                HandleJson(CompareContext), DevInfoJson(DupDeviceInfoData)});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  Element* e = ElementOf(DeviceInfoSet, DeviceInfoData);
  if (!e) return call.Ret((BOOL)FALSE);
  if (Flags & ~(DWORD)SPRDI_FIND_DUPS) return call.Fail(ERROR_INVALID_FLAGS);
  RegKey* key = KeyOf(e);
  if (e->removed || !key || key->deleted()) return call.Fail(ERROR_NO_SUCH_DEVINST);
  // Nodes of this machine carry no resources, so no other node duplicates
  // it. Registered, the node is a device in the tree: present from now on.
  if (e->phantom) {
    e->phantom = false;
    if (!winsim::devices::IsPresent(key)) key->CreateChild("Control");
  }
  SetLastError(ERROR_SUCCESS);
  return call.Ret((BOOL)TRUE);
}

}  // extern "C"
