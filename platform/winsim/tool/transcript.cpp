#include "transcript.h"

#include <cctype>
#include <cstring>
#include <cstdlib>
#include <map>
#include <vector>

namespace winsim {

namespace {

// A journal value: just enough JSON for the journal's own lines.
struct Value {
  enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
  std::string text;  // number or string
  bool flag = false;
  std::vector<Value> items;
  std::vector<std::pair<std::string, Value>> fields;
  const Value* Get(const std::string& key) const {
    for (const auto& f : fields)
      if (f.first == key) return &f.second;
    return nullptr;
  }
};

class Parser {
 public:
  explicit Parser(const std::string& s) : m_s(s) {}
  bool Parse(Value* v) {
    Blank();
    if (m_pos >= m_s.size()) return false;
    char c = m_s[m_pos];
    if (c == '{') {
      v->kind = Value::Object;
      ++m_pos;
      Blank();
      if (Peek('}')) return ++m_pos, true;
      while (true) {
        Value key;
        Blank();
        if (!Peek('"') || !String(&key.text)) return false;
        Blank();
        if (!Peek(':')) return false;
        ++m_pos;
        Value item;
        if (!Parse(&item)) return false;
        v->fields.emplace_back(key.text, item);
        Blank();
        if (Peek(',')) {
          ++m_pos;
          continue;
        }
        if (Peek('}')) return ++m_pos, true;
        return false;
      }
    }
    if (c == '[') {
      v->kind = Value::Array;
      ++m_pos;
      Blank();
      if (Peek(']')) return ++m_pos, true;
      while (true) {
        Value item;
        if (!Parse(&item)) return false;
        v->items.push_back(item);
        Blank();
        if (Peek(',')) {
          ++m_pos;
          continue;
        }
        if (Peek(']')) return ++m_pos, true;
        return false;
      }
    }
    if (c == '"') {
      v->kind = Value::String;
      return String(&v->text);
    }
    if (m_s.compare(m_pos, 4, "null") == 0) return m_pos += 4, true;
    if (m_s.compare(m_pos, 4, "true") == 0) return v->kind = Value::Bool, v->flag = true, m_pos += 4, true;
    if (m_s.compare(m_pos, 5, "false") == 0) return v->kind = Value::Bool, m_pos += 5, true;
    size_t start = m_pos;
    while (m_pos < m_s.size() && (isdigit((unsigned char)m_s[m_pos]) || strchr("+-.eE", m_s[m_pos]))) ++m_pos;
    if (start == m_pos) return false;
    v->kind = Value::Number;
    v->text = m_s.substr(start, m_pos - start);
    return true;
  }

