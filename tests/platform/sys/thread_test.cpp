#include "platform/sys/thread.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

struct Probe {
  std::atomic<int> ran{0};
  std::atomic<DWORD> id{0};
};

unsigned Body(void* p) {
  auto* probe = static_cast<Probe*>(p);
  probe->id = GetCurrentThreadId();
  probe->ran = 1;
  return 42;
}

TEST(Thread, RunsWaitsAndReportsItsExitCode) {
  Probe probe;
  DWORD id = 0;
  ThreadHandle t = BeginThread(Body, &probe, 0, &id);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(WaitForThread(t, INFINITE), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_EQ(probe.id.load(), id);
  EXPECT_NE(id, GetCurrentThreadId());
  EXPECT_TRUE(CloseThreadHandle(t));
}

TEST(Thread, SuspendedUntilResumed) {
  Probe probe;
  ThreadHandle t = BeginThread(Body, &probe, CREATE_SUSPENDED, nullptr);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(WaitForThread(t, 50), WAIT_TIMEOUT);
  EXPECT_EQ(probe.ran.load(), 0);
  DWORD code = 0;
  GetExitCodeThread(t, &code);
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(ResumeThread(t), 1u);
  EXPECT_EQ(WaitForThread(t, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(probe.ran.load(), 1);
  EXPECT_EQ(ResumeThread(t), 0u);
  CloseThreadHandle(t);
}

TEST(Thread, ClosingARunningThreadsHandleLetsItFinish) {
  static std::atomic<int> done{0};
  ThreadHandle t = BeginThread([](void*) -> unsigned {
    Sleep(20);
    done = 1;
    return 0;
  }, nullptr, 0, nullptr);
  ASSERT_NE(t, nullptr);
  CloseThreadHandle(t);
  for (int i = 0; i < 200 && !done; ++i) Sleep(5);
  EXPECT_EQ(done.load(), 1);
  EXPECT_EQ(BeginThread(nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(WaitForThread(nullptr, 0), WAIT_FAILED);
}

}  // namespace
