#include "platform/sys/critical_section.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/sys/interlocked.h"

namespace {

TEST(CriticalSection, RecursiveForTheOwnerExclusiveForOthers) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EnterCriticalSection(&cs);  // the owner enters again without blocking
  BOOL otherGot = TRUE;
  std::thread other([&] {
    otherGot = TryEnterCriticalSection(&cs);
  });
  other.join();
  EXPECT_FALSE(otherGot);
  LeaveCriticalSection(&cs);
  std::thread stillHeld([&] { otherGot = TryEnterCriticalSection(&cs); });
  stillHeld.join();
  EXPECT_FALSE(otherGot);  // entered twice, left once: still owned
  LeaveCriticalSection(&cs);
  std::thread free([&] {
    otherGot = TryEnterCriticalSection(&cs);
    if (otherGot) LeaveCriticalSection(&cs);
  });
  free.join();
  EXPECT_TRUE(otherGot);
  DeleteCriticalSection(&cs);
}

TEST(CriticalSection, SerialisesAPlainCounter) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        EnterCriticalSection(&cs);
        ++counter;
        LeaveCriticalSection(&cs);
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 80000);
  DeleteCriticalSection(&cs);
}

TEST(Interlocked, ReturnValuesAndAtomicity) {
  volatile LONG cell = 5;
  EXPECT_EQ(InterlockedIncrement(&cell), 6);
  EXPECT_EQ(InterlockedDecrement(&cell), 5);
  EXPECT_EQ(InterlockedExchangeAdd(&cell, 10), 5);
  EXPECT_EQ(InterlockedExchange(&cell, 1), 15);
  EXPECT_EQ(InterlockedCompareExchange(&cell, 7, 2), 1);  // no match: unchanged
  EXPECT_EQ(cell, 1);
  EXPECT_EQ(InterlockedCompareExchange(&cell, 7, 1), 1);
  EXPECT_EQ(cell, 7);

  volatile LONG shared = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 50000; ++i) {
        InterlockedIncrement(&shared);
        InterlockedDecrement(&shared);
        InterlockedIncrement(&shared);
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(shared, 200000);
}

}  // namespace
