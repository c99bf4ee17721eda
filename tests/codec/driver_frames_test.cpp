// Frames through the driver: lossless round trips, bands, null frames, the YUV layouts against
// their defining arithmetic, and hostile frames given to the decoder.
#include <gtest/gtest.h>

#include "codec/colour.h"
#include "codec/qpak.h"
#include "tests/codec/driver_fixture.h"

using namespace codec_test;
using aviqpak::kOptionNullFrames;
using aviqpak::kOptionSplit;

namespace {

Bytes Picture(int32_t width, int32_t height, int bits, uint32_t seed) {
  const size_t size = static_cast<size_t>(std::abs(height)) * DibStride(width, bits);
  return seed == 0 ? PictureLike(size, 1) : (seed == 1 ? Bytes(size, 0x42) : RandomBytes(size, seed));
}

TEST_F(DriverTest, RgbRoundTripsAreExact) {
  struct Case {
    int32_t width, height;
    int bits;
    uint8_t flags;
    uint8_t noCompress;
    DWORD settings;
  };
  const Case cases[] = {
      {320, 240, 24, 0, 0, 0},
      {320, 240, 24, kOptionSplit, 0, 0},
      {320, 241, 24, kOptionSplit, 0, aviqpak::kMultiThreadEnable},
      {321, 7, 24, kOptionSplit, 0, 0},
      {97, 61, 32, 0, 0, 0},
      {97, 61, 32, kOptionSplit, 0, aviqpak::kMultiThreadEnable},
      {130, 45, 16, kOptionSplit, 0, 0},
      {203, 33, 8, 0, 0, 0},
      {1, 1, 24, kOptionSplit, 0, 0},
      {320, 240, 24, kOptionSplit, 1, 0},
  };
  for (const Case& c : cases) {
    for (uint32_t seed : {0u, 1u, 7u}) {
      aviqpak::SetSettings(c.settings);
      SetState(colour::kRgb24, c.flags, c.noCompress);
      Format in = RgbFormat(c.width, c.height, c.bits);
      Bytes picture = Picture(c.width, c.height, c.bits, seed);
      Format stream = CompressedFormat(in);
      Coded coded = CompressFrame(in, stream, picture);
      SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bits << " flags " << int(c.flags)
                                      << " seed " << seed);
      ASSERT_EQ(coded.result, ICERR_OK);
      EXPECT_EQ(coded.flags, AVIIF_KEYFRAME);
      EXPECT_EQ(coded.ckid, MakeTwoCC('d', 'c'));
      if (c.noCompress) {
        const size_t rowsA = static_cast<size_t>(c.height) / 2;
        EXPECT_EQ(coded.data.size(), 8 + picture.size());
        EXPECT_EQ(coded.data[0] | coded.data[1] << 8 | coded.data[2] << 16, rowsA * DibStride(c.width, c.bits));
      }
      Format out = RgbFormat(c.width, c.height, c.bits);
      Bytes back(picture.size(), 0);
      ASSERT_EQ(DecompressFrame(stream, coded.data, out, back), ICERR_OK);
      EXPECT_EQ(back, picture);
    }
  }
}

TEST_F(DriverTest, SplitFrameOfOddHeightNeedsMoreThanTheRawSize) {
  // Band A (2 of 5 rows) of noise stays coded, longer than its rows, within half the frame;
  // band B (3 rows) is stored raw.
  SetState(colour::kRgb24, kOptionSplit);
  Format in = RgbFormat(400, 5, 24);
  Bytes picture = RandomBytes(5 * 1200, 99);
  Coded coded = Compress(in, picture);
  ASSERT_EQ(coded.result, ICERR_OK);
  const size_t lengthA = coded.data[0] | coded.data[1] << 8;
  EXPECT_GT(lengthA, 2u * 1200u);
  EXPECT_EQ(coded.data.size(), 8 + lengthA + 3 * 1200);
  EXPECT_GT(coded.data.size(), picture.size());
  Format stream = CompressedFormat(in);
  Format out = RgbFormat(400, 5, 24);
  Bytes back(picture.size());
  ASSERT_EQ(DecompressFrame(stream, coded.data, out, back), ICERR_OK);
  EXPECT_EQ(back, picture);
}

