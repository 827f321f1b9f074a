// New device nodes on the simulated set-up service: SetupDiCreateDeviceInfoList,
// SetupDiCreateDeviceInfoA, SetupDiSetDeviceRegistryPropertyA and
// SetupDiRegisterDeviceInfo.
#include <gtest/gtest.h>
#include <setupapi.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "setupapi/device_store.h"
#include "core/registry_tree.h"
#include "sim_machine.h"

namespace {

const GUID kPrinterClass = {0x4d36e979, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
const GUID kUsbClass = {0x36fc9e60, 0xc465, 0x11cf, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const char kInstance[] = "USB\\VID_0B0B&PID_7202\\PROBE1";
const char kHardwareIds[] = "USB\\VID_0B0B&PID_7202\0";  // the list's own end follows

winsim::RegKey* Node(const std::string& instance) {
  return winsim::Registry::Get().Find(std::string(winsim::devices::kEnumKey) + "\\" + instance);
}

// The instance ids of what SetupDiGetClassDevsA lists for an enumerator.
std::string Listed(const char* enumerator, DWORD flags) {
  HDEVINFO set = SetupDiGetClassDevsA(nullptr, enumerator, nullptr, flags);
  if (set == INVALID_HANDLE_VALUE) return "(invalid)";
  std::string ids;
  SP_DEVINFO_DATA data;
  data.cbSize = sizeof data;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &data); ++i) {
    char id[200] = "";
    SetupDiGetDeviceInstanceIdA(set, &data, id, sizeof id, nullptr);
    ids += (ids.empty() ? "" : ",") + std::string(id);
  }
  SetupDiDestroyDeviceInfoList(set);
  return ids;
}

// Created and never registered, a node goes with its set; registered, it
// stays as a device that is there, with the properties it was given.
TEST(SetupDiCreateDeviceInfoA, NodeStaysOnlyWhenRegistered) {
  for (bool registered : {false, true}) {
    SCOPED_TRACE(registered ? "registered" : "not registered");
    SimMachine machine("7-x64");
    SetLastError(0xdeadbeef);
    HDEVINFO set = SetupDiCreateDeviceInfoList(&kPrinterClass, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, set);
    SP_DEVINFO_DATA data;
    memset(&data, 0, sizeof data);
    data.cbSize = sizeof data;
    SetLastError(0xdeadbeef);
    ASSERT_TRUE(SetupDiCreateDeviceInfoA(set, kInstance, &kPrinterClass, "Probe printer", nullptr, 0, &data));
    EXPECT_TRUE(IsEqualGUID(kPrinterClass, data.ClassGuid));
    winsim::RegKey* node = Node(kInstance);
    ASSERT_NE(nullptr, node);
    EXPECT_EQ(nullptr, node->Child("Control")) << "a node not yet registered is no device that is there";
    ASSERT_NE(nullptr, node->Value("ClassGUID"));
    EXPECT_EQ("{4D36E979-E325-11CE-BFC1-08002BE10318}",
              std::string((const char*)node->Value("ClassGUID")->data.data()));
    EXPECT_EQ(kInstance, Listed("USB", DIGCF_ALLCLASSES));
    char id[200] = "";
    ASSERT_TRUE(SetupDiGetDeviceInstanceIdA(set, &data, id, sizeof id, nullptr));
    EXPECT_STREQ(kInstance, id);

    SetLastError(0xdeadbeef);
    ASSERT_TRUE(SetupDiSetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, (const BYTE*)kHardwareIds,
                                                  sizeof kHardwareIds));
    if (registered) {
      SetLastError(0xdeadbeef);
      ASSERT_TRUE(SetupDiRegisterDeviceInfo(set, &data, 0, nullptr, nullptr, nullptr));
      EXPECT_EQ(kInstance, Listed("USB", DIGCF_ALLCLASSES | DIGCF_PRESENT));
    }
    BYTE buffer[64];
    DWORD type = 0, required = 0;
    ASSERT_TRUE(
        SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, &type, buffer, sizeof buffer, &required));
    EXPECT_EQ((DWORD)REG_MULTI_SZ, type);
    EXPECT_EQ(sizeof kHardwareIds, required);
    EXPECT_EQ(0, memcmp(kHardwareIds, buffer, sizeof kHardwareIds));

    ASSERT_TRUE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(registered, Node(kInstance) != nullptr);
    EXPECT_EQ(registered ? kInstance : "", Listed("USB", DIGCF_ALLCLASSES));
    // Written back and read again as the next process sees it.
    machine.Restart();
    EXPECT_EQ(registered ? kInstance : "", Listed("USB", DIGCF_ALLCLASSES | DIGCF_PRESENT));
  }
}

