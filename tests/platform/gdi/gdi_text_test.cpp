#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/gdi/font.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/text_decode.h"

namespace {

LOGFONTA Arial(LONG height, LONG weight = FW_NORMAL) {
  LOGFONTA lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfQuality = ANTIALIASED_QUALITY;
  std::strcpy(lf.lfFaceName, "Arial");
  return lf;
}

// A drawing context with a bitmap and a font, released at the end of a test.
struct Canvas {
  Canvas(int w, int h, const LOGFONTA& lf) : width(w), height(h) {
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateDib32(dc, w, h, reinterpret_cast<void**>(&bits));
    font = CreateFontIndirectA(&lf);
    SelectObject(dc, bitmap);
    SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, 0xFFFFFF);
  }
  ~Canvas() {
    SelectObject(dc, static_cast<HBITMAP>(nullptr));
    DeleteDC(dc);
    DeleteObject(bitmap);
    DeleteObject(font);
  }
  uint32_t At(int x, int y) const { return bits[static_cast<size_t>(height - 1 - y) * width + x]; }
  // Bounding box of every pixel with ink.
  RECT Ink() const {
    RECT r{width, height, -1, -1};
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (At(x, y) & 0xFFFFFF) {
          r.left = std::min<LONG>(r.left, x);
          r.top = std::min<LONG>(r.top, y);
          r.right = std::max<LONG>(r.right, x + 1);
          r.bottom = std::max<LONG>(r.bottom, y + 1);
        }
    return r;
  }
  int Measure(const char* text, int boxWidth, UINT format, RECT* out = nullptr) {
    RECT r{0, 0, boxWidth, 0};
    int h = DrawTextExA(dc, text, -1, &r, format | DT_CALCRECT | DT_NOPREFIX, nullptr);
    if (out) *out = r;
    return h;
  }
  int width, height;
  HDC dc;
  HBITMAP bitmap;
  HFONT font;
  uint32_t* bits = nullptr;
};

TEST(GdiFont, ArialResolvesToAMetricCompatibleFace) {
  struct Case { LONG weight; BYTE italic; const char* file; };
  const Case cases[] = {
      {FW_NORMAL, 0, "LiberationSans-Regular"},
      {FW_BOLD, 0, "LiberationSans-Bold."},
      {FW_NORMAL, 1, "LiberationSans-Italic"},
      {FW_BOLD, 1, "LiberationSans-BoldItalic"},
  };
  for (const Case& c : cases) {
    LOGFONTA lf = Arial(-20, c.weight);
    lf.lfItalic = c.italic;
    HFONT f = CreateFontIndirectA(&lf);
    ASSERT_NE(f, nullptr);
    EXPECT_NE(f->faces[0].file.find(c.file), std::string::npos) << f->faces[0].file;
    EXPECT_FALSE(f->faces[0].synthBold);
    EXPECT_FALSE(f->faces[0].synthItalic);
    DeleteObject(f);
  }
}

TEST(GdiFont, HeightIsCharacterHeightWhenNegativeAndCellHeightWhenPositive) {
  // Liberation Sans: cell = (1854 + 434) / 2048 em.
  struct Case { LONG height; int lineHeight; };
  const Case cases[] = {{-20, 22}, {20, 20}, {-48, 53}, {48, 48}, {0, 17}};
  for (const Case& c : cases) {
    Canvas cv(200, 100, Arial(c.height));
    EXPECT_EQ(cv.Measure("Hg", 200, DT_LEFT), c.lineHeight) << c.height;
  }
}

TEST(GdiFont, AnUnterminatedFaceNameIsReadSafely) {
  LOGFONTA lf = Arial(-20);
  std::memset(lf.lfFaceName, 'A', sizeof lf.lfFaceName);
  HFONT f = CreateFontIndirectA(&lf);
  ASSERT_NE(f, nullptr);  // no such face: the nearest installed one
  DeleteObject(f);
  lf.lfHeight = -2000000000;  // a damaged record must not ask for a gigantic face
  f = CreateFontIndirectA(&lf);
  ASSERT_NE(f, nullptr);
  EXPECT_LE(f->emPixels, 2048);
  DeleteObject(f);
}

