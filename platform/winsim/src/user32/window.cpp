// Windows of the simulated USER32: classes, creation and destruction, text,
// styles, window data, geometry, focus and enabling.
#include "user32/window.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "comctl32/progress.h"
#include "core/handles.h"
#include "core/journal.h"
#include "core/machine.h"
#include "core/resources.h"
#include "user32/controls.h"
#include "user32/dialog.h"
#include "user32/message.h"

namespace winsim {

namespace {

// A class every module of the process finds by its name.
bool IsGlobalClass(const WindowClass& c) { return !c.system && (c.wc.style & CS_GLOBALCLASS); }

HandleTable<Window>& Table() {
  static HandleTable<Window> table(0x00010010, 0x10);
  return table;
}

std::vector<WindowClass>& Classes() {
  static std::vector<WindowClass> classes;
  return classes;
}

// Windows of the process end with it.
ProcessState g_windows(80, [] { Windows::Clear(); });

}  // namespace

RECT FrameOf(DWORD style, DWORD exStyle) {
  RECT r = {0, 0, 0, 0};
  if (style & WS_MINIMIZE) return r;
  int edge = 0;
  if ((style & WS_THICKFRAME))
    edge = kFrame;
  else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
    edge = kDlgFrame;
  else if (style & WS_BORDER)
    edge = kBorder;
  if (exStyle & WS_EX_CLIENTEDGE) edge += 2;
  r.left = r.right = r.bottom = edge;
  r.top = edge + (((style & WS_CAPTION) == WS_CAPTION) ? kCaption : 0);
  return r;
}

HWND Windows::focus = nullptr;
HWND Windows::active = nullptr;
HCURSOR Windows::cursor = nullptr;

Window* Windows::Get(HWND h) {
  Window* w = Table().Get(h);
  return w && !w->destroyed ? w : nullptr;
}

Window* Windows::New() {
  auto w = std::make_unique<Window>();
  Window* p = w.get();
  p->hwnd = (HWND)Table().Insert(std::move(w));
  return p;
}

void Windows::Remove(HWND h) { Table().Remove(h); }

std::vector<Window*> Windows::All() {
  // Handles are given out in rising order, so this is creation order.
  std::vector<Window*> list;
  for (Window* w : Table().All())
    if (!w->destroyed) list.push_back(w);
  return list;
}

void Windows::Clear() {
  Table().Clear();
  focus = active = nullptr;
  cursor = nullptr;
  Classes().clear();
}

const WindowClass* FindClass(const char* name, HINSTANCE instance) {
  RegisterSystemClasses();
  if (IS_INTRESOURCE(name)) return nullptr;
  // As USER32 looks a class up: the local classes of the module whose
  // instance is given (modules may each have one of the same name), then
  // the process's global classes, then the system's.
  for (const auto& c : Classes())
    if (!c.system && !IsGlobalClass(c) && c.wc.hInstance == instance && strcasecmp(c.name.c_str(), name) == 0)
      return &c;
  for (const auto& c : Classes())
    if (IsGlobalClass(c) && strcasecmp(c.name.c_str(), name) == 0) return &c;
  for (const auto& c : Classes())
    if (c.system && strcasecmp(c.name.c_str(), name) == 0) return &c;
  return nullptr;
}

void RegisterSystemClasses() {
  auto& classes = Classes();
  if (!classes.empty()) return;
  struct Sys {
    const char* name;
    WNDPROC proc;
    int extra;
  };
  const Sys sys[] = {
      {"Button", ButtonProc, 0},
      {"Static", StaticProc, 0},
      {"Edit", EditProc, 0},
      {"ListBox", ListBoxProc, 0},
      {"msctls_progress32", ProgressProc, 0},
      // The dialog class: DLGWINDOWEXTRA holds the DWLP_ slots.
      {"#32770", DialogClassProc, (int)(3 * sizeof(LONG_PTR) + 8)},
  };
  for (const auto& s : sys) {
    WindowClass c;
    c.name = s.name;
    memset(&c.wc, 0, sizeof c.wc);
    c.wc.lpfnWndProc = s.proc;
    c.wc.cbWndExtra = s.extra;
    c.system = true;
    classes.push_back(c);
  }
}

Window* DialogOf(Window* w) {
  while (w && !w->isDialog) w = Windows::Get(w->parent);
  return w;
}

Json UiPlace(Window* w) {
  Json j = Json::Object();
  Window* d = DialogOf(w);
  j.Set("dialog", d ? d->templateId : Json());
  if (d != w) j.Set("id", (long long)(int)w->id);
  return j;
}

RECT ClientRect(Window* w) {
  RECT r = {0, 0, 0, 0};
  // A minimised top-level window has no client area.
  if (w->style & WS_MINIMIZE) return r;
  RECT f = FrameOf(w->style, w->exStyle);
  r.right = std::max(0L + 0, (long)(w->rect.right - w->rect.left - f.left - f.right));
  r.bottom = std::max(0L + 0, (long)(w->rect.bottom - w->rect.top - f.top - f.bottom));
  return r;
}

Window* ActiveTopLevel() {
  Window* found = nullptr;
  for (Window* w : Windows::All())
    if (!(w->style & WS_CHILD) && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED)) found = w;
  return found;
}

