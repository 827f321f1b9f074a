#include "allocation_faults.h"

#include <cstddef>

// The functions the linker's --wrap leaves under these names; _Znam is
// operator new[](size_t) of the 64-bit host.
extern "C" void* __real_malloc(size_t size);
extern "C" void* __real__Znam(size_t size);

namespace {

struct Countdown {
  int left = 0;  // calls until the failing one; 0: none armed
  bool failed = false;
};

Countdown g_countdown[2];

bool FailsNow(FailAllocation::Kind kind) {
  Countdown& c = g_countdown[kind];
  if (c.left == 0 || --c.left != 0) return false;
  c.failed = true;
  return true;
}

}  // namespace

FailAllocation::FailAllocation(Kind kind, int nth) : m_kind(kind) { g_countdown[kind] = Countdown{nth, false}; }

FailAllocation::~FailAllocation() { g_countdown[m_kind] = Countdown(); }

bool FailAllocation::failed() const { return g_countdown[m_kind].failed; }

extern "C" void* __wrap_malloc(size_t size) {
  return FailsNow(FailAllocation::kMalloc) ? nullptr : __real_malloc(size);
}

// operator new[](size_t): the code under test is compiled with -fcheck-new,
// as for Windows, so that a NULL answer is seen rather than used.
extern "C" void* __wrap__Znam(size_t size) {
  return FailsNow(FailAllocation::kArrayNew) ? nullptr : __real__Znam(size);
}
