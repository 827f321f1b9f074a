// DeleteDirectoryTree over a tree of many files in twenty folders, beside
// the host's `rm -rf` of the same tree.
#include <benchmark/benchmark.h>
#include <windows.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
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

// The host's own removal of the same tree, as a person would type it.
void HostRemove(const std::string& root) {
  pid_t pid = 0;
  char rm[] = "rm", rf[] = "-rf", end[] = "--";
  char* argv[] = {rm, rf, end, const_cast<char*>(root.c_str()), nullptr};
  int status = 0;
  if (posix_spawnp(&pid, "rm", nullptr, nullptr, argv, environ) != 0 || waitpid(pid, &status, 0) != pid || status != 0)
    fprintf(stderr, "rm -rf %s failed\n", root.c_str());
}

// Each iteration removes the tree twice: through DeleteDirectoryTree (the
// time reported) and with `rm -rf` on the host. The counters give the
// host's time and the ratio of the two.
void BM_DeleteDirectoryTree(benchmark::State& state) {
  SimMachine machine("xp");
  const int files = (int)state.range(0);
  const std::string root = winsim::FileSystem::HostPath(kTree);
  double simSeconds = 0, hostSeconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    MakeTree(files);
    state.ResumeTiming();
    auto start = std::chrono::steady_clock::now();
    DeleteDirectoryTree(kTree);
    simSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.PauseTiming();
    if (GetFileAttributesA(kTree) != INVALID_FILE_ATTRIBUTES) state.SkipWithError("the tree is still there");
    MakeTree(files);
    start = std::chrono::steady_clock::now();
    HostRemove(root);
    hostSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * files);
  state.counters["host_ms"] = benchmark::Counter(hostSeconds * 1000, benchmark::Counter::kAvgIterations);
  state.counters["ratio"] = hostSeconds > 0 ? simSeconds / hostSeconds : 0;
}

BENCHMARK(BM_DeleteDirectoryTree)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
