// The simulated device set-up service: OEM INF copies and device
// information sets over the USB device nodes.
#include <gtest/gtest.h>
#include <setupapi.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "setupapi/device_store.h"
#include "core/machine.h"
#include "core/registry_tree.h"
#include "sim_machine.h"
#include "spooler_fixture.h"

using spooler_fixture::FileExists;
using spooler_fixture::WriteFile;

namespace {

// A driver package: it names its manufacturers.
const char kInf[] =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n\r\n[Manufacturer]\r\n%Mfg%=Models\r\n";
// An INF that installs no device.
const char kPlainInf[] = "[Version]\r\nSignature=\"$Chicago$\"\r\n\r\n[DefaultInstall]\r\nAddReg=Keys\r\n";
// What Vista answers for an INF that is no driver package.
const DWORD kErrorWrongInfType = 0xE000024A;

BOOL CopyInf(const char* path, char* dest, DWORD size, DWORD* required, DWORD style = SP_COPY_FORCE_NEWER) {
  return SetupCopyOEMInfA(path, nullptr, SPOST_PATH, style, dest, size, required, nullptr);
}

TEST(SetupCopyOEMInfA, CopiesAsTheNextFreeOemName) {
  SimMachine machine("xp");
  WriteFile("C:\\pkg\\velkora.inf", kInf);
  WriteFile("C:\\pkg\\other.inf", std::string(kInf) + "; another\r\n");
  WriteFile("C:\\WINDOWS\\inf\\oem0.inf", "[Version]\r\n; someone else's\r\n");
  WriteFile("C:\\WINDOWS\\inf\\oem2.inf", "[Version]\r\n; and another\r\n");

  char dest[256] = "";
  DWORD required = 0;
  PSTR component = nullptr;
  SetLastError(0xdeadbeef);
  ASSERT_TRUE(SetupCopyOEMInfA("C:\\pkg\\velkora.inf", nullptr, SPOST_PATH, SP_COPY_FORCE_NEWER, dest, sizeof dest,
                               &required, &component));
  EXPECT_STREQ("C:\\WINDOWS\\inf\\oem1.inf", dest);
  EXPECT_EQ(strlen(dest) + 1, required);
  EXPECT_STREQ("oem1.inf", component);
  EXPECT_TRUE(FileExists("C:\\WINDOWS\\inf\\oem1.inf"));
  EXPECT_TRUE(FileExists("C:\\WINDOWS\\inf\\oem1.PNF"));

  // The same INF again: the copy already in the store.
  char again[256] = "";
  SetLastError(0xdeadbeef);
  ASSERT_TRUE(CopyInf("C:\\pkg\\velkora.inf", again, sizeof again, &required));
  EXPECT_STREQ("C:\\WINDOWS\\inf\\oem1.inf", again);
  EXPECT_FALSE(FileExists("C:\\WINDOWS\\inf\\oem3.inf"));

  char other[256] = "";
  ASSERT_TRUE(CopyInf("C:\\pkg\\other.inf", other, sizeof other, &required));
  EXPECT_STREQ("C:\\WINDOWS\\inf\\oem3.inf", other);
}

// A name with a folder in it is opened as any file, from the current
// directory; a bare file name is looked for in the INF folder and the
// system folder on Windows 2000, XP and 2003, and from Vista on is taken
// from the current directory too.
TEST(SetupCopyOEMInfA, RelativeNames) {
  struct Row {
    const char* os;
    const char* source;
    DWORD error;
    const char* dest;
  } rows[] = {
      {"2000", "driver2k\\velkora.inf", 0, "C:\\WINNT\\inf\\oem0.inf"},
      {"xp", "driver2k\\velkora.inf", 0, "C:\\WINDOWS\\inf\\oem0.inf"},
      {"xp", ".\\velkora.inf", 0, "C:\\WINDOWS\\inf\\oem0.inf"},
      {"vista", "driver2k\\velkora.inf", 0, "C:\\Windows\\inf\\oem0.inf"},
      {"7", "driver2k\\velkora.inf", 0, "C:\\Windows\\inf\\oem0.inf"},
      {"7-x64", "driver2k\\velkora.inf", 0, "C:\\Windows\\inf\\oem0.inf"},
      {"2000", "velkora.inf", ERROR_FILE_NOT_FOUND, ""},
      {"xp", "velkora.inf", ERROR_FILE_NOT_FOUND, ""},
      {"2003", "velkora.inf", ERROR_FILE_NOT_FOUND, ""},
      {"vista", "velkora.inf", 0, "C:\\Windows\\inf\\oem0.inf"},
      {"7", "velkora.inf", 0, "C:\\Windows\\inf\\oem0.inf"},
      {"xp", "driver2k\\nothere.inf", ERROR_FILE_NOT_FOUND, ""},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.os << " " << r.source);
    SimMachine machine(r.os);
    WriteFile("C:\\setup\\driver2k\\velkora.inf", kInf);
    WriteFile("C:\\setup\\velkora.inf", kInf);
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\setup"));
    char dest[256] = "";
    DWORD required = 0;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(r.error == 0, CopyInf(r.source, dest, sizeof dest, &required) != FALSE);
    EXPECT_EQ(r.error ? r.error : (DWORD)ERROR_SUCCESS, GetLastError());
    EXPECT_STREQ(r.dest, dest);
  }
  // A bare name the INF folder holds is that one.
  SimMachine machine("xp");
  WriteFile("C:\\WINDOWS\\inf\\velkora.inf", kInf);
  char dest[256] = "";
  DWORD required = 0;
  ASSERT_TRUE(CopyInf("velkora.inf", dest, sizeof dest, &required)) << GetLastError();
  EXPECT_STREQ("C:\\WINDOWS\\inf\\velkora.inf", dest);
}

