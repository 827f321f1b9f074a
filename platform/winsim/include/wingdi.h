// GDI32 of the simulated Windows.
#pragma once

#include "windef.h"
