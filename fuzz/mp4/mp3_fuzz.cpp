// The MP3 re-framer fed in pieces whose sizes come from the input; every frame handed out must
// lie inside the buffer and carry a length its header gives.
#include <cstdint>
#include <cstdlib>

#include "mp4/mp3_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static mp3_parser p;
  mp3_parser_reset(&p);
  if (size < 1) return 0;
  const size_t piece = 1 + data[0] * 64;
  const uint8_t* frame = nullptr;
  auto take = [&] {
    while (frame) {
      if (frame != p.buffer || p.frame_length < 4 || static_cast<size_t>(p.frame_length) > p.length) std::abort();
      volatile uint8_t last = frame[p.frame_length - 1];
      (void)last;
      mp3_parser_feed(&p, nullptr, 0, &frame);
    }
  };
  for (size_t at = 1; at < size; at += piece) {
    size_t n = size - at < piece ? size - at : piece;
    mp3_parser_feed(&p, data + at, n, &frame);
    take();
  }
  mp3_parser_flush(&p, &frame);
  if (frame && (p.frame_length < 4 || static_cast<size_t>(p.frame_length) > p.length)) std::abort();
  return 0;
}
