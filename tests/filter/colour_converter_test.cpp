#include "filter/colour_converter.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

uint32_t Rgb(int r, int g, int b) { return static_cast<uint32_t>(b | g << 8 | r << 16); }

TEST(ColourConverterTables, MatchTheirDefinitions) {
  ColourConverter c;
  struct Case { int i, r, g, b, chroma, luma; };
  const Case cases[] = {
      {0, 0, 0, 0, 16, 16},         {1, 0, 1, 0, 17, 17},
      {128, 38, 75, 15, 128, 126},  {255, 76, 150, 29, 240, 235},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.i);
    EXPECT_EQ(c.weightR[k.i], k.r);
    EXPECT_EQ(c.weightG[k.i], k.g);
    EXPECT_EQ(c.weightB[k.i], k.b);
    EXPECT_EQ(c.chromaRange[k.i], k.chroma);
    EXPECT_EQ(c.lumaRange[k.i], k.luma);
  }
  EXPECT_EQ(c.clamp[0], 0);
  EXPECT_EQ(c.clamp[320 + 0], 0);
  EXPECT_EQ(c.clamp[320 + 200], 200);
  EXPECT_EQ(c.clamp[320 + 255], 255);
  EXPECT_EQ(c.clamp[895], 255);
}

TEST(ColourConverterPixels, KnownColours) {
  ColourConverter c;
  EXPECT_EQ(c.Luma(Rgb(255, 255, 255)), 255);
  EXPECT_EQ(c.Luma(0), 0);
  struct Case { uint32_t rgb; int y, u, v; };
  const Case cases[] = {
      {Rgb(255, 255, 255), 235, 128, 128},
      {Rgb(0, 0, 0), 16, 128, 128},
      {Rgb(255, 0, 0), 81, 91, 240},
      {Rgb(0, 0, 255), 41, 240, 110},
  };
  for (const Case& k : cases) {
    uint8_t y, u, v;
    c.RgbToYuv(y, u, v, k.rgb);
    EXPECT_EQ(y, k.y) << std::hex << k.rgb;
    EXPECT_EQ(u, k.u) << std::hex << k.rgb;
    EXPECT_EQ(v, k.v) << std::hex << k.rgb;
  }
  EXPECT_EQ(c.YuvToRgb(16, 128, 128), 0u);
  EXPECT_EQ(c.YuvToRgb(235, 128, 128), 0xFFFFFFu);
  EXPECT_EQ(c.YuvToRgb(0, 0, 0), 0x00009A00u);        // blue and red saturate low
  EXPECT_EQ(c.YuvToRgb(255, 255, 255), 0x00FF7DFFu);  // blue and red saturate high
  EXPECT_EQ(ColourConverter::RgbTo565(Rgb(255, 255, 255)), 0xFFFF);
  EXPECT_EQ(ColourConverter::RgbTo565(Rgb(7, 3, 7)), 0x0000);  // truncating
}

TEST(ColourConverterPixels, RgbToYuvIndicesStayInTablesForEveryColour) {
  ColourConverter c;
  // Sweep the extremes of every channel: the chroma index formulas must stay inside 0..255.
  for (int r = 0; r < 256; r += 15)
    for (int g = 0; g < 256; g += 15)
      for (int b = 0; b < 256; b += 15) {
        int y = c.Luma(Rgb(r, g, b));
        int ui = ((37005 * (b - y)) >> 16) + 128, vi = ((46738 * (r - y)) >> 16) + 128;
        ASSERT_GE(ui, 0);
        ASSERT_LE(ui, 255);
        ASSERT_GE(vi, 0);
        ASSERT_LE(vi, 255);
      }
}

TEST(ColourConverterRows, BlackAndWhiteInBothPaths) {
  ColourConverter c;
  // Six pixels: four through the 13-bit main part, two through the 16-bit pairs.
  const uint8_t black[12] = {16, 128, 16, 128, 16, 128, 16, 128, 16, 128, 16, 128};
  const uint8_t white[12] = {235, 128, 235, 128, 235, 128, 235, 128, 235, 128, 235, 128};
  uint32_t out[6];
  c.Yuy2RowToRgb32(out, black, 6);
  for (uint32_t p : out) EXPECT_EQ(p, 0u);
  c.Yuy2RowToRgb32(out, white, 6);
  for (uint32_t p : out) EXPECT_EQ(p, 0xFFFFFFu);
}

TEST(ColourConverterRows, SixPixelsUseMainCoefficientsThenPairCoefficients) {
  ColourConverter c;
  // (100, 128, 121): the 13-bit main part gives green 104, the 16-bit pair path green 103.
  uint8_t row[12];
  for (int i = 0; i < 12; i += 4) {
    row[i] = 100;
    row[i + 1] = 128;
    row[i + 2] = 100;
    row[i + 3] = 121;
  }
  uint32_t out[6];
  c.Yuy2RowToRgb32(out, row, 6);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i], Rgb(87, 104, 98)) << i;
  for (int i = 4; i < 6; ++i) EXPECT_EQ(out[i], Rgb(87, 103, 98)) << i;
  EXPECT_EQ(out[4], c.YuvToRgb(100, 128, 121));
}

