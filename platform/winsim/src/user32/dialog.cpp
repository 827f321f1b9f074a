// Dialogs of the simulated USER32: windows built from DLGTEMPLATE and
// DLGTEMPLATEEX templates, the dialog manager's default processing, modal
// dialogs and the dialog item calls.
#include "user32/dialog.h"

#include <strings.h>

#include <cstring>

#include "core/journal.h"
#include "core/resources.h"
#include "user32/controls.h"
#include "user32/message.h"

namespace winsim {

namespace {

struct ItemTemplate {
  DWORD style = 0, exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  LONG id = 0;
  std::string className;
  std::string title;
};

struct DialogTemplate {
  bool extended = false;
  DWORD style = 0, exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  std::string className;
  std::string title;
  std::string font;
  WORD pointSize = 0;
  std::vector<ItemTemplate> items;
};

class Reader {
 public:
  Reader(const unsigned char* p, size_t size) : m_p(p), m_size(size) {}
  bool ok() const { return m_ok; }
  WORD Word() {
    if (m_pos + 2 > m_size) return Fail();
    WORD v = (WORD)(m_p[m_pos] | (m_p[m_pos + 1] << 8));
    m_pos += 2;
    return v;
  }
  DWORD Dword() {
    DWORD lo = Word();
    return lo | ((DWORD)Word() << 16);
  }
  BYTE Byte() {
    if (m_pos + 1 > m_size) return (BYTE)Fail();
    return m_p[m_pos++];
  }
  void AlignDword() { m_pos = (m_pos + 3) & ~(size_t)3; }
  void Skip(size_t n) {
    m_pos += n;
    if (m_pos > m_size) Fail();
  }
  // A zero-terminated UTF-16 text.
  std::string Text() {
    size_t start = m_pos;
    while (m_ok && Word() != 0) {
    }
    return m_ok ? Utf16ToAnsi(m_p + start, (m_pos - start) / 2 - 1) : std::string();
  }
  // sz_Or_Ord: nothing, 0xFFFF and a number, or a text.
  std::string TextOrOrdinal(WORD* ordinal) {
    *ordinal = 0;
    if (m_pos + 2 > m_size) return Fail(), std::string();
    WORD first = (WORD)(m_p[m_pos] | (m_p[m_pos + 1] << 8));
    if (first == 0) {
      m_pos += 2;
      return std::string();
    }
    if (first == 0xFFFF) {
      m_pos += 2;
      *ordinal = Word();
      return std::string();
    }
    return Text();
  }

