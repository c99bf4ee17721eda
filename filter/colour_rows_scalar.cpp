#include <algorithm>

#include "filter/colour_rows.h"

namespace {
inline uint32_t Sat(int v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); }

inline uint32_t Pixel13(int Y, int u, int v) {
  int y = std::max(0, Y - 16) * 9539;
  uint32_t b = Sat((y + 16531 * u + 4096) >> 13);
  uint32_t g = Sat((y - 3203 * u - 6660 * v + 4096) >> 13);
  uint32_t r = Sat((y + 13074 * v + 4096) >> 13);
  return b | g << 8 | r << 16;
}
}  // namespace

void Yuy2ToRgb32MainScalar(uint32_t* dst, const uint8_t* src, int n4) {
  for (int i = 0; i + 4 <= n4; i += 4, src += 8, dst += 4) {
    int u0 = src[1] - 128, v0 = src[3] - 128, u1 = src[5] - 128, v1 = src[7] - 128;
    dst[0] = Pixel13(src[0], u0, v0);
    dst[1] = Pixel13(src[2], u0, v0);
    dst[2] = Pixel13(src[4], u1, v1);
    dst[3] = Pixel13(src[6], u1, v1);
  }
}

void Rgb32To565MainScalar(uint16_t* dst, const uint32_t* src, int n4) {
  for (int i = 0; i < (n4 & ~3); ++i) {
    uint32_t p = src[i];
    uint32_t b = std::min(255u, (p & 0xFF) + 4);
    uint32_t g = std::min(255u, ((p >> 8) & 0xFF) + 2);
    uint32_t r = std::min(255u, ((p >> 16) & 0xFF) + 4);
    dst[i] = static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
  }
}

namespace {
const ColourRowKernels kScalar = {"scalar", Yuy2ToRgb32MainScalar, Rgb32To565MainScalar};
const ColourRowKernels kSse2 = {"sse2", Yuy2ToRgb32MainSse2, Rgb32To565MainSse2};
const ColourRowKernels kAvx2 = {"avx2", Yuy2ToRgb32MainAvx2, Rgb32To565MainAvx2};
}  // namespace

const ColourRowKernels* ColourKernelsFor(int level) {
  __builtin_cpu_init();  // the answer may be wanted by a static constructor, before main
  switch (level) {
    case kColourScalar: return &kScalar;
    case kColourSse2: return __builtin_cpu_supports("sse2") ? &kSse2 : nullptr;
    case kColourAvx2: return __builtin_cpu_supports("avx2") ? &kAvx2 : nullptr;
    default: return nullptr;
  }
}

const ColourRowKernels* BestColourKernels() {
  static const ColourRowKernels* best = [] {
    for (int level = kColourAvx2; level > kColourScalar; --level)
      if (const ColourRowKernels* k = ColourKernelsFor(level)) return k;
    return &kScalar;
  }();
  return best;
}
