#include "core/journal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

#include "core/faults.h"
#include "core/machine.h"
#include "windows.h"

namespace winsim {

namespace {

struct JournalState {
  FILE* file = nullptr;
  std::string path;
  bool enabled = true;
  Machine* machine = nullptr;
};

JournalState& JState() {
  static JournalState s;
  return s;
}

}  // namespace

void Journal::Open(Machine& m) {
  JournalState& s = JState();
  Close();
  s.machine = &m;
  s.path = m.PathOf("journal.jsonl");
  const char* env = getenv("WINSIM_JOURNAL");
  s.enabled = !(env && strcmp(env, "0") == 0);
}

void Journal::Close() {
  JournalState& s = JState();
  if (s.file) fclose(s.file);
  s.file = nullptr;
  s.machine = nullptr;
}

void Journal::Flush() {
  if (JState().file) fflush(JState().file);
}

bool Journal::enabled() { return JState().enabled && JState().machine; }

void Journal::Write(const Json& entry) {
  JournalState& s = JState();
  if (!s.enabled || !s.machine) return;
  if (!s.file) {
    s.file = fopen(s.path.c_str(), "ab");
    if (!s.file) {
      s.enabled = false;
      return;
    }
  }
  std::string line = "{\"t\": " + std::to_string(s.machine->Now()) + ", \"pid\": " + std::to_string(s.machine->pid());
  for (const auto& item : entry.items()) {
    line += ", ";
    Json::Quote(item.first, line);
    line += ": ";
    item.second.DumpTo(line);
  }
  line += "}\n";
  fwrite(line.data(), 1, line.size(), s.file);
}

void Journal::Ui(const char* kind, Json fields) {
  Json entry = Json::Object().Set("ui", kind);
  for (const auto& item : fields.items()) entry.Set(item.first, item.second);
  Write(entry);
}

ApiCall::ApiCall(const char* name, std::initializer_list<Json> args) : m_name(name), m_args(Json::Array()) {
  Machine::Current();  // the first call of a program opens its machine
  // Kept only for the journal line.
  if (Journal::enabled())
    for (const auto& a : args) m_args.Add(a);
}

ApiCall::~ApiCall() {
  if (!m_done) Finish(Json());
}

unsigned ApiCall::Fault() {
  unsigned e = Faults::Check(m_name);
  if (e) SetLastError(e);
  return e;
}

void ApiCall::SetArg(size_t i, Json v) {
  if (!Journal::enabled()) return;
  // Rebuild: Json keeps items by value in order.
  Json args = Json::Array();
  size_t n = 0;
  for (const auto& item : m_args.items()) args.Add(n++ == i ? v : item.second);
  m_args = args;
}

void ApiCall::Finish(Json ret) {
  m_done = true;
  if (!Journal::enabled()) return;
  Json entry = Json::Object();
  entry.Set("call", m_name);
  entry.Set("args", m_args);
  entry.Set("ret", ret);
  entry.Set("err", (unsigned long long)GetLastError());
  for (const auto& item : m_extra.items()) entry.Set(item.first, item.second);
  Journal::Write(entry);
}

}  // namespace winsim
