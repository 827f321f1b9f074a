// Resource ids of the uninstaller, shared by uninstaller.rc and the code.
#pragma once

// The window and the icon.
#define IDD_UNINSTALLER_DIALOG 102
#define IDR_MAINFRAME 128

// Controls of the window (dialog 102); Cancel is IDCANCEL.
#define IDC_STATUS 1000
#define IDC_UNINSTALL 1001
#define IDC_PROGRESS 1002
#define IDC_PRINTER_LIST 1006

// String table.
#define IDS_USBPRINT_KEY 2        // the printer's USB print enumeration key under HKEY_LOCAL_MACHINE
#define IDS_USBPRINT_KEY_GRANT 3  // the same key in the form of the access grant
#define IDS_DRIVER_NAME 4         // driver name, and the name of the first printer
#define IDS_UNINSTALL_KEY 7       // uninstall entry under HKEY_LOCAL_MACHINE
#define IDS_WINDOW_TITLE 10
#define IDS_DATA_FILE 18
#define IDS_BA0_FILE 19
#define IDS_PP0_FILE 20
#define IDS_DRIVER_MODULE_X86 21
#define IDS_DRIVER_MODULE_X64 22
#define IDS_CONFIG_MODULE_X86 23
#define IDS_CONFIG_MODULE_X64 24
#define IDS_HELP_FILE 25
