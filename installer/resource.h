// Resource ids of the installer, shared by installer.rc and the code.
#pragma once

// Dialog templates and the icon.
#define IDD_INSTALLER_DIALOG 102
#define IDR_MAINFRAME 128
#define IDD_PORT_DIALOG 130

// Controls of the progress window (dialog 102).
#define IDC_PROGRESS 1000
#define IDC_PRODUCT_NAME 1001
#define IDC_DRIVER_VERSION 1002
#define IDC_STATUS 1003

// Radio buttons of the port dialog (dialog 130). The radio index follows
// the template order, not these ids.
#define IDC_PORT_USB 1000
#define IDC_PORT_COM1 1006
#define IDC_PORT_LPT1 1007
#define IDC_PORT_COM2 1008
#define IDC_PORT_COM3 1009
#define IDC_PORT_LPT2 1010
#define IDC_PORT_COM4 1011

// String table.
#define IDS_UNINSTALL_KEY 1        // uninstall entry under HKEY_LOCAL_MACHINE
#define IDS_PRODUCT_FOLDER 3       // folder of the uninstaller in the Windows directory
#define IDS_DISPLAY_NAME 6         // "DisplayName" of the uninstall entry
#define IDS_UNINSTALLER_SUBPATH 7  // appended to the Windows directory
#define IDS_USBPRINT_KEY 8         // the printer's USB print enumeration key
#define IDS_WINDOW_TITLE 10
#define IDS_DRIVER_NAME 11  // driver and printer name; product name shown
#define IDS_DRIVER_VERSION 12
#define IDS_UNINSTALLER_FILE 13  // Windows 2000, XP, Server 2003
#define IDS_VENDOR_KEY 14
#define IDS_VENDOR_KEY_GRANT 15  // the vendor key in the form of the access grant
#define IDS_HELP_FILE 19
#define IDS_CONFIG_MODULE_X86 20
#define IDS_DATA_FILE 21
#define IDS_DRIVER_MODULE_X86 22
#define IDS_MONITOR_MODULE_X86 23
#define IDS_MONITOR_MODULE_X64 30
#define IDS_CONFIG_MODULE_X64 31
#define IDS_DRIVER_MODULE_X64 32
#define IDS_UNINSTALLER_FILE_VISTA 35  // Vista and later
#define IDS_VERSION_STAMP_KEY 36
