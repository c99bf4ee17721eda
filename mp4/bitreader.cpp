#include "mp4/bitreader.h"

void bit_reader_init(bit_reader* r, const uint8_t* data, size_t length) {
  r->next = data;
  r->end = data + length;
  r->bit = 0;
  r->at_end = length == 0;
}

namespace {
uint64_t bits_left(const bit_reader* r) {
  if (r->next >= r->end) return 0;
  return static_cast<uint64_t>(r->end - r->next) * 8 - static_cast<uint64_t>(r->bit);
}
}  // namespace

uint32_t showbits(bit_reader* r, int n) {
  if (n <= 0) return 0;
  if (bits_left(r) < static_cast<uint64_t>(n)) {
    r->at_end = 1;
    return 0xFFFFFFFFu;
  }
  uint64_t v = 0;
  const uint8_t* p = r->next;
  int have = -r->bit;
  while (have < n) {
    v = (v << 8) | *p++;
    have += 8;
  }
  v >>= (have - n);
  return static_cast<uint32_t>(v & ((n == 32) ? 0xFFFFFFFFull : ((uint64_t(1) << n) - 1)));
}

void flushbits(bit_reader* r, int n) {
  if (r->at_end || n <= 0) return;
  uint64_t left = bits_left(r);
  if (static_cast<uint64_t>(n) >= left) {
    // Consuming the last bit leaves the reader at the end; asking for more than is left is the
    // point where it is exhausted.
    r->next = r->end;
    r->bit = 0;
    if (static_cast<uint64_t>(n) > left) r->at_end = 1;
    return;
  }
  int total = r->bit + n;
  r->next += total / 8;
  r->bit = total % 8;
}

uint32_t getbits(bit_reader* r, int n) {
  uint32_t v = showbits(r, n);
  if (r->at_end) return 0xFFFFFFFFu;
  flushbits(r, n);
  return v;
}

uint32_t next_start_code(bit_reader* r) {
  if (r->bit != 0) flushbits(r, 8 - r->bit);
  while (!r->at_end) {
    uint32_t v = showbits(r, 24);
    if (r->at_end) break;
    if (v == 1) return showbits(r, 32);
    flushbits(r, 8);
  }
  return 0xFFFFFFFFu;
}

int find_start_code(bit_reader* r, uint32_t value, uint32_t mask) {
  for (;;) {
    uint32_t code = next_start_code(r);
    if (r->at_end) return 1;
    if ((code & mask) == value) return 0;
    flushbits(r, 32);
  }
}