void Invalidate(Window* w) {
  w->invalid = true;
  for (HWND c : w->children)
    if (Window* cw = Windows::Get(c)) Invalidate(cw);
}

void SetWindowTextInternal(Window* w, const char* text) {
  std::string t = text ? text : "";
  if (t == w->text) return;
  w->text = t;
  if (w->className == "ListBox" || w->className == "msctls_progress32") return;
  Window* d = DialogOf(w);
  if (w->isDialog || !(w->style & WS_CHILD)) {
    Journal::Ui("caption", Json::Object().Set("dialog", d ? d->templateId : Json()).Set("text", t));
  } else {
    Json j = UiPlace(w);
    j.Set("text", t);
    Journal::Ui("text", j);
  }
  if (w->style & WS_VISIBLE) Invalidate(w);
}

void EnableWindowInternal(Window* w, bool enable) {
  bool was = !(w->style & WS_DISABLED);
  if (was == enable) return;
  if (enable)
    w->style &= ~WS_DISABLED;
  else
    w->style |= WS_DISABLED;
  if (!enable && Windows::focus == w->hwnd) Windows::focus = nullptr;
  // A control that greys out or comes back is something a person sees.
  if (w->style & WS_CHILD) {
    Json j = UiPlace(w);
    j.Set("enabled", enable);
    Journal::Ui("enabled", j);
  }
  Send(w->hwnd, WM_ENABLE, enable, 0);
  Invalidate(w);
}

void ShowWindowInternal(Window* w, int cmd) {
  bool wasVisible = (w->style & WS_VISIBLE) != 0;
  bool wasMin = (w->style & WS_MINIMIZE) != 0;
  bool visible = cmd != SW_HIDE;
  bool minimized = wasMin;
  if (cmd == SW_MINIMIZE || cmd == SW_SHOWMINIMIZED || cmd == SW_SHOWMINNOACTIVE)
    minimized = true;
  else if (cmd == SW_RESTORE || cmd == SW_SHOWNORMAL || cmd == SW_SHOWMAXIMIZED)
    minimized = false;
  if (visible != wasVisible) Send(w->hwnd, WM_SHOWWINDOW, visible, 0);
  if (visible)
    w->style |= WS_VISIBLE;
  else
    w->style &= ~WS_VISIBLE;
  if (minimized)
    w->style |= WS_MINIMIZE;
  else
    w->style &= ~WS_MINIMIZE;
  if (minimized != wasMin) {
    RECT c = ClientRect(w);
    Send(w->hwnd, WM_SIZE, minimized ? SIZE_MINIMIZED : SIZE_RESTORED, MAKELPARAM(c.right, c.bottom));
    Json j = Json::Object().Set("dialog", w->isDialog ? w->templateId : Json());
    j.Set("event", minimized ? "minimized" : "restored");
    Journal::Ui("window", j);
    Invalidate(w);
  }
  if (visible && !(w->style & WS_CHILD) && !(w->style & WS_DISABLED)) Windows::active = w->hwnd;
  if (visible && !wasVisible) {
    Invalidate(w);
    if (w->isDialog && !w->shownReported) {
      w->shownReported = true;
      Json j = Json::Object().Set("dialog", w->templateId).Set("event", "shown").Set("caption", w->text);
      Json controls = Json::Array();
      for (HWND c : w->children) {
        Window* cw = Windows::Get(c);
        if (!cw) continue;
        controls.Add(Json::Object()
                         .Set("id", (long long)(int)cw->id)
                         .Set("class", cw->className)
                         .Set("text", cw->text)
                         .Set("x", (long long)cw->rect.left)
                         .Set("y", (long long)cw->rect.top)
                         .Set("cx", (long long)(cw->rect.right - cw->rect.left))
                         .Set("cy", (long long)(cw->rect.bottom - cw->rect.top))
                         .Set("style", (unsigned long long)cw->style)
                         .Set("enabled", !(cw->style & WS_DISABLED))
                         .Set("visible", (cw->style & WS_VISIBLE) != 0));
      }
      j.Set("controls", controls);
      Journal::Ui("dialog", j);
    }
  }
  if (!visible && wasVisible && Windows::active == w->hwnd) Windows::active = nullptr;
}

