#include "filter/picture_geometry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

struct Knobs {
  int bFill = 0, Fill = 75, bFill2 = 1, bOverscan = 0, Overscan = 8, Overlay = 0, AspectComp = 0;
  int bFillH = 0, FillH = 100, TV = 0, YShift = 0;
  const char* aspect = "4:3";
  bool text = false;
};

FilterSettings Make(const Knobs& u) {
  FilterSettings s{FilterSettings::NoLoad{}};
  s.bFill = u.bFill;
  s.Fill = u.Fill;
  s.bFill2 = u.bFill2;
  s.bOverscan = u.bOverscan;
  s.Overscan = u.Overscan;
  s.Overlay = u.Overlay;
  s.AspectComp = u.AspectComp;
  s.bFillH = u.bFillH;
  s.FillH = u.FillH;
  s.TV = u.TV;
  s.YShift = u.YShift;
  s.aspectRatio = ParseAspectRatio(u.aspect);
  return s;
}

TEST(PictureGeometry, WorkedFrames) {
  struct Case {
    const char* name;
    Knobs setup;
    int inW, inH;
    int W, srcX, outW, outH, margin, rowShift;
  };
  const Case cases[] = {
      {"fill 75", {.bFill = 1}, 640, 272, 484, 76, 484, 272, 0, 0},
      {"fill 75 with text", {.bFill = 1, .text = true}, 640, 272, 484, 76, 484, 363, 0, 45},
      {"fill 75, text, no fill2", {.bFill = 1, .bFill2 = 0, .text = true}, 640, 272, 484, 76, 484, 272, 0, 0},
      {"fill, text, overscan 8", {.bFill = 1, .bOverscan = 1, .text = true}, 640, 272, 484, 76, 524, 363, 20, 45},
      {"no fill keeps width mod 4", {}, 722, 576, 720, 0, 720, 576, 0, 0},
      {"fill height 100", {.bFillH = 1}, 720, 576, 720, 0, 720, 540, 0, -18},
      {"yshift", {.YShift = 1}, 720, 576, 720, 0, 720, 576, 0, 1},
      {"16:9 fill", {.bFill = 1, .Fill = 100, .TV = 1}, 720, 576, 720, 0, 720, 576, 0, 0},
      {"16:9 fill narrow", {.bFill = 1, .Fill = 100, .TV = 1}, 1280, 540, 960, 160, 960, 540, 0, 0},
      {"bottom-up height", {.bFill = 1}, 640, -272, 484, 76, 484, 272, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FilterSettings s = Make(c.setup);
    PictureGeometry g{&s, 0, c.setup.text};
    int W = g.VisibleWidth(c.inW, std::abs(c.inH));
    EXPECT_EQ(W, c.W);
    int outW = W + 2 * g.OverscanMargin(W);
    int outH = g.AreaHeight(W, std::abs(c.inH));
    EXPECT_EQ(outW, c.outW);
    EXPECT_EQ(outH, c.outH);
    FramePlacement p = PlaceFrame(g, c.inW, c.inH, outW, outH);
    EXPECT_EQ(p.srcX, c.srcX);
    EXPECT_EQ(p.marginLeft, c.margin);
    EXPECT_EQ(p.marginRight, c.margin);
    EXPECT_EQ(p.rowShift, c.rowShift);
    EXPECT_EQ(p.textHeight, outH);
    EXPECT_EQ(p.textTop, 0);
  }
}

TEST(PictureGeometry, SquareHeight) {
  struct Case { const char* name; Knobs setup; float factor; int h, expected; };
  const Case cases[] = {
      {"overlay off", {.AspectComp = 1}, 0, 576, 576},
      {"PAL clip 4:3", {.Overlay = 1, .AspectComp = 1}, 0, 576, 540},
      {"NTSC clip 4:3", {.Overlay = 1, .AspectComp = 2}, 0, 480, 540},
      {"square 16:9", {.Overlay = 1, .AspectComp = 3, .aspect = "16:9"}, 0, 576, 324},
      {"bad aspect text", {.Overlay = 1, .AspectComp = 1, .aspect = "abc"}, 0, 576, 576},
      {"source factor unknown", {.Overlay = 1}, 0, 576, 576},
      {"source factor", {.Overlay = 1}, 0.75f, 576, 432},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FilterSettings s = Make(c.setup);
    PictureGeometry g{&s, c.factor, false};
    EXPECT_EQ(g.SquareHeight(c.h), c.expected);
  }
}

TEST(PictureGeometry, SourceAspectFactorFromDeclaredAspect) {
  struct Case { int32_t w, h; uint32_t x, y; float current, expected; };
  const Case cases[] = {
      {720, 576, 16, 9, 0, 720.0f * 9 / (576.0f * 16)},
      {720, -576, 4, 3, 0, 720.0f * 3 / (576.0f * 4)},  // bottom-up heights count by size
      {720, 576, 0, 0, 0.5f, 0.5f},                     // no aspect declared: unchanged
      {0, 576, 4, 3, 0, 0},
  };
  for (const Case& c : cases) EXPECT_FLOAT_EQ(SourceAspectFactor(c.w, c.h, c.x, c.y, c.current), c.expected);
  // 16:9 PAL: square pixels at that shape are 405 lines high.
  FilterSettings s = Make({.Overlay = 1});
  PictureGeometry g{&s, SourceAspectFactor(720, 576, 16, 9, 0), false};
  EXPECT_EQ(g.SquareHeight(576), 405);
}

TEST(PictureGeometry, AreaHeightWithOverlayUsesSquaredLines) {
  // PAL clip 4:3: t = round(720 / (4/3)) = 540, SquareHeight(540) = round(0.9375 * 540) = 506,
  // t' = round(540 * 540 / 506) = 576.
  FilterSettings s = Make({.Overlay = 1, .AspectComp = 1, .text = true});
  PictureGeometry g{&s, 0, true};
  EXPECT_EQ(g.AreaHeight(720, 400), 576);
  EXPECT_EQ(g.AreaHeight(720, 600), 600);
  EXPECT_EQ(g.AreaHeight(0, 100), 100);  // no width: nothing to add
}

TEST(PictureGeometry, TextAreaIsCentredWhenFrameIsTaller) {
  FilterSettings s = Make({.bFillH = 1, .FillH = 50});
  PictureGeometry g{&s, 0, false};
  // A 576-line output whose text area (FillH 50 of 720 columns) is at most 1080 lines: all rows.
  FramePlacement p = PlaceFrame(g, 720, 576, 720, 576);
  EXPECT_EQ(p.textHeight, 576);
  // With FillH 100 the text area is 540 lines, starting 18 lines down.
  s.FillH = 100;
  p = PlaceFrame(g, 720, 576, 720, 576);
  EXPECT_EQ(p.textHeight, 540);
  EXPECT_EQ(p.textTop, 18);
}

TEST(PictureGeometry, Doubling) {
  FilterSettings s{FilterSettings::NoLoad{}};
  s.bDouble = 1;
  s.Double = 352;
  EXPECT_TRUE(ShouldDouble(s, 352));
  // 352 x 288 is then processed as 704 x 576.
  PictureGeometry g{&s, 0, false};
  int w = 352, h = 288;
  if (ShouldDouble(s, w)) w *= 2, h *= 2;
  int W = g.VisibleWidth(w, h);
  EXPECT_EQ(W + 2 * g.OverscanMargin(W), 704);
  EXPECT_EQ(g.AreaHeight(W, h), 576);
  s.Double = 351;
  EXPECT_FALSE(ShouldDouble(s, 352));
  s.bDouble = 0;
  s.Double = 9999;
  EXPECT_FALSE(ShouldDouble(s, 352));
}

TEST(RowAddress, OrientationAndBounds) {
  uint8_t frame[4 * 3 * 4];
  struct Case { const char* name; int height, bits; bool yuy2; int flip, y, row; };
  const Case cases[] = {
      {"rgb32 bottom-up", 3, 32, false, 0, 0, 2},
      {"rgb32 bottom-up flipped", 3, 32, false, 1, 0, 0},
      {"rgb32 top-down", -3, 32, false, 0, 0, 0},
      {"rgb32 top-down flipped", -3, 32, false, 1, 0, 2},
      {"yuy2 always top-down", 3, 16, true, 0, 1, 1},
      {"yuy2 flipped", 3, 16, true, 1, 0, 2},
      {"rgb565 bottom-up", 3, 16, false, 0, 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uint8_t* p = RowAddress(frame, c.y, 4, c.height, c.bits, c.yuy2, c.flip);
    EXPECT_EQ(p, frame + c.row * 4 * (c.bits / 8));
    EXPECT_EQ(RowAddress(frame, -1, 4, c.height, c.bits, c.yuy2, c.flip), nullptr);
    EXPECT_EQ(RowAddress(frame, 3, 4, c.height, c.bits, c.yuy2, c.flip), nullptr);
  }
}

TEST(RowAddress, FlipSettingsTurnThePicture) {
  // A 4-row YUY2 source into a bottom-up RGB32 output of the same height: which source row
  // ends up at each displayed row (displayed from the top)?
  const int H = 4;
  uint8_t src[4 * 2 * H], dst[4 * 4 * H];
  struct Case { int flip; bool upsideDown; };
  const Case cases[] = {{0, false}, {1, true}, {2, true}, {3, false}};
  for (const Case& c : cases) {
    for (int y = 0; y < H; ++y) {
      int srcRow = static_cast<int>(RowAddress(src, y, 4, H, 16, true, c.flip & 1) - src) / 8;
      int memRow = static_cast<int>(RowAddress(dst, y, 4, H, 32, false, c.flip & 2) - dst) / 16;
      int shownAt = H - 1 - memRow;  // bottom-up: the last row in memory is the top
      EXPECT_EQ(shownAt, c.upsideDown ? H - 1 - srcRow : srcRow) << "flip " << c.flip << " row " << y;
    }
  }
}

TEST(DoubleYuy2, SmallPictureExactly) {
  // 4 x 2 source: pairs (Y0 U Y1 V).
  const uint8_t src[16] = {
      20, 100, 40, 200, 60, 50, 81, 150,   // row 0
      100, 10, 120, 20, 140, 30, 161, 40,  // row 1
  };
  std::vector<uint8_t> out(8 * 4 * 2, 0xAA);
  DoubleYuy2(out.data(), src, 4, 2);
  const uint8_t row0[16] = {20, 100, 30, 200, 40, 75, 50, 175, 60, 50, 70, 150, 81, 128, 16, 128};
  const uint8_t row2[16] = {100, 10, 110, 20, 120, 20, 130, 30, 140, 30, 150, 40, 161, 128, 16, 128};
  EXPECT_EQ(0, std::memcmp(out.data(), row0, 16));
  EXPECT_EQ(0, std::memcmp(out.data() + 32, row2, 16));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out[16 + i], (row0[i] + row2[i]) >> 1) << i;
  for (int i = 0; i < 16; i += 4) {
    EXPECT_EQ(out[48 + i], 0x10);
    EXPECT_EQ(out[49 + i], 0x80);
    EXPECT_EQ(out[50 + i], 0x10);
    EXPECT_EQ(out[51 + i], 0x80);
  }
}

TEST(DoubleYuy2, DegenerateSizesStayInBounds) {
  // Width 1 has no full pair; width 3 is odd. Both must neither read nor write out of bounds.
  for (int w : {1, 2, 3}) {
    std::vector<uint8_t> src(2 * w * 2, 200);
    std::vector<uint8_t> out(8 * w * 2, 0);
    DoubleYuy2(out.data(), src.data(), w, 2);
    EXPECT_EQ(out[out.size() - 4], 0x10) << w;
  }
  DoubleYuy2(nullptr, nullptr, 0, 0);
}

}  // namespace