TEST_F(DriverTest, StreamAsLongAsTheRawBandIsStoredRaw) {
  // 1039 distinct words with one 32-word repeat: 1007 literals, one match and 126 flag bytes
  // make 4156 bytes, the band's own length, which a decoder would take for raw data.
  Bytes picture = RandomBytes(1039 * 4, 21);
  std::memcpy(&picture[900 * 4], &picture[600 * 4], 32 * 4);
  Bytes stream(8192);
  size_t length = 0;
  qpak::Scratch scratch;
  ASSERT_TRUE(qpak::Compress(picture.data(), picture.size(), stream.data(), stream.size(), &length, &scratch));
  ASSERT_EQ(length, picture.size());
  Format in = RgbFormat(1385, 1, 24);  // one row of 4156 bytes
  ASSERT_EQ(DibStride(1385, 24), picture.size());
  Coded coded = Compress(in, picture);
  EXPECT_EQ(coded.data, picture);
}

TEST_F(DriverTest, NullFramesBetweenBeginAndEnd) {
  SetState(colour::kRgb24, kOptionNullFrames);
  Format in = RgbFormat(64, 40, 24);
  Format stream = CompressedFormat(in);
  Bytes a = Picture(64, 40, 24, 0), b = Picture(64, 40, 24, 5);
  ASSERT_EQ(inst_->CompressBegin(in.h(), stream.h()), ICERR_OK);
  struct Step {
    const Bytes* picture;
    bool null;
  };
  const Step steps[] = {{&a, false}, {&a, true}, {&a, true}, {&b, false}, {&a, false}};
  std::vector<Coded> frames;
  for (const Step& s : steps) {
    frames.push_back(CompressFrame(in, stream, *s.picture));
    EXPECT_EQ(frames.back().result, ICERR_OK);
    EXPECT_EQ(frames.back().data.empty(), s.null);
    EXPECT_EQ(frames.back().flags, s.null ? 0u : AVIIF_KEYFRAME);
  }
  ASSERT_EQ(inst_->CompressEnd(), ICERR_OK);
  ASSERT_EQ(inst_->CompressBegin(in.h(), stream.h()), ICERR_OK);
  EXPECT_FALSE(CompressFrame(in, stream, a).data.empty()) << "a new begin forgets the previous picture";
  EXPECT_FALSE(CompressFrame(in, stream, a).data.empty() && false);
  ASSERT_EQ(inst_->CompressEnd(), ICERR_OK);
  // Without begin every call stands alone, so nothing is ever repeated.
  EXPECT_FALSE(CompressFrame(in, stream, a).data.empty());
  EXPECT_FALSE(CompressFrame(in, stream, a).data.empty());

  // A null frame leaves the previous picture in the output.
  Format out = RgbFormat(64, 40, 24);
  Bytes shown(a.size(), 0);
  ASSERT_EQ(DecompressFrame(stream, frames[0].data, out, shown), ICERR_OK);
  ASSERT_EQ(DecompressFrame(stream, frames[1].data, out, shown), ICERR_OK);
  EXPECT_EQ(shown, a);
}

TEST_F(DriverTest, HurryUpAndTopDownOutput) {
  Format in = RgbFormat(48, 20, 24);
  Bytes picture = Picture(48, 20, 24, 3);
  Format stream = CompressedFormat(in);
  Coded coded = CompressFrame(in, stream, picture);
  Format out = RgbFormat(48, 20, 24);
  Bytes back(picture.size(), 0x5C);
  ASSERT_EQ(DecompressFrame(stream, coded.data, out, back, ICDECOMPRESS_HURRYUP), ICERR_OK);
  EXPECT_EQ(back, Bytes(picture.size(), 0x5C));
  // A top-down RGB output gets the rows in their stored order, whole frame or split.
  for (uint8_t flags : {uint8_t{0}, uint8_t{kOptionSplit}}) {
    SetState(colour::kRgb24, flags);
    Format s = CompressedFormat(in);
    Coded c = CompressFrame(in, s, picture);
    Format topDown = RgbFormat(48, -20, 24);
    ASSERT_EQ(DecompressFrame(s, c.data, topDown, back), ICERR_OK);
    EXPECT_EQ(back, picture) << int(flags);
  }
}

// The YUV layouts written out per pixel from their definition, independent of the codec's loops.
struct Pixel {
  int32_t y, u, v;  // numerators
};
Pixel Numerators(const uint8_t* p) {
  const int32_t b = p[0], g = p[1], r = p[2];
  return {29884 * b + 153878 * g + 78382 * r + 131071, 131072 * b - 44145 * r - 86927 * g + 131071,
          131072 * r - 109760 * g - 21312 * b + 131071};
}
uint8_t Clamp(int32_t v) { return static_cast<uint8_t>(std::min(255, std::max(0, v))); }

