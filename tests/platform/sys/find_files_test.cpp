#include "platform/sys/find_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

class FindFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("find_files_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    for (const char* name : {"movie.srt", "Movie.SRT", "movie.sub", "movie.idx", "movie",
                             "other.srt", "movie.en.srt", "b.txt", "a.txt"}) {
      FILE* f = std::fopen((dir_ / name).c_str(), "w");
      std::fputs("12345", f);
      std::fclose(f);
    }
    std::filesystem::create_directories(dir_ / "movie.dir");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::vector<std::string> List(const std::string& pattern) {
    std::vector<std::string> names;
    FindData fd;
    intptr_t h = FindFirst((dir_.string() + "/" + pattern).c_str(), &fd);
    if (h == -1) return names;
    do names.push_back(fd.name);
    while (FindNext(h, &fd) == 0);
    EXPECT_EQ(FindClose(h), 0);
    return names;
  }
  std::filesystem::path dir_;
};

TEST_F(FindFiles, WildcardsSortedAndCaseInsensitive) {
  using V = std::vector<std::string>;
  EXPECT_EQ(List("movie.srt"), (V{"Movie.SRT", "movie.srt"}));
  EXPECT_EQ(List("*.srt"), (V{"Movie.SRT", "movie.en.srt", "movie.srt", "other.srt"}));
  EXPECT_EQ(List("movie.???"), (V{"Movie.SRT", "movie.dir", "movie.idx", "movie.srt", "movie.sub"}));
  EXPECT_EQ(List("movie.*"),
            (V{"Movie.SRT", "movie", "movie.dir", "movie.en.srt", "movie.idx", "movie.srt", "movie.sub"}));
  EXPECT_EQ(List("?.txt"), (V{"a.txt", "b.txt"}));
  EXPECT_EQ(List("*").size(), 10u);
  EXPECT_EQ(List("*.*").size(), 10u);
  EXPECT_EQ(List("*.none"), V{});
}

TEST_F(FindFiles, EntryDetails) {
  FindData fd;
  intptr_t h = FindFirst((dir_.string() + "/movie.d*").c_str(), &fd);
  ASSERT_NE(h, -1);
  EXPECT_STREQ(fd.name, "movie.dir");
  EXPECT_TRUE(fd.attrib & kFindAttrSubdir);
  EXPECT_EQ(FindNext(h, &fd), -1);
  FindClose(h);
  h = FindFirst((dir_.string() + "/a.txt").c_str(), &fd);
  ASSERT_NE(h, -1);
  EXPECT_EQ(fd.size, 5u);
  EXPECT_FALSE(fd.attrib & kFindAttrSubdir);
  EXPECT_GT(fd.timeWrite, 0);
  FindClose(h);
}

TEST_F(FindFiles, BadPatternsAndHandles) {
  FindData fd;
  EXPECT_EQ(FindFirst(nullptr, &fd), -1);
  EXPECT_EQ(FindFirst("", &fd), -1);
  EXPECT_EQ(FindFirst((dir_.string() + "/").c_str(), &fd), -1);
  EXPECT_EQ(FindFirst("/nonexistent-folder/*", &fd), -1);
  std::string longPattern = dir_.string() + "/" + std::string(300, '?');
  EXPECT_EQ(FindFirst(longPattern.c_str(), &fd), -1);
  EXPECT_EQ(FindNext(12345, &fd), -1);
  EXPECT_EQ(FindClose(12345), -1);
  intptr_t h = FindFirst((dir_.string() + "/*.txt").c_str(), &fd);
  ASSERT_NE(h, -1);
  EXPECT_EQ(FindClose(h), 0);
  EXPECT_EQ(FindNext(h, &fd), -1);  // closed
  EXPECT_EQ(FindClose(h), -1);
}

TEST(MatchesWildcard, Table) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      {"*", "", true},          {"?", "", false},         {"a*b*c", "aXbYc", true},
      {"a*b*c", "aXbY", false}, {"*.*", "noext", true},   {"*.srt", "x.srtx", false},
      {"**a", "bba", true},     {"a?c", "abc", true},     {"a?c", "ac", false},
      {"*x*x*x*x*y", "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", false},
  };
  for (const Case& c : cases) EXPECT_EQ(MatchesWildcard(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
}

}  // namespace
