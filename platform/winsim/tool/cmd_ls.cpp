// winsim ls DIR WHAT ...: lists what the machine holds, through the listers
// registered for WHAT.
#include <cstdio>

#include "ls_lister.h"
#include "core/machine.h"

namespace winsim {

static std::vector<LsLister*>& Listers() {
  static std::vector<LsLister*> listers;
  return listers;
}

LsLister::LsLister(const char* w, const char* u, int (*l)(const Args&)) : what(w), usage(u), list(l) {
  Listers().push_back(this);
}

const std::vector<LsLister*>& LsListers() { return Listers(); }

static std::string Kinds() {
  std::string s;
  for (const LsLister* l : Listers()) {
    if (!s.empty()) s += "|";
    s += l->what;
  }
  return s;
}

static int RunLs(const Args& args) {
  if (args.size() < 2) return ToolError("usage: winsim ls DIR " + Kinds() + " ...");
  const LsLister* lister = nullptr;
  for (const LsLister* l : Listers())
    if (args[1] == l->what) lister = l;
  if (!lister) return ToolError("ls: unknown kind '" + args[1] + "'; known: " + Kinds());
  try {
    Machine::Open(args[0]);
  } catch (const MachineError& e) {
    return ToolError(std::string("ls: ") + e.what());
  }
  int status = lister->list(Args(args.begin() + 2, args.end()));
  // Looking changes nothing: the machine is not written back.
  Machine::Close(false);
  return status;
}

static ToolCommand g_ls("ls", "DIR printers|drivers|monitors|devices|files C:\\path", RunLs);

}  // namespace winsim
