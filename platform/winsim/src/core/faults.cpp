#include "core/faults.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include <map>
#include <vector>

#include "windows.h"

namespace winsim {

namespace {

struct FaultRule {
  std::string name;
  unsigned nth;  // 0: every call
  unsigned error;
};

struct FaultState {
  bool loaded = false;
  std::vector<FaultRule> rules;
  std::map<std::string, unsigned> counts;
};

FaultState& FState() {
  static FaultState s;
  return s;
}

bool ParseSpec(const std::string& spec, std::vector<FaultRule>* rules, std::string* error) {
  size_t pos = 0;
  while (pos < spec.size()) {
    size_t end = spec.find(',', pos);
    if (end == std::string::npos) end = spec.size();
    std::string item = spec.substr(pos, end - pos);
    pos = end + 1;
    if (item.empty()) continue;
    size_t colon = item.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= item.size()) {
      *error = "'" + item + "' is not NAME:ERROR or NAME#N:ERROR";
      return false;
    }
    FaultRule r{item.substr(0, colon), 0, 0};
    char* e = nullptr;
    r.error = (unsigned)strtoul(item.c_str() + colon + 1, &e, 0);
    if (*e || r.error == 0) {
      *error = "'" + item + "': the error number must be a positive number";
      return false;
    }
    size_t hash = r.name.find('#');
    if (hash != std::string::npos) {
      r.nth = (unsigned)strtoul(r.name.c_str() + hash + 1, &e, 10);
      if (*e || r.nth == 0) {
        *error = "'" + item + "': #N must count from 1";
        return false;
      }
      r.name.resize(hash);
    }
    rules->push_back(r);
  }
  return true;
}

}  // namespace

std::string Faults::ParseError(const std::string& spec) {
  std::vector<FaultRule> rules;
  std::string error;
  return ParseSpec(spec, &rules, &error) ? "" : error;
}

void Faults::Set(const std::string& spec) {
  FaultState& s = FState();
  s.rules.clear();
  s.counts.clear();
  s.loaded = true;
  std::string error;
  if (!ParseSpec(spec, &s.rules, &error)) {
    fprintf(stderr, "winsim: WINSIM_FAULTS: %s\n", error.c_str());
    _exit(98);
  }
}

unsigned Faults::Check(const char* name) {
  FaultState& s = FState();
  if (!s.loaded) {
    const char* env = getenv("WINSIM_FAULTS");
    Set(env ? env : "");
  }
  if (s.rules.empty()) return 0;
  unsigned n = ++s.counts[name];
  for (const auto& r : s.rules)
    if (r.name == name && (r.nth == 0 || r.nth == n)) return r.error;
  return 0;
}

}  // namespace winsim