// Expected decoded picture (24-bit rows, `stride`) for a picture coded in `mode`. Pixels a layout
// does not carry keep the value `keep`.
Bytes ExpectedRgb(int mode, const Bytes& picture, int32_t width, int32_t rows, size_t stride, uint8_t keep) {
  Bytes out(picture.size(), keep);
  auto px = [&](int32_t x, int32_t y) { return &picture[y * stride + 3 * x]; };
  // Group geometry: pixels per group across, rows per group, chroma pairs for 4:2:2.
  const int across = mode == colour::kYuv111 ? 1 : (mode == colour::kYuv422 || mode == colour::kYuv411) ? 4 : 2;
  const int down = mode == colour::kYuv420 ? 2 : 1;
  for (int32_t y0 = 0; y0 + down <= rows; y0 += down) {
    for (int32_t x0 = 0; x0 + across <= width; x0 += across) {
      for (int dy = 0; dy < down; ++dy) {
        for (int dx = 0; dx < across; ++dx) {
          // The pixels whose chroma this pixel shares.
          int first = 0, count = across;
          if (mode == colour::kYuv422) first = dx < 2 ? 0 : 2, count = 2;
          int64_t su = 0, sv = 0;
          int n = 0;
          for (int ry = 0; ry < down; ++ry)
            for (int k = first; k < first + count; ++k, ++n) {
              Pixel p = Numerators(px(x0 + k, y0 + ry));
              su += p.u, sv += p.v;
            }
          const int shift = n == 1 ? 18 : n == 2 ? 19 : 20;
          const int32_t u = static_cast<int8_t>(static_cast<uint8_t>(su >> shift));
          const int32_t v = static_cast<int8_t>(static_cast<uint8_t>(sv >> shift));
          const int32_t yy = Numerators(px(x0 + dx, y0 + dy)).y >> 18;
          uint8_t* o = &out[(y0 + dy) * stride + 3 * (x0 + dx)];
          o[0] = Clamp((yy * 1048576 + u * 1858076 + 524288) >> 20);
          o[1] = Clamp((yy * 1048576 - u * 360857 - v * 748830 + 524288) >> 20);
          o[2] = Clamp((yy * 1048576 + v * 1470103 + 524288) >> 20);
        }
      }
    }
  }
  for (size_t r = 0; r < static_cast<size_t>(rows); ++r)  // row padding is never written
    for (size_t k = 3 * static_cast<size_t>(width); k < stride; ++k) out[r * stride + k] = keep;
  return out;
}

TEST_F(DriverTest, YuvModesDecodeToTheirDefiningArithmetic) {
  struct Case {
    int mode;
    int32_t width, height;
  };
  const std::vector<Case> cases = {
      {colour::kYuv111, 64, 40}, {colour::kYuv111, 63, 9},  {colour::kYuv422, 64, 40}, {colour::kYuv422, 10, 5},
      {colour::kYuv411, 66, 41}, {colour::kYuv211, 65, 40}, {colour::kYuv420, 64, 40}, {colour::kYuv420, 62, 5},
  };
  for (const Case& c : cases) {
    for (uint8_t flags : {uint8_t{0}, uint8_t{kOptionSplit}}) {
      for (uint32_t seed : {0u, 11u}) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " " << c.width << "x" << c.height << " flags "
                                        << int(flags) << " seed " << seed);
        SetState(static_cast<uint8_t>(c.mode), flags);
        Format in = RgbFormat(c.width, c.height, 24);
        const size_t stride = DibStride(c.width, 24);
        Bytes picture = Picture(c.width, c.height, 24, seed);
        Format stream = CompressedFormat(in);
        Coded coded = CompressFrame(in, stream, picture);
        ASSERT_EQ(coded.result, ICERR_OK);
        Format out = RgbFormat(c.width, c.height, 24);
        Bytes back(picture.size(), 0xA5);
        ASSERT_EQ(DecompressFrame(stream, coded.data, out, back), ICERR_OK);
        // Split bands each code their own rows, so 4:2:0 pairs rows within each band.
        Bytes expected;
        if (flags & kOptionSplit) {
          const int32_t rowsA = c.height / 2;
          Bytes a(picture.begin(), picture.begin() + rowsA * stride), b(picture.begin() + rowsA * stride, picture.end());
          expected = ExpectedRgb(c.mode, a, c.width, rowsA, stride, 0xA5);
          Bytes eb = ExpectedRgb(c.mode, b, c.width, c.height - rowsA, stride, 0xA5);
          expected.insert(expected.end(), eb.begin(), eb.end());
        } else {
          expected = ExpectedRgb(c.mode, picture, c.width, c.height, stride, 0xA5);
        }
        EXPECT_EQ(back, expected);
      }
    }
  }
}

