// Which Windows the 32-bit program runs on, reduced to one ordered code.
#pragma once

// WindowsKind codes. Callers compare them with < and >, so the numbers
// carry the order: the 9x family below every NT release, NT releases
// ascending, every 64-bit Windows above all. 2008 is never produced.
enum {
  kWindowsUnknown = 0,  // a version that matches no row: refused everywhere
  kWindows95 = 2000,
  kWindows98 = 2001,
  kWindowsMe = 2002,
  kWindowsNT4 = 2003,  // NT 4.0 and earlier
  kWindows2000 = 2004,
  kWindowsXP = 2005,
  kWindows2003 = 2006,
  kWindowsVista = 2007,
  kWindows7 = 2009,
  kWindows64 = 2010,  // any 64-bit Windows, whatever its version
};

// 1 when this program runs on 64-bit Windows (a 32-bit process under
// WOW64, or the 64-bit build), else 0.
int IsWow64();

// The WindowsKind of the running system. A version that matches no known
// release gives kWindowsUnknown, which lies below every supported code: the
// installer refuses it with its first message before touching anything, and
// the uninstaller removes nothing.
int ClassifyWindows();
