// Ids shared by the framework and the programs' resource scripts.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// The framework's help command, routed to CWinApp::OnHelp.
#define ID_HELP 0xE146