 private:
  WORD Fail() {
    m_ok = false;
    m_pos = m_size;
    return 0;
  }
  const unsigned char* m_p;
  size_t m_size;
  size_t m_pos = 0;
  bool m_ok = true;
};

std::string PredefinedClass(WORD ordinal) {
  switch (ordinal) {
    case 0x80:
      return "Button";
    case 0x81:
      return "Edit";
    case 0x82:
      return "Static";
    case 0x83:
      return "ListBox";
    case 0x84:
      return "ScrollBar";
    case 0x85:
      return "ComboBox";
  }
  return "#" + std::to_string(ordinal);
}

bool ParseTemplate(const unsigned char* p, size_t size, DialogTemplate* t) {
  Reader r(p, size);
  WORD version = r.Word();
  WORD signature = r.Word();
  t->extended = version == 1 && signature == 0xFFFF;
  WORD count;
  if (t->extended) {
    r.Dword();  // help id
    t->exStyle = r.Dword();
    t->style = r.Dword();
  } else {
    Reader again(p, size);
    r = again;
    t->style = r.Dword();
    t->exStyle = r.Dword();
  }
  count = r.Word();
  t->x = (short)r.Word();
  t->y = (short)r.Word();
  t->cx = (short)r.Word();
  t->cy = (short)r.Word();
  WORD ordinal;
  r.TextOrOrdinal(&ordinal);  // menu
  t->className = r.TextOrOrdinal(&ordinal);
  if (ordinal) t->className = "#" + std::to_string(ordinal);
  t->title = r.Text();
  if (t->style & (DS_SETFONT | DS_FIXEDSYS)) {
    t->pointSize = r.Word();
    if (t->extended) {
      r.Word();  // weight
      r.Byte();  // italic
      r.Byte();  // character set
    }
    t->font = r.Text();
  }
  for (WORD i = 0; i < count && r.ok(); ++i) {
    r.AlignDword();
    ItemTemplate item;
    if (t->extended) {
      r.Dword();  // help id
      item.exStyle = r.Dword();
      item.style = r.Dword();
    } else {
      item.style = r.Dword();
      item.exStyle = r.Dword();
    }
    item.x = (short)r.Word();
    item.y = (short)r.Word();
    item.cx = (short)r.Word();
    item.cy = (short)r.Word();
    item.id = t->extended ? (LONG)r.Dword() : (LONG)r.Word();
    item.className = r.TextOrOrdinal(&ordinal);
    if (ordinal) item.className = PredefinedClass(ordinal);
    item.title = r.TextOrOrdinal(&ordinal);
    if (ordinal) item.title = "#" + std::to_string(ordinal);
    WORD extra = r.Word();
    r.Skip(extra);
    t->items.push_back(item);
  }
  return r.ok();
}

DLGPROC DlgProcOf(Window* w) {
  if (w->extra.size() < DWLP_DLGPROC + sizeof(DLGPROC)) return nullptr;
  DLGPROC p;
  memcpy(&p, &w->extra[DWLP_DLGPROC], sizeof p);
  return p;
}

void SetMsgResult(Window* w, LRESULT v) {
  if (w->extra.size() >= sizeof(LRESULT)) memcpy(&w->extra[DWLP_MSGRESULT], &v, sizeof v);
}

LRESULT MsgResult(Window* w) {
  LRESULT v = 0;
  if (w->extra.size() >= sizeof(LRESULT)) memcpy(&v, &w->extra[DWLP_MSGRESULT], sizeof v);
  return v;
}

Window* FirstTabStop(Window* dialog) {
  for (HWND h : dialog->children) {
    Window* c = Windows::Get(h);
    if (c && (c->style & WS_TABSTOP) && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED)) return c;
  }
  return nullptr;
}

Window* ChildWithId(Window* dialog, int id) {
  if (!dialog) return nullptr;
  for (HWND h : dialog->children) {
    Window* c = Windows::Get(h);
    if (c && (UINT)c->id == (UINT)id) return c;
  }
  return nullptr;
}

void SetFocusInternal(HWND h) {
  HWND old = Windows::Get(Windows::focus) ? Windows::focus : nullptr;
  if (old == h) return;
  if (old) Send(old, WM_KILLFOCUS, (WPARAM)h, 0);
  Windows::focus = h;
  if (Window* d = DialogOf(Windows::Get(h))) d->focus = h;
  if (h) Send(h, WM_SETFOCUS, (WPARAM)old, 0);
}

HFONT DialogFont() { return (HFONT)GetStockObject(DEFAULT_GUI_FONT); }

int MulDivRound(int a, int b, int c) {
  long long v = (long long)a * b;
  return (int)(v >= 0 ? (v + c / 2) / c : -((-v + c / 2) / c));
}

// Dialog base units of the window's dialog font.
POINT DialogBaseUnits(Window*) {
  // Every template of this system asks for MS Sans Serif 8, whose average
  // character is 6 x 13 pixels on a 96 dpi screen.
  POINT p = {6, 13};
  return p;
}

}  // namespace

