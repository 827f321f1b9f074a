// Icons and cursors of the simulated USER32.
#pragma once

#include <string>

#include "windows.h"

namespace winsim {

// The name the journal shows for an icon or cursor handle; empty for a
// handle that is none.
std::string IconName(HICON icon);

}  // namespace winsim