TEST(SetupDiCreateDeviceInfoA, Table) {
  struct Row {
    const char* what;
    const GUID* setClass;  // of the set, or none
    const char* name;
    const GUID* classGuid;
    DWORD flags;
    bool admin;
    DWORD cbSize;  // 0: sizeof
    BOOL ok;
    DWORD error;
    const char* node;  // the node that exists afterwards, or none
  } rows[] = {
      {"a full instance id", &kPrinterClass, kInstance, &kPrinterClass, 0, true, 0, TRUE, ERROR_SUCCESS, kInstance},
      {"a set of no class", nullptr, kInstance, &kUsbClass, 0, true, 0, TRUE, ERROR_SUCCESS, kInstance},
      {"a generated id", nullptr, "PROBE", &kPrinterClass, DICD_GENERATE_ID, true, 0, TRUE, ERROR_SUCCESS,
       "ROOT\\PROBE\\0000"},
      {"a node that exists", nullptr, "USB\\VID_7A3C&PID_0008\\5&1A", &kPrinterClass, 0, true, 0, FALSE,
       ERROR_DEVINST_ALREADY_EXISTS, nullptr},
      {"no instance part", nullptr, "USB\\VID_0B0B&PID_7202", &kPrinterClass, 0, true, 0, FALSE,
       ERROR_INVALID_DEVINST_NAME, nullptr},
      {"a path for a generated id", nullptr, "ROOT\\PROBE", &kPrinterClass, DICD_GENERATE_ID, true, 0, FALSE,
       ERROR_INVALID_DEVINST_NAME, nullptr},
      {"the class of another set", &kUsbClass, kInstance, &kPrinterClass, 0, true, 0, FALSE, ERROR_CLASS_MISMATCH,
       nullptr},
      {"an unknown flag", nullptr, kInstance, &kPrinterClass, 0x10, true, 0, FALSE, ERROR_INVALID_FLAGS, nullptr},
      {"not an administrator", nullptr, kInstance, &kPrinterClass, 0, false, 0, FALSE, ERROR_ACCESS_DENIED, nullptr},
      // The element is made before the record is found wrong.
      {"a record of the wrong size", nullptr, kInstance, &kPrinterClass, 0, true, 1, FALSE, ERROR_INVALID_USER_BUFFER,
       kInstance},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    SimMachine machine("7-x64");
    ASSERT_TRUE(winsim::devices::AddNode("USB\\VID_7A3C&PID_0008\\5&1A", {"USB\\Vid_7A3C&Pid_0008"}, true));
    ASSERT_TRUE(machine.SetIni("user", "admin", r.admin ? "1" : "0"));
    HDEVINFO set = SetupDiCreateDeviceInfoList(r.setClass, nullptr);
    SP_DEVINFO_DATA data;
    memset(&data, 0, sizeof data);
    data.cbSize = r.cbSize ? r.cbSize : sizeof data;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(r.ok, SetupDiCreateDeviceInfoA(set, r.name, r.classGuid, nullptr, nullptr, r.flags, &data));
    EXPECT_EQ(r.error, GetLastError());
    if (r.node) {
      EXPECT_NE(nullptr, Node(r.node));
      SP_DEVINFO_DATA member;
      member.cbSize = sizeof member;
      EXPECT_TRUE(SetupDiEnumDeviceInfo(set, 0, &member)) << "the element is in the set";
    } else {
      EXPECT_EQ(nullptr, Node(kInstance));
      SP_DEVINFO_DATA member;
      member.cbSize = sizeof member;
      EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &member)) << "nothing was added to the set";
    }
    ASSERT_TRUE(SetupDiDestroyDeviceInfoList(set));
    if (r.node) {
      EXPECT_EQ(nullptr, Node(r.node)) << "never registered, the node went with the set";
    }
  }
}

TEST(SetupDiCreateDeviceInfoA, SameIdTwiceInOneSet) {
  SimMachine machine("7-x64");
  HDEVINFO set = SetupDiCreateDeviceInfoList(&kPrinterClass, nullptr);
  ASSERT_TRUE(SetupDiCreateDeviceInfoA(set, kInstance, &kPrinterClass, nullptr, nullptr, 0, nullptr));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupDiCreateDeviceInfoA(set, kInstance, &kPrinterClass, nullptr, nullptr, 0, nullptr));
  EXPECT_EQ((DWORD)ERROR_DEVINST_ALREADY_EXISTS, GetLastError());
  // Generated ids take the next free number.
  char id[200] = "";
  SP_DEVINFO_DATA data;
  data.cbSize = sizeof data;
  ASSERT_TRUE(SetupDiCreateDeviceInfoA(set, "PROBE", &kPrinterClass, nullptr, nullptr, DICD_GENERATE_ID, &data));
  ASSERT_TRUE(SetupDiCreateDeviceInfoA(set, "PROBE", &kPrinterClass, nullptr, nullptr, DICD_GENERATE_ID, &data));
  ASSERT_TRUE(SetupDiGetDeviceInstanceIdA(set, &data, id, sizeof id, nullptr));
  EXPECT_STREQ("ROOT\\PROBE\\0001", id);
  SetupDiDestroyDeviceInfoList(set);
}

