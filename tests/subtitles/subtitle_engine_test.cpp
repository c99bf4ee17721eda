#include "subtitles/subtitle_engine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

struct Entry { int32_t start, end; const char* text; };

void Fill(SubtitleEngine& e, std::initializer_list<Entry> entries) {
  for (const Entry& x : entries) e.items.Append(new SubtitleItem(x.start, x.end, SharedString(x.text)));
}

std::vector<int32_t> Starts(const SubtitleEngine& e) {
  std::vector<int32_t> v;
  for (int i = 0; i < e.items.Count(); ++i) v.push_back(e.items[i]->start);
  return v;
}
std::vector<int32_t> Ends(const SubtitleEngine& e) {
  std::vector<int32_t> v;
  for (int i = 0; i < e.items.Count(); ++i) v.push_back(e.items[i]->end);
  return v;
}

SubtitleBitmap* Bitmap(int w, int h) {
  auto* b = new SubtitleBitmap;
  if (w > 0 && h > 0) {
    b->width = w;
    b->height = h;
    b->pixels = new uint8_t[w * h];
    std::memset(b->pixels, 200, w * h);
  }
  return b;
}

TEST(SubtitleEngineUpdate, WalksTheTimeline) {
  SubtitleEngine e;
  e.renderer.SetSize(320, 240);
  Fill(e, {{1000, 2000, "first"}, {3000, 4000, "second"}});
  struct Step { int32_t t0; int result; int current; };
  const Step steps[] = {
      {500, -1, -1},    // before the first entry: straight to the binary search
      {1000, 0, 0},     // first shown
      {1040, 1, 0},     // unchanged
      {2500, -1, 0},    // in the gap: current is kept
      {3000, 0, 1},     // second shown
      {3040, 1, 1},
      {2000, 0, 0},     // seeking back finds the first again (end inclusive)
      {5000, -1, 0},
      {1500, 0, 0},     // the same entry again after nothing: 0, not redrawn
  };
  for (const Step& s : steps) {
    EXPECT_EQ(e.Update(s.t0, s.t0 + 40), s.result) << s.t0;
    EXPECT_EQ(e.current, s.current) << s.t0;
    EXPECT_EQ(e.status, s.result) << s.t0;
  }
}

TEST(SubtitleEngineUpdate, FileDelayShiftsEveryQuery) {
  SubtitleEngine e;
  Fill(e, {{1000, 2000, "late"}});
  e.fileDelay = 5000;
  EXPECT_EQ(e.Update(5000, 5900), -1);
  EXPECT_EQ(e.Update(5960, 6000), 0);
  EXPECT_EQ(e.Update(7000, 7040), 1);
  EXPECT_EQ(e.Update(7001, 7040), -1);
  // A delay at the limit of the range must not wrap the query around.
  e.fileDelay = -2147483647 - 1;
  EXPECT_EQ(e.FindItemAt(2147483600, 2147483647), -1);
}

