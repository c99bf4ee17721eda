// The media handlers: how MPEG-4 Visual chunks become timed samples and an MP3 byte stream
// becomes one sample per frame, and the checking mode that compares a file with its stream.
#include <gtest/gtest.h>

#include "mp4/handler.h"
#include "mp4/internal.h"
#include "test_util.h"

using namespace mp4test;

namespace {

constexpr uint32_t R = 25;

struct Read {
  int64_t ct;
  uint32_t size;
  int sync;
  Bytes data;
};

struct Log {
  std::vector<std::pair<int, std::string>> lines;
  static void Sink(void* c, int level, const char* text) { static_cast<Log*>(c)->lines.emplace_back(level, text); }
  int Count(int level, const std::string& part) const {
    int n = 0;
    for (const auto& l : lines) n += l.first == level && l.second.find(part) != std::string::npos;
    return n;
  }
};

// Writes the chunks to a one-track file through the handler; returns the samples read back.
std::vector<Read> WriteAndRead(const TempDir& dir, uint32_t object_type, const std::vector<Bytes>& chunks,
                               int whole = 0, Log* log = nullptr, uint32_t* timescale = nullptr) {
  std::string path = dir.file("h.mp4");
  mp4file* h = mp4file_create(path.c_str(), 600, 0);
  if (log) mp4file_set_log_callback(h, Log::Sink, log);
  int track = mp4file_add_track(h, object_type, 1000, "und");
  testing::internal::CaptureStdout();
  for (const Bytes& c : chunks) mp4_file_add_sample(h, track, c.data(), static_cast<int64_t>(c.size()), whole);
  mp4file_close(h);
  testing::internal::GetCapturedStdout();
  std::vector<Read> out;
  mp4file* r = mp4file_open(path.c_str());
  EXPECT_EQ(mp4file_get_error(r), nullptr);
  for (uint32_t i = 0; i < mp4file_get_sample_count(r, 1); ++i) {
    Read s;
    uint64_t t;
    mp4file_get_sample_time(r, 1, i, &t, timescale);
    s.ct = static_cast<int64_t>(t);
    s.size = static_cast<uint32_t>(mp4file_get_sample_size(r, 1, i));
    s.sync = mp4file_is_sync_sample(r, 1, i + 1);
    s.data.resize(s.size);
    mp4file_read_sample(r, 1, i, s.data.data(), s.size);
    out.push_back(s);
  }
  mp4file_close(r);
  return out;
}

struct V {
  char type;
  uint32_t mtb, vti;
};

std::vector<Bytes> Stream(const std::vector<V>& vops) {
  std::vector<Bytes> chunks;
  for (size_t i = 0; i < vops.size(); ++i) {
    Bytes vop = Vop(vops[i].type, vops[i].mtb, vops[i].vti, R);
    chunks.push_back(i == 0 ? Cat({Config(R), vop}) : vop);
  }
  return chunks;
}

std::vector<int64_t> Times(const std::vector<Read>& samples) {
  std::vector<int64_t> t;
  for (const Read& s : samples) t.push_back(s.ct);
  return t;
}

}  // namespace

TEST(VideoHandler, ConfigurationBecomesDecoderInfoOnce) {
  TempDir dir;
  std::string path = dir.file("c.mp4");
  mp4file* h = mp4file_create(path.c_str(), 600, 0);
  int track = mp4file_add_track(h, 0x20, 1000, "und");
  testing::internal::CaptureStdout();
  const Bytes first = Cat({Config(R, 176, 144), Vop('I', 0, 0, R)});
  EXPECT_EQ(mp4_file_add_sample(h, track, first.data(), static_cast<int64_t>(first.size()), 0), 0);
  const Bytes second = Cat({Config(30, 352, 288), Vop('P', 0, 1, R)});  // a later header: size only
  EXPECT_EQ(mp4_file_add_sample(h, track, second.data(), static_cast<int64_t>(second.size()), 0), 0);
  testing::internal::GetCapturedStdout();
  const uint8_t* dsi;
  uint32_t length;
  mp4file_get_DecoderSpecificInfo(h, track, &dsi, &length);
  EXPECT_EQ(Bytes(dsi, dsi + length), Config(R, 176, 144));
  mp4_track* t = mp4file_find_track(h, track);
  EXPECT_EQ(t->timescale, R);
  EXPECT_EQ(t->width, 352u);
  EXPECT_EQ(t->stsd.entries[0].height, 288u);
  mp4file_close(h);
}

