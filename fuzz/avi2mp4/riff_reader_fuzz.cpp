// Any bytes as the converter's AVI input: the reader refuses them or walks movi to its end with
// every chunk inside its list, and the analysis of each video chunk stays inside the chunk.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "avi2mp4/avi2mp4.h"
#include "avi2mp4/aviin.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  for (uint32_t buffer_size : {64u, 1000000u}) {
    std::FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    avi_info info;
    if (aviin_open_stream(f, &info, nullptr) != nullptr) {
      aviin_close();
      continue;
    }
    // Exactly the buffer size, so that a write past it is caught.
    std::vector<uint8_t> buffer(buffer_size);
    uint32_t got = 0;
    int video = 0, object = 0, chunks = 0;
    avi2mp4_reset_layer();
    while (aviin_next_chunk(buffer.data(), buffer_size, &got, &video, &object) == 0) {
      if (got > buffer_size || got > size) std::abort();
      if (video) avi2mp4_vop_coding_type(buffer.data(), got);
      if (++chunks > 100000) std::abort();  // the walk always moves forward
    }
    aviin_close();
  }
  return 0;
}
