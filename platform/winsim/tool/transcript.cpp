#include "transcript.h"

#include <cstdlib>

namespace winsim {

namespace {

using Value = JournalEntry;

// The field `key` of the line, or null when it has none.
const Value* Get(const Value& e, const char* key) {
  auto it = e.find(key);
  return it == e.end() ? nullptr : &*it;
}

// A string's text, a number as written; "" for anything else.
std::string Scalar(const Value* v) {
  if (!v) return "";
  if (v->is_string()) return v->get<std::string>();
  if (v->is_number()) return v->dump();
  return "";
}

// Text as the journal has it, with line ends shown as \r and \n.
std::string Quoted(const Value* v) {
  if (!v || v->is_null()) return "(none)";
  std::string s = "\"";
  for (char c : Scalar(v)) {
    if (c == '\r')
      s += "\\r";
    else if (c == '\n')
      s += "\\n";
    else if (c == '\t')
      s += "\\t";
    else
      s += c;
  }
  return s + "\"";
}

std::string Num(const Value* v) {
  if (!v || v->is_null()) return "-";
  if (v->is_boolean()) return v->get<bool>() ? "true" : "false";
  return Scalar(v);
}

bool IsTrue(const Value* v) { return v && v->is_boolean() && v->get<bool>(); }
bool IsFalse(const Value* v) { return v && v->is_boolean() && !v->get<bool>(); }

std::string Place(const Value& e) {
  std::string s = "dialog " + Num(Get(e, "dialog"));
  if (const Value* id = Get(e, "id")) s += ", control " + Num(id);
  return s;
}

const char* AnswerName(long id) {
  switch (id) {
    case 1:
      return "OK";
    case 2:
      return "Cancel";
    case 3:
      return "Abort";
    case 4:
      return "Retry";
    case 5:
      return "Ignore";
    case 6:
      return "Yes";
    case 7:
      return "No";
  }
  return "?";
}

long Long(const Value* v) { return v && v->is_number() ? atol(v->dump().c_str()) : 0; }

std::string Arg(const Value& e, size_t i) {
  const Value* args = Get(e, "args");
  if (!args || !args->is_array() || i >= args->size()) return "";
  const Value& a = (*args)[i];
  return a.is_string() ? Quoted(&a) : Num(&a);
}

std::string Ui(const Value& e, const std::string& kind) {
  if (kind == "dialog") {
    std::string event = Num(Get(e, "event"));
    if (event == "ended") return "dialog " + Num(Get(e, "dialog")) + " ended with " + Num(Get(e, "result"));
    std::string s = "dialog " + Num(Get(e, "dialog")) + " " + Quoted(Get(e, "caption")) + " shown";
    const Value* controls = Get(e, "controls");
    if (controls && controls->is_array())
      for (const auto& c : *controls) {
        s += "\n    " + Num(Get(c, "id")) + " " + Num(Get(c, "class")) + " " + Quoted(Get(c, "text"));
        if (IsFalse(Get(c, "enabled"))) s += " (disabled)";
        if (IsFalse(Get(c, "visible"))) s += " (hidden)";
      }
    return s;
  }
  if (kind == "caption") return "dialog " + Num(Get(e, "dialog")) + " caption " + Quoted(Get(e, "text"));
  if (kind == "text") return Place(e) + " text " + Quoted(Get(e, "text"));
  if (kind == "progress") return Place(e) + " progress " + Num(Get(e, "pos"));
  if (kind == "progress-range")
    return Place(e) + " progress range " + Num(Get(e, "low")) + " to " + Num(Get(e, "high"));
  if (kind == "progress-step") return Place(e) + " progress step " + Num(Get(e, "step"));
  if (kind == "check") return Place(e) + (Long(Get(e, "checked")) ? " checked" : " unchecked");
  if (kind == "enabled") return Place(e) + (IsTrue(Get(e, "enabled")) ? " enabled" : " disabled");
  if (kind == "list") {
    std::string event = Num(Get(e, "event"));
    if (event == "reset") return Place(e) + " list emptied";
    return Place(e) + " list " + (event == "add" ? "gets " : "loses ") + Quoted(Get(e, "text"));
  }
  if (kind == "list-check")
    return Place(e) + " entry " + Quoted(Get(e, "item")) + (IsTrue(Get(e, "checked")) ? " checked" : " unchecked");
  if (kind == "msgbox") {
    long answer = Long(Get(e, "answer"));
    return "message box " + Quoted(Get(e, "caption")) + ": " + Quoted(Get(e, "text")) + " -> " + AnswerName(answer);
  }
  if (kind == "window") return "dialog " + Num(Get(e, "dialog")) + " " + Num(Get(e, "event"));
  if (kind == "draw-icon")
    return Place(e) + " draws icon " + Num(Get(e, "icon")) + " at " + Num(Get(e, "x")) + ", " + Num(Get(e, "y"));
  if (kind == "timer") return "timer " + Num(Get(e, "timer")) + " fires (WM_TIMER)";
  if (kind == "cursor") return "cursor " + Num(Get(e, "cursor"));
  if (kind == "no-answer") return "NO ANSWER for: " + Num(Get(e, "shown"));
  if (kind == "exit") return "process ends with status " + Num(Get(e, "status"));
  return kind;
}

std::string Call(const Value& e, const std::string& name) {
  if (name == "SetTimer") return "timer " + Arg(e, 1) + " set for " + Arg(e, 2) + " ms";
  if (name == "KillTimer") return "timer " + Arg(e, 1) + " killed";
  if (name == "CreateProcessA")
    return "starts " + Arg(e, 0) + " with command line " + Arg(e, 1) + " -> " + Num(Get(e, "ret"));
  if (name == "WinExec") return "runs " + Arg(e, 0) + " -> " + Num(Get(e, "ret"));
  if (name == "ExitWindowsEx") return "asks Windows to restart (flags " + Arg(e, 0) + ") -> " + Num(Get(e, "ret"));
  return "";
}

}  // namespace

bool MayHaveTranscriptLine(const JournalLineHead& head, const void*) {
  if (head.hasUi || head.hasLeftOpen) return true;
  // The calls the transcript tells, asked of Call itself so that the two
  // never disagree: it words every one of them even without arguments.
  static const Value kNoFields = Value::object();
  for (const auto& name : head.calls)
    if (!Call(kNoFields, name).empty()) return true;
  return false;
}

std::string TranscriptLine(const JournalEntry& e) {
  if (!e.is_object()) return "";
  std::string what;
  if (const Value* ui = Get(e, "ui"))
    what = Ui(e, Scalar(ui));
  else if (const Value* call = Get(e, "call"))
    what = Call(e, Scalar(call));
  else if (const Value* kind = Get(e, "left-open"))
    what = "handle " + Num(Get(e, "handle")) + " left open: " + Scalar(kind) + " " + Scalar(Get(e, "name"));
  if (what.empty()) return "";
  std::string t = Num(Get(e, "t"));
  while (t.size() < 6) t = " " + t;
  return t + " ms  [" + Num(Get(e, "pid")) + "] " + what;
}

}  // namespace winsim
