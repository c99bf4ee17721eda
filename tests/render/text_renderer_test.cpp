#include "render/text_renderer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "subtitles/subtitle_bitmap.h"

namespace {

LOGFONTA Font(LONG height) {
  LOGFONTA lf{};
  lf.lfHeight = height;
  lf.lfWeight = FW_NORMAL;
  std::strcpy(lf.lfFaceName, "Arial");
  return lf;
}

struct Picture : SubtitleBitmap {
  Picture(int w, int h, uint8_t fill) {
    width = w;
    height = h;
    pixels = new uint8_t[static_cast<size_t>(w) * h];
    std::memset(pixels, fill, static_cast<size_t>(w) * h);
  }
};

// Ink box of all pixels with non-zero opacity.
RECT Opaque(const TextRenderer& r) {
  RECT box{r.Width(), r.Height(), -1, -1};
  for (int y = 0; y < r.Height(); ++y)
    for (int x = 0; x < r.Width(); ++x)
      if (r.LayerPixel(x, y) >> 24) {
        box.left = std::min<LONG>(box.left, x);
        box.top = std::min<LONG>(box.top, y);
        box.right = std::max<LONG>(box.right, x + 1);
        box.bottom = std::max<LONG>(box.bottom, y + 1);
      }
  return box;
}

TEST(TextRendererPlacement, BoxPositions) {
  struct Case { int xPos, yPos, w, h, x, y; };
  const Case cases[] = {
      {50, 0, 100, 40, 270, 440},  // centred, on the bottom edge
      {94, 94, 100, 40, 501, 28},  // right edge at 601, top at trunc(6 * 480 / 100)
      {0, 100, 100, 40, 0, 0},
      {30, 30, 100, 40, 192, 296},
      {31, 31, 100, 40, 148, 311},
      {70, 70, 100, 40, 348, 144},
      {100, 50, 101, 41, 539, 220},
  };
  TextRenderer r(640, 480);
  for (const Case& c : cases) {
    r.SetStyle(Font(-20), c.xPos, c.yPos, 0xFFFFFF, 1);
    int x, y;
    r.PlaceBox(c.w, c.h, x, y);
    EXPECT_EQ(x, c.x) << c.xPos << "," << c.yPos;
    EXPECT_EQ(y, c.y) << c.xPos << "," << c.yPos;
  }
}

TEST(TextRendererStyle, FontHeightScalesWithLayerWidth) {
  struct Case { int width; LONG stored, scaled; };
  const Case cases[] = {{640, -20, -19}, {720, -20, -22}, {640, 24, 24}, {1920, -20, -59}, {10, 24, 0}};
  for (const Case& c : cases) {
    TextRenderer r(c.width, 100);
    r.SetStyle(Font(c.stored), 50, 0, 0xFFFFFF, 1);
    EXPECT_EQ(r.ScaledHeight(), c.scaled) << c.width << " " << c.stored;
  }
}

TEST(TextRendererText, OutlineAndHaloInTransparentMode) {
  TextRenderer r(640, 480);
  r.SetStyle(Font(-40), 50, 0, 0xFFFFFF, 1);
  ASSERT_EQ(r.RenderText("Hello gy"), 0);
  int textPixels = 0, outline = 0, halo = 0;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      uint32_t p = r.LayerPixel(x, y);
      uint32_t a = p >> 24, rgb = p & 0xFFFFFF;
      if (rgb) {
        EXPECT_EQ(a, 255u) << x << "," << y;  // every text pixel fully opaque
        ++textPixels;
      } else if (a == 255) {
        ++outline;
      } else if (a) {
        EXPECT_TRUE(a == 0x30 || a == 0x60 || a == 0x90 || a == 0xC0) << a;
        ++halo;
      }
    }
  EXPECT_GT(textPixels, 100);
  EXPECT_GT(outline, 100);
  EXPECT_GT(halo, 50);
  // The box is centred and sits on the bottom edge.
  RECT box = Opaque(r);
  EXPECT_NEAR((box.left + box.right) / 2, 320, 3);
  EXPECT_GE(box.bottom, 480 - 8);  // descenders end near the box's inner edge, 3 px up
  for (int y = 0; y < 480; ++y) EXPECT_EQ(r.RowUsed(y), y >= box.top && y < box.bottom) << y;
}

