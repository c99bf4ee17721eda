#include "codec/colour.h"

#include <cstdlib>

namespace colour {
namespace {

constexpr int32_t kRound18 = 131071;

inline int32_t YNum(int32_t b, int32_t g, int32_t r) { return 29884 * b + 153878 * g + 78382 * r + kRound18; }
inline int32_t UNum(int32_t b, int32_t g, int32_t r) { return 131072 * b - 44145 * r - 86927 * g + kRound18; }
inline int32_t VNum(int32_t b, int32_t g, int32_t r) { return 131072 * r - 109760 * g - 21312 * b + kRound18; }

struct Chroma {
  int32_t u = 0, v = 0;
  void Add(const uint8_t* px) {
    u += UNum(px[0], px[1], px[2]);
    v += VNum(px[0], px[1], px[2]);
  }
};

inline uint8_t Luma(const uint8_t* px) { return static_cast<uint8_t>(YNum(px[0], px[1], px[2]) >> 18); }
inline uint8_t Low8(int32_t v) { return static_cast<uint8_t>(v & 0xFF); }

inline int32_t Signed(uint8_t v) { return static_cast<int8_t>(v); }

inline uint8_t Clamp(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Family 0 leaves out the rounding term and limits the sum before shifting.
inline uint8_t Limit0(int32_t sum) {
  if (sum < 0) return 0;
  if (sum >= (1 << 28)) return 255;
  return static_cast<uint8_t>(sum >> 20);
}

inline void PutRgb(int family, int32_t y, int32_t u, int32_t v, uint8_t* out) {
  const int32_t base = y * 1048576;
  const int32_t b = base + u * 1858076;
  const int32_t g = base - u * 360857 - v * 748830;
  const int32_t r = base + v * 1470103;
  if (family & 1) {
    out[0] = Clamp((b + 524288) >> 20);
    out[1] = Clamp((g + 524288) >> 20);
    out[2] = Clamp((r + 524288) >> 20);
  } else {
    out[0] = Limit0(r);
    out[1] = Limit0(g);
    out[2] = Limit0(b);
  }
}

// One packed word for two pixels; u and v are the stored (signed) chroma values.
inline void PutPacked(int family, bool uyvy, uint8_t y0, uint8_t y1, int32_t u, int32_t v, uint8_t* out) {
  uint8_t cu = static_cast<uint8_t>(u + 128);
  uint8_t cv = static_cast<uint8_t>(v + 128);
  if (!(family & 1)) {
    uint8_t t = cu;
    cu = cv;
    cv = t;
  }
  if (uyvy) {
    out[0] = cu;
    out[1] = y0;
    out[2] = cv;
    out[3] = y1;
  } else {
    out[0] = y0;
    out[1] = cu;
    out[2] = y1;
    out[3] = cv;
  }
}

}  // namespace

size_t YuvBandLength(int mode, int32_t width, int32_t rows) {
  const size_t w = static_cast<size_t>(width < 0 ? 0 : width);
  const size_t r = static_cast<size_t>(std::abs(rows));
  switch (mode) {
    case kYuv111: return w * r * 3;
    case kYuv422: return (w / 4) * r * 8;
    case kYuv411: return (w / 4) * r * 6;
    case kYuv211: return (w / 2) * r * 4;
    case kYuv420: return (w / 2) * (r / 2) * 6;
    default: return 0;
  }
}

size_t RgbToYuv(int mode, const uint8_t* src, size_t srcStride, int32_t width, int32_t rows, uint8_t* dst) {
  const int32_t r = std::abs(rows);
  uint8_t* out = dst;
  switch (mode) {
    case kYuv111:
      for (int32_t y = 0; y < r; ++y) {
        const uint8_t* px = src + y * srcStride;
        for (int32_t x = 0; x < width; ++x, px += 3) {
          *out++ = Luma(px);
          *out++ = Low8(UNum(px[0], px[1], px[2]) >> 18);
          *out++ = Low8(VNum(px[0], px[1], px[2]) >> 18);
        }
      }
      break;
    case kYuv422:
    case kYuv411:
      for (int32_t y = 0; y < r; ++y) {
        const uint8_t* px = src + y * srcStride;
        for (int32_t g = 0; g < width / 4; ++g, px += 12) {
          for (int k = 0; k < 4; ++k) *out++ = Luma(px + 3 * k);
          Chroma a, b;
          a.Add(px);
          a.Add(px + 3);
          b.Add(px + 6);
          b.Add(px + 9);
          if (mode == kYuv422) {
            *out++ = Low8(a.u >> 19);
            *out++ = Low8(b.u >> 19);
            *out++ = Low8(a.v >> 19);
            *out++ = Low8(b.v >> 19);
          } else {
            *out++ = Low8((a.u + b.u) >> 20);
            *out++ = Low8((a.v + b.v) >> 20);
          }
        }
      }
      break;
    case kYuv211:
      for (int32_t y = 0; y < r; ++y) {
        const uint8_t* px = src + y * srcStride;
        for (int32_t g = 0; g < width / 2; ++g, px += 6) {
          Chroma c;
          c.Add(px);
          c.Add(px + 3);
          *out++ = Luma(px);
          *out++ = Luma(px + 3);
          *out++ = Low8(c.u >> 19);
          *out++ = Low8(c.v >> 19);
        }
      }
      break;
    case kYuv420:
      for (int32_t y = 0; y + 1 < r; y += 2) {
        const uint8_t* p0 = src + y * srcStride;
        const uint8_t* p1 = p0 + srcStride;
        for (int32_t g = 0; g < width / 2; ++g, p0 += 6, p1 += 6) {
          Chroma c;
          c.Add(p0);
          c.Add(p0 + 3);
          c.Add(p1);
          c.Add(p1 + 3);
          *out++ = Luma(p0);
          *out++ = Luma(p0 + 3);
          *out++ = Luma(p1);
          *out++ = Luma(p1 + 3);
          *out++ = Low8(c.u >> 20);
          *out++ = Low8(c.v >> 20);
        }
      }
      break;
    default:
      break;
  }
  return static_cast<size_t>(out - dst);
}

void YuvToRgb24(int mode, int family, const uint8_t* src, int32_t width, int32_t rows, uint8_t* dst, size_t dstStride) {
  const int32_t r = std::abs(rows);
  const uint8_t* in = src;
  switch (mode) {
    case kYuv111:
      for (int32_t y = 0; y < r; ++y) {
        uint8_t* px = dst + y * dstStride;
        for (int32_t x = 0; x < width; ++x, px += 3, in += 3) PutRgb(family, in[0], Signed(in[1]), Signed(in[2]), px);
      }
      break;
    case kYuv422:
    case kYuv411:
      for (int32_t y = 0; y < r; ++y) {
        uint8_t* px = dst + y * dstStride;
        for (int32_t g = 0; g < width / 4; ++g, px += 12) {
          int32_t u01, u23, v01, v23;
          if (mode == kYuv422) {
            u01 = Signed(in[4]), u23 = Signed(in[5]), v01 = Signed(in[6]), v23 = Signed(in[7]);
          } else {
            u01 = u23 = Signed(in[4]);
            v01 = v23 = Signed(in[5]);
          }
          PutRgb(family, in[0], u01, v01, px);
          PutRgb(family, in[1], u01, v01, px + 3);
          PutRgb(family, in[2], u23, v23, px + 6);
          PutRgb(family, in[3], u23, v23, px + 9);
          in += mode == kYuv422 ? 8 : 6;
        }
      }
      break;
    case kYuv211:
      for (int32_t y = 0; y < r; ++y) {
        uint8_t* px = dst + y * dstStride;
        for (int32_t g = 0; g < width / 2; ++g, px += 6, in += 4) {
          PutRgb(family, in[0], Signed(in[2]), Signed(in[3]), px);
          PutRgb(family, in[1], Signed(in[2]), Signed(in[3]), px + 3);
        }
      }
      break;
    case kYuv420:
      for (int32_t y = 0; y + 1 < r; y += 2) {
        uint8_t* p0 = dst + y * dstStride;
        uint8_t* p1 = p0 + dstStride;
        for (int32_t g = 0; g < width / 2; ++g, p0 += 6, p1 += 6, in += 6) {
          const int32_t u = Signed(in[4]), v = Signed(in[5]);
          PutRgb(family, in[0], u, v, p0);
          PutRgb(family, in[1], u, v, p0 + 3);
          PutRgb(family, in[2], u, v, p1);
          PutRgb(family, in[3], u, v, p1 + 3);
        }
      }
      break;
    default:
      break;
  }
}

void YuvToPacked(int mode, int family, bool uyvy, const uint8_t* src, int32_t width, int32_t rows, uint8_t* dst,
                 size_t dstStride) {
  const int32_t r = std::abs(rows);
  auto row = [&](int32_t y) { return dst + (rows < 0 ? (r - 1 - y) : y) * dstStride; };
  const uint8_t* in = src;
  switch (mode) {
    case kYuv111:
      for (int32_t y = 0; y < r; ++y) {
        uint8_t* out = row(y);
        for (int32_t x = 0; x + 1 < width; x += 2, out += 4) {
          const int32_t u = (Signed(in[1]) + Signed(in[4])) / 2;
          const int32_t v = (Signed(in[2]) + Signed(in[5])) / 2;
          PutPacked(family, uyvy, in[0], in[3], u, v, out);
          in += 6;
        }
        if (width & 1) in += 3;
      }
      break;
    case kYuv422:
    case kYuv411:
      for (int32_t y = 0; y < r; ++y) {
        uint8_t* out = row(y);
        for (int32_t g = 0; g < width / 4; ++g, out += 8) {
          if (mode == kYuv422) {
            PutPacked(family, uyvy, in[0], in[1], Signed(in[4]), Signed(in[6]), out);
            PutPacked(family, uyvy, in[2], in[3], Signed(in[5]), Signed(in[7]), out + 4);
            in += 8;
          } else {
            PutPacked(family, uyvy, in[0], in[1], Signed(in[4]), Signed(in[5]), out);
            PutPacked(family, uyvy, in[2], in[3], Signed(in[4]), Signed(in[5]), out + 4);
            in += 6;
          }
        }
      }
      break;
    case kYuv211:
      for (int32_t y = 0; y < r; ++y) {
        uint8_t* out = row(y);
        for (int32_t g = 0; g < width / 2; ++g, out += 4, in += 4)
          PutPacked(family, uyvy, in[0], in[1], Signed(in[2]), Signed(in[3]), out);
      }
      break;
    case kYuv420:
      for (int32_t y = 0; y + 1 < r; y += 2) {
        uint8_t* o0 = row(y);
        uint8_t* o1 = row(y + 1);
        for (int32_t g = 0; g < width / 2; ++g, o0 += 4, o1 += 4, in += 6) {
          PutPacked(family, uyvy, in[0], in[1], Signed(in[4]), Signed(in[5]), o0);
          PutPacked(family, uyvy, in[2], in[3], Signed(in[4]), Signed(in[5]), o1);
        }
      }
      break;
    default:
      break;
  }
}

}  // namespace colour
