#include "common/shared_string.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "common/string_list.h"

namespace {

TEST(SharedString, EmptyTextsShareTheStaticEmptyBuffer) {
  SharedString a, b("x");
  SharedString c(static_cast<const char*>(nullptr)), d("");
  EXPECT_TRUE(a.SharesBufferWith(c));
  EXPECT_TRUE(a.SharesBufferWith(d));
  EXPECT_EQ(a.Capacity(), 0);
  EXPECT_EQ(a.RefCount(), 1);
  b = "";
  EXPECT_TRUE(b.SharesBufferWith(a));
  b = "y";
  b = static_cast<const char*>(nullptr);
  EXPECT_TRUE(b.SharesBufferWith(a));
  {
    SharedString copy(a);  // copying and dropping the empty string touches no count
    EXPECT_EQ(a.RefCount(), 1);
  }
  EXPECT_EQ(a.RefCount(), 1);
  EXPECT_STREQ(a.c_str(), "");
}

TEST(SharedString, CopiesShareAndWritesCopyOnWrite) {
  SharedString a("hello");
  SharedString b(a);
  EXPECT_TRUE(a.SharesBufferWith(b));
  EXPECT_EQ(a.RefCount(), 2);
  b += " world";
  EXPECT_FALSE(a.SharesBufferWith(b));
  EXPECT_STREQ(a.c_str(), "hello");
  EXPECT_STREQ(b.c_str(), "hello world");
  EXPECT_EQ(a.RefCount(), 1);

  SharedString c;
  c = a;
  c = a;  // assigning the buffer it already shares changes nothing
  EXPECT_EQ(a.RefCount(), 2);
  c = "bye";  // shared: takes a new buffer, leaves a alone
  EXPECT_STREQ(a.c_str(), "hello");
  EXPECT_EQ(a.RefCount(), 1);

  // A private buffer with room is written in place.
  SharedString d("abcdef");
  const char* before = d.c_str();
  d = "xyz";
  EXPECT_EQ(d.c_str(), before);
  d += "123";
  EXPECT_EQ(d.c_str(), before);
  EXPECT_STREQ(d.c_str(), "xyz123");
}

TEST(SharedString, CapacityFollowsTheSizeClasses) {
  struct Case {
    int chars;
    int capacity;
  } cases[] = {{1, 32}, {32, 32}, {33, 64}, {65, 128}, {257, 512}, {512, 512},
               {513, 1024}, {600, 1024}, {1024, 1024}, {1025, 2048}};
  for (const Case& c : cases) {
    SharedString s;
    ASSERT_TRUE(s.Reserve(c.chars, false));
    EXPECT_EQ(s.Capacity(), c.capacity) << c.chars;
  }
  std::string t(32, 'x');  // 32 characters need 33 with the terminator
  EXPECT_EQ(SharedString(t.c_str()).Capacity(), 64);
}

TEST(SharedString, AppendAndConcatenate) {
  SharedString s;
  s += static_cast<const char*>(nullptr);
  s += "";
  EXPECT_TRUE(s.IsEmpty());
  s += "ab";
  s += 'c';
  s += SharedString("de");
  EXPECT_STREQ(s.c_str(), "abcde");
  // Growth across a size class keeps the text.
  std::string expect = "abcde";
  for (int i = 0; i < 200; ++i) {
    s += "0123456789";
    expect += "0123456789";
  }
  EXPECT_EQ(std::string(s.c_str()), expect);
  // Appending a part of itself.
  SharedString t("abc");
  t += t.c_str() + 1;
  EXPECT_STREQ(t.c_str(), "abcbc");
  SharedString u("xyz");
  u = u.c_str() + 1;
  EXPECT_STREQ(u.c_str(), "yz");

  SharedString left("left"), empty;
  SharedString j = left + "right";
  EXPECT_STREQ(j.c_str(), "leftright");
  EXPECT_STREQ(left.c_str(), "left");
  EXPECT_TRUE((left + "").SharesBufferWith(left));
  EXPECT_STREQ((empty + "r").c_str(), "r");
  EXPECT_TRUE((empty + nullptr).IsEmpty());
}

TEST(SharedString, LeftRightMid) {
  SharedString s("abcdef");
  struct Case {
    SharedString got;
    const char* want;
  } cases[] = {
      {s.Left(0), ""},       {s.Left(-3), ""},      {s.Left(2), "ab"},    {s.Left(6), "abcdef"},
      {s.Left(99), "abcdef"}, {s.Right(0), ""},     {s.Right(2), "ef"},   {s.Right(9), "abcdef"},
      {s.Mid(6), ""},        {s.Mid(9, 2), ""},     {s.Mid(2), "cdef"},   {s.Mid(2, 2), "cd"},
      {s.Mid(2, 0), ""},     {s.Mid(2, 99), "cdef"}, {s.Mid(-1, 2), "ab"}, {s.Mid(1, -7), "bcdef"},
  };
  for (const Case& c : cases) EXPECT_STREQ(c.got.c_str(), c.want);
  EXPECT_TRUE(s.Left(6).SharesBufferWith(s));
  EXPECT_TRUE(s.Right(6).SharesBufferWith(s));
  EXPECT_FALSE(s.Left(5).SharesBufferWith(s));
}

TEST(SharedString, Find) {
  SharedString s("abcabc");
  EXPECT_EQ(s.Find('b'), 1);
  EXPECT_EQ(s.Find('b', 2), 4);
  EXPECT_EQ(s.Find('b', 5), -1);
  EXPECT_EQ(s.Find('b', 6), -1);
  EXPECT_EQ(s.Find('b', 600), -1);
  EXPECT_EQ(s.Find('b', -4), 1);
  EXPECT_EQ(s.Find('\0'), -1);
  EXPECT_EQ(s.Find("ca"), 2);
  EXPECT_EQ(s.Find("bc", 2), 4);
  EXPECT_EQ(s.Find("abcd"), -1);
  EXPECT_EQ(s.Find(static_cast<const char*>(nullptr)), -1);
  EXPECT_EQ(SharedString().Find('a'), -1);
  EXPECT_EQ(SharedString().Find(""), -1);
}

TEST(SharedString, Trim) {
  struct Case {
    const char* text;
    bool left;
    int removed;
    const char* result;
  } cases[] = {
      {"  \t", true, 3, ""},       {"ab\r\n", false, 2, "ab"}, {"\x01 x \x7f", true, 2, "x \x7f"},
      {"x", true, 0, "x"},         {"x", false, 0, "x"},       {"  \t", false, 3, ""},
      {" \xA0x", true, 1, "\xA0x"}, {"", true, 0, ""},
  };
  for (const Case& c : cases) {
    SharedString s(c.text), keep(s);
    EXPECT_EQ(c.left ? s.TrimLeft() : s.TrimRight(), c.removed) << c.text;
    EXPECT_STREQ(s.c_str(), c.result);
    EXPECT_STREQ(keep.c_str(), c.text);  // a shared buffer is never trimmed in place
  }
  SharedString blank("   ");
  blank.TrimLeft();
  EXPECT_TRUE(blank.SharesBufferWith(SharedString()));
}

TEST(SharedString, ReserveAndWritablePointer) {
  SharedString s("hello");
  SharedString shared(s);
  ASSERT_TRUE(s.Reserve(3, true));  // shared: a new buffer, text cut so it stays terminated
  EXPECT_STREQ(s.c_str(), "he");
  EXPECT_STREQ(shared.c_str(), "hello");
  ASSERT_TRUE(s.Reserve(100, true));
  EXPECT_STREQ(s.c_str(), "he");
  EXPECT_EQ(s.Capacity(), 128);
  s.Reserve(0, true);
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_EQ(s.Capacity(), 0);

  EXPECT_EQ(s.WritablePointer(0), nullptr);  // never into the shared empty buffer
  SharedString a("abc"), b(a);
  char* p = b.WritablePointer(1);
  ASSERT_NE(p, nullptr);
  *p = 'X';
  EXPECT_STREQ(a.c_str(), "abc");
  EXPECT_STREQ(b.c_str(), "aXc");
  EXPECT_EQ(b.Capacity(), a.Capacity());
  EXPECT_EQ(b.WritablePointer(-1), nullptr);
  EXPECT_EQ(b.WritablePointer(b.Capacity()), nullptr);
  EXPECT_NE(b.WritablePointer(b.Capacity() - 1), nullptr);
}

TEST(SharedString, Split) {
  struct Case {
    const char* text;
    std::vector<std::string> parts;
  } cases[] = {
      {"a,b,", {"a", "b", ""}}, {"", {""}},  {",", {"", ""}},
      {"abc", {"abc"}},         {",,x", {"", "", "x"}},
  };
  StringList list;
  list.Append(SharedString("stale"));
  for (const Case& c : cases) {
    SharedString s(c.text);
    ASSERT_EQ(s.Split(',', list), static_cast<int>(c.parts.size())) << c.text;
    for (size_t i = 0; i < c.parts.size(); ++i)
      EXPECT_STREQ(list.Get(static_cast<int>(i)).c_str(), c.parts[i].c_str());
  }
  SharedString whole("abc");
  whole.Split(',', list);
  EXPECT_TRUE(list.Get(0).SharesBufferWith(whole));
}

// Copies of one string made and dropped on several threads at once: the count must come back
// to exactly one holder and the text must survive.
TEST(SharedString, ConcurrentCopiesKeepTheCountExact) {
  SharedString original("shared between threads");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&original] {
      for (int i = 0; i < 20000; ++i) {
        SharedString copy(original);
        SharedString other;
        other = copy;
        if (i % 64 == 0) other += "!";  // writes go to a private buffer
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(original.RefCount(), 1);
  EXPECT_STREQ(original.c_str(), "shared between threads");
}

}  // namespace
