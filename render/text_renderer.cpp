#include "render/text_renderer.h"

#include <algorithm>
#include <cstring>

#include "subtitles/subtitle_bitmap.h"

namespace {
// Stored font heights refer to a 640-pixel-wide picture; the factor is the single-precision
// value of 1/640 the layer has always used.
constexpr float kHeightPerColumn = 0.0015625f;
constexpr uint8_t kHaloOpacity[9] = {0x00, 0x30, 0x60, 0x90, 0xC0, 0xFF, 0xFF, 0xFF, 0xFF};
}  // namespace

TextRenderer::TextRenderer(int w, int h) {
  std::strcpy(font.lfFaceName, "Arial");
  font.lfHeight = 24;
  font.lfWeight = FW_MEDIUM;
  font.lfCharSet = ANSI_CHARSET;
  font.lfOutPrecision = OUT_TT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = ANTIALIASED_QUALITY;
  SetSize(w, h);
}

TextRenderer::~TextRenderer() { Release(); }

void TextRenderer::Release() {
  if (fontHandle) DeleteObject(fontHandle);
  if (layer) DeleteObject(layer);
  fontHandle = nullptr;
  layer = nullptr;
  bits = nullptr;
  prepared.clear();
  rowUsed.clear();
  preparedLayout = kNothing;
}

void TextRenderer::SetSize(int W, int H) {
  if (W == width && H == height && (layer || W <= 0 || H <= 0)) return;
  Release();
  void* pixels = nullptr;
  layer = CreateDib32(nullptr, W, H, &pixels);
  if (!layer) {
    // No layer (empty or unreasonable size): nothing is ever drawn or handed out.
    width = height = 0;
    return;
  }
  bits = static_cast<uint32_t*>(pixels);
  width = W;
  height = H;
  prepared.assign(static_cast<size_t>(W) * H, 0);
  rowUsed.assign(H, 0);
  SetStyle(font, xPos, yPos, colour, transparent);
  Clear();
}

void TextRenderer::SetStyle(const LOGFONTA& f, int x, int y, COLORREF c, int t) {
  // Output precision, clip precision and quality stay the renderer's own.
  BYTE out = font.lfOutPrecision, clip = font.lfClipPrecision, quality = font.lfQuality;
  font = f;
  font.lfOutPrecision = out;
  font.lfClipPrecision = clip;
  font.lfQuality = quality;
  font.lfFaceName[LF_FACESIZE - 1] = 0;  // a record from the store need not be terminated
  xPos = std::clamp(x, 0, 100);
  yPos = std::clamp(y, 0, 100);
  colour = c & 0xFFFFFF;
  transparent = t;
  LOGFONTA scaled = font;
  scaled.lfHeight = static_cast<LONG>(static_cast<long double>(width) * font.lfHeight * kHeightPerColumn + 0.5L);
  scaledHeight = scaled.lfHeight;
  HFONT handle = CreateFontIndirectA(&scaled);
  if (fontHandle) DeleteObject(fontHandle);
  fontHandle = handle;
}

void TextRenderer::Clear() {
  std::fill(rowUsed.begin(), rowUsed.end(), 0);
  if (bits) std::memset(bits, 0, static_cast<size_t>(width) * height * 4);
  preparedLayout = kNothing;
}

void TextRenderer::PlaceBox(int w, int h, int& x, int& y) const {
  x = width * xPos / 100;
  if (xPos >= 31 && xPos <= 69) x -= w / 2;
  else if (xPos >= 70) x -= w;
  y = (100 - yPos) * height / 100;
  if (yPos <= 30) y -= h;
  else if (yPos <= 69) y -= h / 2;
}

uint32_t TextRenderer::LayerPixel(int x, int y) const {
  if (!bits || x < 0 || y < 0 || x >= width || y >= height) return 0;
  return bits[static_cast<size_t>(height - 1 - y) * width + x];
}

