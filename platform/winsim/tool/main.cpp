// winsim: creates, runs and inspects simulated Windows machines.
#include <cstdio>
#include <cstring>

#include "command.h"

namespace winsim {

static std::vector<ToolCommand*>& Registry() {
  static std::vector<ToolCommand*> commands;
  return commands;
}

ToolCommand::ToolCommand(const char* n, const char* u, int (*r)(const Args&)) : name(n), usage(u), run(r) {
  Registry().push_back(this);
}

const std::vector<ToolCommand*>& ToolCommands() { return Registry(); }

int ToolError(const std::string& message) {
  fprintf(stderr, "winsim: %s\n", message.c_str());
  return 2;
}

}  // namespace winsim

static void Usage(FILE* out) {
  fprintf(out, "usage:\n");
  for (const auto* c : winsim::ToolCommands()) fprintf(out, "  winsim %s %s\n", c->name, c->usage);
}

int main(int argc, char** argv) {
  if (argc < 2 || strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0) {
    Usage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  for (const auto* c : winsim::ToolCommands()) {
    if (strcmp(argv[1], c->name) == 0) return c->run(winsim::Args(argv + 2, argv + argc));
  }
  fprintf(stderr, "winsim: unknown command '%s'\n", argv[1]);
  Usage(stderr);
  return 2;
}
