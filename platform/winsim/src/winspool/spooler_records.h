// Records returned by the spooler's enumerations, laid out in the caller's
// buffer as WINSPOOL's A functions do: the records first, their strings
// behind them. The size asked for is what the wide-character records would
// take, since the A functions convert in place what the W functions wrote.
//
// Each level of a record is described by one table (RecordLevel): its size
// and its fields, in the order of the structure. Enumeration is what every
// enumeration does around its records: the checks, the two-call size
// protocol and the journal line.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/journal.h"
#include "core/json.h"
#include "winspool/spooler_store.h"
#include "windows.h"

namespace winsim {
namespace spooler {

// One thing the spooler enumerates: a key (printer, driver, monitor) or a
// value (port) by its name, with the environment and version a driver
// belongs to.
struct Port;

struct SpoolerEntry {
  const RegKey* key = nullptr;
  std::string name;
  const Environment* env = nullptr;
  DWORD version = 0;
  const Port* port = nullptr;  // for the port records
};

enum FieldKind {
  kString,       // LPSTR, set also for an empty string
  kOptString,    // LPSTR, null for an empty string
  kMultiString,  // LPSTR to strings each ended by its zero, the list by one more; null when empty
  kNull,         // LPSTR the local spooler leaves null (the server name)
  kNumber,       // DWORD
};

// A field's value in one record: its text (a list's items each followed by
// its zero) or its number.
struct FieldValue {
  std::string text;
  DWORD number = 0;
};
FieldValue Text(const std::string& text);
FieldValue List(const std::vector<std::string>& items);
FieldValue Number(DWORD number);

struct RecordField {
  const char* name;  // as the journal names it; null leaves the field out of the journal
  size_t offset;     // in the record
  FieldKind kind;
  // The value of the entry's key the field shows, read as its kind says,
  // unless `value` makes it (from the entry and this value name).
  const char* regValue;
  FieldValue (*value)(const SpoolerEntry& entry, const char* regValue);
};

struct RecordLevel {
  DWORD level;
  size_t size;  // of the record
  std::vector<RecordField> fields;
};

// A caller's buffer in the journal: null, or what the call left in it.
inline Json BufferJson(const void* p) { return p ? Json::Array() : Json(); }
// An output number before the call has set it.
inline Json OutJson(const void* p) { return p ? Json(0u) : Json(); }

// The caller's side of an enumeration: the last five arguments of every one.
struct EnumArgs {
  DWORD level;
  LPBYTE buffer;
  DWORD cbBuf;
  LPDWORD pcbNeeded;
  LPDWORD pcReturned;
};

// One enumeration call:
//
//   Enumeration e("EnumPortsA", kPortLevels, {Level, pPorts, cbBuf, pcbNeeded, pcReturned}, pName);
//   if (!e.Start()) return e.Fail();
//   ...the entries, or SetLastError and return e.Fail()...
//   return e.Finish(entries);
//
// `leading` are the call's arguments before Level, as the journal records
// them.
class Enumeration {
 public:
  template <class... Leading>
  Enumeration(const char* api, const std::vector<RecordLevel>& levels, const EnumArgs& args, Leading... leading)
      : m_call(api, {Json(leading)..., Json(args.level), BufferJson(args.buffer), Json(args.cbBuf),
                     OutJson(args.pcbNeeded), OutJson(args.pcReturned)}),
        m_levels(levels),
        m_args(args),
        m_bufferArg(sizeof...(Leading) + 1) {}
  Enumeration(const Enumeration&) = delete;
  Enumeration& operator=(const Enumeration&) = delete;

  // What every enumeration checks before it looks at anything: an injected
  // fault, the service, the two counts (RPC_X_NULL_REF_POINTER), a size
  // without a buffer (ERROR_INVALID_USER_BUFFER) and the level
  // (ERROR_INVALID_LEVEL). False with the last error set.
  bool Start();
  // Fails the call with the last error as it stands.
  BOOL Fail();
  // The records of the entries at the level asked for: *pcbNeeded is the
  // size they need; when cbBuf is short the call fails with
  // ERROR_INSUFFICIENT_BUFFER and the caller's buffer zeroed, else they are
  // written and counted in *pcReturned.
  BOOL Finish(const std::vector<SpoolerEntry>& entries);

 private:
  ApiCall m_call;
  const std::vector<RecordLevel>& m_levels;
  EnumArgs m_args;
  size_t m_bufferArg;  // where the buffer stands among the call's arguments
  const RecordLevel* m_level = nullptr;
};

}  // namespace spooler
}  // namespace winsim
