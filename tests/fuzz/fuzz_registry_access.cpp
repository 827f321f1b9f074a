// The key path and the permission specification of GrantRegistryAccess are
// text a caller hands in: any text is refused or applied, never read past its
// end, and the caller's text is left as it was. Input: the path, a line end,
// the permission text.
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/machine.h"
#include "registry_access.h"

namespace {

bool OpenMachine() {
  std::string dir = (std::filesystem::temp_directory_path() / "winsim-fuzz-XXXXXX").string();
  if (!mkdtemp(dir.data())) __builtin_trap();
  setenv("WINSIM_JOURNAL", "0", 1);  // millions of calls: no journal lines
  winsim::Machine::Create(dir + "/m", "vista");
  winsim::Machine::Open(dir + "/m");
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = OpenMachine();
  (void)ready;
  // The registry is not read again for each input: a grant only merges an
  // entry for one of the few names that resolve, so it stays small.
  std::string input((const char*)data, size);
  size_t cut = input.find('\n');
  // Each text on the heap at its exact size, so that a read past its end is
  // seen by AddressSanitizer.
  std::string path = input.substr(0, cut).c_str();
  std::string spec = cut == std::string::npos ? std::string() : std::string(input.substr(cut + 1).c_str());
  char* pszPath = strdup(path.c_str());
  char* pszSpec = strdup(spec.c_str());
  long status = GrantRegistryAccess(pszPath, pszSpec);
  if (path != pszPath || spec != pszSpec) __builtin_trap();
  if (path.size() >= 512 && status != 87) __builtin_trap();
  DWORD mask = 0;
  ParseAccessRights(pszSpec, &mask);
  free(pszPath);
  free(pszSpec);
  return 0;
}
