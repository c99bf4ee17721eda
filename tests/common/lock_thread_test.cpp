#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "common/lock.h"
#include "common/module_handle.h"
#include "common/worker_thread.h"

namespace {

TEST(CriticalLock, ScopedLockIsRecursiveAndExclusive) {
  CriticalLock lock;
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 5000; ++i) {
        ScopedLock outer(&lock);
        ScopedLock inner(&lock);  // the owner takes it again
        ++counter;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 20000);
  ScopedLock none(nullptr);  // a null lock is allowed and does nothing
}

class Counter : public WorkerThread {
 public:
  unsigned Run() override {
    seenParameter = Parameter();
    ran = true;
    return 7;
  }
  std::atomic<bool> ran{false};
  void* seenParameter = nullptr;
};

TEST(WorkerThread, StartRunWait) {
  int token = 0;
  Counter c;
  EXPECT_EQ(c.Wait(0), WAIT_FAILED);  // never started
  ASSERT_FALSE(c.Start(&token, 0));   // false means started
  EXPECT_EQ(c.Wait(INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(c.ran);
  EXPECT_EQ(c.seenParameter, &token);
  EXPECT_NE(c.ThreadId(), 0u);
  DWORD code = 0;
  GetExitCodeThread(c.Handle(), &code);
  EXPECT_EQ(code, 7u);
  EXPECT_TRUE(c.Start(&token, 0));  // one thread per object

  Counter suspended;
  ASSERT_FALSE(suspended.Start(nullptr, CREATE_SUSPENDED));
  EXPECT_EQ(suspended.Wait(30), WAIT_TIMEOUT);
  EXPECT_FALSE(suspended.ran);
  ResumeThread(suspended.Handle());
  EXPECT_EQ(suspended.Wait(INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(suspended.ran);
}

TEST(ModuleHandle, LoadGetProcFree) {
  ModuleHandle m;
  EXPECT_EQ(m.GetProc("cos"), nullptr);
  EXPECT_EQ(m.Free(), 0);
  EXPECT_EQ(m.Load("/nonexistent/system32/pdesk/pdtools.dll"), 1);
  EXPECT_FALSE(m.IsLoaded());
  ASSERT_EQ(m.Load("libm.so.6"), 0);
  EXPECT_NE(m.GetProc("cos"), nullptr);
  EXPECT_EQ(m.GetProc("no_such_function"), nullptr);
  ASSERT_EQ(m.Load("libm.so.6"), 0);  // reloading frees the first
  EXPECT_EQ(m.Free(), 0);
  EXPECT_FALSE(m.IsLoaded());
}

}  // namespace
