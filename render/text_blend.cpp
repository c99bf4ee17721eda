#include "render/text_blend.h"

void BlendYuy2(uint8_t* row, const uint32_t* line, int W) {
  // Whole pairs only: an odd last pixel (never produced by the geometry, whose widths are
  // multiples of 4) has no pair of its own in the row and is left alone.
  for (int i = 0; i + 1 < W; i += 2, row += 4) {
    uint32_t p0 = line[i], p1 = line[i + 1];
    int t0 = p0 >> 24, t1 = p1 >> 24;
    if (t0 == 0 && t1 == 0) {
      row[0] = static_cast<uint8_t>(p0);
      row[1] = static_cast<uint8_t>(p0 >> 8);
      row[2] = static_cast<uint8_t>(p1);
      row[3] = static_cast<uint8_t>(p1 >> 8);
    } else if (t0 != 255 || t1 != 255) {
      int t = (t0 + t1) >> 1;
      row[0] = static_cast<uint8_t>((((row[0] - 16) * t0) >> 8) + (p0 & 0xFF));
      row[1] = static_cast<uint8_t>((((row[1] - 128) * t) >> 8) + ((p0 >> 8) & 0xFF));
      row[2] = static_cast<uint8_t>((((row[2] - 16) * t1) >> 8) + (p1 & 0xFF));
      row[3] = static_cast<uint8_t>((((row[3] - 128) * t) >> 8) + ((p1 >> 8) & 0xFF));
    }
  }
}

void BlendRgb32(uint32_t* row, const uint32_t* line, int W) {
  for (int i = 0; i < W; ++i) {
    uint32_t p = line[i], t = p >> 24;
    if (t == 0) {
      row[i] = p;
    } else if (t != 255) {
      uint32_t d = row[i], out = d & 0xFF000000u;
      for (int k = 0; k < 24; k += 8)
        out |= ((((d >> k) & 0xFF) * t >> 8) + ((p >> k) & 0xFF)) % 256 << k;
      row[i] = out;
    }
  }
}
