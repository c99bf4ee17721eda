// Loading by extension: the probe sequences, with files as they come from the wild.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/subtitles/reader_test_util.h"

namespace {

constexpr int32_t kOpen = 2147483647;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

const char* const kSubRip = "1\n00:00:01,000 --> 00:00:02,500\nHello, world\n\n2\n00:00:03,000 --> 00:00:04,000\nBye\n";
const char* const kMicroDvd = "{25}{62}Hello, world|again\n{75}{100}Bye\n";

using Probing = ReaderFiles;

TEST_F(Probing, SequencesByExtension) {
  struct Case {
    const char* name;
    std::string file;
    std::string bytes;
    const char* format;  // null: nothing accepts it
  };
  const Case cases[] = {
      {"SubRip as .txt passes MicroDVD and TMPlayer", "a.txt", kSubRip, "SubRip"},
      {"SubRip as .sub passes SubViewer 2.0, SubViewer 1.0 and DVDSubtitle", "a.sub", kSubRip, "SubRip"},
      {"SubRip as .srt", "a.srt", kSubRip, "SubRip"},
      {"SubRip with two dots in the name", "movie.en.SRT", kSubRip, "SubRip"},
      {"MicroDVD as .txt at the first probe", "b.txt", kMicroDvd, "MicroDVD"},
      {"MicroDVD as .sub after every other", "b.sub", kMicroDvd, "MicroDVD"},
      {"MicroDVD as .srt", "b.srt", kMicroDvd, "MicroDVD"},
      {"TMPlayer as .txt", "c.txt", "00:00:01:Hi\n", "TMPlayer"},
      {"SubViewer 1.0 as .sub", "d.sub", "[00:00:01]\nHi, there\n[00:00:02]\n\n", "SubViewer 1.0"},
      {"SubViewer 1.0 as .txt", "d.txt", "[00:00:01]\nHi, there\n[00:00:02]\n\n", "SubViewer 1.0"},
      {"SubViewer 2.0 as .srt", "e.srt", "00:00:01.00,00:00:02.00\nHi\n", "SubViewer 2.0"},
      {"SubViewer 2.0 as .txt", "e.txt", "00:00:01.00,00:00:02.00\nHi\n", "SubViewer 2.0"},
      {"DVDSubtitle as .sub", "f.sub", "{T 00:00:01:00\nHi\n}", "DVDSubtitle"},
      {"DVDSubtitle as .txt", "f.txt", "{T 00:00:01:00\nHi\n}", "DVDSubtitle"},
      {"SSA by .ssa only", "g.ssa", "Dialogue: 0,0:00:01.00,0:00:02.00,D,,0,0,0,Hi\n", "Sub Station Alpha"},
      {"JACOsub by .js", "h.js", "0:00:01.00 0:00:02.00 D Hi\n", "JACOsub"},
      {"RealText by .rt", "i.rt", "<time begin=\"1\"/>Hi", "RealText"},
      {"AqTitle by .aqt", "j.aqt", "-->> 10\nHi\n\n", "AqTitle"},
      {"SubRip text in .ssa has no events", "k.ssa", kSubRip, nullptr},
      {"plain text as .txt", "l.txt", "Just some notes\n", nullptr},
      {"SubRip as .js", "m.js", kSubRip, nullptr},
      {"unknown extension", "n.xyz", kSubRip, nullptr},
  };
  for (const Case& c : cases) {
    SubtitleEngine e;
    const std::string path = Write(c.file, c.bytes);
    const int result = e.Load(path.c_str());
    if (!c.format) {
      EXPECT_NE(result, 0) << c.name;
      EXPECT_EQ(e.items.Count(), 0) << c.name;
      EXPECT_TRUE(e.formatName.IsEmpty()) << c.name;
      EXPECT_TRUE(e.path.IsEmpty()) << c.name;
      continue;
    }
    EXPECT_EQ(result, 0) << c.name;
    EXPECT_STREQ(e.formatName.c_str(), c.format) << c.name;
    EXPECT_STREQ(e.path.c_str(), path.c_str()) << c.name;
    EXPECT_GT(e.items.Count(), 0) << c.name;
  }
}

TEST_F(Probing, FilesFromTheWild) {
  struct Case {
    const char* fixture;
    const char* format;
    float fps;  // given to ConvertFramesToTime after the load, as the filter does
    std::vector<Entry> entries;
    int32_t fileDelay = 0;
  };
  const Case cases[] = {
      {"dialogue.srt", "SubRip", 0,
       {{1000, 3500, "Where are you going?"},
        {3200, 5000, "To the station.  \nWait for me!"},
        {62040, 64999, "- Hurry.\n- Coming!"},
        {3600000, 3602500, "The end."}}},
      {"dialogue.ssa", "Sub Station Alpha", 0,
       {{1000, 3500, "Where are you going?"},
        {3200, 5000, "To the station.\nWait for me!"},
        {62040, 65000, "- Hurry.\n- Coming!"},
        {3600000, 3602500, "The end."}}},
      {"cp1252.srt", "SubRip", 0,
       {{1000, 2000, "Caf\xE9 cr\xE8me, s\xE9" "ance \xE0 9 h"}, {2500, 4000, "\xABNa\xEFve\xBB \x80 5"}}},
      {"utf16le.srt", "SubRip", 0,
       {{1000, 2000, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD0\xBC\xD0\xB8\xD1\x80"},
        {2500, 4000, "\xCE\x93\xCE\xB5\xCE\xB9\xCE\xAC \xCF\x83\xCE\xBF\xCF\x85 \xF0\x9D\x84\x9E"}}},
      {"utf16be.srt", "SubRip", 0,
       {{1000, 2000, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD0\xBC\xD0\xB8\xD1\x80"},
        {2500, 4000, "\xCE\x93\xCE\xB5\xCE\xB9\xCE\xAC \xCF\x83\xCE\xBF\xCF\x85 \xF0\x9D\x84\x9E"}}},
      {"movie.sub", "MicroDVD", 0,
       {{1000, 3000, "Where are you going?"},
        {3200, 5000, "To the station.\nWait for me!"},
        {62040, 65000, "- Hurry.\n- Coming!"},
        {3600000, 3602480, "The end."}}},
      {"pending.txt", "MicroDVD", 25,
       {{1000, 3000, "No frame rate here"}, {4000, 7960, "Open end\ntwo lines"}, {8000, 10000, "Last  "}}},
      {"subviewer2.sub", "SubViewer 2.0", 0,
       {{1000, 3500, "Where are you going?"},
        {3200, 5000, "To the station.\nWait for me!"},
        {62040, 64990, "- Hurry.\n- Coming!"},
        {3600000, 3602500, "The end."}}},
      {"subviewer1.sub", "SubViewer 1.0", 0,
       {{1000, 2999, "Where are you going?"}, {4000, 5999, "To the station.\nWait for me!"},
        {3600000, 3602999, "The end."}}},
      {"tmplayer.txt", "TMPlayer", 0,
       {{1000, 2999, "Where are you going?"},
        {3000, 7000, "To the station.\nWait for me!"},
        {62000, 66000, "- Hurry.\n- Coming: now!"},
        {3600000, 3604000, "The end."}}},
      {"dvdsubtitle.sub", "DVDSubtitle", 0,
       {{1000, 3500, "Where are you going?"},
        {3200, 5000, "To the station.\nWait for me!"},
        {62040, 63999, "- Hurry."},
        {64000, 65000, "- Coming!"}}},
      {"jacosub.js", "JACOsub", 0,
       {{1000, 3500, "Where are you going?"},
        {3200, 5000, "To the station.\nWait for me!"},
        {62040, 64990, "- Hurry.\n- Coming now!"},
        {3600000, 3602500, "The end."}}},
      {"realtext.rt", "RealText", 0,
       {{1000, 3199, "Where are you going?"},
        {3200, 62039, "To the station .\nWait for me!"},  // a closing tag is a space
        {62040, 65000, "- Hurry."},
        {64000, 3599999, "- Hurry.\n - Coming!"},  // and so is the line end
        {3600000, kOpen, "The end & credits."}}},
      {"aqtitle.aqt", "AqTitle", 0,
       {{1000, 3199, "Where are you going?"},
        {3200, 62039, "To the station.\nWait for me!"},
        {62040, 3599999, "- Hurry.\n- Coming!"},
        {3600000, kOpen, "The end."}}},
  };
  for (const Case& c : cases) {
    SubtitleEngine e;
    ASSERT_EQ(e.Load(Fixture(c.fixture).c_str()), 0) << c.fixture;
    EXPECT_STREQ(e.formatName.c_str(), c.format) << c.fixture;
    e.ConvertFramesToTime(c.fps);
    EXPECT_EQ(e.framesPending, 0) << c.fixture;
    EXPECT_EQ(Entries(e), c.entries) << c.fixture;
    EXPECT_EQ(e.fileDelay, c.fileDelay) << c.fixture;
  }
}

// The demuxers of ffmpeg read several of these formats; where the two sets of rules agree the
// times must match. ffmpeg's ends follow other rules for the formats that state only starts.
TEST_F(Probing, TimesAgreeWithFfmpeg) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg is not installed";
  struct Case {
    const char* fixture;
    bool compareEnds;
    int tolerance;  // ms; frame counts are rounded by ffmpeg and truncated here
  };
  const Case cases[] = {
      {"dialogue.srt", true, 0}, {"dialogue.ssa", true, 0},   {"movie.sub", true, 1},    {"subviewer2.sub", true, 0},
      {"subviewer1.sub", false, 0}, {"jacosub.js", true, 0}, {"realtext.rt", false, 0}, {"aqtitle.aqt", false, 1},
  };
  for (const Case& c : cases) {
    const std::string out = dir + "/" + c.fixture + ".srt";
    const std::string command = "ffmpeg -v error -y -i '" + Fixture(c.fixture) + "' -f srt '" + out + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::vector<std::pair<int64_t, int64_t>> theirs;
    std::istringstream lines(ReadFile(out));
    for (std::string line; std::getline(lines, line);) {
      int h1, m1, s1, ms1, h2, m2, s2, ms2;
      if (std::sscanf(line.c_str(), "%d:%d:%d,%d --> %d:%d:%d,%d", &h1, &m1, &s1, &ms1, &h2, &m2, &s2, &ms2) == 8) {
        int64_t a = ((h1 * 60 + m1) * 60 + s1) * 1000LL + ms1, b = ((h2 * 60 + m2) * 60 + s2) * 1000LL + ms2;
        if (a == 0 && b == 0) continue;  // an empty event ffmpeg makes of a RealText header
        if (a == 0 && std::string(c.fixture) == "aqtitle.aqt") continue;  // the frame-rate entry
        theirs.emplace_back(a, b);
      }
    }
    SubtitleEngine e;
    ASSERT_EQ(e.Load(Fixture(c.fixture).c_str()), 0) << c.fixture;
    e.ConvertFramesToTime(25.0f);
    std::vector<std::pair<int64_t, int64_t>> ours;
    for (int i = 0; i < e.items.Count(); ++i) ours.emplace_back(e.items[i]->start, e.items[i]->end);
    ASSERT_EQ(ours.size(), theirs.size()) << c.fixture;
    for (size_t i = 0; i < ours.size(); ++i) {
      EXPECT_NEAR(ours[i].first, theirs[i].first, c.tolerance) << c.fixture << " entry " << i;
      if (c.compareEnds) EXPECT_NEAR(ours[i].second, theirs[i].second, c.tolerance) << c.fixture << " entry " << i;
    }
  }
}

}  // namespace