HWND CreateWindowInternal(DWORD exStyle, const char* className, const char* text, DWORD style, int x, int y, int cx,
                          int cy, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param, DWORD* error) {
  const WindowClass* wc = className ? FindClass(className, instance) : nullptr;
  if (!wc) {
    *error = ERROR_CANNOT_FIND_WND_CLASS;
    return nullptr;
  }
  Window* parentWindow = nullptr;
  if (parent && parent != HWND_MESSAGE) {
    parentWindow = Windows::Get(parent);
    if (!parentWindow) {
      *error = ERROR_INVALID_WINDOW_HANDLE;
      return nullptr;
    }
  }
  if ((style & WS_CHILD) && !parentWindow) {
    *error = ERROR_TLW_WITH_WSCHILD;
    return nullptr;
  }
  Window* w = Windows::New();
  w->className = wc->name;
  w->text = text && !IS_INTRESOURCE(text) ? text : "";
  w->style = style & ~WS_VISIBLE;
  w->exStyle = exStyle;
  w->proc = wc->wc.lpfnWndProc;
  w->instance = instance;
  w->extra.assign(wc->wc.cbWndExtra > 0 ? (size_t)wc->wc.cbWndExtra : 0, 0);
  if (x == CW_USEDEFAULT) x = y = 0;
  if (cx == CW_USEDEFAULT) cx = cy = 0;
  w->rect = {x, y, x + cx, y + cy};
  if (style & WS_CHILD) {
    w->parent = parent;
    w->id = (LONG_PTR)menu;
    parentWindow->children.push_back(w->hwnd);
  } else if (parentWindow) {
    // The owner of a top-level window is the parent's top-level window.
    Window* top = parentWindow;
    while (top && (top->style & WS_CHILD)) top = Windows::Get(top->parent);
    w->owner = top ? top->hwnd : nullptr;
  }
  HWND h = w->hwnd;
  CREATESTRUCTA cs;
  memset(&cs, 0, sizeof cs);
  cs.lpCreateParams = param;
  cs.hInstance = instance;
  cs.hMenu = menu;
  cs.hwndParent = parent;
  cs.x = x;
  cs.y = y;
  cs.cx = cx;
  cs.cy = cy;
  cs.style = (LONG)style;
  cs.lpszName = text;
  cs.lpszClass = className;
  cs.dwExStyle = exStyle;
  if (!Send(h, WM_NCCREATE, 0, (LPARAM)&cs) || Send(h, WM_CREATE, 0, (LPARAM)&cs) == -1) {
    if (Windows::Get(h)) DestroyWindowInternal(h);
    *error = 0;
    return nullptr;
  }
  if (!Windows::Get(h)) return nullptr;
  if (style & WS_VISIBLE) ShowWindowInternal(Windows::Get(h), SW_SHOW);
  return h;
}

void DestroyWindowInternal(HWND hwnd) {
  Window* w = Windows::Get(hwnd);
  if (!w) return;
  // Owned windows go first, then the window with its children. They are
  // taken by handle: destroying one may destroy another of the list.
  std::vector<HWND> owned;
  for (Window* o : Windows::All())
    if (o->owner == hwnd) owned.push_back(o->hwnd);
  for (HWND o : owned) DestroyWindowInternal(o);
  w = Windows::Get(hwnd);
  if (!w) return;
  if (w->style & WS_VISIBLE) ShowWindowInternal(w, SW_HIDE);
  Send(hwnd, WM_DESTROY, 0, 0);
  w = Windows::Get(hwnd);
  if (!w) return;
  std::vector<HWND> children = w->children;
  for (HWND c : children) DestroyWindowInternal(c);
  w = Windows::Get(hwnd);
  if (!w) return;
  Send(hwnd, WM_NCDESTROY, 0, 0);
  w = Windows::Get(hwnd);
  if (!w) return;
  w->destroyed = true;
  DropTimersOf(hwnd);
  if (Window* p = Windows::Get(w->parent))
    p->children.erase(std::remove(p->children.begin(), p->children.end(), hwnd), p->children.end());
  if (Windows::focus == hwnd) Windows::focus = nullptr;
  if (Windows::active == hwnd) Windows::active = nullptr;
  Windows::Remove(hwnd);
}

