// The short VOP-header reading shared by the read streams' place holders and the write streams'
// not-coded test.
#include <cstring>

#include "avifile/streams.h"

namespace {

struct bit_cursor {
  const uint8_t* data;
  size_t bits;  // available
  size_t at;
  bool overrun;
  uint32_t get(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) {
      if (at >= bits) {
        overrun = true;
        return 0;
      }
      v = (v << 1) | ((data[at / 8] >> (7 - at % 8)) & 1);
      ++at;
    }
    return v;
  }
};

}  // namespace

bool mp4_short_vop_header(const uint8_t* data, size_t size, int increment_bits, uint32_t* type,
                          uint32_t* time_increment, uint32_t* coded) {
  if (size < 5) return false;
  bit_cursor c{data + 4, (size - 4) * 8, 0, false};
  *type = c.get(2);
  // modulo_time_base: ones up to and including a zero, bounded by the data.
  while (!c.overrun && c.get(1) == 1) {
  }
  c.get(1);
  *time_increment = c.get(increment_bits);
  c.get(1);
  *coded = c.get(1);
  return !c.overrun;
}

void mp4_not_coded_vop(uint32_t time_increment, int increment_bits, uint8_t out[8]) {
  std::memset(out, 0, 8);
  out[2] = 1;
  out[3] = 0xB6;
  size_t at = 32;
  auto put = [&](uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i, ++at)
      if ((value >> i) & 1) out[at / 8] |= static_cast<uint8_t>(0x80 >> (at % 8));
  };
  put(1, 2);  // P
  put(0, 1);  // modulo_time_base
  put(1, 1);  // marker
  put(time_increment, increment_bits);
  put(1, 1);  // marker
  put(0, 1);  // vop_coded
}
