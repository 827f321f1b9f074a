// RemoveDeviceNodes walking many USB device nodes, one in ten the printer's
// (as a printer plugged into many ports over time leaves behind).
#include <benchmark/benchmark.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "device_nodes.h"
#include "setupapi/device_store.h"
#include "sim_machine.h"

namespace {

std::string Instance(int i) {
  char id[96];
  if (i % 10 == 0)
    snprintf(id, sizeof id, "USB\\VID_7A3C&PID_0008\\5&%08X&0&%d", i, i % 4);
  else
    snprintf(id, sizeof id, "USB\\VID_%04X&PID_%04X\\6&%08X&0&1", 0x1000 + i % 4000, i, i);
  return id;
}

void SeedPrinters(int nodes) {
  for (int i = 0; i < nodes; i += 10)
    winsim::devices::AddNode(Instance(i), {"USB\\Vid_7A3C&Pid_0008&Rev_0100", "USB\\Vid_7A3C&Pid_0008"}, i % 20 == 0);
}

void BM_RemoveDeviceNodes(benchmark::State& state) {
  SimMachine machine("xp");
  const int nodes = (int)state.range(0);
  for (int i = 0; i < nodes; ++i) {
    if (i % 10 == 0) continue;
    char hwid[64];
    snprintf(hwid, sizeof hwid, "USB\\Vid_%04X&Pid_%04X&Rev_0001", 0x1000 + i % 4000, i);
    winsim::devices::AddNode(Instance(i), {hwid}, true);
  }
  for (auto _ : state) {
    state.PauseTiming();
    SeedPrinters(nodes);
    state.ResumeTiming();
    if (RemoveDeviceNodes("USB\\Vid_7A3C&Pid_0008") != 1) state.SkipWithError("RemoveDeviceNodes failed");
  }
  state.SetItemsProcessed(state.iterations() * nodes);
}

BENCHMARK(BM_RemoveDeviceNodes)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
