// A whole file in memory, opened through the caller-supplied I/O functions: the tree reader, the
// table checks, every sample lookup and read, the check mode and a rewrite into counting mode.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "mp4/internal.h"

namespace {

struct Memory {
  const uint8_t* data;
  size_t size;
  int64_t position;
};

const mp4fileio_user_functions kFunctions = {
    [](void* c) { return static_cast<int64_t>(static_cast<Memory*>(c)->size); },
    [](void* c, int64_t p) {
      auto* m = static_cast<Memory*>(c);
      if (p < 0 || static_cast<uint64_t>(p) > m->size) return -1;
      m->position = p;
      return 0;
    },
    [](void* c, void* buffer, size_t n) {
      auto* m = static_cast<Memory*>(c);
      size_t left = m->size - static_cast<size_t>(m->position);
      size_t k = n < left ? n : left;
      if (k) std::memcpy(buffer, m->data + m->position, k);
      m->position += static_cast<int64_t>(k);
      return k;
    },
    [](void* c) { return static_cast<Memory*>(c)->position; },
};

void Quiet(void*, int, const char*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = [] { return std::freopen("/dev/null", "w", stdout) != nullptr; }();
  (void)once;
  Memory m{data, size, 0};
  mp4file* h = mp4file_open_user(&kFunctions, &m);
  if (!h) return 0;
  if (!mp4file_get_error(h)) {
    mp4file_set_log_callback(h, Quiet, nullptr);
    std::vector<uint8_t> buffer;
    for (uint32_t t = 0; t < h->movie.track_count; ++t) {
      const int id = static_cast<int>(h->movie.tracks[t].track_ID);
      const uint32_t n = mp4file_get_sample_count(h, id);
      for (uint32_t i = 0; i < n && i < 4096; ++i) {
        int64_t s = mp4file_get_sample_size(h, id, i);
        buffer.resize(static_cast<size_t>(s) + 1);
        mp4file_read_sample(h, id, i, buffer.data(), static_cast<uint32_t>(buffer.size()));
        uint64_t time;
        mp4file_get_sample_time(h, id, i, &time, nullptr);
        mp4file_is_sync_sample(h, id, i + 1);
        mp4file_prev_sync_sample(h, id, i + 1);
        mp4file_next_sync_sample(h, id, i + 1);
        mp4file_get_vop_type(h, id, i);
      }
    }
    if (size < 20000) {
      mp4file_dump(h);
      mp4file_check(h);
    }
    // Writing the parsed tree back, as fast start does.
    mp4fileio counter;
    mp4fileio_open(&counter, nullptr, 0);
    const char* error = nullptr;
    mp4file_moov_write(&h->movie, &counter, &error);
  }
  mp4file_close(h);
  return 0;
}