int TextRenderer::RenderText(const char* text) {
  if (!layer || !fontHandle || !text) return -1;
  HDC screen = GetDC(nullptr);
  if (!screen) return -1;
  HDC dc = CreateCompatibleDC(screen);
  if (!dc) {
    ReleaseDC(nullptr, screen);
    return -1;
  }
  HFONT oldFont = SelectObject(dc, fontHandle);
  HBITMAP oldBitmap = SelectObject(dc, layer);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  UINT align = xPos <= 30 ? DT_LEFT : xPos <= 69 ? DT_CENTER : DT_RIGHT;

  RECT measure{0, 0, std::max(0, width - width / 10 - 6), 0};
  DrawTextExA(dc, text, -1, &measure, DT_CALCRECT | DT_NOPREFIX | DT_WORDBREAK | align, nullptr);
  if (measure.bottom > height - 6) measure.bottom = height - 6;
  int w = measure.right - measure.left + 6;
  int h = measure.bottom - measure.top + 6;
  int x, y;
  PlaceBox(w, h, x, y);
  RECT inner{x + 3, y + 3, x + w - 3, y + h - 3};
  DrawTextA(dc, text, -1, &inner, DT_NOPREFIX | DT_WORDBREAK | align);

  int left = std::max(x, 0), top = std::max(y, 0);
  int right = std::min(x + w, width), bottom = std::min(y + h, height);
  if (left < right && top < bottom) {
    if (transparent == 0) {
      for (int r = top + 1; r <= bottom - 2; ++r)
        for (int c = left; c < right; ++c) Px(c, r) |= 0xFF000000u;
    } else {
      Outline(left, top, right, bottom);
    }
    UpdateRowsUsed(left, top, right, bottom);
  }
  SelectObject(dc, oldBitmap);
  SelectObject(dc, oldFont);
  GdiFlush();
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return 0;
}

// Black outline one pixel wide around the text, then a soft black halo one pixel further out.
void TextRenderer::Outline(int left, int top, int right, int bottom) {
  int w = right - left, h = bottom - top;
  if (w < 3 || h < 3) return;
  std::vector<uint32_t> T(static_cast<size_t>(w) * h, 0);
  auto t = [&](int c, int r) -> uint32_t& { return T[static_cast<size_t>(r) * w + c]; };
  auto layerAt = [&](int c, int r) -> uint32_t& { return Px(left + c, top + r); };
  for (int r = 2; r <= h - 3; ++r)
    for (int c = 2; c <= w - 3; ++c) {
      uint32_t p = layerAt(c, r);
      if (p != 0) {
        t(c, r) = p | 0xFF000000u;
        continue;
      }
      bool near = false;
      for (int dr = -1; dr <= 1 && !near; ++dr)
        for (int dc = -1; dc <= 1; ++dc)
          if ((dr || dc) && layerAt(c + dc, r + dr) != 0) {
            near = true;
            break;
          }
      if (near) t(c, r) = 0xFF000000u;
    }
  for (int r = 1; r <= h - 2; ++r)
    for (int c = 1; c <= w - 2; ++c) {
      if (t(c, r) != 0) {
        layerAt(c, r) = t(c, r);
        continue;
      }
      int n = 0;
      for (int dr = -1; dr <= 1; ++dr)
        for (int dc = -1; dc <= 1; ++dc)
          if ((dr || dc) && t(c + dc, r + dr) != 0) ++n;
      layerAt(c, r) = static_cast<uint32_t>(kHaloOpacity[n]) << 24;
    }
}

void TextRenderer::UpdateRowsUsed(int left, int top, int right, int bottom) {
  for (int r = top; r < bottom; ++r) {
    uint8_t used = 0;
    for (int c = left; c < right && !used; ++c) used = (Px(c, r) >> 24) != 0;
    rowUsed[r] = used;
  }
  preparedLayout = kNothing;
}

