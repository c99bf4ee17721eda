#include "render/osd_clock.h"

#include <gtest/gtest.h>

namespace {

// A clock whose wall-clock time is set by the test.
class FixedClock : public OsdClock {
public:
  FixedClock() : OsdClock(640, 480) {}
  int hour = 9, minute = 5;

protected:
  void LocalTime(int& h, int& m) const override {
    h = hour;
    m = minute;
  }
};

TEST(OsdClock, Texts) {
  struct Case { const char* name; int mode, world; LONG duration, t; const char* text; };
  const Case cases[] = {
      {"elapsed", 1, 0, 0, 3723000, "1:02:03"},
      {"elapsed before zero", 1, 0, 0, -1500, "-0:00:01"},
      {"elapsed, hours beyond a day", 1, 0, 0, 90000000, "25:00:00"},
      {"remaining", 2, 0, 60000, 59000, "-0:00:01"},
      {"remaining past the end", 2, 0, 60000, 61000, "0:00:00"},
      {"remaining at the extreme", 2, 0, 2147483647, -2147483647 - 1, "-1193:02:47"},
      {"elapsed at the extreme", 1, 0, 0, -2147483647 - 1, "-596:31:23"},
      {"world time only, trimmed", 0, 1, 0, 0, "9:05"},
      {"both parts", 1, 1, 0, 10000, "0:00:10\n 9:05"},
  };
  for (const Case& c : cases) {
    FixedClock clock;
    clock.SetModes(c.mode, c.world);
    clock.SetDuration(c.duration);
    EXPECT_EQ(clock.Update(c.t, c.t + 40), 0) << c.name;
    EXPECT_STREQ(clock.lastText.c_str(), c.text) << c.name;
  }
}

TEST(OsdClock, RedrawsOnlyWhenTheTextChanges) {
  FixedClock clock;
  clock.SetModes(1, 0);
  EXPECT_EQ(clock.Update(1000, 1040), 0);
  bool drawn = false;
  for (int y = 0; y < 480; ++y) drawn |= clock.renderer.RowUsed(y);
  EXPECT_TRUE(drawn);
  EXPECT_EQ(clock.Update(1500, 1540), 1);  // same second
  EXPECT_EQ(clock.Update(2000, 2040), 0);
  clock.SetModes(0, 1);
  EXPECT_EQ(clock.Update(2000, 2040), 0);
  clock.minute = 6;
  EXPECT_EQ(clock.Update(2000, 2040), 0);
  EXPECT_EQ(clock.Update(9000, 9040), 1);
}

TEST(OsdClock, NothingToShowLeavesTheLayerAlone) {
  FixedClock clock;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(clock.Update(i * 1000, i * 1000 + 40), -1);
  for (int y = 0; y < 480; ++y) EXPECT_FALSE(clock.renderer.RowUsed(y));
  EXPECT_TRUE(clock.lastText.IsEmpty());
}

TEST(OsdClock, DrawsTopRightWithTheOsdStyle) {
  FixedClock clock;
  LOGFONTA lf{};
  lf.lfHeight = -16;
  lf.lfWeight = FW_BOLD;
  std::strcpy(lf.lfFaceName, "Arial");
  clock.renderer.SetStyle(lf, 94, 94, 0xFFFFFF, 1);
  clock.SetModes(1, 0);
  ASSERT_EQ(clock.Update(5000, 5040), 0);
  int firstRow = -1;
  for (int y = 0; y < 480 && firstRow < 0; ++y)
    if (clock.renderer.RowUsed(y)) firstRow = y;
  // Box top at trunc(6 * 480 / 100) = 28; the first rows of the box hold only halo or nothing.
  EXPECT_GE(firstRow, 28);
  EXPECT_LT(firstRow, 28 + 10);
  int rightmost = -1;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      if (clock.renderer.LayerPixel(x, y) >> 24) rightmost = std::max(rightmost, x);
  EXPECT_LE(rightmost, 601);
  EXPECT_GE(rightmost, 601 - 6);
}

}  // namespace
