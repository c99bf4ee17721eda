// A most-significant-bit-first reader over a byte range, for elementary stream headers.
#pragma once

#include <cstddef>
#include <cstdint>

struct bit_reader {
  const uint8_t* next;
  const uint8_t* end;
  int bit;  // 0 = most significant bit of *next
  int at_end;
};

void bit_reader_init(bit_reader* r, const uint8_t* data, size_t length);
// The next n bits (n <= 32) without consuming them; -1 (all ones) when the data runs out.
uint32_t showbits(bit_reader* r, int n);
void flushbits(bit_reader* r, int n);
uint32_t getbits(bit_reader* r, int n);
// Skips to the next byte-aligned 0x000001 prefix; returns the next 32 bits, or -1 at the end.
uint32_t next_start_code(bit_reader* r);
// 0 when a start code with (code & mask) == value is next, 1 when the data ends first.
int find_start_code(bit_reader* r, uint32_t value, uint32_t mask);
