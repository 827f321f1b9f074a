// WINSIM_FAULTS is text from the environment.
#include <cstdint>
#include <string>

#include "core/faults.h"
#include "core/journal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  winsim::Faults::ParseError(std::string((const char*)data, size));
  return 0;
}