// Creates the dialog of a template; `templateId` names it in the journal.
HWND CreateDialogFromTemplate(HINSTANCE instance, const void* data, size_t size, HWND owner, DLGPROC proc, LPARAM param,
                              Json templateId, bool modal, DWORD* error) {
  DialogTemplate t;
  if (!ParseTemplate((const unsigned char*)data, size, &t)) {
    *error = ERROR_INVALID_PARAMETER;
    return nullptr;
  }
  Window* ownerWindow = Windows::Get(owner);
  POINT base = DialogBaseUnits(nullptr);
  int cx = MulDivRound(t.cx, base.x, 4), cy = MulDivRound(t.cy, base.y, 8);
  // The template gives the client area; the window adds its frame.
  DWORD style = t.style;
  RECT frame = FrameOf(style & ~WS_MINIMIZE, (style & DS_MODALFRAME) ? WS_EX_DLGMODALFRAME : 0);
  int frameX = frame.left, frameTop = frame.top;
  int x = MulDivRound(t.x, base.x, 4), y = MulDivRound(t.y, base.y, 8);
  if (style & (DS_CENTER | DS_CENTERMOUSE)) {
    x = (kScreenWidth - cx - 2 * frameX) / 2;
    y = (kScreenHeight - cy - frameTop - frameX) / 2;
  } else if (ownerWindow && !(style & WS_CHILD)) {
    x += ownerWindow->rect.left;
    y += ownerWindow->rect.top;
  }
  DWORD exStyle = t.exStyle | ((style & DS_MODALFRAME) ? WS_EX_DLGMODALFRAME : 0);
  const char* cls = t.className.empty() ? "#32770" : t.className.c_str();
  HWND h = CreateWindowInternal(exStyle, cls, t.title.c_str(), style & ~WS_VISIBLE, x, y, cx + 2 * frameX,
                                cy + frameTop + frameX, owner, nullptr, instance, (LPVOID)param, error);
  Window* w = Windows::Get(h);
  if (!w) return nullptr;
  w->isDialog = true;
  w->templateId = templateId;
  w->modal = modal;
  if (w->extra.size() >= DWLP_DLGPROC + sizeof(DLGPROC)) memcpy(&w->extra[DWLP_DLGPROC], &proc, sizeof proc);
  if (t.style & DS_SETFONT) {
    w->font = DialogFont();
    Send(h, WM_SETFONT, (WPARAM)w->font, 0);
  }
  for (const auto& item : t.items) {
    int ix = MulDivRound(item.x, base.x, 4), iy = MulDivRound(item.y, base.y, 8);
    int icx = MulDivRound(item.cx, base.x, 4), icy = MulDivRound(item.cy, base.y, 8);
    DWORD itemError = 0;
    HWND c = CreateWindowInternal(item.exStyle | WS_EX_NOPARENTNOTIFY, item.className.c_str(), item.title.c_str(),
                                  item.style | WS_CHILD, ix, iy, icx, icy, h, (HMENU)(LONG_PTR)item.id, instance,
                                  nullptr, &itemError);
    if (!c) {
      if (t.style & DS_NOFAILCREATE) continue;
      DestroyWindowInternal(h);
      *error = itemError ? itemError : ERROR_CANNOT_FIND_WND_CLASS;
      return nullptr;
    }
    if (w->font) Send(c, WM_SETFONT, (WPARAM)w->font, 0);
  }
  if (!Windows::Get(h)) return nullptr;
  // WM_INITDIALOG names the first tab stop; TRUE gives it the focus.
  Window* first = FirstTabStop(Windows::Get(h));
  HWND firstHwnd = first ? first->hwnd : nullptr;
  if (Send(h, WM_INITDIALOG, (WPARAM)firstHwnd, param) && firstHwnd && Windows::Get(firstHwnd))
    SetFocusInternal(firstHwnd);
  w = Windows::Get(h);
  if (!w) return nullptr;
  if (t.style & WS_VISIBLE) ShowWindowInternal(w, SW_SHOWNORMAL);
  return h;
}

LRESULT CALLBACK DialogClassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = Windows::Get(hwnd);
  if (!w) return 0;
  DLGPROC proc = DlgProcOf(w);
  if (proc) {
    SetMsgResult(w, 0);
    INT_PTR r = proc(hwnd, msg, wParam, lParam);
    w = Windows::Get(hwnd);
    if (!w) return r;
    if (r) {
      switch (msg) {
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
        case WM_INITDIALOG:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
          return r;
        default:
          return MsgResult(w);
      }
    }
  }
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_CLOSE: {
      // The close box stands for Cancel when Cancel can be pressed.
      Window* cancel = ChildWithId(w, IDCANCEL);
      if (!cancel || !(cancel->style & WS_DISABLED))
        Post(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)(cancel ? cancel->hwnd : nullptr));
      return 0;
    }
    case DM_GETDEFID:
      for (HWND h : w->children) {
        Window* c = Windows::Get(h);
        if (c && c->className == "Button" && ButtonType(c) == BS_DEFPUSHBUTTON)
          return MAKELONG((WORD)c->id, DC_HASDEFID);
      }
      return 0;
    case DM_SETDEFID:
      return TRUE;
    case WM_INITDIALOG:
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_COMPAREITEM:
    case WM_DELETEITEM:
    case WM_TIMER:
    case WM_QUERYDRAGICON:
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// IsDialogMessage: the keys a dialog handles itself.
bool DialogKeyboard(Window* dialog, const MSG* msg) {
  if (!dialog || !msg->hwnd) return false;
  Window* target = Windows::Get(msg->hwnd);
  if (!target || (target != dialog && DialogOf(target) != dialog)) return false;
  if (msg->message == WM_KEYDOWN) {
    if (msg->wParam == VK_ESCAPE) {
      Window* cancel = ChildWithId(dialog, IDCANCEL);
      Send(dialog->hwnd, WM_COMMAND, IDCANCEL, (LPARAM)(cancel ? cancel->hwnd : nullptr));
      return true;
    }
    if (msg->wParam == VK_RETURN) {
      LRESULT def = Send(dialog->hwnd, DM_GETDEFID, 0, 0);
      int id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
      Window* button = ChildWithId(dialog, id);
      if (!button || !(button->style & WS_DISABLED))
        Send(dialog->hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)(button ? button->hwnd : nullptr));
      return true;
    }
  }
  if (msg->message == WM_CHAR && (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN)) return true;
  Translate(msg);
  Dispatch(msg);
  return true;
}

}  // namespace winsim

