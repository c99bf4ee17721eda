#include "platform/sys/codepage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

class AnsiCodePage : public ::testing::Test {
 protected:
  void TearDown() override { unsetenv("HOST_ANSI_CODEPAGE"); }
};

TEST_F(AnsiCodePage, DefaultAndChoice) {
  unsetenv("HOST_ANSI_CODEPAGE");
  EXPECT_EQ(GetACP(), 1252u);
  setenv("HOST_ANSI_CODEPAGE", "1257", 1);
  EXPECT_EQ(GetACP(), 1257u);
  setenv("HOST_ANSI_CODEPAGE", "1251", 1);
  EXPECT_EQ(GetACP(), 1251u);
  setenv("HOST_ANSI_CODEPAGE", "banana", 1);
  EXPECT_EQ(GetACP(), 1252u);
  setenv("HOST_ANSI_CODEPAGE", "99999", 1);
  EXPECT_EQ(GetACP(), 1252u);
}

TEST_F(AnsiCodePage, BuiltinTables) {
  EXPECT_EQ(BuiltinByteToUnit(1252, 0x80), u'\u20AC');
  EXPECT_EQ(BuiltinByteToUnit(1252, 0x81), 0x81);  // undefined bytes map to themselves
  EXPECT_EQ(BuiltinByteToUnit(1252, 0xE9), 0xE9);
  EXPECT_EQ(BuiltinByteToUnit(1257, 0xA1), 0xF8FC);
  EXPECT_EQ(BuiltinByteToUnit(1257, 0xA5), 0xF8FD);
  EXPECT_EQ(BuiltinByteToUnit(1257, 0xD0), 0x0160);  // S caron
  EXPECT_EQ(BuiltinUnitToByte(1252, 0x20AC), 0x80);
  EXPECT_EQ(BuiltinUnitToByte(1252, 0xFF5A), 'z');  // best fit
  EXPECT_EQ(BuiltinUnitToByte(1252, 0x4E2D), -1);
  EXPECT_EQ(BuiltinUnitToByte(1257, 0x0160), 0xD0);
  EXPECT_EQ(BuiltinUnitToByte(1257, 0x00A8), 0x8D);
  EXPECT_EQ(BuiltinUnitToByte(1252, 'A'), 'A');
  // Every byte of both pages goes back to itself (round trip through the tables).
  for (UINT cp : {1252u, 1257u})
    for (int b = 0x80; b < 0x100; ++b)
      EXPECT_EQ(BuiltinUnitToByte(cp, BuiltinByteToUnit(cp, static_cast<uint8_t>(b))), b) << cp << " " << b;
}

TEST_F(AnsiCodePage, ConversionCallShapes) {
  unsetenv("HOST_ANSI_CODEPAGE");
  const char* text = "Caf\xE9 \x80";
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0), 7);
  char16_t wide[8] = {};
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 8), 7);
  EXPECT_EQ(std::u16string(wide), u"Caf\u00e9 \u20ac");
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 3), 0);  // too small
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, 3, wide, 8), 3);

  const char16_t* back = u"\u00e9\u4e2d\uff5a";
  BOOL used = FALSE;
  char narrow[8] = {};
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, back, -1, narrow, 8, "?", &used), 4);
  EXPECT_STREQ(narrow, "\xE9?z");
  EXPECT_TRUE(used);
  EXPECT_EQ(WideCharToMultiByte(1252, 0, u"abc", 3, narrow, 8, nullptr, &used), 3);
  EXPECT_FALSE(used);
}

TEST_F(AnsiCodePage, HostConverterForOtherPages) {
  setenv("HOST_ANSI_CODEPAGE", "1251", 1);
  char16_t wide[4] = {};
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xC0\xE1", 2, wide, 4), 2);
  EXPECT_EQ(wide[0], 0x0410);  // Cyrillic A
  EXPECT_EQ(wide[1], 0x0431);
  char narrow[8] = {};
  BOOL used = FALSE;
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u0410x\u4e2d\xD800", 4, narrow, 8, nullptr, &used), 4);
  EXPECT_EQ(std::string(narrow, 4), "\xC0x??");
  EXPECT_TRUE(used);
  setenv("HOST_ANSI_CODEPAGE", "65001", 1);
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xC3\xA9\xFF", 3, wide, 4), 2);
  EXPECT_EQ(wide[0], 0xE9);
  EXPECT_EQ(wide[1], u'?');
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\U0001F600", 2, narrow, 8, nullptr, &used), 4);
  EXPECT_EQ(std::string(narrow, 4), "\xF0\x9F\x98\x80");
}

}  // namespace
