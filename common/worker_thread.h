// WorkerThread: a thread that runs the object's Run(). Start stores the parameter and starts the
// thread; the object must outlive the thread (owners wait for it before deleting the object).
#pragma once

#include "platform/sys/thread.h"

class WorkerThread {
 public:
  WorkerThread() = default;
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  // Releases the thread handle (the thread itself is not stopped or waited for).
  virtual ~WorkerThread();
  // The thread body; its return value is the thread's exit code.
  virtual unsigned Run() = 0;

  // Starts the thread with the given creation flags (CREATE_SUSPENDED or 0). False when the
  // thread was created, true when creation failed (or a thread was already started).
  bool Start(void* parameter, DWORD flags);
  // Waits for the thread to end: WAIT_OBJECT_0, WAIT_TIMEOUT, or WAIT_FAILED when never started.
  DWORD Wait(DWORD milliseconds);

  void* Parameter() const { return m_parameter; }
  ThreadHandle Handle() const { return m_handle; }
  DWORD ThreadId() const { return m_threadId; }

 private:
  static unsigned Entry(void* self);
  void* m_parameter = nullptr;
  ThreadHandle m_handle = nullptr;
  DWORD m_threadId = 0;
};