TEST(GdiText, WordBreakWrapsBetweenWordsAndLineFeedsBreakLines) {
  Canvas cv(400, 200, Arial(-20));
  int line = cv.Measure("A", 400, DT_LEFT);
  struct Case { const char* text; int boxWidth; UINT format; int lines; };
  const Case cases[] = {
      {"one two three", 400, DT_WORDBREAK, 1},
      {"one two three", 60, DT_WORDBREAK, 3},
      {"one two three", 60, 0, 1},            // no word break: one long line
      {"one\ntwo", 400, DT_WORDBREAK, 2},
      {"one\r\ntwo\rthree", 400, 0, 3},
      {"Incomprehensibilities", 40, DT_WORDBREAK, 1},  // a long word stays whole
      {"a Incomprehensibilities b", 40, DT_WORDBREAK, 3},
      {"", 400, DT_WORDBREAK, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    RECT r;
    int h = cv.Measure(c.text, c.boxWidth, c.format, &r);
    EXPECT_EQ(h, c.lines * line);
    bool longWord = std::strstr(c.text, "Incomprehensibilities") != nullptr;
    if ((c.format & DT_WORDBREAK) && !longWord) { EXPECT_LE(r.right, c.boxWidth); }
    if (longWord) { EXPECT_GT(r.right, c.boxWidth); }  // the box widens to the word
  }
}

TEST(GdiText, AlignmentPlacesTheLineInTheBox) {
  struct Case { UINT format; int centre; };
  const Case cases[] = {{DT_LEFT, 0}, {DT_CENTER, 150}, {DT_RIGHT, 300}};
  for (const Case& c : cases) {
    Canvas cv(300, 40, Arial(-20));
    RECT box{0, 0, 300, 40};
    DrawTextA(cv.dc, "IIII", -1, &box, c.format | DT_NOPREFIX);
    RECT ink = cv.Ink();
    ASSERT_GE(ink.right, 0);
    int mid = (ink.left + ink.right) / 2;
    if (c.format == DT_LEFT) { EXPECT_LE(ink.left, 4); }
    if (c.format == DT_RIGHT) { EXPECT_GE(ink.right, 296); }
    if (c.format == DT_CENTER) { EXPECT_NEAR(mid, c.centre, 3); }
  }
}

TEST(GdiText, GlyphPixelsAreTheColourScaledByCoverageWithOpacityZero) {
  Canvas cv(100, 40, Arial(-30));
  SetTextColor(cv.dc, 0x0000FF);  // red
  RECT box{0, 0, 100, 40};
  DrawTextA(cv.dc, "H", -1, &box, DT_LEFT | DT_NOPREFIX);
  int full = 0, partial = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 100; ++x) {
      uint32_t p = cv.At(x, y);
      EXPECT_EQ(p & 0xFF00FFFFu, 0u) << x << "," << y;  // only red, opacity byte 0
      if (p == 0x00FF0000u) ++full;
      else if (p) ++partial;
    }
  EXPECT_GT(full, 20);  // the stems are fully covered
  EXPECT_GT(partial, 0);
}

TEST(GdiText, StylesChangeTheInk) {
  auto inkOf = [](LOGFONTA lf) {
    Canvas cv(300, 60, lf);
    RECT box{0, 0, 300, 60};
    DrawTextA(cv.dc, "mmmm", -1, &box, DT_LEFT | DT_NOPREFIX);
    RECT ink = cv.Ink();
    int count = 0;
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 300; ++x) count += (cv.At(x, y) >> 16) & 0xFF;
    return std::pair<RECT, int>(ink, count);
  };
  LOGFONTA base = Arial(-30);
  auto normal = inkOf(base);
  LOGFONTA bold = Arial(-30, FW_BOLD);
  EXPECT_GT(inkOf(bold).second, normal.second * 5 / 4);
  LOGFONTA under = base;
  under.lfUnderline = 1;
  auto u = inkOf(under);
  EXPECT_GT(u.first.bottom, normal.first.bottom);  // a line below the baseline
  LOGFONTA strike = base;
  strike.lfStrikeOut = 1;
  auto s = inkOf(strike);
  EXPECT_EQ(s.first.bottom, normal.first.bottom);
  EXPECT_GT(s.second, normal.second);
  LOGFONTA italic = base;
  italic.lfItalic = 1;
  EXPECT_NE(inkOf(italic).second, normal.second);
}

