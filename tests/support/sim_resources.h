// Compiled resource files of the build (in WINSIM_BIN) used as the
// program's resources of the simulated machine, for tests of windows.
#pragma once

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/resources.h"

// Loads WINSIM_BIN/<file>; false when it is not there.
inline bool UseResourceFile(const std::string& file) {
  const char* bin = getenv("WINSIM_BIN");
  std::ifstream in(std::string(bin ? bin : ".") + "/" + file, std::ios::binary);
  if (!in) return false;
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  winsim::Resources::UseForTests(bytes);
  return !bytes.empty();
}

// Back to the resources embedded in the test program (none).
inline void DropResourceFile() { winsim::Resources::UseForTests({}); }
