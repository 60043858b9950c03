#include "update/Progress.h"

#include <gtest/gtest.h>

#include <tuple>

namespace qv {
namespace {

// One decimal, half to even; an empty image's upper index is 1, a one-byte image's 0.
TEST(Progress, OneDecimalHalfToEven) {
  // clang-format off
  const std::tuple<std::int64_t, std::int64_t, char, const char*> cases[] = {
      {0, 100, '.', "0.0%"}, {21, 400, '.', "5.2%"}, {23, 400, '.', "5.8%"}, {1, 2000, '.', "0.0%"},
      {3, 2000, '.', "0.2%"}, {1999, 2000, '.', "100.0%"}, {2, 3, ',', "66,7%"}, {0xFE0000, 0xFFFFFF, '.', "99.2%"},
      {5, UpperIndexOf(1), '.', "500.0%"}, {0, UpperIndexOf(0), '.', "0.0%"}, {299, UpperIndexOf(300), '.', "100.0%"},
  };
  // clang-format on
  for (const auto& [offset, upper, separator, text] : cases) {
    EXPECT_EQ(ProgressText(offset, upper, separator), text) << offset << "/" << upper;
  }
  EXPECT_EQ(UpperIndexOf(0), 1);
}

}  // namespace
}  // namespace qv
