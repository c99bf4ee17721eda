// The task allocator: memory handed across object boundaries (a callee allocates, the caller
// frees). Any module may free what another allocated.
#pragma once

#include <cstddef>

void* CoTaskMemAlloc(size_t size);
void* CoTaskMemRealloc(void* p, size_t size);
void CoTaskMemFree(void* p);