std::string Describe(Window* w) {
  std::string s;
  if (w->isDialog)
    s = "dialog " + (w->templateId.IsNull() ? std::string("(own template)") : w->templateId.Dump());
  else
    s = "window of class " + w->className;
  s += " \"" + w->text + "\"";
  for (HWND c : w->children) {
    Window* cw = Windows::Get(c);
    if (!cw || !(cw->style & WS_VISIBLE)) continue;
    s += "\n  " + std::to_string((int)cw->id) + " " + cw->className;
    if (cw->className == "Button") {
      DWORD type = ButtonType(cw);
      if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON || type == BS_CHECKBOX || type == BS_AUTOCHECKBOX)
        s += cw->check == BST_CHECKED ? " [x]" : " [ ]";
    }
    if (!cw->text.empty()) s += " \"" + cw->text + "\"";
    if (cw->style & WS_DISABLED) s += " (disabled)";
    if (cw->className == "msctls_progress32") s += " at " + std::to_string(cw->pbPos);
    for (const auto& item : cw->items) {
      s += "\n    ";
      if (item.drawnCheck >= 0) s += item.drawnCheck ? "[x] " : "[ ] ";
      s += item.text;
    }
  }
  return s;
}

}  // namespace winsim

using winsim::ApiCall;
using winsim::HandleJson;
using winsim::Json;
using winsim::NameJson;
using winsim::Window;
using winsim::Windows;

namespace {

// The live window a call names; null, with ERROR_INVALID_WINDOW_HANDLE as
// the last error, when the handle is none.
Window* Checked(HWND hwnd) {
  Window* w = Windows::Get(hwnd);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

// Screen position of the client area's origin.
POINT ClientOrigin(Window* w) {
  POINT p = {0, 0};
  while (w) {
    p.x += w->rect.left;
    p.y += w->rect.top;
    Window* parent = Windows::Get(w->parent);
    // The frame of each window lies between its rectangle and its client area.
    RECT frame = winsim::FrameOf(w->style & ~WS_MINIMIZE, w->exStyle);
    p.x += frame.left;
    p.y += frame.top;
    w = parent;
  }
  return p;
}

LONG_PTR GetLongPtr(Window* w, int index, bool* ok) {
  *ok = true;
  switch (index) {
    case GWL_STYLE:
      return (LONG)w->style;
    case GWL_EXSTYLE:
      return (LONG)w->exStyle;
    case GWLP_ID:
      return w->id;
    case GWLP_USERDATA:
      return w->userData;
    case GWLP_WNDPROC:
      return (LONG_PTR)w->proc;
    case GWLP_HINSTANCE:
      return (LONG_PTR)w->instance;
    case GWLP_HWNDPARENT:
      return (LONG_PTR)(w->parent ? w->parent : w->owner);
  }
  if (index >= 0 && (size_t)index + sizeof(LONG_PTR) <= w->extra.size()) {
    LONG_PTR v;
    memcpy(&v, &w->extra[(size_t)index], sizeof v);
    return v;
  }
  *ok = false;
  return 0;
}

LONG_PTR SetLongPtr(Window* w, int index, LONG_PTR value, bool* ok) {
  LONG_PTR old = GetLongPtr(w, index, ok);
  if (!*ok) return 0;
  switch (index) {
    case GWL_STYLE:
      w->style = (DWORD)value;
      break;
    case GWL_EXSTYLE:
      w->exStyle = (DWORD)value;
      break;
    case GWLP_ID:
      w->id = value;
      break;
    case GWLP_USERDATA:
      w->userData = value;
      break;
    case GWLP_WNDPROC:
      w->proc = (WNDPROC)value;
      break;
    case GWLP_HINSTANCE:
      w->instance = (HINSTANCE)value;
      break;
    case GWLP_HWNDPARENT:
      if (!(w->style & WS_CHILD)) w->owner = (HWND)value;
      break;
    default:
      memcpy(&w->extra[(size_t)index], &value, sizeof value);
      break;
  }
  return old;
}

}  // namespace

extern "C" {

ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass) {
  ApiCall call("RegisterClassA",
               {lpWndClass && !IS_INTRESOURCE(lpWndClass->lpszClassName)
                    ? Json::Object().Set("lpszClassName", lpWndClass->lpszClassName).Set("style", lpWndClass->style)
                    : HandleJson(lpWndClass)});
  if (call.Fault()) return call.Ret((ATOM)0);
  if (!lpWndClass || !lpWndClass->lpszClassName || IS_INTRESOURCE(lpWndClass->lpszClassName))
    return call.Fail(ERROR_INVALID_PARAMETER, (ATOM)0);
  winsim::RegisterSystemClasses();
  auto& classes = winsim::Classes();
  // A module has one local class of a name; the process one global class.
  bool global = (lpWndClass->style & CS_GLOBALCLASS) != 0;
  for (const auto& c : classes)
    if (!c.system && strcasecmp(c.name.c_str(), lpWndClass->lpszClassName) == 0 && winsim::IsGlobalClass(c) == global &&
        (global || c.wc.hInstance == lpWndClass->hInstance))
      return call.Fail(ERROR_CLASS_ALREADY_EXISTS, (ATOM)0);
  winsim::WindowClass c;
  c.name = lpWndClass->lpszClassName;
  c.wc = *lpWndClass;
  c.wc.lpszClassName = nullptr;
  c.wc.lpszMenuName = nullptr;
  classes.push_back(c);
  return call.Ret((ATOM)(0xC000 + classes.size()));
}

BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance) {
  ApiCall call("UnregisterClassA", {NameJson(lpClassName), HandleJson(hInstance)});
  auto& classes = winsim::Classes();
  for (auto it = classes.begin(); it != classes.end(); ++it)
    if (!it->system && it->wc.hInstance == hInstance && !IS_INTRESOURCE(lpClassName) &&
        strcasecmp(it->name.c_str(), lpClassName) == 0) {
      classes.erase(it);
      return call.Ret((BOOL)TRUE);
    }
  return call.Fail(ERROR_CLASS_DOES_NOT_EXIST);
}

