// Bit reader, MPEG-4 Visual header parsers, MPEG audio header arithmetic and the MP3 re-framer.
#include <gtest/gtest.h>

#include "mp4/bitreader.h"
#include "mp4/mp3_header.h"
#include "mp4/mp4v_headers.h"
#include "test_util.h"

using namespace mp4test;

TEST(BitReader, ReadsMostSignificantFirstAndReportsExhaustion) {
  const uint8_t data[] = {0xA5, 0x0F};
  bit_reader r;
  bit_reader_init(&r, data, sizeof data);
  EXPECT_EQ(showbits(&r, 4), 0xAu);
  EXPECT_EQ(getbits(&r, 3), 5u);
  EXPECT_EQ(getbits(&r, 9), 0x050u);
  EXPECT_FALSE(r.at_end);
  EXPECT_EQ(getbits(&r, 4), 0xFu);
  EXPECT_EQ(getbits(&r, 1), 0xFFFFFFFFu);
  EXPECT_TRUE(r.at_end);

  bit_reader empty;
  bit_reader_init(&empty, data, 0);
  EXPECT_TRUE(empty.at_end);
}

TEST(BitReader, StartCodeSearch) {
  const uint8_t data[] = {0x12, 0x00, 0x00, 0x01, 0xB5, 0x77, 0x00, 0x00, 0x01, 0x20, 0x01};
  bit_reader r;
  bit_reader_init(&r, data, sizeof data);
  getbits(&r, 3);  // unaligned: the search realigns first
  EXPECT_EQ(next_start_code(&r), 0x000001B5u);
  EXPECT_EQ(find_start_code(&r, 0x120, 0xFFFFFFF0), 0);
  EXPECT_EQ(getbits(&r, 32), 0x00000120u);
  EXPECT_EQ(find_start_code(&r, 0x100, 0xFFFFFFE0), 1);
}

TEST(Mp4vHeaders, TimeIncrementWidth) {
  const struct { uint32_t resolution; int bits; } cases[] = {{1, 1}, {2, 1}, {16, 4}, {25, 5}, {30000, 15}, {65535, 16}};
  for (const auto& c : cases) EXPECT_EQ(mp4v_time_increment_bits(c.resolution), c.bits) << c.resolution;
}

TEST(Mp4vHeaders, VolHeaderFields) {
  const struct { uint32_t res, w, h; int fixed; uint32_t shape; int ok; uint32_t want_res, want_w, want_h; } cases[] = {
      {25, 352, 288, 0, 0, 0, 25, 352, 288},
      {30000, 720, 480, 1001, 0, 0, 30000, 720, 480},
      {1, 160, 120, 0, 0, 0, 1, 160, 120},
      {25, 352, 288, 0, 2, 0, 25, 0, 0},  // not rectangular: no size
      {0, 352, 288, 0, 0, 1, 1, 0, 0},    // illegal resolution
  };
  for (const auto& c : cases) {
    Bytes vol = VolHeader(c.res, c.w, c.h, c.fixed, c.shape);
    bit_reader r;
    bit_reader_init(&r, vol.data(), vol.size());
    mp4v_vol_info info = {};
    EXPECT_EQ(parse_vol_header(&r, &info), c.ok) << c.res;
    EXPECT_EQ(info.vop_time_increment_resolution, c.want_res);
    if (c.ok == 0) {
      EXPECT_EQ(info.valid, 1);
      EXPECT_EQ(info.width, c.want_w);
      EXPECT_EQ(info.height, c.want_h);
      EXPECT_EQ(info.fixed_vop_rate, c.fixed ? 1 : 0);
      if (c.fixed) {
        EXPECT_EQ(info.fixed_vop_time_increment, static_cast<uint32_t>(c.fixed));
      }
    } else {
      EXPECT_EQ(info.fixed_vop_time_increment, 1u);
    }
  }
  const uint8_t not_vol[] = {0, 0, 1, 0xB6, 0, 0};
  bit_reader r;
  bit_reader_init(&r, not_vol, sizeof not_vol);
  mp4v_vol_info info = {};
  EXPECT_EQ(parse_vol_header(&r, &info), 1);
  EXPECT_EQ(parse_vo_header(&r), 1);
}

TEST(Mp4vHeaders, VopHeaderFields) {
  mp4v_vol_info vol = {1, 25, 0, 0, 160, 120};
  const struct { char type; uint32_t mtb, vti; } cases[] = {{'I', 0, 0}, {'P', 2, 24}, {'B', 1, 7}, {'S', 0, 3}};
  for (const auto& c : cases) {
    Bytes vop = Vop(c.type, c.mtb, c.vti, 25);
    bit_reader r;
    bit_reader_init(&r, vop.data(), vop.size());
    vop_record rec = {};
    ASSERT_EQ(parse_vop_header(&r, &vol, &rec), 0);
    EXPECT_EQ(rec.type, c.type);
    EXPECT_EQ(rec.modulo_time_base, c.mtb);
    EXPECT_EQ(rec.vop_time_increment, c.vti);
    EXPECT_EQ(rec.vop_coded, 1u);
  }
  // Without a layer header nothing can be parsed.
  mp4v_vol_info none = {};
  Bytes vop = Vop('I', 0, 0, 25);
  bit_reader r;
  bit_reader_init(&r, vop.data(), vop.size());
  vop_record rec = {};
  testing::internal::CaptureStdout();
  EXPECT_EQ(parse_vop_header(&r, &none, &rec), 1);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("knowledege of VOL header"), std::string::npos);
}

