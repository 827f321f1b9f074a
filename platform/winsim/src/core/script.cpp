#include "core/script.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "core/ini.h"
#include "core/journal.h"
#include "core/machine.h"
#include "core/process.h"

namespace winsim {

namespace {

const char* const kQueueKeys[] = {"msgbox", "dialog", "input"};

struct ScriptState {
  bool loaded = false;
  bool present = false;  // a script was given (file or test text)
  std::string source;    // its path, "<test>" for test text
  bool testText = false;
  std::string text;
  std::vector<ScriptLine> queues[3];
  size_t positions[3] = {0, 0, 0};
};

ScriptState& SState() {
  static ScriptState s;
  return s;
}

[[noreturn]] void BadScript(const std::string& message) {
  fprintf(stderr, "winsim: WINSIM_SCRIPT: %s\n", message.c_str());
  EndProcess(98);
}

void ParseAll(ScriptState& s) {
  for (auto& q : s.queues) q.clear();
  std::istringstream in(s.text);
  std::string raw;
  int number = 0;
  while (std::getline(in, raw)) {
    ++number;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    size_t first = raw.find_first_not_of(" \t");
    if (first == std::string::npos || raw[first] == '#') continue;
    ScriptLine line;
    std::string error;
    if (!Script::Parse(raw, &line, &error)) BadScript("line " + std::to_string(number) + ": " + error);
    line.number = number;
    s.queues[(int)Script::QueueOf(line.kind)].push_back(line);
  }
}

void EnsureScriptLoaded() {
  ScriptState& s = SState();
  if (s.loaded) return;
  s.loaded = true;
  if (s.testText) {
    s.present = true;
    s.source = "<test>";
  } else {
    const char* path = getenv("WINSIM_SCRIPT");
    s.present = path && *path;
    if (!s.present) return;
    s.source = path;
    std::ifstream in(path, std::ios::binary);
    if (!in) BadScript(std::string("cannot read ") + path);
    std::stringstream text;
    text << in.rdbuf();
    s.text = text.str();
  }
  ParseAll(s);
}

// machine.ini [script]: the script of the run and how far each queue got.
class ScriptPositions : public Subsystem {
 public:
  ScriptPositions() : Subsystem(90) {}
  void Load(Machine& m) override {
    ScriptState& s = SState();
    EnsureScriptLoaded();
    if (!s.present) return;
    bool same = m.ini().Get("script", "file", "") == s.source;
    for (int i = 0; i < 3; ++i) {
      long pos = same ? m.ini().GetInt("script", kQueueKeys[i], 0) : 0;
      s.positions[i] = pos < 0 ? 0 : (size_t)pos;
    }
  }
  void Save(Machine& m) override {
    ScriptState& s = SState();
    if (!s.loaded || !s.present) return;
    m.ini().Set("script", "file", s.source);
    for (int i = 0; i < 3; ++i) m.ini().SetInt("script", kQueueKeys[i], (long)s.positions[i]);
  }
  void Unload() override {}
};

ScriptPositions g_positions;

bool AskTerminal(ScriptQueue queue, const std::string& shown, ScriptLine* line) {
  static const char* const kHelp[] = {"msgbox yes|no|ok|cancel|decline",
                                      "dialog radio <id> | dialog ok | dialog cancel",
                                      "check <text> | uncheck <text> | click <id> | minimize"};
  fprintf(stderr, "\n%s\n", shown.c_str());
  while (true) {
    fprintf(stderr, "answer (%s)> ", kHelp[(int)queue]);
    fflush(stderr);
    char buf[1024];
    if (!fgets(buf, sizeof buf, stdin)) return false;
    std::string raw = buf;
    while (!raw.empty() && (raw.back() == '\n' || raw.back() == '\r')) raw.pop_back();
    std::string error;
    if (!Script::Parse(raw, line, &error)) {
      fprintf(stderr, "%s\n", error.c_str());
      continue;
    }
    if (Script::QueueOf(line->kind) != queue) {
      fprintf(stderr, "this needs: %s\n", kHelp[(int)queue]);
      continue;
    }
    return true;
  }
}

}  // namespace

std::string Squeeze(const std::string& s) {
  std::string out;
  bool blank = false;
  for (char c : s) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      blank = true;
      continue;
    }
    if (blank && !out.empty()) out += ' ';
    blank = false;
    out += c;
  }
  return out;
}

