// The converter's RIFF reader: header checks, the chunk walk and its bounds.
#include <gtest/gtest.h>

#include <cstring>

#include "avi2mp4/aviin.h"
#include "avi_builder.h"

using namespace avitest;

namespace {

struct Walked {
  std::vector<std::string> chunks;  // "v:<size>" or "a:<size>"
  int last_progress = -1;
};

Walked WalkAll(uint32_t buffer_size = 1000000) {
  Walked w;
  std::vector<uint8_t> buffer(buffer_size);
  uint32_t size;
  int video, object;
  while (aviin_next_chunk(buffer.data(), buffer_size, &size, &video, &object) == 0)
    w.chunks.push_back(std::string(video ? "v" : "a") + ":" + std::to_string(size));
  return w;
}

const Bytes kHdrl = Hdrl({Avih(3, 160, 120), VideoStrl(), AudioStrl()});

struct HeaderCase {
  const char* name;
  Bytes file;
  bool ok;
};

void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }

class AviinHeaders : public testing::TestWithParam<HeaderCase> {};

TEST_P(AviinHeaders, OpensOrRefuses) {
  const HeaderCase& c = GetParam();
  std::string path = WriteFile(c.name, c.file);
  avi_info info;
  const char* error = aviin_open(path.c_str(), &info, nullptr);
  if (c.ok) {
    EXPECT_EQ(error, nullptr);
  } else {
    ASSERT_NE(error, nullptr);
    EXPECT_STREQ(error, "aviin_readheaders() failed");
  }
  aviin_close();
  std::remove(path.c_str());
}

const Bytes kMovi = Movi({Chunk("00dc", {0, 0, 1, 0xB6, 0})});

INSTANTIATE_TEST_SUITE_P(
    Files, AviinHeaders,
    testing::Values(
        HeaderCase{"plain", Riff({kHdrl, kMovi}), true},
        HeaderCase{"lowercase_riff", Riff({kHdrl, kMovi}, "riff"), true},
        HeaderCase{"junk_before_movi", Riff({kHdrl, Chunk("JUNK", Bytes(100)), kMovi}), true},
        // Ordinary writers put an INFO list (and other chunks) there: skipped, not refused.
        HeaderCase{"info_list_before_movi",
                   Riff({kHdrl, List("LIST", "INFO", Chunk("ISFT", {'x', 0})), Chunk("JUNK", Bytes(3)), kMovi}),
                   true},
        HeaderCase{"not_riff", Riff({kHdrl, kMovi}, "RIFX"), false},
        HeaderCase{"not_avi", [] { Bytes b = Riff({kHdrl, kMovi}); std::memcpy(&b[8], "WAVE", 4); return b; }(), false},
        HeaderCase{"no_hdrl", Riff({kMovi}), false},
        HeaderCase{"short_avih", Riff({Hdrl({Avih(3, 160, 120, 52), VideoStrl()}), kMovi}), false},
        HeaderCase{"short_strh",
                   Riff({Hdrl({Avih(3, 160, 120), List("LIST", "strl", Strh("vids", "KU50", 1, 25, 48))}), kMovi}),
                   false},
        HeaderCase{"no_movi", Riff({kHdrl, Chunk("JUNK", Bytes(8))}), false},
        HeaderCase{"hdrl_larger_than_riff",
                   Riff({List("LIST", "hdrl", Cat({Avih(3, 160, 120), VideoStrl()}), 0x7FFFFFF0)}), false},
        HeaderCase{"strl_larger_than_hdrl",
                   Riff({Hdrl({Avih(3, 160, 120), List("LIST", "strl", Strh("vids", "KU50", 1, 25), 5000)}), kMovi}),
                   false},
        HeaderCase{"avih_beyond_hdrl", Riff({List("LIST", "hdrl", Chunk("avih", Bytes(56)), 30), kMovi}), false},
        HeaderCase{"truncated_in_header", [] { Bytes b = Riff({kHdrl, kMovi}); b.resize(60); return b; }(), false},
        HeaderCase{"empty", Bytes{}, false}),
    [](const testing::TestParamInfo<HeaderCase>& i) { return std::string(i.param.name); });

