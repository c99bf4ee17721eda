#include "common/markup_converter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "common/entity_table.h"

namespace {

TEST(EntityTable, ShapeAndOrder) {
  EXPECT_EQ(kEntityRows[0].codePoint, 34);
  EXPECT_STREQ(kEntityRows[0].name, "quot");
  EXPECT_EQ(kEntityRows[kEntityCount - 1].codePoint, 9830);
  EXPECT_STREQ(kEntityRows[kEntityCount - 1].name, "diams");
  size_t longest = 0;
  for (int i = 1; i < kEntityCount; ++i) EXPECT_LT(kEntityRows[i - 1].codePoint, kEntityRows[i].codePoint);
  for (int i = 1; i < kEntityCount; ++i)
    EXPECT_LT(std::strcmp(kEntityRows[kEntityNameIndex[i - 1]].name, kEntityRows[kEntityNameIndex[i]].name), 0);
  for (const EntityRow& r : kEntityRows) {
    longest = std::max(longest, std::strlen(r.name));
    EXPECT_EQ(FindEntityByName(r.name, std::strlen(r.name)), r.codePoint) << r.name;
    EXPECT_STREQ(FindEntityByCodePoint(r.codePoint), r.name);
  }
  EXPECT_EQ(longest, 8u);
  struct Case {
    const char* name;
    int code;
  } cases[] = {{"Zcaron", 381}, {"zcaron", 382}, {"sub", -1}, {"sup", -1}, {"sup2", 178},
               {"Eacute", 201}, {"eacute", 233}, {"EACUTE", -1}, {"", -1}, {"euro", 8364}, {"eur", -1}};
  for (const Case& c : cases) EXPECT_EQ(FindEntityByName(c.name, std::strlen(c.name)), c.code) << c.name;
  EXPECT_EQ(FindEntityByCodePoint(u'A'), nullptr);
}

TEST(DecodeEntities, Table) {
  struct Case {
    const char* text;
    const char16_t* decoded;
    bool error;
  } cases[] = {
      {"AT&T", u"ATT", false},
      {"AT&T rules; ok", u"AT? ok", true},
      {"&#65;&#0;&sup;", u"A??", true},
      {"&Zcaron;", u"\u017d", false},
      {"&EACUTE;", u"?", true},
      {"&#x41;", u"?", true},                 // hexadecimal is not numeric
      {"&#65601;", u"A", false},              // truncated to 16 bits
      {"a\xE9z", u"a?z", true},
      {"&;", u"?", true},
      {"&&amp;", u"?", true},                 // the first '&' takes "&amp" as its name
      {"&#12345678;", u"\u614E", false},      // ';' ten bytes on still counts; 16 bits kept
      {"&#123456789;", u"#123456789;", false},  // ';' eleven bytes on: the '&' is dropped
      {"", u"", false},
  };
  for (const Case& c : cases) {
    bool error = !c.error;
    SharedWString got = DecodeEntities(c.text, &error);
    EXPECT_EQ(std::u16string(got.c_str()), std::u16string(c.decoded)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
  EXPECT_TRUE(DecodeEntities(nullptr).IsEmpty());
}

std::string Convert(const char* markup) {
  MarkupConverter m;
  m.Feed(markup);
  return m.GetText().c_str();
}

TEST(MarkupConverter, FeedAndGetText) {
  unsetenv("HOST_ANSI_CODEPAGE");
  struct Case {
    const char* markup;
    const char* text;
  } cases[] = {
      {"Hello,\n  world<br>Next<P>Para", "Hello, world\nNext\nPara"},
      {"one<br>\n<li>item", "one\n \n- item"},  // the line feed became a space first
      {"<ul><li>a<li>b</ul>", "- a\n- b"},
      {"one<b>two", "one two"},
      {"one<br><font color=red>two", "one\ntwo"},
      {"Caf&eacute; &amp; Bar&nbsp;", "Caf\xE9 & Bar"},
      {"Tom & Jerry", "Tom & Jerry"},
      {"a &#8364; &#20013; b", "a \x80 ? b"},
      {"  lead\t\ttrail  ", "lead trail"},
      {"text <unclosed", "text"},
      {"<p class=x>para<pre>x", "para x"},
      {"a<TD>b", "a\n- b"},
      {"x<table><tr><td>1<td>2</table>y", "x\n- 1\n- 2\ny"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Convert(c.markup), c.text) << c.markup;

  // References become characters of the ANSI code page the user chose.
  setenv("HOST_ANSI_CODEPAGE", "1257", 1);
  EXPECT_EQ(Convert("&Scaron;&eacute;&euro;&yen;"), "\xD0\xE9\x80?");
  unsetenv("HOST_ANSI_CODEPAGE");
}

TEST(MarkupConverter, ListItemAfterALineBreakAddsOnlyTheDash) {
  struct Probe : MarkupConverter {
    const char* Output() const { return output.c_str(); }
  } m;
  m.Feed("a<br><li>b");
  EXPECT_STREQ(m.Output(), "a\n- b");
  m.Feed("a<br><i>b");  // an unknown tag after a line break adds no space
  EXPECT_STREQ(m.Output(), "a\nb");
  m.Feed("a <i> b");
  EXPECT_STREQ(m.Output(), "a b");
}

// Subclasses see each tag lowercased, with the output current up to the tag.
TEST(MarkupConverter, SubclassesSeeTagsInOrder) {
  struct Recorder : MarkupConverter {
    int HandleTag(const char* tag) override {
      seen += std::string(tag) + "@" + output.c_str() + "|";
      output += "#";
      return 0;
    }
    std::string seen;
  } r;
  r.Feed("ab<Time Begin=\"12\">cd<\x01X<y>");
  EXPECT_EQ(r.seen, "<time begin=\"12\">@ab|< x<y>@ab#cd|");
  EXPECT_EQ(std::string(r.GetText().c_str()), "ab#cd#");
}

TEST(MarkupConverter, IsTagAndGetAttribute) {
  struct Case {
    const char* tag;
    const char* name;
    bool is;
  } tags[] = {{"<p>", "p", true},   {"<p class=x>", "p", true}, {"<pre>", "p", false},
              {"</p>", "/p", true}, {"<br/>", "br", true},      {"<p", "p", false},
              {"p>", "p", false},   {"<>", "", true}};
  for (const Case& c : tags) EXPECT_EQ(MarkupConverter::IsTag(c.tag, c.name), c.is) << c.tag;

  struct Attr {
    const char* tag;
    const char* name;
    const char* value;
  } attrs[] = {
      {"<time begin=\"1:02\" end=3>", "begin", "1:02"},
      {"<time begin=\"1:02\" end=3>", "end", "3>"},  // unquoted at the end keeps the '>'
      {"<time begin='5' end=3>", "begin", "5"},
      {"<time begin=5 end=3>", "begin", "5"},
      {"<time begin=\"open", "begin", "open"},
      {"<time xbegin=5>", "begin", ""},
      {"<time begin=5>", "BEGIN", ""},
      {"<time begin=>", "begin", ">"},
  };
  for (const Attr& a : attrs)
    EXPECT_STREQ(MarkupConverter::GetAttribute(a.tag, a.name).c_str(), a.value) << a.tag << " " << a.name;
}

}  // namespace