// The band layouts written out from their table: group bytes in order, groups left to right,
// rows in memory order (pairs of rows for 4:2:0), chroma from the summed numerators.
Bytes ExpectedBand(int mode, const Bytes& picture, int32_t width, int32_t rows, size_t stride) {
  Bytes band;
  auto num = [&](int32_t x, int32_t y) { return Numerators(&picture[y * stride + 3 * x]); };
  auto luma = [&](int32_t x, int32_t y) { return static_cast<uint8_t>(num(x, y).y >> 18); };
  auto chroma = [&](std::initializer_list<std::pair<int32_t, int32_t>> px, bool v) {
    int64_t sum = 0;
    for (auto [x, y] : px) sum += v ? num(x, y).v : num(x, y).u;
    const int shift = px.size() == 1 ? 18 : px.size() == 2 ? 19 : 20;
    return static_cast<uint8_t>(sum >> shift);
  };
  for (int32_t y = 0; y < rows; ++y) {
    if (mode == colour::kYuv420 && (y % 2 == 1 || y + 1 >= rows)) continue;
    for (int32_t x = 0;; ) {
      if (mode == colour::kYuv111 && x + 1 <= width) {
        band.insert(band.end(), {luma(x, y), chroma({{x, y}}, false), chroma({{x, y}}, true)});
        x += 1;
      } else if (mode == colour::kYuv422 && x + 4 <= width) {
        band.insert(band.end(), {luma(x, y), luma(x + 1, y), luma(x + 2, y), luma(x + 3, y),
                                 chroma({{x, y}, {x + 1, y}}, false), chroma({{x + 2, y}, {x + 3, y}}, false),
                                 chroma({{x, y}, {x + 1, y}}, true), chroma({{x + 2, y}, {x + 3, y}}, true)});
        x += 4;
      } else if (mode == colour::kYuv411 && x + 4 <= width) {
        band.insert(band.end(), {luma(x, y), luma(x + 1, y), luma(x + 2, y), luma(x + 3, y),
                                 chroma({{x, y}, {x + 1, y}, {x + 2, y}, {x + 3, y}}, false),
                                 chroma({{x, y}, {x + 1, y}, {x + 2, y}, {x + 3, y}}, true)});
        x += 4;
      } else if (mode == colour::kYuv211 && x + 2 <= width) {
        band.insert(band.end(), {luma(x, y), luma(x + 1, y), chroma({{x, y}, {x + 1, y}}, false),
                                 chroma({{x, y}, {x + 1, y}}, true)});
        x += 2;
      } else if (mode == colour::kYuv420 && x + 2 <= width) {
        band.insert(band.end(), {luma(x, y), luma(x + 1, y), luma(x, y + 1), luma(x + 1, y + 1),
                                 chroma({{x, y}, {x + 1, y}, {x, y + 1}, {x + 1, y + 1}}, false),
                                 chroma({{x, y}, {x + 1, y}, {x, y + 1}, {x + 1, y + 1}}, true)});
        x += 2;
      } else {
        break;
      }
    }
  }
  return band;
}

TEST_F(DriverTest, YuvBandsFollowTheirLayouts) {
  for (int mode : {colour::kYuv111, colour::kYuv422, colour::kYuv411, colour::kYuv211, colour::kYuv420}) {
    for (int32_t width : {9, 12, 14}) {
      const int32_t height = 5;
      SetState(static_cast<uint8_t>(mode), 0, 1);  // stored raw: the frame is the band
      Format in = RgbFormat(width, height, 24);
      Bytes picture = RandomBytes(height * DibStride(width, 24), static_cast<uint32_t>(mode * 100 + width));
      Coded coded = Compress(in, picture);
      EXPECT_EQ(coded.data, ExpectedBand(mode, picture, width, height, DibStride(width, 24)))
          << "mode " << mode << " width " << width;
      EXPECT_EQ(coded.data.size(), colour::YuvBandLength(mode, width, height));
    }
  }
}

