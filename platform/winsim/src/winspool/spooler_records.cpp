#include "winspool/spooler_records.h"

#include <cstring>

namespace winsim {
namespace spooler {

namespace {
// A character of Windows' wide strings, whatever wchar_t is on the host.
const size_t kWideCharSize = 2;
}  // namespace

StringField Str(size_t offset, const std::string& text) { return StringField{offset, true, text, false}; }

StringField OptStr(size_t offset, const std::string& text) {
  return StringField{offset, !text.empty(), text, false};
}

StringField Multi(size_t offset, const std::vector<std::string>& items) {
  std::string text;
  for (const auto& i : items) {
    text += i;
    text += '\0';
  }
  // The list's own final zero is added when it is written.
  return StringField{offset, !items.empty(), text, true};
}

BOOL PackRecords(const std::vector<Record>& records, size_t recordSize, LPBYTE buffer, DWORD cbBuf,
                 LPDWORD pcbNeeded, LPDWORD pcReturned) {
  size_t needed = recordSize * records.size();
  for (const auto& r : records)
    for (const auto& s : r.strings)
      if (s.present) needed += (s.text.size() + 1) * kWideCharSize;
  *pcReturned = 0;
  *pcbNeeded = (DWORD)needed;
  if (needed > cbBuf) {
    if (buffer) memset(buffer, 0, cbBuf);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (!buffer) {
    // Nothing to enumerate: a null buffer of size 0 is enough.
    return TRUE;
  }
  memset(buffer, 0, needed);
  LPSTR strings = (LPSTR)buffer + recordSize * records.size();
  for (size_t i = 0; i < records.size(); ++i) {
    LPBYTE rec = buffer + i * recordSize;
    for (const auto& n : records[i].numbers) memcpy(rec + n.first, &n.second, sizeof(DWORD));
    for (const auto& s : records[i].strings) {
      if (!s.present) continue;
      memcpy(strings, s.text.data(), s.text.size());
      strings[s.text.size()] = 0;
      memcpy(rec + s.offset, &strings, sizeof(LPSTR));
      strings += s.text.size() + 1;
    }
  }
  *pcReturned = (DWORD)records.size();
  return TRUE;
}

Json RecordsJson(const std::vector<Record>& records, BOOL ok) {
  Json list = Json::Array();
  if (!ok) return list;
  for (const auto& r : records) list.Add(r.journal);
  return list;
}

}  // namespace spooler
}  // namespace winsim
