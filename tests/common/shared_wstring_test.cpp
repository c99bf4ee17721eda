#include "common/shared_wstring.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string Text(const SharedWString& s) { return std::u16string(s.c_str()); }

TEST(SharedWString, StorageRules) {
  SharedWString empty, fromNull(static_cast<const char16_t*>(nullptr)), fromBlank(u"");
  EXPECT_TRUE(empty.SharesBufferWith(fromNull));
  EXPECT_TRUE(empty.SharesBufferWith(fromBlank));

  SharedWString a(u"h\u00e9llo"), b(a);
  EXPECT_TRUE(a.SharesBufferWith(b));
  b += u'!';
  EXPECT_EQ(Text(a), u"h\u00e9llo");
  EXPECT_EQ(Text(b), u"h\u00e9llo!");
  EXPECT_EQ(a.RefCount(), 1);

  // 17 wide characters need 34 bytes: the 64-byte class, capacity 32.
  SharedWString w;
  ASSERT_TRUE(w.Reserve(17, false));
  EXPECT_EQ(w.Capacity(), 32);
  ASSERT_TRUE(w.Reserve(257, false));
  EXPECT_EQ(w.Capacity(), 512);  // 514 bytes go to the heap, rounded to 1024

  SharedWString c(u"abc"), d(c);
  char16_t* p = d.WritablePointer(0);
  ASSERT_NE(p, nullptr);
  *p = u'X';
  EXPECT_EQ(Text(c), u"abc");
  EXPECT_EQ(Text(d), u"Xbc");
  EXPECT_EQ(empty.WritablePointer(0), nullptr);

  SharedWString e(u"abcdef");
  e = e.c_str() + 3;
  EXPECT_EQ(Text(e), u"def");
  e = u"";
  EXPECT_TRUE(e.SharesBufferWith(empty));
}

TEST(SharedWString, AppendGrowsAcrossClasses) {
  SharedWString s;
  std::u16string expect;
  for (int i = 0; i < 700; ++i) {
    char16_t c = static_cast<char16_t>(0x100 + i);
    s += c;
    expect += c;
  }
  s += u'\0';
  EXPECT_EQ(Text(s), expect);
  EXPECT_EQ(s.Length(), 700);
}

}  // namespace
