#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "subtitles/reader_util.h"
#include "tests/subtitles/reader_test_util.h"

namespace {

constexpr int32_t kOpen = 2147483647;

struct LineCase {
  const char* name;
  std::string bytes;
  int result;
  std::vector<Entry> entries;
  int32_t fileDelay = 0;
};

// Latin-1 text as UTF-16 with a byte-order mark.
std::string Utf16(const std::string& latin1, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char c : latin1) {
    char units[2] = {static_cast<char>(c), 0};
    if (bigEndian) std::swap(units[0], units[1]);
    out.append(units, 2);
  }
  return out;
}

using Reader = int (SubtitleEngine::*)(const char*);

class LineFormats : public ReaderFiles {
protected:
  void Check(Reader read, const char* format, const char* file, const std::vector<LineCase>& cases) {
    for (const LineCase& c : cases) {
      SubtitleEngine e;
      const std::string path = Write(file, c.bytes);
      EXPECT_EQ((e.*read)(path.c_str()), c.result) << format << ": " << c.name;
      EXPECT_EQ(Entries(e), c.entries) << format << ": " << c.name;
      EXPECT_EQ(e.fileDelay, c.fileDelay) << format << ": " << c.name;
      EXPECT_STREQ(e.formatName.c_str(), format) << c.name;
      EXPECT_STREQ(e.path.c_str(), path.c_str()) << c.name;
    }
  }
};

TEST_F(LineFormats, SubRip) {
  Check(&SubtitleEngine::ReadSubRip, "SubRip", "f.srt",
        {
            {"two entries, blank lines around",
             "\n\n1\n00:00:01,500 --> 00:00:03,000\nHello\nWorld\n\n\n\n2\n00:00:04,000 --> 00:00:05,250\nAgain\n\n",
             0, {{1500, 3000, "Hello\nWorld"}, {4000, 5250, "Again"}}},
            {"position text after the end time", "1\n00:00:01,500 --> 00:00:03,000  X1:100 X2:600\nHi\n", 0,
             {{1500, 3000, "Hi"}}},
            {"last entry without a blank line, no line end", "1\n00:00:01,000 --> 00:00:02,000\nEnd", 0,
             {{1000, 2000, "End"}}},
            {"file ends after the time line", "1\n00:00:01,000 --> 00:00:02,000\n", 0, {{1000, 2000, ""}}},
            {"overlapping and unsorted entries, counters not checked",
             "7\n00:00:05,000 --> 00:00:08,000\nB\n\n3\n00:00:04,000 --> 00:00:06,000\nA\n", 0,
             {{4000, 6000, "A"}, {5000, 8000, "B"}}},
            {"field widths: a third digit is not an hour", "1\n100:00:01,000 --> 00:00:02,000\nx\n", -1, {}},
            {"counter 0 rejects", "0\n00:00:01,000 --> 00:00:02,000\nx\n", -1, {}},
            {"counter not a number", "x\n00:00:01,000 --> 00:00:02,000\nx\n", -1, {}},
            {"no arrow", "1\n00:00:01,000 -> 00:00:02,000\nx\n", -1, {}},
            {"bad end time", "1\n00:00:01,000 --> 00:00:02.000\nx\n", -1, {}},
            {"time line missing", "1\n", -1, {}},
            {"rejection keeps what was read", "1\n00:00:01,000 --> 00:00:02,000\na\n\nx\n", -1, {{1000, 2000, "a"}}},
            {"empty file", "", 1, {}},
            {"UTF-8 byte-order mark", "\xEF\xBB\xBF" "1\n00:00:01,000 --> 00:00:02,000\nx\n", 0, {{1000, 2000, "x"}}},
            {"CR LF and a CR CR LF line end", "1\r\n00:00:01,000 --> 00:00:02,000\r\nx\r\r\n\r\n", 0,
             {{1000, 2000, "x"}}},
            {"UTF-16 LE with its mark", Utf16("1\r\n00:00:01,000 --> 00:00:02,000\r\n\xE9\r\n", false), 0,
             {{1000, 2000, "\xC3\xA9"}}},
            {"UTF-16 BE with its mark", Utf16("1\n00:00:01,000 --> 00:00:02,000\nx\n", true), 0, {{1000, 2000, "x"}}},
        });
}