int TextRenderer::RenderPicture(const SubtitleBitmap& picture) {
  if (!layer) return -1;
  if (picture.Empty()) return 0;
  int w = picture.width, h = picture.height;
  int x, y;
  PlaceBox(w, h, x, y);
  // Parts outside the layer are cropped: picture pixel (c, r) always lands at (x + c, y + r).
  int left = std::max(x, 0), top = std::max(y, 0);
  int right = static_cast<int>(std::min<int64_t>(int64_t(x) + w, width));
  int bottom = static_cast<int>(std::min<int64_t>(int64_t(y) + h, height));
  if (left >= right || top >= bottom) return 0;
  const uint32_t b = GetBValue(colour), g = GetGValue(colour), r = GetRValue(colour);
  for (int ly = top; ly < bottom; ++ly) {
    const uint8_t* src = picture.pixels + static_cast<size_t>(ly - y) * w;
    for (int lx = left; lx < right; ++lx) {
      uint32_t v = src[lx - x];
      if (v == 0) continue;
      Px(lx, ly) = (b * v >> 8) | (g * v >> 8) << 8 | (r * v >> 8) << 16 | 0xFF000000u;
    }
  }
  UpdateRowsUsed(left, top, right, bottom);
  return 0;
}

int TextRenderer::Prepare(int layout) {
  if (layout != kRgb && layout != kYuy2) return -1;
  if (preparedLayout == layout) return 0;
  preparedLayout = kNothing;
  for (int row = 0; row < height; ++row) {
    if (!rowUsed[row]) continue;
    const uint32_t* src = bits + static_cast<size_t>(height - 1 - row) * width;
    uint32_t* dst = prepared.data() + static_cast<size_t>(row) * width;
    if (layout == kRgb) {
      for (int i = 0; i < width; ++i) {
        uint32_t p = src[i], a = p >> 24;
        if (a == 0) dst[i] = 0xFF000000u;
        else if (a == 255) dst[i] = p & 0x00FFFFFFu;
        else
          dst[i] = ((p & 0xFF) * a >> 8) | (((p >> 8) & 0xFF) * a >> 8) << 8 |
                   (((p >> 16) & 0xFF) * a >> 8) << 16 | (255 - a) << 24;
      }
      continue;
    }
    for (int i = 0; i < width; i += 2) {
      // An odd last pixel pairs with a transparent one.
      bool hasSecond = i + 1 < width;
      uint32_t p0 = src[i], p1 = hasSecond ? src[i + 1] : 0;
      int a0 = p0 >> 24, a1 = p1 >> 24;
      uint32_t e0, e1;
      if (a0 == 0 && a1 == 0) {
        e0 = e1 = 0xFF000000u;
      } else {
        uint8_t y0 = 16, y1 = 16, u, v;
        if (a0 && a1) {
          uint32_t pair[2] = {p0, p1};
          uint8_t out[4];
          converter.Rgb32PairToYuy2(out, pair, 2);
          y0 = out[0];
          u = out[1];
          y1 = out[2];
          v = out[3];
        } else if (a0) {
          converter.RgbToYuv(y0, u, v, p0);
        } else {
          converter.RgbToYuv(y1, u, v, p1);
        }
        int m = (a0 + a1) >> 1;
        if (m == 255) {
          e0 = y0 | uint32_t(u) << 8;
          e1 = y1 | uint32_t(v) << 8;
        } else {
          uint32_t Y0 = static_cast<uint8_t>((((y0 - 16) * a0) >> 8) + 16);
          uint32_t U = static_cast<uint8_t>((((u - 128) * m) >> 8) + 128);
          uint32_t Y1 = static_cast<uint8_t>((((y1 - 16) * a1) >> 8) + 16);
          uint32_t V = static_cast<uint8_t>((((v - 128) * m) >> 8) + 128);
          e0 = Y0 | U << 8 | uint32_t(255 - a0) << 24;
          e1 = Y1 | V << 8 | uint32_t(255 - a1) << 24;
        }
      }
      dst[i] = e0;
      if (hasSecond) dst[i + 1] = e1;
    }
  }
  preparedLayout = layout;
  return 0;
}

const uint32_t* TextRenderer::Line(int row) const {
  if (row < 0 || row >= height || !rowUsed[row]) return nullptr;
  return prepared.data() + static_cast<size_t>(row) * width;
}
