#include "render/text_blend.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

uint32_t Entry(int b0, int b1, int t) { return static_cast<uint32_t>(b0 | b1 << 8 | t << 24); }

TEST(BlendYuy2, Pairs) {
  struct Case { uint32_t p0, p1; uint8_t in[4]; uint8_t out[4]; };
  const Case cases[] = {
      {Entry(200, 90, 0), Entry(210, 170, 0), {50, 60, 70, 80}, {200, 90, 210, 170}},   // opaque
      {Entry(0, 0, 255), Entry(0, 0, 255), {50, 60, 70, 80}, {50, 60, 70, 80}},        // nothing
      // t0 = 128, t1 = 255, t = 191: Y0 = (34 * 128 >> 8) + 100 = 117; U = (-68 * 191 >> 8) + 140
      // = -51 + 140 = 89; Y1 = (54 * 255 >> 8) + 16 = 69; V = (-48 * 191 >> 8) + 128 = 92.
      {Entry(100, 140, 128), Entry(16, 128, 255), {50, 60, 70, 80}, {117, 89, 69, 92}},
      // Results are kept modulo 256.
      {Entry(250, 250, 200), Entry(250, 250, 200), {255, 255, 255, 255}, {180, 93, 180, 93}},
  };
  for (const Case& c : cases) {
    uint8_t row[4] = {c.in[0], c.in[1], c.in[2], c.in[3]};
    uint32_t line[2] = {c.p0, c.p1};
    BlendYuy2(row, line, 2);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(row[i], c.out[i]) << std::hex << c.p0 << " byte " << i;
  }
}

TEST(BlendYuy2, OddWidthLeavesTheUnpairedPixel) {
  uint8_t row[6] = {1, 2, 3, 4, 5, 6};
  uint32_t line[3] = {Entry(9, 9, 0), Entry(9, 9, 0), Entry(9, 9, 0)};
  BlendYuy2(row, line, 3);
  EXPECT_EQ(row[3], 9);
  EXPECT_EQ(row[4], 5);
  EXPECT_EQ(row[5], 6);
}

TEST(BlendRgb32, Pixels) {
  struct Case { uint32_t text, in, out; };
  const Case cases[] = {
      {0x00112233u, 0xAA445566u, 0x00112233u},  // t = 0 replaces the whole pixel
      {0xFF000000u, 0xAA445566u, 0xAA445566u},  // t = 255 keeps it
      // t = 128: each byte d * 128 >> 8 + text; byte 3 kept.
      {0x80102030u, 0xAA406080u, 0xAA305070u},
      {0xC8646464u, 0x00FFFFFFu, 0x002B2B2Bu},  // 255 * 200 >> 8 = 199, + 100 = 299 mod 256
  };
  for (const Case& c : cases) {
    uint32_t row = c.in;
    BlendRgb32(&row, &c.text, 1);
    EXPECT_EQ(row, c.out) << std::hex << c.text;
  }
}

}  // namespace

namespace {

// Every blend version must give the scalar reference's bytes on random rows and lines, with the
// weights the renderer produces most (0 and 255) mixed with arbitrary ones, at every width.
TEST(BlendKernels, VectorVersionsMatchScalar) {
  const BlendKernels* ref = BlendKernelsFor(0);
  std::mt19937 rng(99);
  auto weight = [&rng]() -> uint32_t {
    switch (rng() % 4) {
      case 0: return 0;
      case 1: return 255;
      default: return rng() & 0xFF;
    }
  };
  for (int level = 1; level <= 1; ++level) {
    const BlendKernels* k = BlendKernelsFor(level);
    if (!k) continue;
    SCOPED_TRACE(k->name);
    for (int W = 0; W <= 41; ++W)
      for (int round = 0; round < 50; ++round) {
        std::vector<uint32_t> line(W + 1);
        for (auto& e : line) e = (rng() & 0x00FFFFFF) | weight() << 24;
        std::vector<uint32_t> rgbA(W + 1), rgbB;
        for (auto& p : rgbA) p = rng();
        rgbB = rgbA;
        ref->rgb32(rgbA.data(), line.data(), W);
        k->rgb32(rgbB.data(), line.data(), W);
        ASSERT_EQ(rgbA, rgbB) << "rgb32 W=" << W;
        std::vector<uint8_t> yuyA(2 * W + 4), yuyB;
        for (auto& b : yuyA) b = static_cast<uint8_t>(rng());
        yuyB = yuyA;
        ref->yuy2(yuyA.data(), line.data(), W);
        k->yuy2(yuyB.data(), line.data(), W);
        ASSERT_EQ(yuyA, yuyB) << "yuy2 W=" << W;
      }
  }
}

}  // namespace
