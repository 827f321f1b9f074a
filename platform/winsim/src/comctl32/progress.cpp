// COMCTL32 of the simulated Windows: the progress bar.
#include "comctl32/progress.h"

#include "commctrl.h"
#include "core/journal.h"
#include "user32/window.h"

namespace winsim {

namespace {

void Moved(Window* w, int old) {
  if (w->pbPos == old) return;
  Json j = UiPlace(w);
  j.Set("pos", (long long)w->pbPos);
  Journal::Ui("progress", j);
  Invalidate(w);
}

void Coerce(Window* w) {
  if (w->pbPos < w->pbLow) w->pbPos = w->pbLow;
  if (w->pbPos > w->pbHigh) w->pbPos = w->pbHigh;
}

LRESULT SetRange(Window* w, int low, int high) {
  // Every range and step the bar is given is recorded, also when it is the
  // one the bar had: the transcript shows how the program set the bar up.
  LRESULT old = MAKELONG((WORD)w->pbLow, (WORD)w->pbHigh);
  int pos = w->pbPos;
  w->pbLow = low;
  w->pbHigh = high;
  Json j = UiPlace(w);
  j.Set("low", (long long)low).Set("high", (long long)high);
  Journal::Ui("progress-range", j);
  Coerce(w);
  Moved(w, pos);
  return old;
}

}  // namespace

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = Windows::Get(hwnd);
  if (!w) return 0;
  int old = w->pbPos;
  switch (msg) {
    case WM_CREATE:
      w->pbLow = 0;
      w->pbHigh = 100;
      w->pbPos = 0;
      w->pbStep = 10;
      return 0;
    case PBM_SETRANGE:
      return SetRange(w, (int)LOWORD(lParam), (int)HIWORD(lParam));
    case PBM_SETRANGE32:
      return SetRange(w, (int)wParam, (int)lParam);
    case PBM_GETRANGE:
      if (lParam) {
        ((PPBRANGE)lParam)->iLow = w->pbLow;
        ((PPBRANGE)lParam)->iHigh = w->pbHigh;
      }
      return wParam ? w->pbLow : w->pbHigh;
    case PBM_SETPOS:
      w->pbPos = (int)wParam;
      Coerce(w);
      Moved(w, old);
      return (LRESULT)(UINT)old;
    case PBM_DELTAPOS:
      w->pbPos += (int)wParam;
      Coerce(w);
      Moved(w, old);
      return old;
    case PBM_GETPOS:
      return w->pbPos;
    case PBM_SETSTEP: {
      int oldStep = w->pbStep;
      w->pbStep = (int)wParam;
      Json j = UiPlace(w);
      j.Set("step", (long long)w->pbStep);
      Journal::Ui("progress-step", j);
      return oldStep;
    }
    case PBM_GETSTEP:
      return w->pbStep;
    case PBM_STEPIT:
      // Past the top of the range the bar starts over from the bottom, as
      // the control is documented to do.
      if (w->pbLow != w->pbHigh) {
        int span = w->pbHigh - w->pbLow;
        w->pbPos += w->pbStep;
        if (w->pbPos > w->pbHigh) w->pbPos = (w->pbPos - w->pbLow) % span + w->pbLow;
        if (w->pbPos < w->pbLow) w->pbPos = (w->pbPos - w->pbLow) % span + w->pbHigh;
        Moved(w, old);
      }
      return old;
    case PBM_SETBARCOLOR:
    case PBM_SETBKCOLOR:
      return (LRESULT)CLR_DEFAULT;
    case PBM_GETBARCOLOR:
    case PBM_GETBKCOLOR:
      return (LRESULT)CLR_DEFAULT;
    case PBM_SETSTATE:
    case PBM_GETSTATE:
      return PBST_NORMAL;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      w->invalid = false;
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace winsim

using winsim::ApiCall;
using winsim::Json;

extern "C" {

void WINAPI InitCommonControls(void) {
  ApiCall call("InitCommonControls", {});
  call.RetVoid();
}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) {
  ApiCall call("InitCommonControlsEx",
               {picce ? Json::Object().Set("dwSize", picce->dwSize).Set("dwICC", picce->dwICC) : Json()});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (!picce || picce->dwSize != sizeof(INITCOMMONCONTROLSEX)) return call.Ret((BOOL)FALSE);
  return call.Ret((BOOL)TRUE);
}

}  // extern "C"
