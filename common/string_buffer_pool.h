// The block allocator behind SharedString and SharedWString.
//
// A buffer is one block: an 8-byte header (reference count, capacity in characters) followed by
// the characters. Requests of up to 512 bytes of characters are served from five size classes
// (32, 64, 128, 256, 512 bytes), each with one free-list cache per thread, so short strings stay
// off the heap; larger ones are rounded up to a multiple of 1024 bytes and go to the heap.
// A thread takes and returns blocks on its own cache without a lock; a block may be returned on
// another thread than the one that took it (it joins the returning thread's cache). A cache holds
// at most 200, 150, 100, 50 or 25 blocks (by class); beyond that, returned blocks are freed.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/sys/types.h"

struct StringBufferHeader {
  std::atomic<int32_t> refs;
  int32_t capacity;  // characters, terminator included
};
static_assert(sizeof(StringBufferHeader) == 8, "the buffer header is two 32-bit fields");

class StringBufferPool {
 public:
  static constexpr int kClassCount = 5;
  // Largest number of bytes of characters one buffer may hold; larger requests fail.
  static constexpr int64_t kMaxBytes = int64_t{1} << 30;

  // A new buffer for `count` characters of `width` bytes (1 or 2): refs 1, capacity rounded up
  // as the size class says. Returns the address of its first character, or null when count is
  // below 1, the request exceeds kMaxBytes or memory is exhausted.
  static void* Allocate(int64_t count, int width);
  // Returns a buffer whose count has dropped to zero (by its first character).
  static void Release(void* characters, int width);

  // The size class (0..4) that serves `bytes` bytes of characters, or -1 for the heap.
  static int ClassOf(int64_t bytes);
  static int ClassBytes(int sizeClass);
  static int ClassCap(int sizeClass);

  // Blocks held by the cache of thread `threadId` (0: the calling thread) in one class.
  static int CachedBlocks(int sizeClass, DWORD threadId = 0);

  // Frees every cache and the blocks it holds (module unload). Later requests use the heap.
  static void FreeAll();
};