BOOL WINAPI GetClassInfoA(HINSTANCE hInstance, LPCSTR lpClassName, LPWNDCLASSA lpWndClass) {
  ApiCall call("GetClassInfoA", {HandleJson(hInstance), NameJson(lpClassName), HandleJson(lpWndClass)});
  const winsim::WindowClass* c = winsim::FindClass(lpClassName, hInstance);
  if (!c || !lpWndClass) return call.Fail(c ? ERROR_NOACCESS : ERROR_CLASS_DOES_NOT_EXIST);
  *lpWndClass = c->wc;
  lpWndClass->lpszClassName = lpClassName;
  return call.Ret((BOOL)TRUE);
}

int WINAPI GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount) {
  ApiCall call("GetClassNameA", {HandleJson(hWnd), HandleJson(lpClassName), nMaxCount});
  Window* w = Checked(hWnd);
  if (!w) return call.Ret(0);
  if (!lpClassName || nMaxCount <= 0) return call.Fail(ERROR_INSUFFICIENT_BUFFER, 0);
  lstrcpynA(lpClassName, w->className.c_str(), nMaxCount);
  call.SetArg(1, Json(lpClassName));
  return call.Ret((int)strlen(lpClassName));
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                            LPVOID lpParam) {
  ApiCall call("CreateWindowExA",
               {dwExStyle, NameJson(lpClassName), lpWindowName, dwStyle, X, Y, nWidth, nHeight, HandleJson(hWndParent),
                HandleJson(hMenu), HandleJson(hInstance), HandleJson(lpParam)});
  if (call.Fault()) return call.Ret((HWND) nullptr);
  DWORD error = 0;
  HWND h = winsim::CreateWindowInternal(dwExStyle, lpClassName, lpWindowName, dwStyle, X, Y, nWidth, nHeight,
                                        hWndParent, hMenu, hInstance, lpParam, &error);
  if (!h && error) SetLastError(error);
  return call.Ret(h);
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
  ApiCall call("DestroyWindow", {HandleJson(hWnd)});
  if (!Checked(hWnd)) return call.Ret((BOOL)FALSE);
  winsim::DestroyWindowInternal(hWnd);
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI IsWindow(HWND hWnd) {
  ApiCall call("IsWindow", {HandleJson(hWnd)});
  return call.Ret((BOOL)(Windows::Get(hWnd) != nullptr));
}

BOOL WINAPI IsChild(HWND hWndParent, HWND hWnd) {
  ApiCall call("IsChild", {HandleJson(hWndParent), HandleJson(hWnd)});
  Window* w = Windows::Get(hWnd);
  while (w && (w->style & WS_CHILD)) {
    if (w->parent == hWndParent) return call.Ret((BOOL)TRUE);
    w = Windows::Get(w->parent);
  }
  return call.Ret((BOOL)FALSE);
}

HWND WINAPI GetParent(HWND hWnd) {
  ApiCall call("GetParent", {HandleJson(hWnd)});
  Window* w = Checked(hWnd);
  if (!w) return call.Ret((HWND) nullptr);
  // A child's parent, or a popup's owner.
  if (w->style & WS_CHILD) return call.Ret(w->parent);
  if (w->style & WS_POPUP) return call.Ret(w->owner);
  return call.Ret((HWND) nullptr);
}

HWND WINAPI GetWindow(HWND hWnd, UINT uCmd) {
  ApiCall call("GetWindow", {HandleJson(hWnd), uCmd});
  Window* w = Checked(hWnd);
  if (!w) return call.Ret((HWND) nullptr);
  std::vector<HWND> siblings;
  if (w->style & WS_CHILD) {
    if (Window* p = Windows::Get(w->parent)) siblings = p->children;
  } else {
    for (Window* t : Windows::All())
      if (!(t->style & WS_CHILD)) siblings.push_back(t->hwnd);
  }
  auto it = std::find(siblings.begin(), siblings.end(), hWnd);
  HWND r = nullptr;
  switch (uCmd) {
    case GW_HWNDFIRST:
      r = siblings.empty() ? nullptr : siblings.front();
      break;
    case GW_HWNDLAST:
      r = siblings.empty() ? nullptr : siblings.back();
      break;
    case GW_HWNDNEXT:
      r = (it != siblings.end() && it + 1 != siblings.end()) ? *(it + 1) : nullptr;
      break;
    case GW_HWNDPREV:
      r = (it != siblings.end() && it != siblings.begin()) ? *(it - 1) : nullptr;
      break;
    case GW_OWNER:
      r = w->owner;
      break;
    case GW_CHILD:
      r = w->children.empty() ? nullptr : w->children.front();
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      break;
  }
  return call.Ret(r);
}

HWND WINAPI GetDesktopWindow(void) {
  ApiCall call("GetDesktopWindow", {});
  return call.Ret((HWND)(uintptr_t)0x00010004);
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
  ApiCall call("GetWindowLongPtrA", {HandleJson(hWnd), nIndex});
  Window* w = Checked(hWnd);
  if (!w) return call.Ret((LONG_PTR)0);
  bool ok;
  LONG_PTR v = GetLongPtr(w, nIndex, &ok);
  if (!ok) SetLastError(ERROR_INVALID_INDEX);
  return call.Ret(v);
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
  ApiCall call("SetWindowLongPtrA", {HandleJson(hWnd), nIndex, (long long)dwNewLong});
  Window* w = Checked(hWnd);
  if (!w) return call.Ret((LONG_PTR)0);
  bool ok;
  LONG_PTR old = SetLongPtr(w, nIndex, dwNewLong, &ok);
  if (!ok) SetLastError(ERROR_INVALID_INDEX);
  return call.Ret(old);
}

LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex) {
  ApiCall call("GetWindowLongA", {HandleJson(hWnd), nIndex});
  Window* w = Checked(hWnd);
  if (!w) return call.Ret((LONG)0);
  bool ok;
  LONG_PTR v = GetLongPtr(w, nIndex, &ok);
  if (!ok) SetLastError(ERROR_INVALID_INDEX);
  return call.Ret((LONG)v);
}

LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong) {
  ApiCall call("SetWindowLongA", {HandleJson(hWnd), nIndex, (long long)dwNewLong});
  Window* w = Checked(hWnd);
  if (!w) return call.Ret((LONG)0);
  bool ok;
  LONG_PTR old = SetLongPtr(w, nIndex, dwNewLong, &ok);
  if (!ok) SetLastError(ERROR_INVALID_INDEX);
  return call.Ret((LONG)old);
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
  ApiCall call("SetWindowTextA", {HandleJson(hWnd), lpString});
  if (!Checked(hWnd)) return call.Ret((BOOL)FALSE);
  return call.Ret((BOOL)winsim::Send(hWnd, WM_SETTEXT, 0, (LPARAM)lpString));
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
  ApiCall call("GetWindowTextA", {HandleJson(hWnd), HandleJson(lpString), nMaxCount});
  if (!Checked(hWnd)) {
    if (lpString && nMaxCount > 0) *lpString = 0;
    return call.Ret(0);
  }
  if (!lpString || nMaxCount <= 0) return call.Ret(0);
  int n = (int)winsim::Send(hWnd, WM_GETTEXT, (WPARAM)nMaxCount, (LPARAM)lpString);
  call.SetArg(1, Json(lpString));
  return call.Ret(n);
}

