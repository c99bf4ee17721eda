#include "control/filter_settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/registry/registry.h"

namespace {

// Each test gets its own empty store file.
class Settings : public ::testing::Test {
protected:
  void SetUp() override {
    std::string dir = std::string(MC_BINARY_DIR) + "/test-registry";
    std::string mkdir = "mkdir -p '" + dir + "'";
    ASSERT_EQ(std::system(mkdir.c_str()), 0);
    path = dir + "/control-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".reg";
    std::remove(path.c_str());
    setenv("HOSTREG_PATH", path.c_str(), 1);
  }
  void Put(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Brenn\\Orvanta", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  void PutDword(const char* name, LONG v) { Put(name, REG_DWORD, &v, 4); }
  void PutText(const char* name, const std::string& s) { Put(name, REG_SZ, s.c_str(), static_cast<DWORD>(s.size() + 1)); }
  std::string path;
};

TEST_F(Settings, FreshStoreGivesTheDefaults) {
  setenv("XDG_DATA_HOME", "/home/viewer/.data", 1);
  FilterSettings s;
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(s.LoadMode, 0);
  EXPECT_EQ(s.SysTrayIcon, 1);
  EXPECT_EQ(s.Overscan, 8);
  EXPECT_EQ(s.Fill, 75);
  EXPECT_EQ(s.FillH, 100);
  EXPECT_EQ(s.bFill2, 1);
  EXPECT_EQ(s.Double, 352);
  EXPECT_STREQ(s.AspectComp2, "4:3");
  EXPECT_FLOAT_EQ(s.aspectRatio, 4.0f / 3.0f);
  EXPECT_STREQ(s.subtitle.SubPath, "/home/viewer/.data/orvanta/subtitles;.");
  EXPECT_STREQ(s.subtitle.SubLang, "English");
  EXPECT_EQ(s.subtitle.SubSpeed, 1000);
  EXPECT_EQ(s.subtitle.font.font.lfHeight, -27);  // 20 points at 96 pixels per inch
  EXPECT_EQ(s.subtitle.font.font.lfWeight, 400);
  EXPECT_EQ(s.subtitle.font.font.lfOutPrecision, OUT_TT_PRECIS);
  EXPECT_EQ(s.subtitle.font.font.lfQuality, ANTIALIASED_QUALITY);
  EXPECT_STREQ(s.subtitle.font.font.lfFaceName, "Arial");
  EXPECT_EQ(s.subtitle.font.XPos, 50);
  EXPECT_EQ(s.subtitle.font.YPos, 8);
  EXPECT_EQ(s.subtitle.font.Color, 0xFFFFFF);
  EXPECT_EQ(s.osd.font.font.lfHeight, -16);
  EXPECT_EQ(s.osd.font.font.lfWeight, 700);
  EXPECT_EQ(s.osd.font.XPos, 94);
  EXPECT_EQ(s.osd.font.YPos, 94);
  EXPECT_EQ(s.osd.OSDVideoTime, 0);
}

TEST_F(Settings, OutOfRangeAndMistypedValuesGiveTheDefault) {
  struct Case { const char* name; LONG stored; LONG FilterSettings::*field; LONG expected; };
  const Case cases[] = {
      {"Overscan", 31, &FilterSettings::Overscan, 8},  {"Overscan", 30, &FilterSettings::Overscan, 30},
      {"Fill", 49, &FilterSettings::Fill, 75},         {"Fill", 50, &FilterSettings::Fill, 50},
      {"LoadMode", -1, &FilterSettings::LoadMode, 0},  {"Double", 9999, &FilterSettings::Double, 9999},
      {"Double", 10000, &FilterSettings::Double, 352}, {"FPSConv", 4, &FilterSettings::FPSConv, 4},
  };
  for (const Case& c : cases) {
    PutDword(c.name, c.stored);
    FilterSettings s;
    EXPECT_EQ(s.*c.field, c.expected) << c.name << " " << c.stored;
  }
  PutDword("SubSpeed", 0);
  PutDword("SubDelay", -7200001);
  PutDword("SubColor", 0x1000000);
  PutDword("OSDYPos", 101);
  PutText("TV", "1");  // a text where a number belongs
  FilterSettings s;
  EXPECT_EQ(s.subtitle.SubSpeed, 1000);
  EXPECT_EQ(s.subtitle.SubDelay, 0);
  EXPECT_EQ(s.subtitle.font.Color, 0xFFFFFF);
  EXPECT_EQ(s.osd.font.YPos, 94);
  EXPECT_EQ(s.TV, 0);
  PutDword("SubDelay", -7200000);
  EXPECT_EQ(FilterSettings().subtitle.SubDelay, -7200000);
}

TEST_F(Settings, FontRecordMustBeExactlySixtyBytes) {
  LOGFONTA lf{};
  lf.lfHeight = -33;
  std::strcpy(lf.lfFaceName, "DejaVu Sans");
  unsigned char bytes[61] = {};
  std::memcpy(bytes, &lf, 60);
  for (DWORD size : {59u, 61u}) {
    Put("SubFont", REG_BINARY, bytes, size);
    EXPECT_EQ(FilterSettings().subtitle.font.font.lfHeight, -27) << size;
  }
  Put("SubFont", REG_BINARY, bytes, 60);
  PutDword("SubXPos", 10);
  FilterSettings s;
  EXPECT_EQ(s.subtitle.font.font.lfHeight, -33);
  EXPECT_STREQ(s.subtitle.font.font.lfFaceName, "DejaVu Sans");
  EXPECT_EQ(s.subtitle.font.XPos, 10);
  // A face name without its terminator is cut to 31 characters.
  std::memset(lf.lfFaceName, 'x', sizeof lf.lfFaceName);
  Put("OSDFont", REG_BINARY, &lf, 60);
  EXPECT_EQ(std::strlen(FilterSettings().osd.font.font.lfFaceName), 31u);
}

TEST_F(Settings, AspectRatioText) {
  struct Case { const char* text; float ratio; };
  const Case cases[] = {{"4:3", 4.0f / 3.0f}, {"16:9", 16.0f / 9.0f}, {"2.35:1", 2.35f}, {"0:3", 0},
                        {"4:0", 0},           {"abc", 0},           {"", 0},            {"-4:3", 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(ParseAspectRatio(c.text), c.ratio) << c.text;
    PutText("AspectComp2", c.text);
    FilterSettings s;
    EXPECT_STREQ(s.AspectComp2, c.text);
    EXPECT_EQ(s.aspectRatio, c.ratio) << c.text;
  }
}

TEST_F(Settings, LongTextsAreCutToTheirFields) {
  PutText("SubLang", std::string(300, 'L'));
  PutText("SubPath", std::string(5000, 'p'));
  PutText("AspectComp2", std::string(128, '9'));
  FilterSettings s;
  EXPECT_EQ(std::strlen(s.subtitle.SubLang), 127u);
  EXPECT_EQ(std::strlen(s.subtitle.SubPath), 1023u);
  EXPECT_EQ(std::strlen(s.AspectComp2), 127u);
}

TEST_F(Settings, SaveThenLoadGivesTheSameRecord) {
  FilterSettings a;
  a.LoadMode = 2;
  a.bOverscan = 1;
  a.Overscan = 12;
  a.Flip = 3;
  a.Double = 400;
  std::strcpy(a.AspectComp2, "16:9");
  std::strcpy(a.subtitle.SubPath, "/srv/subs;.");
  std::strcpy(a.subtitle.SubLang, "French");
  a.subtitle.SubDelay = -1500;
  a.subtitle.SubSpeed = 1042;
  a.subtitle.font.Color = 0x00FFFF;
  a.subtitle.font.font.lfItalic = 1;
  a.osd.OSDVideoTime = 2;
  a.osd.OSDWorldTime = 1;
  a.osd.font.DeadZone = 7;
  EXPECT_EQ(a.SaveAll(), 0);
  FilterSettings b;
  EXPECT_EQ(b.LoadMode, 2);
  EXPECT_EQ(b.bOverscan, 1);
  EXPECT_EQ(b.Overscan, 12);
  EXPECT_EQ(b.Flip, 3);
  EXPECT_EQ(b.Double, 400);
  EXPECT_STREQ(b.AspectComp2, "16:9");
  EXPECT_FLOAT_EQ(b.aspectRatio, 16.0f / 9.0f);
  EXPECT_STREQ(b.subtitle.SubPath, "/srv/subs;.");
  EXPECT_STREQ(b.subtitle.SubLang, "French");
  EXPECT_EQ(b.subtitle.SubDelay, -1500);
  EXPECT_EQ(b.subtitle.SubSpeed, 1042);
  EXPECT_EQ(b.subtitle.font.Color, 0x00FFFF);
  EXPECT_EQ(b.subtitle.font.font.lfItalic, 1);
  EXPECT_EQ(0, std::memcmp(&a.subtitle.font.font, &b.subtitle.font.font, sizeof(LOGFONTA)));
  EXPECT_EQ(b.osd.OSDVideoTime, 2);
  EXPECT_EQ(b.osd.OSDWorldTime, 1);
  EXPECT_EQ(b.osd.font.DeadZone, 7);
}

TEST(SettingsArithmetic, ClockFactorByMode) {
  struct Case { LONG mode, duration, factor; };
  const Case cases[] = {
      {0, 417083, 0},      {1, 417083, 417083}, {1, 408163, 408163}, {1, 425531, 425531},
      {1, 408162, 0},      {1, 425532, 0},      {1, 400000, 0},      {2, 400000, 417083},
      {2, 0, 417083},      {3, 333667, 416666}, {4, 417083, 0},
  };
  for (const Case& c : cases) {
    FilterSettings s{FilterSettings::NoLoad{}};
    s.FPSConv = c.mode;
    EXPECT_EQ(s.ClockFactor(c.duration), c.factor) << c.mode << " " << c.duration;
  }
}

TEST(SettingsArithmetic, SubtitleTimeAndMulDiv) {
  struct Case { LONG ms, speed, delay, expected; };
  const Case cases[] = {
      {10000, 1000, 0, 10000}, {10000, 1000, 2500, 7500}, {10000, 1000, -2500, 12500},
      {1500, 999, 0, 1499},    // 1498.5 rounds away from zero
      {-1500, 999, 0, -1499}, {3, 500, 0, 2}, {2147483, 5000, 0, 10737415},
  };
  for (const Case& c : cases) {
    FilterSettings s{FilterSettings::NoLoad{}};
    s.subtitle.SubSpeed = c.speed;
    s.subtitle.SubDelay = c.delay;
    EXPECT_EQ(s.SubtitleTime(c.ms), c.expected) << c.ms << " " << c.speed << " " << c.delay;
  }
  EXPECT_EQ(MulDiv(20, 96, 72), 27);
  EXPECT_EQ(MulDiv(12, 96, 72), 16);
  EXPECT_EQ(MulDiv(1, 2, 0), -1);
  EXPECT_EQ(MulDiv(2147483647, 2, 1), -1);  // does not fit
}

}  // namespace
