// machine.ini is text a person edits.
#include <cstdint>
#include <string>

#include "core/ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  winsim::IniFile ini;
  std::string error;
  if (ini.Parse(std::string((const char*)data, size), "machine.ini", &error)) {
    ini.Get("os", "windir");
    ini.GetInt("os", "major", 0);
    ini.Set("state", "clock", "1");
  } else if (error.find("machine.ini:") != 0) {
    __builtin_trap();  // every refusal names the file and line
  }
  return 0;
}
