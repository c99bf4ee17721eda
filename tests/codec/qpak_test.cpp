// The QPAK coder: exact streams for known sources, the fast search against the plain one, every
// kernel alike, and a decoder that stops safely on malformed streams.
#include <gtest/gtest.h>

#include <cstring>

#include "codec/qpak.h"
#include "tests/codec/test_frames.h"

using codec_test::Bytes;

namespace {

Bytes Code(const Bytes& src, size_t capacity, bool* ok) {
  Bytes out(capacity + 64, 0xEE);
  size_t length = 0;
  qpak::Scratch scratch;
  *ok = qpak::Compress(src.data(), src.size(), out.data(), capacity, &length, &scratch);
  out.resize(*ok ? length : 0);
  return out;
}

Bytes CodeReference(const Bytes& src, size_t capacity, bool* ok) {
  Bytes out(capacity + 64, 0xEE);
  size_t length = 0;
  *ok = qpak::CompressReference(src.data(), src.size(), out.data(), capacity, &length);
  out.resize(*ok ? length : 0);
  return out;
}

Bytes Decode(const Bytes& stream, size_t capacity, qpak::DecodeResult* result) {
  Bytes out(capacity, 0);
  *result = qpak::Decompress(stream.data(), stream.size(), out.data(), capacity);
  out.resize(result->written);
  return out;
}

TEST(QpakCoder, BandOfEqualBytesHasTheDocumentedStream) {
  Bytes src(4096, 0x5A);
  bool ok = false;
  Bytes s = Code(src, 1 << 20, &ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(s.size(), 2276u);
  // 512 literals fill 64 groups of flag 0x00; then 15 matches 0xFFFC, then 32 literals.
  size_t pos = 0;
  for (int g = 0; g < 64; ++g) {
    ASSERT_EQ(s[pos], 0x00) << "group " << g;
    pos += 1 + 32;
  }
  // Group 65: 8 matches; group 66: 7 matches and a literal.
  EXPECT_EQ(s[pos], 0xFF);
  for (int m = 0; m < 8; ++m) {
    EXPECT_EQ(s[pos + 1 + 2 * m], 0xFC);
    EXPECT_EQ(s[pos + 2 + 2 * m], 0xFF);
  }
  pos += 17;
  EXPECT_EQ(s[pos], 0xFE);
  // Last group holds 32 - 1 - 24 = 7 literals, so its lowest bit is unused and 0.
  EXPECT_EQ(s[s.size() - 1 - 7 * 4], 0x00);
  qpak::DecodeResult r;
  EXPECT_EQ(Decode(s, 4096, &r), src);
  EXPECT_TRUE(r.ok);
}

TEST(QpakCoder, ShortSourcesAndEmptyMainRegion) {
  bool ok = true;
  Code(Bytes(1000, 7), 1 << 20, &ok);
  EXPECT_FALSE(ok) << "below 2176 bytes nothing is coded";
  Code(Bytes(2175, 7), 1 << 20, &ok);
  EXPECT_FALSE(ok);
  Bytes s = Code(Bytes(2176, 7), 1 << 20, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(s.size(), 2176u + 68u) << "544 literals in 68 groups";
}

TEST(QpakCoder, CapacityIsChargedPerFlagByteAndItem) {
  Bytes src(4096, 0x11);
  bool ok = false;
  Code(src, 2276, &ok);
  EXPECT_TRUE(ok);
  Code(src, 2275, &ok);
  EXPECT_FALSE(ok);
  // Random words do not compress: 4 bytes a word plus flags exceeds the raw length.
  Bytes noise = codec_test::RandomBytes(8192, 3);
  Code(noise, noise.size(), &ok);
  EXPECT_FALSE(ok);
}

TEST(QpakCoder, FastSearchMakesTheDecisionsOfThePlainSearch) {
  struct Case {
    const char* name;
    Bytes src;
  };
  std::vector<Case> cases = {
      {"equal bytes", Bytes(10000, 9)},
      {"random", codec_test::RandomBytes(9000, 1)},
      {"two symbols", codec_test::FewSymbols(12000, 2, 2)},
      {"five symbols", codec_test::FewSymbols(12000, 3, 5)},
      {"forty symbols", codec_test::FewSymbols(16000, 4, 40)},
      {"picture-like", codec_test::PictureLike(40000, 5)},
      {"picture-like, odd words", codec_test::PictureLike(30002, 6)},
      {"just above the minimum", codec_test::FewSymbols(2180, 7, 3)},
      // About as many repeats of a word in the window as the search follows one by one.
      {"twenty symbols", codec_test::FewSymbols(20000, 8, 20)},
      {"thirty symbols", codec_test::FewSymbols(20000, 9, 30)},
      {"three thousand symbols", codec_test::FewSymbols(40000, 10, 3000)},
      {"rgb gradient rows", codec_test::GradientRows(720, 24, 11)},
      {"flat rgb with sparse noise", codec_test::FlatWithNoise(60000, 12, 40)},
      {"flat rgb with dense noise", codec_test::FlatWithNoise(60000, 13, 7)},
  };
  // Runs that end exactly at the window's edges and at 64-word block boundaries of the window:
  // the source repeats with one changed word every `period` words.
  for (size_t period : {33u, 34u, 63u, 64u, 65u, 478u, 479u, 480u, 511u}) {
    const Bytes unit = codec_test::RandomBytes(4 * period, static_cast<uint32_t>(1000 + period));
    Bytes src;
    while (src.size() < 30000) src.insert(src.end(), unit.begin(), unit.end());
    for (size_t w = period; 4 * w + 4 <= src.size(); w += period) src[4 * w] ^= static_cast<uint8_t>(w | 1);
    cases.push_back({"edited period", src});
  }
  // Ties: a block repeated at several distances, each copy followed by a different word, so that
  // equally long runs compete and the farthest must win.
  {
    Bytes block = codec_test::RandomBytes(4 * 20, 77);
    Bytes src = codec_test::RandomBytes(4 * 600, 78);
    for (int copy = 0; src.size() < 24000; ++copy) {
      src.insert(src.end(), block.begin(), block.end());
      Bytes gap = codec_test::RandomBytes(4 * (13 + copy % 50), 79 + copy);
      src.insert(src.end(), gap.begin(), gap.end());
    }
    cases.push_back({"tied runs", src});
  }
  // Period patterns: repeats at exactly the window's edges (33 and 511 words) and just outside.
  for (size_t period : {32u, 33u, 34u, 200u, 511u, 512u}) {
    Bytes b = codec_test::RandomBytes(4 * period, static_cast<uint32_t>(period));
    Bytes src;
    for (int i = 0; src.size() < 20000; ++i) {
      src.insert(src.end(), b.begin(), b.end());
      src[src.size() - 1 - (i % 7)] ^= static_cast<uint8_t>(i);  // small edits break the runs
    }
    cases.push_back({"period", src});
  }
  size_t kernels = 0;
  qpak::Kernels(&kernels);
  const size_t chosen = qpak::SelectedKernel();
  for (const Case& c : cases) {
    bool okRef = false;
    Bytes expected = CodeReference(c.src, 1 << 20, &okRef);
    ASSERT_TRUE(okRef) << c.name;
    for (size_t k = 0; k < kernels; ++k) {
      qpak::SelectKernel(k);
      bool ok = false;
      EXPECT_EQ(Code(c.src, 1 << 20, &ok), expected) << c.name << ", kernel " << qpak::Kernels(&kernels)[k].name;
    }
    qpak::DecodeResult r;
    Bytes back = Decode(expected, c.src.size(), &r);
    EXPECT_TRUE(r.ok) << c.name;
    EXPECT_EQ(back, Bytes(c.src.begin(), c.src.begin() + c.src.size() / 4 * 4)) << c.name;
  }
  qpak::SelectKernel(chosen);
}

// The fast coder charges the capacity as the plain one does: the same success or failure and
// the same bytes at every capacity around the stream's length.
TEST(QpakCoder, FastAndPlainFailAtTheSameCapacity) {
  const Bytes sources[] = {codec_test::PictureLike(20000, 21), codec_test::FewSymbols(9000, 22, 30),
                           codec_test::FlatWithNoise(12000, 23, 9)};
  for (const Bytes& src : sources) {
    bool ok = false;
    const size_t full = CodeReference(src, 1 << 20, &ok).size();
    ASSERT_TRUE(ok);
    for (size_t capacity = full - 40; capacity <= full + 40; ++capacity) {
      bool okRef = false, okFast = false;
      Bytes expected = CodeReference(src, capacity, &okRef);
      Bytes got = Code(src, capacity, &okFast);
      EXPECT_EQ(okFast, okRef) << "capacity " << capacity;
      EXPECT_EQ(got, expected) << "capacity " << capacity;
      EXPECT_EQ(okRef, capacity >= full) << "capacity " << capacity;
    }
  }
}

TEST(QpakCoder, KernelsCountTheSameRuns) {
  size_t count = 0;
  const qpak::Kernel* kernels = qpak::Kernels(&count);
  ASSERT_GE(count, 2u);
  Bytes a = codec_test::RandomBytes(128, 9);
  for (int mismatch = 0; mismatch <= 32; ++mismatch) {
    Bytes b = a;
    if (mismatch < 32) b[4 * mismatch + (mismatch % 4)] ^= 1;
    const int expected = mismatch < 31 ? mismatch : 31;
    for (size_t k = 0; k < count; ++k)
      EXPECT_EQ(kernels[k].matchRun(a.data(), b.data()), expected) << kernels[k].name << " at " << mismatch;
  }
}

TEST(QpakCoder, KernelsFindTheSameEqualWords) {
  size_t count = 0;
  const qpak::Kernel* kernels = qpak::Kernels(&count);
  const uint32_t word = 0x80FF0180u;  // sign bits set: a signed comparison or packing would show
  struct Case {
    const char* name;
    uint64_t mask;
  };
  const Case cases[] = {{"none", 0},
                        {"all", ~uint64_t{0}},
                        {"first", 1},
                        {"last", uint64_t{1} << 63},
                        {"lane edges", 0x8001800180018001ull},
                        {"scattered", 0x0123456789ABCDEFull}};
  Bytes buffer(4 * 64 + 1);
  for (const Case& c : cases) {
    for (size_t offset : {0u, 1u}) {  // the window starts at any byte
      uint8_t* words = buffer.data() + offset;
      for (int i = 0; i < 64; ++i) {
        // Unequal words differ from `word` in one byte only, each time another.
        uint32_t v = (c.mask >> i & 1) ? word : word ^ (0x01u << (8 * (i % 4)));
        std::memcpy(words + 4 * i, &v, 4);
      }
      for (size_t k = 0; k < count; ++k)
        EXPECT_EQ(kernels[k].equalMask(words, word), c.mask) << kernels[k].name << ", " << c.name << ", offset " << offset;
    }
  }
}

TEST(QpakDecoder, StopsSafelyOnMalformedStreams) {
  struct Case {
    const char* name;
    Bytes stream;
    size_t capacity;
    size_t written;
    bool ok;
  };
  const Case cases[] = {
      {"empty stream", {}, 64, 0, true},
      {"lone flag byte", {0x00}, 64, 0, true},
      {"literal", {0x00, 1, 2, 3, 4}, 64, 4, true},
      {"literal cut short", {0x00, 1, 2, 3}, 64, 0, false},
      {"match before the start", {0x40, 1, 2, 3, 4, 0x08, 0x00}, 64, 4, false},
      {"match of distance 0", {0x40, 1, 2, 3, 4, 0x00, 0x00}, 64, 4, false},
      {"match one word back, copied word by word", {0x40, 1, 2, 3, 4, 0x04, 0x10}, 64, 16, true},
      {"match cut short", {0x40, 1, 2, 3, 4, 0x04}, 64, 4, false},
      {"literal past the output", {0x00, 1, 2, 3, 4, 5, 6, 7, 8}, 6, 4, false},
      {"match past the output", {0x40, 1, 2, 3, 4, 0x04, 0xF8}, 64, 4, false},
  };
  for (const Case& c : cases) {
    qpak::DecodeResult r;
    Bytes out = Decode(c.stream, c.capacity, &r);
    EXPECT_EQ(r.written, c.written) << c.name;
    EXPECT_EQ(r.ok, c.ok) << c.name;
  }
  qpak::DecodeResult r;
  Bytes out = Decode({0x40, 1, 2, 3, 4, 0x04, 0x10}, 64, &r);
  EXPECT_EQ(out, Bytes({1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4}));
}

TEST(QpakDecoder, ValidStreamIntoATightBufferStopsAtItsEnd) {
  Bytes src = codec_test::PictureLike(20000, 11);
  bool ok = false;
  Bytes s = Code(src, 1 << 20, &ok);
  ASSERT_TRUE(ok);
  for (size_t capacity : {size_t{0}, size_t{100}, size_t{5003}, src.size() - 1, src.size()}) {
    qpak::DecodeResult r;
    Bytes out = Decode(s, capacity, &r);
    ASSERT_LE(r.written, capacity);
    EXPECT_EQ(r.ok, capacity == src.size()) << capacity;
    EXPECT_TRUE(std::equal(out.begin(), out.end(), src.begin())) << capacity;
  }
}

}  // namespace
