#include "subtitles/subtitle_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "subtitles/subtitle_engine.h"

namespace {

TEST(CombinePath, Cases) {
  struct Case { const char* base; const char* element; const char* expected; };
  const Case cases[] = {
      {"/films/x/", "../subs", "/films/subs/"},
      {"/", "..", ""},                 // above the root
      {"/a/", "../..", ""},
      {"/a/b/c/", "../../x", "/a/x/"},
      {"", "subs", ""},                // no movie folder
      {"/films/", "/abs/path", "/abs/path/"},
      {"/films/", "/", "/"},
      {"/films/", ".", "/films/"},
      {"/films", "a/./b/", "/films/a/b/"},
      {"/films/", "./././x", "/films/x/"},
      {"/films/", "a/../../../x", ""},
  };
  for (const Case& c : cases)
    EXPECT_STREQ(CombinePath(c.base, c.element).c_str(), c.expected) << c.base << " + " << c.element;
}

TEST(LanguageNames, FromCodes) {
  struct Case { const char* code; const char* name; };
  const Case cases[] = {{"en", "English"}, {"DE", "German"}, {"Sv", "Swedish"}, {"da", "Danish"},
                        {"xx", "xx"},      {"", ""},          {"eng", "eng"}};
  for (const Case& c : cases) EXPECT_STREQ(LanguageNameFromCode(c.code).c_str(), c.name) << c.code;
  EXPECT_STREQ(LanguageTable[0].name, "Danish");
  EXPECT_STREQ(LanguageTable[kLanguageCount - 1].code, "sv");
}

class Discovery : public ::testing::Test {
protected:
  void SetUp() override {
    root = std::string(MC_BINARY_DIR) + "/discovery-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    Run("rm -rf '" + root + "' && mkdir -p '" + root + "/films/movie.dir.srt' '" + root + "/subs'");
    for (const char* f : {"films/movie.srt", "films/movie.en.srt", "films/movie-fr.sub", "films/Subtitles.txt",
                          "films/other.srt", "films/movie.avi", "subs/movie.srt"}) {
      FILE* file = std::fopen((root + "/" + f).c_str(), "w");
      ASSERT_NE(file, nullptr) << f;
      std::fputs("1\n", file);
      std::fclose(file);
    }
  }
  void Run(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0); }
  std::vector<std::string> Find(const std::string& searchPath, const std::string& movie) {
    StringList list;
    EXPECT_EQ(FindSubtitleFiles(list, searchPath.c_str(), movie.c_str()), 0);
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(list.Get(i).c_str());
    return out;
  }
  std::string root;
};

TEST_F(Discovery, CandidatesInSearchOrderWithoutDuplicates) {
  std::string films = root + "/films/";
  std::vector<std::string> found =
      Find(root + "/subs;.;;" + films + "movie.srt;./;/nonexistent/folder", films + "movie.avi");
  std::vector<std::string> expected = {root + "/subs/movie.srt", films + "movie.srt", films + "movie.en.srt",
                                       films + "movie-fr.sub", films + "Subtitles.txt"};
  EXPECT_EQ(found, expected);
}

TEST_F(Discovery, MovieWithoutFolderOrStem) {
  // Without a separator the movie has no folder: relative elements lead nowhere, absolute ones
  // still find the fixed stem.
  EXPECT_TRUE(Find(".", "movie.avi").empty());
  EXPECT_EQ(Find(root + "/films", "movie.avi"), (std::vector<std::string>{root + "/films/Subtitles.txt"}));
  EXPECT_TRUE(Find("", root + "/films/movie.avi").empty());
}

TEST_F(Discovery, AppendsToWhatTheListHolds) {
  StringList list;
  list.Append(SharedString("earlier"));
  FindSubtitleFiles(list, ".", (root + "/subs/movie.avi").c_str());
  ASSERT_EQ(list.Count(), 2);
  EXPECT_STREQ(list.Get(0).c_str(), "earlier");
}

TEST(SubtitleLoad, PathsWithoutAReaderLeaveTheEngineEmpty) {
  struct Case { const char* path; };
  const Case cases[] = {{nullptr}, {"movie.xyz"}, {"/films/movie.srt"}, {".srt"}, {"noextension"},
                        {"/films/a.very-long-extension"}, {"/my.films/movie"}};
  for (const Case& c : cases) {
    SubtitleEngine e;
    e.items.Append(new SubtitleItem(0, 10, SharedString("old")));
    e.formatName = "old";
    EXPECT_EQ(e.Load(c.path), -1) << (c.path ? c.path : "(null)");
    EXPECT_EQ(e.items.Count(), 0);
    EXPECT_TRUE(e.formatName.IsEmpty());
  }
}

}  // namespace

namespace {

class Probing : public ::testing::Test {
protected:
  std::string Write(const std::string& name, const std::string& content) {
    std::string dir = std::string(MC_BINARY_DIR) + "/probing";
    std::string mkdir = "mkdir -p '" + dir + "/My.Films'";
    EXPECT_EQ(std::system(mkdir.c_str()), 0);
    std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    return path;
  }
};

const char kSubRip[] = "1\r\n00:00:01,000 --> 00:00:02,000\r\nHello\r\n\r\n2\r\n00:00:03,000 --> 00:00:04,000\r\nWorld\r\n";
const char kMicroDvd[] = "{25}{50}Hello\r\n{75}{100}World\r\n";

TEST_F(Probing, ExtensionChoosesTheReaders) {
  struct Case { const char* name; const char* content; const char* format; };
  const Case cases[] = {
      {"a.txt", kMicroDvd, "MicroDVD"},            // the first probe for .txt
      {"b.txt", kSubRip, "SubRip"},                // MicroDVD and TMPlayer reject it first
      {"c.sub", kSubRip, "SubRip"},                // after SubViewer, DVDSubtitle (and VobSub)
      {"movie.en.srt", kSubRip, "SubRip"},         // the last dot decides
      {"My.Films/movie.SRT", kSubRip, "SubRip"},   // a dot in a folder name does not
      {"d.srt", kMicroDvd, "MicroDVD"},
  };
  for (const Case& c : cases) {
    SubtitleEngine e;
    std::string path = Write(c.name, c.content);
    EXPECT_EQ(e.Load(path.c_str()), 0) << c.name;
    EXPECT_STREQ(e.formatName.c_str(), c.format) << c.name;
    EXPECT_STREQ(e.path.c_str(), path.c_str());
    EXPECT_EQ(e.items.Count(), 2) << c.name;
  }
}

TEST_F(Probing, NothingAcceptedLeavesTheEngineEmpty) {
  SubtitleEngine e;
  std::string path = Write("junk.srt", "this is not a subtitle file\r\n");
  EXPECT_NE(e.Load(path.c_str()), 0);
  EXPECT_EQ(e.items.Count(), 0);
  EXPECT_TRUE(e.formatName.IsEmpty());
  EXPECT_TRUE(e.path.IsEmpty());
}

}  // namespace
