// Handle tables of the running process: kernel objects (tokens, files,
// searches, processes, registry keys), windows, GDI objects, printer handles
// and device information sets each live in a HandleTable. Every table is
// emptied, and its numbering starts over, when the process ends
// (Machine::Close); reading the machine back after a child process
// (Machine::ReloadAll) leaves them alone. Before that, the handles the
// program left open are written to the journal, one line each:
// {"left-open": kind, "handle": number, "name": what it names}.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/journal.h"
#include "windows.h"

namespace winsim {

// What every table shares: its numbering and its end with the process.
class HandleTableBase {
 public:
  HandleTableBase(const HandleTableBase&) = delete;
  HandleTableBase& operator=(const HandleTableBase&) = delete;
  // Destroys every object and starts the numbering over.
  virtual void Clear() = 0;
  // Journals the handles still open; windows and GDI objects, which a
  // program leaves to the system as a matter of course, are not reported.
  virtual void ReportOpen() const = 0;

 protected:
  // Handle values are first, first + step, first + 2 * step, ...
  HandleTableBase(uintptr_t first, uintptr_t step);
  virtual ~HandleTableBase();
  uintptr_t NextValue();
  void RestartNumbering() { m_next = m_first; }

 private:
  uintptr_t m_first;
  uintptr_t m_step;
  uintptr_t m_next;
};

// The objects of one kind of handle. Object is the kind's base type; a
// table may hold objects of types derived from it (GetAs looks them up by
// their type).
template <class Object>
class HandleTable : public HandleTableBase {
 public:
  // What a handle left open names: its kind ("Key", "Printer") and name.
  struct Description {
    std::string kind;
    std::string name;
  };
  using Describe = Description (*)(const Object&);

  // A table with `describe` reports the handles left open when the process ends.
  HandleTable(uintptr_t first, uintptr_t step, Describe describe = nullptr)
      : HandleTableBase(first, step), m_describe(describe) {}

  // Takes the object and gives it the next handle.
  HANDLE Insert(std::unique_ptr<Object> object) {
    uintptr_t h = NextValue();
    m_objects[h] = std::move(object);
    return (HANDLE)h;
  }
  // The object of a handle; null for a handle this table does not hold.
  Object* Get(const void* h) const {
    auto it = m_objects.find((uintptr_t)h);
    return it == m_objects.end() ? nullptr : it->second.get();
  }
  // The object when it is a T, else null.
  template <class T>
  T* GetAs(const void* h) const {
    return dynamic_cast<T*>(Get(h));
  }
  // Removes and destroys the object; false for a handle the table does not hold.
  bool Remove(const void* h) { return m_objects.erase((uintptr_t)h) != 0; }
  size_t Count() const { return m_objects.size(); }
  // Every object, in the order the handles were given out.
  std::vector<Object*> All() const {
    std::vector<Object*> list;
    for (const auto& o : m_objects) list.push_back(o.second.get());
    return list;
  }
  void Clear() override {
    // Taken out first, so that a destructor that looks at the table finds it empty.
    std::map<uintptr_t, std::unique_ptr<Object>> gone;
    gone.swap(m_objects);
    RestartNumbering();
  }
  void ReportOpen() const override {
    if (!m_describe) return;
    for (const auto& o : m_objects) {
      Description d = m_describe(*o.second);
      Journal::Write(
          Json::Object().Set("left-open", d.kind).Set("handle", HandleJson((const void*)o.first)).Set("name", d.name));
    }
  }

 private:
  std::map<uintptr_t, std::unique_ptr<Object>> m_objects;
  Describe m_describe;
};

// Journals the handles of every table still open; the process ends.
void ReportOpenHandles();

struct KernelObject {
  virtual ~KernelObject() = default;
  virtual const char* type() const = 0;
  // What the object names (a key's path, a file's), for the report of
  // handles left open.
  virtual std::string name() const { return std::string(); }
};

// The process's kernel handles: multiples of four, as Windows forms them.
class Handles {
 public:
  static HandleTable<KernelObject>& Table();
  static HANDLE Insert(std::unique_ptr<KernelObject> object) { return Table().Insert(std::move(object)); }
  static KernelObject* Get(HANDLE h) { return Table().Get(h); }
  template <class T>
  static T* GetAs(HANDLE h) {
    return Table().GetAs<T>(h);
  }
  static bool Remove(HANDLE h) { return Table().Remove(h); }
  static size_t Count() { return Table().Count(); }
};

// Pseudo handles that need no closing.
inline HANDLE CurrentProcessPseudoHandle() { return (HANDLE)(LONG_PTR)-1; }
inline HANDLE CurrentThreadPseudoHandle() { return (HANDLE)(LONG_PTR)-2; }

}  // namespace winsim