ScriptQueue Script::QueueOf(const std::string& kind) {
  if (kind == "msgbox") return ScriptQueue::MsgBox;
  if (kind == "dialog") return ScriptQueue::Dialog;
  return ScriptQueue::Input;
}

bool Script::Parse(const std::string& raw, ScriptLine* out, std::string* error) {
  std::string s = raw;
  size_t first = s.find_first_not_of(" \t");
  s = first == std::string::npos ? "" : s.substr(first);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  size_t sp = s.find_first_of(" \t");
  std::string kind = s.substr(0, sp);
  std::string rest = sp == std::string::npos ? "" : s.substr(s.find_first_not_of(" \t", sp));
  *out = ScriptLine();
  out->kind = kind;
  auto isNumber = [](const std::string& t) {
    if (t.empty()) return false;
    size_t i = t[0] == '-' ? 1 : 0;
    if (i == t.size()) return false;
    for (; i < t.size(); ++i)
      if (t[i] < '0' || t[i] > '9') return false;
    return true;
  };
  if (kind == "msgbox") {
    size_t sp2 = rest.find_first_of(" \t");
    out->word = rest.substr(0, sp2);
    out->text = sp2 == std::string::npos ? "" : Squeeze(rest.substr(sp2));
    if (out->word != "yes" && out->word != "no" && out->word != "ok" && out->word != "cancel" &&
        out->word != "decline") {
      *error = "'" + raw + "': msgbox takes yes, no, ok, cancel or decline";
      return false;
    }
    return true;
  }
  if (kind == "dialog") {
    size_t sp2 = rest.find_first_of(" \t");
    out->word = rest.substr(0, sp2);
    out->text = sp2 == std::string::npos ? "" : Squeeze(rest.substr(sp2));
    if (out->word == "radio" && isNumber(out->text)) return true;
    if ((out->word == "ok" || out->word == "cancel") && out->text.empty()) return true;
    *error = "'" + raw + "': dialog takes radio <id>, ok or cancel";
    return false;
  }
  if (kind == "check" || kind == "uncheck") {
    out->text = rest;
    if (rest.empty()) {
      *error = "'" + raw + "': " + kind + " takes the text of a list entry";
      return false;
    }
    return true;
  }
  if (kind == "click") {
    out->text = rest;
    if (!isNumber(rest)) {
      *error = "'" + raw + "': click takes a control id";
      return false;
    }
    return true;
  }
  if (kind == "minimize" && rest.empty()) return true;
  *error = "'" + raw + "' is no answer (msgbox, dialog, check, uncheck, click, minimize)";
  return false;
}

bool Script::Next(ScriptQueue queue, const std::string& shown, ScriptLine* line) {
  ScriptState& s = SState();
  EnsureScriptLoaded();
  if (!s.present) return isatty(0) && AskTerminal(queue, shown, line);
  auto& q = s.queues[(int)queue];
  size_t& pos = s.positions[(int)queue];
  if (pos >= q.size()) return false;
  *line = q[pos++];
  return true;
}

bool Script::HasNext(ScriptQueue queue) {
  ScriptState& s = SState();
  EnsureScriptLoaded();
  if (!s.present) return false;
  return s.positions[(int)queue] < s.queues[(int)queue].size();
}

void Script::NoAnswer(const std::string& what) {
  fprintf(stderr, "winsim: no answer in the script for: %s\n", what.c_str());
  Journal::Ui("no-answer", Json::Object().Set("shown", what));
  EndProcess(97);
}

void Script::UseForTests(const std::string& text) {
  ScriptState& s = SState();
  s = ScriptState();
  s.testText = !text.empty();
  s.text = text;
  if (!s.testText) return;
  s.loaded = false;
  EnsureScriptLoaded();
}

void Script::ResetPositions(IniFile& ini) {
  ini.Set("script", "file", "");
  for (const char* key : kQueueKeys) ini.SetInt("script", key, 0);
}

}  // namespace winsim
