#include "common/string_buffer_pool.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "common/shared_string.h"
#include "platform/sys/thread.h"

namespace {

TEST(StringBufferPool, SizeClassesAndCapacities) {
  struct Case {
    int64_t count;
    int width;
    int capacity;
  } cases[] = {{1, 1, 32},   {32, 1, 32},   {33, 1, 64},   {512, 1, 512}, {513, 1, 1024},
               {600, 1, 1024}, {17, 2, 32}, {16, 2, 16},   {256, 2, 256}, {257, 2, 512},
               {1025, 1, 2048}};
  for (const Case& c : cases) {
    void* p = StringBufferPool::Allocate(c.count, c.width);
    ASSERT_NE(p, nullptr);
    auto* h = static_cast<StringBufferHeader*>(p) - 1;
    EXPECT_EQ(h->capacity, c.capacity) << c.count << "x" << c.width;
    EXPECT_EQ(h->refs.load(), 1);
    StringBufferPool::Release(p, c.width);
  }
  EXPECT_EQ(StringBufferPool::Allocate(0, 1), nullptr);
  EXPECT_EQ(StringBufferPool::Allocate(-5, 2), nullptr);
  EXPECT_EQ(StringBufferPool::Allocate(StringBufferPool::kMaxBytes + 1, 1), nullptr);
  EXPECT_EQ(StringBufferPool::Allocate(StringBufferPool::kMaxBytes / 2 + 1, 2), nullptr);
}

// Every class keeps at most its cap of free blocks per thread; one more returned block goes to
// the heap. Run on a fresh thread; its id may repeat an ended thread's, whose cache it then
// inherits, so the test drains what is there first.
TEST(StringBufferPool, CacheCapsPerClass) {
  std::thread worker([] {
    for (int cls = 0; cls < StringBufferPool::kClassCount; ++cls) {
      const int cap = StringBufferPool::ClassCap(cls);
      const int bytes = StringBufferPool::ClassBytes(cls);
      const int already = StringBufferPool::CachedBlocks(cls);
      std::vector<void*> blocks;
      for (int i = 0; i < already + cap + 1; ++i) blocks.push_back(StringBufferPool::Allocate(bytes, 1));
      EXPECT_EQ(StringBufferPool::CachedBlocks(cls), 0);
      for (size_t i = 0; i < blocks.size(); ++i) {
        StringBufferPool::Release(blocks[i], 1);
        EXPECT_EQ(StringBufferPool::CachedBlocks(cls), std::min<int>(static_cast<int>(i) + 1, cap));
      }
      EXPECT_EQ(StringBufferPool::CachedBlocks(cls), cap) << bytes;
      // Taking a block reuses the most recently returned one.
      void* again = StringBufferPool::Allocate(bytes, 1);
      EXPECT_EQ(StringBufferPool::CachedBlocks(cls), cap - 1);
      StringBufferPool::Release(again, 1);
    }
  });
  worker.join();
  EXPECT_EQ(StringBufferPool::ClassCap(0), 200);
  EXPECT_EQ(StringBufferPool::ClassCap(4), 25);
}

// A block taken on one thread and returned on another joins the returning thread's cache.
TEST(StringBufferPool, CrossThreadReturnGoesToTheReturningThread) {
  DWORD makerId = 0, dropperId = 0;
  SharedString* handed = nullptr;
  int makerBefore = 0, makerAfter = 0, dropperBefore = 0, dropperAfter = 0;
  std::thread maker([&] {
    makerId = GetCurrentThreadId();
    handed = new SharedString("made on one thread, freed on another");
    makerBefore = StringBufferPool::CachedBlocks(1);
  });
  maker.join();
  std::thread dropper([&] {
    dropperId = GetCurrentThreadId();
    SharedString warm("w");  // make sure this thread has its caches
    dropperBefore = StringBufferPool::CachedBlocks(1);
    makerAfter = StringBufferPool::CachedBlocks(1, makerId);
    delete handed;
    dropperAfter = StringBufferPool::CachedBlocks(1);
  });
  dropper.join();
  if (dropperId == makerId) GTEST_SKIP() << "the kernel reused the thread id";
  EXPECT_EQ(makerAfter, makerBefore);
  EXPECT_EQ(dropperAfter, dropperBefore + 1);
}

// Many threads building and dropping strings of every class at once.
TEST(StringBufferPool, ManyThreadsAtOnce) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([t] {
      std::vector<SharedString> kept;
      for (int i = 0; i < 3000; ++i) {
        SharedString s;
        s.Reserve(1 + (i * 37 + t) % 1500, false);
        s = "x";
        if (i % 3 == 0) kept.push_back(s);
        if (kept.size() > 50) kept.erase(kept.begin(), kept.begin() + 25);
      }
    });
  }
  for (auto& t : threads) t.join();
  SUCCEED();
}

}  // namespace
