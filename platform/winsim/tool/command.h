// Sub-commands of the winsim tool register themselves here, one file each.
#pragma once

#include <string>
#include <vector>

namespace winsim {

using Args = std::vector<std::string>;

struct ToolCommand {
  // usage: the words after "winsim NAME", for the help text.
  ToolCommand(const char* name, const char* usage, int (*run)(const Args& args));
  const char* name;
  const char* usage;
  int (*run)(const Args& args);
};

const std::vector<ToolCommand*>& ToolCommands();
// Prints "winsim: message" to stderr and returns the exit status 2.
int ToolError(const std::string& message);

}  // namespace winsim
