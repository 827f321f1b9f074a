// A fresh installation on COM1 of a simulated Windows XP machine: the wall
// time of the installer's own work beside the virtual time of the pauses it
// makes so that a person can follow the steps.
#include <benchmark/benchmark.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "core/machine.h"
#include "core/script.h"
#include "install_engine.h"
#include "sim_files.h"
#include "sim_machine.h"
#include "sim_resources.h"
#include "windows_kind.h"

namespace {

bool LayPackage() {
  std::error_code ec;
  if (!MakeDir("C:\\pkg")) return false;
  std::filesystem::copy(KVL_PACKAGE_DIR, HostOf("C:\\pkg"), std::filesystem::copy_options::recursive, ec);
  return !ec && SetCurrentDirectoryA("C:\\pkg");
}

void BM_InstallOnCom1(benchmark::State& state) {
  setenv("WINSIM_BIN", KVL_BENCH_BIN, 0);
  if (!UseResourceFile("installer.res")) {
    state.SkipWithError("no installer.res");
    return;
  }
  double workMs = 0, pausedMs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto machine = std::make_unique<SimMachine>("xp");
    if (!LayPackage()) {
      state.SkipWithError("the package could not be laid");
      break;
    }
    winsim::Script::UseForTests("msgbox no\n");
    const uint64_t virtualStart = winsim::Machine::Current().Now();
    const auto start = std::chrono::steady_clock::now();
    state.ResumeTiming();

    InstallEngine engine;
    engine.m_nWindowsKind = kWindowsXP;
    engine.Install(1000);

    state.PauseTiming();
    workMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    pausedMs += (double)(winsim::Machine::Current().Now() - virtualStart);
    machine.reset();
    state.ResumeTiming();
  }
  DropResourceFile();
  if (state.iterations() == 0 || pausedMs == 0) return;
  state.counters["pauses_ms"] = pausedMs / (double)state.iterations();
  state.counters["work_pct_of_pauses"] = 100.0 * workMs / pausedMs;
}

BENCHMARK(BM_InstallOnCom1)->Unit(benchmark::kMillisecond);

}  // namespace
