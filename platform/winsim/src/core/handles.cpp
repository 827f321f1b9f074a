#include "core/handles.h"

namespace winsim {

namespace {

struct Table {
  std::map<uintptr_t, std::unique_ptr<KernelObject>> objects;
  uintptr_t next = 0x40;
};

Table& T() {
  static Table t;
  return t;
}

}  // namespace

HANDLE Handles::Insert(std::unique_ptr<KernelObject> object) {
  Table& t = T();
  uintptr_t h = t.next;
  t.next += 4;  // handle values are multiples of four, as on Windows
  t.objects[h] = std::move(object);
  return (HANDLE)h;
}

KernelObject* Handles::Get(HANDLE h) {
  auto it = T().objects.find((uintptr_t)h);
  return it == T().objects.end() ? nullptr : it->second.get();
}

bool Handles::Remove(HANDLE h) { return T().objects.erase((uintptr_t)h) != 0; }

size_t Handles::Count() { return T().objects.size(); }

void Handles::Clear() { T().objects.clear(); }

}  // namespace winsim