TEST(GdiText, MissingCharactersComeFromAnotherFace) {
  Canvas cv(200, 40, Arial(-24));
  RECT box{0, 0, 200, 40};
  // U+28FF (a full braille cell) is not in Liberation Sans; an installed face has it.
  DrawTextA(cv.dc, "\xE2\xA3\xBF", -1, &box, DT_LEFT | DT_NOPREFIX);
  EXPECT_GE(cv.Ink().right, 0);
  const GlyphImage* g = cv.font->Glyph(0x28FF);
  ASSERT_NE(g, nullptr);
  EXPECT_GT(g->advance, 0);
}

TEST(GdiText, NarrowTextIsAnsiUnlessItIsMultiByteUtf8) {
  struct Case { const char* bytes; std::u32string expected; };
  const Case cases[] = {
      {"abc", U"abc"},
      {"\x80 caf\xE9", U"\u20AC caf\u00E9"},            // Windows-1252
      {"\xE2\x82\xAC caf\xC3\xA9", U"\u20AC caf\u00E9"},  // UTF-8
      {"\xF0\x9F\x98\x80!", U"\U0001F600!"},             // beyond U+FFFF
      {"\xC0\xAF", U"\u00C0\u00AF"},                     // overlong: not UTF-8
      {"\xED\xA0\x80", U"\u00ED\u00A0\u20AC"},           // surrogate: not UTF-8
      {"\xE2\x82", U"\u00E2\u201A"},                     // cut short: not UTF-8
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeNarrowText(c.bytes, static_cast<int>(std::strlen(c.bytes))), c.expected)
        << c.bytes;
  }
}

TEST(GdiText, AnsiAndUtf8SpellingsDrawTheSamePixels) {
  struct Case { const char* ansi; const char* utf8; };
  const Case cases[] = {{"\x80 5", "\xE2\x82\xAC 5"}, {"caf\xE9 \x93x\x94", "caf\xC3\xA9 \xE2\x80\x9Cx\xE2\x80\x9D"}};
  for (const Case& c : cases) {
    Canvas a(120, 40, Arial(-24)), b(120, 40, Arial(-24));
    RECT box{0, 0, 120, 40};
    DrawTextA(a.dc, c.ansi, -1, &box, DT_LEFT | DT_NOPREFIX);
    DrawTextA(b.dc, c.utf8, -1, &box, DT_LEFT | DT_NOPREFIX);
    EXPECT_EQ(0, std::memcmp(a.bits, b.bits, 120 * 40 * 4)) << c.utf8;
    EXPECT_GE(a.Ink().right, 0);
  }
}

TEST(GdiText, DrawingOutsideTheBitmapIsClipped) {
  Canvas cv(50, 20, Arial(-30));
  RECT boxes[] = {{-40, -20, 30, 10}, {30, 10, 200, 100}, {-500, -500, -400, -400}, {10, 5, 5, 2}};
  for (RECT& b : boxes) DrawTextA(cv.dc, "Wide text here", -1, &b, DT_LEFT | DT_WORDBREAK);
  // Extreme rectangles and a long text in a huge font: sizes saturate instead of overflowing.
  LOGFONTA huge = Arial(-2000);
  Canvas big(64, 64, huge);
  std::string longWord(20000, 'W');
  RECT r{0, 0, 100, 0};
  int h = DrawTextExA(big.dc, longWord.c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK, nullptr);
  EXPECT_GT(h, 0);
  EXPECT_GT(r.right, 100);
  RECT far{-2147483647, -2147483647, 2147483647, 2147483647};
  DrawTextA(big.dc, longWord.c_str(), -1, &far, DT_CENTER | DT_WORDBREAK);
  std::string lines(100000, '\n');
  RECT tall{0, 0, 64, 0};
  EXPECT_GT(DrawTextExA(big.dc, lines.c_str(), -1, &tall, DT_CALCRECT, nullptr), 0);
}

}  // namespace
