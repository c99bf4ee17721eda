#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/subtitles/reader_test_util.h"

namespace {

constexpr int32_t kOpen = 2147483647;

std::string Ups(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += "../";
  return s;
}

struct FrameCase {
  const char* name;
  std::string bytes;
  int result;
  int32_t framesPending;
  std::vector<Entry> entries;
};

using MicroDvd = ReaderFiles;

TEST_F(MicroDvd, LinesFrameRatesAndStyles) {
  const FrameCase cases[] = {
      {"rate line converts at once", "{1}{1}23.976\n{250}{300}Hello|World\n", 0, 0, {{10427, 12512, "Hello\nWorld"}}},
      {"{0}{1} is a rate line even without a number", "{0}{1}Hi\n{100}{200}x\n", 0, 1, {{100, 200, "x"}}},
      {"a rate line after an entry is an entry", "{10}{20}a\n{1}{1}25\n", 0, 1, {{1, 1, "25"}, {10, 20, "a"}}},
      {"style codes dropped, unclosed brace drops the rest", "{100}{200}{y:i}Italic\n{300}{400}a{b\n{500}{600}c}d\n", 0,
       1, {{100, 200, "Italic"}, {300, 400, "a"}, {500, 600, "cd"}}},
      {"{DEFAULT} skipped anywhere, any case", "{DEFAULT}{c:$0000ff}\n{10}{20}a\n{default}zz\n", 0, 1, {{10, 20, "a"}}},
      {"open end and empty frame field", "{10}{}a\n{20}{30}b\n", 0, 1, {{10, 19, "a"}, {20, 30, "b"}}},
      {"last open end stays open through conversion", "{1}{1}25\n{250}{0}a\n", 0, 0, {{10000, kOpen, "a"}}},
      {"no DropInvalid: backwards and empty stay", "{50}{40}\n{60}{70}\n", 0, 1, {{50, 40, ""}, {60, 70, ""}}},
      {"unsorted lines sorted", "{300}{400}c\n{100}{200}a\n", 0, 1, {{100, 200, "a"}, {300, 400, "c"}}},
      {"CR LF and trailing blanks", "{10}{20}a  \r\n\r\n{30}{40}b\r\n", 0, 1, {{10, 20, "a  "}, {30, 40, "b"}}},
      {"huge frame number saturates", "{99999999999999}{1}x\n", 0, 1, {{kOpen, 1, "x"}}},
      {"empty file", "", 1, 1, {}},
      {"only blank lines", "\n\n\r\n", 1, 1, {}},
      {"negative frame", "{10}{20}a\n{-5}{10}x\n", -1, 1, {{10, 20, "a"}}},
      {"space in a frame", "{ 5}{10}x\n", -1, 1, {}},
      {"one field only", "{5}x\n", -1, 1, {}},
      {"SubRip layout", "1\n00:00:01,000 --> 00:00:02,000\nHi\n", -1, 1, {}},
  };
  for (const FrameCase& c : cases) {
    SubtitleEngine e;
    std::string path = Write("f.sub", c.bytes);
    EXPECT_EQ(e.ReadMicroDvd(path.c_str()), c.result) << c.name;
    EXPECT_EQ(e.framesPending, c.framesPending) << c.name;
    EXPECT_EQ(Entries(e), c.entries) << c.name;
    EXPECT_STREQ(e.formatName.c_str(), "MicroDVD") << c.name;
  }
}

using AqTitle = ReaderFiles;

TEST_F(AqTitle, MarkersTextLinesAndRate) {
  const FrameCase cases[] = {
      {"rate entry then two entries", "-->> 0\n25\n\n-->> 100\nOne\n\n-->> 200\nTwo\nlines\n", 0, 0,
       {{4000, 7999, "One"}, {8000, kOpen, "Two\nlines"}}},
      {"no rate: frames pending, ends from the next start", "-->> 10\nA\n\n-->> 20\n\nB\n", 0, 1,
       {{10, 19, "A"}, {20, kOpen, "B"}}},
      {"empty text dropped", "-->> 10\n\n\n-->> 20\nB\n\n", 0, 1, {{20, kOpen, "B"}}},
      {"blank lines between entries", "\n\n-->> 10\nA\n\n\n\n-->> 20\nB\n\n", 0, 1, {{10, 19, "A"}, {20, kOpen, "B"}}},
      {"only one line after the marker at the end", "-->> 10\nA\n\n-->> 20\nB", -1, 1, {{10, 0, "A"}}},
      {"marker without its space", "-->>10\nA\n\n", -1, 1, {}},
      {"marker without a number", "-->> x\nA\n\n", -1, 1, {}},
      {"lower-case marker text is not a marker", "-- 10\nA\n\n", -1, 1, {}},
      {"empty file", "", 1, 1, {}},
  };
  for (const FrameCase& c : cases) {
    SubtitleEngine e;
    std::string path = Write("f.aqt", c.bytes);
    EXPECT_EQ(e.ReadAqTitle(path.c_str()), c.result) << c.name;
    EXPECT_EQ(e.framesPending, c.framesPending) << c.name;
    EXPECT_EQ(Entries(e), c.entries) << c.name;
  }
}

using MicroDvdIni = ReaderFiles;

TEST_F(MicroDvdIni, ChoosesTheLanguageAndReportsStreams) {
  Write("english.sub", "{10}{20}Hello\n");
  Write("french.sub", "{10}{20}Bonjour\n");
  const std::string index = Write("movie.ini",
                                  "  [Micro DVD Ini File]  \r\n; comment\r\n[Other]\r\n1=xxxxIgnored\r\nFile=none.sub\r\n"
                                  "[subtitles]\r\n1=0000English ; note\r\nFile=english.sub\r\n"
                                  "2=0000French\r\n3=0000Orphan\r\nFile=french.sub\r\n4=0000NoFile\r\n");
  struct Case { const char* language; const char* text; int selected; };
  const Case cases[] = {{"french", "Bonjour", 1}, {"ENGLISH", "Hello", 0}, {"", "Hello", 0}, {"German", "Hello", 0}};
  for (const Case& c : cases) {
    SubtitleEngine e;
    e.preferredLanguage = c.language;
    ASSERT_EQ(e.Load(index.c_str()), 0) << c.language;
    EXPECT_STREQ(e.formatName.c_str(), "MicroDVD-INI");
    EXPECT_STREQ(e.path.c_str(), index.c_str());
    ASSERT_EQ(e.streams.Count(), 2);
    EXPECT_STREQ(e.streams.Get(0).c_str(), "English");
    EXPECT_STREQ(e.streams.Get(1).c_str(), "French");
    EXPECT_EQ(e.selectedStream, c.selected);
    EXPECT_EQ(Entries(e), (std::vector<Entry>{{10, 20, c.text}})) << c.language;
    EXPECT_EQ(e.framesPending, 1);
  }
}

TEST_F(MicroDvdIni, DirectoriesNestedIndexesAndRejections) {
  ASSERT_EQ(std::system(("mkdir -p '" + dir + "/subs'").c_str()), 0);
  Write("subs/a.srt", "1\n00:00:01,000 --> 00:00:02,000\nIn a folder\n");
  const std::string folder = Write("folder.mdv", "[Micro DVD Ini File]\n[SUBTITLES]\nDirectory=subs\n1=0000En\nFile=a.srt\n");
  Write("nested.ini", "[Micro DVD Ini File]\n[SUBTITLES]\n1=0000En\nFile=folder.mdv\n");
  SubtitleEngine e;
  ASSERT_EQ(e.Load(folder.c_str()), 0);
  EXPECT_EQ(Entries(e), (std::vector<Entry>{{1000, 2000, "In a folder"}}));
  ASSERT_EQ(e.Load((dir + "/nested.ini").c_str()), 0);
  EXPECT_STREQ(e.path.c_str(), (dir + "/nested.ini").c_str());
  EXPECT_EQ(e.items.Count(), 1);

  struct Case { const char* name; std::string bytes; };
  const Case rejected[] = {
      {"header", "[MicroDVD Ini File]\n[SUBTITLES]\n1=0000En\nFile=subs/a.srt\n"},
      {"no entry", "[Micro DVD Ini File]\n[SUBTITLES]\n1=0000En\n"},
      {"target does not load", "[Micro DVD Ini File]\n[SUBTITLES]\n1=0000En\nFile=missing.srt\n"},
      {"folder above the root", "[Micro DVD Ini File]\n[SUBTITLES]\nDirectory=" + Ups(60) + "\n1=0000En\nFile=a.srt\n"},
      {"names itself", "[Micro DVD Ini File]\n[SUBTITLES]\n1=0000En\nFile=bad.ini\n"},
  };
  for (const Case& c : rejected) {
    const std::string path = Write("bad.ini", c.bytes);
    EXPECT_EQ(e.Load(path.c_str()), -1) << c.name;
    EXPECT_EQ(e.items.Count(), 0) << c.name;
    EXPECT_TRUE(e.formatName.IsEmpty()) << c.name;
  }
}

TEST_F(MicroDvdIni, CyclesAreRefusedAndChainsBounded) {
  // a -> b -> a, through another spelling of the same file.
  Write("a.ini", "[Micro DVD Ini File]\n[SUBTITLES]\n1=0000En\nFile=b.ini\n");
  Write("b.ini", "[Micro DVD Ini File]\n[SUBTITLES]\n1=0000En\nFile=./a.ini\n");
  SubtitleEngine e;
  EXPECT_EQ(e.Load((dir + "/a.ini").c_str()), -1);
  EXPECT_EQ(e.items.Count(), 0);

  // A chain of distinct indexes ends after a fixed depth; a short chain loads.
  Write("end.sub", "{1}{2}x\n");
  const int kChain = 30;
  for (int i = 0; i < kChain; ++i) {
    std::string next = i + 1 < kChain ? "c" + std::to_string(i + 1) + ".ini" : "end.sub";
    Write("c" + std::to_string(i) + ".ini", "[Micro DVD Ini File]\n[SUBTITLES]\n1=0000En\nFile=" + next + "\n");
  }
  EXPECT_EQ(e.Load((dir + "/c0.ini").c_str()), -1);
  EXPECT_EQ(e.Load((dir + "/c" + std::to_string(kChain - 3) + ".ini").c_str()), 0);
  EXPECT_EQ(e.items.Count(), 1);
}

}  // namespace
