// What `winsim ls DIR WHAT ...` can list. Each kind of object registers a
// lister in its own file (files here; printers, drivers, monitors and
// devices with the spooler), so that the command grows without changes.
#pragma once

#include <string>
#include <vector>

#include "command.h"

namespace winsim {

struct LsLister {
  // what: the word after DIR; usage: the words after it, for the help text.
  // list gets the words after WHAT, runs on the open machine and returns the
  // exit status.
  LsLister(const char* what, const char* usage, int (*list)(const Args& args));
  const char* what;
  const char* usage;
  int (*list)(const Args& args);
};

const std::vector<LsLister*>& LsListers();

}  // namespace winsim
