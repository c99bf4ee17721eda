#include "filter/colour_converter.h"

#include <algorithm>

ColourConverter::ColourConverter() : kernels(BestColourKernels()) {
  for (int i = 0; i < 256; ++i) {
    weightR[i] = static_cast<int32_t>(i * 0.2989 + 0.5);
    weightG[i] = static_cast<int32_t>(i * 0.5866 + 0.5);
    weightB[i] = static_cast<int32_t>(i * 0.1145 + 0.5);
    chromaRange[i] = static_cast<uint8_t>(i * 224.0 / 255.0 + 16.5);
    lumaRange[i] = static_cast<uint8_t>(i * 219.0 / 255.0 + 16.5);
  }
  for (int i = 0; i < 896; ++i) clamp[i] = static_cast<uint8_t>(std::clamp(i - 320, 0, 255));
}

uint8_t ColourConverter::Luma(uint32_t rgb) const {
  int sum = weightR[(rgb >> 16) & 0xFF] + weightG[(rgb >> 8) & 0xFF] + weightB[rgb & 0xFF];
  return static_cast<uint8_t>(std::min(255, sum));
}

void ColourConverter::RgbToYuv(uint8_t& y, uint8_t& u, uint8_t& v, uint32_t rgb) const {
  int luma = Luma(rgb);
  int b = rgb & 0xFF, r = (rgb >> 16) & 0xFF;
  // The indices stay in 0..255 for every input (the extremes are pure blue and pure red); the
  // clamp only guards the table.
  int ui = std::clamp(((37005 * (b - luma)) >> 16) + 128, 0, 255);
  int vi = std::clamp(((46738 * (r - luma)) >> 16) + 128, 0, 255);
  y = lumaRange[luma];
  u = chromaRange[ui];
  v = chromaRange[vi];
}

uint32_t ColourConverter::YuvToRgb(int Y, int U, int V) const {
  // Inputs are bytes; every sum lies within -320..575 and maps through the clamp table.
  int y = std::max(0, Y - 16) * 76309;
  uint32_t b = clamp[320 + ((y + 132252 * U - 16895488) >> 16)];
  uint32_t g = clamp[320 + ((y - 25625 * U - 53281 * V + 10132736) >> 16)];
  uint32_t r = clamp[320 + ((y + 104595 * V - 13355392) >> 16)];
  return b | g << 8 | r << 16;
}

uint16_t ColourConverter::RgbTo565(uint32_t rgb) {
  uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  return static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}

void ColourConverter::Yuy2RowToRgb32(uint32_t* dst, const uint8_t* src, int n) const {
  if (n <= 0) return;
  int n4 = n & ~3;
  kernels->yuy2ToRgb32Main(dst, src, n4);
  // The rest in pairs with the 16-bit path. An odd last pixel has no V byte in its row: it is
  // converted with neutral V instead of reading past the row, and only n pixels are written.
  for (int i = n4; i < n; i += 2) {
    const uint8_t* p = src + 2 * i;
    if (i + 1 < n) {
      dst[i] = YuvToRgb(p[0], p[1], p[3]);
      dst[i + 1] = YuvToRgb(p[2], p[1], p[3]);
    } else {
      dst[i] = YuvToRgb(p[0], p[1], 128);
    }
  }
}

void ColourConverter::Rgb32RowTo565(uint16_t* dst, const uint32_t* src, int n) const {
  if (n <= 0) return;
  int n4 = n & ~3;
  kernels->rgb32To565Main(dst, src, n4);
  for (int i = n4; i < n; ++i) dst[i] = RgbTo565(src[i]);
}

void ColourConverter::Rgb32PairToYuy2(uint8_t* dst, const uint32_t* src, int count) const {
  for (int p = 0; p + 1 < count; p += 2, dst += 4) {
    int su = 0, sv = 0;
    for (int k = 0; k < 2; ++k) {
      int b = src[p + k] & 0xFF, g = (src[p + k] >> 8) & 0xFF, r = (src[p + k] >> 16) & 0xFF;
      int y = ((16508 * g + 8412 * r + 3222 * b) >> 15) + 16;
      dst[k * 2] = static_cast<uint8_t>(std::min(255, y));
      su += 14392 * b - 9534 * g - 4858 * r;
      sv += 14392 * r - 12041 * g - 2350 * b;
    }
    dst[1] = static_cast<uint8_t>((su + 128 * 65536) >> 16);
    dst[3] = static_cast<uint8_t>((sv + 128 * 65536) >> 16);
  }
}
