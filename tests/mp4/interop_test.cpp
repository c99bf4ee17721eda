// Interoperation with ffmpeg: files ffmpeg writes are read with the same packets and times as
// ffmpeg demuxes, and files this library writes are read by ffprobe without complaint. Inputs
// are generated at test time.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "mp4/internal.h"
#include "test_util.h"

using namespace mp4test;

namespace {

bool HaveFfmpeg() {
  int status = 0;
  Shell("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1", &status);
  return status == 0;
}

// Adler-32 as ffmpeg's framecrc computes it (seeded with 0).
uint32_t Adler(const Bytes& data) {
  uint32_t a = 0, b = 0;
  for (uint8_t x : data) {
    a = (a + x) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

std::vector<std::string> Split(const std::string& line, char sep) {
  std::vector<std::string> out;
  std::stringstream ss(line);
  std::string item;
  while (std::getline(ss, item, sep)) {
    item.erase(0, item.find_first_not_of(' '));
    out.push_back(item);
  }
  return out;
}

struct Packet {
  int64_t dts, pts;
  uint32_t size, crc;
  bool key;
};

// Packets per stream as ffmpeg demuxes them.
std::map<int, std::vector<Packet>> FfmpegPackets(const std::string& path) {
  std::map<int, std::vector<Packet>> out;
  std::istringstream crc(Shell("ffmpeg -v error -i '" + path + "' -c copy -f framecrc - 2>/dev/null"));
  std::istringstream flags(Shell("ffprobe -v error -show_entries packet=stream_index,flags -of csv=p=0 '" + path + "'"));
  std::string line, flag_line;
  while (std::getline(crc, line)) {
    if (line.empty() || line[0] == '#') continue;
    do {
      std::getline(flags, flag_line);
    } while (flags && flag_line.empty());
    std::vector<std::string> f = Split(line, ',');
    std::vector<std::string> g = Split(flag_line, ',');
    Packet p{std::stoll(f[1]), std::stoll(f[2]), static_cast<uint32_t>(std::stoul(f[4])),
             static_cast<uint32_t>(std::stoul(f[5], nullptr, 16)), g.size() > 1 && g[1][0] == 'K'};
    out[std::stoi(f[0])].push_back(p);
  }
  return out;
}

void CompareWithFfmpeg(const std::string& path) {
  std::map<int, std::vector<Packet>> ref = FfmpegPackets(path);
  ASSERT_EQ(ref.size(), 2u);
  mp4file* h = mp4file_open(path.c_str());
  ASSERT_EQ(mp4file_get_error(h), nullptr) << mp4file_get_error(h);
  const int video = mp4file_open_track(h, "mp4v", nullptr, nullptr, nullptr);
  const int audio = mp4file_open_track(h, "mp3", nullptr, nullptr, nullptr);
  ASSERT_EQ(video, 1);
  ASSERT_EQ(audio, 2);
  for (int track : {video, audio}) {
    const std::vector<Packet>& packets = ref[track - 1];
    ASSERT_EQ(mp4file_get_sample_count(h, track), packets.size()) << track;
    // ffmpeg applies the edit list, which this library does not read: a constant shift.
    int64_t shift = 0;
    for (uint32_t i = 0; i < packets.size(); ++i) {
      const Packet& p = packets[i];
      Bytes data(static_cast<size_t>(mp4file_get_sample_size(h, track, i)));
      ASSERT_EQ(mp4file_read_sample(h, track, i, data.data(), static_cast<uint32_t>(data.size())), p.size) << i;
      EXPECT_EQ(Adler(data), p.crc) << "track " << track << " sample " << i;
      uint64_t ct, dt;
      mp4file_get_sample_time(h, track, i, &ct, nullptr);
      mp4file_get_sample_decode_time(h, track, i, &dt);
      if (i == 0) shift = static_cast<int64_t>(dt) - p.dts;
      EXPECT_EQ(static_cast<int64_t>(dt) - p.dts, shift) << "track " << track << " sample " << i;
      EXPECT_EQ(static_cast<int64_t>(ct) - p.pts, shift) << "track " << track << " sample " << i;
      EXPECT_EQ(mp4file_is_sync_sample(h, track, i + 1) == 1, p.key) << "track " << track << " sample " << i;
      // ffmpeg's key frames begin with a group header: the coding type is read past it.
      if (track == video && p.key) {
        EXPECT_EQ(mp4file_get_vop_type(h, track, i), 0) << i;
      }
    }
  }
  mp4file_close(h);
}

const char kVideoInput[] = "-f lavfi -i testsrc=size=160x120:rate=25:duration=2";
const char kAudioInput[] = "-f lavfi -i sine=frequency=440:duration=2:sample_rate=44100";

}  // namespace

class FfmpegFiles : public testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(FfmpegFiles, ReadWithTheSamePacketsAndTimes) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  TempDir dir;
  const int bframes = std::get<0>(GetParam());
  const bool faststart = std::get<1>(GetParam());
  const std::string path = dir.file("in.mp4");
  int status = 0;
  Shell(std::string("ffmpeg -v error -y ") + kVideoInput + " " + kAudioInput + " -c:v mpeg4 -bf " +
          std::to_string(bframes) + " -c:a libmp3lame -ac 2 " + (faststart ? "-movflags +faststart " : "") + "'" +
          path + "'",
      &status);
  ASSERT_EQ(status, 0);
  Bytes f = ReadFile(path);
  EXPECT_EQ(FindType(f, "moov") < FindType(f, "mdat"), faststart);
  CompareWithFfmpeg(path);
  if (!faststart) {
    // Our fast start of ffmpeg's file keeps every packet.
    const std::string fast = dir.file("fast.mp4");
    testing::internal::CaptureStdout();
    EXPECT_EQ(mp4file_make_faststart(path.c_str(), fast.c_str()), nullptr);
    testing::internal::GetCapturedStdout();
    mp4file* a = mp4file_open(path.c_str());
    mp4file* b = mp4file_open(fast.c_str());
    ASSERT_EQ(mp4file_get_error(b), nullptr);
    for (int track = 1; track <= 2; ++track) {
      ASSERT_EQ(mp4file_get_sample_count(a, track), mp4file_get_sample_count(b, track));
      for (uint32_t i = 0; i < mp4file_get_sample_count(a, track); ++i) {
        Bytes x(65536), y(65536);
        ASSERT_EQ(mp4file_read_sample(a, track, i, x.data(), 65536), mp4file_read_sample(b, track, i, y.data(), 65536));
        ASSERT_EQ(x, y);
      }
    }
    const uint32_t audio_samples = mp4file_get_sample_count(b, 2);
    mp4file_close(a);
    mp4file_close(b);
    std::string err = Shell("ffprobe -v warning -show_entries stream=nb_read_packets -count_packets -of csv=p=0 '" + fast + "' 2>&1");
    EXPECT_EQ(err, "50\n" + std::to_string(audio_samples) + "\n");
  }
}

INSTANTIATE_TEST_SUITE_P(Mp4, FfmpegFiles,
                         testing::Combine(testing::Values(0, 2), testing::Values(false, true)));

namespace {

// Cuts an elementary MPEG-4 Visual stream into chunks as a capture tool would: each chunk ends
// where the next start code after its VOP begins (headers travel with the VOP that follows).
std::vector<Bytes> VideoChunks(const Bytes& s, std::vector<bool>* intra) {
  std::vector<size_t> codes;
  for (size_t i = 0; i + 3 < s.size(); ++i)
    if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1) codes.push_back(i);
  std::vector<Bytes> chunks;
  size_t begin = 0;
  for (size_t k = 0; k < codes.size(); ++k) {
    if (s[codes[k] + 3] != 0xB6) continue;
    intra->push_back((s[codes[k] + 4] >> 6) == 0);
    size_t end = k + 1 < codes.size() ? codes[k + 1] : s.size();
    chunks.emplace_back(s.begin() + static_cast<long>(begin), s.begin() + static_cast<long>(end));
    begin = end;
  }
  return chunks;
}

}  // namespace

