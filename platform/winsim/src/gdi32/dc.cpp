// GDI32 of the simulated Windows, and the painting calls of USER32: device
// contexts of windows, stock objects, text metrics of MS Sans Serif 8, and
// the drawing a person would see (icons, check boxes of list entries).
#include "gdi32/dc.h"

#include <map>

#include "core/journal.h"
#include "core/machine.h"
#include "user32/icon.h"
#include "user32/message.h"
#include "user32/window.h"

namespace winsim {

namespace {

struct DeviceContext {
  HWND hwnd = nullptr;
  int listItem = -1;
  COLORREF text = 0;
  COLORREF back = 0xFFFFFF;
  int bkMode = OPAQUE;
  HGDIOBJ brush = nullptr, pen = nullptr, font = nullptr;
};

struct GdiState {
  std::map<uintptr_t, DeviceContext> dcs;
  std::map<uintptr_t, int> created;  // brushes made by the program
  uintptr_t nextDc = 0x01010010;
  uintptr_t nextObject = 0x01A00010;
};

GdiState& G() {
  static GdiState g;
  return g;
}

ProcessState g_gdi(82, [] { G() = GdiState(); });

const uintptr_t kStockBase = 0x01900000;

bool IsStock(HGDIOBJ h) {
  uintptr_t v = (uintptr_t)h;
  return v >= kStockBase && v <= kStockBase + 4 * DC_PEN && (v - kStockBase) % 4 == 0 && v != kStockBase + 4 * 9;
}

// Which slot of a DC an object goes in: 0 brush, 1 pen, 2 font, -1 none.
int KindOf(HGDIOBJ h) {
  if (IsStock(h)) {
    int i = (int)(((uintptr_t)h - kStockBase) / 4);
    if (i <= NULL_BRUSH || i == DC_BRUSH) return 0;
    if (i <= NULL_PEN || i == DC_PEN) return 1;
    if (i == DEFAULT_PALETTE) return -1;
    return 2;
  }
  if (G().created.count((uintptr_t)h)) return G().created[(uintptr_t)h];
  uintptr_t v = (uintptr_t)h;
  if (v >= 0x01B00000 && v < 0x01B00100) return 0;  // system colour brushes
  return -1;
}

DeviceContext* DcOf(HDC hdc) {
  auto it = G().dcs.find((uintptr_t)hdc);
  return it == G().dcs.end() ? nullptr : &it->second;
}

COLORREF SysColor(int index) {
  static const struct {
    int index;
    COLORREF color;
  } kColors[] = {
      {COLOR_SCROLLBAR, RGB(212, 208, 200)},   {COLOR_BACKGROUND, RGB(58, 110, 165)},
      {COLOR_ACTIVECAPTION, RGB(10, 36, 106)}, {COLOR_INACTIVECAPTION, RGB(128, 128, 128)},
      {COLOR_MENU, RGB(212, 208, 200)},        {COLOR_WINDOW, RGB(255, 255, 255)},
      {COLOR_WINDOWFRAME, RGB(0, 0, 0)},       {COLOR_MENUTEXT, RGB(0, 0, 0)},
      {COLOR_WINDOWTEXT, RGB(0, 0, 0)},        {COLOR_CAPTIONTEXT, RGB(255, 255, 255)},
      {COLOR_HIGHLIGHT, RGB(10, 36, 106)},     {COLOR_HIGHLIGHTTEXT, RGB(255, 255, 255)},
      {COLOR_BTNFACE, RGB(212, 208, 200)},     {COLOR_BTNSHADOW, RGB(128, 128, 128)},
      {COLOR_GRAYTEXT, RGB(128, 128, 128)},    {COLOR_BTNTEXT, RGB(0, 0, 0)},
      {COLOR_BTNHIGHLIGHT, RGB(255, 255, 255)}, {COLOR_3DDKSHADOW, RGB(64, 64, 64)},
      {COLOR_3DLIGHT, RGB(212, 208, 200)},     {COLOR_INFOTEXT, RGB(0, 0, 0)},
      {COLOR_INFOBK, RGB(255, 255, 225)},
  };
  for (const auto& c : kColors)
    if (c.index == index) return c.color;
  return 0;
}

}  // namespace

HDC NewDC(HWND hwnd, int listItem) {
  GdiState& g = G();
  HDC h = (HDC)g.nextDc;
  g.nextDc += 4;
  DeviceContext dc;
  dc.hwnd = hwnd;
  dc.listItem = listItem;
  dc.font = (HGDIOBJ)(kStockBase + 4 * SYSTEM_FONT);
  dc.brush = (HGDIOBJ)(kStockBase + 4 * WHITE_BRUSH);
  dc.pen = (HGDIOBJ)(kStockBase + 4 * BLACK_PEN);
  g.dcs[(uintptr_t)h] = dc;
  return h;
}

void FreeDC(HDC hdc) { G().dcs.erase((uintptr_t)hdc); }

bool IsDC(HDC hdc) { return DcOf(hdc) != nullptr; }

HWND WindowOfDC(HDC hdc, int* listItem) {
  DeviceContext* dc = DcOf(hdc);
  if (listItem) *listItem = dc ? dc->listItem : -1;
  return dc ? dc->hwnd : nullptr;
}

}  // namespace winsim

