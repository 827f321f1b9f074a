// A compiled .res: the simulated loader must refuse what is not well formed
// rather than read past the data.
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/resources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly `size` bytes, so that the sanitizers see any overread.
  std::vector<unsigned char> bytes(data, data + size);
  std::vector<winsim::ResourceEntry> entries;
  if (winsim::Resources::Parse(bytes.data(), bytes.size(), &entries)) {
    for (const auto& e : entries) {
      if (e.size && (e.data < bytes.data() || e.data + e.size > bytes.data() + bytes.size())) __builtin_trap();
    }
  }
  return 0;
}
