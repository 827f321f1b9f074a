// The user script is text a person writes, one answer a line.
#include <cstdint>
#include <sstream>
#include <string>

#include "core/script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string((const char*)data, size));
  std::string raw;
  while (std::getline(in, raw)) {
    winsim::ScriptLine line;
    std::string error;
    if (!winsim::Script::Parse(raw, &line, &error) && error.empty()) __builtin_trap();  // a refusal says why
  }
  return 0;
}
