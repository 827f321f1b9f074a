// Runs a program of the build (the winsim tool, a simulated program) and
// collects its exit status and output.
#pragma once

#include <string>
#include <vector>

struct ToolResult {
  int status = -1;
  std::string out;
  std::string err;
};

// The folder of the build's programs (WINSIM_BIN, set by CTest).
std::string BinDir();
// Runs BinDir()/program with the arguments; `env` entries are NAME=VALUE.
ToolResult RunTool(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& env = {});
