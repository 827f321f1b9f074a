// winsim reg DIR export [KEY] | import FILE: the machine's registry as
// REGEDIT4 text, and a .reg file merged into it as regedit merges one.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "command.h"
#include "core/machine.h"
#include "core/registry_tree.h"

namespace winsim {

static int Export(const Args& args) {
  if (args.size() > 3) return ToolError("reg: export takes at most one key");
  Registry& reg = Registry::Get();
  const RegKey* key = nullptr;
  if (args.size() == 3) {
    key = reg.Find(args[2]);
    if (!key) {
      Machine::Close(false);
      return ToolError("reg: no key '" + args[2] + "'");
    }
  }
  std::string text = reg.Export(key);
  fwrite(text.data(), 1, text.size(), stdout);
  Machine::Close(false);
  return 0;
}

static int Import(const Args& args) {
  if (args.size() != 3) return ToolError("usage: winsim reg DIR import FILE");
  std::ifstream in(args[2], std::ios::binary);
  if (!in) {
    Machine::Close(false);
    return ToolError("reg: cannot read " + args[2]);
  }
  std::stringstream text;
  text << in.rdbuf();
  try {
    Registry::Get().Import(text.str(), args[2]);
  } catch (const MachineError& e) {
    Machine::Close(false);
    return ToolError(e.what());
  }
  Machine::Close(true);
  return 0;
}

static int RunReg(const Args& args) {
  if (args.size() < 2 || (args[1] != "export" && args[1] != "import"))
    return ToolError("usage: winsim reg DIR export [KEY] | import FILE");
  try {
    Machine::Open(args[0]);
  } catch (const MachineError& e) {
    // The machine is left exactly as it is: nothing is written back.
    return ToolError(e.what());
  }
  return args[1] == "export" ? Export(args) : Import(args);
}

static ToolCommand g_reg("reg", "DIR export [KEY] | import FILE", RunReg);

}  // namespace winsim
