#include "common/text_convert.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/char_case.h"
#include "common/format.h"

// The formats below are odd on purpose (Windows sizes, broken conversions).
#pragma GCC diagnostic ignored "-Wformat"
#pragma GCC diagnostic ignored "-Wformat-extra-args"
#pragma GCC diagnostic ignored "-Wformat-overflow"

namespace {

std::u16string W(const SharedWString& s) { return s.c_str(); }
std::string N(const SharedString& s) { return s.c_str(); }

class TextConvert : public ::testing::Test {
 protected:
  void SetUp() override { unsetenv("HOST_ANSI_CODEPAGE"); }
  void TearDown() override { unsetenv("HOST_ANSI_CODEPAGE"); }
};

TEST_F(TextConvert, ToNarrowByMode) {
  struct Case {
    const char16_t* wide;
    int mode;
    const char* narrow;
    bool loss;
  } cases[] = {
      {u"\u20ac", 1252, "\x80", false},
      {u"a\u4e2db", 1252, "a?b", true},
      {u"\uff5a", 1252, "z", false},  // best fit
      {u"\u0160\u00e9", 1257, "\xD0\xE9", false},
      {u"\u00a8", 1257, "\x8D", false},
      {u"\u4e2d", 1257, "?", true},
      {u"Caf\u00e9 \u20ac", 0, "Caf\xE9 \x80", false},
      {u"\u4e2d", 0, "?", true},
      {u"\u00e9\u4e2d", -2, "\xC3\xA9\xE4\xB8\xAD", false},
      {u"\xD83D\xDE00", -2, "\xED\xA0\xBD\xED\xB8\x80", false},  // halves encoded separately
      {u"<a & \"b\">", -1, "&lt;a &amp; &quot;b&quot;&gt;", false},
      {u"\u00e9\u0101\u20ac\u017d", -1, "&eacute;&#257;&euro;&Zcaron;", false},
      {u"\u2282", -1, "&#8834;", false},  // "sub" is not in the table
      {u"abc", 437, "", false},
      {u"", 1252, "", false},
  };
  for (const Case& c : cases) {
    bool loss = !c.loss;
    EXPECT_EQ(N(ToNarrow(c.wide, c.mode, &loss)), c.narrow) << c.mode;
    EXPECT_EQ(loss, c.loss) << c.mode;
  }
  EXPECT_TRUE(ToNarrow(static_cast<const char16_t*>(nullptr), 0).IsEmpty());
}

TEST_F(TextConvert, ToWideByMode) {
  struct Case {
    const char* narrow;
    int mode;
    const char16_t* wide;
    bool error;
  } cases[] = {
      {"\x80\x81\xE9", 1252, u"\u20ac\u0081\u00e9", false},
      {"\xA1\xA5\xD0", 1257, u"\uf8fc\uf8fd\u0160", false},
      {"Caf\xE9", 0, u"Caf\u00e9", false},
      {"\xC3\xA9x", -2, u"\u00e9x", false},
      {"ab\xF0\x9F\x98\x80" "cd", -2, u"ab", true},  // four-byte lead: stop, keep what came before
      {"a\x80z", -2, u"a", true},                  // stray continuation
      {"a\xC3", -2, u"a", true},                   // missing continuation
      {"\xE4\xB8", -2, u"", true},
      {"\xC3\xC3", -2, u"\u00c3", false},  // a continuation only needs bit 7
      {"&eacute;&#65;", -1, u"\u00e9A", false},
      {"&bogus;", -1, u"?", true},
      {"x", 850, u"", false},
  };
  for (const Case& c : cases) {
    bool error = !c.error;
    EXPECT_EQ(W(ToWide(c.narrow, c.mode, &error)), c.wide) << c.narrow << " mode " << c.mode;
    EXPECT_EQ(error, c.error) << c.narrow;
  }
}

TEST_F(TextConvert, RoundTripsAndTheChosenAnsiCodePage) {
  // Every 1252 byte survives narrow -> wide -> narrow in both the table and the ANSI mode.
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  for (int mode : {0, 1252, 1257}) {
    bool loss = true;
    EXPECT_EQ(N(ToNarrow(ToWide(all.c_str(), mode), mode, &loss)), all) << mode;
    EXPECT_FALSE(loss);
  }
  // UTF-8 round trip of every BMP unit outside the surrogates.
  std::u16string bmp;
  for (char32_t u = 1; u < 0x10000; u += 7)
    if (u < 0xD800 || u > 0xDFFF) bmp.push_back(static_cast<char16_t>(u));
  EXPECT_EQ(W(Utf8ToUtf16(N(Utf16ToUtf8(bmp.c_str())).c_str())), bmp);
  // Entity round trip.
  EXPECT_EQ(W(ToWide(ToNarrow(bmp.c_str(), -1), -1)), bmp);

  setenv("HOST_ANSI_CODEPAGE", "1257", 1);
  EXPECT_EQ(N(ToNarrow(u"\u0160", 0)), "\xD0");
  EXPECT_EQ(W(ToWide("\xD0", 0)), u"\u0160");
}

TEST(CharCase, Mapping) {
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    const auto lower = static_cast<unsigned char>(LowerChar(c));
    const auto upper = static_cast<unsigned char>(UpperChar(c));
    int wantLower = b, wantUpper = b;
    if (b >= 'A' && b <= 'Z') wantLower = b + 32;
    if (b >= 'a' && b <= 'z') wantUpper = b - 32;
    if (b == 0xAA || b == 0xAF) wantLower = b + 0x10;
    if (b == 0xBA || b == 0xBF) wantUpper = b - 0x10;
    if ((b >= 0xC0 && b <= 0xD6) || (b >= 0xD8 && b <= 0xDE)) wantLower = b + 0x20;
    if ((b >= 0xE0 && b <= 0xF6) || (b >= 0xF8 && b <= 0xFE)) wantUpper = b - 0x20;
    EXPECT_EQ(lower, wantLower) << b;
    EXPECT_EQ(upper, wantUpper) << b;
  }
  EXPECT_EQ(LowerChar('\xD7'), '\xD7');  // multiplication sign
  EXPECT_EQ(UpperChar('\xFF'), '\xFF');
}