TEST(Aviin, MissingFile) {
  avi_info info;
  EXPECT_STREQ(aviin_open("/nonexistent/file.avi", &info, nullptr), "failed to open AVI input file");
}

TEST(Aviin, InfoFromHeaders) {
  std::string path = WriteFile("info", Riff({Hdrl({Avih(77, 320, 240), VideoStrl("kovu", 1001, 30000),
                                                   AudioStrl(0x2000, 48000)}),
                                             kMovi}));
  avi_info info;
  ASSERT_EQ(aviin_open(path.c_str(), &info, nullptr), nullptr);
  EXPECT_EQ(info.has_video, 1);
  EXPECT_EQ(info.has_audio, 1);
  EXPECT_STREQ(info.video_handler, "kovu");
  EXPECT_STREQ(info.video_compression, "kovu");
  EXPECT_EQ(info.width, 320);
  EXPECT_EQ(info.height, 240);
  EXPECT_EQ(info.total_frames, 77u);
  EXPECT_EQ(info.rate, 30000u);
  EXPECT_EQ(info.scale, 1001u);
  EXPECT_EQ(info.audio_format_tag, 0x2000);
  EXPECT_EQ(info.audio_sampling_rate, 48000u);
  aviin_close();

  // Video only; a sign-extended tag from a later audio stream list.
  path = WriteFile("info2", Riff({Hdrl({Avih(1, 16, 16), VideoStrl()}), kMovi}));
  ASSERT_EQ(aviin_open(path.c_str(), &info, nullptr), nullptr);
  EXPECT_EQ(info.has_audio, 0);
  aviin_close();
  path = WriteFile("info3", Riff({Hdrl({Avih(1, 16, 16), AudioStrl(0x55), AudioStrl(0xFFFE, 8000)}), kMovi}));
  ASSERT_EQ(aviin_open(path.c_str(), &info, nullptr), nullptr);
  EXPECT_EQ(info.has_video, 0);
  EXPECT_EQ(info.audio_format_tag, -2);
  EXPECT_EQ(info.audio_sampling_rate, 8000u);
  aviin_close();
}

struct WalkCase {
  const char* name;
  Bytes movi_children;
  std::vector<std::string> expected;
  uint32_t buffer_size;
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }

class AviinWalk : public testing::TestWithParam<WalkCase> {};

TEST_P(AviinWalk, HandsOutChunksInOrder) {
  const WalkCase& c = GetParam();
  std::string path = WriteFile(c.name, Riff({kHdrl, List("LIST", "movi", c.movi_children)}));
  avi_info info;
  int progress = -1;
  ASSERT_EQ(aviin_open(path.c_str(), &info, &progress), nullptr);
  Walked w = WalkAll(c.buffer_size);
  EXPECT_EQ(w.chunks, c.expected);
  aviin_close();
  std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, AviinWalk,
    testing::Values(
        WalkCase{"in_order", Cat({Chunk("00dc", Bytes(10)), Chunk("01wb", Bytes(20)), Chunk("00db", Bytes(4))}),
                 {"v:10", "a:20", "v:4"}, 1000000},
        WalkCase{"odd_size_pad", Cat({Chunk("00dc", Bytes(7)), Chunk("01wb", Bytes(3))}), {"v:7", "a:3"}, 1000000},
        WalkCase{"other_streams_and_index_skipped",
                 Cat({Chunk("02wb", Bytes(5)), Chunk("ix00", Bytes(24)), Chunk("00dc", Bytes(2)), Chunk("idx1", Bytes(16))}),
                 {"v:2"}, 1000000},
        WalkCase{"rec_list_skipped_whole",
                 Cat({List("LIST", "rec ", Cat({Chunk("00dc", Bytes(9)), Chunk("01wb", Bytes(9))})), Chunk("01wb", Bytes(1))}),
                 {"a:1"}, 1000000},
        WalkCase{"chunk_larger_than_buffer_ends", Cat({Chunk("00dc", Bytes(8)), Chunk("00dc", Bytes(1000001)), Chunk("01wb", Bytes(1))}),
                 {"v:8"}, 1000000},
        WalkCase{"chunk_beyond_list_ends", Cat({Chunk("00dc", Bytes(8)), Chunk("00dc", Bytes(4), 0x7FFFFFFF)}), {"v:8"}, 1000000},
        WalkCase{"empty_chunk", Cat({Chunk("00dc", Bytes{}), Chunk("01wb", Bytes(2))}), {"v:0", "a:2"}, 1000000},
        WalkCase{"empty_movi", Bytes{}, {}, 1000000}),
    [](const testing::TestParamInfo<WalkCase>& i) { return std::string(i.param.name); });

