// RemoveDeviceNodes over the USB device nodes of the simulated machine.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/faults.h"
#include "device_nodes.h"
#include "setupapi/device_store.h"
#include "core/registry_tree.h"
#include "journal_query.h"
#include "sim_machine.h"

namespace {

const char kId[] = "USB\\Vid_7A3C&Pid_0008";

struct NodeRow {
  const char* instance;  // below Enum
  std::vector<std::string> hardwareIds;
  bool present;
  bool removed;
};

// An id list of exactly `bytes` bytes (both final zeros counted) whose first
// id is the printer's with a revision suffix.
std::vector<std::string> IdListOfSize(size_t bytes) {
  std::string first = "USB\\Vid_7A3C&Pid_0008&Rev_0100";
  std::string second(bytes - first.size() - 3, 'C');
  return {first, second};
}

const std::vector<NodeRow>& Nodes() {
  static const std::vector<NodeRow> rows = {
      {"USB\\VID_7A3C&PID_0008\\5&1", {"USB\\Vid_7A3C&Pid_0008"}, true, true},
      {"USB\\VID_7A3C&PID_0008\\5&2", {"USB\\VID_7A3C&PID_0008&REV_0100", "USB\\VID_7A3C&PID_0008"}, false, true},
      {"USB\\VID_7A3C&PID_0008\\5&3", {"usb\\vid_7a3c&pid_0008&rev_0200"}, false, true},
      {"USB\\VID_7A3C&PID_0008\\5&4", IdListOfSize(100), false, true},
      {"USB\\VID_7A3C&PID_0008\\5&5", IdListOfSize(101), false, false},
      {"USB\\VID_046D&PID_C52B\\6&1", {"USB\\Vid_046D&Pid_C52B", "USB\\Vid_7A3C&Pid_0008"}, true, false},
      {"USB\\VID_7A3C&PID_0009\\6&2", {"USB\\Vid_7A3C&Pid_0009"}, false, false},
      {"USB\\VID_7A3C&PID_000\\6&3", {"USB\\Vid_7A3C&Pid_000"}, false, false},
      {"USB\\VID_7A3C&PID_0008\\6&4", {}, false, false},
      {"USBPRINT\\VELKORA_KVL-M720\\7&1", {"USB\\Vid_7A3C&Pid_0008"}, false, false},
  };
  return rows;
}

bool DeviceNodeExists(const char* instance) {
  return winsim::Registry::Get().Find(std::string(winsim::devices::kEnumKey) + "\\" + instance) != nullptr;
}

::testing::AssertionResult SeedPrinterNodes() {
  for (const auto& n : Nodes()) {
    if (!winsim::devices::AddNode(n.instance, n.hardwareIds, n.present))
      return ::testing::AssertionFailure() << "AddNode " << n.instance;
    if (n.hardwareIds.empty())
      winsim::Registry::Get()
          .Find(std::string(winsim::devices::kEnumKey) + "\\" + n.instance)
          ->DeleteValue("HardwareID");
  }
  return ::testing::AssertionSuccess();
}

TEST(RemoveDeviceNodes, MatchesTheFirstHardwareIdInAnyCase) {
  SimMachine machine("xp");
  ASSERT_TRUE(SeedPrinterNodes());
  SetLastError(0xdeadbeef);
  EXPECT_EQ(1, RemoveDeviceNodes(kId));
  for (const auto& n : Nodes()) EXPECT_NE(n.removed, DeviceNodeExists(n.instance)) << n.instance;
  // Removed nodes are gone for the next process too.
  machine.Restart();
  for (const auto& n : Nodes()) EXPECT_NE(n.removed, DeviceNodeExists(n.instance)) << n.instance;
}

TEST(RemoveDeviceNodes, NothingToRemove) {
  SimMachine machine("7");
  EXPECT_EQ(1, RemoveDeviceNodes(kId));
}

TEST(RemoveDeviceNodes, RefusesAnIdThatDoesNotFitItsBuffer) {
  SimMachine machine("xp");
  ASSERT_TRUE(SeedPrinterNodes());
  std::string longId = std::string(kId) + std::string(50 - 21, 'X');  // 50 characters
  ASSERT_EQ(50u, longId.size());
  EXPECT_EQ(0, RemoveDeviceNodes(longId.c_str()));
  EXPECT_FALSE(JournalQuery(machine).Called("SetupDiGetClassDevsA"));
  for (const auto& n : Nodes()) EXPECT_TRUE(DeviceNodeExists(n.instance)) << n.instance;
  EXPECT_EQ(0, RemoveDeviceNodes(nullptr));
  // 49 characters fit, and match on their first 21.
  longId.pop_back();
  EXPECT_EQ(1, RemoveDeviceNodes(longId.c_str()));
  for (const auto& n : Nodes()) EXPECT_NE(n.removed, DeviceNodeExists(n.instance)) << n.instance;
}

struct NodeFaultRow {
  const char* faults;
  bool released;  // the set was obtained, so it must be released
};

const NodeFaultRow kNodeFaults[] = {
    {"SetupDiGetClassDevsA:5", false},
    {"SetupDiRemoveDevice:5", true},
    {"SetupDiEnumDeviceInfo#2:6", true},
    {"SetupDiDestroyDeviceInfoList:6", true},
};

TEST(RemoveDeviceNodes, EveryFailureReturnsZero) {
  for (const auto& r : kNodeFaults) {
    SimMachine machine("xp");
    ASSERT_TRUE(SeedPrinterNodes()) << r.faults;
    winsim::Faults::Set(r.faults);
    EXPECT_EQ(0, RemoveDeviceNodes(kId)) << r.faults;
    EXPECT_EQ(r.released, JournalQuery(machine).Called("SetupDiDestroyDeviceInfoList")) << r.faults;
  }
}

TEST(RemoveDeviceNodes, PropertyReadFailureSkipsTheNode) {
  SimMachine machine("xp");
  ASSERT_TRUE(SeedPrinterNodes());
  winsim::Faults::Set("SetupDiGetDeviceRegistryPropertyA#1:13");
  EXPECT_EQ(1, RemoveDeviceNodes(kId));
  EXPECT_TRUE(DeviceNodeExists(Nodes()[0].instance));
  EXPECT_FALSE(DeviceNodeExists(Nodes()[1].instance));
}

}  // namespace
