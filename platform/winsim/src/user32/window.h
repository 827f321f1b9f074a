// Windows of the simulated USER32: the window objects of the process, their
// classes, and the changes USER32 makes to windows on its own behalf (the
// journal records the program's calls, not these).
#pragma once

#include <string>
#include <vector>

#include "core/json.h"
#include "windows.h"

namespace winsim {

// The screen of the simulated machine.
const int kScreenWidth = 1024;
const int kScreenHeight = 768;
// Classic (unthemed) window frame metrics.
const int kCaption = 19;
const int kDlgFrame = 3;
const int kBorder = 1;
const int kFrame = 4;

// The frame around the client area of a window of this style: none for a
// minimised window, whose client area is empty.
RECT FrameOf(DWORD style, DWORD exStyle);

struct ListItem {
  std::string text;
  ULONG_PTR data = 0;
  bool selected = false;
  int drawnCheck = -1;  // the check box the owner last drew: -1 never, 0, 1
};

struct Window {
  HWND hwnd = nullptr;
  std::string className;
  std::string text;
  DWORD style = 0;
  DWORD exStyle = 0;
  LONG_PTR id = 0;
  RECT rect = {0, 0, 0, 0};  // in the parent's client area; on the screen for top-level windows
  HWND parent = nullptr;     // child windows
  HWND owner = nullptr;      // top-level windows
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  LONG_PTR userData = 0;
  std::vector<unsigned char> extra;  // cbWndExtra bytes (the DWLP_ slots of dialogs)
  std::vector<HWND> children;        // in creation (z) order
  bool invalid = false;
  bool destroyed = false;

  // Dialogs.
  bool isDialog = false;
  Json templateId;  // the template's id (number or name), null for a template of the program's own
  bool ended = false;
  INT_PTR result = 0;
  bool modal = false;
  bool shownReported = false;
  HFONT font = nullptr;
  HWND focus = nullptr;  // the control that had the focus
  HICON iconBig = nullptr;
  HICON iconSmall = nullptr;

  // Buttons.
  UINT check = BST_UNCHECKED;
  bool pushed = false;
  // Progress bars.
  int pbLow = 0, pbHigh = 100, pbPos = 0, pbStep = 10;
  // List boxes.
  std::vector<ListItem> items;
  int curSel = -1;
  int caret = 0;
  int topIndex = 0;
  int itemHeight = 13;
};

// The windows of the process.
class Windows {
 public:
  static Window* Get(HWND h);  // null for a handle that is no (live) window
  static Window* New();
  static void Remove(HWND h);
  static std::vector<Window*> All();  // in creation order
  static HWND focus;
  static HWND active;
  static HCURSOR cursor;
  static void Clear();  // the process ends
};

// What the caller gave for a class: its procedure and extra bytes.
struct WindowClass {
  std::string name;
  WNDCLASSA wc;
  bool system = false;
};
const WindowClass* FindClass(const char* name, HINSTANCE instance);
void RegisterSystemClasses();

HWND CreateWindowInternal(DWORD exStyle, const char* className, const char* text, DWORD style, int x, int y, int cx,
                          int cy, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param, DWORD* error);
void DestroyWindowInternal(HWND hwnd);
void SetWindowTextInternal(Window* w, const char* text);
void ShowWindowInternal(Window* w, int cmd);
void EnableWindowInternal(Window* w, bool enable);
void Invalidate(Window* w);

// The dialog that holds a window (itself for a dialog), or null.
Window* DialogOf(Window* w);
// {"dialog": <template id>} and, for a control, "id".
Json UiPlace(Window* w);

// The client rectangle (0,0,width,height; empty for a minimised window).
RECT ClientRect(Window* w);
// The window that takes what the user does now: the last enabled, visible
// top-level window of the process.
Window* ActiveTopLevel();
// A dialog created by USER32 from a template: the description a person reads.
std::string Describe(Window* w);

}  // namespace winsim
