// EnumPrintersA, level 2, the two calls the programs make, over a spooler
// holding many printers.
#include <benchmark/benchmark.h>
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <vector>

#include "sim_machine.h"
#include "spooler_fixture.h"

namespace {

void BM_EnumPrintersA(benchmark::State& state) {
  SimMachine machine("xp");
  spooler_fixture::TestDriver driver;
  driver.name = "VELKORA KVL-M720";
  driver.StageAndAdd();
  const int printers = (int)state.range(0);
  for (int i = 0; i < printers; ++i) {
    char name[32];
    snprintf(name, sizeof name, "Label printer %05d", i);
    spooler_fixture::AddPrinterAndClose(name, i % 3 ? "VELKORA KVL-M720" : "velkora kvl-m720", "LPT1:");
  }
  std::vector<BYTE> buffer;
  for (auto _ : state) {
    DWORD needed = 0, returned = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned);
    buffer.resize(needed);
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &returned) ||
        returned != (DWORD)printers)
      state.SkipWithError("EnumPrintersA failed");
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetItemsProcessed(state.iterations() * printers);
}

BENCHMARK(BM_EnumPrintersA)->Arg(1000)->Arg(3000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
