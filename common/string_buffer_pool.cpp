#include "common/string_buffer_pool.h"

#include <cstdlib>
#include <mutex>
#include <new>

#include "platform/sys/thread.h"

namespace {

struct FreeBlock {
  FreeBlock* next;
};

struct BlockCache {
  DWORD thread;
  BlockCache* nextCache;
  FreeBlock* head;
  int room;
};

struct SizeClass {
  const int bytes;
  const int cap;
  std::atomic<BlockCache*> caches;
  std::mutex addLock;  // taken only to add a thread's cache
};

constinit SizeClass g_classes[StringBufferPool::kClassCount] = {
    {32, 200, {nullptr}, {}}, {64, 150, {nullptr}, {}}, {128, 100, {nullptr}, {}},
    {256, 50, {nullptr}, {}}, {512, 25, {nullptr}, {}}};

constinit std::atomic<bool> g_closed{false};

// The calling thread's cache per class, found once by thread id and remembered.
thread_local BlockCache* t_cache[StringBufferPool::kClassCount];

constexpr int kHeaderBytes = static_cast<int>(sizeof(StringBufferHeader));

BlockCache* FindCache(SizeClass& sc, DWORD thread) {
  for (BlockCache* c = sc.caches.load(std::memory_order_acquire); c; c = c->nextCache)
    if (c->thread == thread) return c;
  return nullptr;
}

BlockCache* OwnCache(int index) {
  BlockCache* cache = t_cache[index];
  if (cache) return cache;
  SizeClass& sc = g_classes[index];
  DWORD self = GetCurrentThreadId();
  cache = FindCache(sc, self);  // a cache left by an ended thread that had the same id
  if (!cache) {
    std::lock_guard<std::mutex> lock(sc.addLock);
    cache = new (std::nothrow) BlockCache{self, sc.caches.load(std::memory_order_relaxed), nullptr,
                                          sc.cap};
    if (!cache) return nullptr;
    sc.caches.store(cache, std::memory_order_release);
  }
  t_cache[index] = cache;
  return cache;
}

int64_t BlockBytes(int64_t bytes) {
  int index = StringBufferPool::ClassOf(bytes);
  if (index >= 0) return g_classes[index].bytes + kHeaderBytes;
  return ((bytes + 1023) & ~int64_t{1023}) + kHeaderBytes;
}

}  // namespace

int StringBufferPool::ClassOf(int64_t bytes) {
  for (int i = 0; i < kClassCount; ++i)
    if (bytes <= g_classes[i].bytes) return i;
  return -1;
}

int StringBufferPool::ClassBytes(int sizeClass) { return g_classes[sizeClass].bytes; }
int StringBufferPool::ClassCap(int sizeClass) { return g_classes[sizeClass].cap; }

void* StringBufferPool::Allocate(int64_t count, int width) {
  if (count < 1 || (width != 1 && width != 2) || count > kMaxBytes / width) return nullptr;
  const int64_t bytes = count * width;
  const int index = ClassOf(bytes);
  const int64_t blockBytes = BlockBytes(bytes);
  void* block = nullptr;
  if (index >= 0 && !g_closed.load(std::memory_order_relaxed)) {
    if (BlockCache* cache = OwnCache(index); cache && cache->head) {
      FreeBlock* b = cache->head;
      cache->head = b->next;
      ++cache->room;
      block = b;
    }
  }
  if (!block) block = std::malloc(static_cast<size_t>(blockBytes));
  if (!block) return nullptr;
  auto* header = new (block) StringBufferHeader;
  header->refs.store(1, std::memory_order_relaxed);
  header->capacity = static_cast<int32_t>((blockBytes - kHeaderBytes) / width);
  return header + 1;
}

void StringBufferPool::Release(void* characters, int width) {
  if (!characters) return;
  auto* header = static_cast<StringBufferHeader*>(characters) - 1;
  const int index = ClassOf(int64_t{header->capacity} * width);
  header->~StringBufferHeader();
  if (index >= 0 && !g_closed.load(std::memory_order_relaxed)) {
    BlockCache* cache = OwnCache(index);
    if (cache && cache->room > 0) {
      auto* b = reinterpret_cast<FreeBlock*>(header);
      b->next = cache->head;
      cache->head = b;
      --cache->room;
      return;
    }
  }
  std::free(header);
}

int StringBufferPool::CachedBlocks(int sizeClass, DWORD threadId) {
  if (sizeClass < 0 || sizeClass >= kClassCount) return 0;
  SizeClass& sc = g_classes[sizeClass];
  BlockCache* c = FindCache(sc, threadId ? threadId : GetCurrentThreadId());
  return c ? sc.cap - c->room : 0;
}

void StringBufferPool::FreeAll() {
  g_closed.store(true);
  for (SizeClass& sc : g_classes) {
    std::lock_guard<std::mutex> lock(sc.addLock);
    BlockCache* c = sc.caches.exchange(nullptr);
    while (c) {
      for (FreeBlock* b = c->head; b;) {
        FreeBlock* next = b->next;
        std::free(b);
        b = next;
      }
      BlockCache* next = c->nextCache;
      delete c;
      c = next;
    }
  }
}

namespace {
// Runs when the module is unloaded (or the program ends).
struct PoolUnloader {
  ~PoolUnloader() { StringBufferPool::FreeAll(); }
} g_unloader;
}  // namespace