TEST(VideoHandler, ChunksAreSplitAtVopStartCodes) {
  TempDir dir;
  const Bytes i0 = Vop('I', 0, 0, R), p1 = Vop('P', 0, 1, R), p2 = Vop('P', 0, 2, R);
  const std::vector<Bytes> chunks = {Cat({Config(R), i0}), Bytes{1, 2, 3}, Bytes{}, Cat({p1, p2})};
  std::vector<Read> s = WriteAndRead(dir, 0x20, chunks);
  ASSERT_EQ(s.size(), 3u);  // the 3-byte and empty chunks are dropped, the pair is split
  EXPECT_EQ(s[0].data, i0);
  EXPECT_EQ(s[1].data, p1);
  EXPECT_EQ(s[2].data, p2);
  EXPECT_EQ(Times(s), (std::vector<int64_t>{0, 1, 2}));
  EXPECT_EQ(s[0].sync, 1);
  EXPECT_EQ(s[1].sync, 0);
  // Given as one whole VOP, a chunk is not split.
  std::vector<Read> whole = WriteAndRead(dir, 0x20, {Cat({Config(R), i0}), Cat({p1, p2})}, 0);
  EXPECT_EQ(whole.size(), 3u);
}

TEST(VideoHandler, BFramesGetDisplayTimes) {
  TempDir dir;
  // Display order I0 B1 B2 P3 B4 P5 P6, coded as I0 P3 B1 B2 P5 B4 P6.
  std::vector<Read> s = WriteAndRead(
      dir, 0x20, Stream({{'I', 0, 0}, {'P', 0, 3}, {'B', 0, 1}, {'B', 0, 2}, {'P', 0, 5}, {'B', 0, 4}, {'P', 0, 6}}));
  ASSERT_EQ(s.size(), 7u);
  std::vector<int64_t> t = Times(s);
  const int64_t shift = t[0];
  const std::vector<int64_t> display = {0, 3, 1, 2, 5, 4, 6};
  for (size_t i = 0; i < t.size(); ++i) EXPECT_EQ(t[i] - shift, display[i]) << i;
}

TEST(VideoHandler, VopTypesReadBack) {
  TempDir dir;
  std::vector<Bytes> chunks = Stream({{'I', 0, 0}, {'P', 0, 3}, {'B', 0, 1}, {'S', 0, 4}});
  chunks.push_back(Cat({Gov(1), Vop('I', 0, 0, R)}));
  WriteAndRead(dir, 0x20, chunks);
  mp4file* h = mp4file_open(dir.file("h.mp4").c_str());
  const int want[] = {0, 1, 2, 3, 0};
  for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(mp4file_get_vop_type(h, 1, i), want[i]) << i;
  EXPECT_EQ(mp4file_is_sync_sample(h, 1, 4), 0);  // S-VOPs are never sync samples
  mp4file_close(h);
}

TEST(VideoHandler, RepeatedAnchorIsIgnored) {
  TempDir dir;
  std::vector<Read> s = WriteAndRead(dir, 0x20, Stream({{'I', 0, 0}, {'P', 0, 1}, {'P', 0, 1}, {'P', 0, 2}}));
  EXPECT_EQ(Times(s), (std::vector<int64_t>{0, 1, 2}));
}

TEST(VideoHandler, SecondsCountAcrossModuloTimeBase) {
  TempDir dir;
  std::vector<Read> s = WriteAndRead(dir, 0x20, Stream({{'I', 0, 20}, {'P', 0, 24}, {'P', 1, 3}, {'P', 2, 0}}));
  EXPECT_EQ(Times(s), (std::vector<int64_t>{0, 4, 8, 55}));
}

TEST(VideoHandler, GroupOfVopHeaderSetsTheSecond) {
  TempDir dir;
  // 25 frames in second 0, then a group starting at 1 s with an I-VOP whose seconds count from
  // the group's time code: it belongs at 1.00 s, not at 0.00 s.
  std::vector<Bytes> chunks = Stream({{'I', 0, 0}});
  for (uint32_t k = 1; k < 25; ++k) chunks.push_back(Vop('P', 0, k, R));
  chunks.push_back(Cat({Gov(1), Vop('I', 0, 0, R)}));  // in the same chunk as the VOP
  chunks.push_back(Vop('P', 0, 1, R));
  chunks.push_back(Gov(2));  // in a chunk of its own
  chunks.push_back(Vop('I', 0, 3, R));
  chunks.push_back(Vop('B', 0, 1, R));  // B-VOPs after the group's I count from the group too
  chunks.push_back(Vop('B', 0, 2, R));
  chunks.push_back(Vop('P', 0, 4, R));
  std::vector<Read> s = WriteAndRead(dir, 0x20, chunks);
  ASSERT_EQ(s.size(), 31u);
  std::vector<int64_t> t = Times(s);
  const int64_t shift = t[0];
  for (int k = 0; k < 25; ++k) EXPECT_EQ(t[k] - shift, k);
  EXPECT_EQ(t[25] - shift, 25);
  EXPECT_EQ(t[26] - shift, 26);
  EXPECT_EQ(t[27] - shift, 53);
  EXPECT_EQ(t[28] - shift, 51);
  EXPECT_EQ(t[29] - shift, 52);
  EXPECT_EQ(t[30] - shift, 54);
  EXPECT_EQ(s[25].sync, 1);
  EXPECT_EQ(s[25].data, Vop('I', 0, 0, R));  // the group header is not part of the sample
}

