// Kernel object handles (tokens, files, searches, processes) of one process.
#pragma once

#include <map>
#include <memory>

#include "windows.h"

namespace winsim {

struct KernelObject {
  virtual ~KernelObject() = default;
  virtual const char* type() const = 0;
};

class Handles {
 public:
  static HANDLE Insert(std::unique_ptr<KernelObject> object);
  static KernelObject* Get(HANDLE h);
  template <class T>
  static T* GetAs(HANDLE h) {
    return dynamic_cast<T*>(Get(h));
  }
  // Removes and destroys the object; false for an unknown handle.
  static bool Remove(HANDLE h);
  static size_t Count();
  // Every handle of the process, at its end.
  static void Clear();
};

// Pseudo handles that need no closing.
inline HANDLE CurrentProcessPseudoHandle() { return (HANDLE)(LONG_PTR)-1; }
inline HANDLE CurrentThreadPseudoHandle() { return (HANDLE)(LONG_PTR)-2; }

}  // namespace winsim
