// The user at the simulated machine: when the program waits for input, the
// next answer of the script becomes what a person would do (mouse clicks and
// keys posted to the window that has the input).
#include "user32/input.h"

#include <strings.h>

#include <string>

#include "core/journal.h"
#include "core/script.h"
#include "user32/controls.h"
#include "user32/message.h"
#include "user32/window.h"

namespace winsim {

namespace {

Window* ChildById(Window* dialog, long id) {
  for (HWND h : dialog->children) {
    Window* c = Windows::Get(h);
    if (c && (int)c->id == (int)id) return c;
  }
  return nullptr;
}

bool Usable(Window* w) { return w && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED); }

std::string LineText(const ScriptLine& line) {
  std::string s = "script line " + std::to_string(line.number) + " '" + line.kind;
  if (!line.word.empty()) s += " " + line.word;
  if (!line.text.empty()) s += " " + line.text;
  return s + "'";
}

// A click of the left button in the middle of a control (or at `at`).
void PostClick(Window* w, POINT at) {
  LPARAM lp = MAKELPARAM(at.x, at.y);
  Post(w->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, lp);
  Post(w->hwnd, WM_LBUTTONUP, 0, lp);
}

POINT Middle(Window* w) {
  RECT c = ClientRect(w);
  POINT p = {c.right / 2, c.bottom / 2};
  return p;
}

void PostKey(Window* dialog, WPARAM vk) {
  HWND target = dialog->focus && Windows::Get(dialog->focus) ? dialog->focus : dialog->hwnd;
  Post(target, WM_KEYDOWN, vk, 1);
  Post(target, WM_KEYUP, vk, (LPARAM)0xC0000001);
}

void DialogLine(Window* dialog, const ScriptLine& line) {
  if (line.word == "radio") {
    Window* b = ChildById(dialog, atol(line.text.c_str()));
    DWORD type = b && b->className == "Button" ? ButtonType(b) : 0xFF;
    if (!b || (type != BS_RADIOBUTTON && type != BS_AUTORADIOBUTTON))
      Script::NoAnswer(LineText(line) + ": no radio button " + line.text + " in " + Describe(dialog));
    if (!Usable(b))
      Script::NoAnswer(LineText(line) + ": radio button " + line.text + " cannot be clicked in " + Describe(dialog));
    PostClick(b, Middle(b));
    return;
  }
  if (line.word == "ok") {
    // The OK button when there is one, else Enter.
    Window* ok = ChildById(dialog, IDOK);
    if (Usable(ok))
      PostClick(ok, Middle(ok));
    else
      PostKey(dialog, VK_RETURN);
    return;
  }
  PostKey(dialog, VK_ESCAPE);
}

Window* FindListItem(Window* w, const std::string& text, int* index) {
  for (HWND h : w->children) {
    Window* c = Windows::Get(h);
    if (!c || c->className != "ListBox") continue;
    for (size_t i = 0; i < c->items.size(); ++i)
      if (c->items[i].text == text) {
        *index = (int)i;
        return c;
      }
  }
  return nullptr;
}

void InputLine(Window* w, const ScriptLine& line) {
  if (line.kind == "minimize") {
    Post(w->hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    return;
  }
  if (line.kind == "click") {
    Window* c = ChildById(w, atol(line.text.c_str()));
    if (!c) Script::NoAnswer(LineText(line) + ": no control " + line.text + " in " + Describe(w));
    if (!Usable(c))
      Script::NoAnswer(LineText(line) + ": control " + line.text + " cannot be clicked in " + Describe(w));
    PostClick(c, Middle(c));
    return;
  }
  // check / uncheck: a click into the item's check box, at the left of the
  // entry, when the box the program drew shows the other state.
  int index = -1;
  Window* list = FindListItem(w, line.text, &index);
  if (!list) Script::NoAnswer(LineText(line) + ": no list entry \"" + line.text + "\" in " + Describe(w));
  if (!Usable(list)) Script::NoAnswer(LineText(line) + ": the list cannot be used in " + Describe(w));
  bool want = line.kind == "check";
  bool shown = list->items[(size_t)index].drawnCheck == 1;
  if (shown == want) return;
  POINT at = {4, (index - list->topIndex) * list->itemHeight + list->itemHeight / 2};
  PostClick(list, at);
}

}  // namespace

bool TakeUserInput() {
  Window* w = ActiveTopLevel();
  if (!w) return false;
  // A dialog over another window answers with `dialog` lines; the program's
  // own main window (a dialog without an owner, even one run by
  // DialogBoxParamA) with check, uncheck, click, minimize, and a modal one
  // with `dialog` lines when none of those is left.
  bool modal = w->isDialog && w->owner;
  if (w->isDialog && !w->owner && w->modal && !Script::HasNext(ScriptQueue::Input) &&
      Script::HasNext(ScriptQueue::Dialog))
    modal = true;
  ScriptLine line;
  std::string shown = Describe(w);
  if (!Script::Next(modal ? ScriptQueue::Dialog : ScriptQueue::Input, shown, &line)) return false;
  if (modal)
    DialogLine(w, line);
  else
    InputLine(w, line);
  return true;
}

[[noreturn]] void NoInput() {
  Window* w = ActiveTopLevel();
  Script::NoAnswer(w ? Describe(w) : std::string("the program waits for input and shows no window"));
}

}  // namespace winsim
