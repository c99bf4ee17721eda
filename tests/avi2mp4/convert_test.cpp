// The converter: its command line, its log, and the files it makes from AVI files that ffmpeg
// wrote (read back and decoded by ffmpeg).
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>

#include "avi2mp4/avi2mp4.h"
#include "avi_builder.h"
#include "ffmpeg_util.h"
#include "mp4/mp4file.h"

using namespace avitest;

namespace {

std::string Slurp(const std::string& path) {
  Bytes b = ReadFile(path);
  return std::string(b.begin(), b.end());
}

// Runs the converter with a log file; returns its result and the log text.
int Convert(std::vector<std::string> args, std::string* log, volatile int* cancel = nullptr,
        volatile int* progress = nullptr) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::string log_path = TempPath("log.txt");
  int r = Avi2Mp4(int(args.size()), argv.data(), log_path.c_str(), cancel, progress);
  if (log) *log = Slurp(log_path);
  std::remove(log_path.c_str());
  return r;
}

uint32_t SampleCount(const std::string& mp4, const char* handler) {
  mp4file* h = mp4file_open(mp4.c_str());
  if (!h || mp4file_get_error(h)) {
    mp4file_close(h);
    return 0;
  }
  int track = mp4file_open_track(h, nullptr, "und", handler, nullptr);
  uint32_t n = track > 0 ? mp4file_get_sample_count(h, track) : 0;
  mp4file_close(h);
  return n;
}

const char kUsage[] = "usage: avi2mp4 [-h] [-n maxframes] infile.avi outfile.mp4 \n";

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
};

void PrintTo(const UsageCase& c, std::ostream* os) { *os << c.name; }

class ConvertUsage : public testing::TestWithParam<UsageCase> {};

TEST_P(ConvertUsage, PrintsUsageAndFails) {
  std::string log;
  EXPECT_EQ(Convert(GetParam().args, &log), 1);
  EXPECT_NE(log.find(kUsage), std::string::npos) << log;
  EXPECT_EQ(log.find("Video analysis"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ConvertUsage,
    testing::Values(UsageCase{"no_output", {"avi2mp4", "in.avi"}},
                    UsageCase{"nothing", {"avi2mp4"}},
                    UsageCase{"three_paths", {"avi2mp4", "a", "b", "c"}},
                    UsageCase{"help", {"avi2mp4", "-h", "in.avi", "out.mp4"}},
                    UsageCase{"unknown_option", {"avi2mp4", "-x", "in.avi", "out.mp4"}},
                    // -n without its count: the paths must not be taken for it.
                    UsageCase{"n_last", {"avi2mp4", "in.avi", "out.mp4", "-n"}},
                    UsageCase{"n_without_value", {"avi2mp4", "-n"}},
                    UsageCase{"n_not_a_number", {"avi2mp4", "-n", "ten", "in.avi", "out.mp4"}}),
    [](const testing::TestParamInfo<UsageCase>& i) { return std::string(i.param.name); });

TEST(Convert, LogStartsWithCommandLineAndVersion) {
  std::string log;
  Convert({"avi2mp4", "x"}, &log);
  EXPECT_EQ(log.rfind("avi2mp4 x [built with mp4file library: Version 0.24, 8 May 2002]\n\n", 0), 0u) << log;
}

TEST(Convert, MissingInputFailsAnalysis) {
  std::string log;
  EXPECT_EQ(Convert({"avi2mp4", "/nonexistent.avi", TempPath("none.mp4")}, &log), 1);
  EXPECT_NE(log.find("Error: aviin_open() : failed to open AVI input file\n"), std::string::npos);
  EXPECT_NE(log.find("Video analysis failed\n"), std::string::npos);
}

// A chunk holding only a marker byte or nothing is left out of the analysis; a chunk that is not
// MPEG-4 Visual at all fails it.
TEST(Convert, AnalysisRefusesUnparsableChunk) {
  Bytes file = Riff({Hdrl({Avih(2, 16, 16), VideoStrl("KU50")}),
                     Movi({Chunk("00dc", {0x7F}), Chunk("00dc", {1, 2, 3, 4, 5, 6, 7, 8})})});
  std::string in = WriteFile("garbage.avi", file);
  std::string log;
  EXPECT_EQ(Convert({"avi2mp4", in, TempPath("garbage.mp4")}, &log), 1);
  EXPECT_NE(log.find("Video analysis failed\n"), std::string::npos) << log;
}

class ConvertFfmpeg : public testing::Test {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  }
};

struct InteropCase {
  const char* name;
  std::string video;  // ffmpeg output options
  std::string audio;
  const char* timing_line;
  bool packed;  // B-VOPs packed behind P-VOPs
};

void PrintTo(const InteropCase& c, std::ostream* os) { *os << c.name; }

class ConvertInterop : public testing::TestWithParam<InteropCase> {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  }
};

