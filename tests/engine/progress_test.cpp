#include "update/Progress.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(Progress, OneDecimalHalfToEven) {
  const struct {
    std::int64_t offset, upper;
    char separator;
    const char* text;
  } cases[] = {
      {0, 100, '.', "0.0%"},
      {21, 400, '.', "5.2%"},       // 5.25
      {23, 400, '.', "5.8%"},       // 5.75
      {1, 2000, '.', "0.0%"},       // 0.05
      {3, 2000, '.', "0.2%"},       // 0.15
      {1999, 2000, '.', "100.0%"},  // 99.95
      {1, 3, ',', "33,3%"},
      {2, 3, ',', "66,7%"},
      {0x1000000, 0x1000000, '.', "100.0%"},
      {0xFFFF00, 0xFFFFFF, '.', "100.0%"},
      {0xFE0000, 0xFFFFFF, '.', "99.2%"},
      {5, 0, '.', "500.0%"},  // a one-byte image's upper index is 0
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProgressText(c.offset, c.upper, c.separator), c.text) << c.offset << "/" << c.upper;
  }
}

TEST(Progress, UpperIndexOfAnEmptyImageIsOne) {
  EXPECT_EQ(UpperIndexOf(0), 1);
  EXPECT_EQ(UpperIndexOf(1), 0);
  EXPECT_EQ(UpperIndexOf(300), 299);
  EXPECT_EQ(ProgressText(0, UpperIndexOf(0), '.'), "0.0%");
}

}  // namespace
}  // namespace qv