TEST(SetupCopyOEMInfA, EmptyOrMissingSource) {
  struct Row {
    const char* os;
    const char* source;
    DWORD error;
  } rows[] = {
      {"2000", "", ERROR_FILE_NOT_FOUND},
      {"xp", "", ERROR_FILE_NOT_FOUND},
      {"2003", "", ERROR_FILE_NOT_FOUND},
      {"vista", "", ERROR_INVALID_PARAMETER},
      {"7", "", ERROR_INVALID_PARAMETER},
      {"7-x64", "", ERROR_INVALID_PARAMETER},
      {"xp", nullptr, ERROR_INVALID_PARAMETER},
      {"7", nullptr, ERROR_INVALID_PARAMETER},
      {"7", "C:\\WINDOWS\\nothere.inf", ERROR_FILE_NOT_FOUND},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.os << " '" << (r.source ? r.source : "null") << "'");
    SimMachine machine(r.os);
    char dest[256] = "";
    DWORD required = 0;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CopyInf(r.source, dest, sizeof dest, &required));
    EXPECT_EQ(r.error, GetLastError());
    EXPECT_STREQ("", dest);
  }
}

// From Vista on the INF folder takes driver packages only: an INF without a
// [Manufacturer] section is refused.
TEST(SetupCopyOEMInfA, OnlyDriverPackagesFromVistaOn) {
  struct Row {
    const char* os;
    const char* content;
    DWORD error;
  } rows[] = {
      {"2000", kPlainInf, 0},
      {"xp", kPlainInf, 0},
      {"2003", kPlainInf, 0},
      {"vista", kPlainInf, kErrorWrongInfType},
      {"7", kPlainInf, ERROR_UNSUPPORTED_TYPE},
      {"7-x64", kPlainInf, ERROR_UNSUPPORTED_TYPE},
      {"7", "[Version]\r\nSignature=\"$Windows NT$\"\r\n\r\n [manufacturer] \r\n%M%=Models\r\n", 0},
      {"7", "[Version]\r\n; [Manufacturer]\r\n[Manufacturers]\r\n", ERROR_UNSUPPORTED_TYPE},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.os << ": " << r.content);
    SimMachine machine(r.os);
    WriteFile("C:\\pkg\\setup.inf", r.content);
    char dest[256] = "";
    DWORD required = 0;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(r.error == 0, CopyInf("C:\\pkg\\setup.inf", dest, sizeof dest, &required) != FALSE);
    EXPECT_EQ(r.error ? r.error : (DWORD)ERROR_SUCCESS, GetLastError());
    std::string inf = winsim::Machine::Current().os().windir + "\\inf\\oem0.inf";
    EXPECT_EQ(r.error == 0, FileExists(inf));
  }
}

