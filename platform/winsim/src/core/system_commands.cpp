#include "core/system_commands.h"

#include <cctype>
#include <utility>
#include <vector>

namespace winsim {

namespace {

std::vector<std::pair<std::string, SystemCommand>>& Commands() {
  static std::vector<std::pair<std::string, SystemCommand>> commands;
  return commands;
}

std::string Normalized(const std::string& s) {
  std::string out;
  bool blank = false;
  for (char c : s) {
    if (c == ' ' || c == '\t') {
      blank = true;
      continue;
    }
    if (blank && !out.empty()) out += ' ';
    blank = false;
    out += (char)tolower((unsigned char)c);
  }
  return out;
}

}  // namespace

void RegisterSystemCommand(const char* commandLine, SystemCommand run) {
  Commands().push_back({Normalized(commandLine), run});
}

SystemCommand FindSystemCommand(const std::string& commandLine) {
  std::string n = Normalized(commandLine);
  for (const auto& c : Commands())
    if (c.first == n) return c.second;
  return nullptr;
}

}  // namespace winsim
