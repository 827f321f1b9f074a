#include "core/json.h"

#include <cstdio>
#include <cstring>

namespace winsim {

Json Json::Bounded(const char* s, size_t max) {
  if (!s) return Json();
  size_t n = 0;
  while (n < max && s[n]) ++n;
  return Json(std::string(s, n));
}

Json& Json::Set(const std::string& key, Json v) {
  m_kind = Kind::Object;
  for (auto& item : m_items) {
    if (item.first == key) {
      item.second = std::move(v);
      return *this;
    }
  }
  m_items.emplace_back(key, std::move(v));
  return *this;
}

const Json* Json::Find(const std::string& key) const {
  for (const auto& item : m_items)
    if (item.first == key) return &item.second;
  return nullptr;
}

void Json::Quote(const std::string& s, std::string& out) {
  out += '"';
  for (unsigned char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else if (c >= 0x80) {
          // ANSI text is Windows-1252; the journal is UTF-8.
          static const unsigned short k1252[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                                   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
          unsigned cp = c < 0xA0 ? k1252[c - 0x80] : c;
          if (cp < 0x800) {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
          } else {
            out += char(0xE0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
          }
        } else {
          out += char(c);
        }
    }
  }
  out += '"';
}

void Json::DumpTo(std::string& out) const {
  char buf[40];
  switch (m_kind) {
    case Kind::Null:
      out += "null";
      break;
    case Kind::Bool:
      out += m_int ? "true" : "false";
      break;
    case Kind::Int:
      snprintf(buf, sizeof buf, "%lld", m_int);
      out += buf;
      break;
    case Kind::Uint:
      snprintf(buf, sizeof buf, "%llu", m_uint);
      out += buf;
      break;
    case Kind::Double:
      snprintf(buf, sizeof buf, "%g", m_double);
      out += buf;
      break;
    case Kind::String:
      Quote(m_str, out);
      break;
    case Kind::Array: {
      out += '[';
      bool first = true;
      for (const auto& item : m_items) {
        if (!first) out += ", ";
        first = false;
        item.second.DumpTo(out);
      }
      out += ']';
      break;
    }
    case Kind::Object: {
      out += '{';
      bool first = true;
      for (const auto& item : m_items) {
        if (!first) out += ", ";
        first = false;
        Quote(item.first, out);
        out += ": ";
        item.second.DumpTo(out);
      }
      out += '}';
      break;
    }
  }
}

std::string Json::Dump() const {
  std::string out;
  DumpTo(out);
  return out;
}

}  // namespace winsim