using winsim::ApiCall;
using winsim::HandleJson;
using winsim::Json;
using winsim::NameJson;
using winsim::ResId;
using winsim::Resources;
using winsim::Window;
using winsim::Windows;

namespace {

Json IdJson(const ResId& id) {
  if (id.isNumber) return Json((long long)id.number);
  return Json(id.text);
}

// The template of an indirect call: when it lies in the program's
// resources, its id names the dialog in the journal.
Json IndirectId(const void* p, size_t* size) {
  const winsim::ResourceEntry* e = Resources::Containing(p);
  if (e && e->type.isNumber && e->type.number == 5) {
    *size = (size_t)(e->data + e->size - (const unsigned char*)p);
    return IdJson(e->name);
  }
  *size = 1 << 16;
  return Json();
}

HWND TopLevelOf(HWND h) {
  Window* w = Windows::Get(h);
  while (w && (w->style & WS_CHILD)) w = Windows::Get(w->parent);
  return w ? w->hwnd : nullptr;
}

INT_PTR DoModal(HINSTANCE inst, const void* data, size_t size, HWND parent, DLGPROC proc, LPARAM param, Json id) {
  HWND owner = TopLevelOf(parent);
  // The owner takes no input while the dialog runs.
  Window* ownerWindow = Windows::Get(owner);
  bool disabled = false;
  if (ownerWindow && !(ownerWindow->style & WS_DISABLED)) {
    winsim::EnableWindowInternal(ownerWindow, false);
    disabled = true;
  }
  DWORD error = 0;
  HWND h = winsim::CreateDialogFromTemplate(inst, data, size, owner, proc, param, id, true, &error);
  if (!h) {
    if (disabled && Windows::Get(owner)) winsim::EnableWindowInternal(Windows::Get(owner), true);
    if (error) SetLastError(error);
    return -1;
  }
  INT_PTR result = winsim::RunModalLoop(Windows::Get(h));
  if (Windows::Get(owner) && disabled) winsim::EnableWindowInternal(Windows::Get(owner), true);
  winsim::DestroyWindowInternal(h);
  return result;
}

}  // namespace

extern "C" {

INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam) {
  ApiCall call("DialogBoxParamA", {HandleJson(hInstance), NameJson(lpTemplateName), HandleJson(hWndParent),
                                   HandleJson((void*)lpDialogFunc), (long long)dwInitParam});
  if (call.Fault()) return call.Ret((INT_PTR)-1);
  DWORD error = ERROR_RESOURCE_DATA_NOT_FOUND;
  ResId type;
  type.number = 5;
  const winsim::ResourceEntry* e = Resources::IsProgram((HMODULE)hInstance) && lpTemplateName
                                       ? Resources::Find(type, ResId::From(lpTemplateName), &error)
                                       : nullptr;
  if (!e) return call.Fail(error, (INT_PTR)-1);
  return call.Ret(DoModal(hInstance, e->data, e->size, hWndParent, lpDialogFunc, dwInitParam, IdJson(e->name)));
}