 private:
  void Blank() {
    while (m_pos < m_s.size() && isspace((unsigned char)m_s[m_pos])) ++m_pos;
  }
  bool Peek(char c) const { return m_pos < m_s.size() && m_s[m_pos] == c; }
  bool String(std::string* out) {
    ++m_pos;
    while (m_pos < m_s.size() && m_s[m_pos] != '"') {
      char c = m_s[m_pos++];
      if (c != '\\') {
        *out += c;
        continue;
      }
      if (m_pos >= m_s.size()) return false;
      char e = m_s[m_pos++];
      switch (e) {
        case 'n': *out += '\n'; break;
        case 'r': *out += '\r'; break;
        case 't': *out += '\t'; break;
        case 'b': *out += '\b'; break;
        case 'f': *out += '\f'; break;
        case 'u': {
          if (m_pos + 4 > m_s.size()) return false;
          unsigned cp = (unsigned)strtoul(m_s.substr(m_pos, 4).c_str(), nullptr, 16);
          m_pos += 4;
          *out += cp < 0x100 ? (char)cp : '?';
          break;
        }
        default: *out += e; break;
      }
    }
    if (!Peek('"')) return false;
    ++m_pos;
    return true;
  }
  const std::string& m_s;
  size_t m_pos = 0;
};

// Text as the journal has it, with line ends shown as \r and \n.
std::string Quoted(const Value* v) {
  if (!v || v->kind == Value::Null) return "(none)";
  std::string s = "\"";
  for (char c : v->text) {
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
  if (!v || v->kind == Value::Null) return "-";
  if (v->kind == Value::Bool) return v->flag ? "true" : "false";
  if (v->kind == Value::String) return v->text;
  return v->text;
}

std::string Place(const Value& e) {
  std::string s = "dialog " + Num(e.Get("dialog"));
  if (const Value* id = e.Get("id")) s += ", control " + Num(id);
  return s;
}

const char* AnswerName(long id) {
  switch (id) {
    case 1: return "OK";
    case 2: return "Cancel";
    case 3: return "Abort";
    case 4: return "Retry";
    case 5: return "Ignore";
    case 6: return "Yes";
    case 7: return "No";
  }
  return "?";
}

long Long(const Value* v) { return v && v->kind == Value::Number ? atol(v->text.c_str()) : 0; }

std::string Arg(const Value& e, size_t i) {
  const Value* args = e.Get("args");
  if (!args || i >= args->items.size()) return "";
  const Value& a = args->items[i];
  return a.kind == Value::String ? Quoted(&a) : Num(&a);
}

std::string Ui(const Value& e, const std::string& kind) {
  if (kind == "dialog") {
    std::string event = Num(e.Get("event"));
    if (event == "ended") return "dialog " + Num(e.Get("dialog")) + " ended with " + Num(e.Get("result"));
    std::string s = "dialog " + Num(e.Get("dialog")) + " " + Quoted(e.Get("caption")) + " shown";
    if (const Value* controls = e.Get("controls"))
      for (const auto& c : controls->items) {
        s += "\n    " + Num(c.Get("id")) + " " + Num(c.Get("class")) + " " + Quoted(c.Get("text"));
        const Value* enabled = c.Get("enabled");
        if (enabled && enabled->kind == Value::Bool && !enabled->flag) s += " (disabled)";
        const Value* visible = c.Get("visible");
        if (visible && visible->kind == Value::Bool && !visible->flag) s += " (hidden)";
      }
    return s;
  }
  if (kind == "caption") return "dialog " + Num(e.Get("dialog")) + " caption " + Quoted(e.Get("text"));
  if (kind == "text") return Place(e) + " text " + Quoted(e.Get("text"));
  if (kind == "progress") return Place(e) + " progress " + Num(e.Get("pos"));
  if (kind == "progress-range") return Place(e) + " progress range " + Num(e.Get("low")) + " to " + Num(e.Get("high"));
  if (kind == "progress-step") return Place(e) + " progress step " + Num(e.Get("step"));
  if (kind == "check") return Place(e) + (Long(e.Get("checked")) ? " checked" : " unchecked");
  if (kind == "enabled") {
    const Value* v = e.Get("enabled");
    return Place(e) + (v && v->flag ? " enabled" : " disabled");
  }
  if (kind == "list") {
    std::string event = Num(e.Get("event"));
    if (event == "reset") return Place(e) + " list emptied";
    return Place(e) + " list " + (event == "add" ? "gets " : "loses ") + Quoted(e.Get("text"));
  }
  if (kind == "list-check") {
    const Value* v = e.Get("checked");
    return Place(e) + " entry " + Quoted(e.Get("item")) + (v && v->flag ? " checked" : " unchecked");
  }
  if (kind == "msgbox") {
    long answer = Long(e.Get("answer"));
    return "message box " + Quoted(e.Get("caption")) + ": " + Quoted(e.Get("text")) + " -> " + AnswerName(answer);
  }
  if (kind == "window") return "dialog " + Num(e.Get("dialog")) + " " + Num(e.Get("event"));
  if (kind == "draw-icon")
    return Place(e) + " draws icon " + Num(e.Get("icon")) + " at " + Num(e.Get("x")) + ", " + Num(e.Get("y"));
  if (kind == "timer") return "timer " + Num(e.Get("timer")) + " fires (WM_TIMER)";
  if (kind == "cursor") return "cursor " + Num(e.Get("cursor"));
  if (kind == "no-answer") return "NO ANSWER for: " + Num(e.Get("shown"));
  if (kind == "exit") return "process ends with status " + Num(e.Get("status"));
  return kind;
}

std::string Call(const Value& e, const std::string& name) {
  if (name == "SetTimer") return "timer " + Arg(e, 1) + " set for " + Arg(e, 2) + " ms";
  if (name == "KillTimer") return "timer " + Arg(e, 1) + " killed";
  if (name == "CreateProcessA") return "starts " + Arg(e, 0) + " with command line " + Arg(e, 1) + " -> " + Num(e.Get("ret"));
  if (name == "WinExec") return "runs " + Arg(e, 0) + " -> " + Num(e.Get("ret"));
  if (name == "ExitWindowsEx") return "asks Windows to restart (flags " + Arg(e, 0) + ") -> " + Num(e.Get("ret"));
  return "";
}

}  // namespace

std::string TranscriptLine(const std::string& line) {
  Value e;
  Parser p(line);
  if (!p.Parse(&e) || e.kind != Value::Object) return "";
  std::string what;
  if (const Value* ui = e.Get("ui"))
    what = Ui(e, ui->text);
  else if (const Value* call = e.Get("call"))
    what = Call(e, call->text);
  if (what.empty()) return "";
  std::string t = Num(e.Get("t"));
  while (t.size() < 6) t = " " + t;
  return t + " ms  [" + Num(e.Get("pid")) + "] " + what;
}

}  // namespace winsim
