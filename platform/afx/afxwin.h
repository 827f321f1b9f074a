// The small MFC-style framework of the programs, on the Win32 API alone.
// Programs include this one header.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "afxres.h"
#include "afxstring.h"
#include "afxcoll.h"
#include "afxmsg.h"
#include "afxwnd.h"
#include "afxapp.h"
#include "afxdlg.h"
#include "afxdd.h"
#include "afxctrl.h"
#include "afxgdi.h"
#include "afxfind.h"
