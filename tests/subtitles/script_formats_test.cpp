#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/subtitles/reader_test_util.h"

namespace {

constexpr int32_t kOpen = 2147483647;

struct ScriptCase {
  const char* name;
  std::string bytes;
  int result;
  std::vector<Entry> entries;
};

using Reader = int (SubtitleEngine::*)(const char*);

class ScriptFormats : public ReaderFiles {
protected:
  void Check(Reader read, const char* format, const char* file, const std::vector<ScriptCase>& cases) {
    for (const ScriptCase& c : cases) {
      SubtitleEngine e;
      const std::string path = Write(file, c.bytes);
      EXPECT_EQ((e.*read)(path.c_str()), c.result) << format << ": " << c.name;
      EXPECT_EQ(Entries(e), c.entries) << format << ": " << c.name;
      EXPECT_EQ(e.framesPending, 0);
    }
  }
};

const char* const kV4Line = "Dialogue: Marked=0,0:00:01.00,0:00:03.50,Default,,0000,0000,0000,,{\\i1}Hello\\NWorld\n";

TEST_F(ScriptFormats, SubStationAlpha) {
  Check(&SubtitleEngine::ReadSubStationAlpha, "Sub Station Alpha", "f.ssa",
        {
            {"v4 line", std::string("[Script Info]\nScriptType: v4.00\n[Events]\n") + kV4Line, 0,
             {{1000, 3500, "Hello\nWorld"}}},
            {"v3: the ninth field's comma is stripped", std::string("ScriptType: v3.00\n") + kV4Line, 0,
             {{1000, 3500, "Hello\nWorld"}}},
            {"no script type counts eight fields", kV4Line, 0, {{1000, 3500, "Hello\nWorld"}}},
            {"v4.00+ (layer first), commas in the text, \\n",
             "ScriptType: V4.00+\nDialogue: 0,0:00:02.00,0:00:04.00,Default,,0,0,0,,a, b\\nc}d{e\n", 0,
             {{2000, 4000, "a, b\ncd"}}},
            {"timer halves every time", "Timer: 50.0000\nScriptType: v4.00\nDialogue: 0,0:00:10.00,0:00:20.00,D,,0,0,0,,x\n",
             0, {{5000, 10000, "x"}}},
            {"an absurd timer saturates the times", "Timer: 1e300\nDialogue: 0,0:00:10.00,0:00:20.00,D,,0,0,0,x\n", 0,
             {{kOpen, kOpen, "x"}}},
            {"a timer of 0 or less is ignored", "Timer: 0\nTimer: -5\nDialogue: 0,0:00:10.00,0:00:20.00,D,,0,0,0,x\n", 0,
             {{10000, 20000, "x"}}},
            {"the script type applies from its line on",
             "Dialogue: 0,0:00:01.00,0:00:02.00,D,,0,0,0,x,y\nScriptType: v4.00\nDialogue: 0,0:00:03.00,0:00:04.00,D,,0,0,0,x,y\n",
             0, {{1000, 2000, "x,y"}, {3000, 4000, "y"}}},
            {"leading commas of the text removed", "Dialogue: 0,0:00:01.00,0:00:02.00,D,,0,0,0,,,a,\n", 0,
             {{1000, 2000, "a,"}}},
            {"empty text kept, unsorted sorted",
             "ScriptType: v4.00+\nDialogue: 0,0:00:05.00,0:00:06.00,D,,0,0,0,,{\\pos(1,2)}\n"
             "dialogue: 0,0:00:01.00,0:00:02.00,D,,0,0,0,,first\n",
             0, {{1000, 2000, "first"}, {5000, 6000, ""}}},
            {"picture kept even when it does not load",
             "ScriptType: v4.00\nPicture: 0,0:00:01.00,0:00:02.00,D,,0,0,0,,no such file.bmp\n", 0,
             {{1000, 2000, "<picture>"}}},
            {"script type v2 rejects", "ScriptType: v2\n", -1, {}},
            {"too few fields reject", "ScriptType: v4.00+\nDialogue: 0,0:00:01.00,0:00:02.00,D\n", -1, {}},
            {"bad time rejects", "ScriptType: v4.00+\nDialogue: 0,0:00:01.00,x,D,,0,0,0,,a\n", -1, {}},
            {"no events", "[Script Info]\nTitle: x\n", 1, {}},
            {"CR LF from the wild", "ScriptType: v4.00+\r\nDialogue: 0,0:00:01.00,0:00:02.00,D,,0,0,0,,a  \r\n", 0,
             {{1000, 2000, "a  "}}},
        });
}

TEST_F(ScriptFormats, JacoSub) {
  Check(&SubtitleEngine::ReadJacoSub, "JACOsub", "f.js",
        {
            {"escapes, tilde and comments",
             "#T100\n\n# comment\n0:00:01.00 0:00:02.00 D Hello\\nWorld~again{comment}\n", 0,
             {{1000, 2000, "Hello\nWorld again"}}},
            {"colour and font codes drop their argument",
             "0:00:01.00 0:00:02.00 D a\\C3b\\F1c\\\\d\\{e\\~f\\xg\n", 0, {{1000, 2000, "abc\\d{e~fg"}}},
            {"a backslash inside a comment is no escape", "0:00:01.00 0:00:02.00 D {x\\}y\n", 0, {{1000, 2000, "y"}}},
            {"two spaces give an empty directive", "0:00:03.00 0:00:04.00  text with spaces\n", 0,
             {{3000, 4000, "text with spaces"}}},
            {"unsorted sorted", "0:00:03.00 0:00:04.00 D b\n0:00:01.00 0:00:02.00 D a\n", 0,
             {{1000, 2000, "a"}, {3000, 4000, "b"}}},
            {"fewer than three spaces reject", "0:00:01.00 0:00:02.00 D\n", -1, {}},
            {"a start split by a space is no time", "0:00:01. 5 0:00:02.00 D x\n", -1, {}},
            {"bad end", "0:00:01.00 x D y\n", -1, {}},
            {"only directives", "#T100\n#D\n", 1, {}},
        });
}

TEST_F(ScriptFormats, RealText) {
  Check(&SubtitleEngine::ReadRealText, "RealText", "f.rt",
        {
            {"text accumulates until clear",
             "<window><time begin=\"1\"/>One <time begin=\"3\"/>Two<time begin=\"5\"/><clear/>Three</window>", 0,
             {{1000, 2999, "One"}, {3000, 4999, "One Two"}, {5000, kOpen, "Three"}}},
            {"a clear before a time tag empties what it would show",
             "<time begin=\"1\"/>One<clear/><time begin=\"3\"/>Two", 0, {{3000, kOpen, "Two"}}},
            {"time notations and explicit ends",
             "<time begin='1:30' end='1:31.5'/>a<time begin=1:02:03.5><clear/>b<time begin=\"x\"/><clear/>c", 0,
             {{90000, 91500, "a"}, {3723500, kOpen, "b"}}},
            {"text before the first valid time is not shown", "Intro <b>bold</b><time begin=\"2\"/>Go", 0,
             {{2000, kOpen, "Intro bold Go"}}},
            {"markup, references, line breaks",
             "<time begin=\"1\"/><p>Caf&eacute; &amp; Bar&nbsp;<br/>line\r\n<time begin=\"2\"/><clear/>Tom & Jerry", 0,
             {{1000, 1999, "Caf\xE9 & Bar \nline"}, {2000, kOpen, "Tom & Jerry"}}},
            {"no time tag", "<window>Text</window>", 1, {}},
            {"empty file", "", -1, {}},
            {"only a byte-order mark", "\xEF\xBB\xBF", -1, {}},
        });
}

TEST_F(ScriptFormats, RealTextStoresABoundedAmountOfText) {
  // Many time tags without a clear would store every earlier text again in every entry.
  std::string bytes;
  const std::string words(200, 'w');
  for (int i = 0; i < 60000; ++i) bytes += "<time begin=\"" + std::to_string(i) + "\"/>" + words + " ";
  SubtitleEngine e;
  ASSERT_EQ(e.ReadRealText(Write("big.rt", bytes).c_str()), 0);
  size_t total = 0;
  int longest = 0;
  for (int i = 0; i < e.items.Count(); ++i) {
    total += static_cast<size_t>(e.items[i]->text.Length());
    longest = std::max(longest, e.items[i]->text.Length());
  }
  EXPECT_LE(total, size_t{16} << 20);
  EXPECT_LE(longest, 1024 + 201);
  EXPECT_GT(e.items.Count(), 1000);
  // The text starts over once it is longer than a screen could hold.
  EXPECT_EQ(e.items[0]->text.Length(), 200);
  EXPECT_EQ(e.items[5]->text.Length(), 6 * 201 - 1);
  EXPECT_EQ(e.items[6]->text.Length(), 200);
}

TEST_F(ScriptFormats, RealTextManyTagsAfterLongText) {
  // Every tag looks at the text built so far; that text stays short, so this stays linear.
  std::string bytes = "<time begin=\"1\"/>" + std::string(1000, 'x');
  for (int i = 0; i < 300000; ++i) bytes += "<b>";
  bytes += "<time begin=\"2\"/>end";
  SubtitleEngine e;
  ASSERT_EQ(e.ReadRealText(Write("tags.rt", bytes).c_str()), 0);
  ASSERT_EQ(e.items.Count(), 2);
  EXPECT_EQ(e.items[0]->text.Length(), 1000);
}

}  // namespace
