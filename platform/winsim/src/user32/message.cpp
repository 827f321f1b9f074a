// The message queue of the simulated USER32: posted messages, painting,
// timers on the virtual clock, and the user, whose answers come from the
// script when the program waits for input.
#include "user32/message.h"

#include <algorithm>
#include <deque>

#include "core/journal.h"
#include "core/machine.h"
#include "core/script.h"
#include "user32/dialog.h"
#include "user32/input.h"

namespace winsim {

// The user takes this long to react: a timer due sooner fires before the
// next answer of the script is taken.
const unsigned kUserReactionMs = 500;

namespace {

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT elapse;
  uint64_t due;
  TIMERPROC proc;
};

struct QueueState {
  std::deque<MSG> posted;
  std::vector<Timer> timers;
  bool quit = false;
  int quitCode = 0;
  UINT_PTR nextThreadTimer = 0x7FF0;
};

QueueState& Q() {
  static QueueState q;
  return q;
}

ProcessState g_queue(81, [] { Q() = QueueState(); });

bool Matches(HWND filter, HWND hwnd) {
  if (!filter) return true;
  if (hwnd == filter) return true;
  Window* w = Windows::Get(hwnd);
  while (w && (w->style & WS_CHILD)) {
    if (w->parent == filter) return true;
    w = Windows::Get(w->parent);
  }
  return false;
}

bool InRange(UINT msg, UINT min, UINT max) { return (min == 0 && max == 0) || (msg >= min && msg <= max); }

bool ShownOnScreen(Window* w) {
  while (w) {
    if (!(w->style & WS_VISIBLE)) return false;
    if (!(w->style & WS_CHILD)) return true;
    w = Windows::Get(w->parent);
  }
  return false;
}

void Fill(MSG* msg, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  msg->hwnd = hwnd;
  msg->message = message;
  msg->wParam = wParam;
  msg->lParam = lParam;
  msg->time = (DWORD)(Machine::Current().Now() + 3600000);
  msg->pt.x = msg->pt.y = 0;
}

Timer* NextTimer(HWND filter) {
  Timer* best = nullptr;
  for (auto& t : Q().timers)
    if (Matches(filter, t.hwnd) && (!best || t.due < best->due)) best = &t;
  return best;
}

}  // namespace

LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = Windows::Get(hwnd);
  if (!w || !w->proc) return 0;
  return w->proc(hwnd, msg, wParam, lParam);
}

void Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG m;
  Fill(&m, hwnd, message, wParam, lParam);
  Q().posted.push_back(m);
}

void DropTimersOf(HWND hwnd) {
  auto& t = Q().timers;
  t.erase(std::remove_if(t.begin(), t.end(), [hwnd](const Timer& x) { return x.hwnd == hwnd; }), t.end());
}

// The message loop: the next message for `filter` (null: any), waiting as
// Windows does (posted messages, painting, timers, then the user); `wait`
// false takes only what is there now (PeekMessage). 1: a message; 0: WM_QUIT;
// -1: nothing now (only when not waiting).
int Next(MSG* msg, HWND filter, UINT min, UINT max, bool remove, bool wait) {
  QueueState& q = Q();
  Machine& m = Machine::Current();
  while (true) {
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
      if (!Matches(filter, it->hwnd) || !InRange(it->message, min, max)) continue;
      *msg = *it;
      if (remove) q.posted.erase(it);
      return msg->message == WM_QUIT ? 0 : 1;
    }
    if (q.quit) {
      Fill(msg, nullptr, WM_QUIT, (WPARAM)q.quitCode, 0);
      if (remove) q.quit = false;
      return 0;
    }
    if (InRange(WM_PAINT, min, max)) {
      for (Window* w : Windows::All()) {
        if (!w->invalid || !Matches(filter, w->hwnd) || !ShownOnScreen(w)) continue;
        Fill(msg, w->hwnd, WM_PAINT, 0, 0);
        // A window whose procedure never validates would be painted for
        // ever; its paint counts as done once it is handed out.
        if (remove) w->invalid = false;
        return 1;
      }
    }
    if (InRange(WM_TIMER, min, max)) {
      Timer* t = NextTimer(filter);
      if (t && t->due <= m.Now()) {
        Fill(msg, t->hwnd, WM_TIMER, t->id, (LPARAM)t->proc);
        if (remove) {
          t->due = m.Now() + t->elapse;
          // The journal shows when a timer fires, whichever loop takes it.
          Window* w = Windows::Get(msg->hwnd);
          Json j = w ? UiPlace(w) : Json::Object();
          j.Set("timer", (unsigned long long)msg->wParam);
          Journal::Ui("timer", j);
        }
        return 1;
      }
    }
    if (!wait) return -1;
    // Nothing is there: the program waits. A timer due within the user's
    // reaction time fires first; then the user answers; without an answer
    // the next timer fires at its time.
    Timer* t = InRange(WM_TIMER, min, max) ? NextTimer(filter) : nullptr;
    if (t && t->due <= m.Now() + kUserReactionMs) {
      m.Advance(t->due - m.Now());
      continue;
    }
    if (TakeUserInput()) continue;
    if (t) {
      m.Advance(t->due - m.Now());
      continue;
    }
    NoInput();
  }
}

