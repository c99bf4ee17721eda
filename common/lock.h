// The module's lock pair: a Lockable interface, a recursive CriticalLock, and ScopedLock, which
// holds a Lockable for the lifetime of a block.
#pragma once

#include "platform/sys/critical_section.h"
#include "platform/sys/thread.h"

class Lockable {
 public:
  virtual int Lock(DWORD timeout) = 0;  // 0
  virtual int Unlock() = 0;             // 0
  virtual ~Lockable() = default;
};

// A recursive lock (the owning thread may take it again); the timeout is ignored.
class CriticalLock : public Lockable {
 public:
  CriticalLock() { InitializeCriticalSection(&m_section); }
  ~CriticalLock() override { DeleteCriticalSection(&m_section); }
  CriticalLock(const CriticalLock&) = delete;
  CriticalLock& operator=(const CriticalLock&) = delete;

  int Lock(DWORD) override {
    EnterCriticalSection(&m_section);
    return 0;
  }
  int Unlock() override {
    LeaveCriticalSection(&m_section);
    return 0;
  }

 private:
  CRITICAL_SECTION m_section;
};

// Locks (with an infinite timeout) on construction when the lock is not null, unlocks on exit.
class ScopedLock {
 public:
  explicit ScopedLock(Lockable* lock) : m_lock(lock) {
    if (m_lock) m_lock->Lock(INFINITE);
  }
  ~ScopedLock() {
    if (m_lock) m_lock->Unlock();
  }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  Lockable* m_lock;
};