using winsim::ApiCall;
using winsim::HandleJson;
using winsim::Json;
using winsim::Window;
using winsim::Windows;

namespace {

Json TextArg(LPCSTR s, int n) {
  if (!s) return Json();
  if (n < 0) return Json(s);
  return Json(std::string(s, (size_t)n));
}

bool BadDC(HDC hdc) {
  if (winsim::IsDC(hdc)) return false;
  SetLastError(ERROR_INVALID_HANDLE);
  return true;
}

}  // namespace

extern "C" {

// ---- USER32: painting ----

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
  ApiCall call("BeginPaint", {HandleJson(hWnd), HandleJson(lpPaint)});
  Window* w = Windows::Get(hWnd);
  if (!w || !lpPaint) {
    SetLastError(w ? ERROR_NOACCESS : ERROR_INVALID_WINDOW_HANDLE);
    return call.Ret((HDC) nullptr);
  }
  memset(lpPaint, 0, sizeof *lpPaint);
  lpPaint->hdc = winsim::NewDC(hWnd, -1);
  lpPaint->rcPaint = winsim::ClientRect(w);
  w->invalid = false;
  call.SetArg(1, Json::Object().Set("hdc", HandleJson(lpPaint->hdc)).Set("rcPaint", winsim::RectJson(&lpPaint->rcPaint)));
  return call.Ret(lpPaint->hdc);
}

BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint) {
  ApiCall call("EndPaint", {HandleJson(hWnd), lpPaint ? Json::Object().Set("hdc", HandleJson(lpPaint->hdc)) : Json()});
  if (lpPaint) winsim::FreeDC(lpPaint->hdc);
  return call.Ret((BOOL)TRUE);
}

HDC WINAPI GetDC(HWND hWnd) {
  ApiCall call("GetDC", {HandleJson(hWnd)});
  if (hWnd && !Windows::Get(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return call.Ret((HDC) nullptr);
  }
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
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return call.Ret((BOOL)FALSE);
  }
  w->invalid = true;
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
  ApiCall call("UpdateWindow", {HandleJson(hWnd)});
  Window* w = Windows::Get(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return call.Ret((BOOL)FALSE);
  }
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
  if (name.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return call.Ret((BOOL)FALSE);
  }
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
  return call.Ret((HBRUSH)(uintptr_t)(0x01B00000 + 4 * nIndex));
}

int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
  ApiCall call("FillRect", {HandleJson(hDC), winsim::RectJson(lprc), HandleJson(hbr)});
  if (BadDC(hDC) || !lprc) return call.Ret(0);
  // A brush may also be given as a system colour index plus one.
  uintptr_t v = (uintptr_t)hbr;
  if (!(v >= 1 && v <= 31) && winsim::KindOf((HGDIOBJ)hbr) != 0) return call.Ret(0);
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

// ---- GDI32 ----

BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c) {
  ApiCall call("TextOutA", {HandleJson(hdc), x, y, TextArg(lpString, c), c});
  if (BadDC(hdc) || !lpString || c < 0) return call.Ret((BOOL)FALSE);
  return call.Ret((BOOL)TRUE);
}

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
  ApiCall call("SetTextColor", {HandleJson(hdc), color});
  winsim::DeviceContext* dc = winsim::DcOf(hdc);
  if (!dc) return call.Ret((COLORREF)CLR_INVALID);
  COLORREF old = dc->text;
  dc->text = color;
  return call.Ret(old);
}