constexpr const char* kAviTiming = "File contains Kovu 4.xx: taking video timing info from AVI headers\n";
constexpr const char* kMpeg4Timing =
    "File contains > Kovu 4.xx: taking video timing info from MPEG-4 video headers\n";

TEST_P(ConvertInterop, DecodesToTheSameFrames) {
  const InteropCase& c = GetParam();
  std::string in = TempPath(std::string(c.name) + ".avi");
  std::string out = TempPath(std::string(c.name) + ".mp4");
  ASSERT_TRUE(MakeAvi(in, c.video, c.audio));
  std::string log;
  ASSERT_EQ(Convert({"avi2mp4", in, out}, &log), 0) << log;
  EXPECT_NE(log.find(c.timing_line), std::string::npos) << log;

  // moov first, then mdat, nothing between them.
  std::vector<Atom> atoms = TopLevelAtoms(ReadFile(out));
  ASSERT_GE(atoms.size(), 2u);
  EXPECT_EQ(atoms[0].type, "moov");
  EXPECT_EQ(atoms[1].type, "mdat");
  EXPECT_EQ(atoms[1].offset, atoms[0].size);

  EXPECT_EQ(FfmpegComplaints(out), "");

  std::vector<Frame> avi = DecodedFrames(in, "-c:v mpeg4");
  std::vector<Frame> mp4 = DecodedFrames(out);
  ASSERT_GE(avi.size(), 40u);
  // ffmpeg takes at most one B-VOP out of a packed AVI chunk, so the last chunk, where the encoder
  // flushed two, loses a picture; the MP4 keeps it. Otherwise every picture matches, in order, at the same
  // time up to one shift.
  ASSERT_GE(mp4.size(), avi.size());
  size_t extra = 0, j = 0;
  for (size_t i = 0; i < avi.size(); ++i, ++j) {
    while (j < mp4.size() && mp4[j].md5 != avi[i].md5 && c.packed && extra < 1) {
      ++extra;
      ++j;
    }
    ASSERT_LT(j, mp4.size());
    EXPECT_EQ(mp4[j].md5, avi[i].md5) << "frame " << i;
    // Past a lost picture ffmpeg's AVI times are off by it; the MP4's come from the VOP headers.
    if (extra == 0) {
      EXPECT_NEAR(mp4[j].time - avi[i].time, mp4[0].time - avi[0].time, 1e-6) << "frame " << i;
    }
  }
  EXPECT_LE(mp4.size() - avi.size(), c.packed ? 1u : 0u);
  if (!c.audio.empty()) {
    EXPECT_EQ(AudioMd5(out), AudioMd5(in));
  }
  std::remove(in.c_str());
  std::remove(out.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Files, ConvertInterop,
    testing::Values(
        InteropCase{"ku50_mp3_44100", "-c:v mpeg4 -vtag KU50 -f_strict unofficial -bf 0",
                    "-c:a libmp3lame -ar 44100 -b:a 64k", kMpeg4Timing, false},
        InteropCase{"ku50_bframes_mp3_48000", "-c:v mpeg4 -vtag KU50 -f_strict unofficial -bf 2",
                    "-c:a libmp3lame -ar 48000 -b:a 128k", kMpeg4Timing, false},
        InteropCase{"ku45_mp3_32000", "-c:v mpeg4 -vtag ku45 -f_strict unofficial -bf 0",
                    "-c:a libmp3lame -ar 32000 -ac 1 -b:a 48k", kMpeg4Timing, false},
        InteropCase{"kovu_mp3", "-c:v mpeg4 -vtag kovu -f_strict unofficial -bf 0",
                    "-c:a libmp3lame -ar 44100 -b:a 96k", kAviTiming, false},
        // A B-VOP in a 4.xx file: the headers' timing cannot hold, the stream's is taken.
        InteropCase{"kovu_bframes", "-c:v mpeg4 -vtag kovu -f_strict unofficial -bf 2", "", kMpeg4Timing, false},
        InteropCase{"xvid_packed_bframes", "-c:v libxvid -bf 2 -vtag KU50 -f_strict unofficial",
                    "-c:a libmp3lame -ar 44100", kMpeg4Timing, true},
        // The same in a 4.xx file: the B-VOP sits behind a P-VOP in its chunk and must be seen.
        InteropCase{"kovu_xvid_packed_bframes", "-c:v libxvid -bf 2 -vtag kovu -f_strict unofficial", "",
                    kMpeg4Timing, true},
        // An empty chunk keeps the picture before it on screen for one more frame time.
        InteropCase{"kovu_empty_chunk", "-c:v mpeg4 -vtag kovu -f_strict unofficial -bf 0 -avoid_negative_ts make_zero",
                    "-c:a libmp3lame -ar 44100", kAviTiming, false},
        InteropCase{"video_only", "-c:v mpeg4 -vtag KU50 -f_strict unofficial", "", kMpeg4Timing, false}),
    [](const testing::TestParamInfo<InteropCase>& i) { return std::string(i.param.name); });

TEST_F(ConvertFfmpeg, KovuWithBFramesWarns) {
  std::string in = TempPath("warn.avi");
  ASSERT_TRUE(MakeAvi(in, "-c:v mpeg4 -vtag kovu -f_strict unofficial -bf 2", ""));
  std::string log;
  ASSERT_EQ(Convert({"avi2mp4", in, TempPath("warn.mp4")}, &log), 0) << log;
  EXPECT_NE(log.find("FourCC codes are: kovu kovu\nVideo is Kovu 4.xx\nWarning: B-frames found in Kovu 4.xx video\n"),
            std::string::npos)
      << log;
}

TEST_F(ConvertFfmpeg, WrongFourCCFailsAnalysis) {
  std::string in = TempPath("xvid_tag.avi");
  ASSERT_TRUE(MakeAvi(in, "-c:v mpeg4 -vtag XVID", ""));
  std::string log;
  EXPECT_EQ(Convert({"avi2mp4", in, TempPath("xvid_tag.mp4")}, &log), 1);
  EXPECT_NE(log.find("FourCC codes are: XVID XVID\n"
                     "Error: file does not contain Kovu(TM) video ('kovu' or 'ku50' fourCC)\n"
                     "Video analysis failed\n"),
            std::string::npos)
      << log;
}

TEST_F(ConvertFfmpeg, UnsupportedAudioIsLeftOut) {
  std::string in = TempPath("ac3.avi");
  std::string out = TempPath("ac3.mp4");
  ASSERT_TRUE(MakeAvi(in, "-c:v mpeg4 -vtag KU50 -f_strict unofficial", "-c:a ac3"));
  std::string log;
  ASSERT_EQ(Convert({"avi2mp4", in, out}, &log), 0) << log;
  EXPECT_NE(log.find("audio sample rate is 48000Hz (ignored)\nAVI audio format 2000 is not supported\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(SampleCount(out, "soun"), 0u);
  EXPECT_EQ(SampleCount(out, "vide"), 50u);
  EXPECT_NE(log.find("50 video chunks, "), std::string::npos);
}

TEST_F(ConvertFfmpeg, MaxFramesLimitsVideoChunks) {
  std::string in = TempPath("limit.avi");
  std::string out = TempPath("limit.mp4");
  ASSERT_TRUE(MakeAvi(in, "-c:v mpeg4 -vtag kovu -f_strict unofficial", "-c:a libmp3lame"));
  std::string log;
  ASSERT_EQ(Convert({"avi2mp4", "-n", "10", in, out}, &log), 0) << log;
  EXPECT_EQ(SampleCount(out, "vide"), 10u);
  EXPECT_NE(log.find("10 video chunks, "), std::string::npos) << log;
  EXPECT_EQ(FfmpegComplaints(out), "");
}

// The frame count in the main header is no limit: audio after the last video chunk and video
// beyond a wrong count are all converted.
TEST_F(ConvertFfmpeg, ConvertsEverythingInMoviWhateverTheHeaderCount) {
  std::string in = TempPath("count.avi");
  std::string out = TempPath("count.mp4");
  ASSERT_TRUE(MakeAvi(in, "-c:v mpeg4 -vtag KU50 -f_strict unofficial", "-c:a libmp3lame"));
  Bytes file = ReadFile(in);
  ASSERT_EQ(std::memcmp(&file[0x18], "avih", 4), 0);
  file[0x30] = 5;  // dwTotalFrames
  file[0x31] = file[0x32] = file[0x33] = 0;
  WriteFile("count.avi", file);
  std::string reference = TempPath("count_ref.mp4");
  std::string log;
  ASSERT_EQ(Convert({"avi2mp4", in, out}, &log), 0) << log;
  EXPECT_EQ(SampleCount(out, "vide"), 50u);
  EXPECT_EQ(AudioMd5(out), AudioMd5(in));
}

TEST_F(ConvertFfmpeg, ProgressEndsAtHundred) {
  std::string in = TempPath("progress.avi");
  ASSERT_TRUE(MakeAvi(in, "-c:v mpeg4 -vtag KU50 -f_strict unofficial", "-c:a libmp3lame"));
  volatile int progress = -1;
  ASSERT_EQ(Convert({"avi2mp4", in, TempPath("progress.mp4")}, nullptr, nullptr, &progress), 0);
  EXPECT_EQ(progress, 100);
}

// Cancelled in the second pass: the file so far is finished with its moov in front.
TEST_F(ConvertFfmpeg, CancelInSecondPassLeavesAPlayableFile) {
  std::string in = TempPath("cancel.avi");
  std::string out = TempPath("cancel.mp4");
  ASSERT_TRUE(MakeAvi(in, "-c:v mpeg4 -vtag KU50 -f_strict unofficial", "-c:a libmp3lame", 20));
  // The flag is raised from another thread once the cell shows the second pass well under way,
  // as the tool's signal handler would; a loaded machine may let a run finish first, so a few
  // tries are allowed.
  std::string log;
  int r = 0;
  for (int attempt = 0; attempt < 5 && r == 0; ++attempt) {
    volatile int progress = 0, cancel = 0;
    std::atomic<bool> done{false};
    std::thread watcher([&] {
      while (!done)
        if (progress >= 60) cancel = 1;
    });
    r = Convert({"avi2mp4", in, out}, &log, &cancel, &progress);
    done = true;
    watcher.join();
  }
  EXPECT_EQ(r, 1);
  EXPECT_EQ(log.find("video chunks,", log.find("second pass")), std::string::npos) << log;
  std::vector<Atom> atoms = TopLevelAtoms(ReadFile(out));
  ASSERT_GE(atoms.size(), 2u);
  EXPECT_EQ(atoms[0].type, "moov");
  EXPECT_EQ(atoms.back().type, "mdat");
  uint32_t frames = SampleCount(out, "vide");
  EXPECT_GT(frames, 0u);
  EXPECT_LT(frames, 500u);
  EXPECT_EQ(FfmpegComplaints(out), "");
}

// Where the process used to end, the entry point now returns 1 after the same message.
TEST_F(ConvertFfmpeg, UnwritableOutputFailsWithTheLibraryMessage) {
  std::string in = TempPath("unwritable.avi");
  ASSERT_TRUE(MakeAvi(in, "-c:v mpeg4 -vtag KU50 -f_strict unofficial", ""));
  std::string log;
  EXPECT_EQ(Convert({"avi2mp4", in, "/nonexistent/dir/out.mp4"}, &log), 1);
  const size_t second = log.find("**** second pass ****");
  ASSERT_NE(second, std::string::npos) << log;
  EXPECT_NE(log.find("failed", second), std::string::npos) << log;
}

// Ctrl-C while the tool runs sets the cancel flag: the run stops, the exit status is 1.
TEST_F(ConvertFfmpeg, InterruptCancelsTheTool) {
  std::string in = TempPath("interrupt.avi"), out = TempPath("interrupt.mp4"), err = TempPath("interrupt.err");
  ASSERT_TRUE(MakeAvi(in, "-c:v mpeg4 -vtag KU50 -f_strict unofficial", "-c:a libmp3lame", 20, "320x240"));
  // Signalled as soon as the process catches SIGINT (its handler is installed just before the
  // conversion starts).
  std::string status = Shell("(" + std::string(MC_BINARY_DIR) + "/bin/avi2mp4 --log /dev/null '" + in + "' '" + out +
                             "' >/dev/null 2>'" + err + "' & pid=$!; for i in $(seq 1000); do "
                             "m=$(awk '/^SigCgt/ {print $2}' /proc/$pid/status 2>/dev/null); "
                             "[ -n \"$m\" ] && [ $((0x$m & 2)) -ne 0 ] && break; sleep 0.002; done; kill -INT $pid; wait $pid; echo $?)");
  if (status == "0\n") GTEST_SKIP() << "the conversion finished before the signal";
  EXPECT_EQ(status, "1\n");
  EXPECT_NE(Slurp(err).find("avi2mp4: cancelled"), std::string::npos) << Slurp(err);
}

// The tool around the entry point: its own help, the usage of the entry point, the exit status
// and the progress drawn on standard error.
TEST(ConvertTool, CommandLine) {
  const std::string tool = std::string(MC_BINARY_DIR) + "/bin/avi2mp4";
  int status = 0;
  std::string out = Shell(tool + " --help 2>&1", &status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_NE(out.find("usage: avi2mp4 [-h] [-n maxframes] [--log FILE] IN.avi OUT.mp4"), std::string::npos);
  for (const char* args : {"", " in.avi", " -h in.avi out.mp4", " in.avi out.mp4 -n", " --log"}) {
    Shell(tool + args + " >/dev/null 2>&1", &status);
    EXPECT_EQ(WEXITSTATUS(status), 1) << args;
  }
  out = Shell(tool + " in.avi 2>/dev/null", &status);
  EXPECT_NE(out.find("usage: " + tool + " [-h] [-n maxframes] infile.avi outfile.mp4 \n"), std::string::npos) << out;
}

TEST_F(ConvertFfmpeg, ToolConvertsWithProgressAndLogFile) {
  std::string in = TempPath("tool.avi"), out = TempPath("tool.mp4"), log = TempPath("tool.log");
  ASSERT_TRUE(MakeAvi(in, "-c:v mpeg4 -vtag KU50 -f_strict unofficial", "-c:a libmp3lame"));
  int status = 0;
  std::string err = Shell(std::string(MC_BINARY_DIR) + "/bin/avi2mp4 --log '" + log + "' '" + in + "' '" + out +
                              "' 2>&1 >/dev/null",
                          &status);
  EXPECT_EQ(WEXITSTATUS(status), 0) << err;
  EXPECT_NE(err.find("100%"), std::string::npos) << err;
  EXPECT_NE(Slurp(log).find("**** second pass ****"), std::string::npos);
  EXPECT_EQ(FfmpegComplaints(out), "");
}

}  // namespace