TEST(Mp4vHeaders, GroupOfVopTimeCode) {
  for (uint32_t seconds : {0u, 1u, 59u, 61u, 3725u}) {
    Bytes gov = Gov(seconds);
    bit_reader r;
    bit_reader_init(&r, gov.data(), gov.size());
    uint32_t got = 0;
    ASSERT_EQ(parse_gov_header(&r, &got), 0);
    EXPECT_EQ(got, seconds);
  }
}

TEST(Mp3Header, FrameArithmetic) {
  const struct { uint32_t header; int bitrate, rate, length, samples; } cases[] = {
      {Mp3Header(9, 0, 0), 128000, 44100, 417, 1152},
      {Mp3Header(9, 0, 1), 128000, 44100, 418, 1152},
      {Mp3Header(8, 0, 0, 0), 64000, 22050, 208, 576},                    // MPEG-2 Layer III
      {Mp3Header(8, 0, 0, 0) & ~0x00100000u, 64000, 11025, 417, 576},      // MPEG-2.5
      {(Mp3Header(12, 1, 0) & ~0x00060000u) | 0x00060000u, 384000, 48000, 128 * 4 / 4 * 1, 384},  // Layer I
      {(Mp3Header(12, 1, 0) & ~0x00060000u) | 0x00040000u, 256000, 48000, 768, 1152},          // Layer II
  };
  for (const auto& c : cases) {
    EXPECT_EQ(mp3_bitrate(c.header), c.bitrate) << std::hex << c.header;
    EXPECT_EQ(mp3_sampling_rate(c.header), c.rate) << std::hex << c.header;
    if (mp3_layer(c.header) == 1) {
      EXPECT_EQ(mp3_frame_length(c.header), (12 * c.bitrate / c.rate) * 4);
    } else {
      EXPECT_EQ(mp3_frame_length(c.header), c.length) << std::hex << c.header;
    }
    EXPECT_EQ(mp3_samples_per_frame(c.header), c.samples);
  }
  const uint32_t reserved_layer = Mp3Header() & ~0x00060000u;
  EXPECT_EQ(mp3_layer(reserved_layer), 4);
  EXPECT_EQ(mp3_bitrate(reserved_layer), -1);
  EXPECT_EQ(mp3_frame_length(reserved_layer), -1);
}

namespace {
// Feeds the stream in pieces of the given size and collects the frames handed out.
std::vector<Bytes> Reframe(const Bytes& stream, size_t piece, bool flush) {
  static mp3_parser p;
  mp3_parser_reset(&p);
  std::vector<Bytes> frames;
  const uint8_t* frame = nullptr;
  for (size_t at = 0; at < stream.size(); at += piece) {
    size_t n = std::min(piece, stream.size() - at);
    EXPECT_EQ(mp3_parser_feed(&p, stream.data() + at, n, &frame), 0);
    while (frame) {
      frames.emplace_back(frame, frame + p.frame_length);
      mp3_parser_feed(&p, nullptr, 0, &frame);
    }
  }
  if (flush) {
    mp3_parser_flush(&p, &frame);
    if (frame) frames.emplace_back(frame, frame + p.frame_length);
  }
  return frames;
}
}  // namespace

TEST(Mp3Parser, CutsAnyPiecesIntoWholeFrames) {
  const Bytes f1 = Mp3Frame(Mp3Header(9, 0, 0), 417, 0x11);
  const Bytes f2 = Mp3Frame(Mp3Header(9, 0, 1), 418, 0x22);
  const Bytes f3 = Mp3Frame(Mp3Header(9, 0, 0), 417, 0x33);
  const Bytes junk = {0x12, 0x34, 0xFF, 0x00, 0x56};  // includes a false sync
  const Bytes stream = Cat({junk, f1, f2, f3});
  for (size_t piece : {1u, 3u, 100u, 417u, 5000u}) {
    std::vector<Bytes> without = Reframe(stream, piece, false);
    ASSERT_EQ(without.size(), 2u) << piece;  // the last frame waits for more data
    EXPECT_EQ(without[0], f1);
    EXPECT_EQ(without[1], f2);
    std::vector<Bytes> with = Reframe(stream, piece, true);
    ASSERT_EQ(with.size(), 3u) << piece;
    EXPECT_EQ(with[2], f3);
  }
}

TEST(Mp3Parser, IncompleteLastFrameIsNotHandedOut) {
  const Bytes f1 = Mp3Frame(Mp3Header(), 417, 0x11);
  Bytes partial = Mp3Frame(Mp3Header(), 417, 0x22);
  partial.resize(200);
  std::vector<Bytes> frames = Reframe(Cat({f1, partial}), 64, true);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], f1);
}

TEST(Mp3Parser, ReservedLayerIsNoSync) {
  const uint32_t bad = Mp3Header() & ~0x00060000u;
  const Bytes stream = Cat({Mp3Frame(bad, 417, 0x44), Mp3Frame(Mp3Header(), 417, 0x11), Mp3Frame(Mp3Header(), 417, 0x12)});
  std::vector<Bytes> frames = Reframe(stream, 50, true);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0][4], 0x11);
}

TEST(Mp3Parser, JunkNeverFillsTheBuffer) {
  // Far more junk than the buffer holds, fed in pieces: the parser keeps accepting data.
  Bytes junk(3 * MP3_PARSER_BUFFER, 0x42);
  const Bytes stream = Cat({junk, Mp3Frame(Mp3Header(), 417, 0x11), Mp3Frame(Mp3Header(), 417, 0x12)});
  EXPECT_EQ(Reframe(stream, 8192, true).size(), 2u);
  static mp3_parser p;
  mp3_parser_reset(&p);
  const uint8_t* frame;
  Bytes huge(MP3_PARSER_BUFFER + 1, 0);
  EXPECT_EQ(mp3_parser_feed(&p, huge.data(), huge.size(), &frame), 1);
}
