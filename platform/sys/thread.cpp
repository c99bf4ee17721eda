#include "platform/sys/thread.h"

#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

struct HostThread {
  std::mutex mutex;
  std::condition_variable changed;
  ThreadStart start = nullptr;
  void* parameter = nullptr;
  bool idKnown = false;
  bool resumed = false;
  bool finished = false;
  DWORD id = 0;
  DWORD exitCode = STILL_ACTIVE;
  int holders = 2;  // the handle and the running thread
};

namespace {

void Drop(HostThread* t) {
  bool last;
  {
    std::lock_guard<std::mutex> lock(t->mutex);
    last = --t->holders == 0;
  }
  if (last) delete t;
}

void* ThreadMain(void* arg) {
  HostThread* t = static_cast<HostThread*>(arg);
  {
    std::unique_lock<std::mutex> lock(t->mutex);
    t->id = GetCurrentThreadId();
    t->idKnown = true;
    t->changed.notify_all();
    t->changed.wait(lock, [t] { return t->resumed; });
  }
  unsigned code = t->start(t->parameter);
  {
    std::lock_guard<std::mutex> lock(t->mutex);
    t->exitCode = code;
    t->finished = true;
    t->changed.notify_all();
  }
  Drop(t);
  return nullptr;
}

}  // namespace

ThreadHandle BeginThread(ThreadStart start, void* parameter, DWORD flags, DWORD* threadId) {
  if (!start) return nullptr;
  HostThread* t = new HostThread;
  t->start = start;
  t->parameter = parameter;
  t->resumed = (flags & CREATE_SUSPENDED) == 0;
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  pthread_t tid;
  int rc = pthread_create(&tid, &attr, ThreadMain, t);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    delete t;
    return nullptr;
  }
  std::unique_lock<std::mutex> lock(t->mutex);
  t->changed.wait(lock, [t] { return t->idKnown; });
  if (threadId) *threadId = t->id;
  return t;
}

DWORD ResumeThread(ThreadHandle t) {
  if (!t) return WAIT_FAILED;
  std::lock_guard<std::mutex> lock(t->mutex);
  DWORD previous = t->resumed ? 0 : 1;
  t->resumed = true;
  t->changed.notify_all();
  return previous;
}

DWORD WaitForThread(ThreadHandle t, DWORD milliseconds) {
  if (!t) return WAIT_FAILED;
  std::unique_lock<std::mutex> lock(t->mutex);
  if (milliseconds == INFINITE) {
    t->changed.wait(lock, [t] { return t->finished; });
    return WAIT_OBJECT_0;
  }
  bool done = t->changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                  [t] { return t->finished; });
  return done ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL GetExitCodeThread(ThreadHandle t, DWORD* exitCode) {
  if (!t || !exitCode) return FALSE;
  std::lock_guard<std::mutex> lock(t->mutex);
  *exitCode = t->exitCode;
  return TRUE;
}

BOOL CloseThreadHandle(ThreadHandle t) {
  if (!t) return FALSE;
  Drop(t);
  return TRUE;
}

DWORD GetCurrentThreadId() {
  thread_local DWORD id = static_cast<DWORD>(gettid());
  return id;
}

void Sleep(DWORD milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
