// Plain AVI files: what the writer puts down the reader gets back, and damaged files are read
// only as far as they hold together.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/vfw/avi_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string TempPath(const char* name) { return std::string(MC_BINARY_DIR) + "/avi_file_test_" + name + ".avi"; }

Bytes ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), {});
}

vfw::AVISTREAMHEADER VideoHeader() {
  vfw::AVISTREAMHEADER h{};
  h.fccType = vfw::streamtypeVIDEO;
  h.fccHandler = MakeFourCC('Q', 'P', 'A', 'K');
  h.dwScale = 1;
  h.dwRate = 25;
  h.rcFrame = {0, 0, 64, 48};
  return h;
}

// Two streams, samples of odd and zero length, key and non-key.
std::string WriteSample() {
  const std::string path = TempPath("sample");
  vfw::AviWriter w;
  EXPECT_TRUE(w.Open(path));
  const uint8_t format[5] = {1, 2, 3, 4, 5};
  EXPECT_EQ(w.AddStream(VideoHeader(), format, sizeof(format)), 0);
  vfw::AVISTREAMHEADER audio{};
  audio.fccType = vfw::streamtypeAUDIO;
  audio.dwScale = 1;
  audio.dwRate = 8000;
  audio.dwSampleSize = 1;
  EXPECT_EQ(w.AddStream(audio, "wave", 4), 1);
  EXPECT_TRUE(w.WriteSample(0, "abc", 3, AVIIF_KEYFRAME));
  EXPECT_TRUE(w.WriteSample(1, "1234", 4, AVIIF_KEYFRAME));
  EXPECT_TRUE(w.WriteSample(0, nullptr, 0, 0));
  EXPECT_TRUE(w.WriteSample(0, "defgh", 5, AVIIF_KEYFRAME));
  EXPECT_EQ(w.AddStream(audio, "x", 1), -1) << "streams come before samples";
  EXPECT_TRUE(w.Close());
  return path;
}

TEST(AviFile, WrittenFilesReadBack) {
  const std::string path = WriteSample();
  vfw::AviReader r;
  ASSERT_TRUE(r.Open(path)) << r.error();
  EXPECT_TRUE(r.hasIndex());
  EXPECT_EQ(r.mainHeader().dwStreams, 2u);
  EXPECT_EQ(r.mainHeader().dwTotalFrames, 3u);
  EXPECT_EQ(r.mainHeader().dwMicroSecPerFrame, 40000u);
  EXPECT_EQ(r.mainHeader().dwWidth, 64u);
  EXPECT_EQ(r.mainHeader().dwFlags & vfw::AVIF_HASINDEX, vfw::AVIF_HASINDEX);
  ASSERT_EQ(r.streamCount(), 2u);
  EXPECT_EQ(r.stream(0).header.fccHandler, MakeFourCC('Q', 'P', 'A', 'K'));
  EXPECT_EQ(r.stream(0).header.dwLength, 3u);
  EXPECT_EQ(r.stream(0).header.dwSuggestedBufferSize, 5u);
  EXPECT_EQ(r.stream(0).format, Bytes({1, 2, 3, 4, 5}));
  EXPECT_EQ(r.stream(1).format, Bytes({'w', 'a', 'v', 'e'}));
  struct Expect {
    size_t stream, sample;
    std::string data;
    DWORD flags;
  };
  const Expect expected[] = {
      {0, 0, "abc", AVIIF_KEYFRAME}, {0, 1, "", 0}, {0, 2, "defgh", AVIIF_KEYFRAME}, {1, 0, "1234", AVIIF_KEYFRAME}};
  ASSERT_EQ(r.stream(0).samples.size(), 3u);
  ASSERT_EQ(r.stream(1).samples.size(), 1u);
  for (const Expect& e : expected) {
    Bytes data;
    ASSERT_TRUE(r.ReadSample(e.stream, e.sample, &data));
    EXPECT_EQ(std::string(data.begin(), data.end()), e.data);
    EXPECT_EQ(r.stream(e.stream).samples[e.sample].flags, e.flags);
  }
  Bytes data;
  EXPECT_FALSE(r.ReadSample(0, 3, &data));
  EXPECT_FALSE(r.ReadSample(2, 0, &data));
}

TEST(AviFile, IndexWithFileOffsetsAndFilesWithoutIndex) {
  Bytes file = ReadAll(WriteSample());
  // Locate idx1 and the movi list.
  auto find = [&file](const char* id) {
    for (size_t i = 0; i + 4 <= file.size(); ++i)
      if (std::memcmp(&file[i], id, 4) == 0) return i;
    return file.size();
  };
  const size_t movi = find("movi"), idx = find("idx1");
  ASSERT_LT(idx, file.size());
  Bytes absolute = file;
  for (size_t e = idx + 8; e + 16 <= absolute.size(); e += 16) {
    uint32_t off;
    std::memcpy(&off, &absolute[e + 8], 4);
    off += static_cast<uint32_t>(movi);
    std::memcpy(&absolute[e + 8], &off, 4);
  }
  vfw::AviReader a;
  ASSERT_TRUE(a.OpenMemory(absolute.data(), absolute.size())) << a.error();
  Bytes data;
  ASSERT_TRUE(a.ReadSample(0, 2, &data));
  EXPECT_EQ(std::string(data.begin(), data.end()), "defgh");

  Bytes noIndex(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(idx));
  vfw::AviReader n;
  ASSERT_TRUE(n.OpenMemory(noIndex.data(), noIndex.size())) << n.error();
  EXPECT_FALSE(n.hasIndex());
  ASSERT_EQ(n.stream(0).samples.size(), 3u);
  ASSERT_TRUE(n.ReadSample(0, 2, &data));
  EXPECT_EQ(std::string(data.begin(), data.end()), "defgh");
}

TEST(AviFile, DamagedFiles) {
  Bytes file = ReadAll(WriteSample());
  struct Case {
    const char* name;
    Bytes data;
    bool opens;
  };
  Bytes huge = file;
  huge[4] = huge[5] = huge[6] = huge[7] = 0xFF;  // RIFF size far beyond the file
  Bytes noMovi = file;
  std::memcpy(&noMovi[file.size() / 2], "XXXX", 4);
  const Case cases[] = {
      {"empty", {}, false},
      {"not RIFF", Bytes(file.begin() + 1, file.end()), false},
      {"header only", Bytes(file.begin(), file.begin() + 12), false},
      {"RIFF size too large", huge, true},
      {"cut inside the samples", Bytes(file.begin(), file.end() - 60), true},
  };
  for (const Case& c : cases) {
    vfw::AviReader r;
    EXPECT_EQ(r.OpenMemory(c.data.data(), c.data.size()), c.opens) << c.name;
    for (size_t s = 0; s < r.streamCount(); ++s)
      for (const vfw::AviSample& sample : r.stream(s).samples) EXPECT_LE(sample.offset + sample.size, c.data.size());
  }
}

TEST(AviFile, WriterReportsFailures) {
  vfw::AviWriter w;
  EXPECT_FALSE(w.Open("/nonexistent-folder/x.avi"));
  EXPECT_NE(w.error().find("cannot create"), std::string::npos);
  vfw::AviReader r;
  EXPECT_FALSE(r.Open("/nonexistent-folder/x.avi"));
  EXPECT_FALSE(r.error().empty());
}

}  // namespace
