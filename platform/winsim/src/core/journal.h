// journal.jsonl: one JSON object a line for every Win32 call a program makes
// and every thing the user sees, each with the virtual time `t` and `pid`.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <type_traits>

#include "core/json.h"
#include "windows.h"

namespace winsim {

class Machine;

class Journal {
 public:
  static void Open(Machine& m);
  static void Close();
  static void Flush();
  // Adds `t` and `pid` in front of the fields of `entry` and appends it.
  static void Write(const Json& entry);
  // A thing the user sees: {"ui": kind, ...fields}.
  static void Ui(const char* kind, Json fields);
  static bool enabled();
};

// A handle as the 32-bit program would see it: its number, or null.
inline Json HandleJson(const void* h) {
  if (!h) return Json();
  return Json((unsigned long long)(uint32_t)(uintptr_t)h);
}

// A resource or class name as the journal records it: a MAKEINTRESOURCE
// number or an atom (a pointer value below 0x10000) as that number, else
// the text.
inline Json NameJson(const char* name) {
  if (((uintptr_t)name >> 16) == 0) return Json((unsigned long long)(uintptr_t)name);
  return Json(name);
}

// A rectangle as the journal records it; a null pointer is null.
template <class Rect>
Json RectJson(const Rect* r) {
  if (!r) return Json();
  return Json::Object()
      .Set("left", (long long)r->left)
      .Set("top", (long long)r->top)
      .Set("right", (long long)r->right)
      .Set("bottom", (long long)r->bottom);
}

template <class T>
Json ToJson(T v) {
  if constexpr (std::is_same_v<T, const char*> || std::is_same_v<T, char*>)
    return Json((const char*)v);
  else if constexpr (std::is_pointer_v<T>)
    return HandleJson((const void*)v);
  else if constexpr (std::is_enum_v<T>)
    return Json((long long)v);
  else if constexpr (std::is_same_v<T, bool>)
    return Json(v);
  else if constexpr (std::is_signed_v<T>)
    return Json((long long)v);
  else
    return Json((unsigned long long)v);
}

// One Win32 call: collects the arguments, answers injected faults and writes
// the journal line when the result is known.
//
//   ApiCall call("RegOpenKeyExA", {ToJson(hKey), lpSubKey, ulOptions, samDesired, nullptr});
//   if (DWORD e = call.Fault()) return call.Ret((LONG)e);
//   ...
//   return call.Ret(result);
//
// A call that reports failure through the last error fails in one line:
//
//   if (!token) return call.Fail(ERROR_INVALID_HANDLE);
//   if (!h) return call.Fail(ERROR_NOT_ENOUGH_MEMORY, (HANDLE) nullptr);
class ApiCall {
 public:
  ApiCall(const char* name, std::initializer_list<Json> args);
  ~ApiCall();
  ApiCall(const ApiCall&) = delete;
  ApiCall& operator=(const ApiCall&) = delete;

  // The error number injected for this call by WINSIM_FAULTS, or 0. A
  // non-zero answer has also been made the last error.
  unsigned Fault();
  // Replace argument i (for output parameters, recorded after the call).
  void SetArg(size_t i, Json v);
  void Extra(const char* key, Json v) { m_extra.Set(key, std::move(v)); }

  template <class T>
  T Ret(T value) {
    Finish(ToJson(value));
    return value;
  }
  void RetVoid() { Finish(Json()); }
  // Fails the call: `error` becomes the last error and `value` the result
  // (FALSE when none is given).
  template <class T>
  T Fail(DWORD error, T value) {
    SetLastError(error);
    return Ret(value);
  }
  BOOL Fail(DWORD error) { return Fail(error, (BOOL)FALSE); }

 private:
  void Finish(Json ret);
  const char* m_name;
  Json m_args;
  Json m_extra;
  bool m_done = false;
};

}  // namespace winsim