TEST(SetupCopyOEMInfA, DeleteSourceRemovesThePackageInf) {
  SimMachine machine("xp");
  WriteFile("C:\\pkg\\velkora.inf", kInf);
  WriteFile("C:\\pkg\\again.inf", kInf);
  char dest[256] = "";
  DWORD required = 0;
  ASSERT_TRUE(CopyInf("C:\\pkg\\velkora.inf", dest, sizeof dest, &required, SP_COPY_DELETESOURCE));
  EXPECT_STREQ("C:\\WINDOWS\\inf\\oem0.inf", dest);
  EXPECT_FALSE(FileExists("C:\\pkg\\velkora.inf"));
  EXPECT_TRUE(FileExists("C:\\WINDOWS\\inf\\oem0.inf"));
  // An identical copy already there: the source goes all the same.
  ASSERT_TRUE(CopyInf("C:\\pkg\\again.inf", dest, sizeof dest, &required, SP_COPY_DELETESOURCE));
  EXPECT_STREQ("C:\\WINDOWS\\inf\\oem0.inf", dest);
  EXPECT_FALSE(FileExists("C:\\pkg\\again.inf"));
  // A failed copy leaves it.
  WriteFile("C:\\pkg\\third.inf", kInf);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CopyInf("C:\\pkg\\third.inf", dest, 5, &required, SP_COPY_DELETESOURCE));
  EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
  EXPECT_TRUE(FileExists("C:\\pkg\\third.inf"));
}

// Any INF of the INF folder with the same content is the copy, whatever its
// name: Windows' own INFs, or one copied there by hand.
TEST(SetupCopyOEMInfA, AnIdenticalInfUnderAnyNameIsTheCopy) {
  SimMachine machine("7");
  WriteFile("C:\\pkg\\velkora.inf", kInf);
  WriteFile("C:\\Windows\\inf\\oem0.inf", std::string(kInf) + "; older\r\n");
  WriteFile("C:\\Windows\\inf\\velkora.inf", kInf);
  char dest[256] = "";
  DWORD required = 0;
  PSTR component = nullptr;
  SetLastError(0xdeadbeef);
  ASSERT_TRUE(
      SetupCopyOEMInfA("C:\\pkg\\velkora.inf", nullptr, SPOST_PATH, 0, dest, sizeof dest, &required, &component));
  EXPECT_EQ((DWORD)ERROR_SUCCESS, GetLastError());
  EXPECT_STREQ("C:\\Windows\\inf\\velkora.inf", dest);
  EXPECT_STREQ("velkora.inf", component);
  EXPECT_FALSE(FileExists("C:\\Windows\\inf\\oem1.inf"));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupCopyOEMInfA("C:\\pkg\\velkora.inf", nullptr, SPOST_PATH, SP_COPY_NOOVERWRITE, dest, sizeof dest,
                                &required, nullptr));
  EXPECT_EQ((DWORD)ERROR_FILE_EXISTS, GetLastError());
  EXPECT_STREQ("C:\\Windows\\inf\\velkora.inf", dest);
}

struct FailRow {
  const char* what;
  const char* path;
  DWORD size;
  DWORD style;
  bool admin;
  DWORD error;
  const char* dest;
};

const FailRow kFailRows[] = {
    {"missing file", "C:\\pkg\\nothere.inf", 256, SP_COPY_FORCE_NEWER, true, ERROR_FILE_NOT_FOUND, ""},
    {"missing folder", "C:\\nothere\\velkora.inf", 256, SP_COPY_FORCE_NEWER, true, ERROR_PATH_NOT_FOUND, ""},
    {"not an administrator", "C:\\pkg\\velkora.inf", 256, SP_COPY_FORCE_NEWER, false, ERROR_ACCESS_DENIED, ""},
    {"name does not fit", "C:\\pkg\\velkora.inf", 10, SP_COPY_FORCE_NEWER, true, ERROR_INSUFFICIENT_BUFFER, ""},
    {"no overwrite of an identical copy", "C:\\pkg\\same.inf", 256, SP_COPY_NOOVERWRITE, true, ERROR_FILE_EXISTS,
     "C:\\WINDOWS\\inf\\oem0.inf"},
};

