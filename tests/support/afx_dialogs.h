// Ids of the framework's test dialogs (afx_dialogs.rc).
#pragma once

// Radio groups with controls between their buttons.
#define IDD_RADIO_GROUPS 200
#define IDC_A0 201  // WS_GROUP: group A
#define IDC_A1 202
#define IDC_A_CHECK 203  // a check box inside group A
#define IDC_A2 204       // a plain (not automatic) radio button
#define IDC_B0 211       // WS_GROUP: group B
#define IDC_B1 212
#define IDC_EDIT 213   // WS_GROUP: ends group B
#define IDC_AFTER 214  // a radio button behind the end of group B

// A check list box as the uninstaller has it.
#define IDD_CHECK_LIST 300
#define IDC_CHECK_LIST 301

// Strings: one short, one longer than the framework's first buffer, one
// that fills that buffer exactly. IDS_MISSING has no entry.
#define IDS_SHORT 1
#define IDS_LONG 2
#define IDS_EXACT 3
#define IDS_MISSING 4