TEST(TextRendererText, BlackTextIsInvisibleInTransparentMode) {
  TextRenderer r(320, 240);
  r.SetStyle(Font(-40), 50, 0, 0x000000, 1);
  ASSERT_EQ(r.RenderText("Hello"), 0);
  for (int y = 0; y < 240; ++y) EXPECT_FALSE(r.RowUsed(y));
}

TEST(TextRendererText, OpaqueModeFillsTheBoxBehindTheText) {
  TextRenderer r(320, 240);
  r.SetStyle(Font(-40), 50, 50, 0xFFFFFF, 0);
  ASSERT_EQ(r.RenderText("Hi"), 0);
  RECT box = Opaque(r);
  ASSERT_GT(box.right, box.left);
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x) EXPECT_EQ(r.LayerPixel(x, y) >> 24, 255u);
  // Box is measured + 6 wide and tall; opaque rows are the box's without its first and last.
  int x, y;
  r.PlaceBox(box.right - box.left, box.bottom - box.top + 2, x, y);
  EXPECT_EQ(box.left, x);
}

TEST(TextRendererText, LongTextWrapsAndTallTextIsCut) {
  TextRenderer r(320, 120);
  r.SetStyle(Font(-40), 50, 0, 0xFFFFFF, 1);
  std::string many;
  for (int i = 0; i < 50; ++i) many += "word ";
  ASSERT_EQ(r.RenderText(many.c_str()), 0);
  RECT box = Opaque(r);
  EXPECT_GE(box.left, 0);
  EXPECT_LE(box.right, 320);
  EXPECT_GE(box.top, 0);  // cut at H - 6 while measuring, so the box fits
}

TEST(TextRendererLayer, SetSizeWithTheSameSizeKeepsTheLayer) {
  TextRenderer r(320, 240);
  r.SetStyle(Font(-40), 50, 0, 0xFFFFFF, 1);
  ASSERT_EQ(r.RenderText("Keep"), 0);
  ASSERT_EQ(r.Prepare(TextRenderer::kRgb), 0);
  int row = Opaque(r).top + 5;
  const uint32_t* before = r.Line(row);
  ASSERT_NE(before, nullptr);
  r.SetSize(320, 240);
  EXPECT_EQ(r.Line(row), before);
  r.SetSize(322, 240);
  EXPECT_EQ(r.Line(row), nullptr);
  EXPECT_EQ(r.Line(240), nullptr);
  EXPECT_EQ(r.Line(-1), nullptr);
  EXPECT_EQ(r.Prepare(3), -1);
  EXPECT_EQ(r.Prepare(0), -1);
}

TEST(TextRendererLayer, UnusableSizesGiveNoLayer) {
  for (auto [w, h] : {std::pair{0, 10}, {10, -5}, {100000, 100000}}) {
    TextRenderer r(w, h);
    EXPECT_EQ(r.RenderText("x"), -1);
    Picture p(2, 2, 255);
    EXPECT_EQ(r.RenderPicture(p), -1);
    EXPECT_EQ(r.Line(0), nullptr);
    EXPECT_EQ(r.Prepare(TextRenderer::kRgb), 0);
  }
}

TEST(TextRendererPicture, PaintsCoverageInTheColour) {
  TextRenderer r(10, 10);
  r.SetStyle(Font(-20), 0, 100, 0x00FF8040, 1);  // top-left corner; red 0x40, green 0x80, blue 0xFF
  Picture p(3, 2, 0);
  p.pixels[0] = 255;
  p.pixels[1] = 128;
  p.pixels[5] = 1;
  ASSERT_EQ(r.RenderPicture(p), 0);
  EXPECT_EQ(r.LayerPixel(0, 0), 0xFF3F7FFEu);  // 0x40*255>>8, 0x80*255>>8, 0xFF*255>>8
  EXPECT_EQ(r.LayerPixel(1, 0), 0xFF20407Fu);
  EXPECT_EQ(r.LayerPixel(2, 0), 0u);
  EXPECT_EQ(r.LayerPixel(2, 1), 0xFF000000u);  // coverage 1: colour rounds to black, opaque
  EXPECT_TRUE(r.RowUsed(0));
  EXPECT_TRUE(r.RowUsed(1));
  EXPECT_FALSE(r.RowUsed(2));
}