TEST(ColourConverterRows, OddCountWritesOnlyItsPixels) {
  ColourConverter c;
  // Five pixels in a buffer with a guard: the last pixel has no V byte of its own; nothing past
  // pixel 5 may be written and nothing past byte 10 read (ASan watches the source).
  std::vector<uint8_t> src = {235, 128, 235, 128, 235, 128, 235, 128, 235, 128};
  uint32_t out[6] = {0, 0, 0, 0, 0, 0xDEADBEEF};
  c.Yuy2RowToRgb32(out, src.data(), 5);
  EXPECT_EQ(out[4], 0xFFFFFFu);
  EXPECT_EQ(out[5], 0xDEADBEEFu);
  c.Yuy2RowToRgb32(out, src.data(), 0);
  c.Yuy2RowToRgb32(out, src.data(), -3);
  EXPECT_EQ(out[5], 0xDEADBEEFu);
}

TEST(ColourConverterRows, To565RoundsInMainPartAndTruncatesInTail) {
  ColourConverter c;
  uint32_t src[6] = {Rgb(255, 255, 255), Rgb(4, 2, 4), Rgb(3, 1, 3), 0, Rgb(4, 2, 4), Rgb(255, 255, 255)};
  uint16_t out[6];
  c.Rgb32RowTo565(out, src, 6);
  EXPECT_EQ(out[0], 0xFFFF);           // saturation keeps white from wrapping
  EXPECT_EQ(out[1], 0x0821);           // 4,2,4 rounds up to 1,1,1 in the main part
  EXPECT_EQ(out[2], 0x0000);           // 3,1,3 stays below
  EXPECT_EQ(out[3], 0x0000);
  EXPECT_EQ(out[4], 0x0000);           // tail: 4,2,4 truncates to 0
  EXPECT_EQ(out[5], 0xFFFF);
}

TEST(ColourConverterRows, PairToYuy2) {
  ColourConverter c;
  struct Case { uint32_t a, b; uint8_t y0, u, y1, v; };
  const Case cases[] = {
      {Rgb(255, 255, 255), Rgb(255, 255, 255), 235, 128, 235, 128},
      {0, 0, 16, 128, 16, 128},
      {Rgb(255, 0, 0), Rgb(255, 0, 0), 81, 90, 81, 239},
      {Rgb(255, 255, 255), 0, 235, 128, 16, 128},
  };
  for (const Case& k : cases) {
    uint32_t src[2] = {k.a, k.b};
    uint8_t out[4];
    c.Rgb32PairToYuy2(out, src, 2);
    EXPECT_EQ(out[0], k.y0);
    EXPECT_EQ(out[1], k.u);
    EXPECT_EQ(out[2], k.y1);
    EXPECT_EQ(out[3], k.v);
  }
}

// Every kernel version must give the scalar reference's bytes, on random rows of every length
// around the vector step sizes.
TEST(ColourKernels, VectorVersionsMatchScalarOnRandomRows) {
  const ColourRowKernels* ref = ColourKernelsFor(kColourScalar);
  std::mt19937 rng(1234);
  for (int level = kColourSse2; level <= kColourAvx2; ++level) {
    const ColourRowKernels* k = ColourKernelsFor(level);
    if (!k) {
      std::printf("kernel level %d not supported here\n", level);
      continue;
    }
    SCOPED_TRACE(k->name);
    for (int n = 0; n <= 84; n += 4) {
      std::vector<uint8_t> yuy2(2 * n);
      std::vector<uint32_t> rgb(n);
      for (int round = 0; round < 20; ++round) {
        for (auto& b : yuy2) b = static_cast<uint8_t>(rng());
        for (auto& p : rgb) p = rng();
        if (round == 0)
          for (size_t i = 0; i < yuy2.size(); ++i) yuy2[i] = i % 2 ? 255 : 0;  // extremes
        std::vector<uint32_t> a(n + 1, 7), b(n + 1, 7);
        ref->yuy2ToRgb32Main(a.data(), yuy2.data(), n);
        k->yuy2ToRgb32Main(b.data(), yuy2.data(), n);
        ASSERT_EQ(a, b) << "yuy2 n=" << n;
        std::vector<uint16_t> c(n + 1, 7), d(n + 1, 7);
        ref->rgb32To565Main(c.data(), rgb.data(), n);
        k->rgb32To565Main(d.data(), rgb.data(), n);
        ASSERT_EQ(c, d) << "565 n=" << n;
      }
    }
  }
}

TEST(ColourKernels, VectorVersionsMatchScalarOnYuvLattice) {
  const ColourRowKernels* ref = ColourKernelsFor(kColourScalar);
  // Every Y against a lattice of (U, V) that includes both extremes, 16 pixels per step.
  std::vector<uint8_t> row(2 * 4096);
  std::vector<uint32_t> a(4096), b(4096);
  for (int level = kColourSse2; level <= kColourAvx2; ++level) {
    const ColourRowKernels* k = ColourKernelsFor(level);
    if (!k) continue;
    for (int u = 0; u < 256; u += 5)
      for (int v = 0; v < 256; v = v == 250 ? 254 : v + 10) {
        for (int i = 0; i < 4096; i += 2) {
          int y = (i / 2) % 256;
          int vv = v + (i / 512) % 2;
          row[2 * i] = static_cast<uint8_t>(y);
          row[2 * i + 1] = static_cast<uint8_t>(u);
          row[2 * i + 2] = static_cast<uint8_t>(255 - y);
          row[2 * i + 3] = static_cast<uint8_t>(vv);
        }
        ref->yuy2ToRgb32Main(a.data(), row.data(), 4096);
        k->yuy2ToRgb32Main(b.data(), row.data(), 4096);
        ASSERT_EQ(a, b) << k->name << " u=" << u << " v=" << v;
      }
  }
}

}  // namespace