TEST(SubtitleEngineUpdate, FramesPendingHideEverythingUntilConverted) {
  SubtitleEngine e;
  Fill(e, {{250, 300, "frames"}, {400, 2147483647, "open"}});
  e.framesPending = 1;
  EXPECT_EQ(e.Update(10000, 10040), -1);
  e.ConvertFramesToTime(0.0f);
  e.ConvertFramesToTime(std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(e.framesPending, 1);
  e.ConvertFramesToTime(25.0f);
  EXPECT_EQ(e.framesPending, 0);
  EXPECT_EQ(Starts(e), (std::vector<int32_t>{10000, 16000}));
  EXPECT_EQ(Ends(e), (std::vector<int32_t>{12000, 2147483647}));  // the open end stays open
  e.ConvertFramesToTime(30.0f);  // no effect after the first
  EXPECT_EQ(Starts(e), (std::vector<int32_t>{10000, 16000}));
  EXPECT_EQ(e.Update(10000, 10040), 0);
}

TEST(SubtitleEngineUpdate, PicturesAndRendererFailures) {
  SubtitleEngine e;
  e.renderer.SetSize(100, 100);
  e.items.Append(new SubtitleItem(0, 1000, Bitmap(10, 4)));
  EXPECT_EQ(e.Update(0, 40), 0);
  bool drawn = false;
  for (int y = 0; y < 100; ++y) drawn |= e.renderer.RowUsed(y);
  EXPECT_TRUE(drawn);
  // A layer that cannot draw: the new entry's status is -1, the next call for it returns 0.
  e.items.Append(new SubtitleItem(2000, 3000, SharedString("text")));
  e.renderer.SetSize(0, 0);
  EXPECT_EQ(e.Update(2000, 2040), -1);
  EXPECT_EQ(e.Update(2040, 2080), 0);
}

TEST(SubtitleEnginePostLoad, SortFillAndDrop) {
  SubtitleEngine e;
  Fill(e, {{3000, 3500, "c"}, {2000, 2500, "b"}, {1000, 1500, "a"}});
  e.SortByStart();
  EXPECT_EQ(Starts(e), (std::vector<int32_t>{1000, 2000, 3000}));
  EXPECT_STREQ(e.items[0]->text.c_str(), "a");

  e.Clear();
  Fill(e, {{1000, 0, "a"}, {5000, 0, "b"}, {9000, 0, "c"}});
  e.FillOpenEnds();
  EXPECT_EQ(Ends(e), (std::vector<int32_t>{4999, 8999, 2147483647}));

  e.Clear();
  Fill(e, {{0, 0, "successor at zero"}, {0, 500, "x"}, {100, 100, "start = end"}, {300, 200, "backwards"},
           {400, 900, ""}, {600, 700, "kept"}});
  e.items.Append(new SubtitleItem(700, 800, Bitmap(0, 0)));
  e.items.Append(new SubtitleItem(800, 900, Bitmap(2, 2)));
  e.FillOpenEnds();
  EXPECT_EQ(e.items[0]->end, 0);  // its successor starts at 0: stays open
  e.DropInvalid();
  ASSERT_EQ(e.items.Count(), 3);
  EXPECT_STREQ(e.items[0]->text.c_str(), "x");
  EXPECT_STREQ(e.items[1]->text.c_str(), "kept");
  EXPECT_EQ(e.items[2]->kind, SubtitleItem::kPicture);
}

TEST(SubtitleEnginePostLoad, SortKeepsEqualStartsAndHandlesLongLists) {
  SubtitleEngine e;
  Fill(e, {{2000, 1, "b1"}, {1000, 1, "a"}, {2000, 2, "b2"}});
  e.SortByStart();
  EXPECT_EQ(Starts(e), (std::vector<int32_t>{1000, 2000, 2000}));
  e.Clear();
  for (int i = 30000; i > 0; --i) e.items.Append(new SubtitleItem(i * 10, i * 10 + 5, SharedString("x")));
  e.SortByStart();
  for (int i = 0; i + 1 < e.items.Count(); ++i) ASSERT_LT(e.items[i]->start, e.items[i + 1]->start);
}

TEST(SubtitleEngine, ClearAndDescribe) {
  SubtitleEngine e;
  Fill(e, {{0, 10, "a"}});
  e.fileDelay = 7;
  e.path = "/films/movie.srt";
  e.formatName = "SubRip";
  e.selectedStream = 1;
  e.streams.Append(SharedString("English"));
  e.streams.Append(SharedString("French"));
  SubtitleInfo info;
  e.Describe(info);
  EXPECT_EQ(info.fileDelay, 7);
  EXPECT_STREQ(info.path.c_str(), "/films/movie.srt");
  EXPECT_STREQ(info.formatName.c_str(), "SubRip");
  EXPECT_EQ(info.selectedStream, 1);
  ASSERT_EQ(info.streams.Count(), 2);
  EXPECT_STREQ(info.streams.Get(1).c_str(), "French");
  EXPECT_EQ(e.Clear(), 0);
  EXPECT_EQ(e.items.Count(), 0);
  EXPECT_EQ(e.current, -1);
  EXPECT_EQ(e.status, -1);
  EXPECT_EQ(e.fileDelay, 0);
  EXPECT_TRUE(e.path.IsEmpty());
  EXPECT_EQ(e.streams.Count(), 0);
  EXPECT_EQ(info.streams.Count(), 2);  // the description is a copy
}

}  // namespace
