// Painting in the simulated USER32: BeginPaint and the window DCs,
// invalidation and UpdateWindow, the system colours, and the drawing a person
// would see (icons, check boxes of list entries). The device contexts
// themselves are GDI32's (gdi32/dc.h).
#include <cstring>

#include "core/journal.h"
#include "gdi32/dc.h"
#include "user32/icon.h"
#include "user32/message.h"
#include "user32/window.h"

namespace winsim {

namespace {

COLORREF SysColor(int index) {
  static const struct {
    int index;
    COLORREF color;
  } kColors[] = {
      {COLOR_SCROLLBAR, RGB(212, 208, 200)},    {COLOR_BACKGROUND, RGB(58, 110, 165)},
      {COLOR_ACTIVECAPTION, RGB(10, 36, 106)},  {COLOR_INACTIVECAPTION, RGB(128, 128, 128)},
      {COLOR_MENU, RGB(212, 208, 200)},         {COLOR_WINDOW, RGB(255, 255, 255)},
      {COLOR_WINDOWFRAME, RGB(0, 0, 0)},        {COLOR_MENUTEXT, RGB(0, 0, 0)},
      {COLOR_WINDOWTEXT, RGB(0, 0, 0)},         {COLOR_CAPTIONTEXT, RGB(255, 255, 255)},
      {COLOR_HIGHLIGHT, RGB(10, 36, 106)},      {COLOR_HIGHLIGHTTEXT, RGB(255, 255, 255)},
      {COLOR_BTNFACE, RGB(212, 208, 200)},      {COLOR_BTNSHADOW, RGB(128, 128, 128)},
      {COLOR_GRAYTEXT, RGB(128, 128, 128)},     {COLOR_BTNTEXT, RGB(0, 0, 0)},
      {COLOR_BTNHIGHLIGHT, RGB(255, 255, 255)}, {COLOR_3DDKSHADOW, RGB(64, 64, 64)},
      {COLOR_3DLIGHT, RGB(212, 208, 200)},      {COLOR_INFOTEXT, RGB(0, 0, 0)},
      {COLOR_INFOBK, RGB(255, 255, 225)},
  };
  for (const auto& c : kColors)
    if (c.index == index) return c.color;
  return 0;
}

}  // namespace

}  // namespace winsim

using winsim::ApiCall;
using winsim::BadDC;
using winsim::HandleJson;
using winsim::Json;
using winsim::TextArg;
using winsim::Window;
using winsim::Windows;

extern "C" {

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
  ApiCall call("BeginPaint", {HandleJson(hWnd), HandleJson(lpPaint)});
  Window* w = Windows::Get(hWnd);
  if (!w || !lpPaint) return call.Fail(w ? ERROR_NOACCESS : ERROR_INVALID_WINDOW_HANDLE, (HDC) nullptr);
  memset(lpPaint, 0, sizeof *lpPaint);
  lpPaint->hdc = winsim::NewDC(hWnd, -1);
  lpPaint->rcPaint = winsim::ClientRect(w);
  w->invalid = false;
  call.SetArg(1,
              Json::Object().Set("hdc", HandleJson(lpPaint->hdc)).Set("rcPaint", winsim::RectJson(&lpPaint->rcPaint)));
  return call.Ret(lpPaint->hdc);
}

BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint) {
  ApiCall call("EndPaint", {HandleJson(hWnd), lpPaint ? Json::Object().Set("hdc", HandleJson(lpPaint->hdc)) : Json()});
  if (lpPaint) winsim::FreeDC(lpPaint->hdc);
  return call.Ret((BOOL)TRUE);
}

HDC WINAPI GetDC(HWND hWnd) {
  ApiCall call("GetDC", {HandleJson(hWnd)});
  if (hWnd && !Windows::Get(hWnd)) return call.Fail(ERROR_INVALID_WINDOW_HANDLE, (HDC) nullptr);
  return call.Ret(winsim::NewDC(hWnd, -1));
}

int WINAPI ReleaseDC(HWND hWnd, HDC hDC) {
  ApiCall call("ReleaseDC", {HandleJson(hWnd), HandleJson(hDC)});
  if (!winsim::IsDC(hDC)) return call.Ret(0);
  winsim::FreeDC(hDC);
  return call.Ret(1);
}

