#include "winspool/spooler_records.h"

#include <cstring>

namespace winsim {
namespace spooler {

namespace {

// A character of Windows' wide strings, whatever wchar_t is on the host.
const size_t kWideCharSize = 2;

bool IsString(FieldKind kind) { return kind != kNull && kind != kNumber; }

// Whether the field points to its text: an empty optional string or list
// stays null.
bool Written(FieldKind kind, const FieldValue& v) {
  if (!IsString(kind)) return false;
  return kind == kString || !v.text.empty();
}

FieldValue ValueOf(const RecordField& f, const SpoolerEntry& e) {
  if (f.value) return f.value(e, f.regValue);
  switch (f.kind) {
    case kString:
    case kOptString:
      return Text(StringValue(e.key, f.regValue));
    case kMultiString:
      return List(MultiStringValue(e.key, f.regValue));
    case kNumber:
      return Number(DwordValue(e.key, f.regValue));
    case kNull:
      break;
  }
  return FieldValue();
}

Json FieldJson(FieldKind kind, const FieldValue& v) {
  switch (kind) {
    case kString:
    case kOptString:
      return Json(v.text);
    case kMultiString: {
      Json list = Json::Array();
      for (size_t pos = 0; pos < v.text.size();) {
        size_t end = v.text.find('\0', pos);
        if (end == std::string::npos) end = v.text.size();
        list.Add(v.text.substr(pos, end - pos));
        pos = end + 1;
      }
      return list;
    }
    case kNumber:
      return Json(v.number);
    case kNull:
      break;
  }
  return Json();
}

}  // namespace

FieldValue Text(const std::string& text) {
  FieldValue v;
  v.text = text;
  return v;
}

FieldValue List(const std::vector<std::string>& items) {
  FieldValue v;
  for (const auto& i : items) {
    v.text += i;
    v.text += '\0';
  }
  // The list's own final zero is added when it is written.
  return v;
}

FieldValue Number(DWORD number) {
  FieldValue v;
  v.number = number;
  return v;
}

bool Enumeration::Start() {
  if (m_call.Fault()) return false;
  if (!SpoolerRunning()) return false;
  if (!m_args.pcbNeeded || !m_args.pcReturned) {
    SetLastError(RPC_X_NULL_REF_POINTER);
    return false;
  }
  if (!m_args.buffer && m_args.cbBuf) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return false;
  }
  for (const auto& l : m_levels)
    if (l.level == m_args.level) m_level = &l;
  if (!m_level) {
    SetLastError(ERROR_INVALID_LEVEL);
    return false;
  }
  return true;
}

BOOL Enumeration::Fail() { return m_call.Ret((BOOL)FALSE); }

BOOL Enumeration::Finish(const std::vector<SpoolerEntry>& entries) {
  const std::vector<RecordField>& fields = m_level->fields;
  // Each value is made once, for the size, the records and the journal.
  std::vector<FieldValue> values;
  values.reserve(entries.size() * fields.size());
  size_t needed = m_level->size * entries.size();
  for (const auto& e : entries) {
    for (const auto& f : fields) {
      values.push_back(ValueOf(f, e));
      if (Written(f.kind, values.back())) needed += (values.back().text.size() + 1) * kWideCharSize;
    }
  }
  LPBYTE buffer = m_args.buffer;
  *m_args.pcReturned = 0;
  *m_args.pcbNeeded = (DWORD)needed;
  BOOL ok = needed <= m_args.cbBuf;
  if (!ok) {
    if (buffer) memset(buffer, 0, m_args.cbBuf);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
  } else if (buffer) {
    // A null buffer of size 0 is enough when there is nothing to enumerate.
    memset(buffer, 0, needed);
    LPSTR strings = (LPSTR)buffer + m_level->size * entries.size();
    const FieldValue* v = values.data();
    for (size_t i = 0; i < entries.size(); ++i) {
      LPBYTE record = buffer + i * m_level->size;
      for (const auto& f : fields) {
        if (f.kind == kNumber) {
          memcpy(record + f.offset, &v->number, sizeof(DWORD));
        } else if (Written(f.kind, *v)) {
          memcpy(strings, v->text.data(), v->text.size());
          strings[v->text.size()] = 0;
          memcpy(record + f.offset, &strings, sizeof(LPSTR));
          strings += v->text.size() + 1;
        }
        ++v;
      }
    }
    *m_args.pcReturned = (DWORD)entries.size();
  }
  if (Journal::enabled()) {
    Json records;
    if (buffer) {
      records = Json::Array();
      const FieldValue* v = values.data();
      for (size_t i = 0; ok && i < entries.size(); ++i) {
        Json record = Json::Object();
        for (const auto& f : fields) {
          if (f.name) record.Set(f.name, FieldJson(f.kind, *v));
          ++v;
        }
        records.Add(record);
      }
    }
    m_call.SetArg(m_bufferArg, records);
    m_call.SetArg(m_bufferArg + 2, Json(*m_args.pcbNeeded));
    m_call.SetArg(m_bufferArg + 3, Json(*m_args.pcReturned));
  }
  return m_call.Ret(ok);
}

}  // namespace spooler
}  // namespace winsim
