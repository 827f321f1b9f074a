// Runs a fuzz target without libFuzzer: every file of the corpus folders
// given, then deterministic mutations of each (bit flips, cuts, repeats), so
// that the ordinary build keeps the targets honest. `./dev fuzz` builds the
// same targets with clang's libFuzzer for real fuzzing.
#include <dirent.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static void Run(const std::string& s) { LLVMFuzzerTestOneInput((const uint8_t*)s.data(), s.size()); }

int main(int argc, char** argv) {
  std::vector<std::string> inputs;
  for (int i = 1; i < argc; ++i) {
    DIR* dir = opendir(argv[i]);
    if (!dir) continue;
    while (dirent* e = readdir(dir)) {
      if (e->d_name[0] == '.') continue;
      std::ifstream in(std::string(argv[i]) + "/" + e->d_name, std::ios::binary);
      std::stringstream s;
      s << in.rdbuf();
      inputs.push_back(s.str());
    }
    closedir(dir);
  }
  inputs.push_back("");
  uint32_t seed = 12345;
  auto next = [&seed]() { return seed = seed * 1103515245u + 12345u; };
  size_t runs = 0;
  for (const auto& input : inputs) {
    Run(input);
    ++runs;
    for (int m = 0; m < 300; ++m) {
      std::string s = input;
      switch (next() % 4) {
        case 0:
          if (!s.empty()) s[next() % s.size()] ^= (char)(1u << (next() % 8));
          break;
        case 1:
          s.resize(s.empty() ? 0 : next() % s.size());
          break;
        case 2:
          if (!s.empty()) s.insert(next() % s.size(), s.substr(next() % s.size(), 1 + next() % 16));
          break;
        default:
          s.insert(s.empty() ? 0 : next() % s.size(), 1, (char)(next() % 256));
      }
      Run(s);
      ++runs;
    }
  }
  printf("%zu inputs ran without a fault\n", runs);
  return 0;
}
