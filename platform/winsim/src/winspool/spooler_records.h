// Records returned by the spooler's enumerations, laid out in the caller's
// buffer as WINSPOOL's A functions do: the records first, their strings
// behind them. The size asked for is what the wide-character records would
// take, since the A functions convert in place what the W functions wrote.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/json.h"
#include "windows.h"

namespace winsim {
namespace spooler {

struct StringField {
  size_t offset;   // of the LPSTR field in the record
  bool present;    // false leaves the field null
  std::string text;
  bool multi;      // a list of strings, each with its zero, ended by one more
};

struct Record {
  std::vector<StringField> strings;
  std::vector<std::pair<size_t, DWORD>> numbers;  // offset of a DWORD field, value
  Json journal;                                   // the record as the journal shows it
};

StringField Str(size_t offset, const std::string& text);
StringField OptStr(size_t offset, const std::string& text);  // null when empty
StringField Multi(size_t offset, const std::vector<std::string>& items);  // null when empty

// The two-call size protocol of the enumerations: fills *pcbNeeded, and on
// success the records and *pcReturned. FALSE with ERROR_INSUFFICIENT_BUFFER
// (the buffer zeroed) when cbBuf is short.
BOOL PackRecords(const std::vector<Record>& records, size_t recordSize, LPBYTE buffer, DWORD cbBuf,
                 LPDWORD pcbNeeded, LPDWORD pcReturned);

// The buffer as the journal records it after the call: the records, or
// nothing when the call failed.
Json RecordsJson(const std::vector<Record>& records, BOOL ok);

}  // namespace spooler
}  // namespace winsim
