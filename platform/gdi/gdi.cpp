#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>

#include "platform/gdi/gdi_internal.h"

namespace {
constexpr int64_t kMaxBitmapPixels = int64_t(1) << 26;  // 8192 x 8192
}  // namespace

HDC GetDC(void*) { return new GdiDC; }
int ReleaseDC(void*, HDC dc) {
  delete dc;
  return dc ? 1 : 0;
}
int GetDeviceCaps(HDC, int index) { return index == LOGPIXELSY ? 96 : 0; }
int GetScreenLogPixelsY() {
  HDC dc = GetDC(nullptr);
  int v = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return v;
}

HDC CreateCompatibleDC(HDC) { return new GdiDC; }
BOOL DeleteDC(HDC dc) {
  if (!dc) return FALSE;
  if (dc->bitmap && dc->bitmap->selectedInto == dc) dc->bitmap->selectedInto = nullptr;
  delete dc;
  return TRUE;
}

HFONT CreateFontIndirectA(const LOGFONTA* lf) { return lf ? MakeFont(*lf) : nullptr; }

HBITMAP CreateDib32(HDC, int width, int height, void** bits) {
  if (bits) *bits = nullptr;
  if (width <= 0 || height <= 0 || int64_t(width) * height > kMaxBitmapPixels) return nullptr;
  auto* b = new GdiBitmap;
  b->width = width;
  b->height = height;
  b->pixels.assign(static_cast<size_t>(width) * height, 0);
  if (bits) *bits = b->pixels.data();
  return b;
}

BOOL DeleteObject(HFONT font) {
  delete font;
  return font ? TRUE : FALSE;
}
BOOL DeleteObject(HBITMAP bitmap) {
  if (!bitmap || bitmap->selectedInto) return FALSE;  // still selected: refused, as GDI does
  delete bitmap;
  return TRUE;
}

HFONT SelectObject(HDC dc, HFONT font) {
  if (!dc) return nullptr;
  HFONT old = dc->font;
  dc->font = font;
  return old;
}
HBITMAP SelectObject(HDC dc, HBITMAP bitmap) {
  if (!dc) return nullptr;
  HBITMAP old = dc->bitmap;
  if (old && old->selectedInto == dc) old->selectedInto = nullptr;
  dc->bitmap = bitmap;
  if (bitmap) bitmap->selectedInto = dc;
  return old;
}
int SetBkMode(HDC dc, int mode) {
  if (!dc) return 0;
  int old = dc->bkMode;
  dc->bkMode = mode;
  return old;
}
COLORREF SetTextColor(HDC dc, COLORREF colour) {
  if (!dc) return 0xFFFFFFFF;
  COLORREF old = dc->textColour;
  dc->textColour = colour & 0xFFFFFF;
  return old;
}

int DrawTextExA(HDC dc, const char* text, int length, RECT* rect, UINT format, void*) {
  if (!dc || !text || !rect || !dc->font) return 0;
  if (length < 0) {
    size_t n = std::strlen(text);
    length = static_cast<int>(std::min<size_t>(n, std::numeric_limits<int>::max()));
  }
  return LayoutText(*dc, text, length, rect, format);
}
int DrawTextA(HDC dc, const char* text, int length, RECT* rect, UINT format) {
  return DrawTextExA(dc, text, length, rect, format, nullptr);
}
BOOL GdiFlush() { return TRUE; }
