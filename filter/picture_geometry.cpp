#include "filter/picture_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {
const float screenAspect[2] = {4.0f / 3.0f, 16.0f / 9.0f};
const float storageAspect[4] = {1.0f, 1.25f, 1.5f, 1.0f};

// The arithmetic of the original ran on the x87 unit: extended precision throughout.
inline int Round(long double x) { return static_cast<int>(x + 0.5L); }
inline float ScreenAspect(const FilterSettings& s) { return screenAspect[s.TV == 1 ? 1 : 0]; }
}  // namespace

int PictureGeometry::SquareHeight(int h) const {
  const FilterSettings& s = *settings;
  if (!s.Overlay) return h;
  if (s.AspectComp == 0)
    return sourceAspectFactor == 0 ? h : Round(static_cast<long double>(h) * sourceAspectFactor);
  if (!(s.aspectRatio > 0) || s.AspectComp < 0 || s.AspectComp > 3) return h;
  return Round(static_cast<long double>(storageAspect[s.AspectComp]) / s.aspectRatio * h);
}

int PictureGeometry::VisibleWidth(int w, int h) const {
  const FilterSettings& s = *settings;
  if (!s.bFill || s.Fill <= 0) return floor4(w);
  long double cols = static_cast<long double>(SquareHeight(h)) * ScreenAspect(s) * 100 / s.Fill;
  return std::min(floor4(w), floor4(static_cast<int>(cols) + 2));
}

int PictureGeometry::AreaHeight(int W, int h) const {
  const FilterSettings& s = *settings;
  int H = std::abs(h);
  auto squared = [this](int t) {
    if (t == 0) return 0;
    int sq = SquareHeight(t);
    if (sq == 0) return 0;
    float tt = static_cast<float>(t) * static_cast<float>(t);
    return Round(static_cast<long double>(tt) / sq);
  };
  if (s.bFill2 && textAvailable) {
    int t = Round(static_cast<long double>(W) / ScreenAspect(s));
    H = std::max(H, squared(t));
  }
  if (s.bFillH && s.FillH > 0) {
    int u = Round(static_cast<long double>(W) / ScreenAspect(s) * 100 / s.FillH);
    H = std::min(H, squared(u));
  }
  return H;
}

int PictureGeometry::OverscanMargin(int W) const {
  const FilterSettings& s = *settings;
  if (!s.bOverscan) return 0;
  return floor4(static_cast<int>(static_cast<int64_t>(s.Overscan) * W / 200) + 2);
}

float SourceAspectFactor(int32_t width, int32_t height, uint32_t aspectX, uint32_t aspectY, float current) {
  double a = std::fabs(static_cast<double>(width) * aspectY);
  double b = std::fabs(static_cast<double>(height) * aspectX);
  if (a >= 1 && b >= 1) return static_cast<float>(a / b);
  return current;
}

FramePlacement PlaceFrame(const PictureGeometry& g, int inW, int inH, int outW, int outH) {
  FramePlacement p{};
  int W = g.VisibleWidth(inW, std::abs(inH));
  p.srcX = floor4((inW - W) / 2);
  p.marginLeft = g.OverscanMargin(W);
  p.marginRight = outW - p.marginLeft - W;
  p.rowShift = (outH - std::abs(inH)) / 2 + (g.settings->YShift ? 1 : 0);
  p.textHeight = std::min(outH, g.AreaHeight(W, std::abs(inH)));
  p.textTop = (outH - p.textHeight) / 2;
  return p;
}

uint8_t* RowAddress(uint8_t* base, int y, int width, int height, int bitCount, bool yuy2, int flip) {
  int absH = std::abs(height);
  if (y < 0 || y >= absH) return nullptr;
  int64_t pitch = static_cast<int64_t>(width) * (bitCount / 8);
  int h = height;
  if (yuy2) h = -absH;
  if (flip) h = -h;
  if (h <= 0) return base + y * pitch;
  return base + (h - 1 - y) * pitch;
}

void DoubleYuy2(uint8_t* dst, const uint8_t* src, int w, int h) {
  if (w <= 0 || h <= 0) return;
  const size_t outPitch = static_cast<size_t>(w) * 4;  // 2w pixels, 2 bytes each
  const size_t inPitch = static_cast<size_t>(w) * 2;
  const int pairs = w / 2;
  for (int r = 0; r < h; ++r) {
    uint8_t* out = dst + 2 * r * outPitch;
    const uint8_t* in = src + r * inPitch;
    if (pairs < 1 || (w & 1)) {
      // Not produced by a conforming decoder; keep the row defined (black).
      for (size_t i = 0; i < outPitch; i += 4) memcpy(out + i, "\x10\x80\x10\x80", 4);
      if (pairs < 1) continue;
    }
    // Luma: source pixel i sits at byte 2i; output pixel j at byte 2j.
    for (int i = 0; i + 1 < w; ++i) {
      out[4 * i] = in[2 * i];
      out[4 * i + 2] = static_cast<uint8_t>((in[2 * i] + in[2 * i + 2]) >> 1);
    }
    out[4 * w - 4] = in[2 * w - 2];
    out[4 * w - 2] = 16;
    // Chroma: source pair k at bytes 4k+1 (U) and 4k+3 (V); output pair p likewise.
    for (int k = 0; k + 1 < pairs; ++k) {
      const uint8_t* a = in + 4 * k;
      const uint8_t* b = a + 4;
      uint8_t* o = out + 8 * k;
      o[1] = a[1];
      o[3] = a[3];
      o[5] = static_cast<uint8_t>((a[1] + b[1]) >> 1);
      o[7] = static_cast<uint8_t>((a[3] + b[3]) >> 1);
    }
    const uint8_t* last = in + 4 * (pairs - 1);
    uint8_t* o = out + 4 * static_cast<size_t>(w - 2);
    o[1] = last[1];
    o[3] = last[3];
    o[5] = 128;
    o[7] = 128;
  }
  for (int r = 0; r + 1 < h; ++r) {
    const uint8_t* a = dst + 2 * r * outPitch;
    const uint8_t* b = a + 2 * outPitch;
    uint8_t* o = dst + (2 * r + 1) * outPitch;
    for (size_t i = 0; i < outPitch; ++i) o[i] = static_cast<uint8_t>((a[i] + b[i]) >> 1);
  }
  uint8_t* lastRow = dst + (2 * static_cast<size_t>(h) - 1) * outPitch;
  for (size_t i = 0; i < outPitch; i += 4) memcpy(lastRow + i, "\x10\x80\x10\x80", 4);
}