COLORREF WINAPI GetTextColor(HDC hdc) {
  ApiCall call("GetTextColor", {HandleJson(hdc)});
  winsim::DeviceContext* dc = winsim::DcOf(hdc);
  return call.Ret(dc ? dc->text : (COLORREF)CLR_INVALID);
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) {
  ApiCall call("SetBkColor", {HandleJson(hdc), color});
  winsim::DeviceContext* dc = winsim::DcOf(hdc);
  if (!dc) return call.Ret((COLORREF)CLR_INVALID);
  COLORREF old = dc->back;
  dc->back = color;
  return call.Ret(old);
}

COLORREF WINAPI GetBkColor(HDC hdc) {
  ApiCall call("GetBkColor", {HandleJson(hdc)});
  winsim::DeviceContext* dc = winsim::DcOf(hdc);
  return call.Ret(dc ? dc->back : (COLORREF)CLR_INVALID);
}

int WINAPI SetBkMode(HDC hdc, int mode) {
  ApiCall call("SetBkMode", {HandleJson(hdc), mode});
  winsim::DeviceContext* dc = winsim::DcOf(hdc);
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return call.Ret(0);
  }
  int old = dc->bkMode;
  dc->bkMode = mode;
  return call.Ret(old);
}

int WINAPI GetBkMode(HDC hdc) {
  ApiCall call("GetBkMode", {HandleJson(hdc)});
  winsim::DeviceContext* dc = winsim::DcOf(hdc);
  return call.Ret(dc ? dc->bkMode : 0);
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
  ApiCall call("SelectObject", {HandleJson(hdc), HandleJson(h)});
  winsim::DeviceContext* dc = winsim::DcOf(hdc);
  int kind = winsim::KindOf(h);
  if (!dc || kind < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return call.Ret((HGDIOBJ) nullptr);
  }
  HGDIOBJ* slot = kind == 0 ? &dc->brush : kind == 1 ? &dc->pen : &dc->font;
  HGDIOBJ old = *slot;
  *slot = h;
  return call.Ret(old);
}

HGDIOBJ WINAPI GetStockObject(int i) {
  ApiCall call("GetStockObject", {i});
  if (i < 0 || i > DC_PEN || i == 9) return call.Ret((HGDIOBJ) nullptr);
  return call.Ret((HGDIOBJ)(winsim::kStockBase + 4 * (uintptr_t)i));
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) {
  ApiCall call("DeleteObject", {HandleJson(ho)});
  if (winsim::IsStock(ho)) return call.Ret((BOOL)TRUE);
  if (!winsim::G().created.erase((uintptr_t)ho)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return call.Ret((BOOL)FALSE);
  }
  return call.Ret((BOOL)TRUE);
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
  ApiCall call("CreateSolidBrush", {color});
  if (call.Fault()) return call.Ret((HBRUSH) nullptr);
  uintptr_t h = winsim::G().nextObject;
  winsim::G().nextObject += 4;
  winsim::G().created[h] = 0;
  return call.Ret((HBRUSH)h);
}

BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR lpString, int c, LPSIZE psizl) {
  ApiCall call("GetTextExtentPoint32A", {HandleJson(hdc), TextArg(lpString, c), c, HandleJson(psizl)});
  if (BadDC(hdc) || !psizl || c < 0 || (c > 0 && !lpString)) return call.Ret((BOOL)FALSE);
  // MS Sans Serif 8 at 96 dpi: characters of 6 pixels, lines of 13.
  psizl->cx = 6 * c;
  psizl->cy = 13;
  call.SetArg(3, Json::Object().Set("cx", (long long)psizl->cx).Set("cy", (long long)psizl->cy));
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI GetTextMetricsA(HDC hdc, LPTEXTMETRICA lptm) {
  ApiCall call("GetTextMetricsA", {HandleJson(hdc), HandleJson(lptm)});
  if (BadDC(hdc) || !lptm) return call.Ret((BOOL)FALSE);
  memset(lptm, 0, sizeof *lptm);
  lptm->tmHeight = 13;
  lptm->tmAscent = 11;
  lptm->tmDescent = 2;
  lptm->tmAveCharWidth = 5;
  lptm->tmMaxCharWidth = 11;
  lptm->tmWeight = 400;
  lptm->tmDigitizedAspectX = lptm->tmDigitizedAspectY = 96;
  lptm->tmFirstChar = 0x20;
  lptm->tmLastChar = 0xFF;
  lptm->tmDefaultChar = 0x80;
  lptm->tmBreakChar = 0x20;
  lptm->tmPitchAndFamily = 0x21;
  call.SetArg(1, Json::Object().Set("tmHeight", 13).Set("tmAveCharWidth", 5));
  return call.Ret((BOOL)TRUE);
}

}  // extern "C"