TEST_F(LineFormats, SubRipEntryOfManyLines) {
  // Joining the lines of one entry must stay linear in their number.
  std::string bytes = "1\n00:00:01,000 --> 00:00:02,000\n";
  for (int i = 0; i < 400000; ++i) bytes += "ab\n";
  SubtitleEngine e;
  ASSERT_EQ(e.ReadSubRip(Write("long.srt", bytes).c_str()), 0);
  ASSERT_EQ(e.items.Count(), 1);
  EXPECT_EQ(e.items[0]->text.Length(), 400000 * 3 - 1);
}

// Styling tags of real SubRip files are not text; look-alikes that are not styling stay.
TEST(SubRipStyling, TagsAndOverridesAreDroppedOtherTextStays) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"<i>Where?</i>", "Where?"},
      {"<I>Loud</I> and <b>bold</b>, <U>u</u> <s>x</S>", "Loud and bold, u x"},
      {"<font color=\"#ffff00\">- Hurry.</font>\n- Coming!", "- Hurry.\n- Coming!"},
      {"{\\an8}On top", "On top"},
      {"a < b and c > d", "a < b and c > d"},
      {"<fontish> <i", "<fontish> <i"},
      {"{not an override}", "{not an override}"},
      {"<font color=red unclosed", "<font color=red unclosed"},
      {"{\\i1 unclosed", "{\\i1 unclosed"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.out, StripSubRipStyling(c.in)) << c.in;
}

TEST_F(LineFormats, SubViewer1) {
  Check(&SubtitleEngine::ReadSubViewer1, "SubViewer 1.0", "f.sub",
        {
            {"delay and two-line entry",
             "[DELAY]\n2\n[00:01:00]\nHello|World\n[00:01:05]\n\n[00:02:00]\nLast\n", 0,
             {{60000, 64999, "Hello\nWorld"}, {120000, kOpen, "Last"}}, 2000},
            {"delay in any case", "[delay]\n-3\n", 1, {}, -3000},
            {"an absurd delay saturates", "[DELAY]\n99999999999999999999\n", 1, {}, 2147483647},
            {"an odd header line shifts the pairing", "[TITLE]\n[00:00:01]\nA\n[00:00:02]\nB\n", 1, {}},
            {"pairs that are not times are dropped", "x\ny\n[00:00:01]\nA\n", 0, {{1000, kOpen, "A"}}},
            {"no time lines", "1\n00:00:01,000 --> 00:00:02,000\nx\n", 1, {}},
            {"a last line without its pair is lost", "[00:00:01]\nA\n[00:00:02]", 0, {{1000, kOpen, "A"}}},
        });
}

TEST_F(LineFormats, SubViewer2) {
  Check(&SubtitleEngine::ReadSubViewer2, "SubViewer 2.0", "f.sub",
        {
            {"header, delay, entries",
             "[INFORMATION]\n[DELAY]50\n[END INFORMATION]\n[SUBTITLE]\n00:00:01.00,00:00:03.50\nHello[br]World\n\n"
             "00:00:04.00,00:00:05.00\nLast[BR]\n",
             0, {{1000, 3500, "Hello\nWorld"}, {4000, 5000, "Last[BR]"}}, 500},
            {"separator content ignored", "00:00:01.00,00:00:02.00\nA\nnot blank\n00:00:03.00,00:00:04.00\nB\n", 0,
             {{1000, 2000, "A"}, {3000, 4000, "B"}}},
            {"the last entry kept when the file ends after its text", "00:00:01.00,00:00:02.00\nA", 0,
             {{1000, 2000, "A"}}},
            {"an extra blank line rejects", "00:00:01.00,00:00:02.00\nA\n\n\n00:00:03.00,00:00:04.00\nB\n", -1,
             {{1000, 2000, "A"}}},
            {"text line missing", "00:00:01.00,00:00:02.00\n", -1, {}},
            {"no comma", "00:00:01.00\nA\n", -1, {}},
            {"bad time", "00:00:01,00,00:00:02.00\nA\n", -1, {}},
            {"SubRip layout", "1\n00:00:01,000 --> 00:00:02,000\nx\n", -1, {}},
            {"headers only", "[INFORMATION]\n[END INFORMATION]\n", 1, {}},
            {"an absurd delay saturates", "[DELAY]-99999999999999999999\n", 1, {}, -2147483647 - 1},
        });
}