INT_PTR WINAPI DialogBoxIndirectParamA(HINSTANCE hInstance, LPCDLGTEMPLATEA hDialogTemplate, HWND hWndParent,
                                       DLGPROC lpDialogFunc, LPARAM dwInitParam) {
  ApiCall call("DialogBoxIndirectParamA", {HandleJson(hInstance), HandleJson(hDialogTemplate), HandleJson(hWndParent),
                                           HandleJson((void*)lpDialogFunc), (long long)dwInitParam});
  if (call.Fault()) return call.Ret((INT_PTR)-1);
  if (!hDialogTemplate) return call.Fail(ERROR_INVALID_PARAMETER, (INT_PTR)-1);
  size_t size;
  Json id = IndirectId(hDialogTemplate, &size);
  call.Extra("dialog", id);
  return call.Ret(DoModal(hInstance, hDialogTemplate, size, hWndParent, lpDialogFunc, dwInitParam, id));
}

HWND WINAPI CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam) {
  ApiCall call("CreateDialogParamA", {HandleJson(hInstance), NameJson(lpTemplateName), HandleJson(hWndParent),
                                      HandleJson((void*)lpDialogFunc), (long long)dwInitParam});
  if (call.Fault()) return call.Ret((HWND) nullptr);
  DWORD error = ERROR_RESOURCE_DATA_NOT_FOUND;
  ResId type;
  type.number = 5;
  const winsim::ResourceEntry* e = Resources::IsProgram((HMODULE)hInstance) && lpTemplateName
                                       ? Resources::Find(type, ResId::From(lpTemplateName), &error)
                                       : nullptr;
  if (!e) return call.Fail(error, (HWND) nullptr);
  error = 0;
  HWND h = winsim::CreateDialogFromTemplate(hInstance, e->data, e->size, hWndParent, lpDialogFunc, dwInitParam,
                                            IdJson(e->name), false, &error);
  if (!h && error) SetLastError(error);
  return call.Ret(h);
}

HWND WINAPI CreateDialogIndirectParamA(HINSTANCE hInstance, LPCDLGTEMPLATEA lpTemplate, HWND hWndParent,
                                       DLGPROC lpDialogFunc, LPARAM dwInitParam) {
  ApiCall call("CreateDialogIndirectParamA", {HandleJson(hInstance), HandleJson(lpTemplate), HandleJson(hWndParent),
                                              HandleJson((void*)lpDialogFunc), (long long)dwInitParam});
  if (call.Fault()) return call.Ret((HWND) nullptr);
  if (!lpTemplate) return call.Fail(ERROR_INVALID_PARAMETER, (HWND) nullptr);
  size_t size;
  Json id = IndirectId(lpTemplate, &size);
  call.Extra("dialog", id);
  DWORD error = 0;
  HWND h = winsim::CreateDialogFromTemplate(hInstance, lpTemplate, size, hWndParent, lpDialogFunc, dwInitParam, id,
                                            false, &error);
  if (!h && error) SetLastError(error);
  return call.Ret(h);
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
  ApiCall call("EndDialog", {HandleJson(hDlg), (long long)nResult});
  Window* w = Windows::Get(hDlg);
  if (!w) return call.Fail(ERROR_INVALID_WINDOW_HANDLE);
  bool first = !w->ended;
  w->ended = true;
  w->result = nResult;
  if (first)
    winsim::Journal::Ui(
        "dialog", Json::Object().Set("dialog", w->templateId).Set("event", "ended").Set("result", (long long)nResult));
  // The owner comes back at once; the dialog hides and its loop wakes up.
  if (Window* owner = Windows::Get(w->owner)) winsim::EnableWindowInternal(owner, true);
  if (w->style & WS_VISIBLE) winsim::ShowWindowInternal(w, SW_HIDE);
  winsim::Post(hDlg, WM_NULL, 0, 0);
  return call.Ret((BOOL)TRUE);
}

LRESULT WINAPI DefDlgProcA(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return winsim::DialogClassProc(hDlg, Msg, wParam, lParam);
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
  ApiCall call("GetDlgItem", {HandleJson(hDlg), nIDDlgItem});
  Window* d = Windows::Get(hDlg);
  if (!d) return call.Fail(ERROR_INVALID_WINDOW_HANDLE, (HWND) nullptr);
  Window* c = winsim::ChildWithId(d, nIDDlgItem);
  if (!c) return call.Fail(ERROR_CONTROL_ID_NOT_FOUND, (HWND) nullptr);
  return call.Ret(c->hwnd);
}

int WINAPI GetDlgCtrlID(HWND hWnd) {
  ApiCall call("GetDlgCtrlID", {HandleJson(hWnd)});
  Window* w = Windows::Get(hWnd);
  if (!w) return call.Fail(ERROR_INVALID_WINDOW_HANDLE, 0);
  return call.Ret((w->style & WS_CHILD) ? (int)w->id : 0);
}

BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
  ApiCall call("SetDlgItemTextA", {HandleJson(hDlg), nIDDlgItem, lpString});
  Window* c = winsim::ChildWithId(Windows::Get(hDlg), nIDDlgItem);
  if (!c) return call.Fail(Windows::Get(hDlg) ? ERROR_CONTROL_ID_NOT_FOUND : ERROR_INVALID_WINDOW_HANDLE);
  return call.Ret((BOOL)winsim::Send(c->hwnd, WM_SETTEXT, 0, (LPARAM)lpString));
}

UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax) {
  ApiCall call("GetDlgItemTextA", {HandleJson(hDlg), nIDDlgItem, HandleJson(lpString), cchMax});
  Window* c = winsim::ChildWithId(Windows::Get(hDlg), nIDDlgItem);
  if (!lpString || cchMax <= 0) return call.Ret((UINT)0);
  if (!c) {
    *lpString = 0;
    return call.Fail(Windows::Get(hDlg) ? ERROR_CONTROL_ID_NOT_FOUND : ERROR_INVALID_WINDOW_HANDLE, (UINT)0);
  }
  UINT n = (UINT)winsim::Send(c->hwnd, WM_GETTEXT, (WPARAM)cchMax, (LPARAM)lpString);
  call.SetArg(2, Json(lpString));
  return call.Ret(n);
}

BOOL WINAPI SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned) {
  ApiCall call("SetDlgItemInt", {HandleJson(hDlg), nIDDlgItem, uValue, bSigned});
  Window* c = winsim::ChildWithId(Windows::Get(hDlg), nIDDlgItem);
  if (!c) return call.Fail(ERROR_CONTROL_ID_NOT_FOUND);
  std::string text = bSigned ? std::to_string((int)uValue) : std::to_string(uValue);
  winsim::Send(c->hwnd, WM_SETTEXT, 0, (LPARAM)text.c_str());
  return call.Ret((BOOL)TRUE);
}

UINT WINAPI GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned) {
  ApiCall call("GetDlgItemInt", {HandleJson(hDlg), nIDDlgItem, HandleJson(lpTranslated), bSigned});
  if (lpTranslated) *lpTranslated = FALSE;
  Window* c = winsim::ChildWithId(Windows::Get(hDlg), nIDDlgItem);
  if (!c) return call.Ret((UINT)0);
  const char* s = c->text.c_str();
  while (*s == ' ') ++s;
  char* end = nullptr;
  long long v = bSigned ? strtoll(s, &end, 10) : (long long)strtoull(s, &end, 10);
  while (end && *end == ' ') ++end;
  if (!end || end == s || *end) return call.Ret((UINT)0);
  if (lpTranslated) *lpTranslated = TRUE;
  return call.Ret((UINT)v);
}

LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam) {
  ApiCall call("SendDlgItemMessageA",
               {HandleJson(hDlg), nIDDlgItem, Msg, (unsigned long long)wParam, (long long)lParam});
  Window* c = winsim::ChildWithId(Windows::Get(hDlg), nIDDlgItem);
  if (!c) return call.Fail(Windows::Get(hDlg) ? ERROR_CONTROL_ID_NOT_FOUND : ERROR_INVALID_WINDOW_HANDLE, (LRESULT)0);
  return call.Ret(winsim::Send(c->hwnd, Msg, wParam, lParam));
}

