#include "avifile/shared_file.h"

#include <new>

mp4_shared_file* mp4_shared_file_create() {
  mp4_shared_file* f = new (std::nothrow) mp4_shared_file;
  if (!f) return nullptr;
  f->handle = nullptr;
  f->references = 1;
  InitializeCriticalSection(&f->lock);
  return f;
}

void mp4_shared_file_add_ref(mp4_shared_file* f) {
  if (f) f->references.fetch_add(1);
}

void mp4_shared_file_release(mp4_shared_file* f) {
  if (!f || f->references.fetch_sub(1) != 1) return;
  EnterCriticalSection(&f->lock);
  mp4file_close(f->handle);
  f->handle = nullptr;
  LeaveCriticalSection(&f->lock);
  DeleteCriticalSection(&f->lock);
  delete f;
}
