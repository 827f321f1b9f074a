// The default window procedure and the system's controls: buttons (push,
// check, radio with their groups, group boxes), statics, edits (text only)
// and list boxes (sorted, with item data, selections and owner drawing).
#include "user32/controls.h"

#include <strings.h>

#include <algorithm>
#include <cstring>

#include "core/journal.h"
#include "gdi32/dc.h"
#include "user32/message.h"

namespace winsim {

namespace {

// The controls draw nothing a person needs to read beyond their state.
void Paint(HWND hwnd) {
  if (Window* w = Windows::Get(hwnd)) w->invalid = false;
}

void Notify(Window* w, WORD code) {
  if (Window* parent = Windows::Get(w->parent))
    Send(parent->hwnd, WM_COMMAND, MAKEWPARAM((WORD)w->id, code), (LPARAM)w->hwnd);
}

void SetCheck(Window* w, UINT check) {
  if (w->check == check) return;
  w->check = check;
  Json j = UiPlace(w);
  j.Set("checked", (long long)check);
  Journal::Ui("check", j);
  Invalidate(w);
}

// The radio buttons in the group of `w`: from the WS_GROUP control before
// it to the next WS_GROUP control.
std::vector<Window*> GroupOf(Window* w) {
  std::vector<Window*> group;
  Window* parent = Windows::Get(w->parent);
  if (!parent) return group;
  const auto& kids = parent->children;
  size_t at = std::find(kids.begin(), kids.end(), w->hwnd) - kids.begin();
  size_t start = at;
  while (start > 0) {
    Window* c = Windows::Get(kids[start]);
    if (c && (c->style & WS_GROUP)) break;
    --start;
  }
  for (size_t i = start; i < kids.size(); ++i) {
    Window* c = Windows::Get(kids[i]);
    if (!c) continue;
    if (i > start && (c->style & WS_GROUP)) break;
    group.push_back(c);
  }
  return group;
}

void ButtonClicked(Window* w) {
  HWND h = w->hwnd;
  switch (ButtonType(w)) {
    case BS_AUTOCHECKBOX:
      Send(h, BM_SETCHECK, w->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
      break;
    case BS_AUTO3STATE:
      Send(h, BM_SETCHECK, (w->check + 1) % 3, 0);
      break;
    case BS_AUTORADIOBUTTON:
      Send(h, BM_SETCHECK, BST_CHECKED, 0);
      for (Window* c : GroupOf(w))
        if (c != w && c->className == "Button" && ButtonType(c) == BS_AUTORADIOBUTTON)
          Send(c->hwnd, BM_SETCHECK, BST_UNCHECKED, 0);
      break;
  }
  if (Window* again = Windows::Get(h)) Notify(again, BN_CLICKED);
}

bool IsCheckable(DWORD type) {
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON ||
         type == BS_3STATE || type == BS_AUTO3STATE;
}

// List boxes.
bool HasStrings(Window* w) {
  return !(w->style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) || (w->style & LBS_HASSTRINGS);
}

bool MultiSelect(Window* w) { return (w->style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0; }

void ListEvent(Window* w, const char* event, int index, const std::string* text) {
  Json j = UiPlace(w);
  j.Set("event", event);
  if (index >= 0) j.Set("index", (long long)index);
  if (text) j.Set("text", *text);
  Journal::Ui("list", j);
}

void DeleteItemNotice(Window* w, int index) {
  const ListItem& item = w->items[(size_t)index];
  bool ownerDraw = (w->style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0;
  if (!ownerDraw && !item.data) return;
  DELETEITEMSTRUCT d;
  d.CtlType = ODT_LISTBOX;
  d.CtlID = (UINT)w->id;
  d.itemID = (UINT)index;
  d.hwndItem = w->hwnd;
  d.itemData = item.data;
  Send(w->parent, WM_DELETEITEM, (WPARAM)w->id, (LPARAM)&d);
}

int InsertItem(Window* w, int index, LPARAM lParam) {
  ListItem item;
  if (HasStrings(w))
    item.text = lParam ? (const char*)lParam : "";
  else
    item.data = (ULONG_PTR)lParam;
  if (index < 0 || index > (int)w->items.size()) index = (int)w->items.size();
  w->items.insert(w->items.begin() + index, item);
  if (w->curSel >= index) ++w->curSel;
  ListEvent(w, "add", index, HasStrings(w) ? &item.text : nullptr);
  Invalidate(w);
  return index;
}

void DrawItems(Window* w) {
  bool ownerDraw = (w->style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0;
  if (!ownerDraw) return;
  RECT client = ClientRect(w);
  HWND h = w->hwnd;
  UINT id = (UINT)w->id;
  HWND parent = w->parent;
  for (size_t i = (size_t)std::max(0, w->topIndex);; ++i) {
    w = Windows::Get(h);
    if (!w || i >= w->items.size()) break;
    int top = ((int)i - w->topIndex) * w->itemHeight;
    if (top >= client.bottom && client.bottom > 0) break;
    DRAWITEMSTRUCT d;
    d.CtlType = ODT_LISTBOX;
    d.CtlID = id;
    d.itemID = (UINT)i;
    d.itemAction = ODA_DRAWENTIRE;
    bool selected = MultiSelect(w) ? w->items[i].selected : (int)i == w->curSel;
    d.itemState = (selected ? ODS_SELECTED : 0) | ((w->style & WS_DISABLED) ? ODS_DISABLED : 0) |
                  (Windows::focus == h && (int)i == w->caret ? ODS_FOCUS : 0);
    d.hwndItem = h;
    d.hDC = NewDC(h, (int)i);
    d.rcItem = {0, top, client.right, top + w->itemHeight};
    d.itemData = w->items[i].data;
    Send(parent, WM_DRAWITEM, id, (LPARAM)&d);
    FreeDC(d.hDC);
  }
}

int CompareNoCase(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()); }

}  // namespace

DWORD ButtonType(Window* w) { return w->style & BS_TYPEMASK; }

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = Windows::Get(hwnd);
  if (!w) return 0;
  DWORD type = ButtonType(w);
  switch (msg) {
    case BM_GETCHECK:
      return IsCheckable(type) ? w->check : 0;
    case BM_SETCHECK:
      if (IsCheckable(type)) SetCheck(w, (UINT)wParam & 3);
      return 0;
    case BM_GETSTATE:
      return (IsCheckable(type) ? w->check : 0) | (w->pushed ? BST_PUSHED : 0) |
             (Windows::focus == hwnd ? BST_FOCUS : 0);
    case BM_SETSTATE:
      w->pushed = wParam != 0;
      return 0;
    case BM_SETSTYLE:
      w->style = (w->style & ~(DWORD)0xFFFF) | (DWORD)(wParam & 0xFFFF);
      Invalidate(w);
      return 0;
    case BM_CLICK:
      if (w->style & WS_DISABLED) return 0;
      Send(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
      Send(hwnd, WM_LBUTTONUP, 0, 0);
      return 0;
    case WM_LBUTTONDOWN:
      if (type == BS_GROUPBOX) return 0;
      w->pushed = true;
      if (Windows::focus != hwnd) {
        HWND old = Windows::focus;
        Windows::focus = hwnd;
        if (Window* d = DialogOf(w)) d->focus = hwnd;
        if (Windows::Get(old)) Send(old, WM_KILLFOCUS, (WPARAM)hwnd, 0);
      }
      return 0;
    case WM_LBUTTONUP:
      if (!w->pushed) return 0;
      w->pushed = false;
      ButtonClicked(w);
      return 0;
    case WM_GETDLGCODE:
      switch (type) {
        case BS_DEFPUSHBUTTON:
          return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_PUSHBUTTON:
          return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
          return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_GROUPBOX:
          return DLGC_STATIC;
      }
      return DLGC_BUTTON;
    case WM_PAINT:
      Paint(hwnd);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    case WM_PAINT:
      Paint(hwnd);
      return 0;
    case WM_NCHITTEST:
      return HTTRANSPARENT;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case WM_PAINT:
      Paint(hwnd);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = Windows::Get(hwnd);
  if (!w) return 0;
  int count = (int)w->items.size();
  int index = (int)wParam;
  bool inRange = index >= 0 && index < count;
  switch (msg) {
    case WM_CREATE:
      if (w->style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) {
        // The owner says how high an item is.
        MEASUREITEMSTRUCT m;
        m.CtlType = ODT_LISTBOX;
        m.CtlID = (UINT)w->id;
        m.itemID = 0;
        m.itemWidth = (UINT)ClientRect(w).right;
        m.itemHeight = 13;
        m.itemData = 0;
        Send(w->parent, WM_MEASUREITEM, (WPARAM)w->id, (LPARAM)&m);
        if ((w = Windows::Get(hwnd)) && m.itemHeight > 0) w->itemHeight = (int)m.itemHeight;
      }
      return 0;
    case LB_ADDSTRING: {
      int at = count;
      if ((w->style & LBS_SORT) && HasStrings(w)) {
        std::string text = lParam ? (const char*)lParam : "";
        at = 0;
        while (at < count && CompareNoCase(w->items[(size_t)at].text, text) <= 0) ++at;
      }
      return InsertItem(w, at, lParam);
    }
    case LB_INSERTSTRING:
      if (index < -1 || index > count) return LB_ERR;
      return InsertItem(w, index, lParam);
    case LB_DELETESTRING: {
      if (!inRange) return LB_ERR;
      DeleteItemNotice(w, index);
      if (!(w = Windows::Get(hwnd))) return 0;
      std::string text = w->items[(size_t)index].text;
      w->items.erase(w->items.begin() + index);
      if (w->curSel == index)
        w->curSel = -1;
      else if (w->curSel > index)
        --w->curSel;
      ListEvent(w, "delete", index, &text);
      Invalidate(w);
      return (LRESULT)w->items.size();
    }
    case LB_RESETCONTENT:
      for (int i = 0; i < count; ++i) {
        DeleteItemNotice(w, i);
        if (!(w = Windows::Get(hwnd))) return 0;
      }
      w->items.clear();
      w->curSel = -1;
      w->caret = w->topIndex = 0;
      ListEvent(w, "reset", -1, nullptr);
      Invalidate(w);
      return 0;
    case LB_GETCOUNT:
      return count;
    case LB_GETTEXT:
      if (!inRange || !lParam) return LB_ERR;
      // The caller's buffer holds LB_GETTEXTLEN + 1 characters, as the
      // message requires.
      if (HasStrings(w)) {
        const std::string& t = w->items[(size_t)index].text;
        memcpy((char*)lParam, t.c_str(), t.size() + 1);
        return (LRESULT)t.size();
      }
      memcpy((void*)lParam, &w->items[(size_t)index].data, sizeof(ULONG_PTR));
      return sizeof(ULONG_PTR);
    case LB_GETTEXTLEN:
      if (!inRange) return LB_ERR;
      return HasStrings(w) ? (LRESULT)w->items[(size_t)index].text.size() : (LRESULT)sizeof(ULONG_PTR);
    case LB_SETITEMDATA:
      if (!inRange) {
        SetLastError(ERROR_INVALID_INDEX);
        return LB_ERR;
      }
      w->items[(size_t)index].data = (ULONG_PTR)lParam;
      return TRUE;
    case LB_GETITEMDATA:
      if (!inRange) return LB_ERR;
      return (LRESULT)w->items[(size_t)index].data;
    case LB_GETSEL:
      if (!inRange) return LB_ERR;
      return MultiSelect(w) ? (w->items[(size_t)index].selected ? 1 : 0) : (index == w->curSel ? 1 : 0);
    case LB_SETSEL: {
      if (!MultiSelect(w)) return LB_ERR;
      int which = (int)lParam;
      if (which == -1) {
        for (auto& item : w->items) item.selected = wParam != 0;
      } else {
        if (which < 0 || which >= count) return LB_ERR;
        w->items[(size_t)which].selected = wParam != 0;
      }
      Invalidate(w);
      return 0;
    }
    case LB_SETCURSEL:
      if (MultiSelect(w)) return LB_ERR;
      if (!inRange) {
        w->curSel = -1;
        Invalidate(w);
        return LB_ERR;
      }
      w->curSel = w->caret = index;
      Invalidate(w);
      return index;
    case LB_GETCURSEL:
      if (MultiSelect(w)) return w->caret;
      return w->curSel;
    case LB_GETSELCOUNT: {
      if (!MultiSelect(w)) return LB_ERR;
      int n = 0;
      for (const auto& item : w->items) n += item.selected ? 1 : 0;
      return n;
    }
    case LB_GETCARETINDEX:
      return w->caret;
    case LB_SETCARETINDEX:
      if (!inRange) return LB_ERR;
      w->caret = index;
      return LB_OKAY;
    case LB_GETTOPINDEX:
      return w->topIndex;
    case LB_SETTOPINDEX:
      if (!inRange && index != 0) return LB_ERR;
      w->topIndex = index;
      Invalidate(w);
      return LB_OKAY;
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT: {
      if (!lParam || !count) return LB_ERR;
      std::string text = (const char*)lParam;
      int start = (index < -1 || index >= count) ? -1 : index;
      for (int step = 1; step <= count; ++step) {
        int i = (start + step) % count;
        const std::string& t = w->items[(size_t)i].text;
        bool hit = msg == LB_FINDSTRINGEXACT ? strcasecmp(t.c_str(), text.c_str()) == 0
                                             : strncasecmp(t.c_str(), text.c_str(), text.size()) == 0;
        if (hit) return i;
      }
      return LB_ERR;
    }
    case LB_GETITEMHEIGHT:
      return w->itemHeight;
    case LB_SETITEMHEIGHT:
      if (LOWORD(lParam) == 0 || LOWORD(lParam) > 255) return LB_ERR;
      w->itemHeight = LOWORD(lParam);
      Invalidate(w);
      return LB_OKAY;
    case LB_GETITEMRECT: {
      if (!inRange || !lParam) return LB_ERR;
      RECT* r = (RECT*)lParam;
      int top = (index - w->topIndex) * w->itemHeight;
      *r = {0, top, ClientRect(w).right, top + w->itemHeight};
      return 1;
    }
    case LB_ITEMFROMPOINT: {
      int y = (short)HIWORD(lParam);
      int i = w->topIndex + (y >= 0 ? y / std::max(1, w->itemHeight) : -1);
      bool outside = i < 0 || i >= count;
      return MAKELONG((WORD)std::max(0, std::min(i, count - 1)), outside ? 1 : 0);
    }
    case WM_LBUTTONDOWN: {
      int y = (short)HIWORD(lParam);
      int i = w->topIndex + y / std::max(1, w->itemHeight);
      if (Windows::focus != hwnd) {
        HWND old = Windows::focus;
        Windows::focus = hwnd;
        if (Window* d = DialogOf(w)) d->focus = hwnd;
        if (Windows::Get(old)) Send(old, WM_KILLFOCUS, (WPARAM)hwnd, 0);
      }
      if (i < 0 || i >= count) return 0;
      w->caret = i;
      if (MultiSelect(w))
        w->items[(size_t)i].selected = !w->items[(size_t)i].selected;
      else
        w->curSel = i;
      Invalidate(w);
      if (w->style & LBS_NOTIFY) Notify(w, LBN_SELCHANGE);
      return 0;
    }
    case WM_LBUTTONDBLCLK:
      if (w->style & LBS_NOTIFY) Notify(w, LBN_DBLCLK);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_PAINT:
      w->invalid = false;
      DrawItems(w);
      return 0;
    case WM_DESTROY:
      for (int i = 0; i < count; ++i) {
        DeleteItemNotice(w, i);
        if (!(w = Windows::Get(hwnd))) return 0;
      }
      w->items.clear();
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace winsim

using winsim::Window;
using winsim::Windows;

extern "C" {

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  Window* w = Windows::Get(hWnd);
  if (!w) return 0;
  switch (Msg) {
    case WM_NCCREATE:
      return TRUE;
    case WM_SETTEXT:
      winsim::SetWindowTextInternal(w, (const char*)lParam);
      return TRUE;
    case WM_GETTEXT: {
      if (!lParam || wParam == 0) return 0;
      lstrcpynA((char*)lParam, w->text.c_str(), (int)wParam);
      return (LRESULT)strlen((char*)lParam);
    }
    case WM_GETTEXTLENGTH:
      return (LRESULT)w->text.size();
    case WM_SETFONT:
      w->font = (HFONT)wParam;
      return 0;
    case WM_GETFONT:
      return (LRESULT)w->font;
    case WM_SETICON: {
      HICON old = wParam == ICON_BIG ? w->iconBig : w->iconSmall;
      if (wParam == ICON_BIG)
        w->iconBig = (HICON)lParam;
      else
        w->iconSmall = (HICON)lParam;
      return (LRESULT)old;
    }
    case WM_GETICON:
      return (LRESULT)(wParam == ICON_BIG ? w->iconBig : w->iconSmall);
    case WM_PAINT:
      w->invalid = false;
      return 0;
    case WM_ERASEBKGND:
    case WM_ICONERASEBKGND:
      return 1;
    case WM_CLOSE:
      winsim::DestroyWindowInternal(hWnd);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          winsim::Send(hWnd, WM_CLOSE, 0, 0);
          return 0;
        case SC_MINIMIZE:
          winsim::ShowWindowInternal(w, SW_MINIMIZE);
          return 0;
        case SC_RESTORE:
          winsim::ShowWindowInternal(w, SW_RESTORE);
          return 0;
      }
      return 0;
    case WM_QUERYDRAGICON:
      return 0;
    case WM_NCHITTEST:
      return HTCLIENT;
  }
  return 0;
}

LRESULT WINAPI CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (!lpPrevWndFunc) return 0;
  return lpPrevWndFunc(hWnd, Msg, wParam, lParam);
}

}  // extern "C"
