// The bytes every reader sees: byte-order marks, UTF-16, text-mode line ends, zero bytes and the
// size limit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "subtitles/subtitle_text.h"
#include "tests/subtitles/reader_test_util.h"

namespace {

using SubtitleTextFiles = ReaderFiles;

std::vector<std::string> Lines(SubtitleText& text) {
  std::vector<std::string> lines;
  char buffer[8];  // small, so that long lines arrive in pieces
  while (text.ReadLine(buffer, sizeof buffer) == 0) lines.push_back(buffer);
  return lines;
}

TEST_F(SubtitleTextFiles, WhatTheReadersSee) {
  struct Case {
    const char* name;
    std::string bytes;
    bool textMode;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"UTF-8 mark skipped", "\xEF\xBB\xBFone\ntwo", true, {"one", "two"}},
      {"a mark later is text", "a\n\xEF\xBB\xBF" "b\n", true, {"a", "\xEF\xBB\xBF" "b"}},
      {"CR LF in text mode", "a\r\nb\r\n", true, {"a", "b"}},
      {"binary mode: a CR before a CR ends a line of its own", "a\r\nb\r\r\n", false, {"a", "b", ""}},
      {"CR-only line ends", "a\rb\r", true, {"a", "b"}},
      {"long lines in pieces", "0123456789abc\n", true, {"0123456", "789abc"}},
      {"a zero byte does not end the file", std::string("a\n\0\nb\n", 6), true, {"a", "", "", "b"}},
      {"UTF-16 LE", std::string("\xFF\xFE" "a\0\r\0\n\0\xE9\0\n\0", 12), true, {"a", "\xC3\xA9"}},
      {"UTF-16 BE with a surrogate pair", std::string("\xFE\xFF\xD8\x34\xDD\x1E\0\n", 8), true, {"\xF0\x9D\x84\x9E"}},
      {"UTF-16 unpaired surrogate and odd last byte", std::string("\xFF\xFE\x00\xD8" "a\0x", 7), true,
       {"\xEF\xBF\xBD" "a"}},
      {"empty", "", true, {}},
  };
  for (const Case& c : cases) {
    SubtitleText text;
    ASSERT_EQ(text.Open(Write("t", c.bytes).c_str(), c.textMode), 0) << c.name;
    EXPECT_EQ(Lines(text), c.lines) << c.name;
  }
}

TEST_F(SubtitleTextFiles, RefusesWhatCannotBeRead) {
  SubtitleText text;
  EXPECT_EQ(text.Open((dir + "/missing").c_str(), true), -1);
  EXPECT_EQ(text.Open(dir.c_str(), true), -1);  // a folder
  EXPECT_EQ(text.Open(nullptr, true), -1);
  const std::string big = Write("big.srt", "1\n");
  ASSERT_EQ(truncate(big.c_str(), SubtitleText::kMaxFileBytes + 1), 0);
  EXPECT_EQ(text.Open(big.c_str(), true), -1);
  SubtitleEngine e;
  EXPECT_EQ(e.Load(big.c_str()), -1);
  ASSERT_EQ(truncate(big.c_str(), SubtitleText::kMaxFileBytes), 0);
  EXPECT_EQ(text.Open(big.c_str(), true), 0);
}

}  // namespace
