// Resource ids of the legacy removal library.
#pragma once

// The driver files every model shares; the language-module sets are built
// in code.
#define IDS_DRIVER_MODULE_X86 8
#define IDS_UI_MODULE_X86 9
#define IDS_HELP_FILE 10
#define IDS_DRIVER_MODULE_X64 11
#define IDS_UI_MODULE_X64 12
