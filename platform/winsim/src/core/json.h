// A small JSON value for the journal: objects keep their insertion order.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace winsim {

class Json {
 public:
  enum class Kind { Null, Bool, Int, Uint, Double, String, Array, Object };

  Json() = default;
  Json(std::nullptr_t) {}
  Json(bool b) : m_kind(Kind::Bool), m_int(b) {}
  Json(int v) : m_kind(Kind::Int), m_int(v) {}
  Json(long v) : m_kind(Kind::Int), m_int(v) {}
  Json(long long v) : m_kind(Kind::Int), m_int(v) {}
  Json(unsigned v) : m_kind(Kind::Uint), m_uint(v) {}
  Json(unsigned long v) : m_kind(Kind::Uint), m_uint(v) {}
  Json(unsigned long long v) : m_kind(Kind::Uint), m_uint(v) {}
  Json(double v) : m_kind(Kind::Double), m_double(v) {}
  // A null C string is JSON null, as the journal records null pointers.
  Json(const char* s) : m_kind(s ? Kind::String : Kind::Null), m_str(s ? s : "") {}
  Json(const std::string& s) : m_kind(Kind::String), m_str(s) {}

  static Json Array() {
    Json j;
    j.m_kind = Kind::Array;
    return j;
  }
  static Json Object() {
    Json j;
    j.m_kind = Kind::Object;
    return j;
  }
  // Text of a fixed-size field that may lack its terminating zero.
  static Json Bounded(const char* s, size_t max);

  Json& Add(Json v) {
    m_kind = Kind::Array;
    m_items.emplace_back(std::string(), std::move(v));
    return *this;
  }
  Json& Set(const std::string& key, Json v);
  Kind kind() const { return m_kind; }
  bool IsNull() const { return m_kind == Kind::Null; }
  const std::vector<std::pair<std::string, Json>>& items() const { return m_items; }
  const Json* Find(const std::string& key) const;
  std::string str() const { return m_str; }
  long long AsInt() const { return m_kind == Kind::Uint ? (long long)m_uint : m_int; }

  std::string Dump() const;
  void DumpTo(std::string& out) const;
  static void Quote(const std::string& s, std::string& out);

 private:
  Kind m_kind = Kind::Null;
  long long m_int = 0;
  unsigned long long m_uint = 0;
  double m_double = 0;
  std::string m_str;
  std::vector<std::pair<std::string, Json>> m_items;
};

}  // namespace winsim
