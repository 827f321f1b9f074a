#include "core/handles.h"

#include <algorithm>

#include "core/machine.h"

namespace winsim {

namespace {

std::vector<HandleTableBase*>& Tables() {
  static std::vector<HandleTableBase*> tables;
  return tables;
}

// Handles end with the process, after the per-process state of the DLLs.
ProcessState g_handleTables(100, [] {
  for (HandleTableBase* t : Tables()) t->Clear();
});

}  // namespace

HandleTableBase::HandleTableBase(uintptr_t first, uintptr_t step) : m_first(first), m_step(step), m_next(first) {
  Tables().push_back(this);
}

HandleTableBase::~HandleTableBase() {
  auto& tables = Tables();
  tables.erase(std::remove(tables.begin(), tables.end(), this), tables.end());
}

uintptr_t HandleTableBase::NextValue() {
  uintptr_t h = m_next;
  m_next += m_step;
  return h;
}

void ReportOpenHandles() {
  for (const HandleTableBase* t : Tables()) t->ReportOpen();
}

HandleTable<KernelObject>& Handles::Table() {
  static HandleTable<KernelObject> table(0x40, 4, [](const KernelObject& o) {
    return HandleTable<KernelObject>::Description{o.type(), o.name()};
  });
  return table;
}

}  // namespace winsim