TEST(SetupCopyOEMInfA, Failures) {
  for (const auto& r : kFailRows) {
    SimMachine machine("xp");
    WriteFile("C:\\pkg\\velkora.inf", kInf);
    WriteFile("C:\\pkg\\same.inf", "[Version]\r\n");
    WriteFile("C:\\WINDOWS\\inf\\oem0.inf", "[Version]\r\n");
    ASSERT_TRUE(machine.SetIni("user", "admin", r.admin ? "1" : "0")) << r.what;
    char dest[256] = "";
    DWORD required = 0;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CopyInf(r.path, dest, r.size, &required, r.style)) << r.what;
    EXPECT_EQ(r.error, GetLastError()) << r.what;
    EXPECT_STREQ(r.dest, dest) << r.what;
  }
}

TEST(SetupUninstallOEMInfA, RemovesTheInfAndItsPnf) {
  SimMachine machine("vista");
  WriteFile("C:\\pkg\\velkora.inf", kInf);
  char dest[256] = "";
  DWORD required = 0;
  ASSERT_TRUE(CopyInf("C:\\pkg\\velkora.inf", dest, sizeof dest, &required));

  // The name alone; a full path is refused.
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupUninstallOEMInfA(dest, SUOI_FORCEDELETE, nullptr));
  EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
  EXPECT_TRUE(FileExists(dest));

  SetLastError(0xdeadbeef);
  EXPECT_TRUE(SetupUninstallOEMInfA("oem0.inf", SUOI_FORCEDELETE, nullptr));
  EXPECT_FALSE(FileExists("C:\\Windows\\inf\\oem0.inf"));
  EXPECT_FALSE(FileExists("C:\\Windows\\inf\\oem0.PNF"));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupUninstallOEMInfA("oem0.inf", SUOI_FORCEDELETE, nullptr));
  EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST(SetupUninstallOEMInfA, EmptyNameIsNoFileNullIsNoName) {
  SimMachine machine("xp");
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupUninstallOEMInfA("", 0, nullptr));
  EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupUninstallOEMInfA(nullptr, 0, nullptr));
  EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
}

TEST(SetupUninstallOEMInfA, KeepsAnInfDevicesUseUnlessForced) {
  SimMachine machine("7");
  WriteFile("C:\\Windows\\inf\\oem4.inf", kInf);
  ASSERT_TRUE(winsim::devices::AddNode("USB\\VID_7A3C&PID_0008\\5&1", {"USB\\Vid_7A3C&Pid_0008"}, false));
  winsim::Registry& reg = winsim::Registry::Get();
  reg.Find(std::string(winsim::devices::kEnumKey) + "\\USB\\VID_7A3C&PID_0008\\5&1")
      ->SetString("Driver", "{4D36E979-E325-11CE-BFC1-08002BE10318}\\0000");
  reg.Create("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E979-E325-11CE-BFC1-08002BE10318}\\0000")
      ->SetString("InfPath", "oem4.inf");
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupUninstallOEMInfA("OEM4.INF", 0, nullptr));
  EXPECT_EQ((DWORD)ERROR_INF_IN_USE_BY_DEVICES, GetLastError());
  EXPECT_TRUE(SetupUninstallOEMInfA("oem4.inf", SUOI_FORCEDELETE, nullptr));
  EXPECT_FALSE(FileExists("C:\\Windows\\inf\\oem4.inf"));
}