TEST(VideoHandler, LastVopLastsAsLongAsTheOneBefore) {
  TempDir dir;
  std::string path = dir.file("d.mp4");
  mp4file* h = mp4file_create(path.c_str(), 600, 0);
  int track = mp4file_add_track(h, 0x20, 1000, "und");
  testing::internal::CaptureStdout();
  for (const Bytes& c : Stream({{'I', 0, 0}, {'P', 0, 2}, {'P', 0, 4}}))
    mp4_file_add_sample(h, track, c.data(), static_cast<int64_t>(c.size()), 0);
  mp4file_close(h);
  testing::internal::GetCapturedStdout();
  mp4file* r = mp4file_open(path.c_str());
  uint64_t end;
  mp4file_get_sample_decode_time(r, 1, 3, &end);
  EXPECT_EQ(end, 6u);
  mp4file_close(r);
}

TEST(VideoHandler, BadInputFails) {
  TempDir dir;
  mp4file* h = mp4file_create(dir.file("e.mp4").c_str(), 600, 0);
  int track = mp4file_add_track(h, 0x20, 1000, "und");
  testing::internal::CaptureStdout();
  const Bytes vop = Vop('I', 0, 0, R);
  EXPECT_EQ(mp4_file_add_sample(h, track, vop.data(), static_cast<int64_t>(vop.size()), 1), 1);  // no VOL yet
  EXPECT_STREQ(mp4file_get_error(h), "mp4_file_add_sample() : problem in media_specific_handle_data()");
  const Bytes junk = {0, 0, 1, 0xB2, 1, 2, 3, 4, 5};
  EXPECT_EQ(mp4_file_add_sample(h, track, junk.data(), static_cast<int64_t>(junk.size()), 1), 1);
  Bytes big = Config(R);
  big.resize(1100, 0x11);
  EXPECT_EQ(mp4_file_add_sample(h, track, big.data(), static_cast<int64_t>(big.size()), 1), 1);
  testing::internal::GetCapturedStdout();
  mp4file_close(h);
  // A handler that never saw data refuses the flush.
  mp4_track dummy = {};
  mp4_media_handler* m = mp4_media_handler_create(0x20, &dummy, 0);
  EXPECT_EQ(media_specific_handle_data(m, nullptr, nullptr, -1, 1), 1);
  mp4_media_handler_release(m);
  EXPECT_EQ(mp4_media_handler_create(0x40, &dummy, 0), nullptr);
}

TEST(AudioHandler, AnyPiecesGiveOneSamplePerFrameIncludingTheLast) {
  TempDir dir;
  std::vector<Bytes> frames;
  for (int i = 0; i < 6; ++i) frames.push_back(Mp3Frame(Mp3Header(9, 0, i % 2), 417 + i % 2, static_cast<uint8_t>(i)));
  Bytes stream = Cat({Bytes{0x00, 0x12}, frames[0], frames[1], frames[2], frames[3], frames[4], frames[5]});
  for (size_t piece : {1u, 7u, 418u, 100000u}) {
    std::vector<Bytes> chunks;
    for (size_t at = 0; at < stream.size(); at += piece)
      chunks.emplace_back(stream.begin() + at, stream.begin() + std::min(stream.size(), at + piece));
    uint32_t timescale = 0;
    std::vector<Read> s = WriteAndRead(dir, 0x6B, chunks, 0, nullptr, &timescale);
    ASSERT_EQ(s.size(), frames.size()) << piece;
    EXPECT_EQ(timescale, 44100u);
    for (size_t i = 0; i < s.size(); ++i) {
      EXPECT_EQ(s[i].data, frames[i]);
      EXPECT_EQ(s[i].ct, static_cast<int64_t>(1152 * i));
      EXPECT_EQ(s[i].sync, 1);
    }
  }
}

