// Message boxes, answered by the user of the simulated machine.
#include "core/journal.h"
#include "core/script.h"
#include "user32/window.h"

namespace {

struct Answer {
  const char* word;
  int id;
};

const Answer kAnswers[] = {{"ok", IDOK}, {"cancel", IDCANCEL}, {"yes", IDYES}, {"no", IDNO}};

// The answers the box's buttons can give.
struct Buttons {
  UINT type;
  const char* label;
  int ids[3];
};

const Buttons kButtons[] = {
    {MB_OK, "OK", {IDOK, 0, 0}},
    {MB_OKCANCEL, "OK, Cancel", {IDOK, IDCANCEL, 0}},
    {MB_ABORTRETRYIGNORE, "Abort, Retry, Ignore", {0, 0, 0}},
    {MB_YESNOCANCEL, "Yes, No, Cancel", {IDYES, IDNO, IDCANCEL}},
    {MB_YESNO, "Yes, No", {IDYES, IDNO, 0}},
    {MB_RETRYCANCEL, "Retry, Cancel", {IDCANCEL, 0, 0}},
    {MB_CANCELTRYCONTINUE, "Cancel, Try Again, Continue", {IDCANCEL, 0, 0}},
};

}  // namespace

using winsim::ApiCall;
using winsim::HandleJson;
using winsim::Json;

extern "C" {

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  ApiCall call("MessageBoxA", {HandleJson(hWnd), lpText, lpCaption, uType});
  if (call.Fault()) return call.Ret(0);
  std::string caption = lpCaption ? lpCaption : "Error";
  std::string text = lpText ? lpText : "";
  const Buttons* buttons = &kButtons[0];
  for (const auto& b : kButtons)
    if (b.type == (uType & MB_TYPEMASK)) buttons = &b;
  std::string shown = "message box \"" + caption + "\": \"" + winsim::Squeeze(text) + "\" [" + buttons->label + "]";

  // The owner takes no input while the box is up.
  winsim::Window* owner = winsim::Windows::Get(hWnd);
  while (owner && (owner->style & WS_CHILD)) owner = winsim::Windows::Get(owner->parent);
  HWND ownerHwnd = owner ? owner->hwnd : nullptr;
  bool disabled = owner && !(owner->style & WS_DISABLED);
  if (disabled) winsim::EnableWindowInternal(owner, false);

  winsim::ScriptLine line;
  if (!winsim::Script::Next(winsim::ScriptQueue::MsgBox, shown, &line)) winsim::Script::NoAnswer(shown);
  int answer = 0;
  for (const auto& a : kAnswers)
    if (line.word == a.word) answer = a.id;
  // A person who declines whatever comes: No, else Cancel, else OK.
  if (line.word == "decline") {
    for (int wanted : {IDNO, IDCANCEL, IDOK})
      for (int id : buttons->ids)
        if (!answer && id == wanted) answer = id;
  }
  bool possible = false;
  for (int id : buttons->ids) possible = possible || (id && id == answer);
  std::string lineText = "script line " + std::to_string(line.number) + " 'msgbox " + line.word +
                         (line.text.empty() ? "" : " " + line.text) + "'";
  if (!possible) winsim::Script::NoAnswer(lineText + " cannot answer " + shown);
  if (!line.text.empty() && winsim::Squeeze(text).find(line.text) == std::string::npos)
    winsim::Script::NoAnswer(lineText + " expects other text than " + shown);

  if (disabled && winsim::Windows::Get(ownerHwnd)) winsim::EnableWindowInternal(winsim::Windows::Get(ownerHwnd), true);
  winsim::Journal::Ui("msgbox", Json::Object()
                                    .Set("caption", caption)
                                    .Set("text", text)
                                    .Set("type", (unsigned long long)uType)
                                    .Set("answer", (long long)answer));
  return call.Ret(answer);
}

BOOL WINAPI MessageBeep(UINT uType) {
  ApiCall call("MessageBeep", {uType});
  return call.Ret((BOOL)TRUE);
}

}  // extern "C"
