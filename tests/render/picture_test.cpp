// Rendered frames compared with the small reference pictures beside this file: exactly for a
// coverage picture (all arithmetic is ours), with a tolerance where the font rasteriser draws.
// MC_UPDATE_PICTURES=1 rewrites the references; a mismatch leaves the actual picture in the
// build tree for a look.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "subtitles/subtitle_bitmap.h"
#include "tools/orvanta-render/compose.h"
#include "tools/orvanta-render/png_file.h"

namespace {

const std::string kDir = std::string(MC_SOURCE_DIR) + "/tests/render/pictures/";

struct Difference {
  int pixels = 0;   // pixels differing at all
  int large = 0;    // pixels differing by more than the tolerance in a channel
};

// Compares with the reference; tolerance 0 demands identical pixels.
Difference Compare(const std::string& name, const std::vector<uint32_t>& actual, int w, int h, int tolerance) {
  if (std::getenv("MC_UPDATE_PICTURES")) {
    std::string error;
    EXPECT_TRUE(WritePng(kDir + name, actual.data(), w, h, &error)) << error;
  }
  std::vector<uint32_t> expected;
  int ew = 0, eh = 0;
  std::string error;
  EXPECT_TRUE(ReadPng(kDir + name, expected, ew, eh, &error)) << error;
  Difference d;
  if (ew != w || eh != h) {
    d.pixels = d.large = w * h;
  } else {
    for (size_t i = 0; i < actual.size(); ++i) {
      uint32_t a = actual[i] & 0xFFFFFF, e = expected[i];
      if (a == e) continue;
      ++d.pixels;
      for (int k = 0; k < 24; k += 8)
        if (std::abs(int((a >> k) & 0xFF) - int((e >> k) & 0xFF)) > tolerance) {
          ++d.large;
          break;
        }
    }
  }
  if (d.large) WritePng(std::string(MC_BINARY_DIR) + "/actual-" + name, actual.data(), w, h, &error);
  return d;
}

TEST(Pictures, CoveragePictureBlendsExactlyInBothLayouts) {
  const int W = 64, H = 32;
  TextRenderer layer(W, H);
  LOGFONTA lf{};
  layer.SetStyle(lf, 50, 50, 0x0040FFFF, 1);  // yellow-orange
  SubtitleBitmap picture;
  picture.width = 40;
  picture.height = 12;
  picture.pixels = new uint8_t[40 * 12];
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 40; ++x) picture.pixels[y * 40 + x] = static_cast<uint8_t>((x * 7 + y * 20) & 0xFF);
  ASSERT_EQ(layer.RenderPicture(picture), 0);
  std::vector<uint8_t> frame = MakeTestPictureYuy2(W, H);
  EXPECT_EQ(Compare("coverage-yuy2.png", ComposeYuy2(frame, W, H, {&layer}), W, H, 0).pixels, 0);
  EXPECT_EQ(Compare("coverage-rgb.png", ComposeRgb32(frame, W, H, {&layer}), W, H, 0).pixels, 0);
}

// Glyph edges depend on the FreeType version: up to 2 % of the pixels may differ by more than
// 48 in a channel; outline, halo and placement must agree everywhere else.
TEST(Pictures, OutlinedTextMatchesItsReferenceWithinTolerance) {
  const int W = 160, H = 64;
  TextRenderer layer(W, H);
  LOGFONTA lf{};
  lf.lfHeight = -100;  // 25 pixels at this width
  lf.lfWeight = FW_NORMAL;
  std::strcpy(lf.lfFaceName, "Arial");
  layer.SetStyle(lf, 50, 60, 0xFFFFFF, 1);
  ASSERT_EQ(layer.RenderText("Ag"), 0);
  std::vector<uint8_t> frame = MakeTestPictureYuy2(W, H);
  for (const char* name : {"outline-yuy2.png", "outline-rgb.png"}) {
    bool yuy2 = std::strstr(name, "yuy2") != nullptr;
    auto actual = yuy2 ? ComposeYuy2(frame, W, H, {&layer}) : ComposeRgb32(frame, W, H, {&layer});
    Difference d = Compare(name, actual, W, H, 48);
    EXPECT_LE(d.large, W * H * 2 / 100) << name;
  }
  // Two-line text with the opaque box, right aligned, also within tolerance.
  layer.Clear();
  layer.SetStyle(lf, 90, 50, 0x40FF40, 0);
  ASSERT_EQ(layer.RenderText("Hi\nyo"), 0);
  Difference d = Compare("opaque-rgb.png", ComposeRgb32(frame, W, H, {&layer}), W, H, 48);
  EXPECT_LE(d.large, W * H * 2 / 100);
}

}  // namespace
