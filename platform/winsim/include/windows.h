// The simulated Windows: the same names, types and constants as the Windows
// SDK, implemented by platform/winsim on a machine directory.
#pragma once

#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include "windef.h"
#include "winerror.h"
#include "winbase.h"
#include "winreg.h"
#include "wingdi.h"
#include "winuser.h"
