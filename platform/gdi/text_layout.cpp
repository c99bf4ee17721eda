// DrawText's layout: lines at line breaks, words wrapped to the rectangle's width, each line
// aligned left, centred or right, lines one cell (ascent + descent) apart.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/gdi_internal.h"
#include "platform/gdi/text_decode.h"

namespace {
struct Line {
  size_t begin, end;  // code point range, trailing blanks excluded
  int64_t width;      // wide: a long text in a huge font must not overflow
};

// Reported sizes stay far from the limits of the rectangle's 32-bit coordinates.
constexpr int64_t kMaxExtent = 1 << 28;

bool IsBlank(char32_t c) { return c == U' ' || c == U'\t'; }
bool Invisible(char32_t c) { return c < 0x20 || c == 0x7F; }

int Advance(GdiFont& f, char32_t c) {
  if (Invisible(c) && c != U'\t') return 0;
  if (c == U'\t') c = U' ';
  const GlyphImage* g = f.Glyph(c);
  return g ? g->advance : 0;
}

std::vector<Line> BreakLines(GdiFont& f, const std::u32string& t, int maxWidth, bool wrap) {
  std::vector<Line> lines;
  size_t i = 0, n = t.size();
  while (true) {
    // One source line: up to CR, LF or CR LF.
    size_t end = i;
    while (end < n && t[end] != U'\n' && t[end] != U'\r') ++end;
    size_t pos = i;
    do {
      int64_t width = 0, widthAtBreak = 0;
      size_t breakAt = std::u32string::npos;  // first blank after a word
      size_t j = pos;
      for (; j < end; ++j) {
        int a = Advance(f, t[j]);
        // A word that does not fit moves to the next line; a word wider than the whole box
        // stays whole on its own line (measuring then reports the wider box).
        if (wrap && !IsBlank(t[j]) && width + a > maxWidth && breakAt != std::u32string::npos) {
          j = breakAt;
          width = widthAtBreak;
          break;
        }
        if (IsBlank(t[j]) && (j == pos || !IsBlank(t[j - 1]))) {
          breakAt = j;
          widthAtBreak = width;
        }
        width += a;
      }
      // Blanks at the end of a line take no room.
      size_t lineEnd = j;
      while (lineEnd > pos && IsBlank(t[lineEnd - 1])) width -= Advance(f, t[--lineEnd]);
      lines.push_back({pos, lineEnd, width});
      pos = j;
      while (pos < end && IsBlank(t[pos]) && j < end) ++pos;  // blanks where a line wrapped
    } while (pos < end);
    if (end >= n) break;
    i = end + ((t[end] == U'\r' && end + 1 < n && t[end + 1] == U'\n') ? 2 : 1);
  }
  return lines;
}

void FillSpan(GdiBitmap& b, const RECT& clip, int x0, int x1, int y0, int y1, COLORREF colour) {
  uint32_t bgr = GetBValue(colour) | GetGValue(colour) << 8 | GetRValue(colour) << 16;
  for (int y = std::max<int>(y0, clip.top); y < std::min<int>(y1, clip.bottom); ++y)
    for (int x = std::max<int>(x0, clip.left); x < std::min<int>(x1, clip.right); ++x)
      b.pixels[static_cast<size_t>(b.height - 1 - y) * b.width + x] = bgr;
}

void DrawGlyph(GdiBitmap& b, const RECT& clip, const GlyphImage& g, int penX, int baseline,
               COLORREF colour) {
  const int c[3] = {GetBValue(colour), GetGValue(colour), GetRValue(colour)};
  for (int gy = 0; gy < g.rows; ++gy) {
    int y = baseline - g.top + gy;
    if (y < clip.top || y >= clip.bottom) continue;
    uint32_t* row = &b.pixels[static_cast<size_t>(b.height - 1 - y) * b.width];
    for (int gx = 0; gx < g.width; ++gx) {
      int x = penX + g.left + gx;
      if (x < clip.left || x >= clip.right) continue;
      int a = g.coverage[static_cast<size_t>(gy) * g.width + gx];
      if (a == 0) continue;
      // The colour mixed with what is there by coverage; the fourth byte is left 0.
      uint32_t d = row[x], out = 0;
      for (int k = 0; k < 3; ++k) {
        int dc = (d >> (8 * k)) & 0xFF;
        out |= static_cast<uint32_t>((c[k] * a + dc * (255 - a) + 127) / 255) << (8 * k);
      }
      row[x] = out;
    }
  }
}
}  // namespace

int LayoutText(GdiDC& dc, const char* text, int length, RECT* rect, UINT format) {
  GdiFont& f = *dc.font;
  std::u32string t = DecodeNarrowText(text, length);
  int lineHeight = f.ascent + f.descent;
  int64_t maxWidth = std::max<int64_t>(0, int64_t(rect->right) - rect->left);
  std::vector<Line> lines = BreakLines(f, t, maxWidth, (format & DT_WORDBREAK) != 0);
  if (t.empty()) lines.clear();
  int height = static_cast<int>(std::min<int64_t>(int64_t(lineHeight) * lines.size(), kMaxExtent));
  if (format & DT_CALCRECT) {
    int64_t widest = 0;
    for (const Line& l : lines) widest = std::max(widest, l.width);
    rect->right = static_cast<LONG>(std::clamp<int64_t>(rect->left + std::min(widest, kMaxExtent), INT32_MIN, INT32_MAX));
    rect->bottom = static_cast<LONG>(std::clamp<int64_t>(int64_t(rect->top) + height, INT32_MIN, INT32_MAX));
    return height;
  }
  if (!dc.bitmap) return height;
  GdiBitmap& b = *dc.bitmap;
  RECT clip{std::max<LONG>(rect->left, 0), std::max<LONG>(rect->top, 0),
            std::min<LONG>(rect->right, b.width), std::min<LONG>(rect->bottom, b.height)};
  if (clip.left >= clip.right || clip.top >= clip.bottom) return height;
  for (size_t li = 0; li < lines.size(); ++li) {
    const Line& l = lines[li];
    int64_t top = rect->top + int64_t(li) * lineHeight;
    if (top >= clip.bottom) break;
    if (top + lineHeight <= clip.top) continue;
    int64_t x = rect->left;
    if (format & DT_CENTER) x += (maxWidth - l.width) / 2;
    else if (format & DT_RIGHT) x = rect->right - l.width;
    int baseline = static_cast<int>(top) + f.ascent;
    int64_t pen = x;
    for (size_t i = l.begin; i < l.end && pen < clip.right; ++i) {
      char32_t c = t[i] == U'\t' ? U' ' : t[i];
      if (Invisible(c)) continue;
      const GlyphImage* g = f.Glyph(c);
      if (!g) continue;
      if (pen + g->left + g->width > clip.left)  // glyphs wholly left of the clip are skipped
        DrawGlyph(b, clip, *g, static_cast<int>(pen), baseline, dc.textColour);
      pen += g->advance;
    }
    int x0 = static_cast<int>(std::clamp<int64_t>(x, INT32_MIN / 2, INT32_MAX / 2));
    int x1 = static_cast<int>(std::clamp<int64_t>(pen, INT32_MIN / 2, INT32_MAX / 2));
    if (f.lf.lfUnderline)
      FillSpan(b, clip, x0, x1, baseline + f.underlinePos, baseline + f.underlinePos + f.underlineThickness,
               dc.textColour);
    if (f.lf.lfStrikeOut)
      FillSpan(b, clip, x0, x1, baseline - f.strikePos, baseline - f.strikePos + f.strikeThickness, dc.textColour);
  }
  return height;
}