TEST_F(DriverTest, KnownPixelsConvert) {
  // White stays white; blue becomes Y 29, U 127, V -21 and decodes to 254, 0, 0.
  struct Case {
    uint8_t b, g, r;
    uint8_t y, u, v;
    uint8_t db, dg, dr;
  };
  const Case cases[] = {{255, 255, 255, 255, 0, 0, 255, 255, 255}, {255, 0, 0, 29, 127, 235, 254, 0, 0}};
  for (const Case& c : cases) {
    Bytes picture(64 * 48 * 3);
    for (size_t i = 0; i < picture.size(); i += 3) picture[i] = c.b, picture[i + 1] = c.g, picture[i + 2] = c.r;
    Bytes yuv(64 * 48 * 3);
    ASSERT_EQ(colour::RgbToYuv(colour::kYuv111, picture.data(), 192, 64, 48, yuv.data()), yuv.size());
    EXPECT_EQ(yuv[0], c.y);
    EXPECT_EQ(yuv[1], c.u);
    EXPECT_EQ(yuv[2], c.v);
    SetState(colour::kYuv111, 0);
    Format in = RgbFormat(64, 48, 24);
    Format stream = CompressedFormat(in);
    Coded coded = CompressFrame(in, stream, picture);
    Format out = RgbFormat(64, 48, 24);
    Bytes back(picture.size());
    ASSERT_EQ(DecompressFrame(stream, coded.data, out, back), ICERR_OK);
    EXPECT_EQ(back[0], c.db);
    EXPECT_EQ(back[1], c.dg);
    EXPECT_EQ(back[2], c.dr);
  }
}

TEST_F(DriverTest, PackedOutputsCarryTheStoredSamples) {
  // Picture made from known YUV samples so the expected words follow directly from the layout.
  const int32_t width = 8, height = 4;
  SetState(colour::kYuv422, 0);
  Format in = RgbFormat(width, height, 24);
  Bytes picture = RandomBytes(height * 24, 5);
  Bytes yuv(colour::YuvBandLength(colour::kYuv422, width, height));
  colour::RgbToYuv(colour::kYuv422, picture.data(), 24, width, height, yuv.data());
  Format stream = CompressedFormat(in);
  Coded coded = CompressFrame(in, stream, picture);
  ASSERT_EQ(coded.data.size(), yuv.size()) << "small bands are stored raw";
  ASSERT_EQ(coded.data, yuv);

  struct Case {
    DWORD compression;
    DWORD settings;
    int32_t outHeight;
    uint8_t family;
    bool upward;
  };
  const Case cases[] = {
      {FOURCC_YUY2, aviqpak::kYuvEnable, height, 1, false},
      {FOURCC_UYVY, aviqpak::kYuvEnable, height, 1, false},
      {FOURCC_YUY2, aviqpak::kYuvEnable | aviqpak::kInvertHeightYuv, height, 1, true},
      {FOURCC_UYVY, aviqpak::kYuvEnable, -height, 1, true},
      {FOURCC_UYVY, aviqpak::kYuvEnable, height, 0, false},
  };
  for (const Case& c : cases) {
    aviqpak::SetSettings(c.settings);
    SetState(colour::kYuv422, 0, 0, c.family);
    Format out = RgbFormat(width, c.outHeight, 16, c.compression);
    Bytes back(height * 16, 0);
    ASSERT_EQ(DecompressFrame(stream, coded.data, out, back), ICERR_OK);
    for (int32_t row = 0; row < height; ++row) {
      const uint8_t* g = &yuv[row * 16];  // two groups of 8 bytes per row
      const uint8_t* o = &back[(c.upward ? height - 1 - row : row) * 16];
      for (int grp = 0; grp < 2; ++grp, g += 8) {
        for (int pair = 0; pair < 2; ++pair) {
          uint8_t u = static_cast<uint8_t>(g[4 + pair] ^ 0x80), v = static_cast<uint8_t>(g[6 + pair] ^ 0x80);
          if (c.family == 0) std::swap(u, v);
          const uint8_t y0 = g[2 * pair], y1 = g[2 * pair + 1];
          const uint8_t* w = o + grp * 8 + pair * 4;
          const uint8_t expected[4] = {c.compression == FOURCC_UYVY ? u : y0, c.compression == FOURCC_UYVY ? y0 : u,
                                       c.compression == FOURCC_UYVY ? v : y1, c.compression == FOURCC_UYVY ? y1 : v};
          EXPECT_EQ(std::memcmp(w, expected, 4), 0) << "row " << row << " group " << grp << " pair " << pair;
        }
      }
    }
  }
}

