// winsim new DIR --os KIND: a fresh machine with what Windows of that kind has.
#include <cstdio>

#include "command.h"
#include "core/machine.h"

namespace winsim {

static int RunNew(const Args& args) {
  std::string dir, os;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--os" && i + 1 < args.size())
      os = args[++i];
    else if (dir.empty() && args[i].rfind("--", 0) != 0)
      dir = args[i];
    else
      return ToolError("new: unexpected '" + args[i] + "'");
  }
  if (dir.empty() || os.empty()) return ToolError("usage: winsim new DIR --os " + KnownOsNames());
  if (!FindOsKind(os)) return ToolError("new: unknown --os '" + os + "'; known: " + KnownOsNames());
  try {
    Machine::Create(dir, os);
  } catch (const MachineError& e) {
    return ToolError(std::string("new: ") + e.what());
  }
  printf("created %s (%s)\n", dir.c_str(), FindOsKind(os)->description);
  return 0;
}

static ToolCommand g_new("new", "DIR --os 95|98|me|nt4|2000|xp|2003|vista|7|7-x64", RunNew);

}  // namespace winsim