bool Translate(const MSG* m) {
  if (m->message != WM_KEYDOWN && m->message != WM_SYSKEYDOWN) return false;
  // Keys that stand for characters become WM_CHAR.
  WPARAM vk = m->wParam;
  if (vk == VK_ESCAPE || vk == VK_RETURN || vk == VK_SPACE || vk == VK_TAB || vk == VK_BACK)
    Post(m->hwnd, WM_CHAR, vk, m->lParam);
  return true;
}

LRESULT Dispatch(const MSG* m) {
  if (m->message == WM_TIMER && m->lParam) {
    TIMERPROC proc = (TIMERPROC)m->lParam;
    proc(m->hwnd, WM_TIMER, m->wParam, (DWORD)(Machine::Current().Now() + 3600000));
    return 0;
  }
  if (!m->hwnd || !Windows::Get(m->hwnd)) return 0;
  return Send(m->hwnd, m->message, m->wParam, m->lParam);
}

INT_PTR RunModalLoop(Window* dialog) {
  HWND h = dialog->hwnd;
  while (true) {
    Window* d = Windows::Get(h);
    if (!d || d->ended) break;
    MSG msg;
    int r = Next(&msg, nullptr, 0, 0, true, false);
    if (r < 0) {
      // The dialog shows itself when its queue first runs empty.
      if (!(d->style & WS_VISIBLE)) {
        ShowWindowInternal(d, SW_SHOWNORMAL);
        continue;
      }
      r = Next(&msg, nullptr, 0, 0, true, true);
    }
    if (r == 0) {
      // WM_QUIT ends the dialog and stays for the program's own loop.
      Q().quit = true;
      Q().quitCode = (int)msg.wParam;
      break;
    }
    if (!DialogKeyboard(d, &msg)) {
      Translate(&msg);
      Dispatch(&msg);
    }
  }
  Window* d = Windows::Get(h);
  return d ? d->result : -1;
}

}  // namespace winsim

using winsim::ApiCall;
using winsim::HandleJson;
using winsim::Json;
using winsim::Window;
using winsim::Windows;

namespace {

Json MsgJson(const MSG* m) {
  if (!m) return Json();
  return Json::Object()
      .Set("hwnd", HandleJson(m->hwnd))
      .Set("message", (unsigned long long)m->message)
      .Set("wParam", (unsigned long long)m->wParam)
      .Set("lParam", (long long)m->lParam);
}

}  // namespace

