// File attributes as the tool prints them: one letter each.
#pragma once

#include <string>

#include "windows.h"

namespace winsim {

// R H S A D, and L for a junction or link, in that order; "-" for none.
std::string AttributeLetters(DWORD attributes);

}  // namespace winsim
