// The uninstaller's window listing the printers of the driver among many
// local printers: the timer, FindPrinters (both EnumPrintersA calls, the
// name comparison, the sorted check list) and Cancel.
#include <benchmark/benchmark.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "core/script.h"
#include "sim_machine.h"
#include "sim_resources.h"
#include "spooler_fixture.h"
#include "uninstaller_dialog.h"

namespace {

void BM_FindPrinters(benchmark::State& state) {
  setenv("WINSIM_BIN", KVL_BENCH_BIN, 0);
  if (!UseResourceFile("uninstaller.res")) {
    state.SkipWithError("no uninstaller.res");
    return;
  }
  SimMachine machine("xp");
  spooler_fixture::TestDriver driver;
  driver.name = "VELKORA KVL-M720";
  driver.StageAndAdd();
  spooler_fixture::TestDriver other;
  other.name = "Office Laser";
  other.StageAndAdd();
  const int printers = (int)state.range(0), ours = printers / 10;
  for (int i = 0; i < printers; ++i) {
    char name[32];
    snprintf(name, sizeof name, "Printer %05d", (i * 7919) % printers);
    spooler_fixture::AddPrinterAndClose(name, i % 10 == 0 ? "VELKORA KVL-M720" : "Office Laser", "LPT1:");
  }
  CWinApp app("KVLM720_Uninstaller");
  app.m_lpCmdLine = const_cast<LPSTR>("");
  int listed = 0;
  for (auto _ : state) {
    winsim::Script::UseForTests("click 2\n");
    UninstallerDialog dlg;
    app.m_pMainWnd = &dlg;
    dlg.DoModal();
    app.m_pMainWnd = nullptr;
    listed = dlg.m_nPrinterCount;
  }
  if (listed != ours) state.SkipWithError("not every printer of the driver was listed");
  DropResourceFile();
  state.SetItemsProcessed(state.iterations() * printers);
}

BENCHMARK(BM_FindPrinters)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