extern "C" {

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  ApiCall call("SendMessageA", {HandleJson(hWnd), Msg, (unsigned long long)wParam, (long long)lParam});
  if (!Windows::Get(hWnd)) return call.Fail(ERROR_INVALID_WINDOW_HANDLE, (LRESULT)0);
  return call.Ret(winsim::Send(hWnd, Msg, wParam, lParam));
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  ApiCall call("PostMessageA", {HandleJson(hWnd), Msg, (unsigned long long)wParam, (long long)lParam});
  if (call.Fault()) return call.Ret((BOOL)FALSE);
  if (hWnd == HWND_BROADCAST) {
    for (Window* w : Windows::All())
      if (!(w->style & WS_CHILD)) winsim::Post(w->hwnd, Msg, wParam, lParam);
    return call.Ret((BOOL)TRUE);
  }
  if (hWnd && !Windows::Get(hWnd)) return call.Fail(ERROR_INVALID_WINDOW_HANDLE);
  winsim::Post(hWnd, Msg, wParam, lParam);
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  ApiCall call("GetMessageA", {HandleJson(lpMsg), HandleJson(hWnd), wMsgFilterMin, wMsgFilterMax});
  if (!lpMsg) return call.Fail(ERROR_NOACCESS, (BOOL)-1);
  if (hWnd && !Windows::Get(hWnd)) return call.Fail(ERROR_INVALID_WINDOW_HANDLE, (BOOL)-1);
  int r = winsim::Next(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true, true);
  call.SetArg(0, MsgJson(lpMsg));
  return call.Ret((BOOL)(r != 0));
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
  ApiCall call("PeekMessageA", {HandleJson(lpMsg), HandleJson(hWnd), wMsgFilterMin, wMsgFilterMax, wRemoveMsg});
  if (!lpMsg) return call.Fail(ERROR_NOACCESS);
  int r = winsim::Next(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0, false);
  if (r < 0) return call.Ret((BOOL)FALSE);
  call.SetArg(0, MsgJson(lpMsg));
  return call.Ret((BOOL)TRUE);
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
  ApiCall call("TranslateMessage", {MsgJson(lpMsg)});
  if (!lpMsg) return call.Ret((BOOL)FALSE);
  return call.Ret((BOOL)winsim::Translate(lpMsg));
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
  ApiCall call("DispatchMessageA", {MsgJson(lpMsg)});
  if (!lpMsg) return call.Ret((LRESULT)0);
  if (lpMsg->hwnd && !Windows::Get(lpMsg->hwnd)) return call.Fail(ERROR_INVALID_WINDOW_HANDLE, (LRESULT)0);
  return call.Ret(winsim::Dispatch(lpMsg));
}

void WINAPI PostQuitMessage(int nExitCode) {
  ApiCall call("PostQuitMessage", {nExitCode});
  winsim::Q().quit = true;
  winsim::Q().quitCode = nExitCode;
  call.RetVoid();
}

UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
  ApiCall call("SetTimer", {HandleJson(hWnd), (unsigned long long)nIDEvent, uElapse, HandleJson((void*)lpTimerFunc)});
  if (call.Fault()) return call.Ret((UINT_PTR)0);
  if (hWnd && !Windows::Get(hWnd)) return call.Fail(ERROR_INVALID_WINDOW_HANDLE, (UINT_PTR)0);
  // USER_TIMER_MINIMUM and USER_TIMER_MAXIMUM bound the interval.
  UINT elapse = uElapse < 10 ? 10 : (uElapse > 0x7FFFFFFF ? 0x7FFFFFFF : uElapse);
  UINT_PTR id = hWnd ? nIDEvent : winsim::Q().nextThreadTimer++;
  auto& timers = winsim::Q().timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(),
                              [&](const winsim::Timer& t) { return t.hwnd == hWnd && t.id == id; }),
               timers.end());
  timers.push_back({hWnd, id, elapse, winsim::Machine::Current().Now() + elapse, lpTimerFunc});
  return call.Ret(hWnd ? (nIDEvent ? nIDEvent : (UINT_PTR)1) : id);
}

BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
  ApiCall call("KillTimer", {HandleJson(hWnd), (unsigned long long)uIDEvent});
  auto& timers = winsim::Q().timers;
  auto it = std::find_if(timers.begin(), timers.end(),
                         [&](const winsim::Timer& t) { return t.hwnd == hWnd && t.id == uIDEvent; });
  if (it == timers.end()) return call.Fail(ERROR_INVALID_PARAMETER);
  timers.erase(it);
  return call.Ret((BOOL)TRUE);
}

}  // extern "C"
