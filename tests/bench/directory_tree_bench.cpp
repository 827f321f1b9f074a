// DeleteDirectoryTree over a tree of many files in twenty folders.
#include <benchmark/benchmark.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "directory_tree.h"
#include "core/filesystem.h"
#include "sim_machine.h"

namespace {

const char kTree[] = "C:\\WINDOWS\\system32\\spool\\DRIVERS\\W32X86\\velkora_kvl_m7207188";

// Made on the host side: the setup is not what is measured.
void MakeTree(int files) {
  std::string root = winsim::FileSystem::HostPath(kTree);
  for (int d = 0; d < 20; ++d) std::filesystem::create_directories(root + "/folder" + std::to_string(d));
  for (int i = 0; i < files; ++i) {
    std::string path = root + "/folder" + std::to_string(i % 20) + "/file" + std::to_string(i) + ".dll";
    if (FILE* f = fopen(path.c_str(), "wb")) fclose(f);
  }
}

void BM_DeleteDirectoryTree(benchmark::State& state) {
  SimMachine machine("xp");
  const int files = (int)state.range(0);
  for (auto _ : state) {
    state.PauseTiming();
    MakeTree(files);
    state.ResumeTiming();
    DeleteDirectoryTree(kTree);
    if (GetFileAttributesA(kTree) != INVALID_FILE_ATTRIBUTES) state.SkipWithError("the tree is still there");
  }
  state.SetItemsProcessed(state.iterations() * files);
}

BENCHMARK(BM_DeleteDirectoryTree)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
