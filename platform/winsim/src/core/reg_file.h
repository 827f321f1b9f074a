// REGEDIT4 text, as regedit writes and reads it, with each key's DACL on a
// ";dacl:" comment line under its header and ";volatile" under a volatile
// key's header (see reg_file.cpp for the format).
// The machine's registry.reg and the files of `winsim reg` are this text.
#pragma once

#include <string>
#include <vector>

#include "core/registry_tree.h"
#include "windows.h"

namespace winsim {

// One change a .reg file asks for, in the order of the file.
struct RegFileEdit {
  enum Kind { CreateKey, DeleteKey, SetValue, DeleteValue, SetDacl, SetVolatile };
  RegFileEdit(Kind k, std::string p) : kind(k), path(std::move(p)) {}
  Kind kind;
  std::string path;  // the key, its root spelled as in the file
  std::string name;  // of the value
  DWORD type = REG_NONE;
  std::vector<uint8_t> data;
  std::vector<RegAce> dacl;  // the entries the key holds itself
  bool daclProtected = false;
  bool nullDacl = false;
};

// Reads the whole text before anything changes. A line it cannot read
// throws MachineError "SOURCE:LINE: what".
std::vector<RegFileEdit> ParseRegFile(const std::string& text, const std::string& sourceName);

// Carries the edits out on the registry, in order.
void ApplyRegFile(const std::vector<RegFileEdit>& edits, Registry& reg);

// The text of these keys and of every key below them, after the REGEDIT4
// header line, CR LF line ends, in place of what *text held.
void RegFileText(const std::vector<const RegKey*>& keys, std::string* text);

}  // namespace winsim
