// avicopy between AVI files that ffmpeg wrote and MP4 files, in both directions: ffmpeg reads and
// decodes every output without complaint, to the same pictures and sound.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/vfw/avifile.h"
#include "tests/avi2mp4/avi_builder.h"
#include "tests/avi2mp4/ffmpeg_util.h"

using namespace avitest;

namespace {

const std::string kBin = std::string(MC_BINARY_DIR) + "/bin/";
const std::string kModule = std::string(MC_BINARY_DIR) + "/lib/liblantrel.so";

int Tool(const std::string& command, std::string* output = nullptr) {
  int status = 0;
  std::string out = Shell("LANTREL_MODULE='" + kModule + "' " + kBin + command + " 2>&1", &status);
  if (output) *output = out;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> Md5s(const std::vector<Frame>& frames) {
  std::vector<std::string> out;
  for (const Frame& f : frames) out.push_back(f.md5);
  return out;
}

class AviCopy : public testing::Test {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  }
};

TEST(AviCopyTool, CommandLine) {
  std::string out;
  EXPECT_EQ(Tool("avicopy --help", &out), 0);
  EXPECT_NE(out.find("usage: avicopy IN OUT"), std::string::npos);
  EXPECT_EQ(Tool("avicopy", &out), 1);
  EXPECT_EQ(Tool("avicopy a.avi", &out), 1);
  EXPECT_EQ(Tool("avicopy /nonexistent.avi " + TempPath("x.mp4"), &out), 1);
  EXPECT_NE(out.find("avicopy: cannot open /nonexistent.avi"), std::string::npos) << out;
}

// The first run registers the MP4 handler in the registry store.
TEST(AviCopyTool, RegistersTheMp4HandlerOnFirstUse) {
  CLSID clsid;
  std::string in = WriteFile("reg.avi", Riff({Hdrl({Avih(1, 16, 16), VideoStrl()}), Movi({Chunk("00dc", {0, 0, 1, 0xB6, 0x10})})}));
  Tool("avicopy " + in + " " + TempPath("reg.mp4"));
  ASSERT_TRUE(AVIFileGetHandler("mp4", &clsid));
  char module[4096];
  ASSERT_TRUE(AVIFileGetHandlerModule(clsid, module, sizeof module));
  EXPECT_NE(std::string(module).find("liblantrel.so"), std::string::npos);
}

struct CopyCase {
  const char* name;
  std::string video, audio;
};
void PrintTo(const CopyCase& c, std::ostream* os) { *os << c.name; }

class AviCopyInterop : public testing::TestWithParam<CopyCase> {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  }
};

// AVI -> MP4 through the write streams, then MP4 -> AVI through the read streams (the packed
// stream an AVI carries), and MP4 -> MP4 once more.
TEST_P(AviCopyInterop, BothDirectionsKeepEveryPicture) {
  const CopyCase& c = GetParam();
  std::string avi = TempPath(std::string(c.name) + ".avi");
  std::string mp4 = TempPath(std::string(c.name) + ".mp4");
  std::string back = TempPath(std::string(c.name) + "_back.avi");
  ASSERT_TRUE(MakeAvi(avi, c.video, c.audio));
  std::string out;
  ASSERT_EQ(Tool("avicopy '" + avi + "' '" + mp4 + "' >/dev/null", &out), 0) << out;
  ASSERT_EQ(Tool("avicopy '" + mp4 + "' '" + back + "' >/dev/null", &out), 0) << out;
  EXPECT_EQ(FfmpegComplaints(mp4), "");
  EXPECT_EQ(Shell("ffmpeg -nostdin -v error -c:v mpeg4 -i '" + back + "' -f null - 2>&1"), "");

  const std::vector<std::string> source = Md5s(DecodedFrames(avi, "-c:v mpeg4"));
  ASSERT_GE(source.size(), 40u);
  EXPECT_EQ(Md5s(DecodedFrames(mp4)), source);
  EXPECT_EQ(Md5s(DecodedFrames(back, "-c:v mpeg4")), source);
  if (!c.audio.empty()) {
    EXPECT_EQ(AudioMd5(mp4), AudioMd5(avi));
    EXPECT_EQ(AudioMd5(back), AudioMd5(avi));
  }
  std::remove(avi.c_str());
  std::remove(mp4.c_str());
  std::remove(back.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Files, AviCopyInterop,
    testing::Values(CopyCase{"ku50_mp3", "-c:v mpeg4 -vtag KU50 -f_strict unofficial -bf 0", "-c:a libmp3lame -ar 44100"},
                    CopyCase{"ku50_bframes_mp3", "-c:v mpeg4 -vtag KU50 -f_strict unofficial -bf 2",
                             "-c:a libmp3lame -ar 48000 -b:a 128k"},
                    CopyCase{"kovu_video_only", "-c:v mpeg4 -vtag kovu -f_strict unofficial -bf 1", ""}),
    [](const testing::TestParamInfo<CopyCase>& i) { return std::string(i.param.name); });

// A packed AVI (B-VOPs behind their P-VOPs, not-coded place holders) comes out of the MP4 with
// every picture; ffmpeg itself loses the last one of the packed input (see the converter tests).
TEST_F(AviCopy, PackedInput) {
  std::string avi = TempPath("packed.avi");
  std::string mp4 = TempPath("packed.mp4");
  std::string back = TempPath("packed_back.avi");
  ASSERT_TRUE(MakeAvi(avi, "-c:v libxvid -bf 2 -vtag KU50 -f_strict unofficial", "-c:a libmp3lame"));
  std::string out;
  ASSERT_EQ(Tool("avicopy '" + avi + "' '" + mp4 + "' >/dev/null", &out), 0) << out;
  ASSERT_EQ(Tool("avicopy '" + mp4 + "' '" + back + "' >/dev/null", &out), 0) << out;
  EXPECT_EQ(FfmpegComplaints(mp4), "");
  std::vector<std::string> source = Md5s(DecodedFrames(avi, "-c:v mpeg4"));
  std::vector<std::string> copied = Md5s(DecodedFrames(mp4));
  ASSERT_GE(copied.size(), source.size());
  ASSERT_LE(copied.size(), source.size() + 1);
  EXPECT_EQ(std::vector<std::string>(copied.begin(), copied.begin() + long(source.size()) - 1),
            std::vector<std::string>(source.begin(), source.end() - 1));
  // The exported AVI has the two last B-VOPs in separate frames, so ffmpeg decodes them all.
  EXPECT_EQ(Md5s(DecodedFrames(back, "-c:v mpeg4")), copied);
  EXPECT_EQ(AudioMd5(mp4), AudioMd5(avi));
}

}  // namespace