TEST(SetupDiSetDeviceRegistryPropertyA, Table) {
  struct Row {
    const char* what;
    DWORD property;
    const char* data;
    DWORD size;
    BOOL ok;
    DWORD error;
    const char* value;  // the value written, or none
    DWORD type;
  } rows[] = {
      {"hardware ids", SPDRP_HARDWAREID, kHardwareIds, sizeof kHardwareIds, TRUE, ERROR_SUCCESS, "HardwareID",
       REG_MULTI_SZ},
      {"compatible ids", SPDRP_COMPATIBLEIDS, kHardwareIds, sizeof kHardwareIds, TRUE, ERROR_SUCCESS, "CompatibleIDs",
       REG_MULTI_SZ},
      {"a description", SPDRP_DEVICEDESC, "Probe", 6, TRUE, ERROR_SUCCESS, "DeviceDesc", REG_SZ},
      {"a friendly name", SPDRP_FRIENDLYNAME, "Probe", 6, TRUE, ERROR_SUCCESS, "FriendlyName", REG_SZ},
      {"the class, which the system keeps", SPDRP_CLASS, "Printer", 8, FALSE, ERROR_INVALID_REG_PROPERTY, nullptr, 0},
      {"no data but a size", SPDRP_HARDWAREID, nullptr, 4, FALSE, ERROR_INVALID_PARAMETER, nullptr, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    SimMachine machine("7-x64");
    HDEVINFO set = SetupDiCreateDeviceInfoList(&kPrinterClass, nullptr);
    SP_DEVINFO_DATA data;
    data.cbSize = sizeof data;
    ASSERT_TRUE(SetupDiCreateDeviceInfoA(set, kInstance, &kPrinterClass, nullptr, nullptr, 0, &data));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(r.ok, SetupDiSetDeviceRegistryPropertyA(set, &data, r.property, (const BYTE*)r.data, r.size));
    EXPECT_EQ(r.error, GetLastError());
    if (r.value) {
      const winsim::RegValue* v = Node(kInstance)->Value(r.value);
      ASSERT_NE(nullptr, v);
      EXPECT_EQ(r.type, v->type);
      EXPECT_EQ(std::string(r.data, r.size), std::string(v->data.begin(), v->data.end()));
      // No data clears the property.
      EXPECT_TRUE(SetupDiSetDeviceRegistryPropertyA(set, &data, r.property, nullptr, 0));
      EXPECT_EQ(nullptr, Node(kInstance)->Value(r.value));
    }
    SetupDiDestroyDeviceInfoList(set);
  }
}

TEST(SetupDiRegisterDeviceInfo, RefusesUnknownFlagsAndRemovedNodes) {
  SimMachine machine("7-x64");
  HDEVINFO set = SetupDiCreateDeviceInfoList(&kPrinterClass, nullptr);
  SP_DEVINFO_DATA data;
  data.cbSize = sizeof data;
  ASSERT_TRUE(SetupDiCreateDeviceInfoA(set, kInstance, &kPrinterClass, nullptr, nullptr, 0, &data));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupDiRegisterDeviceInfo(set, &data, 0x8, nullptr, nullptr, nullptr));
  EXPECT_EQ((DWORD)ERROR_INVALID_FLAGS, GetLastError());
  EXPECT_EQ(nullptr, Node(kInstance)->Child("Control"));
  ASSERT_TRUE(SetupDiRegisterDeviceInfo(set, &data, SPRDI_FIND_DUPS, nullptr, nullptr, nullptr));
  EXPECT_NE(nullptr, Node(kInstance)->Child("Control"));
  ASSERT_TRUE(SetupDiRemoveDevice(set, &data));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupDiRegisterDeviceInfo(set, &data, 0, nullptr, nullptr, nullptr));
  EXPECT_EQ((DWORD)ERROR_NO_SUCH_DEVINST, GetLastError());
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupDiRegisterDeviceInfo((HDEVINFO)0x1234, &data, 0, nullptr, nullptr, nullptr));
  EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
  SetupDiDestroyDeviceInfoList(set);
}

}  // namespace