TEST(TextRendererPicture, BoxPastTheTopLeftEdgeIsCroppedNotShifted) {
  TextRenderer r(10, 10);
  r.SetStyle(Font(-20), 50, 100, 0xFFFFFF, 1);  // x = 5 - w/2, y = 0
  Picture p(20, 3, 0);
  for (int c = 0; c < 20; ++c) p.pixels[c] = static_cast<uint8_t>(10 * (c + 1));
  ASSERT_EQ(r.RenderPicture(p), 0);
  // x = 5 - 10 = -5: layer column 0 shows picture column 5 (coverage 60).
  EXPECT_EQ(r.LayerPixel(0, 0), 0xFF000000u | 0x3B3B3Bu);  // 255 * 60 >> 8 = 59
  EXPECT_EQ(r.LayerPixel(9, 0), 0xFF000000u | (255u * 150 >> 8) * 0x010101u);
  // Taller than the layer at the bottom edge: y = 10 - 50, the rows above the top are cropped.
  r.Clear();
  r.SetStyle(Font(-20), 0, 0, 0xFFFFFF, 1);
  Picture big(5, 50, 255);
  big.pixels[40 * 5] = 0;  // picture row 40 is layer row 0
  ASSERT_EQ(r.RenderPicture(big), 0);
  EXPECT_EQ(r.LayerPixel(0, 0), 0u);
  EXPECT_EQ(r.LayerPixel(1, 0), 0xFFFEFEFEu);
  EXPECT_EQ(r.LayerPixel(5, 0), 0u);
}

TEST(TextRendererPrepare, RgbAndYuy2EntriesFollowTheLayer) {
  TextRenderer r(640, 480);
  r.SetStyle(Font(-40), 50, 0, 0x0040C0FF, 1);
  ASSERT_EQ(r.RenderText("Prepared"), 0);
  ColourConverter cc;
  ASSERT_EQ(r.Prepare(TextRenderer::kRgb), 0);
  int checked = 0;
  for (int y = 0; y < 480; ++y) {
    const uint32_t* line = r.Line(y);
    if (!r.RowUsed(y)) {
      EXPECT_EQ(line, nullptr);
      continue;
    }
    for (int x = 0; x < 640; ++x) {
      uint32_t p = r.LayerPixel(x, y), a = p >> 24, e = line[x];
      uint32_t want = a == 0 ? 0xFF000000u
                      : a == 255
                          ? (p & 0xFFFFFF)
                          : ((p & 0xFF) * a >> 8) | (((p >> 8) & 0xFF) * a >> 8) << 8 |
                                (((p >> 16) & 0xFF) * a >> 8) << 16 | (255 - a) << 24;
      ASSERT_EQ(e, want) << x << "," << y;
      ++checked;
    }
  }
  EXPECT_GT(checked, 0);
  ASSERT_EQ(r.Prepare(TextRenderer::kYuy2), 0);
  for (int y = 0; y < 480; ++y) {
    const uint32_t* line = r.Line(y);
    if (!line) continue;
    for (int x = 0; x < 640; x += 2) {
      uint32_t p0 = r.LayerPixel(x, y), p1 = r.LayerPixel(x + 1, y);
      int a0 = p0 >> 24, a1 = p1 >> 24;
      if (!a0 && !a1) {
        ASSERT_EQ(line[x], 0xFF000000u);
        ASSERT_EQ(line[x + 1], 0xFF000000u);
        continue;
      }
      ASSERT_EQ(line[x] >> 24, 255u - a0);
      ASSERT_EQ(line[x + 1] >> 24, 255u - a1);
      if (a0 == 255 && a1 == 255) {
        uint32_t pair[2] = {p0, p1};
        uint8_t out[4];
        cc.Rgb32PairToYuy2(out, pair, 2);
        ASSERT_EQ(line[x], out[0] | out[1] << 8u);
        ASSERT_EQ(line[x + 1], out[2] | out[3] << 8u);
      }
      if (a1 == 0) {  // a lone pixel: its own luma, chroma scaled by half its opacity
        uint8_t Y, U, V;
        cc.RgbToYuv(Y, U, V, p0);
        int m = a0 >> 1;
        ASSERT_EQ(line[x] & 0xFF, static_cast<uint8_t>((((Y - 16) * a0) >> 8) + 16));
        ASSERT_EQ((line[x] >> 8) & 0xFF, static_cast<uint8_t>((((U - 128) * m) >> 8) + 128));
        ASSERT_EQ(line[x + 1] & 0xFF, 16u);
      }
    }
  }
}

}  // namespace