int WINAPI GetWindowTextLengthA(HWND hWnd) {
  ApiCall call("GetWindowTextLengthA", {HandleJson(hWnd)});
  if (!Checked(hWnd)) return call.Ret(0);
  return call.Ret((int)winsim::Send(hWnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
  ApiCall call("EnableWindow", {HandleJson(hWnd), bEnable});
  Window* w = Checked(hWnd);
  if (!w) return call.Ret((BOOL)FALSE);
  // The answer is whether the window was disabled before.
  BOOL wasDisabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
  winsim::EnableWindowInternal(w, bEnable != FALSE);
  return call.Ret(wasDisabled);
}

BOOL WINAPI IsWindowEnabled(HWND hWnd) {
  ApiCall call("IsWindowEnabled", {HandleJson(hWnd)});
  Window* w = Checked(hWnd);
  return call.Ret((BOOL)(w && !(w->style & WS_DISABLED)));
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  ApiCall call("ShowWindow", {HandleJson(hWnd), nCmdShow});
  Window* w = Checked(hWnd);
  if (!w) return call.Ret((BOOL)FALSE);
  BOOL wasVisible = (w->style & WS_VISIBLE) ? TRUE : FALSE;
  winsim::ShowWindowInternal(w, nCmdShow);
  return call.Ret(wasVisible);
}

BOOL WINAPI IsWindowVisible(HWND hWnd) {
  ApiCall call("IsWindowVisible", {HandleJson(hWnd)});
  Window* w = Windows::Get(hWnd);
  // Visible only when every parent is visible too.
  while (w && (w->style & WS_VISIBLE) && (w->style & WS_CHILD)) w = Windows::Get(w->parent);
  return call.Ret((BOOL)(w && (w->style & WS_VISIBLE)));
}

BOOL WINAPI IsIconic(HWND hWnd) {
  ApiCall call("IsIconic", {HandleJson(hWnd)});
  Window* w = Windows::Get(hWnd);
  return call.Ret((BOOL)(w && (w->style & WS_MINIMIZE)));
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
  ApiCall call("GetClientRect", {HandleJson(hWnd), HandleJson(lpRect)});
  Window* w = Checked(hWnd);
  if (!w) return call.Ret((BOOL)FALSE);
  if (!lpRect) return call.Fail(ERROR_NOACCESS);
  *lpRect = winsim::ClientRect(w);
  call.SetArg(1, winsim::RectJson(lpRect));
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
  ApiCall call("GetWindowRect", {HandleJson(hWnd), HandleJson(lpRect)});
  Window* w = Checked(hWnd);
  if (!w) return call.Ret((BOOL)FALSE);
  if (!lpRect) return call.Fail(ERROR_NOACCESS);
  RECT r = w->rect;
  if (Window* p = Windows::Get(w->parent)) {
    POINT o = ClientOrigin(p);
    r.left += o.x;
    r.right += o.x;
    r.top += o.y;
    r.bottom += o.y;
  }
  *lpRect = r;
  call.SetArg(1, winsim::RectJson(&r));
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
  ApiCall call("ClientToScreen", {HandleJson(hWnd), HandleJson(lpPoint)});
  Window* w = Checked(hWnd);
  if (!w || !lpPoint) return call.Ret((BOOL)FALSE);
  POINT o = ClientOrigin(w);
  lpPoint->x += o.x;
  lpPoint->y += o.y;
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
  ApiCall call("ScreenToClient", {HandleJson(hWnd), HandleJson(lpPoint)});
  Window* w = Checked(hWnd);
  if (!w || !lpPoint) return call.Ret((BOOL)FALSE);
  POINT o = ClientOrigin(w);
  lpPoint->x -= o.x;
  lpPoint->y -= o.y;
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint) {
  ApiCall call("MoveWindow", {HandleJson(hWnd), X, Y, nWidth, nHeight, bRepaint});
  Window* w = Checked(hWnd);
  if (!w) return call.Ret((BOOL)FALSE);
  w->rect = {X, Y, X + nWidth, Y + nHeight};
  RECT c = winsim::ClientRect(w);
  winsim::Send(hWnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.right, c.bottom));
  if (bRepaint) winsim::Invalidate(w);
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags) {
  ApiCall call("SetWindowPos", {HandleJson(hWnd), HandleJson(hWndInsertAfter), X, Y, cx, cy, uFlags});
  Window* w = Checked(hWnd);
  if (!w) return call.Ret((BOOL)FALSE);
  RECT r = w->rect;
  if (!(uFlags & SWP_NOMOVE)) {
    r.right += X - r.left;
    r.bottom += Y - r.top;
    r.left = X;
    r.top = Y;
  }
  if (!(uFlags & SWP_NOSIZE)) {
    r.right = r.left + cx;
    r.bottom = r.top + cy;
  }
  w->rect = r;
  if (uFlags & SWP_SHOWWINDOW) winsim::ShowWindowInternal(w, SW_SHOWNA);
  if (uFlags & SWP_HIDEWINDOW) winsim::ShowWindowInternal(w, SW_HIDE);
  return call.Ret((BOOL)TRUE);
}

HWND WINAPI GetFocus(void) {
  ApiCall call("GetFocus", {});
  return call.Ret(Windows::Get(Windows::focus) ? Windows::focus : (HWND) nullptr);
}

HWND WINAPI SetFocus(HWND hWnd) {
  ApiCall call("SetFocus", {HandleJson(hWnd)});
  HWND old = Windows::Get(Windows::focus) ? Windows::focus : nullptr;
  if (hWnd) {
    Window* w = Checked(hWnd);
    if (!w) return call.Ret((HWND) nullptr);
    if (w->style & WS_DISABLED) return call.Ret((HWND) nullptr);
  }
  if (old == hWnd) return call.Ret(old);
  if (old) winsim::Send(old, WM_KILLFOCUS, (WPARAM)hWnd, 0);
  Windows::focus = hWnd;
  if (hWnd) {
    if (Window* d = winsim::DialogOf(Windows::Get(hWnd))) d->focus = hWnd;
    winsim::Send(hWnd, WM_SETFOCUS, (WPARAM)old, 0);
  }
  return call.Ret(old);
}

HWND WINAPI GetActiveWindow(void) {
  ApiCall call("GetActiveWindow", {});
  return call.Ret(Windows::Get(Windows::active) ? Windows::active : (HWND) nullptr);
}

BOOL WINAPI SetForegroundWindow(HWND hWnd) {
  ApiCall call("SetForegroundWindow", {HandleJson(hWnd)});
  Window* w = Checked(hWnd);
  if (!w) return call.Ret((BOOL)FALSE);
  Windows::active = hWnd;
  return call.Ret((BOOL)TRUE);
}

int WINAPI GetSystemMetrics(int nIndex) {
  ApiCall call("GetSystemMetrics", {nIndex});
  // A 1024 x 768 screen at 96 dpi with the classic window style.
  static const struct {
    int index;
    int value;
  } kMetrics[] = {
      {SM_CXSCREEN, winsim::kScreenWidth},
      {SM_CYSCREEN, winsim::kScreenHeight},
      {SM_CXICON, 32},
      {SM_CYICON, 32},
      {SM_CXSMICON, 16},
      {SM_CYSMICON, 16},
      {SM_CXCURSOR, 32},
      {SM_CYCURSOR, 32},
      {SM_CYCAPTION, winsim::kCaption},
      {SM_CXBORDER, winsim::kBorder},
      {SM_CYBORDER, winsim::kBorder},
      {SM_CXDLGFRAME, winsim::kDlgFrame},
      {SM_CYDLGFRAME, winsim::kDlgFrame},
      {SM_CXFRAME, winsim::kFrame},
      {SM_CYFRAME, winsim::kFrame},
      {SM_CXEDGE, 2},
      {SM_CYEDGE, 2},
      {SM_CXVSCROLL, 16},
      {SM_CYHSCROLL, 16},
      {SM_CXMINIMIZED, 160},
      {SM_CYMINIMIZED, 24},
      {SM_CXFULLSCREEN, winsim::kScreenWidth},
      {SM_CYFULLSCREEN, winsim::kScreenHeight - 30 - winsim::kCaption},
      {SM_CMOUSEBUTTONS, 3},
      {SM_MOUSEPRESENT, 1},
      {SM_CXMENUCHECK, 13},
      {SM_CYMENUCHECK, 13},
      {SM_CMONITORS, 1},
      {SM_CXVIRTUALSCREEN, winsim::kScreenWidth},
      {SM_CYVIRTUALSCREEN, winsim::kScreenHeight},
  };
  for (const auto& m : kMetrics)
    if (m.index == nIndex) return call.Ret(m.value);
  return call.Ret(0);
}

}  // extern "C"
