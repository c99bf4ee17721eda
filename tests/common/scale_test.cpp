#include "common/scale.h"

#include <gtest/gtest.h>

namespace {

TEST(MulDivTrunc, ExactWithoutOverflow) {
  struct Case {
    int64_t value, mul, div, want;
  } cases[] = {
      {48000, 417083, 400000, 50049},
      {48000, 416666, 400000, 49999},
      {INT64_C(9000000000000000000), 417083, 400000, INT64_MAX},  // saturates
      {INT64_C(4000000000000000000), 400001, 400000, INT64_C(4000010000000000000)},
      {INT64_C(1000000000000000007), 417083, 400000, INT64_C(1042707500000000007)},
      {-400001, 1, 400000, -1},  // truncation toward zero
      {-INT64_C(4000000000000000000), 417083, 400000, -INT64_C(4170830000000000000)},
      {5, 7, 0, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(MulDivTrunc(c.value, c.mul, c.div), c.want) << c.value;
}

}  // namespace