BOOL WINAPI CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton) {
  ApiCall call("CheckRadioButton", {HandleJson(hDlg), nIDFirstButton, nIDLastButton, nIDCheckButton});
  Window* d = Windows::Get(hDlg);
  if (!d) return call.Fail(ERROR_INVALID_WINDOW_HANDLE);
  for (HWND h : d->children) {
    Window* c = Windows::Get(h);
    if (c && (int)c->id >= nIDFirstButton && (int)c->id <= nIDLastButton)
      winsim::Send(h, BM_SETCHECK, (int)c->id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
  ApiCall call("CheckDlgButton", {HandleJson(hDlg), nIDButton, uCheck});
  Window* c = winsim::ChildWithId(Windows::Get(hDlg), nIDButton);
  if (!c) return call.Fail(ERROR_CONTROL_ID_NOT_FOUND);
  winsim::Send(c->hwnd, BM_SETCHECK, uCheck, 0);
  return call.Ret((BOOL)TRUE);
}

UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton) {
  ApiCall call("IsDlgButtonChecked", {HandleJson(hDlg), nIDButton});
  Window* c = winsim::ChildWithId(Windows::Get(hDlg), nIDButton);
  if (!c) return call.Fail(ERROR_CONTROL_ID_NOT_FOUND, (UINT)0);
  return call.Ret((UINT)winsim::Send(c->hwnd, BM_GETCHECK, 0, 0));
}

HWND WINAPI GetNextDlgGroupItem(HWND hDlg, HWND hCtl, BOOL bPrevious) {
  ApiCall call("GetNextDlgGroupItem", {HandleJson(hDlg), HandleJson(hCtl), bPrevious});
  Window* d = Windows::Get(hDlg);
  if (!d || d->children.empty()) return call.Ret((HWND) nullptr);
  const auto& kids = d->children;
  size_t n = kids.size();
  size_t at = 0;
  while (at < n && kids[at] != hCtl) ++at;
  if (at == n) at = 0;
  // The group runs from a WS_GROUP control to the next one.
  size_t start = at;
  while (start > 0) {
    Window* c = Windows::Get(kids[start]);
    if (c && (c->style & WS_GROUP)) break;
    --start;
  }
  size_t end = at + 1;
  while (end < n) {
    Window* c = Windows::Get(kids[end]);
    if (c && (c->style & WS_GROUP)) break;
    ++end;
  }
  size_t count = end - start;
  for (size_t step = 1; step <= count; ++step) {
    size_t i = bPrevious ? start + (at - start + count - step % count) % count : start + (at - start + step) % count;
    Window* c = Windows::Get(kids[i]);
    if (c && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED)) return call.Ret(c->hwnd);
  }
  return call.Ret(hCtl);
}

HWND WINAPI GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious) {
  ApiCall call("GetNextDlgTabItem", {HandleJson(hDlg), HandleJson(hCtl), bPrevious});
  Window* d = Windows::Get(hDlg);
  if (!d || d->children.empty()) return call.Ret((HWND) nullptr);
  const auto& kids = d->children;
  size_t n = kids.size();
  size_t at = 0;
  while (at < n && kids[at] != hCtl) ++at;
  if (at == n) at = bPrevious ? 0 : n - 1;
  for (size_t step = 1; step <= n; ++step) {
    size_t i = bPrevious ? (at + n - step) % n : (at + step) % n;
    Window* c = Windows::Get(kids[i]);
    if (c && (c->style & WS_TABSTOP) && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED)) return call.Ret(c->hwnd);
  }
  return call.Ret(hCtl);
}

BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect) {
  ApiCall call("MapDialogRect", {HandleJson(hDlg), HandleJson(lpRect)});
  Window* d = Windows::Get(hDlg);
  if (!d || !d->isDialog || !lpRect) return call.Fail(d ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
  POINT base = winsim::DialogBaseUnits(d);
  lpRect->left = winsim::MulDivRound(lpRect->left, base.x, 4);
  lpRect->right = winsim::MulDivRound(lpRect->right, base.x, 4);
  lpRect->top = winsim::MulDivRound(lpRect->top, base.y, 8);
  lpRect->bottom = winsim::MulDivRound(lpRect->bottom, base.y, 8);
  call.SetArg(1, Json::Object()
                     .Set("left", (long long)lpRect->left)
                     .Set("top", (long long)lpRect->top)
                     .Set("right", (long long)lpRect->right)
                     .Set("bottom", (long long)lpRect->bottom));
  return call.Ret((BOOL)TRUE);
}

LONG WINAPI GetDialogBaseUnits(void) {
  ApiCall call("GetDialogBaseUnits", {});
  // The system font: 8 x 16.
  return call.Ret((LONG)MAKELONG(8, 16));
}

BOOL WINAPI IsDialogMessageA(HWND hDlg, LPMSG lpMsg) {
  ApiCall call("IsDialogMessageA", {HandleJson(hDlg), HandleJson(lpMsg)});
  if (!lpMsg) return call.Ret((BOOL)FALSE);
  return call.Ret((BOOL)winsim::DialogKeyboard(Windows::Get(hDlg), lpMsg));
}

}  // extern "C"