// Three USB nodes (one connected), one node of another bus.
::testing::AssertionResult SeedDeviceNodes() {
  const struct {
    const char* instance;
    std::vector<std::string> hardwareIds;
    bool present;
  } nodes[] = {
      {"USB\\VID_7A3C&PID_0008\\5&1A&0&1", {"USB\\Vid_7A3C&Pid_0008&Rev_0100", "USB\\Vid_7A3C&Pid_0008"}, true},
      {"USB\\VID_7A3C&PID_0008\\5&1A&0&2", {"USB\\Vid_7A3C&Pid_0008"}, false},
      {"USB\\VID_046D&PID_C52B\\6&2B", {"USB\\Vid_046D&Pid_C52B"}, false},
      {"ROOT\\LEGACY_BEEP\\0000", {"ROOT\\BEEP"}, true},
  };
  for (const auto& n : nodes)
    if (!winsim::devices::AddNode(n.instance, n.hardwareIds, n.present))
      return ::testing::AssertionFailure() << "AddNode " << n.instance;
  return ::testing::AssertionSuccess();
}

std::vector<std::string> InstanceIds(HDEVINFO set) {
  std::vector<std::string> ids;
  SP_DEVINFO_DATA data;
  data.cbSize = sizeof data;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &data); ++i) {
    char id[200] = "";
    SetupDiGetDeviceInstanceIdA(set, &data, id, sizeof id, nullptr);
    ids.push_back(id);
  }
  return ids;
}

TEST(SetupDiGetClassDevsA, AllUsbNodesPresentOrNot) {
  SimMachine machine("xp");
  ASSERT_TRUE(SeedDeviceNodes());
  struct Row {
    const char* what;
    const char* enumerator;
    DWORD flags;
    size_t count;
  } rows[] = {
      {"USB, all classes", "USB", DIGCF_ALLCLASSES, 3},
      {"usb in other case", "usb", DIGCF_ALLCLASSES, 3},
      {"USB, present only", "USB", DIGCF_ALLCLASSES | DIGCF_PRESENT, 1},
      {"every enumerator", nullptr, DIGCF_ALLCLASSES, 4},
  };
  for (const auto& r : rows) {
    SetLastError(0xdeadbeef);
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, r.enumerator, nullptr, r.flags);
    ASSERT_NE(INVALID_HANDLE_VALUE, set) << r.what;
    EXPECT_EQ(r.count, InstanceIds(set).size()) << r.what;
    EXPECT_EQ((DWORD)ERROR_NO_MORE_ITEMS, GetLastError()) << r.what;
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set)) << r.what;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set)) << r.what << ": destroyed twice";
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError()) << r.what;
  }
  SetLastError(0xdeadbeef);
  EXPECT_EQ(INVALID_HANDLE_VALUE, SetupDiGetClassDevsA(nullptr, "USB", nullptr, DIGCF_PRESENT));
  EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
  SetLastError(0xdeadbeef);
  EXPECT_EQ(INVALID_HANDLE_VALUE, SetupDiGetClassDevsA(nullptr, "FIREWIRE", nullptr, DIGCF_ALLCLASSES));
  EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
}

TEST(SetupDiEnumDeviceInfo, EndsWithNoMoreItemsAndChecksTheRecord) {
  SimMachine machine("xp");
  ASSERT_TRUE(SeedDeviceNodes());
  HDEVINFO set = SetupDiGetClassDevsA(nullptr, "USB", nullptr, DIGCF_ALLCLASSES);
  SP_DEVINFO_DATA data;
  data.cbSize = sizeof data - 1;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &data));
  EXPECT_EQ((DWORD)ERROR_INVALID_USER_BUFFER, GetLastError());
  data.cbSize = sizeof data;
  SetLastError(0xdeadbeef);
  EXPECT_TRUE(SetupDiEnumDeviceInfo(set, 2, &data));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 3, &data));
  EXPECT_EQ((DWORD)ERROR_NO_MORE_ITEMS, GetLastError());
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupDiEnumDeviceInfo((HDEVINFO)0x1234, 0, &data));
  EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
  SetupDiDestroyDeviceInfoList(set);
}

