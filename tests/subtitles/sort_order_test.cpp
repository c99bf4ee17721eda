// SortByStart must give exactly the order of the exchange passes the readers have always run,
// equal starts included, without their pairwise work.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "subtitles/subtitle_engine.h"

namespace {

// The passes as described: for every i and every later j, swap when i starts later; repeat
// while anything was swapped. Returns the original indexes in their final order.
std::vector<int> ExchangeSorted(const std::vector<int32_t>& starts) {
  const int n = static_cast<int>(starts.size());
  std::vector<int> order(n);
  for (int i = 0; i < n; ++i) order[i] = i;
  for (bool swapped = true; swapped;) {
    swapped = false;
    for (int i = 0; i + 1 < n; ++i)
      for (int j = i + 1; j < n; ++j)
        if (starts[order[i]] > starts[order[j]]) {
          std::swap(order[i], order[j]);
          swapped = true;
        }
  }
  return order;
}

std::vector<int> EngineSorted(const std::vector<int32_t>& starts) {
  SubtitleEngine e;
  for (size_t i = 0; i < starts.size(); ++i)
    e.items.Append(new SubtitleItem(starts[i], static_cast<int32_t>(i), SharedString("x")));
  e.SortByStart();
  std::vector<int> order;
  for (int i = 0; i < e.items.Count(); ++i) order.push_back(e.items[i]->end);  // end holds the index
  return order;
}

TEST(SortByStart, SameOrderAsTheExchangePasses) {
  struct Shape {
    const char* name;
    int count;
    int distinct;  // starts drawn from 0..distinct-1
    int misplaced;  // -1: reversed; 0: random; >0: sorted with this many random swaps
  };
  const Shape shapes[] = {
      {"tiny", 3, 2, 0},           {"few values", 200, 3, 0},     {"random with ties", 2000, 50, 0},
      {"reversed with ties", 1500, 100, -1}, {"mostly sorted", 3000, 1000, 20}, {"distinct", 1000, 1 << 30, 0},
      {"all equal", 500, 1, 0},   {"two entries", 2, 5, 0},
  };
  std::mt19937 rng(7);
  for (const Shape& s : shapes) {
    for (int round = 0; round < 5; ++round) {
      std::vector<int32_t> starts(s.count);
      std::uniform_int_distribution<int32_t> value(0, s.distinct - 1);
      for (auto& v : starts) v = value(rng);
      if (s.misplaced != 0) {
        std::sort(starts.begin(), starts.end());
        if (s.misplaced < 0) std::reverse(starts.begin(), starts.end());
        std::uniform_int_distribution<int> at(0, s.count - 1);
        for (int k = 0; k < s.misplaced; ++k) std::swap(starts[at(rng)], starts[at(rng)]);
      }
      ASSERT_EQ(EngineSorted(starts), ExchangeSorted(starts)) << s.name << " round " << round;
    }
  }
  // The known case where the passes move an equal start behind its twin.
  EXPECT_EQ(EngineSorted({2, 2, 1}), (std::vector<int>{2, 1, 0}));
}

TEST(SortByStart, HostileOrdersStaySortedAndFinish) {
  // Reversed with a repeated start: the exchange chains would be quadratic in total; past a
  // fixed budget the rest is sorted stably.
  std::vector<int32_t> starts;
  for (int i = 40000; i > 0; --i) starts.push_back(i / 2);
  const std::vector<int> order = EngineSorted(starts);
  ASSERT_EQ(order.size(), starts.size());
  for (size_t i = 0; i + 1 < order.size(); ++i) ASSERT_LE(starts[order[i]], starts[order[i + 1]]);
}

}  // namespace
