// Allocations that fail on purpose, for the unit tests: while a
// FailAllocation lives, the nth call of malloc (or of operator new[]) made
// by code of the test program answers NULL, as the C run-time and the
// framework's operator new do when memory runs out. The unit test program
// is linked with --wrap for both, so only direct calls are counted.
#pragma once

class FailAllocation {
 public:
  enum Kind { kMalloc, kArrayNew };
  // nth: 1 for the next call.
  FailAllocation(Kind kind, int nth);
  ~FailAllocation();
  FailAllocation(const FailAllocation&) = delete;
  FailAllocation& operator=(const FailAllocation&) = delete;
  // Whether the call was reached and failed.
  bool failed() const;

 private:
  Kind m_kind;
};
