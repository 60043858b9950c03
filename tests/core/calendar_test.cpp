#include "core/Calendar.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv {
namespace {

TEST(Calendar, DatesRollOverAndKnowTheirWeekday) {
  // year, month, day given; year, month, day and weekday (Sunday 0) read back
  const int cases[][7] = {
      {2000, 1, 1, 2000, 1, 1, 6},     {2044, 12, 31, 2044, 12, 31, 6},
      {2009, 12, 15, 2009, 12, 15, 2}, {2024, 2, 30, 2024, 3, 1, 5},   // leap year
      {2023, 2, 29, 2023, 3, 1, 3},    {2009, 13, 1, 2010, 1, 1, 5},   // month 13
      {2009, 12, 32, 2010, 1, 1, 5},   {2010, 1, 0, 2009, 12, 31, 4},  // day 0: the day before
      {1999, 12, 31, 1999, 12, 31, 5}, {2100, 3, 1, 2100, 3, 1, 1},    // 2100 is no leap year
  };
  for (const auto& c : cases) {
    const LocalDateTime t = DateTimeFromMs(DaysFromCivil(c[0], c[1], c[2]) * 86'400'000LL);
    EXPECT_EQ(std::vector({t.year, t.month, t.day, t.dayOfWeek}),
              std::vector({c[3], c[4], c[5], c[6]}))
        << c[0] << "-" << c[1] << "-" << c[2];
  }
}

// The last millisecond of a day is followed by midnight; before 2000 too.
TEST(Calendar, MillisecondsRollOverAtMidnight) {
  const LocalDateTime t = DateTimeFromMs(MsSince2000({2026, 12, 6, 23, 59, 59, 999, 0}) + 1);
  EXPECT_EQ(std::vector({t.day, t.hour, t.minute, t.second, t.millisecond}),
            std::vector({7, 0, 0, 0, 0}));
  const LocalDateTime u = DateTimeFromMs(-1);
  EXPECT_EQ(std::vector({u.year, u.day, u.hour, u.second, u.millisecond}),
            std::vector({1999, 31, 23, 59, 999}));
}

}  // namespace
}  // namespace qv