TEST(Aviin, ObjectCodeFlagAndProgress) {
  std::string path = WriteFile("flags", Riff({kHdrl, Movi({Chunk("00dc", {0, 0, 1, 0x00, 0, 0, 1, 0x20}),
                                                           Chunk("00dc", {0, 0, 1, 0xB6, 0x10}),
                                                           Chunk("01wb", {0xFF, 0xFB, 0x90})})}));
  avi_info info;
  int progress = -1;
  ASSERT_EQ(aviin_open(path.c_str(), &info, &progress), nullptr);
  uint8_t buffer[64];
  uint32_t size;
  int video, object;
  std::vector<int> objects, progresses;
  while (aviin_next_chunk(buffer, sizeof buffer, &size, &video, &object) == 0) {
    objects.push_back(object);
    progresses.push_back(progress);
  }
  EXPECT_EQ(objects, (std::vector<int>{1, 0, 1}));
  ASSERT_EQ(progresses.size(), 3u);
  EXPECT_LT(progresses[0], progresses[1]);
  EXPECT_EQ(progresses[2], 100);
  EXPECT_EQ(std::memcmp(buffer, "\xFF\xFB\x90", 3), 0);  // data only, at the buffer's start
  aviin_close();
}

TEST(Aviin, VideoWalkSkipsAudio) {
  std::string path = WriteFile("video_walk", Riff({kHdrl, Movi({Chunk("01wb", Bytes(5)), Chunk("00db", Bytes(6)),
                                                                Chunk("01wb", Bytes(5)), Chunk("00dc", Bytes(7))})}));
  avi_info info;
  ASSERT_EQ(aviin_open(path.c_str(), &info, nullptr), nullptr);
  uint8_t buffer[64];
  uint32_t size;
  int raw;
  std::vector<std::pair<uint32_t, int>> got;
  while (aviin_next_video_chunk(buffer, sizeof buffer, &size, &raw) == 0) got.push_back({size, raw});
  EXPECT_EQ(got, (std::vector<std::pair<uint32_t, int>>{{6, 1}, {7, 0}}));
  aviin_close();
}

// A file cut short inside movi (or claiming a RIFF larger than itself) gives what is there.
TEST(Aviin, TruncatedFileGivesWhatIsThere) {
  Bytes file = Riff({kHdrl, Movi({Chunk("00dc", Bytes(100)), Chunk("01wb", Bytes(100)), Chunk("00dc", Bytes(100))})});
  file.resize(file.size() - 50);
  std::string path = WriteFile("truncated", file);
  avi_info info;
  ASSERT_EQ(aviin_open(path.c_str(), &info, nullptr), nullptr);
  Walked w = WalkAll();
  EXPECT_EQ(w.chunks, (std::vector<std::string>{"v:100", "a:100"}));
  aviin_close();
}

}  // namespace
