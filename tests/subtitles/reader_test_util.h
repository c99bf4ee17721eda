// Helpers for the subtitle reader tests: files written into a per-test folder, and the
// entries of an engine as plain values to compare against tables.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "subtitles/subtitle_engine.h"

struct Entry {
  int32_t start, end;
  std::string text;
  bool operator==(const Entry& o) const { return start == o.start && end == o.end && text == o.text; }
};

inline std::ostream& operator<<(std::ostream& os, const Entry& e) {
  return os << "{" << e.start << ", " << e.end << ", \"" << e.text << "\"}";
}

inline std::vector<Entry> Entries(const SubtitleEngine& e) {
  std::vector<Entry> v;
  for (int i = 0; i < e.items.Count(); ++i) {
    const SubtitleItem* item = e.items[i];
    v.push_back({item->start, item->end,
                 item->kind == SubtitleItem::kPicture ? "<picture>" : item->text.c_str()});
  }
  return v;
}

// A folder of its own for every test, under the build tree.
class ReaderFiles : public ::testing::Test {
protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = std::string(MC_BINARY_DIR) + "/subtitle-readers/" + info->test_suite_name() + "-" + info->name();
    ASSERT_EQ(std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()), 0);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr) << path;
    if (f) {
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
    return path;
  }
  static std::string Fixture(const char* name) {
    return std::string(MC_SOURCE_DIR) + "/tests/subtitles/fixtures/" + name;
  }
  std::string dir;
};
