// Fault injection: calls of the simulated Windows made to fail on purpose.
#pragma once

#include <string>

namespace winsim {

// Call counting and fault injection from WINSIM_FAULTS, e.g.
// "AddPrinterDriverA:5,AddMonitorA#2:87": the named call (the n-th call of
// this process with #n) fails with that error number.
class Faults {
 public:
  static unsigned Check(const char* name);
  static void Set(const std::string& spec);                // for tests; replaces the fault list and the counts
  static std::string ParseError(const std::string& spec);  // "" when the fault list is well formed
};

}  // namespace winsim