class OurFiles : public testing::TestWithParam<int> {};

TEST_P(OurFiles, ReadByFfprobeWithoutWarnings) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  TempDir dir;
  const int bframes = GetParam();
  int status = 0;
  // 30000/1001 frames per second in groups of 30: without B-frames every key frame comes right
  // after a second boundary, its group header restarting the count of seconds; in this time scale a
  // frame lasts 1001 ticks, so a misplaced key frame cannot hide behind a one-tick duration.
  Shell(std::string("ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=30000/1001:duration=2") +
            " -c:v mpeg4 -g 30 -bf " + std::to_string(bframes) +
          " -f m4v '" + dir.file("v.m4v") + "'",
      &status);
  ASSERT_EQ(status, 0);
  Shell(std::string("ffmpeg -v error -y ") + kAudioInput +
          " -ac 2 -c:a libmp3lame -b:a 128k -write_xing 0 -id3v2_version 0 -f mp3 '" + dir.file("a.mp3") + "'",
      &status);
  ASSERT_EQ(status, 0);
  const int mp3_frames = std::stoi(Shell("ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of csv=p=0 '" +
                                       dir.file("a.mp3") + "'"));

  std::vector<bool> intra;
  std::vector<Bytes> chunks = VideoChunks(ReadFile(dir.file("v.m4v")), &intra);
  const size_t frames = chunks.size();
  ASSERT_GE(frames, 59u);
  const std::string out = dir.file("ours.mp4");
  mp4file* h = mp4file_create(out.c_str(), 1000, 0);
  const int v = mp4file_add_track(h, 0x20, 1000, "und");
  const int a = mp4file_add_track(h, 0x6B, 44100, "und");
  testing::internal::CaptureStdout();
  for (const Bytes& c : chunks) ASSERT_EQ(mp4_file_add_sample(h, v, c.data(), static_cast<int64_t>(c.size()), 0), 0);
  const Bytes mp3 = ReadFile(dir.file("a.mp3"));
  for (size_t at = 0; at < mp3.size(); at += 1000)
    ASSERT_EQ(mp4_file_add_sample(h, a, mp3.data() + at, static_cast<int64_t>(std::min<size_t>(1000, mp3.size() - at)), 0), 0);
  mp4file_close(h);
  testing::internal::GetCapturedStdout();

  // No warnings, and the streams as they are; the same for the moov-first rewrite.
  std::string warnings = Shell("ffprobe -v warning -show_packets -show_streams '" + out + "' 2>&1 >/dev/null");
  EXPECT_EQ(warnings, "");
  const std::string fast = dir.file("ours-fast.mp4");
  testing::internal::CaptureStdout();
  ASSERT_EQ(mp4file_make_faststart(out.c_str(), fast.c_str()), nullptr);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(Shell("ffprobe -v warning -show_packets -show_streams '" + fast + "' 2>&1 >/dev/null"), "");
  EXPECT_EQ(Shell("ffmpeg -v error -i '" + out + "' -c copy -f framecrc - | grep -v '^#'"),
            Shell("ffmpeg -v error -i '" + fast + "' -c copy -f framecrc - | grep -v '^#'"));
  std::string streams = Shell("ffprobe -v error -count_packets -show_entries "
                            "stream=codec_name,width,height,sample_rate,channels,nb_read_packets -of csv=p=0 '" + out + "'");
  EXPECT_EQ(streams, "mpeg4,160,120," + std::to_string(frames) + "\nmp3,44100,2," + std::to_string(mp3_frames) + "\n");

  // Video: display times are exactly k x 1001/30000 s after the first; key frames where the
  // I-VOPs are.
  std::istringstream vp(Shell("ffprobe -v error -select_streams v -show_entries packet=pts,dts,flags -of csv=p=0 '" + out + "'"));
  std::vector<int64_t> pts;
  std::string line;
  int64_t last_dts = INT64_MIN;
  size_t n = 0;
  while (std::getline(vp, line)) {
    std::vector<std::string> f = Split(line, ',');
    ASSERT_EQ(f.size(), 3u) << line;
    pts.push_back(std::stoll(f[0]));
    EXPECT_GT(std::stoll(f[1]), last_dts);
    last_dts = std::stoll(f[1]);
    EXPECT_EQ(f[2][0] == 'K', intra[n]) << "packet " << n;
    ++n;
  }
  std::sort(pts.begin(), pts.end());
  ASSERT_EQ(pts.size(), frames);
  for (size_t k = 0; k < pts.size(); ++k) EXPECT_EQ(pts[k] - pts[0], static_cast<int64_t>(1001 * k)) << k;

  // Audio: one packet per frame, 1152 ticks apart.
  std::istringstream ap(Shell("ffprobe -v error -select_streams a -show_entries packet=pts -of csv=p=0 '" + out + "'"));
  int64_t k = 0;
  while (std::getline(ap, line)) {
    EXPECT_EQ(std::stoll(line), 1152 * k);
    ++k;
  }
  EXPECT_EQ(k, mp3_frames);
}

INSTANTIATE_TEST_SUITE_P(Mp4, OurFiles, testing::Values(0, 2));