TEST_F(LineFormats, TmPlayer) {
  Check(&SubtitleEngine::ReadTmPlayer, "TMPlayer", "f.txt",
        {
            {"both separators, at most four seconds",
             "0:01:02=Hi\n\n00:01:12:Hi|there\n00:01:14:a:b=c\n", 0,
             {{62000, 66000, "Hi"}, {72000, 73999, "Hi\nthere"}, {74000, 78000, "a:b=c"}}},
            {"the earlier separator wins", "0:00:01=x:y\n", 0, {{1000, 5000, "x:y"}}},
            {"eight characters of time", "10:00:00:x\n", 0, {{36000000, 36004000, "x"}}},
            {"more than eight characters of time", "100:00:00:x\n", -1, {}},
            {"no separator", "Hello\n", -1, {}},
            {"time does not parse", "a:b:c:x\n", -1, {}},
            {"SubRip layout", "1\n00:00:01,000 --> 00:00:02,000\nx\n", -1, {}},
            {"empty text dropped", "0:00:01:\n0:00:02:b\n", 0, {{2000, 6000, "b"}}},
        });
}

TEST_F(LineFormats, DvdSubtitle) {
  Check(&SubtitleEngine::ReadDvdSubtitle, "DVDSubtitle", "f.sub",
        {
            {"head, duration, open end",
             "{HEAD\nSUBDELAY=150\n}\n{T 00:00:05:50 D=200\n  Hi  \n}\nnoise {T 00:00:09:00\nNext\nline\n}", 0,
             {{5500, 7500, "Hi"}, {9000, kOpen, "Next\nline"}}, 1500},
            {"head after an entry rejects", "{T 00:00:01:00\nA\n}{HEAD\n}", -1, {{1000, 0, "A"}}},
            {"bad time rejects", "{T 0x:00:01:00\nA\n}", -1, {}},
            {"bad duration rejects", "{T 00:00:01:00 D=x\nA\n}", -1, {}},
            {"blocks without a line break, other blocks, unfinished blocks ignored",
             "{T 00:00:01:00}{X y\n}{t 00:00:01:00\nlower}{T 00:00:02:00\nA\n}{T 00:00:03:00\nB", 0,
             {{2000, kOpen, "A"}}},
            {"a brace inside a block is an ordinary byte", "{T 00:00:01:00\n{x\n}", 0, {{1000, kOpen, "{x"}}},
            {"missing picture dropped", "{T 00:00:01:00 D=100 P=missing.bmp\n}{T 00:00:03:00\nB\n}", 0,
             {{3000, kOpen, "B"}}},
            {"no blocks", "1\n00:00:01,000 --> 00:00:02,000\nx\n", 1, {}},
        });
}

TEST_F(LineFormats, DvdSubtitlePictureFromTheFilesFolder) {
  // A 1 x 1 24-bit white bitmap beside the subtitle file.
  std::string bmp = "BM" + std::string(8, '\0') + std::string("\x36\0\0\0", 4) + std::string("\x28\0\0\0", 4) +
                    std::string("\x01\0\0\0\x01\0\0\0\x01\0\x18\0", 12) + std::string(24, '\0') +
                    std::string("\xFF\xFF\xFF\0", 4);
  Write("pic.bmp", bmp);
  SubtitleEngine e;
  const std::string path = Write("f.sub", "{T 00:00:01:00 D=100 P=pic.bmp and more\nignored\n}");
  ASSERT_EQ(e.ReadDvdSubtitle(path.c_str()), 0);
  ASSERT_EQ(e.items.Count(), 1);
  ASSERT_EQ(e.items[0]->kind, SubtitleItem::kPicture);
  EXPECT_EQ(e.items[0]->picture->width, 1);
  EXPECT_EQ(e.items[0]->picture->pixels[0], 255);
  EXPECT_EQ(e.items[0]->end, 2000);
}

}  // namespace
