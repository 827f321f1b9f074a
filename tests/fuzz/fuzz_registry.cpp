// registry.reg and the files `winsim reg import` reads are text a person
// edits. Whatever is read is written back in a form that reads back the same.
#include <stdlib.h>
#include <string.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/machine.h"
#include "core/reg_file.h"
#include "core/registry_tree.h"

namespace {

bool OpenMachine() {
  std::string dir = (std::filesystem::temp_directory_path() / "winsim-fuzz-XXXXXX").string();
  if (!mkdtemp(dir.data())) __builtin_trap();
  winsim::Machine::Create(dir + "/m", "xp");
  winsim::Machine::Open(dir + "/m");
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = OpenMachine();
  static const std::string fresh = winsim::Registry::Get().Export();
  // The fresh registry's edits, read once: what each input is undone to.
  static const std::vector<winsim::RegFileEdit> freshEdits = winsim::ParseRegFile(fresh, "registry.reg");
  // The texts of the registry after each input, written into buffers kept
  // from one input to the next. An input whose text outgrows them leaves a
  // larger buffer allocated, which libFuzzer's leak check finds still held.
  static std::string once, again;
  (void)ready;
  winsim::Registry& reg = winsim::Registry::Get();
  try {
    reg.Import(std::string((const char*)data, size), "fuzz.reg");
  } catch (const winsim::MachineError& e) {
    if (strncmp(e.what(), "fuzz.reg:", 9) != 0) __builtin_trap();  // every refusal names the line
    reg.Export(&again);
    if (again != fresh) __builtin_trap();  // and leaves the registry as it was
    return 0;
  }
  reg.Export(&once);
  try {
    reg.Import(once, "export.reg");
  } catch (const winsim::MachineError&) {
    __builtin_trap();  // our own text must read back
  }
  reg.Export(&again);
  if (again != once) __builtin_trap();
  // The fresh registry again for the next input, from its edits read once.
  // Done here rather than before each input, so that a refused input costs
  // only its own parse and every input frees what it allocated (libFuzzer
  // looks for leaks after an input that did not).
  winsim::Registry::Load(freshEdits);
  return 0;
}
