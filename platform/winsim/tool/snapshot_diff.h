// What changed between a snapshot and the machine now, one change a line,
// in the order of the registry keys and then of the paths of drive C:
// (each key or folder followed by what lies below it; names compared and
// sorted without regard to letter case):
//
//   + key KEY                        - key KEY
//   + dacl KEY ENTRIES               - dacl KEY ENTRIES
//   ~ dacl KEY OLD -> NEW
//   + value KEY "Name"=DATA          - value KEY "Name"=DATA
//   ~ value KEY "Name"=OLD -> NEW
//   + folder C:\PATH attributes L    - folder C:\PATH attributes L
//   ~ folder C:\PATH attributes OLD -> NEW
//   + file C:\PATH size N attributes L
//   - file C:\PATH size N attributes L
//   ~ file C:\PATH size OLD -> NEW
//   ~ file C:\PATH attributes OLD -> NEW
//   ~ file C:\PATH content           same size, other bytes
//   ~ folder C:\PATH content         a junction that points elsewhere
//
// KEY is the full key path (HKEY_LOCAL_MACHINE\...); a value is written as
// in a .reg file, the default value as @, DATA as regedit writes it on one
// line ("text", dword:0000000a, hex(7):41,00,...). ENTRIES are the entries a
// key holds itself, as on its ";dacl" line of registry.reg ("protected:
// ...", "null"), and "inherited" for a key that holds none. An added or
// removed key brings the lines of all its values and subkeys, an added or
// removed folder those of what it holds, and a file that became a folder (or
// the other way) is one removed and one added. Attributes are letters as
// `winsim ls` prints them.
#pragma once

#include <string>
#include <vector>

#include "snapshot_store.h"

namespace winsim {

// before and after are registry texts as Registry::Export writes them.
std::vector<std::string> DiffRegistry(const std::string& before, const std::string& after);
std::vector<std::string> DiffDrive(const std::vector<DriveEntry>& before, const std::vector<DriveEntry>& after);

}  // namespace winsim
