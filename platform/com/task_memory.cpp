#include "platform/com/task_memory.h"

#include <cstdlib>

// A zero-byte request still returns a distinct block, as the original allocator does.
void* CoTaskMemAlloc(size_t size) { return std::malloc(size ? size : 1); }
void* CoTaskMemRealloc(void* p, size_t size) { return std::realloc(p, size ? size : 1); }
void CoTaskMemFree(void* p) { std::free(p); }
