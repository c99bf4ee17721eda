// The file context shared by the file object and its streams: the library handle, the lock that
// every library call holds, and the count of holders. The last holder to go closes the handle,
// which finishes a file being written.
#pragma once

#include <atomic>

#include "mp4/mp4file.h"
#include "platform/sys/critical_section.h"

struct mp4_shared_file {
  mp4file* handle;
  CRITICAL_SECTION lock;
  std::atomic<long> references;
};

// A context with one reference and no handle; null when memory runs out.
mp4_shared_file* mp4_shared_file_create();
void mp4_shared_file_add_ref(mp4_shared_file* f);
// Drops one reference; at 0 the handle is closed under the lock and the context destroyed.
void mp4_shared_file_release(mp4_shared_file* f);

// Holds a context's lock for a scope.
class SharedFileLock {
 public:
  explicit SharedFileLock(mp4_shared_file* f) : f_(f) { EnterCriticalSection(&f_->lock); }
  ~SharedFileLock() { LeaveCriticalSection(&f_->lock); }
  SharedFileLock(const SharedFileLock&) = delete;
  SharedFileLock& operator=(const SharedFileLock&) = delete;

 private:
  mp4_shared_file* f_;
};