TEST(SetupDiGetDeviceRegistryPropertyA, HardwareIdsAndTheSizeTheyNeed) {
  SimMachine machine("xp");
  ASSERT_TRUE(SeedDeviceNodes());
  HDEVINFO set = SetupDiGetClassDevsA(nullptr, "USB", nullptr, DIGCF_ALLCLASSES);
  SP_DEVINFO_DATA data;
  data.cbSize = sizeof data;
  ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &data));
  const std::string ids("USB\\Vid_7A3C&Pid_0008&Rev_0100\0USB\\Vid_7A3C&Pid_0008\0", 53);
  BYTE buf[100];
  DWORD type = 0, required = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(
      SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, &type, buf, (DWORD)ids.size(), &required));
  EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
  EXPECT_EQ(ids.size() + 1, required);
  SetLastError(0xdeadbeef);
  ASSERT_TRUE(SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, &type, buf, sizeof buf, &required));
  EXPECT_EQ((DWORD)REG_MULTI_SZ, type);
  EXPECT_EQ(0, memcmp(ids.data(), buf, ids.size() + 1));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_FRIENDLYNAME, &type, buf, sizeof buf, &required));
  EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &data, 0x100, &type, buf, sizeof buf, &required));
  EXPECT_EQ((DWORD)ERROR_INVALID_REG_PROPERTY, GetLastError());
  SetupDiDestroyDeviceInfoList(set);
}

// A child process (another installer, say) removes a node while the parent
// holds a set: the parent reads the machine back and sees the node gone.
TEST(SetupDiGetDeviceRegistryPropertyA, AfterAChildProcessRemovedANode) {
  SimMachine machine("xp");
  SeedDeviceNodes();
  HDEVINFO set = SetupDiGetClassDevsA(nullptr, "USB", nullptr, DIGCF_ALLCLASSES);
  ASSERT_NE(INVALID_HANDLE_VALUE, set);
  winsim::Machine::SaveAll();
  winsim::RegKey* device =
      winsim::Registry::Get().Find(std::string(winsim::devices::kEnumKey) + "\\USB\\VID_7A3C&PID_0008");
  ASSERT_NE(nullptr, device);
  ASSERT_TRUE(device->DeleteChild("5&1A&0&1"));
  winsim::Machine::SaveAll();
  winsim::Machine::ReloadAll();

  SP_DEVINFO_DATA data;
  data.cbSize = sizeof data;
  BYTE buf[100];
  DWORD type = 0, required = 0;
  ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &data));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, &type, buf, sizeof buf, &required));
  EXPECT_EQ((DWORD)ERROR_NO_SUCH_DEVINST, GetLastError());
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupDiRemoveDevice(set, &data));
  EXPECT_EQ((DWORD)ERROR_NO_SUCH_DEVINST, GetLastError());

  ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 1, &data));
  const std::string ids("USB\\Vid_7A3C&Pid_0008\0", 22);
  ASSERT_TRUE(SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, &type, buf, sizeof buf, &required));
  EXPECT_EQ(ids.size() + 1, required);
  EXPECT_EQ(0, memcmp(ids.data(), buf, ids.size() + 1));
  EXPECT_TRUE(SetupDiRemoveDevice(set, &data));
  EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

TEST(SetupDiRemoveDevice, RemovesTheNodeAndKeepsTheElement) {
  SimMachine machine("xp");
  ASSERT_TRUE(SeedDeviceNodes());
  HDEVINFO set = SetupDiGetClassDevsA(nullptr, "USB", nullptr, DIGCF_ALLCLASSES);
  SP_DEVINFO_DATA data;
  data.cbSize = sizeof data;
  for (DWORD i : {0u, 1u}) {
    SCOPED_TRACE(::testing::Message() << "element " << i);
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, i, &data));
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(SetupDiRemoveDevice(set, &data)) << i;
  }
  // The walk goes on by index over the same set.
  EXPECT_TRUE(SetupDiEnumDeviceInfo(set, 2, &data));
  ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 1, &data));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupDiRemoveDevice(set, &data));
  EXPECT_EQ((DWORD)ERROR_NO_SUCH_DEVINST, GetLastError());
  SetupDiDestroyDeviceInfoList(set);
  machine.Restart();
  winsim::Registry& reg = winsim::Registry::Get();
  std::string usb = std::string(winsim::devices::kEnumKey) + "\\USB\\";
  EXPECT_EQ(nullptr, reg.Find(usb + "VID_7A3C&PID_0008"));
  EXPECT_NE(nullptr, reg.Find(usb + "VID_046D&PID_C52B\\6&2B"));
}

}  // namespace