TEST(AudioHandler, SampleRateChangeIsReportedOnce) {
  TempDir dir;
  const Bytes a = Mp3Frame(Mp3Header(9, 0, 0), 417, 1);  // 44100 Hz
  const Bytes b = Mp3Frame(Mp3Header(9, 1, 0), 384, 2);  // 48000 Hz
  Log log;
  uint32_t timescale = 0;
  std::vector<Read> s = WriteAndRead(dir, 0x6B, {a, a, b, b, b}, 1, &log, &timescale);
  EXPECT_EQ(s.size(), 5u);
  EXPECT_EQ(timescale, 48000u);
  EXPECT_EQ(log.Count(MP4_LOG_WARNING, "mp3 audio sample rate seems to have changed to 48000Hz (previous audio frame was 44100Hz)"), 1);
}

TEST(AudioHandler, TruncatedWholeFrameFails) {
  TempDir dir;
  Log log;
  Bytes f = Mp3Frame(Mp3Header(), 417, 1);
  f.resize(300);
  std::vector<Read> s = WriteAndRead(dir, 0x6B, {f}, 1, &log);
  EXPECT_TRUE(s.empty());
  EXPECT_EQ(log.Count(MP4_LOG_ERROR, "Truncated audio frame - only have 300 out of expected 417 bytes"), 1);
}

TEST(Check, WrittenFileMatchesItsStreams) {
  TempDir dir;
  std::string path = dir.file("k.mp4");
  mp4file* h = mp4file_create(path.c_str(), 600, 0);
  int v = mp4file_add_track(h, 0x20, 1000, "und");
  int a = mp4file_add_track(h, 0x6B, 1000, "und");
  testing::internal::CaptureStdout();
  for (const Bytes& c : Stream({{'I', 0, 0}, {'P', 0, 3}, {'B', 0, 1}, {'B', 0, 2}, {'P', 0, 4}}))
    mp4_file_add_sample(h, v, c.data(), static_cast<int64_t>(c.size()), 0);
  for (int i = 0; i < 4; ++i) {
    Bytes f = Mp3Frame(Mp3Header(), 417, 1);
    mp4_file_add_sample(h, a, f.data(), 417, 1);
  }
  mp4file_close(h);
  mp4file* r = mp4file_open(path.c_str());
  Log log;
  mp4file_set_log_callback(r, Log::Sink, &log);
  EXPECT_EQ(mp4file_check(r), 0);
  testing::internal::GetCapturedStdout();
  mp4file_close(r);
  EXPECT_EQ(log.Count(MP4_LOG_INFO, "Checking moov atom for correctness"), 1);
  EXPECT_EQ(log.Count(MP4_LOG_INFO, "There are 2 tracks"), 1);
  EXPECT_EQ(log.Count(MP4_LOG_INFO, "Media specific test  for objectTypeIndication = 0x20 Visual ISO/IEC 14496-2"), 1);
  EXPECT_EQ(log.Count(MP4_LOG_INFO, "There are 5 samples"), 1);
  EXPECT_EQ(log.Count(MP4_LOG_INFO, "There are 4 samples"), 1);
  EXPECT_EQ(log.Count(MP4_LOG_WARNING, ""), 0);
  EXPECT_EQ(log.Count(MP4_LOG_ERROR, "Sample"), 0);
  EXPECT_EQ(log.Count(MP4_LOG_ERROR, "bufferSizeDB"), 0);
  // The statistics agree with the stream.
  int zero_lines = 0;
  for (const auto& l : log.lines)
    if (l.second.find("error (seconds): min=0.000000 mean=0.000000 max=0.000000") != std::string::npos) ++zero_lines;
  EXPECT_EQ(zero_lines, 3);
  // The video's composition offsets were made non-negative: a constant shift of one frame.
  EXPECT_EQ(log.Count(MP4_LOG_INFO, "CT_offset error (seconds): min=0.040000 mean=0.040000 max=0.040000 (4 samples)"), 1);
  EXPECT_EQ(log.Count(MP4_LOG_FATAL, ""), 0);
}

TEST(VideoHandler, EndlessRunOfBVopsIsRefused) {
  TempDir dir;
  Log log;
  std::vector<Bytes> chunks = Stream({{'I', 0, 0}});
  for (int k = 0; k < MP4V_MAX_PENDING + 5; ++k) chunks.push_back(Vop('B', 0, 1, R));
  chunks.push_back(Vop('P', 0, 2, R));
  std::vector<Read> s = WriteAndRead(dir, 0x20, chunks, 0, &log);
  EXPECT_EQ(s.size(), static_cast<size_t>(MP4V_MAX_PENDING + 2));
  EXPECT_EQ(log.Count(MP4_LOG_ERROR, "Too many B-VOPs in a row"), 5);
  // Nothing of the refused VOPs reached the file: the mdat holds exactly the samples.
  uint64_t bytes = 0;
  for (const Read& r : s) bytes += r.size;
  EXPECT_EQ(Be32(ReadFile(dir.file("h.mp4")), 0), 8 + bytes);
}
