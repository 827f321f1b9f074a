// The program's operator new and delete, on the C run-time's heap. They
// answer NULL when memory runs out instead of throwing, so the images carry
// no C++ exception machinery; the Windows builds compile with -fcheck-new,
// so that no constructor runs on a NULL block.
#include <stdlib.h>

#include <new>

void* operator new(size_t nSize) { return malloc(nSize ? nSize : 1); }

void* operator new[](size_t nSize) { return malloc(nSize ? nSize : 1); }

void operator delete(void* p) noexcept { free(p); }

void operator delete[](void* p) noexcept { free(p); }

void operator delete(void* p, size_t) noexcept { free(p); }

void operator delete[](void* p, size_t) noexcept { free(p); }
