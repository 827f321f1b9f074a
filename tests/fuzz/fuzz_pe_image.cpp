// A module's PE headers and export table, as the simulated spooler reads a
// monitor DLL: anything that is not well formed is refused, never read
// past the end of the file.
#include <cstdint>
#include <string>

#include "core/pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly `size` bytes, so that the sanitizers see any overread.
  std::string bytes(reinterpret_cast<const char*>(data), size);
  winsim::PeImage image;
  if (winsim::ReadPeImage(bytes, &image)) {
    for (const auto& name : image.exports) {
      if (name.size() > size) __builtin_trap();
    }
  }
  return 0;
}
