#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/subtitles/reader_test_util.h"

namespace {

void Put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

// A bitmap file: headers, colour table (4 bytes per entry) and the rows as given.
struct BmpFile {
  int32_t width = 1, height = 1;
  int bits = 24;
  std::string palette, rows;
  uint32_t infoSize = 40;
  int64_t dataOffset = -1;  // -1: right after the table

  std::string Bytes() const {
    std::string s(14 + std::max<uint32_t>(infoSize, 40), '\0');
    s[0] = 'B';
    s[1] = 'M';
    Put32(s, 10, static_cast<uint32_t>(dataOffset >= 0 ? dataOffset : int64_t(14 + infoSize + palette.size())));
    Put32(s, 14, infoSize);
    Put32(s, 18, static_cast<uint32_t>(width));
    Put32(s, 22, static_cast<uint32_t>(height));
    s[26] = 1;
    s[28] = static_cast<char>(bits);
    return s + palette + rows;
  }
};

std::string Grey(int levels) {
  std::string p;
  for (int i = 0; i < levels; ++i) {
    char v = static_cast<char>(i * 255 / (levels - 1));
    p += std::string{v, v, v, 0};
  }
  return p;
}

std::vector<int> Pixels(const SubtitleBitmap& b) {
  return std::vector<int>(b.pixels, b.pixels + b.width * b.height);
}

using LoadPicture = ReaderFiles;

TEST_F(LoadPicture, LayoutsAndRowOrder) {
  struct Case {
    const char* name;
    BmpFile file;
    int width, height;
    std::vector<int> pixels;  // rows from the top
  };
  BmpFile rgb;  // 3 x 2, rows of 9 bytes and 3 bytes of padding; bottom row first
  rgb.width = 3;
  rgb.height = 2;
  rgb.rows = std::string("\x00\x00\xFF" "\xFF\x00\x00" "\xFF\xFF\xFF" "\0\0\0", 12) +
             std::string("\x00\xFF\x00" "\x00\x00\x00" "\x80\x80\x80" "\0\0\0", 12);
  BmpFile topDown = rgb;
  topDown.height = -2;
  BmpFile pal8;
  pal8.width = 2;
  pal8.height = 1;
  pal8.bits = 8;
  pal8.palette = Grey(256);
  pal8.rows = std::string("\x10\xF0\0\0", 4);
  BmpFile pal4;  // odd width: the last pixel uses the high nibble only
  pal4.width = 3;
  pal4.height = 1;
  pal4.bits = 4;
  pal4.palette = Grey(16);
  pal4.rows = std::string("\x0F\x8A\0\0", 4);
  BmpFile mono;  // bits beyond the width ignored
  mono.width = 10;
  mono.height = 1;
  mono.bits = 1;
  mono.palette = Grey(2);
  mono.rows = std::string("\xA5\xFF\0\0", 4);
  BmpFile bigHeader = pal8;  // the colour table follows a larger information header
  bigHeader.infoSize = 124;

  const Case cases[] = {
      {"24 bits, bottom-up: green 150, grey 128; red 76, blue 29, white 255", rgb, 3, 2, {150, 0, 128, 76, 29, 255}},
      {"top-down rows", topDown, 3, 2, {76, 29, 255, 150, 0, 128}},
      {"8 bits", pal8, 2, 1, {16, 240}},
      {"4 bits", pal4, 3, 1, {0, 255, 137}},
      {"1 bit", mono, 10, 1, {255, 0, 255, 0, 0, 255, 0, 255, 255, 255}},
      {"larger information header", bigHeader, 2, 1, {16, 240}},
  };
  for (const Case& c : cases) {
    SubtitleBitmap b;
    ASSERT_EQ(b.LoadPicture(Write("p.bmp", c.file.Bytes()).c_str()), 0) << c.name;
    EXPECT_EQ(b.width, c.width) << c.name;
    EXPECT_EQ(b.height, c.height) << c.name;
    EXPECT_EQ(Pixels(b), c.pixels) << c.name;
    EXPECT_FALSE(b.Empty()) << c.name;
  }
}

TEST_F(LoadPicture, DamagedFilesGiveAnEmptyPicture) {
  BmpFile good;
  good.width = 2;
  good.height = 2;
  good.rows = std::string(16, '\x40');
  auto with = [&](auto change) {
    BmpFile f = good;
    change(f);
    return f.Bytes();
  };
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"not BM", "XM" + good.Bytes().substr(2)},
      {"16 bits per pixel", with([](BmpFile& f) { f.bits = 16; })},
      {"width x height overflows", with([](BmpFile& f) { f.width = 0x10000; f.height = 0x10001; })},
      {"huge sides", with([](BmpFile& f) { f.width = 0x7FFFFFFF; f.height = 0x7FFFFFFF; })},
      {"negative width", with([](BmpFile& f) { f.width = -2; })},
      {"zero width", with([](BmpFile& f) { f.width = 0; })},
      {"most negative height", with([](BmpFile& f) { f.height = INT32_MIN; })},
      {"more rows than the file holds", with([](BmpFile& f) { f.height = 1000; })},
      {"pixel offset past the end", with([](BmpFile& f) { f.dataOffset = 1 << 30; })},
      {"pixel offset near the end", with([](BmpFile& f) { f.dataOffset = 14 + 40 + 10; })},
      {"truncated last row", good.Bytes().substr(0, 54 + 14)},
      {"truncated information header", good.Bytes().substr(0, 30)},
      {"small information header", with([](BmpFile& f) { f.infoSize = 12; })},
      {"colour table cut short", with([](BmpFile& f) { f.bits = 8; f.palette = Grey(256).substr(0, 100); f.rows.clear(); f.dataOffset = 0; })},
      {"empty file", ""},
  };
  for (const Case& c : cases) {
    SubtitleBitmap b;
    b.width = 5;
    b.height = 5;
    b.pixels = new uint8_t[25];
    EXPECT_EQ(b.LoadPicture(Write("bad.bmp", c.bytes).c_str()), -1) << c.name;
    EXPECT_TRUE(b.Empty()) << c.name;
    EXPECT_EQ(b.pixels, nullptr) << c.name;
  }
  SubtitleBitmap b;
  EXPECT_EQ(b.LoadPicture(nullptr), -1);
  EXPECT_EQ(b.LoadPicture((dir + "/missing.bmp").c_str()), -1);
  // A height of 0 reads no rows and succeeds with nothing to show.
  EXPECT_EQ(b.LoadPicture(Write("flat.bmp", with([](BmpFile& f) { f.height = 0; })).c_str()), 0);
  EXPECT_TRUE(b.Empty());
}

}  // namespace