TEST(Format, Conversions) {
  SharedString s("old text");
  s.Format("%5s|%d|%05.1f|%c|%%|%x", "ab", -42, 3.14159, 'Q', 255);
  EXPECT_EQ(N(s), "ab|-42|003.1|Q|%|ff");
  s.Format("%s%s", static_cast<const char*>(nullptr), "");
  EXPECT_TRUE(s.IsEmpty());
  s.Format("%7.3f", 25.0);
  EXPECT_EQ(N(s), " 25.000");
  s.Format("%lld %I64d %ld %u", 1LL << 40, -(1LL << 33), 7, 4000000000u);
  EXPECT_EQ(N(s), "1099511627776 -8589934592 7 4000000000");
  s.Format("%*d|%-*.*f|", 4, 7, 6, 2, 1.5);
  EXPECT_EQ(N(s), "   7|1.50  |");
  s.Format("a%");  // incomplete at the end: nothing
  EXPECT_EQ(N(s), "a");
  s.Format("a%\xE9z");  // a high byte ends the conversion without output
  EXPECT_EQ(N(s), "a\xE9z");
  // A conversion of 20 characters or more takes its argument but writes nothing.
  s.Format("[%000000000000000000005d][%d]", 1, 2);
  EXPECT_EQ(N(s), "[][2]");
  // Text that is not a conversion is refused rather than passed on ("%n" would write).
  s.Format("[%nd][%d]", 1, 2);
  EXPECT_EQ(N(s), "[][2]");
  int local = 0;
  char pointer[32];
  std::snprintf(pointer, sizeof(pointer), "<%p>", static_cast<void*>(&local));
  s.Format("<%p>", static_cast<void*>(&local));  // pointers are pointer-sized here
  EXPECT_EQ(N(s), pointer);
  // Output is capped at 1023 characters per conversion.
  s.Format("%1500d", 1);
  EXPECT_EQ(s.Length(), 1023);
}

TEST(Format, FormatTextAlwaysTerminates) {
  char buffer[kFormatTextSize];
  auto call = [&](const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatText(buffer, format, args);
    va_end(args);
  };
  call("%s", std::string(5000, 'x').c_str());
  EXPECT_EQ(std::string(buffer).size(), 1023u);
  call("%d-%s", 12, "ab");
  EXPECT_STREQ(buffer, "12-ab");
}

}  // namespace