BOOL WINAPI InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase) {
  ApiCall call("InvalidateRect", {HandleJson(hWnd), winsim::RectJson(lpRect), bErase});
  if (!hWnd) {
    for (Window* w : Windows::All())
      if (!(w->style & WS_CHILD)) winsim::Invalidate(w);
    return call.Ret((BOOL)TRUE);
  }
  Window* w = Windows::Get(hWnd);
  if (!w) return call.Fail(ERROR_INVALID_WINDOW_HANDLE);
  w->invalid = true;
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
  ApiCall call("UpdateWindow", {HandleJson(hWnd)});
  Window* w = Windows::Get(hWnd);
  if (!w) return call.Fail(ERROR_INVALID_WINDOW_HANDLE);
  // Paints at once what is invalid: the window, then its children.
  std::vector<HWND> todo = {hWnd};
  for (size_t i = 0; i < todo.size(); ++i) {
    Window* x = Windows::Get(todo[i]);
    if (!x || !(x->style & WS_VISIBLE)) continue;
    if (x->invalid) winsim::Send(todo[i], WM_PAINT, 0, 0);
    if ((x = Windows::Get(todo[i]))) {
      x->invalid = false;
      for (HWND c : x->children) todo.push_back(c);
    }
  }
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI DrawIcon(HDC hDC, int X, int Y, HICON hIcon) {
  ApiCall call("DrawIcon", {HandleJson(hDC), X, Y, HandleJson(hIcon)});
  if (BadDC(hDC)) return call.Ret((BOOL)FALSE);
  std::string name = winsim::IconName(hIcon);
  if (name.empty()) return call.Fail(ERROR_INVALID_PARAMETER);
  Window* w = Windows::Get(winsim::WindowOfDC(hDC, nullptr));
  Json j = w ? winsim::UiPlace(w) : Json::Object();
  j.Set("x", X).Set("y", Y).Set("icon", name);
  winsim::Journal::Ui("draw-icon", j);
  return call.Ret((BOOL)TRUE);
}

DWORD WINAPI GetSysColor(int nIndex) {
  ApiCall call("GetSysColor", {nIndex});
  return call.Ret((DWORD)winsim::SysColor(nIndex));
}

HBRUSH WINAPI GetSysColorBrush(int nIndex) {
  ApiCall call("GetSysColorBrush", {nIndex});
  if (nIndex < 0 || nIndex > COLOR_MENUBAR) return call.Ret((HBRUSH) nullptr);
  return call.Ret((HBRUSH)(winsim::kSysColorBrushBase + 4 * (uintptr_t)nIndex));
}

int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
  ApiCall call("FillRect", {HandleJson(hDC), winsim::RectJson(lprc), HandleJson(hbr)});
  if (BadDC(hDC) || !lprc) return call.Ret(0);
  // A brush may also be given as a system colour index plus one.
  uintptr_t v = (uintptr_t)hbr;
  if (!(v >= 1 && v <= 31) && !winsim::IsBrush((HGDIOBJ)hbr)) return call.Ret(0);
  return call.Ret(1);
}

int WINAPI DrawTextA(HDC hdc, LPCSTR lpchText, int cchText, LPRECT lprc, UINT format) {
  ApiCall call("DrawTextA", {HandleJson(hdc), TextArg(lpchText, cchText), cchText, winsim::RectJson(lprc), format});
  if (BadDC(hdc) || !lpchText || !lprc) return call.Ret(0);
  int n = cchText < 0 ? (int)strlen(lpchText) : cchText;
  if (format & DT_CALCRECT) {
    lprc->right = lprc->left + 6 * n;
    lprc->bottom = lprc->top + 13;
  }
  return call.Ret(13);
}

BOOL WINAPI DrawFrameControl(HDC hdc, LPRECT lprc, UINT uType, UINT uState) {
  ApiCall call("DrawFrameControl", {HandleJson(hdc), winsim::RectJson(lprc), uType, uState});
  if (BadDC(hdc) || !lprc) return call.Ret((BOOL)FALSE);
  // A check box drawn for a list entry shows the entry's check state.
  int item = -1;
  Window* list = Windows::Get(winsim::WindowOfDC(hdc, &item));
  UINT kind = uState & 0xFF;
  if (list && item >= 0 && item < (int)list->items.size() && uType == DFC_BUTTON &&
      (kind == DFCS_BUTTONCHECK || kind == DFCS_BUTTON3STATE)) {
    int checked = (uState & DFCS_CHECKED) ? 1 : 0;
    winsim::ListItem& entry = list->items[(size_t)item];
    if (entry.drawnCheck != checked && !(entry.drawnCheck < 0 && !checked)) {
      Json j = winsim::UiPlace(list);
      j.Set("item", entry.text).Set("checked", checked != 0);
      winsim::Journal::Ui("list-check", j);
    }
    entry.drawnCheck = checked;
  }
  return call.Ret((BOOL)TRUE);
}

}  // extern "C"