TEST_F(DriverTest, SplitPackedOutputTurnedOverIsOnePicture) {
  aviqpak::SetSettings(aviqpak::kYuvEnable | aviqpak::kInvertHeightYuv);
  const int32_t width = 64, height = 41;
  Format in = RgbFormat(width, height, 24);
  Bytes picture = Picture(width, height, 24, 0);
  Bytes whole(height * 128), split(height * 128);
  for (uint8_t flags : {uint8_t{0}, uint8_t{kOptionSplit}}) {
    SetState(colour::kYuv211, flags);
    Format stream = CompressedFormat(in);
    Coded coded = CompressFrame(in, stream, picture);
    Format out = RgbFormat(width, height, 16, FOURCC_YUY2);
    ASSERT_EQ(DecompressFrame(stream, coded.data, out, flags ? split : whole), ICERR_OK);
  }
  EXPECT_EQ(split, whole);
}

TEST_F(DriverTest, YuvBandsOfPartialWordsKeepTheirLastBytes) {
  // 4:1:1 of width 4 and 363 rows: 6 x 363 = 2178 bytes, not whole words, long enough to code.
  SetState(colour::kYuv411, 0);
  Format in = RgbFormat(4, 363, 24);
  Bytes picture(363 * 12, 0x80);
  Coded coded = Compress(in, picture);
  EXPECT_EQ(coded.data.size(), 2178u) << "stored raw";
  // The 4:2:0 layout of a noisy picture codes longer than its raw layout yet within the frame.
  SetState(colour::kYuv420, 0);
  Format in2 = RgbFormat(128, 64, 24);
  Bytes noise = RandomBytes(64 * 384, 8);
  Coded c2 = Compress(in2, noise);
  EXPECT_GT(c2.data.size(), colour::YuvBandLength(colour::kYuv420, 128, 64));
  EXPECT_LT(c2.data.size(), noise.size());
  Format stream = CompressedFormat(in2);
  Format out = RgbFormat(128, 64, 24);
  Bytes back(noise.size());
  ASSERT_EQ(DecompressFrame(stream, c2.data, out, back), ICERR_OK);
  EXPECT_EQ(back, ExpectedRgb(colour::kYuv420, noise, 128, 64, 384, 0));
}

TEST_F(DriverTest, HostileFramesStopSafely) {
  const int32_t width = 100, height = 30;
  const size_t raw = height * DibStride(width, 24);
  Bytes picture = Picture(width, height, 24, 0);
  struct Case {
    const char* name;
    uint8_t mode;
    uint8_t flags;
    Bytes frame;
    LRESULT expected;
  };
  auto le = [](uint32_t v) { return Bytes{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; };
  Bytes longBand = le(5000);
  longBand.resize(100, 0);
  Bytes matchBeforeStart = {0x40, 1, 2, 3, 4, 0xFC, 0x07};
  Bytes splitBad = le(7);
  splitBad.resize(8, 0);
  splitBad.insert(splitBad.end(), matchBeforeStart.begin(), matchBeforeStart.end());
  Bytes tooLong(raw + 5000, 0);  // literal groups far beyond the picture
  const Case cases[] = {
      {"split frame shorter than its header", colour::kRgb24, kOptionSplit, {1, 2, 3}, ICERR_ERROR},
      {"band A longer than the frame", colour::kRgb24, kOptionSplit, longBand, ICERR_ERROR},
      {"match before the start", colour::kRgb24, 0, matchBeforeStart, ICERR_ERROR},
      {"match before the start in band A", colour::kRgb24, kOptionSplit, splitBad, ICERR_ERROR},
      {"stream longer than the picture", colour::kRgb24, 0, tooLong, ICERR_ERROR},
      {"YUV stream longer than the band", colour::kYuv422, kOptionSplit, tooLong, ICERR_ERROR},
      {"short YUV stream", colour::kYuv420, 0, {0x00, 1, 2, 3, 4}, ICERR_OK},
  };
  for (const Case& c : cases) {
    SetState(c.mode, c.flags);
    Format in = RgbFormat(width, height, 24);
    Format stream = CompressedFormat(in);
    Format out = RgbFormat(width, height, 24);
    Bytes back(raw, 0);
    EXPECT_EQ(DecompressFrame(stream, c.frame, out, back), c.expected) << c.name;
  }
}

}  // namespace
