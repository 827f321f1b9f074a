// GDI32 of the simulated Windows: device contexts of windows, stock objects
// and brushes, colours and modes of a DC, text metrics of MS Sans Serif 8.
#include "gdi32/dc.h"

#include <cstring>
#include <memory>

#include "core/handles.h"
#include "core/journal.h"
#include "core/machine.h"

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

// An object made by the program (a brush).
struct GdiObject {
  int slot;  // the slot of a DC it goes in, as KindOf answers
};

HandleTable<DeviceContext>& Dcs() {
  static HandleTable<DeviceContext> table(0x01010010, 4);
  return table;
}

HandleTable<GdiObject>& Objects() {
  static HandleTable<GdiObject> table(0x01A00010, 4);
  return table;
}

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
  if (GdiObject* o = Objects().Get(h)) return o->slot;
  uintptr_t v = (uintptr_t)h;
  if (v >= kSysColorBrushBase && v < kSysColorBrushBase + 0x100) return 0;
  return -1;
}

DeviceContext* DcOf(HDC hdc) { return Dcs().Get(hdc); }

}  // namespace

HDC NewDC(HWND hwnd, int listItem) {
  auto dc = std::make_unique<DeviceContext>();
  dc->hwnd = hwnd;
  dc->listItem = listItem;
  dc->font = (HGDIOBJ)(kStockBase + 4 * SYSTEM_FONT);
  dc->brush = (HGDIOBJ)(kStockBase + 4 * WHITE_BRUSH);
  dc->pen = (HGDIOBJ)(kStockBase + 4 * BLACK_PEN);
  return (HDC)Dcs().Insert(std::move(dc));
}

void FreeDC(HDC hdc) { Dcs().Remove(hdc); }

bool IsDC(HDC hdc) { return DcOf(hdc) != nullptr; }

HWND WindowOfDC(HDC hdc, int* listItem) {
  DeviceContext* dc = DcOf(hdc);
  if (listItem) *listItem = dc ? dc->listItem : -1;
  return dc ? dc->hwnd : nullptr;
}

bool BadDC(HDC hdc) {
  if (IsDC(hdc)) return false;
  SetLastError(ERROR_INVALID_HANDLE);
  return true;
}

bool IsBrush(HGDIOBJ h) { return KindOf(h) == 0; }

Json TextArg(LPCSTR s, int n) {
  if (!s) return Json();
  if (n < 0) return Json(s);
  return Json(std::string(s, (size_t)n));
}

}  // namespace winsim

using winsim::ApiCall;
using winsim::BadDC;
using winsim::HandleJson;
using winsim::Json;
using winsim::TextArg;

extern "C" {

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
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return call.Fail(ERROR_INVALID_PARAMETER, 0);
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
  if (!dc || kind < 0) return call.Fail(ERROR_INVALID_HANDLE, (HGDIOBJ) nullptr);
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
  if (!winsim::Objects().Remove(ho)) return call.Fail(ERROR_INVALID_PARAMETER);
  return call.Ret((BOOL)TRUE);
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
  ApiCall call("CreateSolidBrush", {color});
  if (call.Fault()) return call.Ret((HBRUSH) nullptr);
  return call.Ret((HBRUSH)winsim::Objects().Insert(std::make_unique<winsim::GdiObject>(winsim::GdiObject{0})));
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
